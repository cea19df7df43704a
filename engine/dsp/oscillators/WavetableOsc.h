#pragma once

#include "engine/dsp/effects/OversamplingFilter.h"
#include "engine/dsp/oscillators/Oscillator.h"
#include "engine/dsp/oscillators/Wavetable.h"

#include <array>
#include <cstdint>
#include <memory>

namespace trov {

// An oscillator that reads a band-limited one-cycle table with a fixed-point phase (ifloat<22>: 10
// fraction bits), oversampled and decimated back to the output rate. Below its reference frequency the
// cycle wraps early: the period stays that of the reference and only part of the table is read.
//
// Owned by the voice or engine that made it; it owns its table. Settings change between blocks; `render`
// runs on the audio thread (noexcept, no allocation, lock or log).
class WavetableOsc : public Oscillator {
public:
    // Oversampling factors: powers of two up to this, one decimator stage per factor of two.
    static constexpr int kMaxOversampling = 16;

    WavetableOsc(const Module* owner, std::unique_ptr<Wavetable> table);
    ~WavetableOsc() override;

    // Rescales the table's values, then stores the range. An empty or non-finite range is ignored.
    void setRange(float min, float max) override;
    // Powers of two from 1 to 16; other factors are ignored.
    void setOversampling(int factor) override;
    // True with a table that has values.
    bool isActive() const noexcept override;
    // Writes the block, or adds to it when the channel already holds valid frames. Without table values
    // the channel gets no valid frames and the result is 0.
    std::int32_t render(IOChannel<float>& out) noexcept override;

    Wavetable* getWavetable() const noexcept { return table_; }

protected:
    static constexpr int kFractionBits = 10;
    static constexpr std::uint32_t kFractionMask = (1u << kFractionBits) - 1;

    // Reads another table from now on (not owned).
    void readWavetable(Wavetable* table) noexcept { table_ = table; }
    // The table brought up to date and its level selected for the frequency; its length, 0 when it has no
    // values. The phase is rescaled when the length changed, so it stays at the same point of the cycle.
    std::int32_t prepareTable(float frequency) noexcept;
    // Linear interpolation between the value at the phase's index and the next (the guard at the end).
    static float readAt(const float* data, std::uint32_t phase) noexcept {
        const std::size_t index = phase >> kFractionBits;
        const float weight = static_cast<float>(phase & kFractionMask) * (1.0f / 1024.0f);
        return data[index] + (data[index + 1] - data[index]) * weight;
    }

    std::uint32_t phase_ = 0;

private:
    std::unique_ptr<Wavetable> ownedTable_;
    Wavetable* table_;
    std::int32_t phaseLength_ = 0; // the level length the phase counts in
    std::array<OversamplingFilter, 4> decimators_;
};

} // namespace trov
