#include "engine/notes/FrequencySource.h"
#include "engine/notes/Note.h"
#include "engine/notes/Tuning.h"
#include "engine/notes/TuningSCL.h"
#include "framework/Dictionary.h"
#include "framework/DictionaryNodes.h"
#include "framework/File.h"
#include "support/EngineTestSupport.h"
#include "support/FileTestFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <tuple>

namespace trov {
namespace {

using test::TunedModule;

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

bool parses(TuningSCL& tuning, const std::string& text) {
    std::istringstream in(text);
    return tuning.parse(in);
}

TEST(Tuning, EqualTemperamentFrequenciesAndWithoutRatiosEveryKeyIsSilent) {
    Tuning tuning;
    EXPECT_EQ(tuning.getDescription(), "Equal Temperament");
    EXPECT_EQ(tuning.getFrequency(69, 0.0), 0.0);
    EXPECT_FALSE(tuning.load(File("/nonexistent.scl")));
    tuning.setEqualTemperament();
    ASSERT_EQ(tuning.getRatios().size(), 12u);
    EXPECT_DOUBLE_EQ(tuning.getRatios().back(), 2.0);
    EXPECT_NEAR(tuning.getFrequency(71, 0.0), 440.0, 1e-9);
    EXPECT_NEAR(tuning.getFrequency(83, 0.0), 880.0, 1e-9);
    EXPECT_NEAR(tuning.getFrequency(71, 1200.0), 880.0, 1e-9);
    EXPECT_NEAR(tuning.getFrequency(69, 0.0), 392.0, 0.005);
    EXPECT_NEAR(tuning.getFrequency(-1, 0.0), 6.875, 1e-12);
    EXPECT_NEAR(tuning.getFrequency(-13, 0.0), 3.4375, 1e-12);
    // Far below the anchor the periods are counted, not stepped through.
    EXPECT_EQ(tuning.getFrequency(-2000000000, 0.0), 0.0);
}

TEST(Tuning, TheReferencePitchIsEqualTemperamentWithKey57At440AndAnyKeyCanBeNamedInAnyScale) {
    // To the bit what an equal-tempered tuning anchored for key 57 at 440 Hz gives, so that a sample played
    // in that tuning at its root key is read frame by frame.
    Tuning tempered;
    tempered.setEqualTemperament();
    tempered.setAnchor(Tuning::anchorForKey(57), 440.0);
    for (int key = 0; key < 128; ++key)
        for (const double cents : {-1200.0, -37.0, 0.0, 50.0}) {
            ASSERT_EQ(Tuning::referenceFrequency(key, cents), tempered.getFrequency(key, cents)) << key;
            ASSERT_NEAR(Tuning::referenceFrequency(key, cents),
                        440.0 * std::exp2((key - 57) / 12.0 + cents / 1200.0), 1e-9)
                << key;
        }
    // In a scale of seven equal steps, key 57 and the anchor it names sound at the frequency asked, whatever
    // anchor the tuning keeps.
    Tuning seven;
    Dictionary scale;
    ASSERT_TRUE(seven.write(scale));
    for (int degree = 1; degree <= 7; ++degree)
        scale.setDouble("factor", std::exp2(degree / 7.0), 0, false);
    ASSERT_TRUE(seven.read(scale));
    for (const int key : {40, 50, 57, 58, 64, 71})
        EXPECT_NEAR(seven.getFrequencyWithKeyAt(57, 466.0, key, 0.0), 466.0 * std::exp2((key - 57) / 7.0),
                    1e-9)
            << key;
    EXPECT_EQ(seven.getAnchor(), 0);
}

TEST(Tuning, CopiesCompareByDescription) {
    Tuning a;
    a.setEqualTemperament();
    Tuning b(a);
    b.setAnchor(60, 261.6);
    EXPECT_TRUE(a == b);
    b.setDescription("Other");
    EXPECT_TRUE(a != b);
    a = b;
    EXPECT_EQ(a.getAnchor(), 60);
}

TEST(Tuning, TravelsThroughADocument) {
    TuningSCL source;
    ASSERT_TRUE(parses(source, "Just\n3\n5/4\n3/2\n2/1\n"));
    source.setAnchor(60, 261.6255653005986);
    Dictionary written;
    written.setString("file-format", "0.7.0");
    ASSERT_TRUE(source.write(written));

    Tuning read;
    read.setEqualTemperament();
    ASSERT_TRUE(read.read(Dictionary(written.toDocumentText())));
    EXPECT_EQ(std::tuple(read.getDescription(), read.getAnchor(), read.getRatios().size()),
              std::tuple("Just", 60, 3u));
    for (int key = 40; key < 80; ++key)
        EXPECT_NEAR(read.getFrequency(key, 13.0) / source.getFrequency(key, 13.0), 1.0, 1e-14) << key;
}

TEST(Tuning, ReadsEveryFactorOfALongScaleInOneWalk) {
    // Documents come from outside: a scale of many degrees costs one walk, and an attribute named like the
    // entries is no degree (read by index, it answered for every index without end).
    constexpr int kDegrees = 20000;
    Dictionary written;
    written.setString("file-format", "0.7.0");
    const Dictionary::View item = written.addDictionary("tuning");
    item->setAttribute("", "factor", "9");
    item->setString("description", "Long");
    for (int i = 1; i <= kDegrees; ++i)
        item->setDouble("factor", 1.0 + i / static_cast<double>(kDegrees), 0, false);
    const Dictionary read(written.toDocumentText());

    Tuning tuning;
    const std::uint64_t before = dictionary_nodes::visitedNodes();
    ASSERT_TRUE(tuning.read(*read.getDictionary("tuning")));
    // A look-up of each single value walks the entries once; reading the degrees by index walked them
    // kDegrees / 2 times.
    EXPECT_LT(dictionary_nodes::visitedNodes() - before, 5u * kDegrees);
    ASSERT_EQ(tuning.getRatios().size(), static_cast<std::size_t>(kDegrees));
    EXPECT_EQ(tuning.getRatios().front(), 1.0 + 1.0 / kDegrees);
    EXPECT_EQ(tuning.getRatios().back(), 2.0);
    EXPECT_EQ(tuning.getDescription(), "Long");
}

TEST(TuningSCL, ReadsCentsAndRatios) {
    TuningSCL tuning;
    ASSERT_TRUE(parses(tuning, "! test.scl\n!\nA test scale\r\n 4\n!\n3/2\n2\n100.0\n700.0 ! fifth\n"));
    EXPECT_EQ(tuning.getDescription(), "A test scale");
    const auto& ratios = tuning.getRatios();
    ASSERT_EQ(ratios.size(), 4u);
    EXPECT_EQ(std::pair(ratios[0], ratios[1]), std::pair(1.5, 2.0));
    EXPECT_NEAR(ratios[2], std::pow(2.0, 1.0 / 12.0), 1e-15);
    EXPECT_NEAR(ratios[3], 1.4983071, 5e-8);
    // A last line without a line feed counts.
    EXPECT_TRUE(parses(tuning, "Two\n2\n3/2\n2/1"));
    EXPECT_EQ(tuning.getRatios().size(), 2u);
}

TEST(TuningSCL, RefusesBrokenScalesAndKeepsWhatItHad) {
    const char* broken[] = {
        "",                        // nothing
        "! only comments\n",       // no description
        "Name\n",                  // no count
        "Name\n0\n",               // zero degrees
        "Name\n-3\n1/1\n",         // negative count
        "Name\nmany\n1/1\n",       // count that is no number
        "Name\n3\n3/2\n2/1\n",     // fewer degrees than counted
        "Name\n2\n3/0\n2/1\n",     // division by zero
        "Name\n2\n-3/2\n2/1\n",    // negative ratio
        "Name\n2\n0/1\n2/1\n",     // zero ratio
        "Name\n1\n\n",             // empty degree line
        "Name\n1\n100000000.0\n",  // infinite ratio
        "Name\n2\n1e400.0\n2/1\n", // cents beyond the range of double
        "Name\n2\n2/1\n-1e400.0\n",
        "Name\n1\nnan.\n",         // undefined ratio
        "Name\n2147483647\n3/2\n", // a count far beyond the lines
    };
    for (const char* text : broken) {
        TuningSCL tuning;
        tuning.setEqualTemperament();
        EXPECT_FALSE(parses(tuning, text)) << text;
        EXPECT_EQ(tuning.getDescription(), "Equal Temperament") << text;
        EXPECT_EQ(tuning.getRatios().size(), 12u) << text;
    }
}

TEST(TuningSCL, LongLinesAreCutNotHeld) {
    TuningSCL tuning;
    const std::string description(100000, 'x');
    ASSERT_TRUE(parses(tuning, description + "\n1\n" + std::string(50000, ' ') + "2/1\n") == false);
    ASSERT_TRUE(parses(tuning, description + "\n1\n2/1\n"));
    EXPECT_EQ(tuning.getDescription().size(), TuningSCL::kMaxLineLength);
}

TEST(TuningSCL, LoadsFromAFileAndKeepsItsScaleWhenTheFileIsGone) {
    std::string path;
    TuningSCL tuning;
    {
        test::FileTestFolder folder;
        path = folder.write("pelog.scl", "! pelog\nPelog\n2\n150.0\n2/1\n");
        EXPECT_TRUE(tuning.load(File(path)));
        EXPECT_EQ(tuning.getDescription(), "Pelog");
    }
    EXPECT_FALSE(tuning.load(File(path)));
    EXPECT_EQ(tuning.getDescription(), "Pelog");
}

} // namespace
} // namespace trov
