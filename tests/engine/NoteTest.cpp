#include "engine/Note.h"
#include "engine/FrequencySource.h"
#include "engine/Tuning.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace trov {
namespace {

// A module stand-in answering from an equal-tempered tuning.
class TunedModule : public FrequencySource {
public:
    TunedModule() { tuning.setEqualTemperament(); }
    double getFrequency(int key, double cents) const override { return tuning.getFrequency(key, cents); }
    Tuning tuning;
};

TEST(Note, MidiEventsSetTheTypeOnlyForNoteOnAndOff) {
    Note note;
    EXPECT_EQ(std::pair(note.getType(), note.getSlot()), std::pair(0, Note::kAnySlot));
    note.setMidiEvent(0x90, 3, 64, 100, 0, 12, 7);
    EXPECT_EQ(std::tuple(note.getType(), note.getChannel(), note.getKey(), note.getVelocity(),
                         note.getOffset(), note.getExtra()),
              std::tuple(Note::kNoteOn, 3, 64, 100, 12, 7u));
    note.setMidiEvent(0xB0, 1, 20, 5, -3, 0, 0);
    EXPECT_EQ(std::tuple(note.getType(), note.getKey(), note.getDetune()), std::tuple(Note::kNoteOn, 20, -3));
    note.setMidiEvent(0x80, 1, 20, 0, 0, 0, 0);
    EXPECT_EQ(note.getType(), Note::kNoteOff);

    note.setSlot(5);
    note.clear();
    EXPECT_EQ(std::tuple(note.getType(), note.getKey(), note.getSlot()),
              std::tuple(Note::kNoteOff, 0, Note::kAnySlot));
}

TEST(Note, OnlyRealChangesMakeTheFrequencyStale) {
    TunedModule module;
    Note note(&module);
    note.setKey(71);
    EXPECT_FLOAT_EQ(note.computeFrequency(), 440.0f);
    note.setKey(71);
    note.transpose(0);
    note.addDetune(0);
    note.setDetune(0);
    EXPECT_FALSE(note.isDirty());
    note.transpose(12);
    EXPECT_TRUE(note.isDirty());
    EXPECT_FLOAT_EQ(note.computeFrequency(), 880.0f);
    note.addDetune(-1200);
    EXPECT_EQ(std::pair(note.getDetune(), note.isDirty()), std::pair(-1200, true));
    EXPECT_FLOAT_EQ(note.computeFrequency(), 440.0f);
    note.setDetune(0);
    EXPECT_TRUE(note.isDirty());
    EXPECT_FLOAT_EQ(note.computeFrequency(), 880.0f);
    note.invalidate();
    EXPECT_TRUE(note.isDirty());
}

TEST(Note, CopiesKeepTheirOwnOwnerAndComputeAgain) {
    TunedModule lower, upper;
    upper.tuning.setAnchor(0, 2 * Tuning::kDefaultFrequency);
    Note played(&lower);
    played.setMidiEvent(0x90, 0, 71, 64, 0, 0, 0);
    played.computeFrequency();

    Note copy(&upper, played);
    EXPECT_EQ(std::tuple(copy.getOwner(), copy.isDirty(), copy.getFrequency()),
              std::tuple(static_cast<const FrequencySource*>(&upper), true, 1.0f));
    EXPECT_FLOAT_EQ(copy.computeFrequency(), 880.0f);
    Note assigned(&upper);
    assigned = played;
    EXPECT_EQ(std::tuple(assigned.getOwner(), assigned.getKey(), assigned.isDirty()),
              std::tuple(static_cast<const FrequencySource*>(&upper), 71, true));
    Note orphan;
    orphan.setKey(60);
    EXPECT_EQ(orphan.computeFrequency(), 1.0f);
}

TEST(Note, VelocityKeyColourAndPitchRatios) {
    Note note;
    note.setMidiEvent(0x90, 0, 61, 127, 0, 0, 0);
    EXPECT_NEAR(note.getVelocityAmount(), 1.0f, 1e-6f);
    EXPECT_TRUE(note.isBlackKey());
    note.setMidiEvent(0x90, 0, 60, 64, 0, 0, 0);
    EXPECT_NEAR(note.getVelocityAmount(), 0.503937f, 1e-6f);
    EXPECT_FALSE(note.isBlackKey());
    EXPECT_EQ(pitchRatio(12, 0), 2.0);
    EXPECT_NEAR(pitchRatio(0, 100), 1.0594631, 1e-7);
    EXPECT_NEAR(pitchRatio(-12, 0), 0.5, 1e-7);
    EXPECT_NEAR(pitchRatio(7, -50), std::pow(2.0, 6.5 / 12.0), 1e-6);
}

} // namespace
} // namespace trov
