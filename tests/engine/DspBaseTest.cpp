#include "engine/dsp/FixedPhase.h"
#include "engine/dsp/effects/Effect.h"
#include "engine/dsp/oscillators/Oscillator.h"
#include "engine/io/IOPinMono.h"
#include "engine/io/IOPinStereo.h"
#include "support/AllocationGuard.h"
#include "support/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace trov;
using namespace trov::test;

namespace {

// Adds its gain to every input sample; counts updates.
class AddGain : public Effect {
public:
    using Effect::Effect;
    std::int32_t render(IOChannel<float>& out) noexcept override { return out.setValidFrames(0); }
    std::int32_t process(const IOChannel<float>& in, IOChannel<float>& out) noexcept override {
        const std::int32_t frames = std::min(in.getValidFrames(), out.getSize());
        for (std::int32_t i = 0; i < frames; ++i)
            out.getData()[i] = in.getData()[i] + getGain();
        return out.setValidFrames(frames);
    }
    void update() noexcept override { ++updates; }
    int updates = 0;
};

class Silent : public Oscillator {
public:
    using Oscillator::Oscillator;
    bool isActive() const noexcept override { return false; }
    std::int32_t render(IOChannel<float>& out) noexcept override { return out.setValidFrames(0); }
};

class DspBase : public testing::Test, protected HostedModule {
protected:
    DspBase() : HostedModule(48000) {}
};

IOChannel<float> filled(std::int32_t frames, float value) {
    IOChannel<float> channel(frames);
    channel.setValidFrames(frames);
    std::fill_n(channel.getData(), frames, value);
    return channel;
}

} // namespace

TEST_F(DspBase, BlocksTakeTheHostsRateWhenBuiltAndFollowItsChanges) {
    AddGain effect(module.get());
    Silent oscillator(module.get());
    EXPECT_EQ(std::pair(effect.getSampleRate(), oscillator.getSampleRate()), std::pair(48000, 48000));

    host.setSampleRate(96000);
    EXPECT_EQ(std::pair(effect.getSampleRate(), oscillator.getSampleRate()), std::pair(96000, 96000));
    EXPECT_EQ(effect.updates, 1);

    // Without a host (or owner) the rate is 44100.
    AddGain orphan(nullptr);
    Silent orphanOscillator(nullptr);
    EXPECT_EQ(std::pair(orphan.getSampleRate(), orphanOscillator.getSampleRate()), std::pair(44100, 44100));
    orphan.setSampleRate(0);
    orphan.setSampleRate(-5);
    EXPECT_EQ(orphan.getSampleRate(), 44100);
}

TEST_F(DspBase, EffectsChangeGainOnlyWhenItDiffersAndProcessPinsOverTheSmallerWidth) {
    AddGain effect(module.get());
    effect.setGain(1.0f);
    EXPECT_EQ(effect.updates, 0);
    effect.setGain(0.5f);
    EXPECT_EQ(effect.updates, 1);

    // Stereo into mono touches only channel 0 (the output has no second channel).
    IOPinStereo stereo;
    stereo.setChannel(0, filled(8, 1.0f));
    stereo.setChannel(1, filled(8, 2.0f));
    IOPinMono mono;
    mono.setChannel(0, filled(8, 0.0f));
    std::int32_t frames = 0;
    {
        AllocationGuard guard("processing a pin");
        frames = effect.processPin(stereo, mono);
    }
    EXPECT_EQ(frames, 8);
    EXPECT_EQ(mono.getChannel(0)->getData()[7], 1.5f);

    // Mono into stereo processes channel 0 only; in place works on the same channel.
    IOPinStereo out;
    out.setChannel(0, filled(8, 0.0f));
    out.setChannel(1, filled(8, 9.0f));
    effect.processPin(mono, out);
    EXPECT_EQ(std::pair(out.getChannel(0)->getData()[0], out.getChannel(1)->getData()[0]),
              std::pair(2.0f, 9.0f));
    effect.processPinInPlace(out);
    EXPECT_EQ(std::pair(out.getChannel(0)->getData()[0], out.getChannel(1)->getData()[0]),
              std::pair(2.5f, 9.5f));

    int table = 0;
    effect.setInput(3, &table);
    effect.setInput(3, &effect);
    EXPECT_EQ(std::pair(effect.getInput(3), effect.getInput(4)),
              std::pair(static_cast<void*>(&effect), static_cast<void*>(nullptr)));
    effect.removeInput(3);
    EXPECT_EQ(effect.getInput(3), nullptr);
}

TEST_F(DspBase, AFreshOscillatorHasItsDefaultsAndTheDriftStaysWithinItsDepth) {
    Silent oscillator(module.get());
    EXPECT_EQ(oscillator.getAmplitude(), 1.0f);
    EXPECT_EQ(std::pair(oscillator.getRangeMin(), oscillator.getRangeMax()), std::pair(-1.0f, 1.0f));
    EXPECT_EQ(oscillator.getFrequency(), 440.0f);
    EXPECT_EQ(oscillator.getOversampling(), 2);
    EXPECT_EQ(oscillator.getOversamplingBuffer().size(), 8u);
    oscillator.setOversampling(0);
    EXPECT_EQ(oscillator.getOversampling(), 2);
    oscillator.setOversampling(4);
    EXPECT_EQ(oscillator.getOversamplingBuffer().size(), 16u);

    const float depth = Oscillator::kDefaultDriftDepth;
    EXPECT_LE(std::abs(oscillator.getDrift()), depth / 2);
    oscillator.setDriftRate(5000.0f); // large steps, so the bounds are reached
    float low = 1e9f;
    float high = 0.0f;
    {
        AllocationGuard guard("drifting");
        for (int i = 0; i < 20000; ++i) {
            const float f = oscillator.getDriftedFrequency();
            low = std::min(low, f);
            high = std::max(high, f);
        }
    }
    EXPECT_GE(low, 440.0f * (1.0f - depth) - 1e-3f);
    EXPECT_LE(high, 440.0f * (1.0f + depth) + 1e-3f);
    EXPECT_LT(low, 440.0f * (1.0f - depth / 2));
    EXPECT_GT(high, 440.0f * (1.0f + depth / 2));

    // The drift applies to the second base when asked, times both multipliers.
    oscillator.setDriftDepth(0.0f);
    oscillator.setFrequency2(100.0f);
    oscillator.setUseFrequency(false);
    oscillator.setMultiplier1(2.0);
    oscillator.setMultiplier2(1.5);
    EXPECT_FLOAT_EQ(oscillator.getDriftedFrequency(), 300.0f);
}

TEST(FixedPhase, ConvertsTruncatingAndClampsWhatItCannotHold) {
    EXPECT_EQ(ifloat<22>(2.5).raw(), 2560u);
    EXPECT_EQ(ifloat<22>(1.0 + 1.0 / 2048.0).raw(), 1024u); // the fraction truncates
    EXPECT_EQ(ifloat<22>(3.999).integer(), 3u);
    EXPECT_EQ(ifloat<22>(-1.0).raw(), 0u);
    EXPECT_EQ(ifloat<22>(std::numeric_limits<double>::quiet_NaN()).raw(), 0u);
    EXPECT_EQ(ifloat<22>(std::numeric_limits<double>::infinity()).raw(), UINT32_MAX);
    EXPECT_EQ(ifloat<22>(1e12).raw(), UINT32_MAX);
    EXPECT_EQ(ifloat<22>(4194303.5).raw(), 4194303u * 1024u + 512u);
}
