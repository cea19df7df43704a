#include "engine/dsp/effects/BitcrusherLin.h"
#include "engine/dsp/effects/BitcrusherLog.h"
#include "engine/io/IOPinMono.h"
#include "engine/io/IOPinStereo.h"
#include "support/AllocationGuard.h"
#include "support/ResponseTestSupport.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

using namespace trov;
using namespace trov::test;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

// A sine sweep over -1..1 with noise on top, and the edge values a crusher meets.
std::vector<float> testSignal(std::size_t frames) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> noise(-0.05f, 0.05f);
    std::vector<float> signal(frames);
    for (std::size_t i = 0; i < frames; ++i)
        signal[i] = 0.95f * std::sin(0.001f * static_cast<float>(i * i % 100000)) + noise(random);
    for (float edge : {0.0f, -0.0f, 1.0f, -1.0f, 1e-30f, -1e-30f, 1e-40f, 0.001f, 0.3f, -0.3f})
        signal.push_back(edge);
    return signal;
}

// The log crusher's result computed arithmetically, without touching the bit pattern: values whose
// exponent is under the floor become 0; otherwise the mantissa bit worth 2^(e - 22 + cleared) goes.
float logReference(float x, int mantissaBits, int exponentFloor) {
    if (x == 0.0f) // exponent -127
        return -127 < exponentFloor ? 0.0f : x;
    int exponent = 0;
    std::frexp(x, &exponent);
    const int e = exponent - 1; // x = 1.m x 2^e
    if (e < exponentFloor)
        return 0.0f;
    const int cleared = 22 - mantissaBits;
    const double weight = std::ldexp(1.0, e - 23 + cleared);
    const double magnitude = std::fabs(static_cast<double>(x));
    const bool set = std::fmod(std::floor(magnitude / weight), 2.0) == 1.0;
    return static_cast<float>(set ? std::copysign(magnitude - weight, static_cast<double>(x)) : x);
}

} // namespace

TEST(BitcrusherLin, OutputsLieOnTheGridOfItsBitsWithinHalfAStep) {
    const std::vector<float> signal = testSignal(20000);
    for (const int bits : {1, 2, 4, 8, 12, 16, 23, 24}) {
        BitcrusherLin crusher(nullptr, bits);
        const double levels = std::ldexp(1.0, bits);
        EXPECT_EQ(crusher.getLevels(), static_cast<float>(levels));
        const std::vector<float> out = processed(crusher, signal);
        ASSERT_EQ(out.size(), signal.size());
        int off = 0;
        for (std::size_t i = 0; i < signal.size(); ++i) {
            const double y = out[i];
            const double scaled = y * levels;
            off += scaled != std::round(scaled) || std::fabs(y - signal[i]) > 0.5 / levels;
        }
        EXPECT_EQ(off, 0) << bits << " bits";
    }
}

TEST(BitcrusherLin, EightBitsMapTheDocumentedValues) {
    const BitcrusherLin crusher(nullptr, 8);
    // Ties go to the even level, as the converter rounds.
    for (const auto& [x, y] : {std::pair{0.5f, 0.5f},
                               {0.001f, 0.0f},
                               {0.0021f, 0.00390625f},
                               {-0.0021f, -0.00390625f},
                               {1.0f, 1.0f},
                               {1.5f / 256.0f, 2.0f / 256.0f},
                               {2.5f / 256.0f, 2.0f / 256.0f}})
        EXPECT_EQ(crusher.quantise(x), y) << x;
}

