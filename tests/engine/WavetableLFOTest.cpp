#include "engine/dsp/FixedPhase.h"
#include "engine/dsp/oscillators/TriangleSquareWaveLFO.h"
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

// p in [0, 1): the full-range triangle, 0 at the start, 1 at a quarter, -1 at three quarters.
double triangle(double p) {
    if (p < 0.25)
        return 4.0 * p;
    if (p < 0.75)
        return 2.0 - 4.0 * p;
    return 4.0 * p - 4.0;
}

// The raw fixed-point step the LFO takes per sample on a level of `length` values.
std::uint32_t stepOf(double frequency, double rate, std::int32_t length) {
    return static_cast<std::uint32_t>(std::floor(frequency / rate * length * 1024.0));
}

class LFO : public testing::Test, protected HostedModule {
protected:
    LFO() : HostedModule(48000) {}

    // A triangle LFO of the module without drift.
    std::unique_ptr<TriangleSquareWaveLFO> makeLFO(float frequency) {
        auto lfo = std::make_unique<TriangleSquareWaveLFO>(module.get());
        lfo->setDriftDepth(0.0f);
        lfo->setFrequency(frequency);
        return lfo;
    }

    // The mean distance between upward crossings of 0.
    static double meanPeriod(const std::vector<float>& values) {
        std::vector<std::size_t> crossings;
        for (std::size_t i = 1; i < values.size(); ++i)
            if (values[i - 1] < 0.0f && values[i] >= 0.0f)
                crossings.push_back(i);
        if (crossings.size() < 2)
            return 0.0;
        return double(crossings.back() - crossings.front()) / double(crossings.size() - 1);
    }
};

} // namespace

TEST_F(LFO, TheTriangleFollowsItsClosedFormAtTheFixedPointStep) {
    auto lfo = makeLFO(2.0f);
    const std::vector<float> values = rendered(*lfo, 60000);
    const std::uint32_t step = stepOf(2.0, 48000.0, 16384);
    const std::uint64_t wrap = 16384u * 1024u;
    for (std::size_t i = 0; i < values.size(); i += 7) {
        const double p = double((std::uint64_t{step} * i) % wrap) / double(wrap);
        ASSERT_NEAR(values[i], triangle(p), 1e-4) << i;
    }
}

TEST_F(LFO, TheSquareHoldsEachHalfOfTheCycle) {
    auto lfo = makeLFO(5.0f); // plays the level of 8192 values at 48 kHz
    lfo->setShape(1.0f);
    const std::vector<float> values = rendered(*lfo, 30000);
    const std::uint32_t step = stepOf(5.0, 48000.0, 8192);
    const std::uint64_t wrap = 8192u * 1024u;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double p = double((std::uint64_t{step} * i) % wrap) / double(wrap);
        // Away from an edge (one table value on either side) the value is one of the two levels.
        if (std::min({p, std::abs(p - 0.5), 1.0 - p}) * 8192.0 > 1.0) {
            ASSERT_EQ(values[i], p < 0.5 ? 1.0f : -1.0f) << i;
        }
        ASSERT_LE(std::abs(values[i]), 1.0f);
    }
}

TEST_F(LFO, ThePeriodIsTheOneOfTheFixedPointStepAndTheSlowestStaysWithinOnePercent) {
    const struct {
        float frequency;
        int rate;
        std::int32_t length;
    } kCases[] = {{0.348f, 48000, 16384}, {0.348f, 44100, 16384}, {5.0f, 44100, 8192}, {62.5f, 48000, 512}};
    for (const auto& c : kCases) {
        host.setSampleRate(c.rate);
        auto lfo = makeLFO(c.frequency);
        const double period = double(c.length) * 1024.0 / stepOf(c.frequency, c.rate, c.length);
        const std::vector<float> values = rendered(*lfo, static_cast<std::int64_t>(3.2 * period));
        EXPECT_NEAR(meanPeriod(values), period, 1.0) << c.frequency << " Hz at " << c.rate;
        EXPECT_NEAR(period, c.rate / c.frequency, 0.01 * c.rate / c.frequency);
    }
}

TEST_F(LFO, RatesFollowTheHostsSampleRate) {
    auto lfo = makeLFO(1.0f);
    const double atFirst = meanPeriod(rendered(*lfo, 150000));
    host.setSampleRate(96000);
    const double afterwards = meanPeriod(rendered(*lfo, 300000));
    EXPECT_NEAR(atFirst, 16384.0 * 1024.0 / stepOf(1.0, 48000.0, 16384), 1.0);
    EXPECT_NEAR(afterwards, 16384.0 * 1024.0 / stepOf(1.0, 96000.0, 16384), 1.0);
}

