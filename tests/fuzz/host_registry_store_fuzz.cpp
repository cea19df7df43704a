// fuzz-links: corvale_hostapp
// The store writer of corvale-install-keys reads an existing store before it keeps its other keys: any
// bytes are refused with a reason or give a store that reads back, keeps the key written and, written
// again with the same key, comes out the same.
#include "hostapp/RegistryFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace corvale::hostapp;
    const std::vector<std::uint8_t> existing(data, data + size);
    const std::vector<std::pair<std::string, std::string>> values = {{"InstallPath", "/opt/corvale"}};
    const std::string key = "Software\\Trov\\Corvale";
    std::vector<std::uint8_t> merged;
    std::string error;
    if (!mergeRegistryStore(existing, key, values, merged, error)) {
        check(!error.empty());
        return 0;
    }
    std::vector<std::uint8_t> again;
    check(mergeRegistryStore(merged, key, values, again, error));
    check(again == merged);
    // A store holding only the key is what writing it into a new store gives.
    std::vector<std::uint8_t> fresh;
    check(mergeRegistryStore({}, key, values, fresh, error));
    check(merged.size() >= fresh.size());
    return 0;
}
