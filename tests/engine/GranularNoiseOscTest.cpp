#include "engine/dsp/oscillators/GranularNoiseOsc.h"

#include "framework/Random.h"
#include "support/AllocationGuard.h"
#include "support/LogCapture.h"
#include "support/PlayerTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

using namespace trov;
using namespace trov::test;

namespace {

class GranularNoiseOscTest : public testing::Test {
protected:
    GranularNoiseOscTest() {
        // The grains are drawn from the process-wide generator: a fixed seed makes every run the same.
        seedRandom(20240611);
        root_ = world_.rootOf(*world_.addRamp("Noise", 20000));
    }

    std::unique_ptr<GranularNoiseOsc> player(const std::string& name = "Noise") {
        auto made = std::make_unique<GranularNoiseOsc>(world_.module.get(), name);
        made->setDriftDepth(0.0f);
        made->setFrequency(root_);
        return made;
    }

    PlayerWorld world_;
    float root_ = 0.0f;
};

TEST_F(GranularNoiseOscTest, GrainsAre44To4410FramesLongAndLieInsideTheSample) {
    // Samples shorter than a grain get shorter grains that still fit.
    for (const std::int32_t frames : {20000, 4411, 4410, 100, 45, 3, 2}) {
        const std::string name = "Frames" + std::to_string(frames);
        world_.addRamp(name, frames);
        auto osc = player(name);
        ASSERT_NE(osc->getSample(), nullptr) << frames;
        const double shortest = std::min(44, frames - 1);
        const double longest = std::min(4410, frames - 1);
        double low = 1e9;
        double high = 0.0;
        bool inside = true;
        for (int g = 0; g < 3000; ++g) {
            osc->newGrain();
            const double length = osc->getGrainEnd() - osc->getGrainStart();
            low = std::min(low, length);
            high = std::max(high, length);
            inside = inside && osc->getGrainStart() >= 0.0 && osc->getGrainEnd() <= frames - 1 &&
                     osc->getPosition() == osc->getGrainStart();
        }
        EXPECT_TRUE(inside) << frames;
        EXPECT_GE(low, shortest) << frames;
        EXPECT_LE(high, longest) << frames;
        // Both ends of the range are reached, or nearly.
        EXPECT_LE(low, shortest + 0.05 * (longest - shortest)) << frames;
        EXPECT_GE(high, longest - 0.05 * (longest - shortest)) << frames;
    }
}

TEST_F(GranularNoiseOscTest, AtTheRootFrequencyEachSampleAdvancesOneFrameWithinAGrain) {
    auto osc = player();
    const std::vector<float> signal = renderSignal(*osc, 40000, 256);
    ASSERT_EQ(signal.size(), 40000u);
    // Runs of consecutive frames are the grains; every complete one is 44..4410 frames long.
    std::vector<std::size_t> runs{1};
    for (std::size_t k = 1; k < signal.size(); ++k) {
        ASSERT_GE(signal[k], 0.0f);
        ASSERT_LE(signal[k], 19999.0f);
        if (signal[k] == signal[k - 1] + 1.0f)
            ++runs.back();
        else
            runs.push_back(1);
    }
    ASSERT_GE(runs.size(), 10u);
    for (std::size_t r = 0; r + 1 < runs.size(); ++r) {
        EXPECT_GE(runs[r], 44u) << r;
        EXPECT_LE(runs[r], 4410u) << r;
    }

    // The output's valid frames are added to; the rest is written and becomes valid.
    IOChannel<float> block = emptyBlock(64);
    std::fill_n(block.getData(), 64, 1000000.0f);
    block.setValidFrames(10);
    const double first = osc->getPosition();
    EXPECT_EQ(osc->render(block), 64);
    EXPECT_EQ(block.getValidFrames(), 64);
    EXPECT_EQ(block.getData()[0], 1000000.0f + static_cast<float>(first));
    EXPECT_TRUE(
        std::all_of(block.getData() + 10, block.getData() + 64, [](float v) { return v < 20000.0f; }));
}

TEST_F(GranularNoiseOscTest, AMissingOrTooShortSampleLeavesTheOutputAloneAndIsLoggedOnce) {
    LogCapture log(0);
    world_.addRamp("OneFrame", 1);
    IOChannel<float> block = emptyBlock(32);
    for (const char* name : {"NotLoaded", "OneFrame"}) {
        GranularNoiseOsc osc(world_.module.get(), name);
        EXPECT_EQ(osc.getSample(), nullptr) << name;
        for (int b = 0; b < 5; ++b)
            EXPECT_TRUE(rendersNothing(osc, block, 7)) << name;
        EXPECT_TRUE(osc.isActive()) << name;
        EXPECT_EQ(log.count(std::string("trov::GranularNoiseOsc::GranularNoiseOsc(const trov::Module*, const "
                                        "std::string&) failed to load\tsample ") +
                            name),
                  1)
            << name;
    }
    // The one-frame sample is given back, not kept.
    EXPECT_EQ(world_.samples.back()->getReferenceCount(), 2);
}

TEST_F(GranularNoiseOscTest, APitchThatCannotBeHadRendersNothingAndReportsInactive) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    IOChannel<float> block = emptyBlock(32);
    for (const float hz : {0.0f, -440.0f, nan, std::numeric_limits<float>::infinity()}) {
        auto osc = player();
        osc->setFrequency(hz);
        EXPECT_TRUE(rendersNothing(*osc, block, 3)) << hz;
        EXPECT_FALSE(osc->isActive()) << hz;
        osc->setFrequency(root_);
        EXPECT_EQ(osc->render(block), 32) << hz;
        EXPECT_TRUE(osc->isActive()) << hz;
    }
    GranularNoiseOsc orphan(nullptr, "Noise");
    EXPECT_EQ(orphan.render(block), 0);
}

TEST_F(GranularNoiseOscTest, RenderingThroughManyGrainsNeitherAllocatesNorLogs) {
    world_.addRamp("Tiny", 50);
    GranularNoiseOsc fast(world_.module.get(), "Tiny");
    fast.setFrequency(root_ * 7.0f);
    auto osc = player();
    GranularNoiseOsc missing(world_.module.get(), "Absent");
    IOChannel<float> block = emptyBlock(256);
    std::int32_t rendered = 0;
    {
        AllocationGuard guard("granular noise blocks");
        for (int b = 0; b < 400; ++b) {
            block.setValidFrames(b % 2 == 0 ? 0 : 100);
            rendered += osc->render(block);
            rendered += fast.render(block);
            rendered += missing.render(block);
            if (b % 50 == 0)
                osc->newGrain();
        }
    }
    EXPECT_EQ(rendered, 2 * 400 * 256);
}

} // namespace
