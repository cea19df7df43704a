#pragma once

#include "engine/dsp/oscillators/Oscillator.h"

#include <cstdint>
#include <string>

namespace trov {

class Sample;

// Turns one recorded noise (a named resource sample: a machine's note-on, note-off or crosstalk noise)
// into an endless noise that never repeats, by playing random grains of it one after another. Each grain
// is 44 to 4410 frames of the sample (shorter in a shorter sample) and lies inside it; at the sample's root
// frequency (in the module's tuning at the reference pitch, Sample::getRootFrequency) the read position
// advances one frame per output sample.
//
// Owned by a voice; its owner is the module. Threads: built on the thread that builds voices, where a
// missing sample is logged once; `render` and `newGrain` run on the audio thread (noexcept, no allocation,
// no log). The sample is taken only from the samples the resources have loaded, and held until the end.
class GranularNoiseOsc : public Oscillator {
public:
    static constexpr std::int32_t kShortestGrain = 44;
    static constexpr std::int32_t kLongestGrain = 4410;

    GranularNoiseOsc(const Module* owner, const std::string& sampleName);
    // Draws nothing (no drift, no first grain) until `drawRandomState`.
    GranularNoiseOsc(const Module* owner, const std::string& sampleName, DeferRandom defer);
    ~GranularNoiseOsc() override;
    GranularNoiseOsc(const GranularNoiseOsc&) = delete;
    GranularNoiseOsc& operator=(const GranularNoiseOsc&) = delete;

    // A random grain: its length, then its start so that it fits in the sample. Nothing without a sample.
    void newGrain() noexcept;
    // The drift, then the first grain.
    void drawRandomState() noexcept override;
    // False only while the pitch cannot be had (a root frequency or step that is not positive); a player
    // without its sample stays active and renders nothing.
    bool isActive() const noexcept override { return active_; }
    // Adds into the output's valid frames and writes the rest up to its size, which become valid; returns
    // the size. Without a sample (or pitch) the output is left as it was and the result is 0.
    std::int32_t render(IOChannel<float>& out) noexcept override;

    const std::string& getSampleName() const noexcept { return sampleName_; }
    // Null when the sample is missing or holds fewer than 2 frames.
    Sample* getSample() const noexcept { return sample_; }
    // In frames.
    double getPosition() const noexcept { return position_; }
    double getGrainStart() const noexcept { return grainStart_; }
    double getGrainEnd() const noexcept { return grainEnd_; }

private:
    void takeSample();

    std::string sampleName_;
    Sample* sample_ = nullptr; // one reference held
    double position_ = 0.0;
    double grainStart_ = 0.0;
    double grainEnd_ = 0.0;
    bool active_ = true;
};

} // namespace trov
