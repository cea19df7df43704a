#include "engine/dsp/EnvelopeDiscreteSloped.h"
#include "support/AllocationGuard.h"
#include "support/EngineTestSupport.h"
#include "support/ResponseTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

using namespace trov;
using namespace trov::test;

namespace {

class Envelopes : public testing::Test, protected HostedModule {
protected:
    // An envelope rising to full over ms, then jumping to 0 and holding it: the first 0 marks the
    // rise's length.
    std::unique_ptr<EnvelopeDiscreteSloped> rise(std::int32_t ms, std::uint32_t steps = 32) {
        auto envelope = std::make_unique<EnvelopeDiscreteSloped>(module.get(), steps);
        envelope->addSegment(1.0f, ms, 1.0f, false);
        envelope->addSegment(0.0f, -1, 1.0f, true);
        return envelope;
    }

    // Where the rise ends: the first 0 after the output reached full.
    static std::size_t endOfRise(const std::vector<float>& values) {
        const auto full = std::find(values.begin(), values.end(), 1.0f);
        return static_cast<std::size_t>(std::find(full, values.end(), 0.0f) - values.begin());
    }
};

} // namespace

TEST_F(Envelopes, SegmentsLastWholeSamplesOfTheRateAndStepAlongTheLine) {
    for (const int rate : {44100, 48000}) {
        host.setSampleRate(rate);
        for (const int ms : {1, 7, 10, 123}) {
            auto envelope = rise(ms);
            envelope->trigger();
            const auto length = static_cast<std::size_t>(std::int64_t{rate} * ms / 1000);
            const std::vector<float> values =
                rendered(*envelope, static_cast<std::int32_t>(length) + 300, 100);
            ASSERT_EQ(endOfRise(values), length) << ms << " ms at " << rate;
            for (std::size_t i = 0; i < length; ++i) {
                const float steps = values[i] * 32.0f;
                ASSERT_EQ(steps, std::rint(steps)) << "not on a step: " << values[i];
                ASSERT_LE(std::abs(values[i] - double(i + 1) / double(length)), 1.0 / 32.0) << i;
                ASSERT_LE(values[i] - (i > 0 ? values[i - 1] : 0.0f), 1.0f / 32.0f)
                    << "a step at a time: " << i;
            }
            EXPECT_EQ(values[length - 1], 1.0f);
        }
    }
}

TEST_F(Envelopes, SegmentsUnderOneSampleJumpAndLastOneSample) {
    for (const int ms : {-1, -30, 0}) {
        EnvelopeDiscreteSloped envelope(module.get(), 32);
        envelope.addSegment(0.5f, ms, 1.0f, false);
        envelope.addSegment(0.75f, 10, 1.0f, true);
        envelope.trigger();
        IOChannel<float> one(16);
        one.setSize(1);
        envelope.render(one);
        EXPECT_EQ(one.getData()[0], 0.5f) << ms;
        EXPECT_EQ(envelope.getPosition(), 1u) << ms;
        const std::vector<float> values = rendered(envelope, 600);
        EXPECT_TRUE(std::isfinite(values[0]) && values[0] >= 0.5f) << ms;
        EXPECT_EQ(values[599], 0.75f) << ms;
    }
}

