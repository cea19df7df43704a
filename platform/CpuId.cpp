#include "platform/CpuId.h"

#include "platform/Clock.h"

#include <cstring>

#if defined(__x86_64__)
#include <cpuid.h>
#include <x86intrin.h>
#define TROV_X86 1
#endif

namespace trov::platform {

namespace {

#if TROV_X86
// Writes a pattern into the XMM0 image of an FXSAVE area, loads it with FXRSTOR and saves again: only when
// the system has enabled the saving of vector state does the pattern come back.
#define TROV_ALL_XMM                                                                                         \
    "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8", "xmm9", "xmm10", "xmm11",        \
        "xmm12", "xmm13", "xmm14", "xmm15"
bool vectorStateSurvives() {
    alignas(16) unsigned char original[512];
    alignas(16) unsigned char probe[512];
    alignas(16) unsigned char check[512];
    constexpr std::size_t kXmm0 = 160;
    __asm__ volatile("fxsave %0" : "=m"(original));
    std::memcpy(probe, original, sizeof probe);
    for (std::size_t i = 0; i < 16; ++i)
        probe[kXmm0 + i] = static_cast<unsigned char>(0xA5 ^ (i * 17));
    // Restoring an image replaces every vector register, so the compiler must keep nothing in them.
    __asm__ volatile("fxrstor %1\n\tfxsave %0" : "=m"(check) : "m"(probe) : TROV_ALL_XMM);
    __asm__ volatile("fxrstor %0" : : "m"(original) : TROV_ALL_XMM);
    return std::memcmp(check + kXmm0, probe + kXmm0, 16) == 0;
}
#endif

class HardwareCpuId : public CpuIdSource {
public:
    bool hasCpuId() const override {
#if TROV_X86
        return __get_cpuid_max(0, nullptr) != 0;
#else
        return false;
#endif
    }

    CpuIdRegisters query(std::uint32_t leaf) const override {
        CpuIdRegisters r;
#if TROV_X86
        __cpuid_count(leaf, 0, r.eax, r.ebx, r.ecx, r.edx);
#else
        (void)leaf;
#endif
        return r;
    }

    std::uint64_t timeStampCounter() const override {
#if TROV_X86
        return __rdtsc();
#else
        return 0;
#endif
    }

    double referenceSeconds() const override {
        return monotonicSeconds();
    }

    bool savesVectorRegisters() const override {
#if TROV_X86
        return vectorStateSurvives();
#else
        return false;
#endif
    }
};

} // namespace

const CpuIdSource& hardwareCpuId() {
    static const HardwareCpuId source;
    return source;
}

} // namespace trov::platform
