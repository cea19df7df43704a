#include "framework/Message.h"
#include "framework/Random.h"
#include "instrument/AnalogTolerances.h"
#include "instrument/InstrumentGlobals.h"
#include "instrument/dsp/Ostrel4PoleFilter.h"
#include "support/AllocationGuard.h"
#include "support/EngineTestSupport.h"
#include "support/ResponseTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

using namespace trov;
using namespace trov::test;

namespace {

// Answers every component with a fixed factor (or a factor per component) and notes what was asked.
class FixedTolerances : public AnalogTolerances {
public:
    explicit FixedTolerances(float factor = 1.0f) : factor(factor) {}
    float getAnalogTolerance(std::string_view component, int index, int distribution) override {
        asked.push_back(std::string(component) + " " + std::to_string(index) + "/" +
                        std::to_string(distribution));
        if (component == "VCF Cutoff")
            return cutoff[static_cast<std::size_t>(index)];
        return factor;
    }
    float factor;
    std::array<float, 4> cutoff{1.0f, 1.0f, 1.0f, 1.0f};
    std::vector<std::string> asked;
};

class ThrowingTolerances : public AnalogTolerances {
public:
    float getAnalogTolerance(std::string_view, int, int) override { throw std::runtime_error("no model"); }
};

ParameterMessage change(const char* name, float value) {
    return ParameterMessage(nullptr, Code::kParameterValue, name, 0, floatToWord(value), value, 0);
}

// The filter's output for the signal, in blocks of `block` frames, from a fixed noise seed.
std::vector<float> run(Ostrel4PoleFilter& filter, const std::vector<float>& signal,
                       std::int32_t block = 256) {
    seedMersenneTwister(7);
    std::vector<float> result(signal.size());
    IOChannel<float> channel(block);
    for (std::size_t start = 0; start < signal.size(); start += static_cast<std::size_t>(block)) {
        const auto n = static_cast<std::int32_t>(std::min<std::size_t>(block, signal.size() - start));
        std::copy_n(signal.begin() + static_cast<std::ptrdiff_t>(start), n, channel.getData());
        channel.setValidFrames(n);
        filter.processInPlace(channel);
        std::copy_n(channel.getData(), n, result.begin() + static_cast<std::ptrdiff_t>(start));
    }
    return result;
}

struct Setting {
    float cutoff;
    float resonance;
    float response;
};

// A filter with unit tolerances at the setting.
std::unique_ptr<Ostrel4PoleFilter> makeFilter(AnalogTolerances& tolerances, const Setting& s) {
    auto filter = std::make_unique<Ostrel4PoleFilter>(nullptr, &tolerances);
    filter->receive(change("VCFResonance", s.resonance));
    filter->setResponse(s.response);
    filter->setBaseCutoff(s.cutoff);
    // At the cutoff already, so that its first block's gain compensation is that of the cutoff too.
    filter->setCutoff(s.cutoff);
    return filter;
}

double rms(const std::vector<float>& x, std::size_t from) {
    double sum = 0.0;
    for (std::size_t i = from; i < x.size(); ++i)
        sum += double(x[i]) * x[i];
    return std::sqrt(sum / double(x.size() - from));
}

} // namespace

