#pragma once

#include "engine/SampleWav.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace trov::test {

// A WAV sample whose positions tests may set as freely as a file could.
class EditableWav : public SampleWav {
public:
    EditableWav(const std::vector<float>& values, std::int32_t bitDepth, std::int32_t sampleRate = 44100)
        : SampleWav(Sample(nullptr, infoFor(values, bitDepth, sampleRate))) {}
    void setSliceList(const std::vector<Slice>& slices) { slices_ = slices; }
    void setLoopPoints(const Loop& loop) { loop_ = loop; }

private:
    static SampleInfo infoFor(const std::vector<float>& values, std::int32_t bitDepth, std::int32_t sampleRate) {
        SampleInfo info;
        info.channels = 1;
        info.frames = static_cast<std::int32_t>(values.size());
        info.bitDepth = bitDepth;
        info.sampleRate = sampleRate;
        info.data = const_cast<float*>(values.data());
        return info;
    }
};

inline std::vector<std::uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace trov::test
