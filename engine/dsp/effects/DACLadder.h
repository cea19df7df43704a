#pragma once

#include "engine/dsp/effects/Effect.h"

#include <cstdint>
#include <vector>

namespace trov {

// The static error of an imperfect resistor-ladder converter: each bit's weight carries a random error
// drawn once (up to the full tolerance on the lower half of the bits, half of it on the upper half), and
// every output code is off by the sum of the errors of its set bits.
// Owned by the voice that chains it. The table is built on the thread that sets the voice up (it draws
// random numbers and may allocate); `process` runs on the audio thread (noexcept, no allocation).
class DACLadder : public Effect {
public:
    static constexpr std::int32_t kDefaultBits = 8;
    static constexpr float kDefaultTolerance = 0.05f;
    // The table holds 2^bits entries.
    static constexpr std::int32_t kMaxBits = 16;

    // Made without drawing: the bit errors are 0 until `drawErrors` (the process-wide generator's sequence
    // stays that of a ladder made when its first user starts).
    struct DeferDraw {};

    explicit DACLadder(const Module* owner);
    DACLadder(const Module* owner, DeferDraw);

    // A changed, finite tolerance is stored and the table rebuilt for the current bits; without draw, only
    // stored for the next draw.
    void setTolerance(float tolerance, bool draw = true);
    float getTolerance() const noexcept { return tolerance_; }
    // Draws new bit errors for bits kept within 1..16 and tabulates every code's error.
    void buildTable(std::int32_t bits);
    // Draws new bit errors for the current bits and tolerance and tabulates them in place: no allocation.
    void drawErrors() noexcept;
    std::int32_t getBits() const noexcept { return bits_; }
    // The error of one bit's weight, as drawn; 0 outside the bits.
    float getBitError(std::int32_t bit) const noexcept;

    std::int32_t render(IOChannel<float>& out) noexcept override { return out.setValidFrames(0); }
    // out = x + the error of the code x converts to, over the input's valid frames.
    std::int32_t process(const IOChannel<float>& in, IOChannel<float>& out) noexcept override;

private:
    // Sizes the bit errors and the table for the bits (all 0).
    void sizeTable(std::int32_t bits);

    std::int32_t bits_ = kDefaultBits;
    float tolerance_ = kDefaultTolerance;
    std::vector<float> errors_; // one per bit
    std::vector<float> table_;  // one per code
};

} // namespace trov
