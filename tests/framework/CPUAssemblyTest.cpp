#include "framework/CPUAssembly.h"
#include "framework/InstructionSet.h"
#include "framework/System.h"
#include "platform/CpuId.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <regex>

namespace trov {
namespace {

// A processor described by its CPUID leaves and a clock that advances a quarter of a second per reading.
class FakeCpu : public platform::CpuIdSource {
public:
    FakeCpu(const char* vendor, std::uint32_t signature, std::uint32_t edx = 0, std::uint32_t ecx = 0) {
        leaves[0].eax = 1;
        std::memcpy(&leaves[0].ebx, vendor, 4);
        std::memcpy(&leaves[0].edx, vendor + 4, 4);
        std::memcpy(&leaves[0].ecx, vendor + 8, 4);
        leaves[1] = {signature, 0, ecx, edx};
    }
    bool hasCpuId() const override { return cpuid; }
    platform::CpuIdRegisters query(std::uint32_t leaf) const override {
        const auto it = leaves.find(leaf);
        return it != leaves.end() ? it->second : platform::CpuIdRegisters{};
    }
    std::uint64_t timeStampCounter() const override { return static_cast<std::uint64_t>(now * hertz); }
    double referenceSeconds() const override { return now += 0.25; }
    bool savesVectorRegisters() const override { return vectorState; }

