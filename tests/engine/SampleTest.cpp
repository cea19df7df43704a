#include "engine/notes/FrequencySource.h"
#include "engine/samples/SampleBuffer.h"
#include "framework/Dictionary.h"
#include "framework/File.h"
#include "support/FileTestFolder.h"
#include "support/SampleTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
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

Dictionary flag(const char* key, bool on) {
    Dictionary settings;
    settings.setBool(key, on);
    return settings;
}

TEST(SamplePositions, StartAndEndKeepTheMinimumSpanAndEndClampsToTheData) {
    auto sample = makeSample(makeRamp(4000));
    ASSERT_EQ(sample->getEnd(), 3999);
    sample->setStart(3999 - 511);
    EXPECT_EQ(sample->getStart(), 0);
    sample->setStart(3999 - 512);
    sample->setStart(-1);
    EXPECT_EQ(sample->getStart(), 3999 - 512);

    auto other = makeSample(makeRamp(4000));
    other->setStart(1000);
    other->setEnd(1511);
    EXPECT_EQ(other->getEnd(), 3999);
    other->setEnd(1512);
    EXPECT_EQ(other->getEnd(), 1512);
    other->setEnd(100000);
    EXPECT_EQ(other->getEnd(), 3999);
}

TEST(SamplePositions, ShortLoopsGrowAtTheEndInsideTheDataAndShrinkAtTheStartPastIt) {
    auto sample = makeSample(makeRamp(4000));
    sample->setLoop({Sample::kLoopOn, 100, 200});
    EXPECT_EQ(loopOf(*sample), std::tuple(Sample::kLoopOn, 100, 612));
    sample->setLoop({Sample::kLoopOn, 3800, 4000});
    EXPECT_EQ(loopOf(*sample), std::tuple(Sample::kLoopOn, 4000 - 512, 4000));
    sample->setLoop({Sample::kLoopOn, 0, 4000});
    EXPECT_EQ(sample->getLoop().start, 0);
    EXPECT_TRUE(sample->hasLoop());
    sample->setLoop({Sample::kLoopOff, 0, 0});
    EXPECT_EQ(sample->getLoop().end, 512);
}

TEST(SamplePositions, LoopsOfASampleShorterThanTheShortestLoopStayInsideItsData) {
    auto sample = makeSample(makeRamp(64));
    sample->setLoop({Sample::kLoopOn, 8, 40});
    EXPECT_EQ(loopOf(*sample), std::tuple(Sample::kLoopOn, 8, 63));
    sample->setLoop({Sample::kLoopOff, 0, 0});
    EXPECT_EQ(loopOf(*sample), std::tuple(Sample::kLoopOff, 0, 63));
    sample->setLoop({Sample::kLoopOn, 0, 63});
    EXPECT_EQ(loopOf(*sample), std::tuple(Sample::kLoopOn, 0, 63));
    // Fitting again changes nothing, in short samples and long ones alike: a zone that fits the loop it
    // holds writes back what it read.
    auto longer = makeSample(makeRamp(4000));
    for (const Sample* held : {sample.get(), longer.get()})
        for (const Sample::Loop loop :
             {Sample::Loop{Sample::kLoopOn, 8, 40}, Sample::Loop{Sample::kLoopOff, 0, 0},
              Sample::Loop{Sample::kLoopOn, 3800, 4000}, Sample::Loop{Sample::kLoopOn, 30, 9}}) {
            const Sample::Loop fitted = held->fitLoop(loop);
            const Sample::Loop again = held->fitLoop(fitted);
            EXPECT_EQ(std::tuple(again.start, again.end), std::tuple(fitted.start, fitted.end))
                << held->getInfo().frames << ": " << loop.start << ".." << loop.end;
        }
}

TEST(SampleValues, LinearReadingUsesTheGuardAtTheLastFrameAndStaysInside) {
    auto sample = makeSample({0.0f, 1.0f, -1.0f, 0.5f});
    const std::pair<float, float> reads[] = {{0.5f, 0.5f},   {1.25f, 0.5f}, {3.0f, 0.5f},
                                             {100.0f, 0.5f}, {-3.0f, 0.0f}, {std::nanf(""), 0.0f}};
    for (const auto& [position, value] : reads)
        EXPECT_FLOAT_EQ(sample->getValue(0, position), value) << position;
    EXPECT_FLOAT_EQ(sample->getValue(7, 1.0f), 1.0f);
    EXPECT_TRUE(holdsGuard(*sample));
    EXPECT_EQ(Sample().getValue(0, 1.0f), 0.0f);
}