namespace {

// The -3 dB point in hertz, at the host rate, of the ladder without resonance: four stages
// y = p (x + x1) - k y1 with k = 2p - 1 = 3.6 f - 1.6 f^2 - 1, f = 2 fc / rate, and fc spread exponentially
// from 5 Hz to 20000 x 1.035 Hz over the position (0.96 of the cutoff without resonance).
double ladderCorner(float cutoff, int rate) {
    const double lo = std::log2(5.0);
    const double hi = std::log2(20000.0 * double(1.035f));
    const double fc = std::exp2(lo + (hi - lo) * double(0.96f * cutoff));
    const double f = 2.0 * fc / rate;
    const double k = 3.6 * f - 1.6 * f * f - 1.0;
    const double p = (k + 1.0) * 0.5;
    auto power = [&](double hz) {
        const std::complex<double> z1 = std::polar(1.0, -2.0 * std::numbers::pi * hz / rate);
        return std::pow(std::abs(p * (1.0 + z1) / (1.0 + k * z1)), 8.0);
    };
    double low = 1.0, high = rate * 0.5;
    for (int i = 0; i < 60; ++i) {
        const double mid = std::sqrt(low * high);
        (power(mid) > 0.5 ? low : high) = mid;
    }
    return low;
}

// The filter's gain at hz, measured over 16 periods once it settled for `settle` frames.
double measuredGainAt(Ostrel4PoleFilter& filter, double hz, int rate, int settle) {
    const int cycles = 16;
    const int frames = static_cast<int>(std::lround(cycles * rate / hz));
    filter.reset();
    const std::vector<float> out =
        run(filter, sine(settle + frames, 2.0 * std::numbers::pi * hz / rate, 0.1));
    return amplitudeAt(out.data() + settle, frames, cycles * 2.0 * std::numbers::pi / frames) / 0.1;
}

// Where the gain falls 3 dB below its pass band (three octaves below the guess: the ladder's level at low
// cutoffs is not the corner's business), by bisection within a factor 2 of the guess.
double measuredCorner(Ostrel4PoleFilter& filter, double guess, int rate) {
    const int settle = static_cast<int>(4.0 * rate / guess) + 256;
    const double pass = measuredGainAt(filter, guess / 8.0, rate, settle);
    double low = guess / 2.0, high = guess * 2.0;
    for (int i = 0; i < 9; ++i) {
        const double mid = std::sqrt(low * high);
        (measuredGainAt(filter, mid, rate, settle) / pass > std::sqrt(0.5) ? low : high) = mid;
    }
    return std::sqrt(low * high);
}

} // namespace

TEST(OstrelFilter, ACutoffPositionNamesTheSameCornerInHertzAtEveryHostRate) {
    FixedTolerances tolerances;
    // The fourth stage reads its clip table a little ahead, which offsets it and lifts the corner at low
    // cutoffs (the ladder's level loss comes from the same place): the curve holds within these shares.
    const struct {
        float cutoff;
        double share;
    } cases[] = {{0.5f, 0.08}, {0.7f, 0.06}, {0.85f, 0.04}, {0.95f, 0.04}};
    for (const auto& c : cases) {
        const double expected = ladderCorner(c.cutoff, 44100);
        double at44100 = 0.0;
        for (const int rate : {44100, 48000, 96000}) {
            auto filter = makeFilter(tolerances, {c.cutoff, 0.0f, 0.0f});
            // The host announces its rate, as it does when it changes.
            filter->receive(SystemMessage(nullptr, Code::kSampleRateChanged, static_cast<MessageWord>(rate)));
            ASSERT_EQ(filter->getSampleRate(), rate);
            const double corner = measuredCorner(*filter, expected, rate);
            EXPECT_NEAR(corner, expected, expected * c.share) << c.cutoff << " at " << rate;
            if (rate == 44100)
                at44100 = corner;
            else
                EXPECT_NEAR(corner, at44100, at44100 * 0.05) << c.cutoff << " at " << rate;
        }
    }
}

