#include "imaging/cpu/ProcessorSetup.h"

#include "imaging/FilterGauss.h"
#include "imaging/cpu/CpuIdSource.h"

#include <cpuid.h>
#include <x86intrin.h>

#include <atomic>
#include <cstring>

namespace trov::imaging {

namespace {

constexpr unsigned long long kIdFlag = 1ull << 21;

class ThisProcessor final : public CpuIdSource {
public:
    bool idFlagToggles() const override {
        const unsigned long long original = __readeflags();
        __writeeflags(original ^ kIdFlag);
        const unsigned long long toggled = __readeflags();
        __writeeflags(original);
        return ((original ^ toggled) & kIdFlag) != 0;
    }
    CpuIdRegisters query(std::uint32_t leaf) const override {
        CpuIdRegisters r;
        __cpuid_count(leaf, 0, r.eax, r.ebx, r.ecx, r.edx);
        return r;
    }
};

const ThisProcessor thisProcessor;
std::atomic<const CpuIdSource*> installedSource{nullptr};

std::int32_t bit(std::uint32_t word, int index) {
    return static_cast<std::int32_t>((word >> index) & 1u);
}

// A leaf-1 flag, 0 without CPUID.
std::int32_t leaf1Edx(int index) {
    return hasCpuid() ? bit(cpuIdSource().query(1).edx, index) : 0;
}

std::int32_t multiThreadingOf(const CpuIdRegisters& leaf1) {
    return bit(leaf1.edx, 28) && ((leaf1.ebx >> 16) & 0xFFu) > 1 ? 1 : 0;
}

std::int32_t longModeOf(const CpuIdSource& cpuid) {
    if (cpuid.query(0x80000000u).eax < 0x80000001u)
        return 0;
    return bit(cpuid.query(0x80000001u).edx, 29);
}

std::int32_t variantForProcessorCode(std::int32_t code) {
    switch (code) {
    case 5:
    case 8:
    case 16:
    case 17:
        return 2;
    case 6:
    case 7:
    case 9:
        return 3;
    case 32:
        return 4;
    default:
        return 1;
    }
}

} // namespace

const CpuIdSource* setCpuIdSource(const CpuIdSource* source) {
    return installedSource.exchange(source, std::memory_order_acq_rel);
}

const CpuIdSource& cpuIdSource() {
    const CpuIdSource* source = installedSource.load(std::memory_order_acquire);
    return source ? *source : thisProcessor;
}

std::int32_t hasCpuid() {
    return cpuIdSource().idFlagToggles() ? 1 : 0;
}

std::int32_t isGenuineIntel() {
    const CpuIdRegisters leaf0 = cpuIdSource().query(0);
    char vendor[12];
    std::memcpy(vendor, &leaf0.ebx, 4);
    std::memcpy(vendor + 4, &leaf0.edx, 4);
    std::memcpy(vendor + 8, &leaf0.ecx, 4);
    return std::memcmp(vendor, "GenuineIntel", 12) == 0 ? 1 : 0;
}

void readProcessorInfo(ProcessorInfo& info) {
    const CpuIdSource& cpuid = cpuIdSource();
    const CpuIdRegisters leaf1 = cpuid.query(1);
    const CpuIdRegisters leaf2 = cpuid.query(2);
    info.family = static_cast<std::int32_t>((leaf1.eax >> 8) & 0xFu);
    info.stepping = static_cast<std::int32_t>(leaf1.eax & 0xFu);
    info.model = static_cast<std::int32_t>((leaf1.eax >> 4) & 0xFu);
    info.type = static_cast<std::int32_t>((leaf1.eax >> 12) & 0x3u);
    info.features = static_cast<std::int32_t>(leaf1.edx);
    info.cacheEax = static_cast<std::int32_t>(leaf2.eax);
    info.cacheEdx = static_cast<std::int32_t>(leaf2.edx);
    info.mmx = bit(leaf1.edx, 23);
    info.sse = bit(leaf1.edx, 25);
    info.sse2 = bit(leaf1.edx, 26);
    info.multiThreading = multiThreadingOf(leaf1);
    info.sse3 = bit(leaf1.ecx, 0);
    info.longMode = longModeOf(cpuid);
}

std::int32_t classifyProcessor() {
    if (!hasCpuid() || !isGenuineIntel())
        return 0;
    ProcessorInfo p;
    readProcessorInfo(p);
    switch (p.family) {
    case 5:
        return p.mmx ? 2 : 1;
    case 6:
        if (!p.mmx)
            return 3;
        if (!p.sse)
            return 4;
        return p.sse2 ? 9 : 5;
    case 15:
        if (!p.sse2)
            return 17;
        if (!p.sse3)
            return p.multiThreading ? 7 : 6;
        return p.longMode ? 32 : 8;
    case 7:
        return 16;
    default:
        return 0;
    }
}

FilterStatus selectVariantForProcessor() {
    const std::int32_t code = classifyProcessor();
    if (!hasCpuid() || !isGenuineIntel()) {
        storeVariantIndex(1);
        return FilterStatus::ProcessorNotRecognised;
    }
    storeVariantIndex(variantForProcessorCode(code));
    return FilterStatus::Ok;
}

FilterStatus selectVariantByCode(std::int32_t code) {
    // Codes -1 to 9 name variants 0, 1, 1, 1, 1, 1, 2, 3, 3, 4, 3. Code 8 gives 4 here but 2 from the
    // processor set-up; code 32 exists only there.
    static constexpr std::int32_t kVariantByCode[11] = {0, 1, 1, 1, 1, 1, 2, 3, 3, 4, 3};
    if (code < -1 || code > 9)
        return FilterStatus::UnknownProcessorCode;
    storeVariantIndex(kVariantByCode[code + 1]);
    return FilterStatus::Ok;
}

std::uint32_t highestCpuIdLeaf() {
    return hasCpuid() ? cpuIdSource().query(0).eax : 0;
}
std::int32_t hasTimeStampCounter() {
    return leaf1Edx(4);
}
std::int32_t hasMmx() {
    return leaf1Edx(23);
}
std::int32_t hasSse() {
    return leaf1Edx(25);
}
std::int32_t hasSse2() {
    return leaf1Edx(26);
}
std::int32_t hasMultiThreading() {
    return hasCpuid() ? multiThreadingOf(cpuIdSource().query(1)) : 0;
}
std::int32_t hasSse3() {
    return hasCpuid() ? bit(cpuIdSource().query(1).ecx, 0) : 0;
}
std::int32_t hasLongMode() {
    return hasCpuid() ? longModeOf(cpuIdSource()) : 0;
}

} // namespace trov::imaging