TEST_F(Envelopes, ReleaseGoesToTheReleaseSegmentOrEndsAtOnce) {
    EnvelopeDiscreteSloped adsr(module.get(), 128);
    adsr.addSegment(1.0f, 10, 1.0f, false);
    adsr.addSegment(0.5f, 10, 1.0f, true);
    adsr.addSegment(0.0f, 20, 1.0f, false);
    adsr.trigger();
    EXPECT_EQ(rendered(adsr, 2000).back(), 0.5f); // sustaining
    adsr.release();
    const std::vector<float> released = rendered(adsr, 1024);
    EXPECT_NEAR(released[440], 0.25f, 1.0f / 128.0f);
    EXPECT_GT(released[860], 0.0f);
    EXPECT_EQ(released[881], 0.0f);
    EXPECT_TRUE(adsr.isActive()); // the silent end segment: 400 samples from 882 on
    rendered(adsr, 512);
    EXPECT_FALSE(adsr.isActive());
    IOChannel<float> channel(64);
    EXPECT_EQ(adsr.render(channel), 0);

    // When the second-last segment holds, release runs the end segment, silent for its 400 samples.
    EnvelopeDiscreteSloped held(module.get(), 128);
    held.addSegment(1.0f, 5, 1.0f, false);
    held.addSegment(1.0f, 5, 1.0f, true);
    held.trigger();
    EXPECT_EQ(rendered(held, 1000).back(), 1.0f);
    held.release();
    EXPECT_EQ(held.getPosition(), 2u);
    EXPECT_EQ(rendered(held, 256, 256), std::vector<float>(256, 0.0f));
    EXPECT_TRUE(held.isActive());
    rendered(held, 256, 256);
    EXPECT_FALSE(held.isActive());

    // With two segments (one and the end) release ends the envelope at once.
    EnvelopeDiscreteSloped two(module.get(), 32);
    two.addSegment(1.0f, 100, 1.0f, true);
    two.trigger();
    rendered(two, 300);
    two.release();
    EXPECT_EQ(two.getLevel(), 0.0f);
    EXPECT_FALSE(two.isActive());
}

TEST_F(Envelopes, StopFadesOverSixtyFourSamplesOrSilencesAtOnce) {
    EnvelopeDiscreteSloped envelope(module.get(), 32);
    envelope.addSegment(0.5f, 1, 1.0f, true);
    envelope.trigger();
    rendered(envelope, 100);
    ASSERT_EQ(envelope.getLevel(), 16.0f);
    envelope.stop(false);
    const std::vector<float> fade = rendered(envelope, 64, 64);
    for (std::size_t i = 0; i < 64; ++i)
        EXPECT_EQ(fade[i], std::rint(16.0f - 0.25f * float(i + 1)) / 32.0f) << i;
    EXPECT_EQ(fade[63], 0.0f);
    EXPECT_FALSE(envelope.isActive());

    envelope.trigger();
    rendered(envelope, 100);
    envelope.stop(true);
    EXPECT_FALSE(envelope.isActive());
    EXPECT_EQ(envelope.getLevel(), 0.0f);
}

TEST_F(Envelopes, AnIdleEnvelopeRendersZerosAndReturnsNothing) {
    auto envelope = rise(10);
    envelope->trigger();
    rendered(*envelope, 1000); // through the jump to 0 and its hold
    envelope->stop(true);
    IOChannel<float> channel = channelOf(std::vector<float>(32, 0.7f));
    channel.setValidFrames(3);
    EXPECT_EQ(envelope->render(channel), 0);
    EXPECT_EQ(channel.getValidFrames(), 32);
    EXPECT_EQ(std::count(channel.getData(), channel.getData() + 32, 0.0f), 32);

    // Processing multiplies the input by the curve; an idle envelope writes zeros.
    IOChannel<float> in = channelOf(std::vector<float>(32, 0.7f));
    IOChannel<float> out(32);
    EXPECT_EQ(envelope->process(in, out), 0);
    EXPECT_EQ(std::pair(out.getValidFrames(), out.getData()[31]), std::pair(32, 0.0f));
    envelope->trigger();
    EXPECT_EQ(envelope->process(in, out), 32);
    auto reference = rise(10);
    reference->trigger();
    const std::vector<float> curve = rendered(*reference, 32);
    for (const int i : {0, 13, 31})
        EXPECT_FLOAT_EQ(out.getData()[i], 0.7f * curve[static_cast<std::size_t>(i)]) << i;
}

