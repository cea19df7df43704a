#pragma once

#include <cstdint>

namespace trov::imaging {

// The four registers one CPUID leaf returns.
struct CpuIdRegisters {
    std::uint32_t eax = 0;
    std::uint32_t ebx = 0;
    std::uint32_t ecx = 0;
    std::uint32_t edx = 0;
};

// What the processor set-up learns about the processor: whether the flags register's ID bit can be
// toggled (the processor has CPUID) and the leaves of CPUID. The default reads this processor; tests
// install their own to play any processor. Any thread; swap the source only while no set-up runs.
// Same name as platform::CpuIdSource but its own type: imaging depends on nothing of ours, and it asks for
// the flags register's ID bit, which the platform source does not offer.
class CpuIdSource {
public:
    virtual ~CpuIdSource() = default;
    virtual bool idFlagToggles() const = 0;
    // Leaf 0 to the highest standard leaf, and 0x80000000 onwards.
    virtual CpuIdRegisters query(std::uint32_t leaf) const = 0;
};

// Installs `source` (null: this processor) and returns the one it replaces (null for this processor).
const CpuIdSource* setCpuIdSource(const CpuIdSource* source);

// The source in force.
const CpuIdSource& cpuIdSource();

} // namespace trov::imaging
