#include "framework/FloatArrays.h"
#include "framework/Curves.h"
#include "framework/LengthPrefixedText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace trov {
namespace {

using ArrayOp = void (*)(float*, const float*, std::size_t);

struct NamedOp {
    const char* name;
    ArrayOp op;
    std::function<float(float, float)> reference;
};

std::vector<NamedOp> operations() {
    return {{"add", addFloats, [](float a, float b) { return a + b; }},
            {"subtract", subtractFloats, [](float a, float b) { return a - b; }},
            {"multiply", multiplyFloats, [](float a, float b) { return a * b; }},
            {"divide", divideFloats, [](float a, float b) { return a / b; }}};
}

// Runs op on dst/src copies placed at the given float offsets inside larger buffers, so both aligned and
// unaligned starts are tried, with sentinels after the last element.
std::vector<float> runAt(FloatArrayPath path, ArrayOp op, const std::vector<float>& dst,
                         const std::vector<float>& src, std::size_t dstOffset, std::size_t srcOffset) {
    constexpr float kSentinel = 12345.0f;
    alignas(16) float dstBuffer[80];
    alignas(16) float srcBuffer[80];
    std::fill(std::begin(dstBuffer), std::end(dstBuffer), kSentinel);
    std::fill(std::begin(srcBuffer), std::end(srcBuffer), kSentinel);
    std::copy(dst.begin(), dst.end(), dstBuffer + dstOffset);
    std::copy(src.begin(), src.end(), srcBuffer + srcOffset);
    setFloatArrayPath(path);
    op(dstBuffer + dstOffset, srcBuffer + srcOffset, dst.size());
    setFloatArrayPath(FloatArrayPath::Automatic);
    for (std::size_t i = dstOffset + dst.size(); i < 80; ++i)
        EXPECT_EQ(dstBuffer[i], kSentinel) << "written past the count at " << i;
    return std::vector<float>(dstBuffer + dstOffset, dstBuffer + dstOffset + dst.size());
}

TEST(FloatArrays, VectorAndScalarPathsAgreeWithAPlainLoopForEveryLengthAndAlignment) {
    std::mt19937 engine(7);
    std::uniform_real_distribution<float> values(-4.0f, 4.0f);
    for (const NamedOp& op : operations()) {
        for (std::size_t count = 0; count <= 67; ++count) {
            std::vector<float> dst(count), src(count), expected(count);
            for (std::size_t i = 0; i < count; ++i) {
                dst[i] = values(engine);
                src[i] = values(engine);
                expected[i] = op.reference(dst[i], src[i]);
            }
            for (std::size_t dstOffset : {0u, 1u, 3u})
                for (std::size_t srcOffset : {0u, 2u}) {
                    EXPECT_EQ(runAt(FloatArrayPath::Scalar, op.op, dst, src, dstOffset, srcOffset), expected)
                        << op.name << " scalar, count " << count;
                    EXPECT_EQ(runAt(FloatArrayPath::Vector, op.op, dst, src, dstOffset, srcOffset), expected)
                        << op.name << " vector, count " << count;
                }
        }
    }
}

double relativeError(double approx, double exact) {
    return std::fabs(approx - exact) / exact;
}

TEST(Curves, FastExp2StaysWithinItsErrorBoundOverTheNormalRange) {
    double worst = 0.0;
    for (float x = -125.0f; x < 126.0f; x += 0.0137f)
        worst = std::max(worst, relativeError(fastExp2(x), std::exp2(static_cast<double>(x))));
    EXPECT_LT(worst, 2e-4);
    // Integral inputs land on the cubic's end point, which is 2 to within a float step.
    for (int n = -20; n <= 20; ++n)
        EXPECT_LT(relativeError(fastExp2(static_cast<float>(n)), std::exp2(n)), 3e-7) << n;
}

TEST(Curves, FastExp2OutsideTheExponentRangeFallsBackToTheExactPower) {
    EXPECT_EQ(fastExp2(200.0f), std::numeric_limits<float>::infinity());
    EXPECT_EQ(fastExp2(-200.0f), 0.0f);
    EXPECT_EQ(fastExp2(-130.0f), std::exp2(-130.0f));
    EXPECT_FLOAT_EQ(fastExp2(127.5f), std::exp2(127.5f));
    EXPECT_TRUE(std::isnan(fastExp2(std::numeric_limits<float>::quiet_NaN())));
    EXPECT_EQ(fastExp2(-std::numeric_limits<float>::infinity()), 0.0f);
}

TEST(Curves, ExpCurveIsZeroAtZeroAndOneAtOne) {
    EXPECT_EQ(expCurve(0.0f), 0.0f);
    EXPECT_NEAR(expCurve(1.0f), 1.0f, 1e-6);
    EXPECT_NEAR(expCurve(0.6f), std::expm1(0.6) * 0.5819767117500305, 1e-6);
    EXPECT_NEAR(expCurve(-2.0f), std::expm1(-2.0) * 0.5819767117500305, 1e-6);
}

TEST(Curves, SaturateIsOddWithSlopePointSixFiveAtZeroAndQuadraticGrowth) {
    EXPECT_EQ(saturate(0.0), 0.0);
    for (double x : {1e-9, 0.1, 0.5, 1.0, 2.0, 7.5, 100.0})
        EXPECT_EQ(saturate(-x), -saturate(x)) << x;
    EXPECT_NEAR(saturate(1e-6) / 1e-6, 1.2999999818000003 * 6.0 / 12.0, 1e-6);
    EXPECT_DOUBLE_EQ(saturate(1.0), 1.2999999818000003 * 10.0 / 13.0);
    EXPECT_DOUBLE_EQ(saturate(2.0), 2.0 * 1.2999999818000003 * 16.0 / 14.0);
    EXPECT_NEAR(saturate(1e6) / 1e12, 1.3, 1e-4);
}

// The bytes written for the text, up to the first one left untouched.
std::string prefixed(const std::string& text, std::size_t maximum) {
    std::vector<unsigned char> buffer(400, 0xEE);
    toLengthPrefixedText(buffer.data(), text, maximum);
    return std::string(buffer.begin(), std::find(buffer.begin(), buffer.end(), 0xEE));
}

TEST(LengthPrefixedText, StoresTheLengthThenTheCharactersCutToTheMaximumWithoutTerminator) {
    const std::string long300(300, 'x');
    EXPECT_EQ(prefixed(long300, 255), "\xFF" + long300.substr(0, 255));
    EXPECT_EQ(prefixed("Piano", 31), "\x05Piano");
    EXPECT_EQ(prefixed("Grand Piano", 4), "\x04Gran");
    // One byte cannot count past 255, whatever the maximum.
    EXPECT_EQ(prefixed(long300, 1000), "\xFF" + long300.substr(0, 255));
}

} // namespace
} // namespace trov
