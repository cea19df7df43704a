#pragma once

#include "engine/SampleWav.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

namespace trov::test {

// Builds RIFF/WAVE files byte by byte, so tests control every field, size and pad byte.
class WavBuilder {
public:
    using Bytes = std::vector<std::uint8_t>;

    WavBuilder() {
        text("RIFF");
        u32(0);
        text("WAVE");
    }

    static void put(Bytes& out, std::uint32_t value, int n) {
        for (int i = 0; i < n; ++i)
            out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    static Bytes words(std::initializer_list<std::uint32_t> values) {
        Bytes out;
        for (std::uint32_t v : values)
            put(out, v, 4);
        return out;
    }

    // A chunk with its declared size (the body's by default) and a pad byte after an odd body.
    WavBuilder& chunk(const char* id, const Bytes& body, std::int64_t declaredSize = -1) {
        text(id);
        u32(static_cast<std::uint32_t>(declaredSize >= 0 ? declaredSize
                                                         : static_cast<std::int64_t>(body.size())));
        bytes_.insert(bytes_.end(), body.begin(), body.end());
        if (body.size() % 2 != 0)
            bytes_.push_back(0);
        return *this;
    }
    WavBuilder& format(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                       int blockAlign = -1) {
        const std::uint16_t align =
            static_cast<std::uint16_t>(blockAlign >= 0 ? blockAlign : channels * ((bits + 7) / 8));
        Bytes body;
        put(body, tag, 2);
        put(body, channels, 2);
        put(body, rate, 4);
        put(body, rate * align, 4);
        put(body, align, 2);
        put(body, bits, 2);
        return chunk("fmt ", body);
    }
    // Values as n-byte little-endian words.
    WavBuilder& data(std::initializer_list<std::uint32_t> values, int bytesPerValue) {
        Bytes body;
        for (std::uint32_t v : values)
            put(body, v, bytesPerValue);
        return chunk("data", body);
    }
    WavBuilder& floats(std::initializer_list<float> values) {
        Bytes body;
        for (float v : values) {
            std::uint32_t bits;
            std::memcpy(&bits, &v, 4);
            put(body, bits, 4);
        }
        return chunk("data", body);
    }
    WavBuilder& sampler(std::uint32_t unityNote, std::uint32_t pitchFraction,
                        std::initializer_list<std::pair<std::uint32_t, std::uint32_t>> loops = {}) {
        Bytes body =
            words({0, 0, 22675, unityNote, pitchFraction, 0, 0, static_cast<std::uint32_t>(loops.size()), 0});
        for (const auto& loop : loops) {
            const Bytes more = words({7, 0, loop.first, loop.second, 0, 0});
            body.insert(body.end(), more.begin(), more.end());
        }
        return chunk("smpl", body);
    }
    WavBuilder& cue(std::initializer_list<std::uint32_t> offsets) {
        Bytes body = words({static_cast<std::uint32_t>(offsets.size())});
        std::uint32_t id = 1;
        for (std::uint32_t offset : offsets) {
            const Bytes more = words({id++, offset, 0x61746164, 0, 0, offset});
            body.insert(body.end(), more.begin(), more.end());
        }
        return chunk("cue ", body);
    }

    Bytes bytes() const {
        Bytes out = bytes_;
        const std::uint32_t size = static_cast<std::uint32_t>(out.size() - 8);
        std::memcpy(out.data() + 4, &size, 4);
        return out;
    }
    std::string str() const {
        const Bytes out = bytes();
        return std::string(out.begin(), out.end());
    }

private:
    void text(const char* id) {
        for (int i = 0; i < 4; ++i)
            bytes_.push_back(static_cast<std::uint8_t>(id[i]));
    }
    void u32(std::uint32_t value) { put(bytes_, value, 4); }

    Bytes bytes_;
};

inline std::uint32_t readU32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    std::uint32_t value;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

inline std::vector<std::uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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
