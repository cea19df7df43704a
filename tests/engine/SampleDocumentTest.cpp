#include "SampleTestSupport.h"

#include "framework/Dictionary.h"
#include "framework/File.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <unistd.h>

namespace trov {
namespace {

using test::bitsOf;
using test::holdsGuard;
using test::makeRamp;
using test::makeSample;
using test::valuesOf;

std::vector<std::uint8_t> bytesOfFloats(const std::vector<float>& values) {
    std::vector<std::uint8_t> bytes;
    for (float value : values)
        for (int b = 0; b < 4; ++b)
            bytes.push_back(static_cast<std::uint8_t>(bitsOf(value) >> (8 * b)));
    return bytes;
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
    const Dictionary read(written.toDocumentText());

    Sample loaded;
    loaded.fromDictionary(read);
    const std::vector<float> back = valuesOf(loaded);
    ASSERT_EQ(back.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i)
        ASSERT_EQ(bitsOf(back[i]), bitsOf(values[i])) << "frame " << i;
    EXPECT_TRUE(holdsGuard(loaded));
    EXPECT_EQ(loaded.getInfo().channels, 1);
    EXPECT_EQ(loaded.getRootNote(), 57);
    EXPECT_EQ(loaded.getDetune(), -12);
    EXPECT_EQ(loaded.getStart(), 20);
    EXPECT_EQ(loaded.getEnd(), 1400);
    EXPECT_EQ(loaded.getLoop().mode, Sample::kLoopOn);
    EXPECT_EQ(loaded.getLoop().start, 100);
    EXPECT_EQ(loaded.getLoop().end, 900);
}

TEST(SampleDocument, OlderTypedDocumentsAreReadToo) {
    const std::vector<float> values{0.75f, -0.5f, 0.25f};
    const auto bytes = bytesOfFloats(values);
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
    const char* keys[] = {"channels",       "samples",           "samplerate",      "bitdepth",
                          "SampleStart",    "SampleEnd",         "SampleLoopStart", "SampleLoopEnd",
                          "SampleRootNote", "SampleDetuneCoarse"};
    std::size_t at = 0;
    for (const char* key : keys) {
        const std::size_t found = text.find(std::string("<") + key + " ");
        ASSERT_NE(found, std::string::npos) << key;
        EXPECT_GT(found, at) << key;
        at = found;
    }
}

TEST(SampleDocument, SampleRootNoteWinsOverWaveRootNote) {
    Dictionary document;
    document.setInteger("WaveRootNote", 48);
    document.setInteger("SampleRootNote", 50);
    Sample sample;
    sample.fromDictionary(document);
    EXPECT_EQ(sample.getRootNote(), 50);
}

TEST(SampleDocument, AZeroEndMeansTheLastFrameOfTheDataHeldBefore) {
    auto sample = makeSample(makeRamp(1000));
    Dictionary document;
    document.setInteger("SampleEnd", 0);
    document.setInteger("SampleLoopEnd", 700);
    sample->setLoop({Sample::kLoopOff, 30, 800});
    sample->fromDictionary(document);
    EXPECT_EQ(sample->getEnd(), 999);
    EXPECT_EQ(sample->getLoop().mode, Sample::kLoopOn);
    EXPECT_EQ(sample->getLoop().start, 30);
    EXPECT_EQ(sample->getLoop().end, 700);
}

TEST(SampleDocument, PositionsOutsideTheSampleAreClampedIntoIt) {
    Dictionary document;
    document.setInteger("SampleStart", -50);
    document.setInteger("SampleEnd", 999999);
    document.setInteger("SampleLoopStart", -3);
    document.setInteger("SampleLoopEnd", std::numeric_limits<std::int32_t>::max());
    const std::vector<float> values = makeRamp(600);
    const auto bytes = bytesOfFloats(values);
    document.setData("sampledata", bytes.data(), bytes.size());
    Sample sample;
    sample.fromDictionary(document);
    EXPECT_EQ(sample.getInfo().frames, 600);
    EXPECT_EQ(sample.getStart(), 0);
    EXPECT_EQ(sample.getEnd(), 599);
    EXPECT_EQ(sample.getLoop().start, 0);
    EXPECT_EQ(sample.getLoop().end, 599);
}

TEST(SampleDocument, MultiChannelDataIsMixedToMono) {
    const std::vector<float> stereo{1.0f, 0.0f, 0.5f, 0.25f, -1.0f, -0.5f};
    const auto bytes = bytesOfFloats(stereo);
    Dictionary document;
    document.setInteger("channels", 2);
    document.setInteger("samples", 3);
    document.setData("sampledata", bytes.data(), bytes.size());
    Sample sample;
    sample.fromDictionary(document);
    EXPECT_EQ(sample.getInfo().channels, 1);
    EXPECT_EQ(sample.getInfo().frames, 3);
    EXPECT_EQ(valuesOf(sample), (std::vector<float>{0.5f, 0.375f, -0.75f}));
    EXPECT_TRUE(holdsGuard(sample));
}

TEST(SampleDocument, ChannelCountsBelowOneCountAsOne) {
    const std::vector<float> values{0.5f, -0.25f, 0.125f};
    const auto bytes = bytesOfFloats(values);
    for (int channels : {0, -7}) {
        Dictionary document;
        document.setInteger("channels", channels);
        document.setData("sampledata", bytes.data(), bytes.size());
        Sample sample;
        sample.fromDictionary(document);
        EXPECT_EQ(valuesOf(sample), values) << channels;
        EXPECT_TRUE(holdsGuard(sample));
    }
}

TEST(SampleDocument, UndecodableDataThrowsAndLeavesTheSampleEmpty) {
    auto sample = makeSample(makeRamp(800));
    Dictionary document;
    document.setString("sampledata", "H4sI!!!!not base64 at all");
    EXPECT_THROW(sample->fromDictionary(document), Exception::SampleDataCorrupt);
    EXPECT_EQ(sample->getInfo().frames, 0);
    EXPECT_EQ(sample->getData(), nullptr);
}

TEST(SampleDocument, APackedTextNeverYieldsMoreThanItCarries) {
    // Four characters of the older packed form carry 24 bits: not even one float, whatever "samples" claims.
    Dictionary document;
    document.setInteger("samples", std::numeric_limits<std::int32_t>::max());
    document.setInteger("channels", 1 << 30);
    document.setString("sampledata", "abcd");
    Sample sample;
    sample.fromDictionary(document);
    EXPECT_EQ(sample.getInfo().frames, 0);
    EXPECT_EQ(sample.getData(), nullptr);

    // Eleven characters carry two words.
    Dictionary two;
    two.setInteger("samples", 100000000);
    two.setString("sampledata", "0123456789a");
    Sample fresh;
    fresh.fromDictionary(two);
    EXPECT_EQ(fresh.getInfo().frames, 2);
    EXPECT_TRUE(holdsGuard(fresh));
}

TEST(SampleDocument, ACountWithoutDataNeverClaimsMoreThanIsHeld) {
    auto sample = makeSample(makeRamp(100));
    Dictionary document;
    document.setInteger("samples", 5000000);
    document.setInteger("channels", 4);
    sample->fromDictionary(document);
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
    EXPECT_EQ(sample->testFlags(Sample::kFlagResident), Sample::kFlagResident);
    EXPECT_EQ(sample->testFlags(Sample::kFlagExport), 0u);
    EXPECT_EQ(bitsOf(sample->getData()[5]), bitsOf(ramp[5]) ^ Sample::kResidentMask);
    EXPECT_TRUE(holdsGuard(*sample));

    Dictionary back;
    back.setBool("resident", false);
    back.setBool("export", true);
    sample->fromDictionary(back);
    EXPECT_EQ(sample->testFlags(Sample::kFlagResident | Sample::kFlagExport), Sample::kFlagExport);
}

// Slice side files.

class SliceFile : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "trov-slices-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    File audioFile() const { return File(folder_ + "/loop.wav"); }
    void writeSideFile(const std::string& text) const {
        std::ofstream(folder_ + "/loop.mrk", std::ios::binary) << text;
    }

