#pragma once

#include "engine/dsp/oscillators/WavetableOsc.h"

namespace trov {

// A low-frequency oscillator reading a wavetable (usually one it does not own), one value per output
// sample without oversampling. Free running, its phase runs on from block to block; retriggered, every
// block starts at the phase the host's song position gives, one cycle lasting `rate multiplier` beats.
//
// Owned by its engine. Settings change between blocks; `render` runs on the audio thread (noexcept, no
// allocation, lock or log).
class WavetableLFO : public WavetableOsc {
public:
    explicit WavetableLFO(const Module* owner, std::unique_ptr<Wavetable> table = nullptr);
    ~WavetableLFO() override;

    // Reads this table from now on; it stays its owner's.
    virtual void setWavetable(Wavetable* table) noexcept { readWavetable(table); }

    void setRetrigger(bool retrigger) noexcept { retrigger_ = retrigger; }
    bool getRetrigger() const noexcept { return retrigger_; }
    // Beats per cycle when retriggered. Only finite values above 0 are taken (false otherwise).
    bool setRateMultiplier(double multiplier) noexcept;
    double getRateMultiplier() const noexcept { return rateMultiplier_; }

    // Writes one block (the values of the table's range). Without table values the channel gets no valid
    // frames and the result is 0.
    std::int32_t render(IOChannel<float>& out) noexcept override;

private:
    // The fraction of a cycle the host's song position stands at; 0 without a host.
    double songCycleFraction() const noexcept;

    bool retrigger_ = false;
    double rateMultiplier_ = 1.0;
};

} // namespace trov