TEST(OstrelFilter, AFilterTakesItsHostsRateWhenMadeAndWhenItChangesAndNeverBuildsWhileItRenders) {
    FixedTolerances tolerances;
    // Coefficients of a filter told of each rate, as a reference for the ones made under a host.
    auto stagesAt = [&](int rate) {
        Ostrel4PoleFilter told(nullptr, &tolerances);
        told.receive(SystemMessage(nullptr, Code::kSampleRateChanged, static_cast<MessageWord>(rate)));
        told.setCutoff(0.6f);
        return told.getStageFeedback();
    };
    const auto at96000 = stagesAt(96000);
    const auto at48000 = stagesAt(48000);
    ASSERT_NE(at96000, stagesAt(44100));
    {
        HostedModule hosted(96000);
        Ostrel4PoleFilter filter(hosted.module.get(), &tolerances);
        filter.setCutoff(0.6f);
        EXPECT_EQ(filter.getSampleRate(), 96000);
        EXPECT_EQ(filter.getStageFeedback(), at96000);
        hosted.host.setSampleRate(48000); // the coefficients follow at once
        EXPECT_EQ(filter.getStageFeedback(), at48000);
    }
    // A rate met for the first time is prepared when it is announced; blocks then only read.
    auto filter = makeFilter(tolerances, {0.4f, 0.5f, 0.0f});
    filter->receive(SystemMessage(nullptr, Code::kSampleRateChanged, 88200));
    IOChannel<float> modulation(512);
    std::fill_n(modulation.getData(), 512, 0.3f);
    modulation.setValidFrames(512);
    filter->setInput(0, &modulation);
    IOChannel<float> channel = channelOf(sine(512, 0.05, 0.5));
    {
        AllocationGuard guard("the four-pole filter at a new rate");
        filter->processInPlace(channel);
    }
    EXPECT_FLOAT_EQ(filter->getCutoff(), 0.7f);
    EXPECT_GT(rms(framesOf(channel), 256), 0.01);
}

TEST(OstrelFilter, CoefficientsFollowTheCutoffCurveTolerancesDipAndCeiling) {
    FixedTolerances tolerances(1.0f);
    tolerances.cutoff = {1.0f, 1.02f, 0.98f, 1.01f};
    Ostrel4PoleFilter filter(nullptr, &tolerances);
    filter.receive(change("VCFResonance", 0.8f));
    const InstrumentTables& t = instrumentTables();
    for (float cutoff : {0.2f, 0.615f, 0.8f, 0.99f}) {
        SCOPED_TRACE(cutoff);
        filter.setCutoff(cutoff);
        const float x = (0.96f + 0.04f * 0.8f) * cutoff;
        const double kc = t.cutoffCoefficient.lookup(x);
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_DOUBLE_EQ(filter.getStageFeedback()[i], tolerances.cutoff[i] * kc);
            EXPECT_DOUBLE_EQ(filter.getStageInput()[i], (tolerances.cutoff[i] * kc + 1.0) * 0.5);
        }
        EXPECT_DOUBLE_EQ(filter.getGainCompensation(), kc * double(1.02f) * kc);
        const double dip = std::min(1.0, 0.75 + 0.25 / 0.13 * std::fabs(cutoff - 0.615));
        const double ceiling = std::min(0.97, 1.0 / (cutoff + 0.1));
        const double scale = t.resonanceScale.lookup(float((kc + 1.0) * 0.5));
        EXPECT_NEAR(filter.getFeedback(), scale * 0.8 * 0.99 * ceiling * dip, 1e-6);
    }
    EXPECT_NEAR(Ostrel4PoleFilter::feedbackDip(0.615f), 0.75, 1e-7);
    EXPECT_EQ(Ostrel4PoleFilter::feedbackDip(0.8f), 1.0);
    EXPECT_EQ(Ostrel4PoleFilter::feedbackDip(0.1f), 1.0);
    EXPECT_NEAR(Ostrel4PoleFilter::feedbackCeiling(0.99f, 0.97f), 1.0 / 1.09, 1e-7);
    EXPECT_NEAR(Ostrel4PoleFilter::feedbackCeiling(0.5f, 0.97f), 0.97, 1e-7);
}

TEST(OstrelFilter, ResetAsksEveryComponentWithItsIndexAndDistribution) {
    FixedTolerances tolerances;
    Ostrel4PoleFilter filter(nullptr, &tolerances);
    const std::vector<std::string> expected = {"VCF Gain Compensation 0/2",
                                               "VCF Resonance 0/1",
                                               "VCF Cutoff 0/1",
                                               "VCF Feedback 0/2",
                                               "VCF Cutoff 1/1",
                                               "VCF Feedback 1/2",
                                               "VCF Cutoff 2/1",
                                               "VCF Feedback 2/2",
                                               "VCF Cutoff 3/1",
                                               "VCF Feedback 3/2"};
    EXPECT_EQ(tolerances.asked, expected);
    tolerances.asked.clear();
    filter.reset();
    EXPECT_EQ(tolerances.asked, expected);

    // A source that fails keeps the filter working with the factors it had.
    ThrowingTolerances failing;
    Ostrel4PoleFilter survivor(nullptr, &failing);
    survivor.setCutoff(0.5f);
    EXPECT_NE(survivor.getStageFeedback()[0], 0.0);
}

