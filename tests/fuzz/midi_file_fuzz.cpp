// fuzz-links: corvale_midifile
// The standard MIDI file reader: any input is refused with a reason, or gives channel messages with
// their data bytes in range that the scheduler times in order, never past the file's end.
#include "hostapp/MidiFile.h"
#include "hostapp/MidiSchedule.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace corvale::hostapp;
    MidiFile file;
    MidiFileError error;
    if (!MidiFileReader::parse(data, size, file, error)) {
        check(!error.what.empty());
        check(error.offset < static_cast<std::int64_t>(size) + 1);
        check(file.events.empty() && file.trackCount == 0);
        return 0;
    }
    check(file.format == 0 || file.format == 1);
    check(file.trackCount >= 1);
    // Every event takes at least two bytes of the file (a delta and a data byte).
    check(file.events.size() <= size / 2);
    for (const MidiFileEvent& event : file.events) {
        check(event.status >= 0x80 && event.status < 0xF0);
        check(event.data1 < 0x80 && event.data2 < 0x80);
        check(event.tick >= 0 && event.tick <= file.endTick);
        check(event.track < file.trackCount);
    }
    for (const std::uint32_t rate : {8000u, 48000u, 384000u}) {
        const MidiSchedule schedule = scheduleMidiFile(file, rate);
        check(schedule.events.size() == file.events.size());
        std::int64_t last = 0;
        for (const TimedMidiEvent& event : schedule.events) {
            check(event.frame >= last);
            last = event.frame;
        }
        check(schedule.endFrame >= last);
    }
    return 0;
}