TEST_F(LFO, RetriggeredBlocksStartAtTheSongPositionsPhase) {
    auto lfo = makeLFO(2.0f); // 120 beats per minute
    lfo->setRetrigger(true);
    ASSERT_TRUE(lfo->setRateMultiplier(4.0)); // a cycle every 4 beats
    EXPECT_FALSE(lfo->setRateMultiplier(0.0));
    EXPECT_FALSE(lfo->setRateMultiplier(-2.0));
    EXPECT_FALSE(lfo->setRateMultiplier(std::numeric_limits<double>::infinity()));
    EXPECT_EQ(lfo->getRateMultiplier(), 4.0);

    const std::uint32_t step = stepOf(2.0 / 4.0, 48000.0, 16384);
    IOChannel<float> block(256);
    for (const double beats : {0.0, 5.3, 17.0, 1.0, -1.0}) {
        host.songPosition = beats;
        lfo->render(block);
        const double cycles = beats / 4.0;
        const std::uint32_t start = ifloat<22>((cycles - std::floor(cycles)) * 16384.0).raw();
        for (const int i : {0, 1, 255}) {
            const double p =
                double((start + std::uint64_t{step} * unsigned(i)) % (16384u * 1024u)) / (16384.0 * 1024.0);
            EXPECT_NEAR(block.getData()[i], triangle(p), 1e-4) << beats << " beats, frame " << i;
        }
    }
    // The second block runs on from the song position it is given, not from the first block.
    host.songPosition = 1.0;
    lfo->render(block);
    lfo->render(block);
    EXPECT_NEAR(block.getData()[0], triangle(0.25), 1e-4);

    // Free running again, the phase runs on.
    lfo->setRetrigger(false);
    const float last = block.getData()[255];
    lfo->render(block);
    EXPECT_NEAR(block.getData()[0], last, 2e-3);
}

TEST_F(LFO, EachLfoOwnsItsTableSoOneShapeLeavesTheOthersAlone) {
    auto square = makeLFO(2.0f);
    auto triangleLFO = makeLFO(2.0f);
    EXPECT_NE(square->getTriangleSquareWavetable(), triangleLFO->getTriangleSquareWavetable());
    square->setShape(1.0f);
    const std::vector<float> a = rendered(*square, 3000);
    const std::vector<float> b = rendered(*triangleLFO, 3000);
    EXPECT_EQ(a[2000], 1.0f);
    EXPECT_NEAR(b[2000], triangle(2000.0 * 2.0 / 48000.0), 1e-4);
    EXPECT_EQ(triangleLFO->getShape(), 0.0f);

    // Another LFO may read an owner's table; the owner's shape is what it plays.
    WavetableLFO reader(module.get());
    reader.setDriftDepth(0.0f);
    reader.setFrequency(2.0f);
    EXPECT_FALSE(reader.isActive());
    IOChannel<float> block(64);
    EXPECT_EQ(reader.render(block), 0);
    EXPECT_EQ(block.getValidFrames(), 0);
    reader.setWavetable(square->getTriangleSquareWavetable());
    EXPECT_TRUE(reader.isActive());
    EXPECT_EQ(rendered(reader, 3000)[2000], 1.0f);
}

TEST_F(LFO, NoRateReadsPastTheGuard) {
    // Steps of a whole cycle and more, on the shortest level; and level changes between blocks.
    auto lfo = makeLFO(1.0f);
    for (const float frequency : {1.0f, 47000.0f, 120000.0f, 250000.0f, 1e30f, 440.0f, 0.5f, -3.0f,
                                  std::numeric_limits<float>::quiet_NaN(), 3.0f}) {
        lfo->setFrequency(frequency);
        const std::vector<float> values = rendered(*lfo, 1024);
        for (const float value : values)
            ASSERT_TRUE(value >= -1.0f && value <= 1.0f) << frequency << " Hz gave " << value;
    }
}

TEST_F(LFO, ALevelChangeKeepsThePhaseAtItsPlaceInTheCycle) {
    auto lfo = makeLFO(1.0f); // level 0
    const std::vector<float> slow = rendered(*lfo, 256 * 40);
    const std::uint64_t phase = (std::uint64_t{stepOf(1.0, 48000.0, 16384)} * slow.size()) % (16384u * 1024u);
    lfo->setFrequency(400.0f); // a level of 64 values
    IOChannel<float> block(256);
    lfo->render(block);
    EXPECT_NEAR(block.getData()[0], triangle(double(phase) / (16384.0 * 1024.0)), 1e-3);
}

TEST_F(LFO, RendersRetriggersAndReshapesWithoutAllocating) {
    auto lfo = makeLFO(3.0f);
    lfo->setRetrigger(true);
    lfo->setRateMultiplier(2.0);
    IOChannel<float> block(256);
    std::int32_t frames = 0;
    {
        AllocationGuard guard("rendering the LFO");
        for (int i = 0; i < 50; ++i) {
            host.songPosition = 0.37 * i;
            if (i % 10 == 5)
                lfo->setShape(0.1f * float(i % 7));
            lfo->setRetrigger(i % 3 != 0);
            frames += lfo->render(block);
        }
    }
    EXPECT_EQ(frames, 50 * 256);
}

TEST_F(LFO, TheRangeMapsTheValues) {
    auto lfo = makeLFO(2.0f);
    lfo->setRange(0.0f, 1.0f);
    lfo->setRange(3.0f, 3.0f); // empty: ignored
    EXPECT_EQ(std::pair(lfo->getRangeMin(), lfo->getRangeMax()), std::pair(0.0f, 1.0f));
    const std::vector<float> values = rendered(*lfo, 24000);
    EXPECT_NEAR(values[0], 0.5f, 1e-6f);
    EXPECT_NEAR(values[6000], 1.0f, 1e-3f);
    EXPECT_NEAR(values[18000], 0.0f, 1e-3f);
}
