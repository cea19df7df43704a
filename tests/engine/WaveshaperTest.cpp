#include "engine/dsp/effects/Waveshaper.h"
#include "engine/io/IOPinStereo.h"
#include "engine/samples/Sample.h"
#include "engine/zones/Resources.h"
#include "framework/Dictionary.h"
#include "framework/File.h"
#include "support/AllocationGuard.h"
#include "support/LogCapture.h"
#include "support/ResponseTestSupport.h"
#include "support/SampleTestSupport.h"
#include "support/ZoneTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

using namespace trov;
using namespace trov::test;

namespace {

constexpr int kLast = 1024; // N: a curve of 1025 frames
constexpr float kDrive = 3.0f;

// A curve whose frames 0..N-1 sample f over -1..1 (the window amount 0.5 reads), frame N one step on.
std::vector<float> curveOf(const std::function<double(double)>& f, int last = kLast) {
    std::vector<float> values;
    for (int k = 0; k <= last; ++k)
        values.push_back(static_cast<float>(f(-1.0 + 2.0 * k / (last - 1))));
    return values;
}

double identity(double x) {
    return x;
}
double drive(double x) {
    return std::tanh(kDrive * x);
}

std::vector<float> inputRamp() {
    std::vector<float> x;
    for (int i = 0; i <= 2000; ++i)
        x.push_back(-1.0f + static_cast<float>(i) / 1000.0f);
    return x;
}

class WaveshaperTest : public testing::Test {
protected:
    // Caches a curve in the resources under the name; the test keeps its own reference too.
    Sample* addCurve(const std::string& name, const std::vector<float>& values) {
        curves_.push_back(makeSample(values));
        world_.resources->addSample(name, curves_.back().get(), "");
        return curves_.back().get();
    }

    std::vector<float> shape(Waveshaper& shaper, const std::vector<float>& x) { return processed(shaper, x); }

    LogCapture log_{0};
    ZoneWorld world_;
    std::vector<SharedObjectPtr<Sample>> curves_;
};

} // namespace

TEST_F(WaveshaperTest, AStraightLineCurveReadsTheWindowTheAmountChooses) {
    addCurve("Line", curveOf(identity));
    Waveshaper shaper(nullptr, "Line", "Line");
    EXPECT_EQ(shaper.getAmount(), 0.5f);
    const std::vector<float> x = inputRamp();
    for (const float amount : {0.0f, 0.25f, 0.5f, 0.75f, 1.0f}) {
        shaper.setAmount(amount);
        const std::vector<float> y = shape(shaper, x);
        // The window [lo, hi] of the curve spans -1..1 of the input.
        const double lo = std::max(amount - 0.5, 0.0);
        const double hi = std::min(amount + 0.5, 1.0);
        double worst = 0.0;
        for (std::size_t i = 0; i < x.size(); ++i)
            worst = std::max(worst, std::fabs(y[i] - (-1.0 + (x[i] + lo + 1.0) * (hi - lo))));
        EXPECT_LT(worst, 2e-6) << "amount " << amount;
    }
}

TEST_F(WaveshaperTest, ATanhCurveGivesTanhWithinTheInterpolationError) {
    addCurve("Drive", curveOf(drive));
    Waveshaper shaper(nullptr, "Drive", "Drive");
    const std::vector<float> x = inputRamp();
    const std::vector<float> y = shape(shaper, x);
    // Linear interpolation over steps h errs by at most h^2/8 x max|f''| (f'' of tanh(gx) stays under
    // 0.77 g^2).
    const double h = 2.0 / (kLast - 1);
    const double bound = h * h / 8.0 * 0.77 * kDrive * kDrive + 2e-6;
    double worst = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i)
        worst = std::max(worst, std::fabs(y[i] - drive(x[i])));
    EXPECT_LT(worst, bound);
}

