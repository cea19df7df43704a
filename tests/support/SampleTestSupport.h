#pragma once

#include "engine/samples/Sample.h"
#include "engine/samples/SampleWav.h"
#include "framework/SharedObject.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <tuple>
#include <utility>
#include <vector>

namespace trov::test {

// A sample holding the given values (frames after frames, channels interleaved).
inline SharedObjectPtr<Sample> makeSample(const std::vector<float>& values, int channels = 1) {
    SampleInfo info;
    info.layout = SampleInfo::kInterleaved;
    info.channels = channels;
    info.frames =
        static_cast<std::int32_t>(values.size() / static_cast<std::size_t>(channels > 0 ? channels : 1));
    info.data = const_cast<float*>(values.data());
    return SharedObjectPtr<Sample>(new Sample(nullptr, info));
}

// A ramp with a few sign changes, different at every frame.
inline std::vector<float> makeRamp(int frames) {
    std::vector<float> values(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i)
        values[static_cast<std::size_t>(i)] =
            std::sin(0.01f * static_cast<float>(i)) * 0.5f + 0.001f * static_cast<float>(i % 7);
    return values;
}

inline std::vector<float> valuesOf(const Sample& sample) {
    const SampleInfo& info = sample.getInfo();
    if (info.data == nullptr)
        return {};
    return std::vector<float>(info.data, info.data + info.frames * (info.channels > 0 ? info.channels : 1));
}

inline std::uint32_t bitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// The guard after the last frame repeats the first value, bit for bit.
inline bool holdsGuard(const Sample& sample) {
    const SampleInfo& info = sample.getInfo();
    return info.data != nullptr && bitsOf(info.data[info.frames]) == bitsOf(info.data[0]);
}

// Start and end of every slice.
using Slices = std::vector<std::pair<std::int32_t, std::int32_t>>;
inline Slices slicesOf(const Sample& sample) {
    Slices slices;
    for (int i = 0; i < sample.getSliceCount(); ++i)
        slices.emplace_back(sample.getSlice(i).start, sample.getSlice(i).end);
    return slices;
}

// Mode, start and end of the loop.
inline std::tuple<std::int32_t, std::int32_t, std::int32_t> loopOf(const Sample& sample) {
    return {sample.getLoop().mode, sample.getLoop().start, sample.getLoop().end};
}

// A mono WAV sample whose positions tests may set as freely as a file could.
class EditableWav : public SampleWav {
public:
    EditableWav(const std::vector<float>& values, std::int32_t bitDepth, std::int32_t sampleRate = 44100)
        : SampleWav(Sample(nullptr, infoFor(values, bitDepth, sampleRate))) {}
    void setSliceList(const std::vector<Slice>& slices) { slices_ = slices; }
    void setLoopPoints(const Loop& loop) { loop_ = loop; }

private:
    static SampleInfo infoFor(const std::vector<float>& values, std::int32_t bitDepth,
                              std::int32_t sampleRate) {
        SampleInfo info;
        info.channels = 1;
        info.frames = static_cast<std::int32_t>(values.size());
        info.bitDepth = bitDepth;
        info.sampleRate = sampleRate;
        info.data = const_cast<float*>(values.data());
        return info;
    }
};

} // namespace trov::test