TEST_F(Envelopes, TheCurveEndingInsideABlockFillsTheRestWithZeros) {
    EnvelopeDiscreteSloped envelope(module.get(), 16);
    envelope.addSegment(1.0f, 2, 2.0f, false); // 88 samples; scale 2 doubles the output
    envelope.trigger();
    const std::vector<float> values = rendered(envelope, 1024, 1024);
    EXPECT_EQ(values[87], 2.0f);
    EXPECT_EQ(values[88], 0.0f); // the end segment is silent
    EXPECT_EQ(values[88 + 399], 0.0f);
    EXPECT_FALSE(envelope.isActive());
    EXPECT_EQ(std::count(values.begin() + 88, values.end(), 0.0f), 1024 - 88);
}

TEST_F(Envelopes, SegmentLengthsFollowTheHostsRate) {
    auto envelope = rise(10);
    EXPECT_EQ(envelope->getSegments()[0].samples, 441);
    host.setSampleRate(48000);
    EXPECT_EQ(envelope->getSegments()[0].samples, 480);
    EXPECT_EQ(envelope->getSegments().back().samples, 400); // the end segment is counted in samples
    envelope->trigger();
    EXPECT_EQ(endOfRise(rendered(*envelope, 1000)), 480u);

    // Long segments at high rates stay exact.
    host.setSampleRate(192000);
    EnvelopeDiscreteSloped slow(module.get(), 128);
    slow.addSegment(0.0f, 21474, 1.0f, false);
    EXPECT_EQ(slow.getSegments()[0].samples, 4123008);
}

TEST_F(Envelopes, AddingSegmentsStopsWhenFullOrGivenNonFiniteValues) {
    EnvelopeDiscreteSloped envelope(module.get(), 32);
    EXPECT_FALSE(envelope.addSegment(std::numeric_limits<float>::quiet_NaN(), 10, 1.0f, false));
    EXPECT_FALSE(envelope.addSegment(0.5f, 10, std::numeric_limits<float>::infinity(), false));
    EXPECT_TRUE(envelope.addSegment(1e9f, 10, 1.0f, false)); // held within 2^22 steps
    EXPECT_EQ(envelope.getSegments()[0].target, 4194304.0f);
    int added = 1;
    while (envelope.addSegment(0.5f, 1, 1.0f, false))
        ++added;
    EXPECT_EQ(added, int(EnvelopeDiscreteSloped::kMaxSegments) - 1);
    EXPECT_EQ(envelope.getSegments().back().samples, EnvelopeDiscreteSloped::kEndSegmentSamples);
    envelope.setLimits(-1.0f, 3.0f);
    EXPECT_EQ(std::pair(envelope.getLowerLimit(), envelope.getUpperLimit()), std::pair(0.0f, 1.0f));
    envelope.setLimits(0.25f, 0.75f);
    EXPECT_EQ(std::pair(envelope.getLowerLimit(), envelope.getUpperLimit()), std::pair(0.25f, 0.75f));
}

TEST_F(Envelopes, NotesRunThroughSegmentEndsWithoutAllocating) {
    EnvelopeDiscreteSloped envelope(module.get(), 128);
    IOChannel<float> channel(256);
    IOChannel<float> in = channelOf(std::vector<float>(256, 0.5f));
    std::int32_t frames = 0;
    {
        AllocationGuard guard("envelope notes");
        for (int note = 0; note < 5; ++note) {
            envelope.reset();
            envelope.addSegment(0.9f, 2, 63.8f, false);
            envelope.addSegment(0.3f, note == 2 ? -1 : 3, 1.0f, true);
            envelope.addSegment(0.0f, 4, 1.0f, false);
            envelope.trigger();
            for (int block = 0; block < 4; ++block)
                frames += envelope.render(channel);
            envelope.release();
            frames += envelope.process(in, channel);
            if (note == 3)
                envelope.stop(false);
            while (envelope.isActive())
                frames += envelope.render(channel);
        }
    }
    EXPECT_GT(frames, 5 * 5 * 256);
    EXPECT_FALSE(envelope.isActive());
}