TEST(SampleValues, StereoAndChannellessDataIsHeldAsOneChannel) {
    auto interleaved = makeSample({1.0f, 0.0f, 0.5f, -0.5f, 0.25f, 0.75f}, 2);
    interleaved->mixToMono();
    EXPECT_EQ(std::pair(interleaved->getInfo().channels, interleaved->getInfo().frames), std::pair(1, 3));
    EXPECT_EQ(valuesOf(*interleaved), (std::vector<float>{0.5f, 0.0f, 0.5f}));
    EXPECT_TRUE(holdsGuard(*interleaved));

    std::vector<float> values{1.0f, 0.5f, 0.25f, 0.0f, -0.5f, 0.75f};
    SampleInfo blocks;
    blocks.channels = 2;
    blocks.frames = 3;
    blocks.data = values.data();
    Sample sample(nullptr, blocks);
    sample.mixToMono();
    EXPECT_EQ(valuesOf(sample), (std::vector<float>{0.5f, 0.0f, 0.5f}));
    EXPECT_TRUE(holdsGuard(sample));

    // A description without channels counts as mono.
    blocks.channels = 0;
    Sample mono(nullptr, blocks);
    EXPECT_EQ(valuesOf(mono), (std::vector<float>{1.0f, 0.5f, 0.25f}));
    EXPECT_TRUE(holdsGuard(mono));
    EXPECT_EQ(mono.getEnd(), 2);
    EXPECT_EQ(valuesOf(*SharedObjectPtr<Sample>(mono.clone())), (std::vector<float>{1.0f, 0.5f, 0.25f}));
    mono.mixToMono();
    EXPECT_EQ(mono.getInfo().channels, 1);
    EXPECT_EQ(valuesOf(mono), (std::vector<float>{1.0f, 0.5f, 0.25f}));
}

TEST(SampleValues, ZeroCrossingSearchesAlternatelyOutwards) {
    auto sample = makeSample({0.5f, 0.5f, -0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.0f});
    for (const auto& [from, found] : {std::pair{4, 2}, {5, 7}, {7, 7}, {-5, 2}, {1000, 7}})
        EXPECT_EQ(sample->findZeroCrossing(from), found) << from;
    EXPECT_EQ(makeSample({0.5f, 0.5f, 0.5f})->findZeroCrossing(1), 0);
    // At equal distance the left side wins.
    EXPECT_EQ(makeSample({-0.5f, 0.5f, 0.5f, 0.5f, -0.5f})->findZeroCrossing(2), 0);
}

TEST(SampleChannels, AveragingHalvesExactlyNeverOverflowsAndWorksInPlace) {
    const float big = std::numeric_limits<float>::max();
    const float tiny = std::numeric_limits<float>::denorm_min();
    std::vector<float> stereo{big, big, -big, big, 0.75f, 0.25f, tiny * 2, 0.0f, 1.0f, -3.0f};
    std::vector<float> mono(5);
    averageInterleaved(stereo.data(), 5, 2, mono.data());
    EXPECT_EQ(mono, (std::vector<float>{big, 0.0f, 0.5f, tiny, -1.0f}));

    // In place, frame after frame and channel block after channel block.
    averageInterleaved(stereo.data(), 5, 2, stereo.data());
    EXPECT_EQ(std::vector<float>(stereo.begin(), stereo.begin() + 5), mono);
    std::vector<float> blocks{1.0f, 2.0f, 3.0f, 3.0f, 2.0f, 1.0f, 2.0f, 2.0f, 2.0f};
    averageChannels(blocks.data(), 3, 3, 1, 3, blocks.data());
    EXPECT_EQ(std::vector<float>(blocks.begin(), blocks.begin() + 3), std::vector<float>(3, 2.0f));
    std::vector<float> one{0.1f, -0.2f};
    averageInterleaved(one.data(), 2, 1, one.data());
    EXPECT_EQ(one, (std::vector<float>{0.1f, -0.2f}));
}

