#pragma once

#include <cstdint>
#include <string>

namespace trov {

// The description block of a sample: its format and where its values are. A plain value; `data` is not
// owned by the block (a `trov::Sample` owns the buffer its own block points at, and `getInfo` hands out a
// copy that merely points into it). Any thread.
struct SampleInfo {
    static constexpr std::int32_t kInterleaved = 0;   // frame after frame
    static constexpr std::int32_t kChannelBlocks = 1; // all frames of channel 0, then channel 1, ...

    std::int32_t layout = kChannelBlocks; // only the mix-down to mono reads it
    std::int32_t channels = 0;
    std::int32_t frames = 0;
    std::int32_t bitDepth = 0; // of the source file, kept for writing the sample back
    std::int32_t sampleRate = 44100;
    float* data = nullptr;      // frames values (once mono) and one guard value equal to the first
    std::int32_t rootNote = 60; // MIDI key
    std::int32_t detune = 0;    // WAV files: hundredths of a semitone
    std::string creator;        // creator texts of loop files; other loaders clear them
    std::string comment;
};

} // namespace trov
