// fuzz-links: trov_platform
// The registry store file parser: any input either fails cleanly or parses into a tree that writes back
// byte for byte (the format has exactly one encoding of each tree).
#include "platform/RegistryNode.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    trov::platform::RegistryNode root;
    std::string error;
    if (!trov::platform::RegistryNode::parse(data, size, root, error)) {
        if (error.empty())
            std::abort();
        return 0;
    }
    const std::vector<std::uint8_t> written = root.serialize();
    if (written.size() != size || (size > 0 && !std::equal(written.begin(), written.end(), data)))
        std::abort();
    return 0;
}
