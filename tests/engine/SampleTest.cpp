#include "SampleTestSupport.h"

#include "engine/FrequencySource.h"

#include <gtest/gtest.h>

#include <cmath>

namespace trov {
namespace {

using test::holdsGuard;
using test::makeRamp;
using test::makeSample;
using test::valuesOf;

TEST(SamplePositions, StartMustLeaveTheMinimumSpanBeforeTheEnd) {
    auto sample = makeSample(makeRamp(4000));
    ASSERT_EQ(sample->getEnd(), 3999);
    sample->setStart(3999 - 511);
    EXPECT_EQ(sample->getStart(), 0);
    sample->setStart(3999 - 512);
    EXPECT_EQ(sample->getStart(), 3999 - 512);
    sample->setStart(-1);
    EXPECT_EQ(sample->getStart(), 3999 - 512);
}

TEST(SamplePositions, EndClampsToTheDataOnlyWhenFarEnoughFromTheStart) {
    auto sample = makeSample(makeRamp(4000));
    sample->setStart(1000);
    sample->setEnd(1511);
    EXPECT_EQ(sample->getEnd(), 3999);
    sample->setEnd(1512);
    EXPECT_EQ(sample->getEnd(), 1512);
    sample->setEnd(100000);
    EXPECT_EQ(sample->getEnd(), 3999);
}

TEST(SamplePositions, ShortLoopsGrowAtTheEndInsideTheDataAndShrinkAtTheStartPastIt) {
    auto sample = makeSample(makeRamp(4000));
    sample->setLoop({Sample::kLoopOn, 100, 200});
    EXPECT_EQ(sample->getLoop().start, 100);
    EXPECT_EQ(sample->getLoop().end, 612);
    EXPECT_EQ(sample->getLoop().mode, Sample::kLoopOn);

    sample->setLoop({Sample::kLoopOn, 3800, 4000});
    EXPECT_EQ(sample->getLoop().start, 4000 - 512);
    EXPECT_EQ(sample->getLoop().end, 4000);

    sample->setLoop({Sample::kLoopOn, 0, 4000});
    EXPECT_EQ(sample->getLoop().start, 0);
    EXPECT_TRUE(sample->hasLoop());
    sample->setLoop({Sample::kLoopOff, 0, 0});
    EXPECT_EQ(sample->getLoop().end, 512);
}

TEST(SampleValues, LinearReadingUsesTheGuardAtTheLastFrameAndStaysInside) {
    auto sample = makeSample({0.0f, 1.0f, -1.0f, 0.5f});
    EXPECT_FLOAT_EQ(sample->getValue(0, 0.5f), 0.5f);
    EXPECT_FLOAT_EQ(sample->getValue(0, 1.25f), 0.5f);
    EXPECT_FLOAT_EQ(sample->getValue(0, 3.0f), 0.5f);
    EXPECT_FLOAT_EQ(sample->getValue(0, 100.0f), 0.5f);
    EXPECT_FLOAT_EQ(sample->getValue(0, -3.0f), 0.0f);
    EXPECT_FLOAT_EQ(sample->getValue(0, std::nanf("")), 0.0f);
    EXPECT_FLOAT_EQ(sample->getValue(7, 1.0f), 1.0f);
    EXPECT_TRUE(holdsGuard(*sample));

    Sample empty;
    EXPECT_EQ(empty.getValue(0, 1.0f), 0.0f);
}

TEST(SampleValues, StereoDataIsHeldAsOneAveragedChannel) {
    auto interleaved = makeSample({1.0f, 0.0f, 0.5f, -0.5f, 0.25f, 0.75f}, 2);
    interleaved->mixToMono();
    EXPECT_EQ(interleaved->getInfo().channels, 1);
    EXPECT_EQ(interleaved->getInfo().frames, 3);
    EXPECT_EQ(valuesOf(*interleaved), (std::vector<float>{0.5f, 0.0f, 0.5f}));
    EXPECT_TRUE(holdsGuard(*interleaved));

    SampleInfo blocks;
    std::vector<float> values{1.0f, 0.5f, 0.25f, 0.0f, -0.5f, 0.75f};
    blocks.channels = 2;
    blocks.frames = 3;
    blocks.data = values.data();
    Sample sample(nullptr, blocks);
    sample.mixToMono();
    EXPECT_EQ(valuesOf(sample), (std::vector<float>{0.5f, 0.0f, 0.5f}));
    EXPECT_TRUE(holdsGuard(sample));
}

TEST(SampleValues, ZeroCrossingSearchesAlternatelyOutwards) {
    auto sample = makeSample({0.5f, 0.5f, -0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.0f});
    EXPECT_EQ(sample->findZeroCrossing(4), 2);
    EXPECT_EQ(sample->findZeroCrossing(5), 7);
    EXPECT_EQ(sample->findZeroCrossing(7), 7);
    EXPECT_EQ(sample->findZeroCrossing(-5), 2);
    EXPECT_EQ(sample->findZeroCrossing(1000), 7);
    auto flat = makeSample({0.5f, 0.5f, 0.5f});
    EXPECT_EQ(flat->findZeroCrossing(1), 0);
}

TEST(SampleEdits, ReversingTwiceRestoresDataPositionsAndLoop) {
    const std::vector<float> ramp = makeRamp(3000);
    auto sample = makeSample(ramp);
    sample->setStart(100);
    sample->setEnd(2500);
    sample->setLoop({Sample::kLoopOn, 700, 1900});
    Dictionary reversed;
    reversed.setBool("SampleReverse", true);
    sample->applySettings(reversed);
    EXPECT_EQ(sample->getStart(), 3000 - 2500 - 1);
    EXPECT_EQ(sample->getEnd(), 3000 - 100 - 1);
    EXPECT_EQ(sample->getLoop().start, 3000 - 1900 - 1);
    EXPECT_EQ(sample->getLoop().end, 3000 - 700 - 1);
    EXPECT_EQ(sample->getData()[0], ramp.back());
    EXPECT_TRUE(holdsGuard(*sample));
    EXPECT_TRUE(sample->needsProcessing());

    Dictionary forward;
    sample->applySettings(forward);
    EXPECT_EQ(valuesOf(*sample), ramp);
    EXPECT_EQ(sample->getStart(), 100);
    EXPECT_EQ(sample->getEnd(), 2500);
    EXPECT_EQ(sample->getLoop().start, 700);
    EXPECT_EQ(sample->getLoop().end, 1900);
    EXPECT_TRUE(holdsGuard(*sample));
    EXPECT_FALSE(sample->needsProcessing());
}

TEST(SampleEdits, NormalizingAndUndoingRestoresTheValuesAndKeepsTheGuard) {
    const std::vector<float> values{0.25f, -0.125f, 0.0625f, 0.2f};
    auto sample = makeSample(values);
    Dictionary on;
    on.setBool("SampleNormalize", true);
    sample->applySettings(on);
    EXPECT_FLOAT_EQ(sample->getGain(), 4.0f);
    EXPECT_FLOAT_EQ(sample->getData()[0], 1.0f);
    EXPECT_FLOAT_EQ(sample->getData()[1], -0.5f);
    EXPECT_TRUE(holdsGuard(*sample));
    // The same settings again change nothing.
    sample->applySettings(on);
    EXPECT_FLOAT_EQ(sample->getData()[0], 1.0f);

    Dictionary off;
    off.setBool("SampleNormalize", false);
    sample->applySettings(off);
    EXPECT_EQ(sample->getGain(), 1.0f);
    for (std::size_t i = 0; i < values.size(); ++i)
        EXPECT_FLOAT_EQ(sample->getData()[i], values[i]);
    EXPECT_TRUE(holdsGuard(*sample));
}

TEST(SampleEdits, SilenceAndInfinitiesAreNotNormalized) {
    auto silent = makeSample({0.0f, 0.0f, 0.0f});
    Dictionary on;
    on.setBool("SampleNormalize", true);
    silent->applySettings(on);
    EXPECT_EQ(silent->getGain(), 1.0f);
    EXPECT_EQ(valuesOf(*silent), (std::vector<float>{0.0f, 0.0f, 0.0f}));

    auto infinite = makeSample({0.5f, INFINITY, 0.25f});
    infinite->applySettings(on);
    EXPECT_EQ(infinite->getGain(), 1.0f);
    EXPECT_EQ(infinite->getData()[0], 0.5f);
}

TEST(SampleEdits, InvertingAndMaskingKeepTheGuard) {
    const std::vector<float> ramp = makeRamp(16);
    auto sample = makeSample(ramp);
    Dictionary inverted;
    inverted.setBool("SampleInvertPhase", true);
    sample->applySettings(inverted);
    EXPECT_EQ(sample->getData()[3], -ramp[3]);
    EXPECT_TRUE(holdsGuard(*sample));

    sample->applyResidentMask();
    EXPECT_NE(test::bitsOf(sample->getData()[3]), test::bitsOf(-ramp[3]));
    EXPECT_EQ(test::bitsOf(sample->getData()[3]) ^ Sample::kResidentMask, test::bitsOf(-ramp[3]));
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
    SharedObjectPtr<Sample> copy(original->clone());
    EXPECT_EQ(copy->getReferenceCount(), 1);
    EXPECT_EQ(original->getReferenceCount(), 1);
    EXPECT_NE(copy->getData(), original->getData());
    EXPECT_EQ(valuesOf(*copy), ramp);
    EXPECT_TRUE(holdsGuard(*copy));
    EXPECT_EQ(copy->getLoop().end, 900);
    EXPECT_EQ(copy->getSliceCount(), 2);

    Dictionary inverted;
    inverted.setBool("SampleInvertPhase", true);
    copy->applySettings(inverted);
    EXPECT_EQ(valuesOf(*original), ramp);
    EXPECT_FALSE(original->needsProcessing());
    EXPECT_TRUE(copy->needsProcessing());
}

TEST(SampleCopies, ADescriptionWithoutChannelsCountsAsMono) {
    std::vector<float> values{0.1f, 0.2f, 0.3f};
    SampleInfo info;
    info.channels = 0;
    info.frames = 3;
    info.data = values.data();
    Sample sample(nullptr, info);
    EXPECT_EQ(valuesOf(sample), values);
    EXPECT_TRUE(holdsGuard(sample));
    EXPECT_EQ(sample.getEnd(), 2);
    sample.mixToMono();
    EXPECT_EQ(sample.getInfo().channels, 1);
    EXPECT_EQ(valuesOf(sample), values);
}

TEST(SampleSlices, OutOfRangeSlicesReadAsEmpty) {
    Sample sample;
    sample.setSlices(3);
    EXPECT_EQ(sample.getSliceCount(), 3);
    EXPECT_EQ(sample.getSlice(3).end, 0);
    EXPECT_EQ(sample.getSlice(-1).start, 0);
    sample.setSlices(-4);
    EXPECT_EQ(sample.getSliceCount(), 0);
}

class FixedFrequencies : public FrequencySource {
public:
    double getFrequency(int key, double cents) const override {
        ++calls;
        lastKey = key;
        lastCents = cents;
        return 100.0 + key;
    }
    mutable int calls = 0;
    mutable int lastKey = 0;
    mutable double lastCents = 0.0;
};

TEST(SampleFrequency, RootFrequencyIsAskedOnceUntilTheRootChanges) {
    Sample sample;
    sample.setRootNote(48);
    sample.setDetune(30);
    FixedFrequencies module;
    EXPECT_FLOAT_EQ(sample.getRootFrequency(module), 148.0f);
    EXPECT_EQ(module.lastCents, -30.0);
    EXPECT_FLOAT_EQ(sample.getRootFrequency(module), 148.0f);
    EXPECT_EQ(module.calls, 1);
    sample.setRootNote(50);
    EXPECT_FLOAT_EQ(sample.getRootFrequency(module), 150.0f);
    EXPECT_EQ(module.calls, 2);
}

TEST(SampleData, ReleasingKeepsPositions) {
    auto sample = makeSample(makeRamp(2000));
    sample->setStart(300);
    sample->releaseData();
    EXPECT_EQ(sample->getData(), nullptr);
    EXPECT_EQ(sample->getInfo().frames, 0);
    EXPECT_EQ(sample->getStart(), 300);
}

} // namespace
} // namespace trov
