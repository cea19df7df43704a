#pragma once

#include "hostapp/MidiFile.h"

#include <cstdint>
#include <vector>

namespace corvale::hostapp {

// A channel message at the frame where it sounds.
struct TimedMidiEvent {
    std::int64_t frame = 0;
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
};

// Every track's channel messages merged into one list in frame order (ties keep track order, then file
// order), and the frame where the last track ends.
struct MidiSchedule {
    std::vector<TimedMidiEvent> events;
    std::int64_t endFrame = 0;
};

// Times the file's events at sampleRate (frames per second, > 0): ticks per quarter note go through the
// tempo map of all tracks (120 beats per minute until the first change), SMPTE ticks through their fixed
// frame rate. Frames are rounded to the nearest and saturate at the largest 64-bit value. Exact integer
// arithmetic, so equal inputs give equal frames on every machine.
MidiSchedule scheduleMidiFile(const MidiFile& file, std::uint32_t sampleRate);

} // namespace corvale::hostapp
