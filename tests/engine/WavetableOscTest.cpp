#include "engine/dsp/oscillators/WavetableOsc.h"
#include "support/AllocationGuard.h"
#include "support/ResponseTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

using namespace trov;
using namespace trov::test;

namespace {

// One cycle of a sine of 2048 values.
class SineTable : public Wavetable {
public:
    SineTable() { buildLevels(); }

protected:
    void build(std::vector<float>& level) override {
        level.resize(2048);
        for (std::size_t i = 0; i < level.size(); ++i)
            level[i] = static_cast<float>(std::sin(2.0 * std::numbers::pi * double(i) / 2048.0));
    }
};

std::unique_ptr<WavetableOsc> makeOsc(float frequency, int oversampling = 2) {
    auto osc = std::make_unique<WavetableOsc>(nullptr, std::make_unique<SineTable>());
    osc->setDriftDepth(0.0f);
    osc->setFrequency(frequency);
    osc->setOversampling(oversampling);
    return osc;
}

// The raw fixed-point step per internal sample.
std::uint32_t stepOf(double frequency, int oversampling, double rate, std::int32_t length) {
    return static_cast<std::uint32_t>(std::floor(frequency / (oversampling * rate) * length * 1024.0));
}

} // namespace

TEST(WavetableOsc, PlaysItsTableAtTheFixedPointStepForEveryOversampling) {
    for (const int oversampling : {1, 2, 4}) {
        auto osc = makeOsc(441.0f, oversampling);
        ASSERT_EQ(osc->getOversampling(), oversampling);
        osc->setAmplitude(0.5f);
        const std::vector<float> values = rendered(*osc, 44100);
        // The level of 64 values; the frequency the truncated step gives.
        const std::uint32_t step = stepOf(441.0, oversampling, 44100.0, 64);
        const double omega = 2.0 * std::numbers::pi * oversampling * step / (64.0 * 1024.0);
        const double amplitude = amplitudeAt(values.data() + 100, 44000, omega);
        EXPECT_NEAR(decibels(amplitude / 0.5), 0.0, 0.05) << oversampling << "x";
        EXPECT_LT(amplitudeAt(values.data() + 100, 44000, omega * 1.02), 0.05) << oversampling << "x";
    }
}

TEST(WavetableOsc, AddsToAChannelThatAlreadyHoldsFrames) {
    auto alone = makeOsc(1000.0f);
    auto added = makeOsc(1000.0f);
    IOChannel<float> fresh(128);
    IOChannel<float> mixed = channelOf(std::vector<float>(128, 0.25f));
    EXPECT_EQ(alone->render(fresh), 128);
    EXPECT_EQ(added->render(mixed), 128);
    for (const int i : {0, 5, 127})
        EXPECT_FLOAT_EQ(mixed.getData()[i], fresh.getData()[i] + 0.25f) << i;
}

TEST(WavetableOsc, BelowTheReferenceTheCycleWrapsEarly) {
    // At 0.5 Hz against a 1 Hz reference only half the table is read, at the reference's period.
    auto osc = makeOsc(0.5f);
    const std::uint32_t step = stepOf(0.5, 2, 44100.0, 2048);
    const std::uint64_t wrap = 1024u * 1024u;
    const std::vector<float> values = rendered(*osc, 150000);
    for (std::size_t i = 0; i < values.size(); i += 997) {
        // The decimator averages an output's even internal sample with the odd one before it.
        const double phase = std::fmod(double(step) * (2.0 * double(i) - 0.5), double(wrap));
        ASSERT_NEAR(values[i], std::sin(std::numbers::pi * phase / double(wrap)), 2e-3) << i;
        ASSERT_GE(values[i], -1e-3f) << i; // never the second half of the sine
    }
}

TEST(WavetableOsc, NoFrequencyReadsPastTheGuard) {
    auto osc = makeOsc(100.0f);
    for (const float frequency :
         {30000.0f, 90000.0f, 1e6f, 1e30f, -1.0f, std::numeric_limits<float>::quiet_NaN(), 0.25f, 440.0f}) {
        osc->setFrequency(frequency);
        for (const float value : rendered(*osc, 1024))
            ASSERT_TRUE(std::abs(value) <= 1.0f) << frequency << " Hz gave " << value;
    }
}

TEST(WavetableOsc, OversamplingIsAPowerOfTwoUpTo16AndRenderingDoesNotAllocate) {
    auto osc = makeOsc(220.0f);
    for (const int refused : {0, 3, 12, 32})
        osc->setOversampling(refused);
    EXPECT_EQ(osc->getOversampling(), 2);
    osc->setOversampling(16);
    EXPECT_EQ(osc->getOversampling(), 16);

    IOChannel<float> block(256);
    std::int32_t frames = 0;
    {
        AllocationGuard guard("rendering the wavetable oscillator");
        for (int i = 0; i < 20; ++i) {
            osc->setFrequency(50.0f * float(i + 1));
            block.setValidFrames(0);
            frames += osc->render(block);
        }
    }
    EXPECT_EQ(frames, 20 * 256);

    WavetableOsc empty(nullptr, nullptr);
    EXPECT_FALSE(empty.isActive());
    EXPECT_EQ(empty.render(block), 0);
    EXPECT_EQ(block.getValidFrames(), 0);
}
