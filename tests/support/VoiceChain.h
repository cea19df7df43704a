#pragma once

#include "engine/dsp/EnvelopeDiscreteSloped.h"
#include "engine/dsp/effects/BitcrusherLog.h"
#include "engine/dsp/effects/DACLadder.h"
#include "engine/dsp/effects/DCBlocker.h"
#include "engine/dsp/effects/LP1Filter.h"
#include "engine/dsp/effects/Waveshaper.h"
#include "engine/dsp/oscillators/GranularNoiseOsc.h"
#include "engine/dsp/oscillators/SampleOsc.h"
#include "engine/io/IOChannel.h"
#include "engine/samples/Sample.h"
#include "engine/zones/Zone.h"
#include "framework/SharedObject.h"
#include "support/PlayerTestSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace trov::test {

// One emulated voice's blocks, set up and chained as the voice will chain them, on a PlayerWorld's module
// (host at 44.1 kHz): a zone's sample looping on a 27 kHz playback clock with jitter plus a named click
// sample, summed; the two-curve waveshaper, the one-pole low-pass and the log crusher; the granular noise
// added; the amplitude envelope as a gain stage; the DAC ladder and the DC blocker. The filter envelope
// renders the control curve a 4-pole filter would read. The samples and curves are made here and cached in
// the world's resources. Built on the test's thread; `noteOn`, `noteOff` and `renderBlock` are the audio
// thread's part (no allocation, no log).
class VoiceChain {
public:
    static constexpr std::int32_t kBlock = 256;
    static constexpr double kClockRate = 27000.0;
    static constexpr float kJitter = 0.25f;
    static constexpr std::int32_t kLoopStart = 8000;
    static constexpr std::int32_t kLoopEnd = 30000;
    static constexpr std::int32_t kWaveFrames = 66150; // 1.5 s
    static constexpr std::int32_t kClickFrames = 1323; // 30 ms
    static constexpr std::int32_t kCurveFrames = 4097;

    // The stages in chain order, as `renderBlock` reports them.
    enum Stage {
        kMainPlayer,
        kClickPlayer, // with the zeros that complete the block
        kWaveshaper,
        kLowPass,
        kCrusher,
        kNoise,
        kAmpEnvelope,
        kFilterEnvelope,
        kDac,
        kDcBlocker,
        kStageCount
    };

    static const char* stageName(int stage) {
        static const char* const kNames[kStageCount] = {"main",  "click",  "shaper",  "lp1", "crush",
                                                        "noise", "ampenv", "filtenv", "dac", "dcblock"};
        return kNames[stage];
    }

    explicit VoiceChain(PlayerWorld& world)
        : roots_(makeSamples(world)),
          zone_(world.zone("VoiceWave",
                           "<SampleStart value=\"0\"/><SampleEnd value=\"" + std::to_string(kWaveFrames - 1) +
                               "\"/>",
                           "<loop><start value=\"" + std::to_string(kLoopStart) + "\"/><end value=\"" +
                               std::to_string(kLoopEnd) + "\"/><mode value=\"until-release\"/></loop>")),
          main_(world.module.get(), zone_.get()), click_(world.module.get(), "VoiceClick"),
          noise_(world.module.get(), "VoiceNoise"),
          shaper_(world.module.get(), "VoiceCurveClean", "VoiceCurveDriven"), lowPass_(world.module.get()),
          crusher_(world.module.get(), 8), ampEnvelope_(world.module.get(), 128),
          filterEnvelope_(world.module.get(), 128), dac_(world.module.get()), dcBlocker_(world.module.get()),
          voice_(kBlock), control_(kBlock) {
        voice_.setSize(kBlock);
        control_.setSize(kBlock);
        main_.setUseFrequency(true);
        main_.setClockRate(kClockRate);
        main_.setJitter(kJitter);
        main_.setAmplitude(0.7f);
        click_.setAmplitude(0.4f);
        click_.setFrequency(roots_.click);
        noise_.setAmplitude(0.03f);
        noise_.setFrequency(roots_.noise);
        shaper_.setAmount(0.6f);
        shaper_.setGain(0.3f);
        lowPass_.setCutoff(0.8f);
        crusher_.setAmount(0.3f);
        // Attack, decay to a held sustain, release, then the end segment.
        ampEnvelope_.addSegment(1.0f, 8, 1.0f, false);
        ampEnvelope_.addSegment(0.7f, 250, 1.0f, true);
        ampEnvelope_.addSegment(0.0f, 200, 1.0f, false);
        filterEnvelope_.addSegment(1.0f, 30, 1.0f, false);
        filterEnvelope_.addSegment(0.4f, 500, 1.0f, true);
        filterEnvelope_.addSegment(0.0f, 300, 1.0f, false);
    }
    VoiceChain(const VoiceChain&) = delete;
    VoiceChain& operator=(const VoiceChain&) = delete;

    // Starts a note `semitones` above the wave's root: both players from their starts (the zone's loop back
    // on), both envelopes from their first segment.
    void noteOn(int semitones) noexcept {
        main_.restart();
        main_.setFrequency(roots_.wave * std::exp2(static_cast<float>(semitones) / 12.0f));
        click_.restart();
        ampEnvelope_.trigger();
        filterEnvelope_.trigger();
    }

