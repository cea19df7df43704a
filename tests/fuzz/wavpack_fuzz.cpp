// fuzz-links: trov_engine
// The WavPack reader over arbitrary bytes. Whatever loads is one channel of data inside a buffer trimmed
// to it, with the guard; a refusal is an error, never a crash.
#include "engine/samples/SampleWavpack.h"
#include "framework/File.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace trov::fuzz;
    const std::string path = writeScratchFile("input.wv", data, size);
    for (bool loadData : {false, true}) {
        auto* sample = new Probe<trov::SampleWavpack>();
        const trov::Error result = sample->load(trov::File(path), loadData);
        check(result.failed() || result.ok());
        if (result.ok() && loadData) {
            checkLoadedFile(*sample);
            checkTrimmed(*sample);
        }
        sample->release();
    }
    return 0;
}
