#include "instrument/dsp/EnvelopeConstant.h"
#include "instrument/dsp/OstrelEnvelope.h"
#include "support/AllocationGuard.h"
#include "support/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace trov;
using namespace trov::test;

namespace {

using Segment = EnvelopeDiscreteSloped::Segment;

void expectSegment(const Segment& s, float level, std::int32_t milliseconds, float scale, bool hold) {
    EXPECT_NEAR(s.target / 128.0f, level, 1e-6f);
    EXPECT_EQ(s.milliseconds, milliseconds);
    EXPECT_NEAR(s.scale, scale, 1e-6f);
    EXPECT_EQ(s.hold, hold);
}

std::vector<float> render(OstrelEnvelope& envelope, std::int32_t frames) {
    IOChannel<float> channel(frames);
    envelope.render(channel);
    return {channel.getData(), channel.getData() + frames};
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

} // namespace

TEST(OstrelEnvelope, ControlsGoThroughTheMeasuredCurves) {
    struct Case {
        float a, p, d, s, r;
        OstrelEnvelope::Stages expected;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 0, {2, 0.015f, 7, 0.0f, 10}},
        {1, 1, 1, 1, 1, {12305, 0.957f, 15418, 0.957f, 21300}},
        // u = 32 x: 0.1 lies 0.2 of the way from point 3 to point 4 (4 -> 7 ms is 4.6, to the nearest ms 5).
        {0.1f, 0.1f, 0.1f, 0.1f, 0.1f, {5, 0.047f + 0.2f * 0.017f, 30, 0.039f + 0.2f * 0.025f, 59}},
        // u = 16 exactly reads point 16.
        {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, {374, 0.492f, 1496, 0.492f, 2340}},
        // Outside 0..1 the nearer end; NaN as 0.
        {-2, 7, kNaN, -0.5f, 1e9f, {2, 0.957f, 7, 0.0f, 21300}},
    };
    for (const Case& c : cases) {
        const OstrelEnvelope::Stages got = OstrelEnvelope::stagesOf(c.a, c.p, c.d, c.s, c.r);
        SCOPED_TRACE(c.a);
        EXPECT_EQ(got.attackMs, c.expected.attackMs);
        EXPECT_NEAR(got.peak, c.expected.peak, 1e-6f);
        EXPECT_EQ(got.decayMs, c.expected.decayMs);
        EXPECT_NEAR(got.sustain, c.expected.sustain, 1e-6f);
        EXPECT_EQ(got.releaseMs, c.expected.releaseMs);
    }
}

