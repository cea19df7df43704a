// fuzz-links: trov_engine
// Reads arbitrary text as the dictionary of a sample that already holds data and positions. Whatever is
// read must keep the sample's invariants (positions inside the data, the guard after the last frame, mono
// data, no frame count without data); a document whose data is corrupt must leave the sample exactly as
// it was.
#include "engine/samples/Sample.h"
#include "framework/Dictionary.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using trov::fuzz::check;

// Everything fromDictionary may change, data included.
struct Snapshot {
    explicit Snapshot(const trov::Sample& sample)
        : info(sample.getInfo()), start(sample.getStart()), end(sample.getEnd()), loop(sample.getLoop()),
          flags(sample.testFlags(~0u)) {
        if (info.data != nullptr)
            values.assign(info.data, info.data + info.frames + 1);
    }
    bool operator==(const Snapshot& other) const {
        const trov::SampleInfo& a = info;
        const trov::SampleInfo& b = other.info;
        return a.data == b.data && a.frames == b.frames && a.channels == b.channels && a.layout == b.layout &&
               a.bitDepth == b.bitDepth && a.sampleRate == b.sampleRate && a.rootNote == b.rootNote &&
               a.detune == b.detune && start == other.start && end == other.end &&
               loop.mode == other.loop.mode && loop.start == other.loop.start && loop.end == other.loop.end &&
               flags == other.flags && values.size() == other.values.size() &&
               std::memcmp(values.data(), other.values.data(), values.size() * sizeof(float)) == 0;
    }

    trov::SampleInfo info;
    std::int32_t start;
    std::int32_t end;
    trov::Sample::Loop loop;
    std::uint32_t flags;
    std::vector<float> values;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<float> ramp(2048);
    for (std::size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<float>(i % 13) * 0.0625f - 0.5f;
    trov::SampleInfo info;
    info.channels = 1;
    info.frames = static_cast<std::int32_t>(ramp.size());
    info.data = ramp.data();
    auto* sample = new trov::Sample(nullptr, info);
    sample->setStart(100);
    sample->setLoop({trov::Sample::kLoopOn, 200, 1500});
    const Snapshot before(*sample);
    try {
        sample->fromDictionary(trov::Dictionary(text));
    } catch (const trov::Exception::SampleDataCorrupt&) {
        check(Snapshot(*sample) == before);
        sample->release();
        return 0;
    }
    if (sample->getData() != nullptr)
        trov::fuzz::checkHeldData(*sample);
    else
        check(sample->getInfo().frames == 0);
    sample->release();
    return 0;
}
