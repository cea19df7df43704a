#include "hostapp/MidiFile.h"

#include "support/MidiFileBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace corvale::hostapp {
namespace {

using test::Bytes;
using test::MidiFileBuilder;
using test::TrackBytes;

bool parse(const Bytes& bytes, MidiFile& file, MidiFileError& error) {
    return MidiFileReader::parse(bytes.data(), bytes.size(), file, error);
}

// A format 1 file: a tempo track and a note track using running status and skipped meta and SysEx.
Bytes twoTrackFile() {
    return MidiFileBuilder()
        .header(1, 2, 96)
        .track(TrackBytes().tempo(0, 600000).raw({0x00, 0xFF, 0x03, 0x03, 'T', 'e', 'm'}).end(192))
        .track(TrackBytes()
                   .event(0, {0x90, 60, 100})
                   .event(48, {64, 90})                      // running status
                   .event(0, {0xF0, 0x03, 0x7E, 0x01, 0xF7}) // SysEx, skipped
                   .event(0, {0xFF, 0x01, 0x02, 'h', 'i'})   // text, skipped
                   .event(48, {60, 0})                       // running status survives the skipped events
                   .event(0, {0xC3, 5})                      // one data byte
                   .event(0, {0xE0, 0x00, 0x40})
                   .end(24))
        .bytes();
}

TEST(MidiFileReader, ReadsChannelEventsOfEveryTrackWithRunningStatusAndSkipsMetaAndSysEx) {
    MidiFile file;
    MidiFileError error;
    ASSERT_TRUE(parse(twoTrackFile(), file, error)) << error.describe();
    EXPECT_EQ(file.format, 1);
    EXPECT_EQ(file.trackCount, 2);
    EXPECT_FALSE(file.division.smpte);
    EXPECT_EQ(file.division.ticksPerQuarter, 96);
    ASSERT_EQ(file.events.size(), 5u);
    const MidiFileEvent expected[] = {{0, 0x90, 60, 100, 1},
                                      {48, 0x90, 64, 90, 1},
                                      {96, 0x90, 60, 0, 1},
                                      {96, 0xC3, 5, 0, 1},
                                      {96, 0xE0, 0x00, 0x40, 1}};
    for (std::size_t i = 0; i < file.events.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(file.events[i].tick, expected[i].tick);
        EXPECT_EQ(file.events[i].status, expected[i].status);
        EXPECT_EQ(file.events[i].data1, expected[i].data1);
        EXPECT_EQ(file.events[i].data2, expected[i].data2);
        EXPECT_EQ(file.events[i].track, expected[i].track);
    }
    ASSERT_EQ(file.tempoChanges.size(), 1u);
    EXPECT_EQ(file.tempoChanges[0].microsecondsPerQuarter, 600000u);
    EXPECT_EQ(file.endTick, 192) << "the tempo track ends last";
}

TEST(MidiFileReader, ReadsSmpteDivisionsAndSkipsUnknownChunksLongHeadersAndBytesAfterTheTrackEnd) {
    Bytes header = {0x00, 0x00, 0x00, 0x01, 0xE7, 0x28, 0xAA, 0xBB}; // 25 fps, 40 ticks, 2 extra bytes
    const Bytes file = MidiFileBuilder()
                           .chunk("MThd", header)
                           .chunk("XFIH", {1, 2, 3})
                           .track(TrackBytes().event(10, {0x80, 1, 2}).end().raw({0x99, 0x99, 0x99}))
                           .bytes();
    MidiFile parsed;
    MidiFileError error;
    ASSERT_TRUE(parse(file, parsed, error)) << error.describe();
    EXPECT_TRUE(parsed.division.smpte);
    EXPECT_EQ(parsed.division.framesPerSecond, 25);
    EXPECT_EQ(parsed.division.ticksPerFrame, 40);
    ASSERT_EQ(parsed.events.size(), 1u);
    EXPECT_EQ(parsed.events[0].tick, 10);
    EXPECT_EQ(parsed.endTick, 10);
}

TEST(MidiFileReader, AcceptsATrackThatEndsWithoutItsEndEventAndLongestDeltaTimes) {
    const Bytes file = MidiFileBuilder()
                           .header(0, 1, 480)
                           .track(TrackBytes().event(0x0FFFFFFF, {0x90, 1, 1}).event(1, {0x80, 1, 0}))
                           .bytes();
    MidiFile parsed;
    MidiFileError error;
    ASSERT_TRUE(parse(file, parsed, error)) << error.describe();
    ASSERT_EQ(parsed.events.size(), 2u);
    EXPECT_EQ(parsed.events[1].tick, 0x10000000);
    EXPECT_EQ(parsed.endTick, 0x10000000);
}

struct Refusal {
    const char* name;
    Bytes bytes;
    const char* fragment;
    int track;
    std::int64_t offset;
};

// Header at 0..13; the first track's chunk header at 14, its events from 22.
std::vector<Refusal> refusals() {
    const auto oneTrack = [](const TrackBytes& track) {
        return MidiFileBuilder().header(0, 1, 96).track(track).bytes();
    };
    return {
        {"empty", {}, "no \"MThd\"", -1, 0},
        {"another format", {'R', 'I', 'F', 'F', 0, 0, 0, 6}, "no \"MThd\"", -1, 0},
        {"truncated header", {'M', 'T', 'h', 'd', 0, 0}, "truncated header", -1, 4},
        {"short header", MidiFileBuilder().chunk("MThd", {0, 0, 0, 1}).bytes(), "shorter than 6", -1, 4},
        {"header past the end", MidiFileBuilder().chunkWithLength("MThd", 60, {0, 0, 0, 1, 0, 96}).bytes(),
         "only 6 bytes remain", -1, 4},
        {"format 2", MidiFileBuilder().header(2, 1, 96).track(TrackBytes().end()).bytes(), "format 2", -1, 8},
        {"format 7", MidiFileBuilder().header(7, 1, 96).bytes(), "unknown format 7", -1, 8},
        {"format 0 with two tracks", MidiFileBuilder().header(0, 2, 96).bytes(), "format 0 with 2 tracks", -1,
         10},
        {"no tracks", MidiFileBuilder().header(1, 0, 96).bytes(), "no tracks", -1, 10},
        {"division 0", MidiFileBuilder().header(0, 1, 0).bytes(), "division of 0", -1, 12},
        {"SMPTE 23 fps", MidiFileBuilder().header(0, 1, 0xE928).bytes(), "23 frames per second", -1, 12},
        {"SMPTE 0 ticks", MidiFileBuilder().header(0, 1, 0xE700).bytes(), "0 ticks per frame", -1, 12},
        {"fewer tracks than announced", MidiFileBuilder().header(1, 3, 96).track(TrackBytes().end()).bytes(),
         "announces 3 tracks but the file ends after 1", -1, 26},
        {"truncated chunk header", MidiFileBuilder().header(0, 1, 96).raw({'M', 'T', 'r'}).bytes(),
         "truncated chunk header", -1, 14},
        {"track past the end",
         MidiFileBuilder().header(0, 1, 96).chunkWithLength("MTrk", 0xFFFFFFF0, {0}).bytes(),
         "4294967280 bytes but only 1", 0, 14},
        {"running status before any status", oneTrack(TrackBytes().event(0, {60, 100})),
         "data byte 0x3C with no running status", 0, 23},
        {"data byte with its top bit", oneTrack(TrackBytes().event(0, {0x90, 0x80, 1})),
         "data byte 0x80 has its top bit set", 0, 24},
        {"event cut by the track's end", oneTrack(TrackBytes().event(0, {0x90, 60})), "truncated event", 0,
         22},
        {"delta cut by the track's end", oneTrack(TrackBytes().raw({0x81, 0x80})), "truncated event", 0, 22},
        {"five-byte delta", oneTrack(TrackBytes().raw({0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 1, 1})),
         "delta time longer than 4 bytes", 0, 22},
        {"meta length past the track", oneTrack(TrackBytes().event(0, {0xFF, 0x01, 0x8F, 0xFF, 0xFF, 0x7F})),
         "truncated event", 0, 22},
        {"five-byte meta length", oneTrack(TrackBytes().event(0, {0xFF, 0x01, 0x81, 0x81, 0x81, 0x81, 0x01})),
         "event length longer than 4 bytes", 0, 22},
        {"SysEx past the track", oneTrack(TrackBytes().event(0, {0xF0, 0x10, 1, 2})), "truncated event", 0,
         22},
        {"escape past the track", oneTrack(TrackBytes().event(0, {0xF7, 0x05})), "truncated event", 0, 22},
        {"tempo of 2 bytes", oneTrack(TrackBytes().event(0, {0xFF, 0x51, 0x02, 1, 2})),
         "tempo event of 2 bytes", 0, 22},
        {"tempo 0", oneTrack(TrackBytes().tempo(0, 0)), "tempo of 0", 0, 22},
        {"system common status", oneTrack(TrackBytes().event(0, {0xF2, 1, 1})), "status byte 0xF2", 0, 23},
        {"real-time status", oneTrack(TrackBytes().event(0, {0xF8})), "status byte 0xF8", 0, 23},
        {"meta cut after its type", oneTrack(TrackBytes().event(0, {0xFF})), "truncated event", 0, 22},
    };
}

TEST(MidiFileReader, RefusesBrokenAndHostileFilesSayingWhatAndWhere) {
    for (const Refusal& refusal : refusals()) {
        SCOPED_TRACE(refusal.name);
        MidiFile file;
        file.format = 9;
        MidiFileError error;
        ASSERT_FALSE(parse(refusal.bytes, file, error));
        EXPECT_NE(error.what.find(refusal.fragment), std::string::npos) << error.what;
        EXPECT_EQ(error.track, refusal.track);
        EXPECT_EQ(error.offset, refusal.offset);
        EXPECT_EQ(file.format, 0) << "a refused file leaves the result empty";
        EXPECT_TRUE(file.events.empty());
    }
}

TEST(MidiFileReader, RefusesEveryTruncationOfAGoodFile) {
    const Bytes good = twoTrackFile();
    for (std::size_t size = 0; size < good.size(); ++size) {
        SCOPED_TRACE(size);
        const Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
        MidiFile file;
        MidiFileError error;
        EXPECT_FALSE(parse(cut, file, error));
        EXPECT_FALSE(error.what.empty());
    }
}

TEST(MidiFileReader, DescribesTheTrackAndByteOfAnError) {
    EXPECT_EQ((MidiFileError{"bad", 2, 40}).describe(), "track 2, byte 40: bad");
    EXPECT_EQ((MidiFileError{"bad", -1, 8}).describe(), "byte 8: bad");
    EXPECT_EQ((MidiFileError{"bad", 1, -1}).describe(), "track 1: bad");
    EXPECT_EQ((MidiFileError{"bad", -1, -1}).describe(), "bad");
}

TEST(MidiFileReader, LoadsAFileAndSaysWhyAMissingOneCannotBeRead) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("corvale-midi-" + std::to_string(::getpid()) + ".mid"))
            .string();
    const Bytes good = twoTrackFile();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(good.data()), static_cast<std::streamsize>(good.size()));
    MidiFile file;
    MidiFileError error;
    EXPECT_TRUE(MidiFileReader::load(path, file, error)) << error.describe();
    EXPECT_EQ(file.events.size(), 5u);
    std::filesystem::remove(path);
    EXPECT_FALSE(MidiFileReader::load(path, file, error));
    EXPECT_NE(error.what.find("cannot open the file"), std::string::npos) << error.what;
    EXPECT_FALSE(MidiFileReader::load(std::filesystem::temp_directory_path().string(), file, error))
        << "a folder is no file";
}

} // namespace
} // namespace corvale::hostapp
