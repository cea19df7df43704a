#include "framework/CPUAssembly.h"

#include "framework/InstructionSet.h"
#include "framework/System.h"
#include "platform/CpuId.h"

#include <cstring>
#include <string_view>

namespace trov {

namespace {

constexpr std::uint32_t bit(unsigned n) {
    return std::uint32_t{1} << n;
}

// Names by model number; an empty entry is a model the table does not know.
std::string byModel(std::initializer_list<const char*> names, unsigned model) {
    if (model >= names.size())
        return "unknown";
    const char* name = names.begin()[model];
    return name[0] != '\0' ? std::string(name) : std::string("unknown");
}

std::string intelName(unsigned family, unsigned model, unsigned extendedFamily, unsigned extendedModel) {
    switch (family) {
    case 4:
        return byModel({"INTEL 486 DX-25/33", "INTEL 486 DX-50", "INTEL 486 SX", "INTEL 486 DX2",
                        "INTEL 486 SL", "INTEL 486 SX2", "", "INTEL 486 DX2-WB", "INTEL 486 DX4",
                        "INTEL 486 DX4-WB"},
                       model);
    case 5:
        return byModel({"INTEL Pentium 60/66 A-step", "INTEL Pentium 60/66", "INTEL Pentium 75-200",
                        "INTEL OverDrive PODP5V83", "INTEL Pentium MMX", "", "",
                        "INTEL Mobile Pentium 75-200", "INTEL Mobile Pentium MMX"},
                       model);
    case 6:
        // Later family-6 processors carry their model's high bits in the extended model; the table
        // predates them, and naming them after an early model with the same low bits would be wrong.
        if (extendedModel != 0)
            return "unknown";
        return byModel({"", "INTEL  Pentium Pro A-Step", "INTEL  Pentium Pro", "INTEL  Pentium II Klamath",
                        "", "INTEL  Pentium II Deschutes", "INTEL  Celeron Mendocino",
                        "INTEL  Pentium III Katmai", "INTEL  Pentium III Coppermine",
                        "INTEL  Mobile Pentium III", "INTEL  Pentium III (0.18um)",
                        "INTEL  Pentium III (0.13um)"},
                       model);
    case 7:
        return "INTEL Itanium";
    case 15:
        if (extendedFamily == 1)
            return "INTEL Itanium 2 (IA-64)";
        if (extendedFamily == 0)
            return byModel({"INTEL Pentium IV (0.18 \u00B5m)", "INTEL Pentium IV (0.18 \u00B5m)",
                            "INTEL Pentium IV (0.13 \u00B5m)", "INTEL Pentium IV (0.09 \u00B5m)"},
                           extendedModel);
        return "unknown";
    default:
        return "unknown";
    }
}

std::string amdName(unsigned family, unsigned model, unsigned extendedFamily, unsigned extendedModel) {
    switch (family) {
    case 4:
        return byModel({"", "", "", "AMD 486 DX2", "", "", "", "AMD 486 DX2-WB", "AMD 486 DX4",
                        "AMD 486 DX4-WB", "", "", "", "", "AMD Am5x86-WT", "AMD Am5x86-WB"},
                       model);
    case 5:
        return byModel({"AMD K5 SSA5", "AMD K5", "AMD K5", "AMD K5", "", "", "AMD K6", "AMD K6", "AMD K6-2",
                        "AMD K6-3", "", "", "", "AMD K6-3+"},
                       model);
    case 6:
        return byModel({"AMD Athlon (25um)", "AMD Athlon (25um)", "AMD Athlon (18um)", "AMD Duron",
                        "AMD Athlon Thunderbird", "", "AMD Athlon Palamino", "AMD Duron Morgan",
                        "AMD Athlon Thoroughbred", "", "AMD Athlon Barton"},
                       model);
    case 15:
        if (extendedFamily != 0)
            return "unknown";
        return byModel({"", "", "", "", "AMD Athlon 64", "AMD Athlon 64FX Operon"}, extendedModel);
    default:
        return "unknown";
    }
}

} // namespace

CPUAssembly::CPUAssembly() : CPUAssembly(platform::hardwareCpuId()) {}

CPUAssembly::CPUAssembly(const platform::CpuIdSource& source) : source_(&source) {}

bool CPUAssembly::isCPUIDSupported() const {
    return source_->hasCpuId();
}

bool CPUAssembly::identify() {
    if (!isCPUIDSupported())
        return false;
    const platform::CpuIdRegisters leaf0 = source_->query(0);
    maxLeaf_ = leaf0.eax;
    std::memcpy(vendor_, &leaf0.ebx, 4);
    std::memcpy(vendor_ + 4, &leaf0.edx, 4);
    std::memcpy(vendor_ + 8, &leaf0.ecx, 4);
    vendor_[12] = '\0';

    signature_ = 0;
    featureEdx_ = 0;
    if (maxLeaf_ >= 1) {
        const platform::CpuIdRegisters leaf1 = source_->query(1);
        signature_ = leaf1.eax;
        featureEdx_ = leaf1.edx;
    }
    stepping_ = static_cast<std::uint16_t>(signature_ & 0xF);
    model_ = static_cast<std::uint16_t>((signature_ >> 4) & 0xF);
    family_ = static_cast<std::uint16_t>((signature_ >> 8) & 0xF);
    extendedFamily_ = 0;
    extendedModel_ = 0;
    if (family_ == 15)
        extendedFamily_ = static_cast<std::uint16_t>((signature_ >> 20) & 0xFF);
    if (family_ == 15 || (family_ == 6 && std::string_view(vendor_) == "GenuineIntel"))
        extendedModel_ = static_cast<std::uint16_t>((signature_ >> 16) & 0xF);

    features_ = 0;
    if (featureEdx_ & bit(23))
        features_ |= kMMX;
    if (featureEdx_ & bit(25))
        features_ |= kSSE;
    if (featureEdx_ & bit(26))
        features_ |= kSSE2;
    if (source_->query(0x80000000u).eax >= 0x80000001u && (source_->query(0x80000001u).edx & bit(31)))
        features_ |= k3DNow;

    clockTicks_ = measureClock();
    modelName_ = lookupModelName(vendor_, family_, model_, extendedFamily_, extendedModel_);
    return true;
}

std::uint64_t CPUAssembly::measureClock() {
    const double start = source_->referenceSeconds();
    const std::uint64_t first = source_->timeStampCounter();
    while (source_->referenceSeconds() - start < 1.0) {
    }
    return source_->timeStampCounter() - first;
}

std::uint32_t CPUAssembly::getClockMHz() const {
    return static_cast<std::uint32_t>(clockTicks_ / 1000000u);
}

std::string CPUAssembly::lookupModelName(const std::string& vendor, unsigned family, unsigned model,
                                         unsigned extendedFamily, unsigned extendedModel) {
    if (vendor == "GenuineIntel")
        return intelName(family, model, extendedFamily, extendedModel);
    if (vendor == "AuthenticAMD")
        return amdName(family, model, extendedFamily, extendedModel);
    if (vendor == "CyrixInstead")
        return "Cyrix";
    if (vendor == "CentaurHauls")
        return "Centaur";
    return "unknown";
}

int instructionSet(const platform::CpuIdSource& source) {
    if (!source.hasCpuId() || source.query(0).eax == 0)
        return 0;
    const platform::CpuIdRegisters leaf1 = source.query(1);
    if (!(leaf1.edx & bit(23)))
        return 0;
    if (!(leaf1.edx & bit(15)))
        return 1;
    if (!(leaf1.edx & bit(24)) || !(leaf1.edx & bit(25)))
        return 2;
    int level = 3;
    if (leaf1.edx & bit(26)) {
        level = 4;
        if (leaf1.ecx & bit(0))
            level = 5;
    }
    return source.savesVectorRegisters() ? level : 2;
}

int instructionSet() {
    static const int level = instructionSet(platform::hardwareCpuId());
    return level;
}

std::string getCPUDescription() {
    // Identifying measures the clock for a second; the processor does not change, so do it once.
    static const std::string description = [] {
        CPUAssembly cpu;
        if (!cpu.identify())
            return std::string("unknown @ 0MHz");
        return cpu.getModelName() + " @ " + std::to_string(cpu.getClockMHz()) + "MHz";
    }();
    return description;
}

} // namespace trov
