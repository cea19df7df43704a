#include "hostapp/MidiFile.h"

#include "hostapp/FileChecks.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>

namespace corvale::hostapp {

std::string MidiFileError::describe() const {
    std::string text;
    if (track >= 0)
        text += "track " + std::to_string(track) + ", ";
    if (offset >= 0) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "byte %lld: ", static_cast<long long>(offset));
        text += buffer;
    } else if (!text.empty()) {
        text.replace(text.size() - 2, 2, ": ");
    }
    return text + what;
}

namespace {

// Reads big-endian numbers and variable-length quantities from [begin, end), failing at the bounds.
class Cursor {
public:
    Cursor(const std::uint8_t* base, std::size_t begin, std::size_t end)
        : base_(base), pos_(begin), end_(end) {}

    std::size_t position() const { return pos_; }
    std::size_t remaining() const { return end_ - pos_; }
    bool atEnd() const { return pos_ >= end_; }

    bool byte(std::uint8_t& value) {
        if (pos_ >= end_)
            return false;
        value = base_[pos_++];
        return true;
    }
    bool peek(std::uint8_t& value) const {
        if (pos_ >= end_)
            return false;
        value = base_[pos_];
        return true;
    }
    bool number(int bytes, std::uint32_t& value) {
        if (remaining() < static_cast<std::size_t>(bytes))
            return false;
        value = 0;
        for (int i = 0; i < bytes; ++i)
            value = (value << 8) | base_[pos_++];
        return true;
    }
    // At most four bytes (values below 2^28), as the file format allows.
    enum class Vlq { Ok, Truncated, TooLong };
    Vlq quantity(std::uint32_t& value) {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            std::uint8_t b = 0;
            if (!byte(b))
                return Vlq::Truncated;
            value = (value << 7) | (b & 0x7Fu);
            if ((b & 0x80u) == 0)
                return Vlq::Ok;
        }
        return Vlq::TooLong;
    }
    bool skip(std::size_t count) {
        if (remaining() < count)
            return false;
        pos_ += count;
        return true;
    }
    const std::uint8_t* here() const { return base_ + pos_; }

private:
    const std::uint8_t* base_;
    std::size_t pos_;
    std::size_t end_;
};

// Data bytes that follow a channel status.
int dataBytesOf(std::uint8_t status) {
    const std::uint8_t kind = status & 0xF0u;
    return (kind == 0xC0u || kind == 0xD0u) ? 1 : 2;
}

std::string hex(unsigned value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%02X", value);
    return buffer;
}

class Parser {
public:
    Parser(const std::uint8_t* data, std::size_t size, MidiFile& file, MidiFileError& error)
        : data_(data), size_(size), file_(file), error_(error) {}

    bool run() {
        Cursor cursor(data_, 0, size_);
        if (!header(cursor))
            return false;
        int tracksRead = 0;
        while (tracksRead < file_.trackCount) {
            if (cursor.atEnd())
                return fail("the header announces " + std::to_string(file_.trackCount) +
                                " tracks but the file ends after " + std::to_string(tracksRead),
                            -1, cursor.position());
            std::uint32_t id = 0;
            std::uint32_t length = 0;
            const std::size_t chunkStart = cursor.position();
            if (!cursor.number(4, id) || !cursor.number(4, length))
                return fail("truncated chunk header", -1, chunkStart);
            if (length > cursor.remaining())
                return fail("chunk of " + std::to_string(length) + " bytes but only " +
                                std::to_string(cursor.remaining()) + " bytes remain",
                            id == kTrack ? tracksRead : -1, chunkStart);
            if (id == kTrack) {
                if (!track(tracksRead, cursor.position(), cursor.position() + length))
                    return false;
                ++tracksRead;
            }
            // Chunks of other kinds are skipped, as the format asks of readers.
            cursor.skip(length);
        }
        return true;
    }

private:
    static constexpr std::uint32_t kHeader = 0x4D546864; // "MThd"
    static constexpr std::uint32_t kTrack = 0x4D54726B;  // "MTrk"

