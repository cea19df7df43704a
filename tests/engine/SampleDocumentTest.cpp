#include "SampleTestSupport.h"

#include "framework/Dictionary.h"
#include "framework/File.h"
#include "framework/FileTestFolder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>

namespace trov {
namespace {

using test::bitsOf;
using test::holdsGuard;
using test::loopOf;
using test::makeRamp;
using test::makeSample;
using test::slicesOf;
using test::valuesOf;

// A document holding the values as "sampledata" and the given whole-number keys.
Dictionary documentWith(const std::vector<float>& values,
                        std::initializer_list<std::pair<const char*, std::int32_t>> keys = {}) {
    std::vector<std::uint8_t> bytes;
    for (float value : values)
        for (int b = 0; b < 4; ++b)
            bytes.push_back(static_cast<std::uint8_t>(bitsOf(value) >> (8 * b)));
    Dictionary document;
    for (const auto& [key, value] : keys)
        document.setInteger(key, value);
    if (!bytes.empty())
        document.setData("sampledata", bytes.data(), bytes.size());
    return document;
}

TEST(SampleDocument, AudioTravelsThroughDocumentTextBitForBit) {
    std::vector<float> values = makeRamp(1500);
    values[1] = -0.0f;
    values[2] = std::numeric_limits<float>::denorm_min();
    values[3] = std::numeric_limits<float>::max();
    values[4] = -1.0f;
    auto sample = makeSample(values);
    sample->setRootNote(57);
    sample->setDetune(-12);
    sample->setStart(20);
    sample->setEnd(1400);
    sample->setLoop({Sample::kLoopOn, 100, 900});

    Dictionary written;
    written.setString("file-format", "0.7.0");
    sample->toDictionary(written);
    sample->writePositions(written);
    Sample loaded;
    loaded.fromDictionary(Dictionary(written.toDocumentText()));
    const std::vector<float> back = valuesOf(loaded);
    ASSERT_EQ(back.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i)
        ASSERT_EQ(bitsOf(back[i]), bitsOf(values[i])) << "frame " << i;
    EXPECT_TRUE(holdsGuard(loaded));
    EXPECT_EQ(std::tuple(loaded.getInfo().channels, loaded.getRootNote(), loaded.getDetune(),
                         loaded.getStart(), loaded.getEnd()),
              std::tuple(1, 57, -12, 20, 1400));
    EXPECT_EQ(loopOf(loaded), std::tuple(Sample::kLoopOn, 100, 900));
}

TEST(SampleDocument, OlderTypedDocumentsAreReadToo) {
    const std::vector<float> values{0.75f, -0.5f, 0.25f};
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(documentWith(values).getData("sampledata", &bytes));
    std::string encoded;
    Dictionary::encodeData(encoded, bytes.data(), bytes.size());
    const Dictionary document(std::string("<dict><integer name=\"samples\" value=\"3\"/>") +
                              "<integer name=\"SampleRootNote\" value=\"40\"/>" +
                              "<data name=\"sampledata\" value=\"" + encoded + "\"/></dict>");
    ASSERT_TRUE(document.readsTypedLayout());
    Sample sample;
    sample.fromDictionary(document);
    EXPECT_EQ(sample.getRootNote(), 40);
    EXPECT_EQ(valuesOf(sample), values);
    EXPECT_TRUE(holdsGuard(sample));
}

TEST(SampleDocument, KeysAreWrittenInTheirOrderAndAnEmptySampleHasNoData) {
    Sample empty;
    Dictionary written;
    empty.toDictionary(written);
    empty.writePositions(written);
    EXPECT_FALSE(written.findEntry("sampledata"));
    std::string text;
    written.toText(text);
    std::size_t at = 0;
    for (const char* key : {"channels", "samples", "samplerate", "bitdepth", "SampleStart", "SampleEnd",
                            "SampleLoopStart", "SampleLoopEnd", "SampleRootNote", "SampleDetuneCoarse"}) {
        const std::size_t found = text.find(std::string("<") + key + " ");
        ASSERT_NE(found, std::string::npos) << key;
        EXPECT_GT(found, at) << key;
        at = found;
    }
}

TEST(SampleDocument, SampleRootNoteWinsAndAZeroEndMeansTheLastFrameHeldBefore) {
    auto sample = makeSample(makeRamp(1000));
    sample->setLoop({Sample::kLoopOff, 30, 800});
    sample->fromDictionary(documentWith(
        {}, {{"WaveRootNote", 48}, {"SampleRootNote", 50}, {"SampleEnd", 0}, {"SampleLoopEnd", 700}}));
    EXPECT_EQ(std::pair(sample->getRootNote(), sample->getEnd()), std::pair(50, 999));
    EXPECT_EQ(loopOf(*sample), std::tuple(Sample::kLoopOn, 30, 700));
}

TEST(SampleDocument, PositionsOutsideTheSampleAreClampedIntoIt) {
    Sample sample;
    sample.fromDictionary(
        documentWith(makeRamp(600), {{"SampleStart", -50},
                                     {"SampleEnd", 999999},
                                     {"SampleLoopStart", -3},
                                     {"SampleLoopEnd", std::numeric_limits<std::int32_t>::max()}}));
    EXPECT_EQ(std::tuple(sample.getInfo().frames, sample.getStart(), sample.getEnd()),
              std::tuple(600, 0, 599));
    EXPECT_EQ(loopOf(sample), std::tuple(Sample::kLoopOn, 0, 599));
}

TEST(SampleDocument, MultiChannelDataIsMixedToMonoAndChannelCountsBelowOneCountAsOne) {
    Sample stereo;
    stereo.fromDictionary(
        documentWith({1.0f, 0.0f, 0.5f, 0.25f, -1.0f, -0.5f}, {{"channels", 2}, {"samples", 3}}));
    EXPECT_EQ(std::pair(stereo.getInfo().channels, stereo.getInfo().frames), std::pair(1, 3));
    EXPECT_EQ(valuesOf(stereo), (std::vector<float>{0.5f, 0.375f, -0.75f}));
    EXPECT_TRUE(holdsGuard(stereo));
    for (int channels : {0, -7}) {
        Sample sample;
        sample.fromDictionary(documentWith({0.5f, -0.25f, 0.125f}, {{"channels", channels}}));
        EXPECT_EQ(valuesOf(sample), (std::vector<float>{0.5f, -0.25f, 0.125f})) << channels;
        EXPECT_TRUE(holdsGuard(sample));
    }
}

TEST(SampleDocument, UndecodableDataThrowsAndLeavesTheSampleEmpty) {
    auto sample = makeSample(makeRamp(800));
    Dictionary document;
    document.setString("sampledata", "H4sI!!!!not base64 at all");
    EXPECT_THROW(sample->fromDictionary(document), Exception::SampleDataCorrupt);
    EXPECT_EQ(std::pair(sample->getInfo().frames, sample->getData()),
              std::pair(0, static_cast<float*>(nullptr)));
}

TEST(SampleDocument, APackedTextNeverYieldsMoreThanItCarries) {
    // Four characters of the older packed form carry 24 bits: not even one float, whatever "samples" claims.
    Dictionary document =
        documentWith({}, {{"samples", std::numeric_limits<std::int32_t>::max()}, {"channels", 1 << 30}});
    document.setString("sampledata", "abcd");
    Sample sample;
    sample.fromDictionary(document);
    EXPECT_EQ(std::pair(sample.getInfo().frames, sample.getData()),
              std::pair(0, static_cast<float*>(nullptr)));

    // Eleven characters carry two words.
    Dictionary two = documentWith({}, {{"samples", 100000000}});
    two.setString("sampledata", "0123456789a");
    Sample fresh;
    fresh.fromDictionary(two);
    EXPECT_EQ(fresh.getInfo().frames, 2);
    EXPECT_TRUE(holdsGuard(fresh));
}

TEST(SampleDocument, ACountWithoutDataNeverClaimsMoreThanIsHeld) {
    auto sample = makeSample(makeRamp(100));
    sample->fromDictionary(documentWith({}, {{"samples", 5000000}, {"channels", 4}}));
    EXPECT_LE(sample->getInfo().frames * 4, 100);
    EXPECT_NO_FATAL_FAILURE(valuesOf(*sample));
    Dictionary rewritten;
    sample->toDictionary(rewritten);
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(rewritten.getData("sampledata", &bytes));
    EXPECT_LE(bytes.size(), 400u);
}

TEST(SampleDocument, ResidentSamplesAreMaskedAndExportFollowsTheDocument) {
    const std::vector<float> ramp = makeRamp(64);
    auto sample = makeSample(ramp);
    Dictionary document;
    document.setBool("resident", true);
    document.setBool("export", false);
    sample->fromDictionary(document);
    EXPECT_EQ(sample->testFlags(Sample::kFlagResident | Sample::kFlagExport), Sample::kFlagResident);
    EXPECT_EQ(bitsOf(sample->getData()[5]), bitsOf(ramp[5]) ^ Sample::kResidentMask);
    EXPECT_TRUE(holdsGuard(*sample));
    document.setBool("resident", false);
    document.setBool("export", true);
    sample->fromDictionary(document);
    EXPECT_EQ(sample->testFlags(Sample::kFlagResident | Sample::kFlagExport), Sample::kFlagExport);
}

// Slices from ".mrk" side files.
class SliceFile : public ::testing::Test {
protected:
    // A sample of frames loaded with the side file holding text (none when text is null).
    SharedObjectPtr<Sample> slicedBy(const char* text, int frames, std::optional<Sample::Loop> loop = {}) {
        auto sample = makeSample(makeRamp(frames));
        if (loop)
            sample->setLoop(*loop);
        sample->setSlices(2);
        if (text != nullptr)
            folder_.write("loop.mrk", text);
        else
            std::filesystem::remove(folder_ / "loop.mrk");
        EXPECT_FALSE(sample->loadSliceFile(File(folder_ / "loop.wav")));
        return sample;
    }

