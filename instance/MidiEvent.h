#pragma once

#include <cstdint>

namespace trov {

// One MIDI event as the host binding hands it to an instance: the three bytes of a channel message, the
// event's sample offset in the block, and two words passed on to a note as they are.
struct MidiEvent {
    std::uint8_t status = 0; // type in the high nibble, channel in the low nibble
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
    std::uint8_t spare1 = 0;
    std::int32_t offset = 0;
    std::uint8_t spare2 = 0;
    std::uint16_t word = 0;
    std::int32_t extra = 0;
};

} // namespace trov
