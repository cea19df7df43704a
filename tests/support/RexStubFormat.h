#pragma once

// The stand-in REX library's own file format, little-endian:
//   "TRXS", channels, source sample rate, tempo (thousandths of a BPM), PPQ length, bit depth, slice count
//   (each int32), then per slice: PPQ position (int32), frames at the source rate (int32), level (float),
//   render fails (int32, 0 or 1); then optionally the five creator texts, each one length byte and the text.
// A slice renders as its level on the left channel and half of it on the right one.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace rexstub {

struct Slice {
    std::int32_t ppqPosition = 0;
    std::int32_t frames = 0;
    float level = 0.0f;
    bool failsToRender = false;
};

struct Loop {
    std::int32_t channels = 2;
    std::int32_t sampleRate = 44100;
    std::int32_t tempo = 120000;
    std::int32_t ppqLength = 4 * 15360;
    std::int32_t bitDepth = 16;
    std::vector<Slice> slices;
    bool hasCreator = false;
    std::string creator[5]; // name, rights, web address, e-mail address, free text
};

inline void putInt(std::vector<char>& out, std::int32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>(static_cast<std::uint32_t>(value) >> (8 * i)));
}

inline std::vector<char> encode(const Loop& loop) {
    std::vector<char> out = {'T', 'R', 'X', 'S'};
    for (std::int32_t field : {loop.channels, loop.sampleRate, loop.tempo, loop.ppqLength, loop.bitDepth,
                               static_cast<std::int32_t>(loop.slices.size())})
        putInt(out, field);
    for (const Slice& slice : loop.slices) {
        std::int32_t bits;
        std::memcpy(&bits, &slice.level, sizeof bits);
        for (std::int32_t field : {slice.ppqPosition, slice.frames, bits, std::int32_t{slice.failsToRender}})
            putInt(out, field);
    }
    if (loop.hasCreator)
        for (const std::string& text : loop.creator) {
            out.push_back(static_cast<char>(text.size()));
            out.insert(out.end(), text.begin(), text.end());
        }
    return out;
}

} // namespace rexstub
