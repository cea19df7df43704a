#pragma once

#include "engine/dsp/oscillators/TriangleSquareWaveLFO.h"
#include "engine/dsp/oscillators/WavetableLFO.h"

namespace trov {

// The one LFO of an instrument engine: a triangle that morphs into a square ("LFOWaveform"), running
// free at a rate from the machine's measured curve ("LFORate") or locked to the host's tempo ("LFOSync"),
// one cycle per "LFORatePPQ" beats. A free rate set while locked is kept for when the lock ends; the
// tempo's rate stays meanwhile.
//
// Owned by its engine, which renders it once per block into its modulation buffer. Parameter messages
// arrive on the thread that changes them (between blocks); `render` runs on the audio thread.
class OstrelLFO : public WavetableLFO {
public:
    explicit OstrelLFO(const Module* owner);
    ~OstrelLFO() override;

    // Tunes in to "LFORate", "LFORatePPQ", "LFOWaveform" and "LFOSync"; each delivers its value at once.
    void init() override;
    bool receive(const Message& message) override;

    // The free-running rate in hertz.
    float getRate() const noexcept { return rate_; }
    bool isSynced() const noexcept { return synced_; }
    TriangleSquareWaveLFO& getShapeSource() noexcept { return shapeSource_; }

private:
    // The "LFORatePPQ" setting as the multiplier; refused values keep the one there is.
    void takeRateMultiplier();

    TriangleSquareWaveLFO shapeSource_;
    float rate_ = 0.0f;
    bool synced_ = false;
};

} // namespace trov