TEST(BitcrusherLin, BitsStayWithinOneTo24) {
    struct Case {
        std::int32_t asked;
        std::int32_t kept;
    };
    for (const Case c : {Case{0, 1}, Case{-3, 1}, Case{INT32_MIN, 1}, Case{25, 24}, Case{31, 24},
                         Case{32, 24}, Case{INT32_MAX, 24}, Case{13, 13}}) {
        BitcrusherLin crusher(nullptr, 8);
        crusher.setBits(c.asked);
        EXPECT_EQ(crusher.getBits(), c.kept) << c.asked;
        EXPECT_EQ(crusher.getLevels(), std::ldexp(1.0f, c.kept)) << c.asked;
        EXPECT_EQ(crusher.getStep() * crusher.getLevels(), 1.0f) << c.asked;
    }
    EXPECT_EQ(BitcrusherLin(nullptr, 0).quantise(0.3f), 0.5f);
    EXPECT_EQ(BitcrusherLin(nullptr, 99).quantise(0.3f), std::rint(0.3f * 16777216.0f) / 16777216.0f);
}

TEST(BitcrusherLog, EightBitsAtAmount03ClearBit18OfPointOne) {
    BitcrusherLog crusher(nullptr, 8);
    crusher.setAmount(0.3f);
    EXPECT_EQ(crusher.getMantissaBits(), 4);
    EXPECT_EQ(crusher.getExponentFloor(), -15);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(crusher.quantise(0.1f)), 0x3DC8CCCDu);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(crusher.quantise(-0.1f)), 0xBDC8CCCDu);
}

TEST(BitcrusherLog, AmountTradesMantissaBitsForTheExponentFloor) {
    BitcrusherLog crusher(nullptr, 8);
    // Amount 0: five mantissa bits kept, exponents under -7 flush.
    EXPECT_EQ(crusher.getAmount(), 0.0f);
    EXPECT_EQ(std::pair(crusher.getMantissaBits(), crusher.getExponentFloor()), std::pair(5, -7));
    EXPECT_EQ(crusher.quantise(0.001f), 0.0f); // exponent -10
    const std::uint32_t point3 = std::bit_cast<std::uint32_t>(0.3f);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(crusher.quantise(0.3f)), point3 & ~(1u << 17));
    EXPECT_EQ(std::bit_cast<std::uint32_t>(crusher.quantise(-0.3f)), (point3 | 0x80000000u) & ~(1u << 17));
    EXPECT_EQ(crusher.quantise(0.0078125f), 0.0078125f); // 2^-7: at the floor, no mantissa bit set

    // Amount 1: one mantissa bit, and nothing but zero and subnormals under the floor.
    crusher.setAmount(1.0f);
    EXPECT_EQ(std::pair(crusher.getMantissaBits(), crusher.getExponentFloor()), std::pair(1, -127));
    EXPECT_NE(crusher.quantise(1e-30f), 0.0f);

    // Every input against the arithmetic reference, across bits and amounts.
    const std::vector<float> signal = testSignal(5000);
    for (const int bits : {4, 6, 8, 12, 16, 24}) {
        for (const float amount : {0.0f, 0.3f, 0.5f, 0.9f, 1.0f}) {
            crusher.setBits(bits);
            crusher.setAmount(amount);
            const int kept =
                static_cast<int>(std::rint((1.0f - amount) * static_cast<float>(bits - 4) + 1.0f));
            ASSERT_EQ(crusher.getMantissaBits(), kept) << bits << " bits, amount " << amount;
            ASSERT_EQ(crusher.getExponentFloor(), 1 - (1 << (bits - kept)));
            int wrong = 0;
            for (const float x : signal) {
                if (std::fpclassify(x) == FP_SUBNORMAL)
                    continue;
                wrong += crusher.quantise(x) != logReference(x, kept, crusher.getExponentFloor());
            }
            EXPECT_EQ(wrong, 0) << bits << " bits, amount " << amount;
        }
    }
}

