#include "engine/dsp/effects/DACLadder.h"
#include "engine/io/IOPinStereo.h"
#include "support/AllocationGuard.h"
#include "support/ResponseTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

using namespace trov;
using namespace trov::test;

namespace {

constexpr int kCodes = 256;

// The input that converts to a code of the 8-bit ladder: rint(256 x) + 256 = 2 x code.
float inputOf(int code) {
    return static_cast<float>(2 * code - kCodes) / kCodes;
}

// Every code's error as the ladder adds it, read through `process`.
std::vector<double> codeErrors(DACLadder& ladder) {
    std::vector<float> inputs;
    for (int code = 0; code < kCodes; ++code)
        inputs.push_back(inputOf(code));
    const std::vector<float> out = processed(ladder, inputs);
    std::vector<double> errors;
    for (std::size_t code = 0; code < out.size(); ++code)
        errors.push_back(static_cast<double>(out[code]) - inputs[code]);
    return errors;
}

} // namespace

TEST(DACLadder, ToleranceZeroPassesTheSignalUnchanged) {
    DACLadder ladder(nullptr);
    EXPECT_EQ(std::pair(ladder.getBits(), ladder.getTolerance()), std::pair(8, 0.05f));
    ladder.setTolerance(0.0f);
    std::vector<float> signal;
    for (int i = 0; i < 3000; ++i)
        signal.push_back(std::sin(0.0137f * static_cast<float>(i)) * 1.1f);
    EXPECT_EQ(processed(ladder, signal), signal);
}

TEST(DACLadder, EachCodesErrorIsTheSumOfItsBitsErrorsWithinTheTolerancesShare) {
    for (const float tolerance : {0.05f, 0.2f, 1.0f}) {
        DACLadder ladder(nullptr);
        ladder.setTolerance(tolerance);
        const std::vector<double> errors = codeErrors(ladder);
        EXPECT_EQ(errors[0], 0.0);
        // A one-bit code carries that bit's error scaled by its weight in the code.
        for (int bit = 0; bit < 8; ++bit) {
            const double drawn = ladder.getBitError(bit);
            EXPECT_LE(std::fabs(drawn), tolerance * (bit < 4 ? 1.0 : 0.5)) << bit;
            EXPECT_NEAR(errors[std::size_t{1} << bit], drawn * (1 << bit) / kCodes, 1e-6) << bit;
        }
        double largest = 0.0;
        int mismatched = 0;
        for (int code = 0; code < kCodes; ++code) {
            double sum = 0.0;
            for (int bit = 0; bit < 8; ++bit)
                sum += (code >> bit) & 1 ? errors[std::size_t{1} << bit] : 0.0;
            // The output x + error is rounded to a float near |x| <= 1.
            mismatched += std::fabs(errors[static_cast<std::size_t>(code)] - sum) > 4e-7;
            largest = std::max(largest, std::fabs(errors[static_cast<std::size_t>(code)]));
        }
        EXPECT_EQ(mismatched, 0) << tolerance;
        EXPECT_LE(largest, tolerance * 135.0 / 256.0 + 1e-6) << tolerance;
    }
}

TEST(DACLadder, ErrorsStayUntilTheToleranceChanges) {
    DACLadder ladder(nullptr);
    const std::vector<double> before = codeErrors(ladder);
    ladder.setTolerance(0.05f); // unchanged: no new draw
    EXPECT_EQ(codeErrors(ladder), before);
    ladder.setTolerance(std::numeric_limits<float>::quiet_NaN());
    ladder.setTolerance(std::numeric_limits<float>::infinity());
    EXPECT_EQ(ladder.getTolerance(), 0.05f);
    EXPECT_EQ(codeErrors(ladder), before);
    ladder.setTolerance(0.06f);
    EXPECT_NE(codeErrors(ladder), before);
}

