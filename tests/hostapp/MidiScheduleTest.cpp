#include "hostapp/MidiSchedule.h"

#include "support/MidiFileBuilder.h"

#include <gtest/gtest.h>

#include <limits>

namespace corvale::hostapp {
namespace {

using test::MidiFileBuilder;
using test::TrackBytes;

MidiFile parsed(const test::Bytes& bytes) {
    MidiFile file;
    MidiFileError error;
    EXPECT_TRUE(MidiFileReader::parse(bytes.data(), bytes.size(), file, error)) << error.describe();
    return file;
}

std::vector<std::int64_t> framesOf(const MidiSchedule& schedule) {
    std::vector<std::int64_t> frames;
    for (const TimedMidiEvent& event : schedule.events)
        frames.push_back(event.frame);
    return frames;
}

TEST(MidiSchedule, TimesTicksAt120BeatsPerMinuteUntilATempoChangeAtEitherRate) {
    // 480 ticks per quarter; notes at beats 0, 1 and 2; no tempo event, so half a second per beat.
    const MidiFile file = parsed(MidiFileBuilder()
                                     .header(0, 1, 480)
                                     .track(TrackBytes()
                                                .event(0, {0x90, 60, 100})
                                                .event(480, {0x90, 62, 100})
                                                .event(480, {0x90, 64, 100})
                                                .end(240))
                                     .bytes());
    EXPECT_EQ(framesOf(scheduleMidiFile(file, 48000)), (std::vector<std::int64_t>{0, 24000, 48000}));
    EXPECT_EQ(framesOf(scheduleMidiFile(file, 44100)), (std::vector<std::int64_t>{0, 22050, 44100}));
    EXPECT_EQ(scheduleMidiFile(file, 48000).endFrame, 60000);
}

TEST(MidiSchedule, MergesTracksThroughTheTempoMapOfTheFirstTrack) {
    // Tempo track: 60 beats per minute, then 240 from beat 2 on. Note track: beats 0, 1, 2, 3 and 4.
    const MidiFile file = parsed(MidiFileBuilder()
                                     .header(1, 3, 100)
                                     .track(TrackBytes().tempo(0, 1000000).tempo(200, 250000).end())
                                     .track(TrackBytes()
                                                .event(0, {0x90, 1, 1})
                                                .event(100, {0x90, 2, 1})
                                                .event(100, {0x90, 3, 1})
                                                .event(100, {0x90, 4, 1})
                                                .event(100, {0x90, 5, 1})
                                                .end())
                                     .track(TrackBytes().event(150, {0xB0, 7, 1}).end())
                                     .bytes());
    const MidiSchedule schedule = scheduleMidiFile(file, 1000);
    EXPECT_EQ(framesOf(schedule), (std::vector<std::int64_t>{0, 1000, 1500, 2000, 2250, 2500}));
    EXPECT_EQ(schedule.events[2].status, 0xB0) << "the third track's controller falls between the notes";
    EXPECT_EQ(schedule.endFrame, 2500);
}

TEST(MidiSchedule, KeepsTrackOrderThenFileOrderForEventsAtOneTick) {
    const MidiFile file = parsed(MidiFileBuilder()
                                     .header(1, 2, 96)
                                     .track(TrackBytes().event(10, {0x80, 1, 0}).event(0, {0x90, 1, 1}).end())
                                     .track(TrackBytes().event(0, {0x90, 9, 1}).event(10, {0x80, 2, 0}).end())
                                     .bytes());
    const MidiSchedule schedule = scheduleMidiFile(file, 48000);
    ASSERT_EQ(schedule.events.size(), 4u);
    EXPECT_EQ(schedule.events[0].data1, 9);
    EXPECT_EQ(schedule.events[1].status, 0x80);
    EXPECT_EQ(schedule.events[1].data1, 1);
    EXPECT_EQ(schedule.events[2].status, 0x90);
    EXPECT_EQ(schedule.events[3].data1, 2);
}

TEST(MidiSchedule, TimesSmpteTicksByTheirFrameRateWhateverTheTempo) {
    MidiFile file;
    file.division.smpte = true;
    file.division.framesPerSecond = 25;
    file.division.ticksPerFrame = 40; // 1000 ticks per second
    file.events = {{0, 0x90, 1, 1, 0}, {1000, 0x90, 2, 1, 0}, {1500, 0x90, 3, 1, 0}};
    file.tempoChanges = {{0, 123456}};
    file.endTick = 2000;
    MidiSchedule schedule = scheduleMidiFile(file, 48000);
    EXPECT_EQ(framesOf(schedule), (std::vector<std::int64_t>{0, 48000, 72000}));
    EXPECT_EQ(schedule.endFrame, 96000);
    // 29 stands for drop-frame 29.97: 30 frames last 1.001 seconds.
    file.division.framesPerSecond = 29;
    file.division.ticksPerFrame = 1;
    file.events = {{30, 0x90, 1, 1, 0}};
    file.endTick = 30;
    EXPECT_EQ(framesOf(scheduleMidiFile(file, 48000)), (std::vector<std::int64_t>{48048}));
}

TEST(MidiSchedule, RoundsToTheNearestFrameAndSaturatesFarBeyondAnyRender) {
    MidiFile file;
    file.division.ticksPerQuarter = 3;
    file.events = {{1, 0x90, 1, 1, 0}, {2, 0x90, 2, 1, 0}};
    // A third and two thirds of half a second at 1000 frames per second: 166.67 and 333.33.
    EXPECT_EQ(framesOf(scheduleMidiFile(file, 1000)), (std::vector<std::int64_t>{167, 333}));
    file.division.ticksPerQuarter = 1;
    file.tempoChanges = {{0, 0xFFFFFF}};
    file.events = {{std::numeric_limits<std::int64_t>::max() / 2, 0x90, 1, 1, 0}};
    file.endTick = file.events[0].tick;
    const MidiSchedule schedule = scheduleMidiFile(file, 384000);
    EXPECT_EQ(schedule.events[0].frame, std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(schedule.endFrame, std::numeric_limits<std::int64_t>::max());
}

TEST(MidiSchedule, GivesNothingForARateOrDivisionOfZero) {
    MidiFile file;
    file.division.ticksPerQuarter = 96;
    file.events = {{0, 0x90, 1, 1, 0}};
    EXPECT_TRUE(scheduleMidiFile(file, 0).events.empty());
    file.division.ticksPerQuarter = 0;
    EXPECT_TRUE(scheduleMidiFile(file, 48000).events.empty());
}

} // namespace
} // namespace corvale::hostapp
