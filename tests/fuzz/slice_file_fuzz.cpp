// fuzz-links: trov_engine
// Reads arbitrary bytes as the ".mrk" slice side file of a sample whose length the first two bytes give
// (1 to 65536 frames; the next two bytes give its end). Whatever is read keeps every slice inside the
// sample, each ending at or after its start, and the loop spanning them.
#include "engine/samples/Sample.h"
#include "framework/File.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace trov::fuzz;
    if (size < 4)
        return 0;
    const int frames = 1 + (data[0] | data[1] << 8);
    std::vector<float> values(static_cast<std::size_t>(frames));
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<float>(i % 7) - 3.0f;
    trov::SampleInfo info;
    info.channels = 1;
    info.frames = frames;
    info.data = values.data();
    auto* sample = new trov::Sample(nullptr, info);
    sample->setEnd(data[2] | data[3] << 8);
    writeScratchFile("audio.mrk", data + 4, size - 4);
    check(!sample->loadSliceFile(trov::File(ScratchFolder::path() + "/audio.wav")));
    const int count = sample->getSliceCount();
    for (int i = 0; i < count; ++i) {
        const trov::Sample::Slice slice = sample->getSlice(i);
        check(slice.start >= 0 && slice.start <= slice.end && slice.end < frames);
    }
    // The loop spans the slices when there are any (short samples may otherwise hold a loop of the
    // minimum span that reaches past them).
    if (count > 0)
        check(sample->getLoop().start == sample->getSlice(0).start &&
              sample->getLoop().end == sample->getSlice(count - 1).end);
    sample->release();
    return 0;
}
