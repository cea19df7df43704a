#include "engine/dsp/FunctionTable.h"
#include "support/AllocationGuard.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace trov;
using namespace trov::test;

namespace {

float square(float x) {
    return x * x;
}

} // namespace

TEST(FunctionTable, BuildsSizePointsOverTheDomainAndTwoGuardsRepeatingTheLast) {
    const FunctionTable<float> table(0.0f, 1.0f, 32, square);
    EXPECT_EQ(table.getSize(), 32u);
    EXPECT_EQ(table.getScale(), 32.0f); // size, not size - 1
    const float* data = table.getData();
    for (unsigned i = 0; i < 32; ++i)
        EXPECT_EQ(data[i], square(static_cast<float>(i) * 1.0f / 31.0f)) << i;
    EXPECT_EQ(data[32], data[31]);
    EXPECT_EQ(data[33], data[31]);
}

TEST(FunctionTable, LooksUpTheDocumentedPoints) {
    const FunctionTable<float> table(0.0f, 1.0f, 32, square);
    const float* data = table.getData();
    EXPECT_EQ(table.lookup(0.0f), data[0]);
    EXPECT_EQ(table.lookup(1.0f), data[31]); // u = 32 reads the guards
    // u = 2.75 lies between points 2 and 3 with weight 0.75.
    EXPECT_FLOAT_EQ(table.lookup(2.75f / 32.0f), data[2] + (data[3] - data[2]) * 0.75f);
    // At a whole u either neighbouring pair gives the point itself.
    EXPECT_FLOAT_EQ(table.lookup(3.0f / 32.0f), data[3]);
    EXPECT_FLOAT_EQ(table.lookup(4.0f / 32.0f), data[4]);
}

TEST(FunctionTable, FollowsTheFunctionReadSlightlyAheadWithinTheInterpolationError) {
    // Point k holds f(lo + k (hi - lo) / (size - 1)) but a lookup at x reads position (x - lo) size / (hi -
    // lo): it answers f at x' = lo + (x - lo) size / (size - 1), up to the last point.
    const double pi = std::acos(-1.0);
    const FunctionTable<float> sine(0.0f, static_cast<float>(2.0 * pi), 1024,
                                    [](float x) { return std::sin(x); });
    const FunctionTable<double> clip(-10.0, 10.0, 4096, [](double x) { return std::tanh(0.5 * x); });
    double worstSine = 0.0;
    double worstClip = 0.0;
    for (int n = 0; n <= 10000; ++n) {
        const double t = n / 10000.0;
        const double x = 2.0 * pi * t;
        const double ahead = std::min(x * 1024.0 / 1023.0, 2.0 * pi);
        worstSine = std::max(worstSine, std::fabs(sine.lookup(static_cast<float>(x)) - std::sin(ahead)));
        const double y = -10.0 + 20.0 * t;
        const double clipAhead = std::min(-10.0 + (y + 10.0) * 4096.0 / 4095.0, 10.0);
        worstClip = std::max(worstClip, std::fabs(clip.lookup(y) - std::tanh(0.5 * clipAhead)));
    }
    // h^2/8 max|f''| with h the point spacing, plus the precision of each type.
    const double sineStep = 2.0 * pi / 1023.0;
    EXPECT_LT(worstSine, sineStep * sineStep / 8.0 + 2e-6);
    const double clipStep = 20.0 / 4095.0;
    EXPECT_LT(worstClip, clipStep * clipStep / 8.0 * 0.25 * 0.77 + 1e-6);
    // The double table keeps double precision where a point is hit exactly.
    EXPECT_EQ(clip.lookup(-10.0), std::tanh(-5.0));
}

TEST(FunctionTable, NaNInfiniteAndHugeArgumentsReadAnEndOfTheTable) {
    const FunctionTable<float> table(-2.0f, 3.0f, 64, [](float x) { return 10.0f + x; });
    const FunctionTable<double> wide(0.0, 1.0, 4096, [](double x) { return x * x - 7.0; });
    const float* data = table.getData();
    const double* wideData = wide.getData();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<float> low;
    std::vector<float> high;
    std::vector<double> wideLow;
    std::vector<double> wideHigh;
    for (auto* values : {&low, &high})
        values->reserve(8);
    for (auto* values : {&wideLow, &wideHigh})
        values->reserve(8);
    {
        AllocationGuard guard("looking up");
        for (const float x : {nan, -inf, -1e30f, -3e9f, -2.5f, std::numeric_limits<float>::lowest()}) {
            low.push_back(table.lookup(x));
            wideLow.push_back(wide.lookup(static_cast<double>(x)));
        }
        for (const float x : {inf, 1e30f, 3e9f, 3.0f, 4.0f, std::numeric_limits<float>::max()}) {
            high.push_back(table.lookup(x));
            wideHigh.push_back(wide.lookup(static_cast<double>(x)));
        }
        wideHigh.push_back(wide.lookup(1e300));
        wideLow.push_back(wide.lookup(-1e300));
    }
    for (const float v : low)
        EXPECT_EQ(v, data[0]);
    for (const float v : high)
        EXPECT_EQ(v, data[63]);
    for (const double v : wideLow)
        EXPECT_EQ(v, wideData[0]);
    for (const double v : wideHigh)
        EXPECT_EQ(v, wideData[4095]);
}

TEST(FunctionTable, DegenerateSizesAndDomainsStayInsideTheTable) {
    const FunctionTable<float> one(1.0f, 2.0f, 1, [](float x) { return x * 5.0f; });
    const FunctionTable<float> none(1.0f, 2.0f, 0, [](float x) { return x * 5.0f; });
    const FunctionTable<float> point(4.0f, 4.0f, 8, [](float x) { return x; });
    for (const float x : {0.0f, 1.0f, 1.5f, 2.0f, 99.0f}) {
        EXPECT_EQ(one.lookup(x), 5.0f) << x;
        EXPECT_EQ(none.lookup(x), 5.0f) << x;
        EXPECT_EQ(point.lookup(x), 4.0f) << x;
    }
    EXPECT_EQ(none.getSize(), 1u);

    // Reversed, infinite and too narrow domains hold f(lo) alone, and every argument reads it.
    const FunctionTable<float> reversed(2.0f, 1.0f, 16, [](float x) { return x; });
    const FunctionTable<float> endless(0.0f, std::numeric_limits<float>::infinity(), 16,
                                       [](float x) { return x; });
    const FunctionTable<double> narrow(0.0, 1e-300, 64, [](double x) { return x + 3.0; });
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const float x : {nan, -1e30f, 0.0f, 1.5f, 2.0f, 1e30f}) {
        EXPECT_EQ(reversed.lookup(x), 2.0f) << x;
        EXPECT_EQ(endless.lookup(x), 0.0f) << x;
        EXPECT_EQ(narrow.lookup(static_cast<double>(x)), 3.0) << x;
    }
    EXPECT_EQ(std::pair(reversed.getSize(), narrow.getSize()), std::pair(1u, 1u));
}
