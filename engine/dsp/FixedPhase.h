#pragma once

#include <cmath>
#include <cstdint>

namespace trov {

// An unsigned 32-bit fixed-point number with IntegerBits integer bits and the rest fraction bits: the phase
// of the table readers (ifloat<22>: 22 integer bits, 10 fraction bits, 1.0 = 1024). Built from a double by
// taking the integer below it and the truncated fraction; values are clamped into the representable range
// first, so NaN, infinite and huge values never wrap into an index.
template <int IntegerBits> class ifloat {
public:
    static constexpr int kFractionBits = 32 - IntegerBits;
    static constexpr std::uint32_t kOne = std::uint32_t{1} << kFractionBits;
    static constexpr std::uint32_t kFractionMask = kOne - 1;

    constexpr ifloat() noexcept = default;
    explicit ifloat(double v) noexcept : value_(fromDouble(v)) {}

    static constexpr ifloat fromRaw(std::uint32_t raw) noexcept {
        ifloat result;
        result.value_ = raw;
        return result;
    }

    constexpr std::uint32_t raw() const noexcept { return value_; }
    constexpr std::uint32_t integer() const noexcept { return value_ >> kFractionBits; }
    constexpr std::uint32_t fraction() const noexcept { return value_ & kFractionMask; }

private:
    static std::uint32_t fromDouble(double v) noexcept {
        constexpr double kLimit = static_cast<double>(std::uint32_t{1} << (IntegerBits - 1)) * 2.0;
        if (!(v > 0.0)) // NaN and negatives
            return 0;
        if (v >= kLimit)
            return UINT32_MAX;
        const double whole = std::floor(v);
        const auto i = static_cast<std::uint32_t>(whole);
        const auto f = static_cast<std::uint32_t>((v - whole) * static_cast<double>(kOne));
        return (i << kFractionBits) + f;
    }

    std::uint32_t value_ = 0;
};

} // namespace trov