TEST(BitcrusherLog, TheClearedBitStaysInTheMantissaForAnySetting) {
    BitcrusherLog crusher(nullptr, 8);
    int escaped = 0;
    for (const std::int32_t bits : {INT32_MIN, -4, 0, 1, 2, 3, 4, 5, 8, 24, 25, 32, 40, INT32_MAX}) {
        for (const float amount : {-1.0f, 0.0f, 0.25f, 1.0f, 2.0f, kNaN, kInfinity, -kInfinity}) {
            crusher.setBits(bits);
            crusher.setAmount(amount);
            EXPECT_GE(crusher.getMantissaBits(), 0);
            EXPECT_LE(crusher.getMantissaBits(), 22);
            EXPECT_GE(crusher.getAmount(), 0.0f);
            EXPECT_LE(crusher.getAmount(), 1.0f);
            // Sign and exponent survive whenever the value does; with all mantissa bits set exactly one
            // of them goes.
            const std::uint32_t full = 0x3FFFFFFFu; // 1.99999988f
            const auto out = std::bit_cast<std::uint32_t>(crusher.quantise(std::bit_cast<float>(full)));
            escaped += (out & 0xFF800000u) != (full & 0xFF800000u) || std::popcount(full ^ out) != 1;
        }
    }
    EXPECT_EQ(escaped, 0);
}

TEST(Bitcrusher, BlocksMatchTheSampleMapInEveryCallingForm) {
    const std::vector<float> signal = testSignal(1000);
    BitcrusherLin linear(nullptr, 6);
    BitcrusherLog logarithmic(nullptr, 8);
    logarithmic.setAmount(0.4f);
    for (Bitcrusher* crusher : {static_cast<Bitcrusher*>(&linear), static_cast<Bitcrusher*>(&logarithmic)}) {
        std::vector<float> expected;
        for (const float x : signal)
            expected.push_back(crusher->quantise(x));

        IOChannel<float> in = channelOf(signal);
        IOChannel<float> out(in.getSize());
        IOChannel<float> base(in.getSize());
        IOChannel<float> inPlace = channelOf(signal);
        IOPinStereo pinIn = stereoPinOf(signal);
        IOChannel<float> short4(16); // smaller than the input: only what fits is written
        short4.setSize(4);
        IOPinMono pinOut;
        pinOut.setChannel(0, IOChannel<float>(in.getSize()));
        IOChannel<float> rendered(8);
        std::int32_t frames[6] = {};
        {
            AllocationGuard guard("crushing a block");
            frames[0] = crusher->process(in, out);
            frames[1] = crusher->Bitcrusher::process(in, base);
            frames[2] = crusher->processInPlace(inPlace);
            frames[3] = crusher->processPin(pinIn, pinOut);
            frames[4] = crusher->process(in, short4);
            frames[5] = crusher->render(rendered);
        }
        const auto n = static_cast<std::int32_t>(signal.size());
        EXPECT_EQ(std::vector<std::int32_t>(frames, frames + 6),
                  (std::vector<std::int32_t>{n, n, n, n, 4, 0}));
        for (const IOChannel<float>* channel : {&out, &base, &inPlace, pinOut.getChannel(0)})
            EXPECT_EQ(framesOf(*channel), expected);
        EXPECT_EQ(framesOf(short4), std::vector<float>(expected.begin(), expected.begin() + 4));
        EXPECT_EQ(rendered.getValidFrames(), 0);
    }
}

TEST(Bitcrusher, AnImpulseAndTwoMillionZerosLeaveNoSubnormal) {
    const ScopedSubnormalsKept kept;
    BitcrusherLin linear(nullptr, 12);
    BitcrusherLog logarithmic(nullptr, 8);
    std::vector<float> block(256, 0.0f);
    IOChannel<float> in = channelOf(block);
    block[0] = 1.0f;
    IOChannel<float> first = channelOf(block);
    IOChannel<float> out(256);
    std::int64_t subnormals = 0;
    for (Bitcrusher* crusher : {static_cast<Bitcrusher*>(&linear), static_cast<Bitcrusher*>(&logarithmic)}) {
        crusher->process(first, out);
        for (int done = 256; done < 2'000'000 + 256; done += 256) {
            crusher->process(in, out);
            subnormals += countSubnormals(out.getData(), 256);
        }
    }
    EXPECT_EQ(subnormals, 0);
}
