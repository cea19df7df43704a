#include "SmoothingTestSupport.h"

#include "imaging/cpu/CpuidSource.h"
#include "imaging/cpu/FunctionDescriptor.h"
#include "imaging/cpu/ProcessorSetup.h"

#include <gtest/gtest.h>

#include <cstring>

namespace trov::imaging {
namespace {

using namespace testing;

// Read during static initialisation, before any test can change it.
const std::int32_t indexAtLoad = variantIndex();

// A processor described by the fields the set-up looks at.
struct FakeProcessor final : CpuidSource {
    bool cpuid = true;
    const char* vendor = "GenuineIntel";
    std::uint32_t family = 6;
    bool mmx = true, sse = true, sse2 = true, sse3 = false, htt = false, longMode = false;
    std::uint32_t logicalProcessors = 1;
    bool extendedLeaf = true;

    bool idFlagToggles() const override { return cpuid; }
    CpuidRegisters query(std::uint32_t leaf) const override {
        CpuidRegisters r;
        switch (leaf) {
        case 0:
            r.eax = 2;
            std::memcpy(&r.ebx, vendor, 4);
            std::memcpy(&r.edx, vendor + 4, 4);
            std::memcpy(&r.ecx, vendor + 8, 4);
            break;
        case 1:
            r.eax = (family << 8) | (2u << 12) | (5u << 4) | 3u;
            r.ebx = logicalProcessors << 16;
            r.edx = (1u << 4) | (mmx ? 1u << 23 : 0) | (sse ? 1u << 25 : 0) | (sse2 ? 1u << 26 : 0) |
                    (htt ? 1u << 28 : 0);
            r.ecx = sse3 ? 1u : 0;
            break;
        case 2:
            r.eax = 0x665B5001;
            r.edx = 0x007A7000;
            break;
        case 0x80000000u:
            r.eax = extendedLeaf ? 0x80000008u : 0x80000000u;
            break;
        case 0x80000001u:
            r.edx = longMode ? 1u << 29 : 0;
            break;
        default:
            break;
        }
        return r;
    }
};

class PlayedProcessor {
public:
    explicit PlayedProcessor(const FakeProcessor& fake) : previous_(setCpuidSource(&fake)) {}
    ~PlayedProcessor() { setCpuidSource(previous_); }
    PlayedProcessor(const PlayedProcessor&) = delete;
    PlayedProcessor& operator=(const PlayedProcessor&) = delete;

private:
    const CpuidSource* previous_;
};

FakeProcessor processor(std::uint32_t family, bool mmx, bool sse, bool sse2, bool sse3 = false,
                        bool multiThreading = false, bool longMode = false) {
    FakeProcessor p;
    p.family = family;
    p.mmx = mmx;
    p.sse = sse;
    p.sse2 = sse2;
    p.sse3 = sse3;
    p.htt = multiThreading;
    p.logicalProcessors = multiThreading ? 2 : 1;
    p.longMode = longMode;
    return p;
}

struct Row {
    FakeProcessor cpu;
    std::int32_t code;
    std::int32_t variant;
};

TEST(ProcessorSetup, ClassifiesAndSelectsEveryRowOfTheTables) {
    FakeProcessor noCpuid;
    noCpuid.cpuid = false;
    FakeProcessor otherVendor;
    otherVendor.vendor = "AuthenticAMD";
    FakeProcessor htFlagOneLogical = processor(15, true, true, true, false, true);
    htFlagOneLogical.logicalProcessors = 1;

    const Row rows[] = {
        {processor(5, false, false, false), 1, 1},
        {processor(5, true, false, false), 2, 1},
        {processor(6, false, false, false), 3, 1},
        {processor(6, true, false, false), 4, 1},
        {processor(6, true, true, false), 5, 2},
        {processor(6, true, true, true), 9, 3},
        {processor(15, true, true, false), 17, 2},
        {processor(15, true, true, true, false, false), 6, 3},
        {processor(15, true, true, true, false, true), 7, 3},
        {htFlagOneLogical, 6, 3},
        {processor(15, true, true, true, true, false, false), 8, 2},
        {processor(15, true, true, true, true, false, true), 32, 4},
        {processor(7, false, false, false), 16, 2},
        {processor(4, true, true, true), 0, 1},
        {processor(16, true, true, true), 0, 1},
    };
    VariantIndexGuard restore;
    for (const Row& row : rows) {
        PlayedProcessor played(row.cpu);
        EXPECT_EQ(classifyProcessor(), row.code) << "family " << row.cpu.family;
        storeVariantIndex(0);
        EXPECT_EQ(selectVariantForProcessor(), FilterStatus::Ok);
        EXPECT_EQ(variantIndex(), row.variant) << "code " << row.code;
    }
    for (const FakeProcessor& unknown : {noCpuid, otherVendor}) {
        PlayedProcessor played(unknown);
        EXPECT_EQ(classifyProcessor(), 0);
        storeVariantIndex(3);
        EXPECT_EQ(selectVariantForProcessor(), FilterStatus::ProcessorNotRecognised);
        EXPECT_EQ(variantIndex(), 1);
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

TEST(ProcessorSetup, ReadsTheInformationFieldsFromTheirBits) {
    FakeProcessor cpu = processor(15, true, false, true, true, true, true);
    cpu.logicalProcessors = 4;
    PlayedProcessor played(cpu);
    ProcessorInfo info;
    readProcessorInfo(info);
    EXPECT_EQ(info.family, 15);
    EXPECT_EQ(info.stepping, 3);
    EXPECT_EQ(info.model, 5);
    EXPECT_EQ(info.type, 2);
    EXPECT_EQ(info.cacheEax, 0x665B5001);
    EXPECT_EQ(info.cacheEdx, 0x007A7000);
    EXPECT_EQ(info.features, static_cast<std::int32_t>(cpu.query(1).edx));
    EXPECT_EQ(info.mmx, 1);
    EXPECT_EQ(info.sse, 0);
    EXPECT_EQ(info.sse2, 1);
    EXPECT_EQ(info.multiThreading, 1);
    EXPECT_EQ(info.sse3, 1);
    EXPECT_EQ(info.longMode, 1);
    EXPECT_EQ(hasTimeStampCounter(), 1);
    EXPECT_EQ(highestCpuidLeaf(), 2u);

    cpu.extendedLeaf = false;
    readProcessorInfo(info);
    EXPECT_EQ(info.longMode, 0) << "the 64-bit flag needs extended leaf 0x80000001";
    EXPECT_EQ(hasLongMode(), 0);
}

TEST(ProcessorSetup, FeatureQueriesAreZeroWithoutCpuid) {
    FakeProcessor cpu = processor(15, true, true, true, true, true, true);
    cpu.cpuid = false;
    PlayedProcessor played(cpu);
    EXPECT_EQ(hasCpuid(), 0);
    EXPECT_EQ(highestCpuidLeaf(), 0u);
    EXPECT_EQ(hasMmx() + hasSse() + hasSse2() + hasSse3() + hasMultiThreading() + hasLongMode() +
                  hasTimeStampCounter(),
              0);
}

TEST(ProcessorSetup, ThisProcessorHasTheFeaturesEveryX8664ProcessorHas) {
    EXPECT_EQ(hasCpuid(), 1);
    EXPECT_EQ(hasMmx(), 1);
    EXPECT_EQ(hasSse(), 1);
    EXPECT_EQ(hasSse2(), 1);
    EXPECT_EQ(hasLongMode(), 1);
    EXPECT_EQ(hasTimeStampCounter(), 1);
}

TEST(ProcessorSetup, VariantIndexStartsAtOneAndTheDescriptorIsRegisteredAtLoad) {
    EXPECT_EQ(indexAtLoad, 1);
    const FunctionDescriptor& descriptor = filterGaussDescriptor();
    EXPECT_EQ(descriptorListHead(), &descriptor);
    EXPECT_STREQ(descriptor.tag, "i");
    EXPECT_STREQ(descriptor.name, "filterGauss_8u_C4");
    EXPECT_EQ(descriptor.variants, variantTable());
    EXPECT_EQ(descriptor.next, nullptr);
    registerFilterGaussDescriptor();
    EXPECT_EQ(descriptorListHead(), &descriptor) << "a repeated registration changes nothing";
    EXPECT_EQ(descriptor.next, nullptr);
}

TEST(ProcessorSetup, PushDescriptorReturnsThePreviousHeadAndLeavesNextAlone) {
    FunctionDescriptor other{"x", "other", nullptr, nullptr};
    FunctionDescriptor* previous = pushDescriptor(&other);
    EXPECT_EQ(previous, &filterGaussDescriptor());
    EXPECT_EQ(descriptorListHead(), &other);
    EXPECT_EQ(other.next, nullptr);
    EXPECT_EQ(pushDescriptor(previous), &other);
    EXPECT_EQ(descriptorListHead(), &filterGaussDescriptor());
}

TEST(ProcessorSetup, VariantTableHoldsTheImplementationsAfterAnEmptyEntry) {
    const FilterGaussFn* table = variantTable();
    EXPECT_EQ(table[0], nullptr);
    EXPECT_EQ(table[1], &filterGaussPortable);
    EXPECT_EQ(table[2], &filterGaussVariant2);
    EXPECT_NE(table[3], nullptr);
    EXPECT_NE(table[4], nullptr);
}

} // namespace
} // namespace trov::imaging
