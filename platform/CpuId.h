#pragma once

#include <cstdint>

namespace trov::platform {

struct CpuIdRegisters {
    std::uint32_t eax = 0;
    std::uint32_t ebx = 0;
    std::uint32_t ecx = 0;
    std::uint32_t edx = 0;
};

// The processor's identification instructions (CPUID, the time-stamp counter) and the clock the counter is
// measured against. The hardware source runs the real instructions; tests substitute a source that
// describes another processor. Any thread.
class CpuIdSource {
public:
    virtual ~CpuIdSource() = default;
    // False when the processor has no CPUID instruction.
    virtual bool hasCpuId() const = 0;
    virtual CpuIdRegisters query(std::uint32_t leaf) const = 0;
    virtual std::uint64_t timeStampCounter() const = 0;
    // Seconds on a steady reference clock.
    virtual double referenceSeconds() const = 0;
    // True when the operating system keeps the vector registers across context switches.
    virtual bool savesVectorRegisters() const = 0;
};

// The running processor.
const CpuIdSource& hardwareCpuId();

} // namespace trov::platform
