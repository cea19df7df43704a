// fuzz-links: trov_engine
// The sample file factory over arbitrary bytes under any extension: the first byte picks the extension
// and whether the data is loaded, the rest is the file. Every reader gets its turn; whatever comes back
// keeps the sample's invariants.
#include "engine/samples/Sample.h"
#include "engine/samples/SampleFiles.h"
#include "framework/File.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace trov::fuzz;
    static const char* const kNames[] = {"input.wav", "input.aif", "input.aiff", "input.aifc",
                                         "input.au",  "input.snd", "input.wv",   "input.rex",
                                         "input.rx2", "input.rcy", "input.txt",  "input"};
    constexpr std::size_t kNameCount = sizeof kNames / sizeof kNames[0];
    if (size < 1)
        return 0;
    const bool loadData = (data[0] & 0x80) == 0;
    const std::string path = writeScratchFile(kNames[(data[0] & 0x7F) % kNameCount], data + 1, size - 1);
    trov::Sample* sample = trov::loadSampleFile(nullptr, trov::File(path), loadData);
    if (sample == nullptr)
        return 0;
    if (loadData)
        checkLoadedFile(*sample);
    else
        check(sample->getData() == nullptr);
    sample->release();
    return 0;
}