TEST(OstrelEnvelope, StagesBecomeAttackDecayHoldAndReleaseSegments) {
    OstrelEnvelope envelope(nullptr);
    envelope.setStages(0.5f, 1.0f, 0.25f, 0.5f, 0.0f);
    const std::vector<Segment>& segments = envelope.getSegments();
    ASSERT_EQ(segments.size(), 4u); // and the end segment
    expectSegment(segments[0], 0.957f, 374, 1.0f, false);
    expectSegment(segments[1], 0.492f, 242, 1.0f, true);
    expectSegment(segments[2], 0.0f, 10, 1.0f, false);

    // A sustain above the peak: the decay jumps, and the attack's output is lifted by sustain / peak.
    envelope.setStages(0.0f, 0.0f, 0.5f, 1.0f, 0.0f);
    ASSERT_EQ(envelope.getSegments().size(), 4u);
    EXPECT_NEAR(envelope.getSegments()[0].scale, 0.957f / 0.015f, 1e-4f);
    EXPECT_NEAR(envelope.getSegments()[0].scale, 63.8f, 1e-4f);
    EXPECT_EQ(envelope.getSegments()[1].milliseconds, -1);
    EXPECT_LT(envelope.getSegments()[1].samples, 1);
    // Building again replaces the segments rather than adding to them.
    envelope.setStages(0.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(envelope.getSegments().size(), 4u);
}

TEST(OstrelEnvelope, RendersSteppedLevelsThroughItsStagesAndReleasesToSilence) {
    OstrelEnvelope envelope(nullptr);
    ASSERT_EQ(envelope.getSampleRate(), 44100);
    // attack 2 ms (88 samples) to 0.957, decay 7 ms to 0.492, release 10 ms.
    envelope.setStages(0.0f, 1.0f, 0.0f, 0.5f, 0.0f);
    envelope.trigger();
    const std::vector<float> on = render(envelope, 2000);
    for (float v : on) {
        const float steps = v * 128.0f;
        ASSERT_EQ(steps, std::round(steps)); // 128 levels
    }
    EXPECT_NEAR(on[87], 0.957f, 1.0f / 128.0f);
    EXPECT_NEAR(on[1999], std::round(0.492f * 128.0f) / 128.0f, 1e-7f);
    EXPECT_TRUE(envelope.isActive());
    envelope.release();
    const std::vector<float> off = render(envelope, 1000);
    EXPECT_GT(off[0], 0.0f);
    EXPECT_EQ(off[441], 0.0f); // 10 ms
    EXPECT_EQ(off[999], 0.0f);
}

TEST(OstrelEnvelope, StageTimesAndLevelsFollowTheMeasuredTablesAtEveryHostRate) {
    // Controls on points of the measured curves: a quarter is point 8 of 32, a half point 16, all the way
    // point 31. Attack 50 ms to 0.957, decay 242 ms to 0.492, release 399 ms, as measured on the machine.
    constexpr double kAttackMs = 50.0, kDecayMs = 242.0, kReleaseMs = 399.0;
    constexpr float kPeak = 0.957f, kSustain = 0.492f, kStep = 1.0f / 128.0f;
    for (const int rate : {44100, 48000, 96000}) {
        HostedModule hosted(rate);
        OstrelEnvelope envelope(hosted.module.get());
        envelope.setStages(0.25f, 1.0f, 0.25f, 0.5f, 0.25f);
        envelope.trigger();
        const auto samples = [rate](double ms) { return static_cast<std::size_t>(rate * ms / 1000.0); };
        const std::size_t attack = samples(kAttackMs), decay = samples(kDecayMs),
                          release = samples(kReleaseMs);
        const std::vector<float> on = render(envelope, static_cast<std::int32_t>(attack + decay + rate / 20));
        // Straight lines between the levels, in steps of 1/128, at the stages' times.
        EXPECT_NEAR(on[attack / 2 - 1], kPeak / 2.0f, kStep) << rate;
        EXPECT_NEAR(on[attack - 1], kPeak, kStep) << rate;
        EXPECT_NEAR(on[attack + decay / 2 - 1], (kPeak + kSustain) / 2.0f, kStep) << rate;
        EXPECT_NEAR(on[attack + decay - 1], kSustain, kStep) << rate;
        EXPECT_EQ(on.back(), on[attack + decay - 1]) << rate; // held
        envelope.release();
        const std::vector<float> off = render(envelope, static_cast<std::int32_t>(release + 64));
        EXPECT_NEAR(off[release / 2 - 1], kSustain / 2.0f, kStep) << rate;
        EXPECT_GT(off[release - samples(5.0)], 0.0f) << rate;
        EXPECT_EQ(off[release], 0.0f) << rate;
    }
}

TEST(OstrelEnvelope, NoteStartAndBlocksAllocateNothing) {
    OstrelEnvelope envelope(nullptr);
    IOChannel<float> channel(256);
    std::fill_n(channel.getData(), 256, 0.5f);
    channel.setValidFrames(256);
    std::int32_t frames = 0;
    {
        AllocationGuard guard("the envelope");
        for (int note = 0; note < 8; ++note) {
            envelope.setStages(0.1f * float(note), 0.5f, 0.3f, 0.6f, 0.2f);
            envelope.trigger();
            frames = envelope.processInPlace(channel);
            envelope.release();
        }
    }
    EXPECT_EQ(frames, 256);
}

TEST(EnvelopeConstant, HoldsItsLevelWhileTriggeredAndIsSilentOtherwise) {
    EnvelopeConstant envelope(nullptr, 0.5f);
    EXPECT_FALSE(envelope.isActive());
    envelope.trigger();
    EXPECT_TRUE(envelope.isActive());
    EXPECT_EQ(envelope.nextValue(), 0.5f);

    IOChannel<float> in(8), out(8);
    std::fill_n(in.getData(), 8, 2.0f);
    in.setValidFrames(6);
    std::int32_t processed = 0, rendered = 0;
    {
        AllocationGuard guard("the constant envelope");
        processed = envelope.process(in, out);
        rendered = envelope.render(in);
    }
    EXPECT_EQ(processed, 6);
    EXPECT_EQ(out.getValidFrames(), 6);
    EXPECT_EQ(out.getData()[5], 1.0f);
    EXPECT_EQ(rendered, 6);
    EXPECT_EQ(in.getData()[0], 1.0f);
    EXPECT_EQ(in.getData()[7], 2.0f); // past the valid frames nothing changes

    envelope.release();
    EXPECT_FALSE(envelope.isActive());
    envelope.process(in, out);
    EXPECT_EQ(out.getData()[0], 0.0f);
    envelope.trigger();
    envelope.stop(false);
    EXPECT_EQ(envelope.nextValue(), 0.0f);
}