TEST(DACLadder, InputsBeyondTheRangeUseTheEndCodesAndNeverIndexOutside) {
    DACLadder ladder(nullptr);
    const std::vector<double> errors = codeErrors(ladder);
    const float top = static_cast<float>(errors[255]);
    const float bottom = static_cast<float>(errors[0]);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<float> inputs{1.0f, 1.5f, 1e30f, inf, -1.0f, -3.0f, -1e30f, -inf, nan, 0.0f};
    IOChannel<float> in = channelOf(inputs);
    IOChannel<float> out(in.getSize());
    {
        AllocationGuard guard("converting");
        ladder.process(in, out);
    }
    const float* y = out.getData();
    // The errors are drawn afresh in every run and each was read back at its code's own input, which
    // rounds it to that input's float steps: at another input the sum may land on a neighbouring float.
    constexpr float kRounding = 4e-7f;
    EXPECT_NEAR(y[0], 1.0f + top, kRounding); // exactly 1.0 uses code 255
    EXPECT_NEAR(y[1], 1.5f + top, kRounding);
    EXPECT_EQ(y[2], 1e30f);
    EXPECT_EQ(y[3], inf);
    EXPECT_NEAR(y[4], -1.0f + bottom, kRounding);
    EXPECT_NEAR(y[5], -3.0f + bottom, kRounding);
    EXPECT_EQ(y[7], -inf);
    EXPECT_TRUE(std::isnan(y[8]));
    EXPECT_EQ(y[9], static_cast<float>(errors[128]));
}

TEST(DACLadder, BitsStayWithinTheTablesReach) {
    DACLadder ladder(nullptr);
    for (const std::int32_t bits : {0, -7, 40}) {
        ladder.buildTable(bits);
        EXPECT_GE(ladder.getBits(), 1);
        EXPECT_LE(ladder.getBits(), DACLadder::kMaxBits);
    }
    ladder.buildTable(4);
    EXPECT_EQ(ladder.getBits(), 4);
    EXPECT_EQ(ladder.getBitError(4), 0.0f);
    EXPECT_EQ(ladder.getBitError(-1), 0.0f);
    IOChannel<float> in = channelOf({1.0f, -1.0f, 0.0f});
    IOChannel<float> out(3);
    EXPECT_EQ(ladder.process(in, out), 3);
    const float topError = (ladder.getBitError(0) + 2 * ladder.getBitError(1) + 4 * ladder.getBitError(2) +
                            8 * ladder.getBitError(3)) /
                           16.0f;
    EXPECT_NEAR(out.getData()[0], 1.0f + topError, 1e-6f);
    EXPECT_EQ(out.getData()[1], -1.0f);
}

TEST(DACLadder, RunsPinsUnderTheRealTimeGuardAndLeavesNoSubnormal) {
    const ScopedSubnormalsKept kept;
    DACLadder ladder(nullptr);
    std::vector<float> impulse(256, 0.0f);
    impulse[0] = 1.0f;
    IOPinStereo in = stereoPinOf(impulse);
    IOPinStereo out = stereoPinOf({}, 256);
    std::int64_t subnormals = 0;
    std::int32_t frames = 0;
    IOChannel<float> rendered(8);
    {
        AllocationGuard guard("the ladder's blocks");
        frames = ladder.processPin(in, out);
        in.getChannel(0)->getData()[0] = in.getChannel(1)->getData()[0] = 0.0f;
        for (int done = 0; done < 2'000'000; done += 256) {
            ladder.processPin(in, out);
            for (int c = 0; c < 2; ++c)
                subnormals += countSubnormals(out.getChannel(c)->getData(), 256);
        }
        ladder.render(rendered);
    }
    EXPECT_EQ(frames, 256);
    EXPECT_EQ(subnormals, 0);
    EXPECT_EQ(rendered.getValidFrames(), 0);
}

TEST(DACLadder, TheVectorKernelGivesTheScalarFormsResultsBitForBit) {
    DACLadder ladder(nullptr);
    std::vector<float> signal;
    for (int i = 0; i < 4001; ++i) // odd: the vector kernel leaves a tail to the scalar form
        signal.push_back(std::sin(0.00931f * static_cast<float>(i)) * 1.2f);
    for (int code = 0; code < 256; ++code)
        signal.push_back(inputOf(code));
    for (const float edge : {1.0f / 512.0f, -1.0f / 512.0f, 3.0f / 512.0f})
        signal.push_back(edge);
    signal = withEdges(signal);
    for (const int bits : {8, 3, 12}) {
        ladder.buildTable(bits);
        EXPECT_EQ(vectorScalarDifferences([&] { return processed(ladder, signal); }), 0u) << bits;
    }
}