    bool fail(std::string what, int track, std::size_t offset) {
        error_.what = std::move(what);
        error_.track = track;
        error_.offset = static_cast<std::int64_t>(offset);
        return false;
    }

    bool header(Cursor& cursor) {
        std::uint32_t id = 0;
        std::uint32_t length = 0;
        if (!cursor.number(4, id) || id != kHeader)
            return fail("not a standard MIDI file (no \"MThd\" header)", -1, 0);
        if (!cursor.number(4, length))
            return fail("truncated header", -1, cursor.position());
        if (length < 6)
            return fail("header of " + std::to_string(length) + " bytes is shorter than 6", -1, 4);
        if (length > cursor.remaining())
            return fail("header of " + std::to_string(length) + " bytes but only " +
                            std::to_string(cursor.remaining()) + " bytes remain",
                        -1, 4);
        std::uint32_t format = 0;
        std::uint32_t tracks = 0;
        std::uint32_t division = 0;
        cursor.number(2, format);
        cursor.number(2, tracks);
        cursor.number(2, division);
        cursor.skip(length - 6);
        if (format == 2)
            return fail("format 2 (independent sequences) is not supported", -1, 8);
        if (format > 2)
            return fail("unknown format " + std::to_string(format), -1, 8);
        if (tracks == 0)
            return fail("the header announces no tracks", -1, 10);
        if (format == 0 && tracks != 1)
            return fail("format 0 with " + std::to_string(tracks) + " tracks (it holds exactly one)", -1, 10);
        if ((division & 0x8000u) != 0) {
            const int fps = -static_cast<int>(static_cast<std::int8_t>(division >> 8));
            const unsigned ticks = division & 0xFFu;
            if (fps != 24 && fps != 25 && fps != 29 && fps != 30)
                return fail("SMPTE division with " + std::to_string(fps) + " frames per second", -1, 12);
            if (ticks == 0)
                return fail("SMPTE division with 0 ticks per frame", -1, 12);
            file_.division.smpte = true;
            file_.division.framesPerSecond = static_cast<std::uint8_t>(fps);
            file_.division.ticksPerFrame = static_cast<std::uint8_t>(ticks);
        } else {
            if (division == 0)
                return fail("division of 0 ticks per quarter note", -1, 12);
            file_.division.ticksPerQuarter = static_cast<std::uint16_t>(division);
        }
        file_.format = static_cast<int>(format);
        file_.trackCount = static_cast<int>(tracks);
        return true;
    }