TEST(SampleChannels, BufferGrowsAndShrinksKeepingItsValuesAndARefusedSizeChangesNothing) {
    SampleBuffer buffer;
    EXPECT_FALSE(buffer.resize(0));
    ASSERT_TRUE(buffer.resize(3));
    EXPECT_EQ(std::vector<float>(buffer.data(), buffer.data() + 3), std::vector<float>(3, 0.0f));
    for (int i = 0; i < 3; ++i)
        buffer.data()[i] = static_cast<float>(i + 1);
    ASSERT_TRUE(buffer.resize(100000));
    EXPECT_EQ(std::vector<float>(buffer.data(), buffer.data() + 5),
              (std::vector<float>{1.0f, 2.0f, 3.0f, 0.0f, 0.0f}));
    EXPECT_EQ(buffer.data()[99999], 0.0f);
    ASSERT_TRUE(buffer.resize(2));
    EXPECT_EQ(std::pair(buffer.size(), buffer.data()[1]), std::pair(std::size_t{2}, 2.0f));
    EXPECT_FALSE(buffer.resize(std::numeric_limits<std::size_t>::max()));
    EXPECT_EQ(std::pair(buffer.size(), buffer.data()[0]), std::pair(std::size_t{2}, 1.0f));
    SampleBuffer moved(std::move(buffer));
    // The moved-from buffer is empty by contract.
    EXPECT_EQ(std::pair(buffer.data(), moved.size()), // NOLINT(bugprone-use-after-move)
              std::pair(static_cast<float*>(nullptr), std::size_t{2}));
}

TEST(SampleEdits, ReversingTwiceRestoresDataPositionsAndLoop) {
    const std::vector<float> ramp = makeRamp(3000);
    auto sample = makeSample(ramp);
    sample->setStart(100);
    sample->setEnd(2500);
    sample->setLoop({Sample::kLoopOn, 700, 1900});
    sample->applySettings(flag("SampleReverse", true));
    EXPECT_EQ(std::pair(sample->getStart(), sample->getEnd()), std::pair(3000 - 2500 - 1, 3000 - 100 - 1));
    EXPECT_EQ(loopOf(*sample), std::tuple(Sample::kLoopOn, 3000 - 1900 - 1, 3000 - 700 - 1));
    EXPECT_EQ(sample->getData()[0], ramp.back());
    EXPECT_TRUE(holdsGuard(*sample));
    EXPECT_TRUE(sample->needsProcessing());

    sample->applySettings(Dictionary());
    EXPECT_EQ(valuesOf(*sample), ramp);
    EXPECT_EQ(std::pair(sample->getStart(), sample->getEnd()), std::pair(100, 2500));
    EXPECT_EQ(loopOf(*sample), std::tuple(Sample::kLoopOn, 700, 1900));
    EXPECT_TRUE(holdsGuard(*sample));
    EXPECT_FALSE(sample->needsProcessing());
}

TEST(SampleEdits,
     NormalizingAndUndoingRestoresTheValuesAndKeepsTheGuardButSilenceAndInfinitiesStayAsTheyAre) {
    const std::vector<float> values{0.25f, -0.125f, 0.0625f, 0.2f};
    auto sample = makeSample(values);
    sample->applySettings(flag("SampleNormalize", true));
    EXPECT_EQ(std::tuple(sample->getGain(), sample->getData()[0], sample->getData()[1]),
              std::tuple(4.0f, 1.0f, -0.5f));
    EXPECT_TRUE(holdsGuard(*sample));
    // The same settings again change nothing.
    sample->applySettings(flag("SampleNormalize", true));
    EXPECT_FLOAT_EQ(sample->getData()[0], 1.0f);

    sample->applySettings(flag("SampleNormalize", false));
    EXPECT_EQ(sample->getGain(), 1.0f);
    for (std::size_t i = 0; i < values.size(); ++i)
        EXPECT_FLOAT_EQ(sample->getData()[i], values[i]);
    EXPECT_TRUE(holdsGuard(*sample));

    auto silent = makeSample({0.0f, 0.0f, 0.0f});
    silent->applySettings(flag("SampleNormalize", true));
    EXPECT_EQ(silent->getGain(), 1.0f);
    EXPECT_EQ(valuesOf(*silent), (std::vector<float>{0.0f, 0.0f, 0.0f}));
    auto infinite = makeSample({0.5f, INFINITY, 0.25f});
    infinite->applySettings(flag("SampleNormalize", true));
    EXPECT_EQ(std::pair(infinite->getGain(), infinite->getData()[0]), std::pair(1.0f, 0.5f));
}

