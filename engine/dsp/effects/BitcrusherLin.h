#pragma once

#include "engine/dsp/FloatIndex.h"
#include "engine/dsp/effects/Bitcrusher.h"

#include <cstdint>

namespace trov {

// Quantises to a uniform grid of 2^bits levels per unit (steps of 2^-bits), as a linear converter of that
// many bits would. Threads as for `Bitcrusher`.
class BitcrusherLin : public Bitcrusher {
public:
    static constexpr std::int32_t kMinBits = 1;
    // A float's mantissa holds 24 bits; finer grids would change nothing.
    static constexpr std::int32_t kMaxBits = 24;

    BitcrusherLin(const Module* owner, std::int32_t bits);

    // Kept within 1..24.
    void setBits(std::int32_t bits) noexcept override;
    float quantise(float x) const noexcept override { return quantiseValue(x); }
    std::int32_t process(const IOChannel<float>& in, IOChannel<float>& out) noexcept override;

    std::int32_t getBits() const noexcept { return bits_; }
    float getLevels() const noexcept { return levels_; }
    float getStep() const noexcept { return step_; }

private:
    float quantiseValue(float x) const noexcept { return roundHalfEven(levels_ * x) * step_; }

    std::int32_t bits_ = 0;
    float levels_ = 1.0f;
    float step_ = 1.0f;
};

} // namespace trov