TEST(OstrelFilter, WithoutTolerancesTheCoefficientsStayZeroAndNoSoundPasses) {
    Ostrel4PoleFilter filter(nullptr);
    filter.receive(change("VCFResonance", 0.7f));
    filter.setBaseCutoff(0.5f);
    const std::vector<float> out = run(filter, sine(1024, 0.05));
    EXPECT_EQ(filter.getFeedback(), 0.0);
    EXPECT_EQ(filter.getStageFeedback()[2], 0.0);
    // What is left is the clip curve's value at 0 (its lookup reads a little ahead), a constant.
    const float rest = static_cast<float>(instrumentTables().ladderClip.lookup(0.0));
    for (float v : out)
        ASSERT_EQ(v, rest);
    EXPECT_LT(std::fabs(rest), 0.003f);
}

TEST(OstrelFilter, LowPassPassesLowsAndCutsHighsAndResonancePeaksNearTheCutoff) {
    FixedTolerances tolerances;
    auto gainAt = [&](const Setting& s, int bin) {
        const double omega = binFrequency(bin, 4096);
        auto filter = makeFilter(tolerances, s);
        const std::vector<float> out = run(*filter, sine(8192, omega, 0.1));
        return amplitudeAt(out.data() + 4096, 4096, omega) / 0.1;
    };
    // The saturating fourth stage takes a little off the pass band at low cutoffs.
    EXPECT_NEAR(gainAt({0.5f, 0.0f, 0.0f}, 2), 0.9, 0.1);
    EXPECT_LT(gainAt({0.5f, 0.0f, 0.0f}, 800), 0.01);
    EXPECT_GT(gainAt({0.99f, 0.0f, 0.0f}, 200), 0.5);
    // Band-pass at the same setting takes the lows away.
    EXPECT_LT(gainAt({0.5f, 0.0f, 1.0f}, 2), 0.2);
    // Resonance lifts a peak around the cutoff above the pass band; without it nothing rises above it.
    double flat = 0.0, resonant = 0.0;
    for (int bin = 6; bin <= 60; bin += 2) {
        flat = std::max(flat, gainAt({0.5f, 0.0f, 0.0f}, bin));
        resonant = std::max(resonant, gainAt({0.5f, 0.9f, 0.0f}, bin));
    }
    EXPECT_LT(flat, 1.05);
    EXPECT_GT(resonant, 1.5);
}

TEST(OstrelFilter, ResponseBlendsLowPassBandPassAndHighPassLinearly) {
    FixedTolerances tolerances(1.0f);
    const std::vector<float> signal = sine(2048, 0.03, 0.3);
    auto outputAt = [&](float response) {
        auto filter = makeFilter(tolerances, {0.6f, 0.5f, response});
        return run(*filter, signal);
    };
    const std::vector<float> lp = outputAt(0.0f), bp = outputAt(1.0f), hp = outputAt(2.0f);
    const std::vector<float> lowHalf = outputAt(0.5f), highHalf = outputAt(1.5f);
    double worst = 0.0;
    for (std::size_t i = 0; i < signal.size(); ++i) {
        worst = std::max(worst, std::fabs(lowHalf[i] - 0.5 * (lp[i] + bp[i])));
        worst = std::max(worst, std::fabs(highHalf[i] - 0.5 * (bp[i] + hp[i])));
    }
    EXPECT_LT(worst, 1e-6);
    EXPECT_GT(rms(lp, 512), 0.01);
    EXPECT_GT(rms(hp, 512), 0.01);

    // "VCFResponse" 0.5 is the band-pass: response 1.
    Ostrel4PoleFilter filter(nullptr, &tolerances);
    EXPECT_TRUE(filter.receive(change("VCFResponse", 0.5f)));
    EXPECT_EQ(filter.getResponse(), 1.0f);
    filter.receive(change("VCFResponse", 3.0f));
    EXPECT_EQ(filter.getResponse(), 2.0f);
    filter.receive(change("VCFResponse", -1.0f));
    EXPECT_EQ(filter.getResponse(), 0.0f);
}