TEST_F(WaveshaperTest, TheGainBlendsFromCurveAToCurveBWithinZeroToOne) {
    addCurve("Line", curveOf(identity));
    addCurve("Drive", curveOf(drive));
    Waveshaper shaper(nullptr, "Line", "Drive");
    const std::vector<float> x = inputRamp();
    for (const float gain : {-2.0f, 0.0f, 0.25f, 0.5f, 1.0f, 3.0f}) {
        shaper.setGain(gain);
        const std::vector<float> y = shape(shaper, x);
        const double blend = std::clamp(gain, 0.0f, 1.0f);
        double worst = 0.0;
        for (std::size_t i = 0; i < x.size(); ++i)
            worst = std::max(worst, std::fabs(y[i] - ((1.0 - blend) * x[i] + blend * drive(x[i]))));
        EXPECT_LT(worst, 2e-5) << "gain " << gain;
    }
}

TEST_F(WaveshaperTest, TheAmountIsKeptWithinZeroToOne) {
    Waveshaper shaper(nullptr, "", "");
    for (const auto& [asked, kept] : {std::pair{2.0f, 1.0f},
                                      {-1.0f, 0.0f},
                                      {std::numeric_limits<float>::quiet_NaN(), 0.0f},
                                      {0.3f, 0.3f}}) {
        shaper.setAmount(asked);
        EXPECT_EQ(shaper.getAmount(), kept) << asked;
    }
}

TEST_F(WaveshaperTest, InputsOutsideTheRangeReadTheNearestEndAndNeverPastIt) {
    const std::vector<float> values = curveOf(drive);
    addCurve("Drive", values);
    Waveshaper shaper(nullptr, "Drive", "Drive");
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<float> below{-5.0f, -1e30f, -inf, std::numeric_limits<float>::quiet_NaN()};
    const std::vector<float> above{5.0f, 1e30f, inf};
    for (const float amount : {0.0f, 0.5f, 1.0f}) {
        shaper.setAmount(amount);
        for (const float v : shape(shaper, below))
            EXPECT_EQ(v, values.front()) << "amount " << amount;
        for (const float v : shape(shaper, above))
            EXPECT_EQ(v, values.back()) << "amount " << amount;
    }
    // Just below -1 stays at the first frame rather than jumping to the second.
    shaper.setAmount(0.5f);
    EXPECT_EQ(shape(shaper, {-1.0f, -1.001f}), (std::vector<float>{values.front(), values.front()}));
    // The window's top end at amount 0.5 is frame N - 1.
    EXPECT_FLOAT_EQ(shape(shaper, {1.0f})[0], values[kLast - 1]);
}

TEST_F(WaveshaperTest, TheShortestCurveHasThreeFramesAndAShorterOneCountsAsMissing) {
    addCurve("Three", {-1.0f, 1.0f, 3.0f});
    addCurve("Two", {-1.0f, 1.0f});
    Waveshaper shaper(nullptr, "Three", "Two");
    EXPECT_TRUE(shaper.hasCurveA());
    EXPECT_FALSE(shaper.hasCurveB());
    EXPECT_EQ(log_.count("failed to load\tsample Two"), 1);
    shaper.setGain(0.0f);
    // N = 2: -1..1 reads frames 0..1, 1..3 reads on to frame 2, and beyond stays there.
    EXPECT_EQ(shape(shaper, {-1.0f, 0.0f, 1.0f, 2.0f, 9.0f}),
              (std::vector<float>{-1.0f, 0.0f, 1.0f, 2.0f, 3.0f}));
    shaper.setGain(1.0f); // curve B passes the input through
    EXPECT_EQ(shape(shaper, {-1.0f, 0.25f, 9.0f}), (std::vector<float>{-1.0f, 0.25f, 9.0f}));
}

