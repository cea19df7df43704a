// corvale-demo-midi: writes the demo tune the run command renders, a format 1 standard MIDI file of about
// ten seconds: a tempo track (96 beats per minute, then 120) and a melody over held chords.
//   corvale-demo-midi OUT.mid
#include <cstdint>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void putNumber(Bytes& bytes, std::uint32_t value, int size) {
    for (int i = size - 1; i >= 0; --i)
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void putQuantity(Bytes& bytes, std::uint32_t value) {
    std::uint8_t groups[4];
    int count = 0;
    do {
        groups[count++] = static_cast<std::uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0 && count < 4);
    while (count > 1)
        bytes.push_back(static_cast<std::uint8_t>(groups[--count] | 0x80));
    bytes.push_back(groups[0]);
}

void putChunk(Bytes& file, const char* id, const Bytes& body) {
    file.insert(file.end(), id, id + 4);
    putNumber(file, static_cast<std::uint32_t>(body.size()), 4);
    file.insert(file.end(), body.begin(), body.end());
}

// Channel events with running status: a status byte is written only when it changes.
class TrackWriter {
public:
    void wait(std::uint32_t ticks) { pending_ += ticks; }
    void channel(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
        putQuantity(bytes_, pending_);
        pending_ = 0;
        if (status != running_)
            bytes_.push_back(status);
        running_ = status;
        bytes_.push_back(data1);
        if ((status & 0xF0) != 0xC0 && (status & 0xF0) != 0xD0)
            bytes_.push_back(data2);
    }
    void tempo(std::uint32_t beatsPerMinute) {
        putQuantity(bytes_, pending_);
        pending_ = 0;
        bytes_.insert(bytes_.end(), {0xFF, 0x51, 0x03});
        putNumber(bytes_, 60000000u / beatsPerMinute, 3);
        running_ = 0;
    }
    const Bytes& end() {
        putQuantity(bytes_, pending_);
        pending_ = 0;
        bytes_.insert(bytes_.end(), {0xFF, 0x2F, 0x00});
        return bytes_;
    }

private:
    Bytes bytes_;
    std::uint32_t pending_ = 0;
    std::uint8_t running_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: corvale-demo-midi OUT.mid\n";
        return 2;
    }
    constexpr std::uint32_t kQuarter = 480;
    constexpr std::uint32_t kGap = 20;
    TrackWriter tempo;
    tempo.tempo(96);
    tempo.wait(8 * kQuarter);
    tempo.tempo(120);

    // Four bars of chords, each held for a bar, with an eighth-note melody on top.
    const std::uint8_t chords[4][3] = {{48, 55, 64}, {45, 52, 60}, {41, 48, 57}, {43, 50, 59}};
    const std::uint8_t melody[4][8] = {{72, 76, 79, 76, 72, 76, 79, 84},
                                       {72, 69, 72, 76, 81, 76, 72, 69},
                                       {69, 72, 77, 72, 69, 65, 69, 72},
                                       {71, 74, 79, 74, 71, 67, 71, 74}};
    TrackWriter notes;
    notes.channel(0xC0, 0, 0);
    for (int bar = 0; bar < 4; ++bar) {
        for (const std::uint8_t key : chords[bar])
            notes.channel(0x90, key, 80);
        for (const std::uint8_t key : melody[bar]) {
            notes.channel(0x90, key, 100);
            notes.wait(kQuarter / 2 - kGap);
            notes.channel(0x90, key, 0); // a note-on of velocity 0 ends the note
            notes.wait(kGap);
        }
        for (const std::uint8_t key : chords[bar])
            notes.channel(0x80, key, 64);
    }

    Bytes file;
    Bytes header;
    putNumber(header, 1, 2);
    putNumber(header, 2, 2);
    putNumber(header, kQuarter, 2);
    putChunk(file, "MThd", header);
    putChunk(file, "MTrk", tempo.end());
    putChunk(file, "MTrk", notes.end());
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    if (!out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()))) {
        std::cerr << "corvale-demo-midi: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
