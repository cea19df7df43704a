#pragma once

#include "engine/dsp/effects/Bitcrusher.h"

#include <bit>
#include <cstdint>

namespace trov {

// Coarsens the floating-point form itself: one mantissa bit below the kept ones is cleared and exponents
// under a floor flush to zero, so quiet signals lose resolution the way a companding converter's do. The
// amount (0..1) trades kept mantissa bits for a lower exponent floor. Threads as for `Bitcrusher`.
class BitcrusherLog : public Bitcrusher {
public:
    static constexpr std::int32_t kMinBits = 1;
    static constexpr std::int32_t kMaxBits = 24;

    BitcrusherLog(const Module* owner, std::int32_t bits);

    // Kept within 1..24; a change updates.
    void setBits(std::int32_t bits) noexcept override;
    // Kept within 0..1 (NaN reads as 0); a change updates.
    void setAmount(float amount) noexcept;
    void update() noexcept override;
    float quantise(float x) const noexcept override { return quantiseValue(x); }
    std::int32_t process(const IOChannel<float>& in, IOChannel<float>& out) noexcept override;

    std::int32_t getBits() const noexcept { return bits_; }
    float getAmount() const noexcept { return amount_; }
    std::int32_t getExponentFloor() const noexcept { return exponentFloor_; }
    std::int32_t getMantissaBits() const noexcept { return mantissaBits_; }

private:
    float quantiseValue(float x) const noexcept { return crush(x, clearMask_, exponentFloor_); }
    // Without branches, so that block loops vectorise.
    static float crush(float x, std::uint32_t clearMask, std::int32_t exponentFloor) noexcept {
        const auto word = std::bit_cast<std::uint32_t>(x);
        const std::int32_t exponent = static_cast<std::int32_t>((word >> 23) & 0xffu) - 127;
        const std::uint32_t keep = 0u - static_cast<std::uint32_t>(exponent >= exponentFloor);
        return std::bit_cast<float>(word & clearMask & keep);
    }

    std::int32_t bits_ = 0;
    float amount_ = 0.0f;
    std::int32_t exponentFloor_ = 0;
    std::int32_t mantissaBits_ = 0;
    std::uint32_t clearMask_ = ~std::uint32_t{0}; // all bits but the one cleared
};

} // namespace trov