// The gain of subnormal values is infinite: normalizing made them infinite and their zeros NaN.
TEST(SampleEdits, NormalizingValuesTooFaintForAFiniteGainLeavesThemAsTheyAre) {
    const float faint = std::numeric_limits<float>::denorm_min();
    const std::vector<float> values{faint, 0.0f, -3.0f * faint};
    auto sample = makeSample(values);
    sample->applySettings(flag("SampleNormalize", true));
    EXPECT_EQ(sample->getGain(), 1.0f);
    EXPECT_EQ(valuesOf(*sample), values);
}

TEST(SampleEdits, InvertingAndMaskingKeepTheGuard) {
    const std::vector<float> ramp = makeRamp(16);
    auto sample = makeSample(ramp);
    sample->applySettings(flag("SampleInvertPhase", true));
    EXPECT_EQ(sample->getData()[3], -ramp[3]);
    EXPECT_TRUE(holdsGuard(*sample));

    sample->applyResidentMask();
    EXPECT_EQ(test::bitsOf(sample->getData()[3]), test::bitsOf(-ramp[3]) ^ Sample::kResidentMask);
    EXPECT_TRUE(holdsGuard(*sample));
    sample->applyResidentMask();
    EXPECT_EQ(sample->getData()[3], -ramp[3]);
    EXPECT_TRUE(holdsGuard(*sample));

    auto tiny = makeSample({0.5f, 0.25f});
    tiny->applyResidentMask();
    EXPECT_EQ(tiny->getData()[1], 0.25f);
}

TEST(SampleCopies, CopiesOwnTheirDataAndSettings) {
    const std::vector<float> ramp = makeRamp(1200);
    auto original = makeSample(ramp);
    original->setLoop({Sample::kLoopOn, 10, 900});
    original->setSlices(2);
    original->applySettings(flag("SampleInvertPhase", true));
    SharedObjectPtr<Sample> copy(original->clone());
    EXPECT_EQ(std::pair(copy->getReferenceCount(), original->getReferenceCount()), std::pair(1, 1));
    EXPECT_NE(copy->getData(), original->getData());
    EXPECT_EQ(valuesOf(*copy), valuesOf(*original));
    EXPECT_TRUE(holdsGuard(*copy));
    EXPECT_EQ(std::tuple(copy->getLoop().end, copy->getSliceCount(), copy->needsProcessing()),
              std::tuple(900, 2, true));

    // Undoing the copy's inversion leaves the original inverted.
    copy->applySettings(Dictionary());
    EXPECT_EQ(valuesOf(*copy), ramp);
    EXPECT_EQ(original->getData()[5], -ramp[5]);
    EXPECT_TRUE(original->needsProcessing());
}

TEST(SampleSlices, OutOfRangeSlicesReadAsEmptyAndCountsBelowZeroAsNone) {
    Sample sample;
    sample.setSlices(3);
    EXPECT_EQ(sample.getSliceCount(), 3);
    EXPECT_EQ(std::pair(sample.getSlice(3).end, sample.getSlice(-1).start), std::pair(0, 0));
    sample.setSlices(-4);
    EXPECT_EQ(sample.getSliceCount(), 0);
}

// Answers 100 Hz above the key as it plays and 200 Hz above it at the reference pitch.
class FixedFrequencies : public FrequencySource {
public:
    double getFrequency(int key, double cents) const noexcept override {
        ++calls;
        lastCents = cents;
        return 100.0 + key;
    }
    double getFrequencyAtReferencePitch(int key, double cents) const noexcept override {
        ++referenceCalls;
        lastCents = cents;
        return 200.0 + key;
    }
    mutable int calls = 0;
    mutable int referenceCalls = 0;
    mutable double lastCents = 0.0;
};

// Only the frequency as it plays.
class PlainFrequencies : public FrequencySource {
public:
    double getFrequency(int key, double /*cents*/) const noexcept override { return 300.0 + key; }
};

