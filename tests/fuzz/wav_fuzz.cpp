// fuzz-links: trov_engine
// The WAV reader: any input is refused (left to the next reader, or as too large) or loads into a sample
// whose data, loop and slices all lie inside what it holds, with the guard value after the last frame.
#include "engine/samples/SampleWav.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

void checkLoaded(const trov::SampleWav& sample) {
    const trov::SampleInfo& info = sample.getInfo();
    check(info.frames > 0 && info.channels == 1 && info.data != nullptr);
    check(std::memcmp(&info.data[info.frames], &info.data[0], sizeof(float)) == 0);
    check(sample.getStart() == 0 && sample.getEnd() == info.frames - 1);
    const trov::Sample::Loop loop = sample.getLoop();
    check(loop.start >= 0 && loop.start <= loop.end && loop.end < info.frames);
    for (int i = 0; i < sample.getSliceCount(); ++i) {
        const trov::Sample::Slice slice = sample.getSlice(i);
        check(slice.start >= 0 && slice.start <= slice.end && slice.end < info.frames);
    }
    check(info.rootNote >= 0 && info.rootNote <= 127);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (bool loadData : {false, true}) {
        std::istringstream in(bytes);
        auto* sample = new trov::SampleWav();
        const trov::Error result = sample->loadStream(in, loadData);
        // A file is left to the next reader, or refused outright only for the size its data chunk declares.
        if (result.failed())
            check(result.isImportFailure() || result.getMessage().find("too large") != std::string::npos);
        else if (loadData)
            checkLoaded(*sample);
        sample->release();
    }
    return 0;
}
