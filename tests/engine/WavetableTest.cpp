#include "engine/dsp/effects/OversamplingFilter.h"
#include "engine/dsp/oscillators/TriangleSquareWavetable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <vector>

using namespace trov;

namespace {

// One cycle of a sine of `length` values.
class SineTable : public Wavetable {
public:
    explicit SineTable(std::int32_t length = 64) : length_(length) {}

protected:
    void build(std::vector<float>& level) override {
        level.resize(static_cast<std::size_t>(length_));
        for (std::int32_t i = 0; i < length_; ++i)
            level[static_cast<std::size_t>(i)] =
                static_cast<float>(std::sin(2.0 * std::numbers::pi * i / length_));
    }

private:
    std::int32_t length_;
};

// The triangle of a full-range table: rises from 0 to 1 over the first quarter of the cycle, falls to -1 at
// three quarters, rises back. p in [0, 1).
double triangle(double p) {
    if (p < 0.25)
        return 4.0 * p;
    if (p < 0.75)
        return 2.0 - 4.0 * p;
    return 4.0 * p - 4.0;
}

std::int32_t lengthOf(const std::vector<float>& level) {
    return static_cast<std::int32_t>(level.size()) - 1;
}

} // namespace

TEST(TriangleSquareWavetable, LevelsHalveFrom16384DownToFourAndEachHasItsGuard) {
    const TriangleSquareWavetable table;
    ASSERT_EQ(table.getLevelCount(), 13);
    for (int i = 0; i < table.getLevelCount(); ++i) {
        const std::vector<float>& level = table.getLevel(i);
        ASSERT_EQ(lengthOf(level), 16384 >> i) << "level " << i;
        EXPECT_EQ(level.back(), level.front()) << "level " << i;
    }
    EXPECT_TRUE(table.getLevel(13).empty());
    EXPECT_EQ(table.getLength(), 16384);
    EXPECT_EQ(table.getData(), table.getLevel(0).data());
}

TEST(TriangleSquareWavetable, ShapeZeroIsATriangleOnEveryLevel) {
    const TriangleSquareWavetable table;
    for (int i = 0; i < table.getLevelCount(); ++i) {
        const std::vector<float>& level = table.getLevel(i);
        const std::int32_t length = lengthOf(level);
        for (std::int32_t j = 0; j < length; ++j)
            ASSERT_NEAR(level[static_cast<std::size_t>(j)], triangle(double(j) / length), 1e-5)
                << "level " << i << " value " << j;
        EXPECT_EQ(level[static_cast<std::size_t>(length / 4)], 1.0f);
        EXPECT_EQ(level[static_cast<std::size_t>(3 * length / 4)], -1.0f);
    }
}