TEST_F(WaveshaperTest, CurvesAreTakenOnlyFromLoadedSamplesAndAMissingOneIsLoggedNotSearched) {
    // A description names a curve whose file exists; once purged it is no longer loaded, and a waveshaper
    // must neither load it nor ask anyone for a file.
    describeUnloaded(*world_.resources, world_.files, "OnDisk");
    ASSERT_EQ(world_.resources->findSample("OnDisk"), nullptr);

    Waveshaper shaper(nullptr, "OnDisk", "Nowhere");
    EXPECT_FALSE(shaper.hasCurveA());
    EXPECT_FALSE(shaper.hasCurveB());
    EXPECT_EQ(world_.resources->findSample("OnDisk"), nullptr);
    EXPECT_TRUE(world_.missing.asked.empty());
    const std::string signature =
        "trov::Waveshaper::Waveshaper(const trov::Module*, const std::string&, const std::string&)";
    EXPECT_EQ(log_.count(signature + " failed to load\tsample OnDisk"), 1);
    EXPECT_EQ(log_.count(signature + " failed to load\tsample Nowhere"), 1);
    // Without either curve the output is the input.
    const std::vector<float> x = inputRamp();
    shaper.setGain(0.5f);
    EXPECT_EQ(shape(shaper, x), x);
}

TEST_F(WaveshaperTest, BothCurvesGoBackToTheResourcesWhenItEnds) {
    Sample* line = addCurve("Line", curveOf(identity));
    const std::int32_t before = line->getReferenceCount();
    {
        Waveshaper shaper(nullptr, "Line", "Line");
        EXPECT_EQ(line->getReferenceCount(), before + 2);
    }
    EXPECT_EQ(line->getReferenceCount(), before);
}

TEST_F(WaveshaperTest, BlocksAndPinsRunUnderTheRealTimeGuard) {
    addCurve("Line", curveOf(identity));
    addCurve("Drive", curveOf(drive));
    Waveshaper shaper(nullptr, "Line", "Drive");
    shaper.setGain(0.7f);
    std::vector<float> signal;
    for (int i = 0; i < 256; ++i)
        signal.push_back(std::sin(0.05f * static_cast<float>(i)) * 1.2f);
    IOChannel<float> in = channelOf(signal);
    IOChannel<float> out(256);
    IOPinStereo pinIn = stereoPinOf(signal);
    IOPinStereo pinOut = stereoPinOf({}, 256);
    IOChannel<float> rendered(8);
    std::int32_t frames[4] = {};
    {
        AllocationGuard guard("the waveshaper's blocks");
        for (int block = 0; block < 100; ++block) {
            shaper.setAmount(static_cast<float>(block % 11) / 10.0f);
            frames[0] = shaper.process(in, out);
            frames[1] = shaper.processPin(pinIn, pinOut);
            frames[2] = shaper.processInPlace(*pinIn.getChannel(1));
        }
        frames[3] = shaper.render(rendered);
    }
    EXPECT_EQ(std::vector<std::int32_t>(frames, frames + 4), (std::vector<std::int32_t>{256, 256, 256, 0}));
    EXPECT_EQ(framesOf(out), framesOf(*pinOut.getChannel(0)));
}

TEST_F(WaveshaperTest, TheVectorKernelGivesTheScalarFormsResultsBitForBit) {
    addCurve("Line", curveOf(identity));
    addCurve("Drive", curveOf(drive));
    addCurve("Short", curveOf(drive, 7));
    std::vector<float> signal;
    for (int i = 0; i < 3001; ++i) // odd: the vector kernel leaves a tail to the scalar form
        signal.push_back(std::sin(0.0137f * static_cast<float>(i)) * 1.3f);
    signal.insert(signal.end(), {0.999f, -0.999f});
    signal = withEdges(signal);
    for (const auto& [nameA, nameB] : {std::pair("Line", "Drive"), std::pair("Short", "Short")}) {
        Waveshaper shaper(nullptr, nameA, nameB);
        shaper.setGain(0.3f);
        for (const float amount : {0.0f, 0.2f, 0.5f, 1.0f}) {
            shaper.setAmount(amount);
            EXPECT_EQ(vectorScalarDifferences([&] { return shape(shaper, signal); }), 0u) << nameA << amount;
        }
    }
}