TEST(OstrelFilter, MessagesItDoesNotUseAreTakenOrPassedOn) {
    FixedTolerances tolerances;
    Ostrel4PoleFilter filter(nullptr, &tolerances);
    EXPECT_TRUE(filter.receive(change("SomethingElse", 0.3f)));
    EXPECT_TRUE(filter.receive(Message(nullptr, kKindMidi, Code::kNoteOff, 0)));
    EXPECT_FALSE(filter.receive(Message(nullptr, kKindMidi, Code::kNoteOn, 0)));
    filter.receive(change("VCFResonance", 0.4f));
    EXPECT_EQ(filter.getResonanceAmount(), 0.4f);
    filter.receive(change("VCFResonance", std::numeric_limits<float>::quiet_NaN()));
    EXPECT_EQ(filter.getResonanceAmount(), 0.4f);
    filter.receive(change("VCFResonance", 0.0f)); // no feedback at all, not the clamped 0.01
    EXPECT_EQ(filter.getFeedback(), 0.0);
}

TEST(OstrelFilter, ModulationIsReadEvery32FramesAtTheSubBlockOffset) {
    FixedTolerances tolerances;
    // The envelope's curve for a 512-frame block: a ramp, so every period reads another value.
    IOChannel<float> modulation(512);
    for (int i = 0; i < 512; ++i)
        modulation.getData()[i] = -0.4f + 0.8f * float(i) / 512.0f;
    modulation.setValidFrames(512);
    const std::vector<float> signal = sine(512, 0.07, 0.5);

    // Without resonance the gain compensation (taken once per call) plays no part, so the parts must
    // give the whole exactly.
    auto whole = makeFilter(tolerances, {0.5f, 0.0f, 0.0f});
    whole->setInput(0, &modulation);
    const std::vector<float> expected = run(*whole, signal, 512);
    EXPECT_FLOAT_EQ(whole->getCutoff(), 0.5f - 0.4f + 0.8f * 480.0f / 512.0f);

    // The same block in two sub-blocks, each told where it starts.
    auto parted = makeFilter(tolerances, {0.5f, 0.0f, 0.0f});
    parted->setInput(0, &modulation);
    seedMersenneTwister(7);
    IOChannel<float> block = channelOf(signal);
    IOChannel<float> view(256);
    std::vector<float> got;
    for (std::int32_t start : {0, 256}) {
        std::copy_n(block.getData() + start, 256, view.getData());
        view.setValidFrames(256);
        parted->processAt(view, view, start);
        got.insert(got.end(), view.getData(), view.getData() + 256);
        EXPECT_FLOAT_EQ(parted->getCutoff(), 0.5f + modulation.getData()[start + 224]);
    }
    EXPECT_EQ(got, expected);

    // A part past the modulation's valid frames holds its last value; a negative offset counts as 0.
    modulation.setValidFrames(100);
    view.setValidFrames(32);
    parted->processAt(view, view, 400);
    EXPECT_FLOAT_EQ(parted->getCutoff(), 0.5f + modulation.getData()[99]);
    view.setValidFrames(32);
    parted->processAt(view, view, -50);
    EXPECT_FLOAT_EQ(parted->getCutoff(), 0.5f + modulation.getData()[0]);
}