TEST(TriangleSquareWavetable, SetShapeRendersEveryLevelOnTheReadersNextBlock) {
    TriangleSquareWavetable table;
    table.setShape(1.0f);
    EXPECT_EQ(table.getShape(), 1.0f);
    table.refresh();
    for (int i = 0; i < table.getLevelCount(); ++i) {
        const std::vector<float>& level = table.getLevel(i);
        const std::int32_t length = lengthOf(level);
        for (std::int32_t j = 0; j < length; ++j) // edges one value steep
            ASSERT_EQ(level[static_cast<std::size_t>(j)], j < length / 2 ? 1.0f : -1.0f)
                << "level " << i << " value " << j;
        EXPECT_EQ(level.back(), 1.0f);
    }

    // Half way: a trapezoid, the triangle twice as steep and clipped (the shortest level clips its slope).
    table.setShape(0.5f);
    table.refresh();
    for (int i = 0; i < table.getLevelCount() - 1; ++i) {
        const std::vector<float>& level = table.getLevel(i);
        const std::int32_t length = lengthOf(level);
        for (std::int32_t j = 0; j < length; ++j)
            ASSERT_NEAR(level[static_cast<std::size_t>(j)],
                        std::clamp(2.0 * triangle(double(j) / length), -1.0, 1.0), 1e-5)
                << "level " << i << " value " << j;
    }

    // Out-of-range shapes are held to 0..1; NaN is ignored.
    table.setShape(2.0f);
    EXPECT_EQ(table.getShape(), 1.0f);
    table.setShape(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(table.getShape(), 1.0f);
    table.setShape(-1.0f);
    EXPECT_EQ(table.getShape(), 0.0f);
}

TEST(Wavetable, SelectsTheShortestLevelHoldingHalfAPeriodOfSamples) {
    TriangleSquareWavetable table;
    const struct {
        double frequency, rate;
        std::int32_t length;
    } kCases[] = {
        {0.348, 48000.0, 16384}, // the slowest LFO plays the full table
        {1.0, 44100.0, 16384},
        {2.0, 44100.0, 16384},
        {3.0, 44100.0, 8192}, // 14700 per period: 7350
        {5.0, 44100.0, 8192},
        {440.0, 44100.0, 64},
        {440.0, 96000.0, 128},
        {20000.0, 44100.0, 4},
        {0.0, 44100.0, 16384},
        {-5.0, 44100.0, 16384},
        {std::numeric_limits<double>::quiet_NaN(), 44100.0, 16384},
    };
    for (const auto& c : kCases) {
        table.selectLevel(c.frequency, c.rate);
        EXPECT_EQ(table.getLength(), c.length) << c.frequency << " Hz at " << c.rate;
        EXPECT_EQ(table.getData(), table.getLevel(table.getSelectedLevel()).data());
        const double half = std::rint(c.rate / c.frequency) / 2.0;
        if (c.frequency > 0.0 && c.length < 16384) {
            EXPECT_GE(c.length, half);
        }
        if (c.frequency > 0.0 && c.length > 4) {
            EXPECT_LT(c.length / 2, half);
        }
    }
}

TEST(Wavetable, RangeChangesMapEveryValueAndEmptyRangesAreRefused) {
    TriangleSquareWavetable table;
    EXPECT_TRUE(table.setRange(0.0f, 1.0f));
    EXPECT_FALSE(table.setRange(0.5f, 0.5f));
    EXPECT_FALSE(table.setRange(0.0f, std::numeric_limits<float>::infinity()));
    EXPECT_EQ(std::pair(table.getRangeMin(), table.getRangeMax()), std::pair(0.0f, 1.0f));
    for (int i = 0; i < table.getLevelCount(); ++i) {
        const std::vector<float>& level = table.getLevel(i);
        const std::int32_t length = lengthOf(level);
        EXPECT_NEAR(level[0], 0.5f, 1e-6f);
        EXPECT_NEAR(level[static_cast<std::size_t>(length / 4)], 1.0f, 1e-6f);
        EXPECT_NEAR(level[static_cast<std::size_t>(3 * length / 4)], 0.0f, 1e-6f);
    }
    // A new shape is rendered over the table's range.
    table.setShape(1.0f);
    table.refresh();
    EXPECT_EQ(table.getLevel(3).front(), 1.0f);
    EXPECT_EQ(table.getLevel(3)[1500], 0.0f);
}

TEST(Wavetable, DerivedLevelsAreTheDecimatedCycleOfTheLevelAbove) {
    SineTable table(64);
    table.setRange(0.0f, 2.0f); // applied once the levels are built
    table.buildLevels();
    ASSERT_EQ(table.getLevelCount(), 5); // 64, 32, 16, 8, 4
    OversamplingFilter filter;
    filter.design();
    const double k = filter.getCoefficient();
    // A sampled sine through the decimator: the same sine at twice the step, scaled and shifted by its
    // response (the even sample straight, the odd one through the all-pass, averaged) - also at the start
    // of the cycle, since the cycle is periodic.
    const std::vector<float>& level0 = table.getLevel(0);
    for (std::int32_t j = 0; j < 64; ++j)
        ASSERT_NEAR(level0[static_cast<std::size_t>(j)], 1.0 + std::sin(2.0 * std::numbers::pi * j / 64),
                    1e-6);
    double omega = 2.0 * std::numbers::pi / 64;
    std::complex<double> response = 1.0;
    for (int i = 1; i < table.getLevelCount(); ++i) {
        const std::complex<double> z1 = std::polar(1.0, -2.0 * omega);
        response *= 0.5 * (1.0 + std::polar(1.0, omega) * (k + z1) / (1.0 + k * z1));
        const std::vector<float>& level = table.getLevel(i);
        const std::int32_t length = lengthOf(level);
        for (std::int32_t j = 0; j < length; ++j) {
            const double expected =
                1.0 + (response * std::polar(1.0, 2.0 * std::numbers::pi * j / length)).imag();
            ASSERT_NEAR(level[static_cast<std::size_t>(j)], expected, 2e-5)
                << "level " << i << " value " << j;
        }
        EXPECT_EQ(level.back(), level.front());
        omega *= 2.0;
    }
}