    std::map<std::uint32_t, platform::CpuIdRegisters> leaves;
    bool cpuid = true;
    bool vectorState = true;
    double hertz = 1e9;
    mutable double now = 100.0;
};

constexpr std::uint32_t signature(unsigned family, unsigned model, unsigned extendedFamily = 0,
                                  unsigned extendedModel = 0, unsigned stepping = 0) {
    return stepping | (model << 4) | (family << 8) | (extendedModel << 16) | (extendedFamily << 20);
}

TEST(CPUAssembly, NamesProcessorsFromTheirSignatureAndOthersUnknown) {
    const struct {
        const char* vendor;
        std::uint32_t signature;
        const char* name;
    } cases[] = {
        {"GenuineIntel", signature(4, 0), "INTEL 486 DX-25/33"},
        {"GenuineIntel", signature(4, 9), "INTEL 486 DX4-WB"},
        {"GenuineIntel", signature(5, 4), "INTEL Pentium MMX"},
        {"GenuineIntel", signature(6, 7), "INTEL  Pentium III Katmai"},
        {"GenuineIntel", signature(6, 11), "INTEL  Pentium III (0.13um)"},
        {"GenuineIntel", signature(7, 3), "INTEL Itanium"},
        {"GenuineIntel", signature(15, 0, 0, 1), "INTEL Pentium IV (0.18 \u00B5m)"},
        {"GenuineIntel", signature(15, 2, 0, 3), "INTEL Pentium IV (0.09 \u00B5m)"},
        {"GenuineIntel", signature(15, 0, 1), "INTEL Itanium 2 (IA-64)"},
        {"AuthenticAMD", signature(4, 14), "AMD Am5x86-WT"},
        {"AuthenticAMD", signature(5, 0), "AMD K5 SSA5"},
        {"AuthenticAMD", signature(5, 3), "AMD K5"},
        {"AuthenticAMD", signature(5, 7), "AMD K6"},
        {"AuthenticAMD", signature(5, 13), "AMD K6-3+"},
        {"AuthenticAMD", signature(6, 1), "AMD Athlon (25um)"},
        {"AuthenticAMD", signature(6, 10), "AMD Athlon Barton"},
        {"AuthenticAMD", signature(15, 0, 0, 5), "AMD Athlon 64FX Operon"},
        {"CyrixInstead", signature(5, 2), "Cyrix"},
        {"CentaurHauls", signature(6, 9), "Centaur"},
        {"GenuineIntel", signature(6, 4), "unknown"},
        {"GenuineIntel", signature(6, 13), "unknown"},
        // A current family-6 part: its low model bits alone would name a Pentium III.
        {"GenuineIntel", signature(6, 7, 0, 10), "unknown"},
        {"GenuineIntel", signature(4, 6), "unknown"},
        {"AuthenticAMD", signature(15, 0, 0, 6), "unknown"},
        {"AuthenticAMD", signature(15, 1, 8, 7), "unknown"},
        {"AuthenticAMD", signature(5, 4), "unknown"},
        {"HygonGenuine", signature(15, 0, 9), "unknown"},
    };
    for (const auto& c : cases) {
        FakeCpu cpu(c.vendor, c.signature);
        CPUAssembly assembly(cpu);
        EXPECT_TRUE(assembly.identify());
        EXPECT_EQ(assembly.getModelName(), c.name) << c.vendor << " " << std::hex << c.signature;
    }
}

TEST(CPUAssembly, SplitsTheSignatureAndReadsTheFeatureFlags) {
    FakeCpu cpu("AuthenticAMD", signature(15, 11, 0, 4, 2), (1u << 23) | (1u << 25));
    cpu.leaves[0x80000000u] = {0x80000001u, 0, 0, 0};
    cpu.leaves[0x80000001u] = {0, 0, 0, 1u << 31};
    CPUAssembly assembly(cpu);
    ASSERT_TRUE(assembly.identify());
    EXPECT_EQ(assembly.getVendor(), "AuthenticAMD");
    EXPECT_EQ(assembly.getFamily(), 15);
    EXPECT_EQ(assembly.getModel(), 11);
    EXPECT_EQ(assembly.getStepping(), 2);
    EXPECT_EQ(assembly.getExtendedModel(), 4);
    EXPECT_TRUE(assembly.hasMMX());
    EXPECT_TRUE(assembly.hasSSE());
    EXPECT_FALSE(assembly.hasSSE2());
    EXPECT_TRUE(assembly.has3DNow());

    // 3DNow! is asked for only when the extended leaf exists.
    cpu.leaves[0x80000000u] = {0x80000000u, 0, 0, 0};
    ASSERT_TRUE(assembly.identify());
    EXPECT_FALSE(assembly.has3DNow());
}

TEST(CPUAssembly, ClockInMegahertzUsesAllSixtyFourBitsOfTheTicks) {
    FakeCpu cpu("GenuineIntel", signature(6, 8));
    CPUAssembly assembly(cpu);
    for (double hertz : {3e9, 5.2e9}) { // 5.2 GHz: more ticks in a second than 32 bits hold
        cpu.hertz = hertz;
        ASSERT_TRUE(assembly.identify());
        EXPECT_EQ(assembly.getClockMHz(), static_cast<std::uint32_t>(hertz / 1e6));
    }
}

TEST(CPUAssembly, WithoutCpuidNothingIsIdentifiedAndTheLevelIsZero) {
    FakeCpu cpu("GenuineIntel", signature(6, 8), 0xFFFFFFFFu, 1);
    cpu.cpuid = false;
    CPUAssembly assembly(cpu);
    EXPECT_FALSE(assembly.isCPUIDSupported());
    EXPECT_FALSE(assembly.identify());
    EXPECT_EQ(instructionSet(cpu), 0);
}

TEST(InstructionSet, RisesWithEachFeatureAndFallsBackWhenVectorStateIsNotKept) {
    const std::uint32_t mmx = 1u << 23;
    const std::uint32_t cmov = 1u << 15;
    const std::uint32_t fxsr = 1u << 24;
    const std::uint32_t sse = 1u << 25;
    const std::uint32_t sse2 = 1u << 26;
    EXPECT_EQ(instructionSet(FakeCpu("GenuineIntel", 0, 0)), 0);
    EXPECT_EQ(instructionSet(FakeCpu("GenuineIntel", 0, cmov | fxsr | sse)), 0) << "no MMX, nothing";
    EXPECT_EQ(instructionSet(FakeCpu("GenuineIntel", 0, mmx)), 1);
    EXPECT_EQ(instructionSet(FakeCpu("GenuineIntel", 0, mmx | cmov | sse)), 2) << "SSE without FXSAVE";
    EXPECT_EQ(instructionSet(FakeCpu("GenuineIntel", 0, mmx | cmov | fxsr | sse)), 3);
    EXPECT_EQ(instructionSet(FakeCpu("GenuineIntel", 0, mmx | cmov | fxsr | sse | sse2)), 4);
    EXPECT_EQ(instructionSet(FakeCpu("GenuineIntel", 0, mmx | cmov | fxsr | sse | sse2, 1)), 5);
    FakeCpu unsaved("GenuineIntel", 0, mmx | cmov | fxsr | sse | sse2, 1);
    unsaved.vectorState = false;
    EXPECT_EQ(instructionSet(unsaved), 2);
    FakeCpu noLeaves("GenuineIntel", 0, mmx | cmov);
    noLeaves.leaves[0].eax = 0;
    EXPECT_EQ(instructionSet(noLeaves), 0);
}

#if defined(__x86_64__)
TEST(InstructionSet, ThisProcessorHasAtLeastSSE2AndKeepsItsVectorRegisters) {
    EXPECT_GE(instructionSet(), 4);
    EXPECT_TRUE(platform::hardwareCpuId().savesVectorRegisters());
}
#endif

TEST(CPUAssembly, DescriptionNamesTheModelAndTheClock) {
    const std::string description = getCPUDescription();
    EXPECT_TRUE(std::regex_match(description, std::regex(".+ @ [0-9]+MHz"))) << description;
    EXPECT_EQ(getCPUDescription(), description);
}

} // namespace
} // namespace trov
