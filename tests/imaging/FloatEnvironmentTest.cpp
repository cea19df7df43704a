#include "imaging/cpu/FloatEnvironment.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <limits>

namespace trov::imaging {
namespace {

// Restores MXCSR and the x87 control word at the end of a test.
struct FloatStateGuard {
    std::uint32_t mxcsr = getMxcsr(), x87 = getX87ControlWord();
    ~FloatStateGuard() {
        loadMxcsr(mxcsr);
        loadX87ControlWord(x87);
    }
};

TEST(FloatEnvironment, MxcsrOperationsReplaceOnlyTheirBitsAndReturnTheOldValue) {
    FloatStateGuard guard;
    loadMxcsr(0x1F80 | 0x6000 | 0x8000); // toward zero, flush to zero
    EXPECT_EQ(setMxcsrBits(0x4000, kMxcsrRoundingField), 0x1F80u | 0x6000u | 0x8000u);
    EXPECT_EQ(getMxcsr(), 0x1F80u | 0x4000u | 0x8000u);
    EXPECT_EQ(resetMxcsr(), 0x1F80u | 0x4000u | 0x8000u);
    EXPECT_EQ(getMxcsr(), 0x1F80u);
    changeMxcsrRounding(0x2000 | 0x1);
    EXPECT_EQ(getMxcsr(), 0x1F80u | 0x2000u);
}

TEST(FloatEnvironment, X87ControlWordsConvertBothWaysRowByRow) {
    struct Row {
        std::uint32_t portable, x87;
    };
    const Row rows[] = {
        {0x10, 0x0001},     {0x08, 0x0004},     {0x04, 0x0008},      {0x02, 0x0010},
        {0x01, 0x0020},     {0x80000, 0x0002},  {0x100, 0x0400},     {0x200, 0x0800},
        {0x300, 0x0C00},    {0x10000, 0x0200},  {0x20000, 0x0000},   {0x40000, 0x1000},
    };
    // A word with 64-bit precision (x87 0x0300, portable 0) is the neutral base of each row.
    for (const Row& row : rows) {
        const std::uint32_t x87 = row.portable & 0x30000 ? row.x87 : row.x87 | 0x0300;
        EXPECT_EQ(x87ControlToPortable(x87), row.portable) << std::hex << x87;
        EXPECT_EQ(portableToX87Control(row.portable), x87) << std::hex << row.portable;
    }
    EXPECT_EQ(x87ControlToPortable(0x0100), 0u) << "precision 0x0100 sets no portable bits";
    EXPECT_EQ(portableToX87Control(0x30000), 0x0000u);
    EXPECT_EQ(portableToX87Control(0), 0x0300u);
    EXPECT_EQ(x87ControlToPortable(0x037F), 0x1Fu | 0x80000u) << "the reserved bit 0x40 is dropped";
    EXPECT_EQ(x87StatusToPortable(0x003F | 0x3800 | 0x0080), 0x1Fu | 0x80000u);
}

TEST(FloatEnvironment, X87ControlBitsChangeAndRestore) {
    FloatStateGuard guard;
    const std::uint32_t original = setX87ControlBits(0x0200, 0x0300); // 53-bit precision
    EXPECT_EQ(getX87ControlWord() & 0x0300, 0x0200u);
    EXPECT_EQ(setFloatControl(0x20000, 0x30000) & 0x30000, 0x20000u);
    EXPECT_EQ(getX87ControlWord() & 0x0300, 0x0000u);
    changeX87ControlBits(original, 0x0300);
    EXPECT_EQ(getX87ControlWord() & 0x0300, original & 0x0300);
    EXPECT_EQ(x87ControlToPortable(getX87ControlWord()) & 0x1F, 0x1Fu) << "exceptions stay masked";
}

TEST(FloatEnvironment, X87StatusFlagsAreReportedAndTakenAway) {
    takeX87StatusWord();
    volatile long double huge = LDBL_MAX;
    volatile long double product = huge * huge; // overflow and inexact, on the x87 unit
    (void)product;
    EXPECT_EQ(getFloatStatus() & 0x05u, 0x05u);
    EXPECT_EQ(takeFloatStatus() & 0x05u, 0x05u);
    EXPECT_EQ(getFloatStatus() & 0x1Fu, 0u);
    EXPECT_EQ(getX87StatusWord() & 0x3Fu, 0u);
}

TEST(FloatEnvironment, NanAndFiniteTestsLookAtExponentAndFraction) {
    using Limits = std::numeric_limits<double>;
    const struct {
        double value;
        std::int32_t nan, finite;
    } rows[] = {{Limits::infinity(), 0, 0},      {-Limits::infinity(), 0, 0}, {Limits::quiet_NaN(), 1, 0},
                {Limits::signaling_NaN(), 1, 0}, {0.0, 0, 1},                 {Limits::max(), 0, 1},
                {Limits::denorm_min(), 0, 1}};
    for (const auto& row : rows) {
        EXPECT_EQ(isNanDouble(row.value), row.nan) << row.value;
        EXPECT_EQ(isFiniteDouble(row.value), row.finite) << row.value;
    }
}

TEST(FloatEnvironment, DenormalsAreZeroWorksWhenReported) {
    FloatStateGuard guard;
    if (!hasDenormalsAreZero())
        GTEST_SKIP() << "this processor has no denormals-are-zero bit";
    setMxcsrBits(kMxcsrDenormalsAreZero, kMxcsrDenormalsAreZero);
    EXPECT_NE(getMxcsr() & kMxcsrDenormalsAreZero, 0u);
    volatile float tiny = std::numeric_limits<float>::denorm_min();
    volatile float sum = tiny + 0.0f;
    EXPECT_EQ(sum, 0.0f);
}

TEST(FloatEnvironment, TimeStampCounterAdvances) {
    const std::uint64_t first = readTimeStampCounter();
    std::uint64_t later = first;
    for (int i = 0; i < 1000000 && later == first; ++i)
        later = readTimeStampCounter();
    EXPECT_NE(later, first);
}

} // namespace
} // namespace trov::imaging
