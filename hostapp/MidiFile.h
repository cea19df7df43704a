#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvale::hostapp {

// A channel message of a standard MIDI file at its absolute tick.
struct MidiFileEvent {
    std::int64_t tick = 0;
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
    // Position in the merged order: the track first, then the event's place within it.
    std::uint16_t track = 0;
};

// A tempo change (microseconds per quarter note) at its absolute tick.
struct MidiTempoChange {
    std::int64_t tick = 0;
    std::uint32_t microsecondsPerQuarter = 500000;
};

// How ticks become time: ticks per quarter note (tempo applies) or SMPTE frames per second and ticks per
// frame (tempo does not apply). 29 frames per second means drop-frame 29.97.
struct MidiDivision {
    bool smpte = false;
    std::uint16_t ticksPerQuarter = 0;
    std::uint8_t framesPerSecond = 0;
    std::uint8_t ticksPerFrame = 0;
};

// A standard MIDI file of format 0 or 1 as far as playback needs it: the channel messages of every track,
// the tempo changes of every track, and the tick where the last track ends. Plain data.
struct MidiFile {
    int format = 0;
    int trackCount = 0;
    MidiDivision division;
    std::vector<MidiFileEvent> events;         // per track in file order, tracks one after another
    std::vector<MidiTempoChange> tempoChanges; // in file order
    std::int64_t endTick = 0;
};

// Why a file was refused: what went wrong and where (track, byte offset in the file).
struct MidiFileError {
    std::string what;
    int track = -1;           // -1 when outside any track
    std::int64_t offset = -1; // -1 when not tied to a byte
    std::string describe() const;
};

// The standard MIDI file reader: formats 0 and 1 (format 2 is refused), tick and SMPTE division, running
// status, meta events and system exclusive messages skipped except tempo, unknown chunks skipped. Every
// length is checked against the bytes that hold it, so nothing is allocated beyond what the input accounts
// for. Plain functions: any thread.
class MidiFileReader {
public:
    // Files larger than this are refused before being read.
    static constexpr std::size_t kMaxFileSize = std::size_t(64) << 20;

    // Parses the bytes into file; on failure gives false with the reason in error and leaves file empty.
    static bool parse(const std::uint8_t* data, std::size_t size, MidiFile& file, MidiFileError& error);
    // Reads and parses the file at path; a file that cannot be read, or anything but a regular file (not
    // opened then), is an error too.
    static bool load(const std::string& path, MidiFile& file, MidiFileError& error);
};

} // namespace corvale::hostapp
