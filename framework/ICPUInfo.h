#pragma once

#include <cstdint>
#include <string>

namespace trov {

// Queries about the processor the system runs on: identity, features and clock. An implementation object
// is used by one thread at a time.
class ICPUInfo {
public:
    virtual ~ICPUInfo() = default;
    virtual bool identify() = 0;
    virtual std::uint64_t measureClock() = 0;
    virtual std::uint32_t getClockMHz() const = 0;
    virtual std::string getModelName() const = 0;
    virtual std::string getVendor() const = 0;
    virtual std::uint16_t getFamily() const = 0;
    virtual std::uint16_t getModel() const = 0;
    virtual std::uint16_t getStepping() const = 0;
    virtual bool hasMMX() const = 0;
    virtual bool hasSSE() const = 0;
    virtual bool hasSSE2() const = 0;
    virtual bool has3DNow() const = 0;
};

} // namespace trov