    std::string folder_;
};

TEST_F(SliceFile, PositionsBecomeSlicesEndingBeforeTheNextAndTheLoopSpansThem) {
    auto sample = makeSample(makeRamp(10000));
    writeSideFile("Pos=0\nPos=1000\r\nPos=5000\n");
    EXPECT_FALSE(sample->loadSliceFile(audioFile()));
    ASSERT_EQ(sample->getSliceCount(), 3);
    EXPECT_EQ(sample->getSlice(0).start, 0);
    EXPECT_EQ(sample->getSlice(0).end, 999);
    EXPECT_EQ(sample->getSlice(1).start, 1000);
    EXPECT_EQ(sample->getSlice(1).end, 4999);
    EXPECT_EQ(sample->getSlice(2).start, 5000);
    EXPECT_EQ(sample->getSlice(2).end, 9998);
    EXPECT_EQ(sample->getLoop().start, 0);
    EXPECT_EQ(sample->getLoop().end, 9998);
}

TEST_F(SliceFile, LinesWithoutPositionsLeaveNoSlicesAndTheLoopAlone) {
    auto sample = makeSample(makeRamp(2000));
    sample->setLoop({Sample::kLoopOn, 100, 1500});
    writeSideFile("; comment\npos=10\n Pos=20\nPosition\n");
    sample->loadSliceFile(audioFile());
    EXPECT_EQ(sample->getSliceCount(), 0);
    EXPECT_EQ(sample->getLoop().start, 100);
    EXPECT_EQ(sample->getLoop().end, 1500);
}

TEST_F(SliceFile, AMissingSideFileChangesNothing) {
    auto sample = makeSample(makeRamp(2000));
    sample->setSlices(2);
    sample->loadSliceFile(audioFile());
    EXPECT_EQ(sample->getSliceCount(), 2);
}

TEST_F(SliceFile, HostilePositionsAreClampedAndBackwardSlicesDropped) {
    auto sample = makeSample(makeRamp(1000));
    writeSideFile("Pos=-40\nPos=300\nPos=200\nPos=99999999999999\nPos=700\nPos=" + std::string(5000, '9') +
                  "\nPos=x\n");
    sample->loadSliceFile(audioFile());
    // Positions 0, 300, 200, 999, 700, 999, 0: {300, 199}, {999, 699} and {999, -1} run backwards.
    ASSERT_EQ(sample->getSliceCount(), 4);
    EXPECT_EQ(sample->getSlice(0).start, 0);
    EXPECT_EQ(sample->getSlice(0).end, 299);
    EXPECT_EQ(sample->getSlice(1).start, 200);
    EXPECT_EQ(sample->getSlice(1).end, 998);
    EXPECT_EQ(sample->getSlice(2).start, 700);
    EXPECT_EQ(sample->getSlice(2).end, 998);
    EXPECT_EQ(sample->getSlice(3).start, 0);
    EXPECT_EQ(sample->getSlice(3).end, 998);
    for (int i = 0; i < sample->getSliceCount(); ++i) {
        EXPECT_GE(sample->getSlice(i).start, 0);
        EXPECT_LE(sample->getSlice(i).end, 999);
        EXPECT_LE(sample->getSlice(i).start, sample->getSlice(i).end);
    }
}

TEST_F(SliceFile, ALastLineWithoutLineFeedCounts) {
    auto sample = makeSample(makeRamp(3000));
    writeSideFile("Pos=0\nPos=1500");
    sample->loadSliceFile(audioFile());
    ASSERT_EQ(sample->getSliceCount(), 2);
    EXPECT_EQ(sample->getSlice(1).start, 1500);
    EXPECT_EQ(sample->getSlice(1).end, 2998);
}

} // namespace
} // namespace trov