    // The envelopes to their release segments; the wave plays on past its loop.
    void noteOff() noexcept {
        ampEnvelope_.release();
        filterEnvelope_.release();
        main_.setLoopMode(SampleOsc::kLoopOff);
    }

    // One block through the chain; afterStage(stage) is called as each stage ends (a timing hook).
    template <class Probe> const IOChannel<float>& renderBlock(Probe&& afterStage) noexcept {
        voice_.setValidFrames(0);
        main_.render(voice_);
        afterStage(kMainPlayer);
        click_.render(voice_);
        // Players that ended inside the block (or did not play) leave the rest for the chain to fill.
        if (const std::int32_t valid = voice_.getValidFrames(); valid < kBlock) {
            std::fill(voice_.getData() + valid, voice_.getData() + kBlock, 0.0f);
            voice_.setValidFrames(kBlock);
        }
        afterStage(kClickPlayer);
        shaper_.processInPlace(voice_);
        afterStage(kWaveshaper);
        lowPass_.processInPlace(voice_);
        afterStage(kLowPass);
        crusher_.processInPlace(voice_);
        afterStage(kCrusher);
        noise_.render(voice_);
        afterStage(kNoise);
        ampEnvelope_.processInPlace(voice_);
        afterStage(kAmpEnvelope);
        filterEnvelope_.render(control_);
        afterStage(kFilterEnvelope);
        dac_.processInPlace(voice_);
        afterStage(kDac);
        dcBlocker_.processInPlace(voice_);
        afterStage(kDcBlocker);
        return voice_;
    }
    const IOChannel<float>& renderBlock() noexcept {
        return renderBlock([](int) noexcept {});
    }

    SampleOsc& mainPlayer() { return main_; }
    SampleOsc& clickPlayer() { return click_; }
    GranularNoiseOsc& noisePlayer() { return noise_; }
    Waveshaper& waveshaper() { return shaper_; }
    EnvelopeDiscreteSloped& ampEnvelope() { return ampEnvelope_; }
    EnvelopeDiscreteSloped& filterEnvelope() { return filterEnvelope_; }
    // The filter envelope's last block.
    const IOChannel<float>& filterControl() const { return control_; }

private:
    // The root frequencies of the samples the chain plays.
    struct Roots {
        float wave;
        float click;
        float noise;
    };

    // Caches the chain's samples and curves in the world's resources (the world holds them).
    static Roots makeSamples(PlayerWorld& world) {
        world.add("VoiceCurveClean", curve(1.0));
        world.add("VoiceCurveDriven", curve(4.0));
        return {world.rootOf(*world.add("VoiceWave", wave(), 44100, 60)),
                world.rootOf(*world.add("VoiceClick", click(), 44100, 60)),
                world.rootOf(*world.add("VoiceNoise", noise(), 44100, 69))};
    }

    // A tone with a few decaying harmonics and a little noise.
    static std::vector<float> wave() {
        std::mt19937 random(3);
        std::uniform_real_distribution<float> hiss(-0.02f, 0.02f);
        std::vector<float> values(kWaveFrames);
        const double w = 2.0 * std::numbers::pi * 261.6255653 / 44100.0;
        for (std::int32_t i = 0; i < kWaveFrames; ++i) {
            double v = 0.0;
            for (int h = 1; h <= 6; ++h)
                v += std::sin(w * h * i) / (h * h);
            values[static_cast<std::size_t>(i)] = static_cast<float>(0.6 * v) + hiss(random);
        }
        return values;
    }
    // A sharp, quickly decaying burst: the key click.
    static std::vector<float> click() {
        std::mt19937 random(4);
        std::uniform_real_distribution<float> burst(-1.0f, 1.0f);
        std::vector<float> values(kClickFrames);
        for (std::int32_t i = 0; i < kClickFrames; ++i)
            values[static_cast<std::size_t>(i)] = burst(random) * std::exp(-static_cast<float>(i) / 200.0f);
        return values;
    }
    // A second of the machine's noise floor.
    static std::vector<float> noise() {
        std::mt19937 random(5);
        std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
        std::vector<float> values(44100);
        for (float& v : values)
            v = uniform(random);
        return values;
    }
    // A saturation curve tanh(drive x) over -1..1, one frame past it as the curves carry.
    static std::vector<float> curve(double drive) {
        std::vector<float> values(kCurveFrames);
        for (std::int32_t k = 0; k < kCurveFrames; ++k)
            values[static_cast<std::size_t>(k)] =
                static_cast<float>(std::tanh(drive * (-1.0 + 2.0 * k / (kCurveFrames - 2))));
        return values;
    }

    Roots roots_;
    SharedObjectPtr<Zone> zone_;
    SampleOsc main_;
    SampleOsc click_;
    GranularNoiseOsc noise_;
    Waveshaper shaper_;
    LP1Filter lowPass_;
    BitcrusherLog crusher_;
    EnvelopeDiscreteSloped ampEnvelope_;
    EnvelopeDiscreteSloped filterEnvelope_;
    DACLadder dac_;
    DCBlocker dcBlocker_;
    IOChannel<float> voice_;
    IOChannel<float> control_;
};

} // namespace trov::test
