#pragma once

#include "imaging/FilterStatus.h"

#include <cstdint>

namespace trov::imaging {

// What readProcessorInfo learns from CPUID. Every flag is 0 or 1.
struct ProcessorInfo {
    std::int32_t family = 0;         // leaf 1 EAX bits 8-11
    std::int32_t stepping = 0;       // bits 0-3
    std::int32_t model = 0;          // bits 4-7
    std::int32_t type = 0;           // bits 12-13
    std::int32_t features = 0;       // leaf 1 EDX
    std::int32_t cacheEax = 0;       // leaf 2 EAX
    std::int32_t cacheEdx = 0;       // leaf 2 EDX
    std::int32_t mmx = 0;            // leaf 1 EDX bit 23
    std::int32_t sse = 0;            // EDX bit 25
    std::int32_t sse2 = 0;           // EDX bit 26
    std::int32_t multiThreading = 0; // EDX bit 28 with more than one logical processor (EBX bits 16-23)
    std::int32_t sse3 = 0;           // leaf 1 ECX bit 0
    std::int32_t longMode = 0;       // extended leaf 0x80000001 EDX bit 29, when that leaf exists
};

// The choice of implementation from what the processor reports (through the CpuIdSource in force).
// Nothing else in the system calls the two select operations; until one runs every call takes variant 1.
// Any thread; the variant index they write is read by concurrent calls without further ordering.

// 1 when the flags register's ID bit can be toggled, else 0.
std::int32_t hasCpuid();
// 1 when CPUID leaf 0 gives the vendor text "GenuineIntel" (EBX, EDX, ECX), else 0.
std::int32_t isGenuineIntel();
void readProcessorInfo(ProcessorInfo& info);
// A processor code from the family and feature flags; 0 for an unknown or non-Intel processor.
std::int32_t classifyProcessor();
// Sets the variant index from classifyProcessor. ProcessorNotRecognised (index 1) without CPUID or for
// another vendor, else Ok.
FilterStatus selectVariantForProcessor();
// Sets the variant index from a processor code -1 to 9; UnknownProcessorCode for any other code, which
// leaves the index alone.
FilterStatus selectVariantByCode(std::int32_t code);

// Single feature queries, each 0 or 1 (0 without CPUID).
std::uint32_t highestCpuIdLeaf();
std::int32_t hasTimeStampCounter();
std::int32_t hasMmx();
std::int32_t hasSse();
std::int32_t hasSse2();
std::int32_t hasMultiThreading();
std::int32_t hasSse3();
std::int32_t hasLongMode();

} // namespace trov::imaging