    test::FileTestFolder folder_;
};

TEST_F(SliceFile, PositionsBecomeSlicesEndingBeforeTheNextAndTheLoopSpansThem) {
    const auto sample = slicedBy("Pos=0\nPos=1000\r\nPos=5000\n", 10000);
    EXPECT_EQ(slicesOf(*sample), (test::Slices{{0, 999}, {1000, 4999}, {5000, 9998}}));
    EXPECT_EQ(std::pair(sample->getLoop().start, sample->getLoop().end), std::pair(0, 9998));
    // A last line without a line feed counts.
    EXPECT_EQ(slicesOf(*slicedBy("Pos=0\nPos=1500", 3000)), (test::Slices{{0, 1499}, {1500, 2998}}));
}

TEST_F(SliceFile, LinesWithoutPositionsLeaveNoSlicesAndAMissingFileChangesNothing) {
    const auto sample =
        slicedBy("; comment\npos=10\n Pos=20\nPosition\n", 2000, Sample::Loop{Sample::kLoopOn, 100, 1500});
    EXPECT_EQ(sample->getSliceCount(), 0);
    EXPECT_EQ(loopOf(*sample), std::tuple(Sample::kLoopOn, 100, 1500));
    EXPECT_EQ(slicedBy(nullptr, 2000)->getSliceCount(), 2);
}

TEST_F(SliceFile, HostilePositionsAreClampedAndBackwardSlicesDropped) {
    const std::string text =
        "Pos=-40\nPos=300\nPos=200\nPos=99999999999999\nPos=700\nPos=" + std::string(5000, '9') + "\nPos=x\n";
    // Positions 0, 300, 200, 999, 700, 999, 0: {300, 199}, {999, 699} and {999, -1} run backwards.
    EXPECT_EQ(slicesOf(*slicedBy(text.c_str(), 1000)),
              (test::Slices{{0, 299}, {200, 998}, {700, 998}, {0, 998}}));
}

} // namespace
} // namespace trov
