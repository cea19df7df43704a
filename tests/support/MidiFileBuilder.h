#pragma once

// Builds standard MIDI files byte by byte for the reader's tests: a header, tracks of raw event bytes,
// and any chunk, with lengths written for the caller or given wrong on purpose.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace corvale::test {

using Bytes = std::vector<std::uint8_t>;

inline void appendNumber(Bytes& bytes, std::uint32_t value, int size) {
    for (int i = size - 1; i >= 0; --i)
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A variable-length quantity, most significant group first.
inline Bytes quantity(std::uint32_t value) {
    Bytes groups;
    do {
        groups.insert(groups.begin(),
                      static_cast<std::uint8_t>((value & 0x7F) | (groups.empty() ? 0 : 0x80)));
        value >>= 7;
    } while (value != 0);
    return groups;
}

// One track's bytes: events appended with their delta times.
class TrackBytes {
public:
    TrackBytes& raw(std::initializer_list<std::uint8_t> bytes) {
        bytes_.insert(bytes_.end(), bytes);
        return *this;
    }
    TrackBytes& raw(const Bytes& bytes) {
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
        return *this;
    }
    // delta, then the event's bytes as given (a status byte or, for running status, data only).
    TrackBytes& event(std::uint32_t delta, std::initializer_list<std::uint8_t> bytes) {
        raw(quantity(delta));
        return raw(bytes);
    }
    TrackBytes& tempo(std::uint32_t delta, std::uint32_t microsecondsPerQuarter) {
        raw(quantity(delta));
        raw({0xFF, 0x51, 0x03});
        appendNumber(bytes_, microsecondsPerQuarter, 3);
        return *this;
    }
    TrackBytes& end(std::uint32_t delta = 0) { return event(delta, {0xFF, 0x2F, 0x00}); }
    const Bytes& bytes() const { return bytes_; }

private:
    Bytes bytes_;
};

class MidiFileBuilder {
public:
    MidiFileBuilder& header(std::uint16_t format, std::uint16_t tracks, std::uint16_t division) {
        Bytes body;
        appendNumber(body, format, 2);
        appendNumber(body, tracks, 2);
        appendNumber(body, division, 2);
        return chunk("MThd", body);
    }
    MidiFileBuilder& track(const TrackBytes& track) { return chunk("MTrk", track.bytes()); }
    MidiFileBuilder& chunk(const std::string& id, const Bytes& body) {
        return chunkWithLength(id, static_cast<std::uint32_t>(body.size()), body);
    }
    MidiFileBuilder& chunkWithLength(const std::string& id, std::uint32_t length, const Bytes& body) {
        bytes_.insert(bytes_.end(), id.begin(), id.end());
        appendNumber(bytes_, length, 4);
        bytes_.insert(bytes_.end(), body.begin(), body.end());
        return *this;
    }
    MidiFileBuilder& raw(std::initializer_list<std::uint8_t> bytes) {
        bytes_.insert(bytes_.end(), bytes);
        return *this;
    }
    const Bytes& bytes() const { return bytes_; }

private:
    Bytes bytes_;
};

} // namespace corvale::test
