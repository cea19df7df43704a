#include "engine/dsp/oscillators/SampleOsc.h"

#include "engine/modules/EngineSynth.h"
#include "engine/zones/Zone.h"
#include "framework/Random.h"
#include "support/AllocationGuard.h"
#include "support/LogCapture.h"
#include "support/PlayerTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

using namespace trov;
using namespace trov::test;

namespace {

class SampleOscTest : public testing::Test {
protected:
    SampleOscTest() {
        ramp_ = world_.addRamp("Ramp", 1000);
        root_ = world_.rootOf(*ramp_);
    }

    // A player of the named sample at its root pitch, without drift.
    std::unique_ptr<SampleOsc> player(const std::string& name = "Ramp") {
        auto made = std::make_unique<SampleOsc>(world_.module.get(), name);
        made->setDriftDepth(0.0f);
        made->setFrequency(root_);
        return made;
    }

    // Plays the ramp from `start` with the playback clock at `clock` and returns `frames` samples.
    std::vector<float> playRamp(double clock, float interpolation, std::int32_t frames) {
        auto osc = player();
        osc->setClockRate(clock);
        osc->setInterpolation(interpolation);
        return renderSignal(*osc, frames, 256);
    }

    PlayerWorld world_;
    Sample* ramp_ = nullptr;
    float root_ = 0.0f;
};

TEST_F(SampleOscTest, AtTheRootPitchEachOutputSampleReadsTheNextFrame) {
    for (const float interpolation : {0.0f, 0.5f, 1.0f}) {
        auto osc = player();
        osc->setInterpolation(interpolation);
        EXPECT_TRUE(osc->isActive());
        const std::vector<float> signal = renderSignal(*osc, 2000, 256);
        // The whole sample but its last frame, which is where playback ends.
        ASSERT_EQ(signal.size(), 999u);
        for (std::size_t k = 0; k < signal.size(); ++k)
            ASSERT_EQ(signal[k], static_cast<float>(k)) << "interpolation " << interpolation;
        EXPECT_FALSE(osc->isActive());
    }
}

TEST_F(SampleOscTest, ASlowClockHoldsEachFrameForSeveralOutputSamples) {
    struct Case {
        double clock;
        float interpolation;
    };
    // Host and sample at 44.1 kHz: a tick is 44100 / clock frames and lasts clock / 44100 output samples.
    for (const Case c : {Case{11025.0, 0.0f}, Case{14700.0, 1.0f}, Case{22050.0, 0.0f}, Case{27000.0, 1.0f},
                         Case{27000.0, 0.0f}}) {
        const std::vector<float> signal = playRamp(c.clock, c.interpolation, 600);
        ASSERT_EQ(signal.size(), 600u);
        const double ticksPerSample = c.clock / 44100.0;
        const double framesPerTick = 44100.0 / c.clock;
        int changes = 0;
        for (std::size_t k = 0; k < signal.size(); ++k) {
            const double frame = std::floor(static_cast<double>(k) * ticksPerSample + 0.5) * framesPerTick;
            // Linear interpolation on a ramp gives the fractional frame itself.
            const double expected = c.interpolation == 0.0f ? std::floor(frame) : frame;
            ASSERT_NEAR(signal[k], expected, 1e-3) << "clock " << c.clock << " sample " << k;
            changes += k > 0 && signal[k] != signal[k - 1];
        }
        // The value changes once per tick, not once per output sample.
        EXPECT_NEAR(changes, 600 * ticksPerSample, 2.0) << c.clock;
    }
}

TEST_F(SampleOscTest, ALoopFrom100To200KeepsPlayingItsFramesAfterTheFirstPass) {
    const SharedObjectPtr<Zone> zone =
        world_.zone("Ramp", "<SampleStart value=\"0\"/><SampleEnd value=\"1000\"/>",
                    "<loop><start value=\"100\"/><end value=\"200\"/><mode value=\"until-release\"/></loop>");
    SampleOsc osc(world_.module.get(), zone.get());
    osc.setDriftDepth(0.0f);
    osc.setUseFrequency(true);
    osc.setFrequency(root_);
    EXPECT_EQ(
        std::tuple(osc.getStart(), osc.getEnd(), osc.getLoopMode(), osc.getLoopStart(), osc.getLoopEnd()),
        std::tuple(0, 999, Zone::kLoopUntilRelease, 100, 200));

    std::vector<float> signal;
    IOChannel<float> block = emptyBlock(100); // blocks that end inside and on the loop's edges
    bool alwaysActive = true;
    for (int b = 0; b < 50; ++b) {
        block.setValidFrames(0);
        EXPECT_EQ(osc.render(block), 100);
        signal.insert(signal.end(), block.getData(), block.getData() + block.getValidFrames());
        alwaysActive = alwaysActive && osc.isActive();
    }
    EXPECT_TRUE(alwaysActive);
    ASSERT_EQ(signal.size(), 5000u);
    for (std::size_t k = 0; k < signal.size(); ++k) {
        const std::size_t expected = k < 200 ? k : 100 + (k - 200) % 100;
        ASSERT_EQ(signal[k], static_cast<float>(expected)) << k;
    }

    // Released: the loop goes off and playback runs on to the end, where it stops.
    osc.setLoopMode(SampleOsc::kLoopOff);
    const std::vector<float> tail = renderSignal(osc, 5000, 256);
    ASSERT_FALSE(tail.empty());
    EXPECT_EQ(tail.back(), 998.0f);
    EXPECT_FALSE(osc.isActive());
}

TEST_F(SampleOscTest, TheBlockThatReachesTheEndIsCompletedWithZerosAndThePlayerStops) {
    auto osc = player();
    osc->setRange(0, 300);
    IOChannel<float> block = emptyBlock(256);
    block.setValidFrames(0);
    EXPECT_EQ(osc->render(block), 256);
    EXPECT_TRUE(osc->isActive());
    std::fill_n(block.getData(), 256, -7.0f);
    block.setValidFrames(0);
    EXPECT_EQ(osc->render(block), 256);
    EXPECT_EQ(block.getValidFrames(), 44);
    EXPECT_EQ(block.getData()[43], 299.0f);
    EXPECT_TRUE(std::all_of(block.getData() + 44, block.getData() + 256, [](float v) { return v == 0.0f; }));
    EXPECT_FALSE(osc->isActive());
    block.setValidFrames(0);
    EXPECT_EQ(osc->render(block), 0);

    // What the output holds in its valid frames is added to; the rest is cleared first.
    osc->setRange(0, 999);
    osc->restart();
    std::fill_n(block.getData(), 256, 0.5f);
    block.setValidFrames(16);
    EXPECT_EQ(osc->render(block), 256);
    EXPECT_EQ(std::tuple(block.getValidFrames(), block.getData()[3], block.getData()[40]),
              std::tuple(256, 3.5f, 40.0f));
}

TEST_F(SampleOscTest, JitterMovesEveryReadForwardByUpToItsAmount) {
    for (const float jitter : {0.25f, 3.0f}) {
        auto osc = player();
        osc->setJitter(jitter);
        osc->setRange(0, 990);
        const std::vector<float> signal = renderSignal(*osc, 950, 256);
        ASSERT_EQ(signal.size(), 950u);
        float low = 1e9f;
        float high = -1e9f;
        for (std::size_t k = 0; k < signal.size(); ++k) {
            const float offset = signal[k] - static_cast<float>(k);
            low = std::min(low, offset);
            high = std::max(high, offset);
        }
        EXPECT_GE(low, -1e-4f) << jitter;
        EXPECT_LE(high, jitter + 1e-4f) << jitter;
        // Spread over the range, not a constant offset.
        EXPECT_LT(low, jitter * 0.1f) << jitter;
        EXPECT_GT(high, jitter * 0.9f) << jitter;
    }
}

// Frames and ticks convert one way everywhere, so the start, the loop wrap and the clock follow frames
// whatever the sample's rate. Reference in frames: the position advances sampleRate / hostRate frames per
// output sample, is read at the whole clock tick nearest to it, and wraps back by the loop's length
// whenever the next sample would pass the loop's end. Where ticks and steps are not binary fractions the
// wrap may fall one sample either way, so those cases check the places only.
TEST_F(SampleOscTest, ASampleAtAnotherRateThanTheHostsStartsAndLoopsInTheRightPlace) {
    struct Case {
        std::int32_t sampleRate;
        double clock;
        bool exact;
    };
    const Case cases[] = {{44100, 44100.0, true}, {22050, 22050.0, true},  {22050, 11025.0, true},
                          {11025, 11025.0, true}, {44100, 27000.0, false}, {48000, 24000.0, false},
                          {11025, 27000.0, false}};
    for (const Case& c : cases) {
        const std::string name = "Rate" + std::to_string(c.sampleRate) + "-" + std::to_string(c.clock);
        world_.addRamp(name, 1000, c.sampleRate);
        auto osc = player(name);
        osc->setInterpolation(0.0f);
        osc->setClockRate(c.clock);
        osc->setRange(300, 900);
        osc->setLoop(1, 400, 600);
        const std::vector<float> signal = renderSignal(*osc, 3000, 256);
        ASSERT_EQ(signal.size(), 3000u) << name;

        const double velocity = c.sampleRate / 44100.0; // frames per output sample
        const double framesPerTick = c.sampleRate / c.clock;
        auto readAt = [framesPerTick](double x) {
            return std::floor(std::floor(x / framesPerTick + 0.5) * framesPerTick);
        };
        EXPECT_EQ(signal.front(), readAt(300.0)) << name;
        EXPECT_NEAR(signal.front(), 300.0, framesPerTick / 2 + 1) << name;
        if (c.exact) {
            double x = 300.0;
            for (std::size_t k = 0; k < signal.size(); ++k) {
                if (x + velocity > 600.0)
                    x -= 200.0;
                ASSERT_EQ(signal[k], readAt(x)) << name << " sample " << k;
                x += velocity;
            }
        }
        // After the first pass everything lies in the loop (give or take the rounding to a whole tick), and
        // the loop's start comes round again.
        const auto firstPass = static_cast<std::ptrdiff_t>(300.0 / velocity) + 2;
        const auto [low, high] = std::minmax_element(signal.begin() + firstPass, signal.end());
        EXPECT_GE(*low, 400.0 - framesPerTick - 1.0) << name;
        EXPECT_LE(*low, 400.0 + velocity + framesPerTick) << name;
        EXPECT_LE(*high, 600.0 + framesPerTick) << name;
    }
}

TEST_F(SampleOscTest, ClockChangesKeepTheFramePositionAndFollowTheHostRate) {
    Sample* slow = world_.addRamp("Slow", 1000, 22050);
    auto osc = player("Slow");
    osc->setFrequency(world_.rootOf(*slow));
    osc->setClockRate(22050.0);
    EXPECT_DOUBLE_EQ(osc->getTicksPerSample(), 0.5);
    EXPECT_DOUBLE_EQ(osc->getFramesPerTick(), 1.0);
    osc->setPosition(500);
    EXPECT_DOUBLE_EQ(osc->getPosition() * osc->getFramesPerTick(), 500.0);

    osc->setClockRate(11025.0);
    EXPECT_DOUBLE_EQ(osc->getFramesPerTick(), 2.0);
    EXPECT_DOUBLE_EQ(osc->getPosition() * osc->getFramesPerTick(), 500.0);

    // Rates that are not finite and positive change nothing.
    for (const double rate :
         {0.0, -44100.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        osc->setClockRate(rate);
        EXPECT_EQ(std::pair(osc->getClockRate(), osc->getFramesPerTick()), std::pair(11025.0, 2.0)) << rate;
    }

    // The host's rate changes how many ticks pass per output sample, not where the position is.
    world_.host.setSampleRate(88200);
    EXPECT_DOUBLE_EQ(osc->getTicksPerSample(), 0.125);
    EXPECT_DOUBLE_EQ(osc->getPosition() * osc->getFramesPerTick(), 500.0);
    world_.host.setSampleRate(44100);

    // A clock given before the sample waits for it.
    SampleOsc early(world_.module.get(), "NotYet");
    early.setClockRate(11025.0);
    world_.addRamp("NotYet", 1000, 22050);
    early.setSampleName("Ramp");
    early.setSampleName("NotYet");
    EXPECT_DOUBLE_EQ(early.getFramesPerTick(), 2.0);
}

TEST_F(SampleOscTest, StartEndAndLoopAreKeptInsideTheSample) {
    struct Case {
        std::int32_t start, end, loopStart, loopEnd;
        std::tuple<std::int32_t, std::int32_t, std::int32_t, std::int32_t> expected;
    };
    const Case cases[] = {
        {0, 999, 100, 200, {0, 999, 100, 200}},
        {-5, 1000000, -10, 5000, {0, 999, 0, 999}},
        {700, 200, 100, 900, {700, 700, 700, 700}},
        {100, 500, 600, 50, {100, 500, 500, 500}},
        {INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN, {0, 999, 999, 999}},
    };
    auto osc = player();
    for (const Case& c : cases) {
        osc->setRange(c.start, c.end);
        osc->setLoop(1, c.loopStart, c.loopEnd);
        EXPECT_EQ(std::tuple(osc->getStart(), osc->getEnd(), osc->getLoopStart(), osc->getLoopEnd()),
                  c.expected)
            << c.start << ".." << c.end << " loop " << c.loopStart << ".." << c.loopEnd;
    }
    // The position is a frame between 0 and the end.
    osc->setRange(100, 500);
    osc->setPosition(-3);
    EXPECT_EQ(osc->getPosition(), 0.0);
    osc->setPosition(9000);
    EXPECT_EQ(osc->getPosition(), 500.0);
}

TEST_F(SampleOscTest, ZoneValuesOutsideTheSampleAreClampedAndNoReadLeavesIt) {
    // A sample whose own loop reaches past its data (set so: fitting only lengthens a loop up to the end).
    Sample* shortSample = world_.addRamp("Short", 300);
    shortSample->setLoop(Sample::Loop{Sample::kLoopOn, 100, 5000});
    ASSERT_GT(shortSample->getLoop().end, 299);
    const SharedObjectPtr<Zone> zone =
        world_.zone("Short", "<SampleStart value=\"20\"/><SampleEnd value=\"9000\"/>",
                    "<loop><start value=\"100\"/><end value=\"5000\"/><mode value=\"in-release\"/></loop>");
    SampleOsc osc(world_.module.get(), zone.get());
    EXPECT_EQ(std::tuple(osc.getStart(), osc.getEnd(), osc.getLoopStart(), osc.getLoopEnd()),
              std::tuple(20, 299, 100, 299));
    osc.setDriftDepth(0.0f);
    osc.setUseFrequency(true);
    osc.setFrequency(root_ * 3.7f);
    osc.setJitter(40.0f);
    const std::vector<float> signal = renderSignal(osc, 20000, 256);
    ASSERT_EQ(signal.size(), 20000u);
    EXPECT_TRUE(std::all_of(signal.begin(), signal.end(), [](float v) { return v >= 0.0f && v <= 299.0f; }));

    // Start after the end leaves nothing to play.
    const SharedObjectPtr<Zone> backwards =
        world_.zone("Ramp", "<SampleStart value=\"800\"/><SampleEnd value=\"200\"/>");
    SampleOsc none(world_.module.get(), backwards.get());
    EXPECT_EQ(std::pair(none.getStart(), none.getEnd()), std::pair(800, 800));
    EXPECT_FALSE(none.isActive());
}

TEST_F(SampleOscTest, ReadsNearTheEndOfTheSampleNeverGoPastItsLastFrame) {
    // Ends at and just before the last frame, clocks of one to four frames a tick, with and without jitter:
    // on a ramp every read rises until the end and stays within the frames (the value after the last one
    // repeats the first, so a read past the end would fall back towards 0).
    for (const std::int32_t end : {990, 996, 997, 998, 999}) {
        for (const double clock : {44100.0, 27000.0, 14700.0, 11025.0}) {
            for (const float jitter : {0.0f, 0.7f, 2.5f}) {
                auto osc = player();
                osc->setClockRate(clock);
                osc->setJitter(jitter);
                osc->setRange(900, end);
                const std::vector<float> signal = renderSignal(*osc, 1000, 64);
                ASSERT_FALSE(signal.empty());
                bool inside = true;
                for (std::size_t k = 0; k < signal.size(); ++k)
                    inside = inside && signal[k] >= 899.0f && signal[k] <= 999.0f &&
                             (jitter != 0.0f || k == 0 || signal[k] >= signal[k - 1]);
                EXPECT_TRUE(inside) << end << " " << clock << " " << jitter;
            }
        }
    }
}

TEST_F(SampleOscTest, NothingIsRenderedWhenStartEqualsEndOrThePitchCannotBeHad) {
    IOChannel<float> block = emptyBlock(32);
    auto untouched = [&block](SampleOsc& osc) { return rendersNothing(osc, block) && !osc.isActive(); };
    auto osc = player();
    osc->setRange(50, 50);
    EXPECT_TRUE(untouched(*osc));

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    for (const float hz : {0.0f, -440.0f, nan, infinity}) {
        auto bad = player();
        bad->setFrequency(hz);
        EXPECT_TRUE(untouched(*bad)) << hz;
    }
    // Without an owner module there is no tuning to find the root frequency in.
    SampleOsc orphan(nullptr, "Ramp");
    EXPECT_NE(orphan.getSample(), nullptr);
    EXPECT_TRUE(untouched(orphan));
    // Without a sample there is nothing to play.
    SampleOsc empty(world_.module.get());
    EXPECT_FALSE(empty.isActive());
    EXPECT_TRUE(untouched(empty));
}

TEST_F(SampleOscTest, FrequencyGoesToTheBaseTheSelectFlagChoosesOrToTheZonesRootNote) {
    const SharedObjectPtr<Zone> zone =
        world_.zone("Ramp", "<SampleRootNote value=\"57\"/><SampleDetuneCoarse value=\"12\"/>"
                            "<SampleDetuneFine value=\"100\"/>");
    SampleOsc osc(world_.module.get(), zone.get());
    osc.setUseFrequency(false);
    osc.setFrequency(123.0f);
    // Key 57 up an octave and a semitone: A#4.
    EXPECT_NEAR(osc.getFrequency2(), 440.0 * std::pow(2.0, 1.0 / 12.0), 1e-3);
    EXPECT_EQ(osc.getFrequency(), 440.0f);

    osc.setUseFrequency(true);
    osc.setFrequency(123.0f);
    EXPECT_EQ(osc.getFrequency(), 123.0f);

    SampleOsc named(world_.module.get(), "Ramp");
    named.setUseFrequency(false);
    named.setFrequency(321.0f);
    EXPECT_EQ(std::pair(named.getFrequency(), named.getFrequency2()), std::pair(440.0f, 321.0f));
}

// An engine whose modulation channel 0 holds a constant and whose parameter value 0 is fixed.
class ModulatingEngine : public EngineSynth {
public:
    explicit ModulatingEngine(Module* module) : EngineSynth(module), channel_(16) {
        channel_.setSize(16);
        std::fill_n(channel_.getData(), 16, 0.5f);
        channel_.setValidFrames(16);
    }
    IOChannel<float>* getModulationBuffer(int index) override { return index == 0 ? &channel_ : nullptr; }
    float getParameterValue(int index) const override { return index == 0 ? 2.0f : 0.0f; }

private:
    IOChannel<float> channel_;
};

class ModulatingInfo : public EngineTestPluginInfo {
public:
    Engine* createEngine(Module* module) override { return new ModulatingEngine(module); }
};

TEST_F(SampleOscTest, TheEnginesModulationScalesTheStep) {
    ModulatingInfo info;
    info.services.host = &world_.host;
    setPluginInfo(&info);
    ModulePtr module(info.createModule(nullptr, world_.descriptor.specification));
    module->init();
    setPluginInfo(&world_.descriptor.info);
    SampleOsc osc(module.get(), "Ramp");
    osc.setDriftDepth(0.0f);
    osc.setFrequency(root_);
    osc.setInterpolation(0.0f);
    // Depth = 2 x 0.25 and the channel holds 0.5: the step is 1.25 frames.
    const std::vector<float> signal = renderSignal(osc, 400, 256);
    ASSERT_EQ(signal.size(), 400u);
    for (std::size_t k = 0; k < signal.size(); ++k)
        ASSERT_EQ(signal[k], std::floor(1.25 * static_cast<double>(k) + 0.5)) << k;
}

TEST_F(SampleOscTest, NotesLoopsAndRenderingNeitherAllocateNorLog) {
    world_.addRamp("Other name that is longer than a small string", 700);
    const SharedObjectPtr<Zone> zone = world_.zone(
        "Ramp", "<SampleStart value=\"10\"/><SampleEnd value=\"900\"/><SampleRootNote value=\"69\"/>",
        "<loop><start value=\"100\"/><end value=\"300\"/><mode value=\"until-release\"/></loop>");
    SampleOsc osc(world_.module.get(), zone.get());
    SampleOsc click(world_.module.get(), "Ramp");
    const std::string names[] = {"Other name that is longer than a small string", "Ramp", "Missing"};
    IOChannel<float> block = emptyBlock(256);
    std::int32_t rendered = 0;
    {
        AllocationGuard guard("sample player notes and blocks");
        for (int note = 0; note < 20; ++note) {
            osc.restart();
            osc.setUseFrequency(note % 2 == 0);
            osc.setFrequency(440.0f + static_cast<float>(note));
            osc.setClockRate(note % 3 == 0 ? 27000.0 : 11025.0);
            osc.setJitter(note % 2 == 0 ? 0.25f : 0.0f);
            osc.setPosition(50 + note);
            osc.setLoop(Zone::kLoopUntilRelease, 100, 300);
            click.setSampleName(names[note % 3]);
            for (int b = 0; b < 30; ++b) {
                if (b == 20)
                    osc.setLoopMode(SampleOsc::kLoopOff);
                block.setValidFrames(0);
                rendered += osc.render(block);
                rendered += click.render(block);
            }
            osc.setRange(10, 900);
        }
    }
    EXPECT_GT(rendered, 0);
}

TEST_F(SampleOscTest, NamedSamplesComeOnlyFromTheLoadedOnesAndAMissingOneIsLoggedOnce) {
    LogCapture log(0);
    // A description names the sample's file, but nothing has loaded it (or it was purged).
    describeUnloaded(*world_.resources, world_.files, "Noise");
    ASSERT_EQ(world_.resources->findSample("Noise"), nullptr);

    SampleOsc click(world_.module.get(), "Noise");
    EXPECT_EQ(click.getSample(), nullptr);
    EXPECT_FALSE(click.isActive());
    EXPECT_EQ(world_.resources->findSample("Noise"), nullptr);
    EXPECT_EQ(log.count("trov::SampleOsc::SampleOsc(const trov::Module*, const std::string&) failed to "
                        "load\tsample Noise"),
              1);
    IOChannel<float> block = emptyBlock(64);
    click.render(block);
    click.setSampleName("Ramp");
    EXPECT_TRUE(click.isActive());
    click.setSampleName("Noise");
    EXPECT_EQ(log.count("failed to load"), 1);
    EXPECT_EQ(world_.resources->findSample("Noise"), nullptr);
}

} // namespace