TEST(SampleFrequency, TheRootIsHeardInTheTuningAtItsReferencePitchAndFollowsItsKeyAndDetune) {
    Sample sample;
    sample.setRootNote(48);
    sample.setDetune(30);
    // The detune raises the root, so it is asked lowered.
    FixedFrequencies module;
    EXPECT_FLOAT_EQ(sample.getRootFrequency(module), 248.0f);
    EXPECT_EQ(std::tuple(module.referenceCalls, module.calls, module.lastCents), std::tuple(1, 0, -30.0));
    EXPECT_FLOAT_EQ(sample.getRootFrequencyIn(module), 148.0f);
    EXPECT_EQ(std::pair(module.calls, module.lastCents), std::pair(1, -30.0));
    // Nothing is kept from an earlier answer: a copy or a new root is heard at once.
    sample.setRootNote(50);
    EXPECT_FLOAT_EQ(sample.getRootFrequencyIn(module), 150.0f);
    EXPECT_FLOAT_EQ(sample.getRootFrequency(module), 250.0f);
    sample.setDetune(0);
    EXPECT_FLOAT_EQ(Sample(sample).getRootFrequency(module), 250.0f);
    EXPECT_EQ(module.lastCents, 0.0);
    // A source without a master pitch plays each tuning where it is anchored: both answers are one.
    const PlainFrequencies plain;
    EXPECT_EQ(std::pair(sample.getRootFrequency(plain), sample.getRootFrequencyIn(plain)),
              std::pair(350.0f, 350.0f));
}

TEST(SampleData, ReleasingKeepsPositions) {
    auto sample = makeSample(makeRamp(2000));
    sample->setStart(300);
    sample->releaseData();
    EXPECT_EQ(std::tuple(sample->getData(), sample->getInfo().frames, sample->getStart()),
              std::tuple(static_cast<float*>(nullptr), 0, 300));
}

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
    // The largest value below the limit a read sample keeps: every mantissa bit set.
    values[3] = std::nextafter(kSampleValueLimit, 0.0f);
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

TEST(SampleDocument, UndecodableDataThrowsAndLeavesTheSampleExactlyAsItWas) {
    const std::vector<float> ramp = makeRamp(800);
    auto sample = makeSample(ramp);
    sample->setStart(10);
    sample->setEnd(700);
    sample->setLoop({Sample::kLoopOn, 50, 600});
    const float* data = sample->getData();
    Dictionary document = documentWith({}, {{"SampleStart", 3},
                                            {"SampleEnd", 20},
                                            {"SampleLoopStart", 1},
                                            {"SampleRootNote", 40},
                                            {"channels", 2},
                                            {"samples", 9},
                                            {"samplerate", 8000}});
    document.setBool("resident", true);
    document.setBool("export", false);
    document.setString("sampledata", "H4sI!!!!not base64 at all");
    EXPECT_THROW(sample->fromDictionary(document), Exception::SampleDataCorrupt);
    const SampleInfo info = sample->getInfo();
    EXPECT_EQ(std::tuple(info.data, info.frames, info.channels, info.sampleRate, info.rootNote),
              std::tuple(data, 800, 1, 44100, 60));
    EXPECT_EQ(std::tuple(sample->getStart(), sample->getEnd(), sample->testFlags(~0u)),
              std::tuple(10, 700, Sample::kFlagExport));
    EXPECT_EQ(loopOf(*sample), std::tuple(Sample::kLoopOn, 50, 600));
    EXPECT_EQ(valuesOf(*sample), ramp);
    EXPECT_TRUE(holdsGuard(*sample));
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

TEST(SampleDocument, CountsWithoutDataFollowTheDataActuallyHeld) {
    // Data held keeps its counts, whatever the document claims.
    const std::vector<float> ramp = makeRamp(100);
    auto sample = makeSample(ramp);
    sample->fromDictionary(documentWith({}, {{"samples", 5000000}, {"channels", 4}}));
    EXPECT_EQ(std::pair(sample->getInfo().frames, sample->getInfo().channels), std::pair(100, 1));
    EXPECT_EQ(valuesOf(*sample), ramp);
    EXPECT_TRUE(holdsGuard(*sample));

    // Without data a declared count gives no frames, which no player can be misled by.
    Sample empty;
    empty.fromDictionary(documentWith({}, {{"samples", 5000}, {"channels", 2}, {"SampleEnd", 4000}}));
    EXPECT_EQ(std::tuple(empty.getInfo().frames, empty.getData(), empty.getInfo().channels),
              std::tuple(0, static_cast<float*>(nullptr), 2));
    Dictionary rewritten;
    empty.toDictionary(rewritten);
    std::int32_t samples = -1;
    EXPECT_TRUE(rewritten.getInteger("samples", &samples));
    EXPECT_EQ(samples, 0);
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
