#include "SampleTestSupport.h"

#include "engine/FrequencySource.h"

#include <gtest/gtest.h>

#include <cmath>

namespace trov {
namespace {

using test::holdsGuard;
using test::loopOf;
using test::makeRamp;
using test::makeSample;
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

TEST(SampleEdits, NormalizingAndUndoingRestoresTheValuesAndKeepsTheGuard) {
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
}

TEST(SampleEdits, SilenceAndInfinitiesAreNotNormalized) {
    auto silent = makeSample({0.0f, 0.0f, 0.0f});
    silent->applySettings(flag("SampleNormalize", true));
    EXPECT_EQ(silent->getGain(), 1.0f);
    EXPECT_EQ(valuesOf(*silent), (std::vector<float>{0.0f, 0.0f, 0.0f}));
    auto infinite = makeSample({0.5f, INFINITY, 0.25f});
    infinite->applySettings(flag("SampleNormalize", true));
    EXPECT_EQ(std::pair(infinite->getGain(), infinite->getData()[0]), std::pair(1.0f, 0.5f));
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

class FixedFrequencies : public FrequencySource {
public:
    double getFrequency(int key, double cents) const override {
        ++calls;
        lastCents = cents;
        return 100.0 + key;
    }
    mutable int calls = 0;
    mutable double lastCents = 0.0;
};

TEST(SampleFrequency, RootFrequencyIsAskedOnceUntilTheRootChanges) {
    Sample sample;
    sample.setRootNote(48);
    sample.setDetune(30);
    FixedFrequencies module;
    EXPECT_FLOAT_EQ(sample.getRootFrequency(module), 148.0f);
    EXPECT_FLOAT_EQ(sample.getRootFrequency(module), 148.0f);
    EXPECT_EQ(std::pair(module.calls, module.lastCents), std::pair(1, -30.0));
    sample.setRootNote(50);
    EXPECT_FLOAT_EQ(sample.getRootFrequency(module), 150.0f);
    EXPECT_EQ(module.calls, 2);
}

TEST(SampleData, ReleasingKeepsPositions) {
    auto sample = makeSample(makeRamp(2000));
    sample->setStart(300);
    sample->releaseData();
    EXPECT_EQ(std::tuple(sample->getData(), sample->getInfo().frames, sample->getStart()),
              std::tuple(static_cast<float*>(nullptr), 0, 300));
}

} // namespace
} // namespace trov