    bool track(int index, std::size_t begin, std::size_t end) {
        Cursor cursor(data_, begin, end);
        std::int64_t tick = 0;
        std::uint8_t running = 0;
        const auto truncated = [&](std::size_t at) {
            return fail("truncated event (the track ends inside it)", index, at);
        };
        while (!cursor.atEnd()) {
            const std::size_t eventStart = cursor.position();
            std::uint32_t delta = 0;
            switch (cursor.quantity(delta)) {
            case Cursor::Vlq::Truncated:
                return truncated(eventStart);
            case Cursor::Vlq::TooLong:
                return fail("delta time longer than 4 bytes", index, eventStart);
            case Cursor::Vlq::Ok:
                break;
            }
            tick += delta;
            const std::size_t statusAt = cursor.position();
            std::uint8_t status = 0;
            if (!cursor.peek(status))
                return truncated(eventStart);
            if (status < 0x80u) {
                // Running status: the previous channel status applies again.
                if (running == 0)
                    return fail("data byte " + hex(status) + " with no running status", index, statusAt);
                status = running;
            } else {
                cursor.byte(status);
            }
            if (status < 0xF0u) {
                running = status;
                std::uint8_t data[2] = {0, 0};
                for (int i = 0; i < dataBytesOf(status); ++i) {
                    const std::size_t at = cursor.position();
                    if (!cursor.byte(data[i]))
                        return truncated(eventStart);
                    if (data[i] >= 0x80u)
                        return fail("data byte " + hex(data[i]) + " has its top bit set", index, at);
                }
                MidiFileEvent event;
                event.tick = tick;
                event.status = status;
                event.data1 = data[0];
                event.data2 = data[1];
                event.track = static_cast<std::uint16_t>(index);
                file_.events.push_back(event);
            } else if (status == 0xF0u || status == 0xF7u) {
                std::uint32_t length = 0;
                if (!lengthOf(cursor, index, eventStart, length))
                    return false;
                if (!cursor.skip(length))
                    return truncated(eventStart);
            } else if (status == 0xFFu) {
                std::uint8_t type = 0;
                std::uint32_t length = 0;
                if (!cursor.byte(type))
                    return truncated(eventStart);
                if (!lengthOf(cursor, index, eventStart, length))
                    return false;
                const std::uint8_t* body = cursor.here();
                if (!cursor.skip(length))
                    return truncated(eventStart);
                if (type == 0x51) {
                    if (length != 3)
                        return fail("tempo event of " + std::to_string(length) + " bytes (it has 3)", index,
                                    eventStart);
                    const std::uint32_t tempo = (std::uint32_t(body[0]) << 16) |
                                                (std::uint32_t(body[1]) << 8) | std::uint32_t(body[2]);
                    if (tempo == 0)
                        return fail("tempo of 0 microseconds per quarter note", index, eventStart);
                    file_.tempoChanges.push_back({tick, tempo});
                }
                if (type == 0x2F) {
                    // End of track: anything after it in the chunk is not part of the track.
                    break;
                }
            } else {
                return fail("status byte " + hex(status) + " is not allowed in a MIDI file", index, statusAt);
            }
        }
        if (tick > file_.endTick)
            file_.endTick = tick;
        return true;
    }

    bool lengthOf(Cursor& cursor, int index, std::size_t eventStart, std::uint32_t& length) {
        switch (cursor.quantity(length)) {
        case Cursor::Vlq::Truncated:
            return fail("truncated event (the track ends inside it)", index, eventStart);
        case Cursor::Vlq::TooLong:
            return fail("event length longer than 4 bytes", index, eventStart);
        case Cursor::Vlq::Ok:
            break;
        }
        return true;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    MidiFile& file_;
    MidiFileError& error_;
};

} // namespace

bool MidiFileReader::parse(const std::uint8_t* data, std::size_t size, MidiFile& file, MidiFileError& error) {
    file = MidiFile();
    error = MidiFileError();
    if (size > kMaxFileSize) {
        error.what = "file of " + std::to_string(size) + " bytes is larger than the limit of " +
                     std::to_string(kMaxFileSize);
        return false;
    }
    if (data == nullptr && size > 0)
        size = 0;
    MidiFile parsed;
    if (!Parser(data, size, parsed, error).run())
        return false;
    file = std::move(parsed);
    return true;
}

bool MidiFileReader::load(const std::string& path, MidiFile& file, MidiFileError& error) {
    file = MidiFile();
    error = MidiFileError();
    // Looked at before it is opened: a folder opens as a stream of no bytes and a named pipe blocks.
    const FileLook look = lookAt(path);
    if (look.kind != FileLook::Kind::Regular && look.kind != FileLook::Kind::Missing) {
        error.what = kindText(look.kind) + ", not a MIDI file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error.what = "cannot open the file: " + std::string(std::strerror(errno));
        return false;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    if (length < 0) {
        error.what = "cannot read the file";
        return false;
    }
    if (static_cast<std::uint64_t>(length) > kMaxFileSize) {
        error.what = "file of " + std::to_string(length) + " bytes is larger than the limit of " +
                     std::to_string(kMaxFileSize);
        return false;
    }
    in.seekg(0, std::ios::beg);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
    if (!bytes.empty() && !in.read(reinterpret_cast<char*>(bytes.data()), length)) {
        error.what = "cannot read the file";
        return false;
    }
    return parse(bytes.data(), bytes.size(), file, error);
}

} // namespace corvale::hostapp
