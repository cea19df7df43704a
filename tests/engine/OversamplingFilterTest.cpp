#include "engine/dsp/effects/OversamplingFilter.h"
#include "support/AllocationGuard.h"
#include "support/ResponseTestSupport.h"

#include <gtest/gtest.h>

#include <complex>
#include <limits>
#include <vector>

using namespace trov;
using namespace trov::test;

namespace {

// Decimates the whole signal in blocks of `block` output samples.
std::vector<float> decimated(OversamplingFilter& filter, const std::vector<float>& in,
                             std::int32_t block = 256) {
    std::vector<float> out(in.size() / 2);
    for (std::size_t start = 0; start < out.size(); start += static_cast<std::size_t>(block)) {
        const auto n = static_cast<std::int32_t>(std::min<std::size_t>(block, out.size() - start));
        filter.decimate(out.data() + start, in.data() + 2 * start, n);
    }
    return out;
}

// The decimator's response at omega (radians per input sample): the even sample straight, the odd one
// through the all-pass (k + z^-1) / (1 + k z^-1) at the output rate, averaged.
double decimatorGain(double k, double omega) {
    const std::complex<double> z1 = std::polar(1.0, -2.0 * omega);
    const std::complex<double> allPass = (k + z1) / (1.0 + k * z1);
    return std::abs(0.5 * (1.0 + std::polar(1.0, omega) * allPass));
}

OversamplingFilter designed() {
    OversamplingFilter filter;
    EXPECT_TRUE(filter.design());
    return filter;
}

} // namespace

TEST(OversamplingFilter, TheHalfBandDesignGivesOneSmallCoefficient) {
    OversamplingFilter filter;
    EXPECT_EQ(filter.getCoefficient(), 0.0f);
    EXPECT_TRUE(filter.design(0.49));
    const float k = filter.getCoefficient();
    EXPECT_GT(k, 0.0f);
    EXPECT_LT(k, 1.0f);
    EXPECT_NEAR(k, 4.5e-5f, 0.1e-5f);
    // A wider transition lets the all-pass do more.
    OversamplingFilter wide;
    EXPECT_TRUE(wide.design(0.1));
    EXPECT_GT(wide.getCoefficient(), k);
    EXPECT_LT(wide.getCoefficient(), 1.0f);
    for (const double bad : {0.0, 0.5, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_FALSE(filter.design(bad)) << bad;
        EXPECT_EQ(filter.getCoefficient(), k);
    }
}

TEST(OversamplingFilter, ConstantInputSettlesToTheSameConstant) {
    OversamplingFilter filter = designed();
    const std::vector<float> out = decimated(filter, std::vector<float>(512, 1.0f));
    EXPECT_NEAR(out.back(), 1.0f, 1e-6f);
    EXPECT_NEAR(out[8], 1.0f, 1e-6f);
}

TEST(OversamplingFilter, MagnitudeMatchesThePolyphaseTransferFunction) {
    constexpr int kOut = 4096;
    OversamplingFilter filter = designed();
    const double k = filter.getCoefficient();
    for (const int bin : {16, 600, 1800}) {
        const double omega = binFrequency(bin, 2 * kOut); // per input sample; the output sees twice it
        filter.reset();
        const std::vector<float> out = decimated(filter, sine(2 * (1024 + kOut), omega));
        const double gain = amplitudeAt(out.data() + 1024, kOut, 2.0 * omega);
        EXPECT_NEAR(decibels(gain), decibels(decimatorGain(k, omega)), 0.05) << "bin " << bin;
    }
}

TEST(OversamplingFilter, FollowsTheAllPassRecurrenceInBlocksOfAnySize) {
    OversamplingFilter filter = designed();
    const double k = filter.getCoefficient();
    const std::vector<float> signal = sine(2 * 400, 0.7);
    // y = (odd - y1) k + x1 and out = (y + even) / 2, in double precision.
    std::vector<double> expected;
    double x1 = 0.0;
    double y1 = 0.0;
    for (std::size_t i = 0; i < 400; ++i) {
        const double y = (signal[2 * i + 1] - y1) * k + x1;
        x1 = signal[2 * i + 1];
        y1 = y;
        expected.push_back((y + signal[2 * i]) * 0.5);
    }
    std::vector<float> out(400);
    std::size_t done = 0;
    for (const std::int32_t block : {1, 7, 33, 2, 256, 101}) {
        filter.decimate(out.data() + done, signal.data() + 2 * done, block);
        done += static_cast<std::size_t>(block);
    }
    ASSERT_EQ(done, 400u);
    for (std::size_t i = 0; i < 400; ++i)
        ASSERT_NEAR(out[i], expected[i], 1e-6) << i;
}

TEST(OversamplingFilter, DecimatesInPlaceWithoutAllocating) {
    OversamplingFilter apart = designed();
    OversamplingFilter inPlace = designed();
    const std::vector<float> signal = sine(64, 0.3);
    std::vector<float> expected(32);
    std::vector<float> buffer = signal;
    {
        AllocationGuard guard("decimating");
        apart.decimate(expected.data(), signal.data(), 32);
        inPlace.decimate(buffer.data(), buffer.data(), 32);
    }
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(buffer[static_cast<std::size_t>(i)], expected[static_cast<std::size_t>(i)]) << i;
}

TEST(OversamplingFilter, AnImpulseDecaysToZeroWithoutSubnormalsWhenTheProcessorKeepsThem) {
    ScopedSubnormalsKept kept;
    std::vector<float> impulse(4'000'002, 0.0f);
    impulse[1] = 1.0f; // the odd input goes through the all-pass
    for (const double transition : {0.49, 0.1}) {
        OversamplingFilter filter;
        filter.design(transition);
        const std::vector<float> out = decimated(filter, impulse);
        EXPECT_EQ(countSubnormals(out.data(), std::ssize(out)), 0) << transition;
        EXPECT_NE(out[1], 0.0f);
        EXPECT_EQ(out.back(), 0.0f);
    }
}
