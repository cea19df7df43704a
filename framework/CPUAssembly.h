#pragma once

#include "framework/ICPUInfo.h"

#include <cstdint>
#include <string>

namespace trov {

namespace platform {
class CpuIdSource;
}

// Identifies the processor from its CPUID leaves, measures its clock against the time-stamp counter and
// names the model for the start-up report. One object per thread; `identify` busy-waits for one second
// while it measures the clock.
class CPUAssembly : public ICPUInfo {
public:
    enum Feature : std::uint32_t { kMMX = 1, k3DNow = 2, kSSE = 4, kSSE2 = 8 };

    // Reads the running processor unless another source is given (not owned; it must outlive this object).
    CPUAssembly();
    explicit CPUAssembly(const platform::CpuIdSource& source);

    bool isCPUIDSupported() const;
    bool identify() override;
    std::uint64_t measureClock() override;
    std::uint32_t getClockMHz() const override;
    std::string getModelName() const override { return modelName_; }
    std::string getVendor() const override { return vendor_; }
    std::uint16_t getFamily() const override { return family_; }
    std::uint16_t getModel() const override { return model_; }
    std::uint16_t getStepping() const override { return stepping_; }
    bool hasMMX() const override { return (features_ & kMMX) != 0; }
    bool hasSSE() const override { return (features_ & kSSE) != 0; }
    bool hasSSE2() const override { return (features_ & kSSE2) != 0; }
    bool has3DNow() const override { return (features_ & k3DNow) != 0; }

    std::uint16_t getExtendedFamily() const { return extendedFamily_; }
    std::uint16_t getExtendedModel() const { return extendedModel_; }
    std::uint64_t getClockTicks() const { return clockTicks_; }

    // The model's name from the table of known processors, "unknown" for any other.
    static std::string lookupModelName(const std::string& vendor, unsigned family, unsigned model,
                                       unsigned extendedFamily, unsigned extendedModel);

private:
    const platform::CpuIdSource* source_;
    char vendor_[13] = {};
    std::uint32_t maxLeaf_ = 0;
    std::uint32_t signature_ = 0;
    std::uint32_t featureEdx_ = 0;
    std::uint64_t clockTicks_ = 0;
    std::uint16_t family_ = 0;
    std::uint16_t model_ = 0;
    std::uint16_t stepping_ = 0;
    std::uint16_t extendedFamily_ = 0;
    std::uint16_t extendedModel_ = 0;
    std::uint32_t features_ = 0;
    std::string modelName_;
};

} // namespace trov
