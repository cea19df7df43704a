// fuzz-links: trov_engine
// The plain sample's libsndfile reader over arbitrary bytes, under each extension it takes (the first byte
// picks one). Whatever loads is one channel of data inside a buffer trimmed to it, with the guard, and
// positions and loop inside; a refusal is an error, never a crash.
#include "engine/samples/Sample.h"
#include "framework/File.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace trov::fuzz;
    static const char* const kExtensions[] = {"wav", "aif", "aifc", "au", "snd"};
    if (size < 1)
        return 0;
    const std::string path =
        writeScratchFile(std::string("input.") + kExtensions[data[0] % 5], data + 1, size - 1);
    for (bool loadData : {false, true}) {
        auto* sample = new Probe<trov::Sample>();
        const trov::Error result = sample->load(trov::File(path), loadData);
        check(result.failed() || result.ok());
        if (result.ok() && loadData) {
            checkLoadedFile(*sample);
            checkTrimmed(*sample);
        } else if (result.ok()) {
            check(sample->getData() == nullptr && sample->getInfo().frames >= 0);
        }
        sample->release();
    }
    return 0;
}
