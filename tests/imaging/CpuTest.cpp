#include "imaging/cpu/CpuIdSource.h"
#include "imaging/cpu/FloatEnvironment.h"
#include "imaging/cpu/FunctionDescriptor.h"
#include "imaging/cpu/ProcessorSetup.h"
#include "support/SmoothingTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cfloat>
#include <cstring>
#include <limits>

namespace trov::imaging {
namespace {

using namespace testing;

// Read during static initialisation, before any test can change it.
const std::int32_t indexAtLoad = variantIndex();

// What a played processor reports.
struct Features {
    std::uint32_t family = 6;
    bool mmx = false, sse = false, sse2 = false, sse3 = false;
    std::uint32_t logicalProcessors = 1;
    bool htt = false, longMode = false, extendedLeaf = true, cpuid = true;
    const char* vendor = "GenuineIntel";
};

// Plays a processor for its lifetime.
class FakeProcessor final : public CpuIdSource {
public:
    Features f;
    explicit FakeProcessor(const Features& features) : f(features), previous_(setCpuIdSource(this)) {}
    ~FakeProcessor() override { setCpuIdSource(previous_); }
    FakeProcessor(const FakeProcessor&) = delete;
    FakeProcessor& operator=(const FakeProcessor&) = delete;

    bool idFlagToggles() const override { return f.cpuid; }
    CpuIdRegisters query(std::uint32_t leaf) const override {
        CpuIdRegisters r;
        if (leaf == 0) {
            r.eax = 2;
            std::memcpy(&r.ebx, f.vendor, 4);
            std::memcpy(&r.edx, f.vendor + 4, 4);
            std::memcpy(&r.ecx, f.vendor + 8, 4);
        } else if (leaf == 1) {
            r.eax = (f.family << 8) | (2u << 12) | (0xAu << 4) | 0xBu; // type 2, model 10, stepping 11
            r.ebx = f.logicalProcessors << 16;
            r.edx = (1u << 4) | (f.mmx ? 1u << 23 : 0) | (f.sse ? 1u << 25 : 0) | (f.sse2 ? 1u << 26 : 0) |
                    (f.htt ? 1u << 28 : 0);
            r.ecx = f.sse3 ? 1u : 0;
        } else if (leaf == 2) {
            r.eax = 0x665B5001;
            r.edx = 0x007A7000;
        } else if (leaf == 0x80000000u) {
            r.eax = f.extendedLeaf ? 0x80000008u : 0x80000000u;
        } else if (leaf == 0x80000001u) {
            r.edx = f.longMode ? 1u << 29 : 0;
        }
        return r;
    }

private:
    const CpuIdSource* previous_;
};

struct Row {
    Features cpu;
    std::int32_t code;
    std::int32_t variant;
    FilterStatus status = FilterStatus::Ok;
};

TEST(ProcessorSetup, ClassifiesAndSelectsEveryRowOfTheTables) {
    const Row rows[] = {
        {{.family = 5}, 1, 1},
        {{.family = 5, .mmx = true}, 2, 1},
        {{.family = 6}, 3, 1},
        {{.family = 6, .mmx = true}, 4, 1},
        {{.family = 6, .mmx = true, .sse = true}, 5, 2},
        {{.family = 6, .mmx = true, .sse = true, .sse2 = true}, 9, 3},
        {{.family = 15, .mmx = true, .sse = true}, 17, 2},
        {{.family = 15, .mmx = true, .sse = true, .sse2 = true}, 6, 3},
        {{.family = 15, .mmx = true, .sse = true, .sse2 = true, .logicalProcessors = 2, .htt = true}, 7, 3},
        {{.family = 15, .mmx = true, .sse = true, .sse2 = true, .htt = true}, 6, 3}, // one logical processor
        {{.family = 15, .mmx = true, .sse = true, .sse2 = true, .sse3 = true}, 8, 2},
        {{.family = 15, .mmx = true, .sse = true, .sse2 = true, .sse3 = true, .longMode = true}, 32, 4},
        // The 64-bit flag counts only when extended leaf 0x80000001 exists.
        {{.family = 15,
          .mmx = true,
          .sse = true,
          .sse2 = true,
          .sse3 = true,
          .longMode = true,
          .extendedLeaf = false},
         8,
         2},
        {{.family = 7}, 16, 2},
        {{.family = 4, .mmx = true, .sse = true, .sse2 = true}, 0, 1},
        {{.family = 16, .mmx = true, .sse = true, .sse2 = true}, 0, 1},
        {{.family = 6, .mmx = true, .sse = true, .sse2 = true, .cpuid = false},
         0,
         1,
         FilterStatus::ProcessorNotRecognised},
        {{.family = 6, .mmx = true, .sse = true, .sse2 = true, .vendor = "AuthenticAMD"},
         0,
         1,
         FilterStatus::ProcessorNotRecognised},
    };
    VariantIndexGuard restore;
    for (const Row& row : rows) {
        FakeProcessor played(row.cpu);
        EXPECT_EQ(classifyProcessor(), row.code) << "family " << row.cpu.family;
        storeVariantIndex(0);
        EXPECT_EQ(selectVariantForProcessor(), row.status) << "code " << row.code;
        EXPECT_EQ(variantIndex(), row.variant) << "code " << row.code;
    }
}

TEST(ProcessorSetup, SelectsByCodeAndRefusesCodesOutsideMinusOneToNine) {
    VariantIndexGuard restore;
    const std::int32_t expected[11] = {0, 1, 1, 1, 1, 1, 2, 3, 3, 4, 3};
    for (std::int32_t code = -1; code <= 9; ++code) {
        storeVariantIndex(7);
        EXPECT_EQ(selectVariantByCode(code), FilterStatus::Ok);
        EXPECT_EQ(variantIndex(), expected[code + 1]) << "code " << code;
    }
    for (std::int32_t code : {-2, 10, 32, INT32_MIN, INT32_MAX}) {
        storeVariantIndex(2);
        EXPECT_EQ(selectVariantByCode(code), FilterStatus::UnknownProcessorCode);
        EXPECT_EQ(variantIndex(), 2) << "code " << code;
    }
}

TEST(ProcessorSetup, ReadsEveryFieldAndFeatureFromItsBitsAndNothingWithoutCpuid) {
    // This processor: what every x86-64 processor has.
    EXPECT_EQ((std::array{hasCpuid(), hasMmx(), hasSse(), hasSse2(), hasLongMode(), hasTimeStampCounter()}),
              (std::array{1, 1, 1, 1, 1, 1}));
    FakeProcessor cpu({.family = 15,
                       .mmx = true,
                       .sse2 = true,
                       .sse3 = true,
                       .logicalProcessors = 4,
                       .htt = true,
                       .longMode = true});
    ProcessorInfo info;
    readProcessorInfo(info);
    // family, stepping, model, type, mmx, sse, sse2, multi-threading, sse3, 64-bit
    EXPECT_EQ((std::array{info.family, info.stepping, info.model, info.type, info.mmx, info.sse, info.sse2,
                          info.multiThreading, info.sse3, info.longMode}),
              (std::array{15, 11, 10, 2, 1, 0, 1, 1, 1, 1}));
    EXPECT_EQ(info.cacheEax, 0x665B5001);
    EXPECT_EQ(info.cacheEdx, 0x007A7000);
    EXPECT_EQ(info.features, static_cast<std::int32_t>(cpu.query(1).edx));
    EXPECT_EQ(highestCpuIdLeaf(), 2u);
    EXPECT_EQ((std::array{hasMmx(), hasSse(), hasSse2(), hasSse3(), hasMultiThreading(), hasLongMode(),
                          hasTimeStampCounter()}),
              (std::array{1, 0, 1, 1, 1, 1, 1}));
    cpu.f.extendedLeaf = false;
    EXPECT_EQ(hasLongMode(), 0) << "the 64-bit flag needs extended leaf 0x80000001";
    cpu.f.cpuid = false;
    EXPECT_EQ((std::array{hasCpuid(), static_cast<std::int32_t>(highestCpuIdLeaf()), hasMmx(), hasSse(),
                          hasSse2(), hasSse3(), hasMultiThreading(), hasLongMode(), hasTimeStampCounter()}),
              (std::array{0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(ProcessorSetup, VariantIndexStartsAtOneAndTheDescriptorListHoldsTheOperationFromLoad) {
    EXPECT_EQ(indexAtLoad, 1);
    const FunctionDescriptor& descriptor = filterGaussDescriptor();
    EXPECT_EQ(descriptorListHead(), &descriptor);
    EXPECT_STREQ(descriptor.tag, "i");
    EXPECT_STREQ(descriptor.name, "filterGauss_8u_C4");
    EXPECT_EQ(descriptor.next, nullptr);
    ASSERT_EQ(descriptor.variants, variantTable());
    EXPECT_EQ((std::array{descriptor.variants[0], descriptor.variants[1], descriptor.variants[2],
                          descriptor.variants[3], descriptor.variants[4]}),
              (std::array<FilterGaussFn, 5>{nullptr, filterGaussPortable, filterGaussVariant2,
                                            filterGaussVariant3, filterGaussVariant4}));
    registerFilterGaussDescriptor();
    EXPECT_EQ(descriptorListHead(), &descriptor) << "a repeated registration changes nothing";
    EXPECT_EQ(descriptor.next, nullptr);
    // A push returns the previous head and leaves the pushed descriptor's next alone.
    FunctionDescriptor other{"x", "other", nullptr, nullptr};
    FunctionDescriptor* previous = pushDescriptor(&other);
    EXPECT_EQ(previous, &descriptor);
    EXPECT_EQ(descriptorListHead(), &other);
    EXPECT_EQ(other.next, nullptr);
    EXPECT_EQ(pushDescriptor(previous), &other);
}

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
        {0x10, 0x0001},  {0x08, 0x0004},    {0x04, 0x0008},    {0x02, 0x0010},
        {0x01, 0x0020},  {0x80000, 0x0002}, {0x100, 0x0400},   {0x200, 0x0800},
        {0x300, 0x0C00}, {0x10000, 0x0200}, {0x20000, 0x0000}, {0x40000, 0x1000},
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
    const std::uint32_t original = getX87ControlWord();
    EXPECT_EQ(setX87ControlBits(0x0200, 0x0300), original); // 53-bit precision
    EXPECT_EQ(getX87ControlWord(), (original & ~0x0300u) | 0x0200u);
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
    } rows[] = {{Limits::infinity(), 0, 0},
                {-Limits::infinity(), 0, 0},
                {Limits::quiet_NaN(), 1, 0},
                {Limits::signaling_NaN(), 1, 0},
                {0.0, 0, 1},
                {Limits::max(), 0, 1},
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