TEST(OstrelFilter, ABlockThatTurnsNotANumberEndsWithTheLadderCleared) {
    FixedTolerances tolerances;
    auto broken = makeFilter(tolerances, {0.7f, 0.9f, 0.0f});
    auto fresh = makeFilter(tolerances, {0.7f, 0.9f, 0.0f});
    std::vector<float> poisoned = sine(256, 0.1, 0.5);
    poisoned[100] = std::numeric_limits<float>::quiet_NaN();
    run(*broken, poisoned);
    // The next block plays as from a fresh filter at the same setting.
    const std::vector<float> next = sine(256, 0.1, 0.5);
    const std::vector<float> after = run(*broken, next);
    EXPECT_EQ(after, run(*fresh, next));
    EXPECT_GT(rms(after, 0), 0.0);
    // An infinite input blows the ladder up just the same.
    std::vector<float> huge(64, std::numeric_limits<float>::infinity());
    run(*broken, huge);
    const std::vector<float> recovered = run(*broken, next);
    for (float v : recovered)
        ASSERT_TRUE(std::isfinite(v));
}

TEST(OstrelFilter, ProcessingAllocatesNothingAndLogsNothing) {
    FixedTolerances tolerances;
    auto filter = makeFilter(tolerances, {0.3f, 0.95f, 1.4f});
    IOChannel<float> modulation(512);
    std::fill_n(modulation.getData(), 512, 0.25f);
    modulation.setValidFrames(512);
    filter->setInput(0, &modulation);
    IOChannel<float> channel = channelOf(sine(512, 0.2, 0.8));
    std::int32_t frames = 0;
    {
        AllocationGuard guard("the four-pole filter");
        frames = filter->processAt(channel, channel, 256);
        channel.setValidFrames(512);
        filter->processInPlace(channel);
        filter->setResonance(0.5f);
        filter->setResponse(0.2f);
    }
    EXPECT_EQ(frames, 512);
    EXPECT_FLOAT_EQ(filter->getCutoff(), 0.55f);
}

namespace {

// An engine whose modulation buffer holds a constant LFO value and whose value 2 is the LFO's depth on
// the cutoff.
class LFOEngine : public EngineSynth {
public:
    explicit LFOEngine(Module* module) : EngineSynth(module), lfo(64) {
        std::fill_n(lfo.getData(), 64, 0.2f);
        lfo.setValidFrames(64);
    }
    IOChannel<float>* getModulationBuffer(int /*index*/) override { return &lfo; }
    float getParameterValue(int index) const override { return index == 2 ? depth : 0.0f; }

    IOChannel<float> lfo;
    float depth = 0.0f;
};

class LFOEngineInfo : public EngineTestPluginInfo {
public:
    Engine* createEngine(Module* module) override { return new LFOEngine(module); }
};

} // namespace

TEST(OstrelFilter, TheEnginesLFOMovesTheCutoffByItsDepth) {
    installPluginEnvironment();
    LFOEngineInfo info;
    setPluginInfo(&info);
    {
        Settings specification;
        specification.load(Dictionary(moduleSpecification()));
        ModulePtr module(info.createModule(nullptr, specification));
        module->init();
        auto& engine = dynamic_cast<LFOEngine&>(*module->getEngine());
        FixedTolerances tolerances;
        Ostrel4PoleFilter filter(module.get(), &tolerances);
        filter.setBaseCutoff(0.5f);
        IOChannel<float> channel = channelOf(sine(64, 0.1));
        filter.processInPlace(channel);
        EXPECT_FLOAT_EQ(filter.getCutoff(), 0.5f); // no depth, no LFO
        engine.depth = 0.4f;                       // half of it reaches the cutoff
        channel.setValidFrames(64);
        filter.processInPlace(channel);
        EXPECT_FLOAT_EQ(filter.getCutoff(), 0.5f + 0.2f * 0.2f);
        // Past the LFO's valid frames its last value holds.
        engine.lfo.getData()[9] = -1.0f;
        engine.lfo.setValidFrames(10);
        channel.setValidFrames(64);
        filter.processAt(channel, channel, 32);
        EXPECT_FLOAT_EQ(filter.getCutoff(), 0.5f - 0.2f);
    }
    setPluginInfo(nullptr);
    uninstallPluginEnvironment();
}
