#pragma once

#include "engine/io/IOChannel.h"
#include "framework/Radio.h"

#include <cstdint>
#include <vector>

namespace trov {

// The base of every signal generator of the engine (sample player, granular noise, wavetable oscillators
// and LFOs): sample rate, amplitude, output range, oversampling factor with its work buffer, two base
// frequencies, two frequency multipliers and a slow random pitch drift that imitates an analog oscillator.
//
// Owned by the voice or engine that made it; its owner is the module. The sample rate follows the host's
// (system message 3004). Settings change on the user-interface or MIDI thread between blocks; `render`
// and `getDriftedFrequency` run on the audio thread: noexcept, no allocation, no lock, no log.
class Oscillator : public Radio {
public:
    static constexpr float kDefaultDriftDepth = 0.0010594631f;
    static constexpr float kDefaultDriftRate = 0.5f;
    static constexpr int kDefaultOversampling = 2;

    // Built without drawing from the process-wide generators: `drawRandomState` draws later what building
    // would have drawn. Voices are built long before their first note, and the generators' sequence must
    // stay that of a voice built at its first note.
    struct DeferRandom {};

    explicit Oscillator(const Module* owner);
    Oscillator(const Module* owner, DeferRandom);
    ~Oscillator() override;

    // Back to the defaults with a fresh random drift and oversampling 2; tunes in to the host's rate.
    void init() override;
    // Draws what building draws (the drift here; derived players their own sequences), in that order.
    virtual void drawRandomState() noexcept;
    // A sample-rate message sets the rate; everything else goes to the station.
    bool receive(const Message& message) override;

    virtual void setRange(float min, float max);
    // Factors below 1 are ignored; the work buffer holds 4 x factor values.
    virtual void setOversampling(int factor);
    virtual bool isActive() const noexcept = 0;
    // Fills (or adds into) the channel; returns the frames produced.
    virtual std::int32_t render(IOChannel<float>& out) noexcept = 0;

    // Sets the base frequency and restarts the drift.
    void setFrequency(float hz) noexcept;
    float getFrequency() const noexcept { return frequency_; }
    // Steps the drift by a small random amount within its depth; the frequency the drift applies to
    // (the first or the second base), times both multipliers.
    float getDriftedFrequency() noexcept;

    int getSampleRate() const noexcept { return sampleRate_; }
    // Positive rates only.
    void setSampleRate(int rate) noexcept;
    float getAmplitude() const noexcept { return amplitude_; }
    void setAmplitude(float amplitude) noexcept { amplitude_ = amplitude; }
    float getRangeMin() const noexcept { return rangeMin_; }
    float getRangeMax() const noexcept { return rangeMax_; }
    int getOversampling() const noexcept { return oversampling_; }
    std::vector<float>& getOversamplingBuffer() noexcept { return oversamplingBuffer_; }
    float getJitter() const noexcept { return jitter_; }
    void setJitter(float jitter) noexcept { jitter_ = jitter; }
    float getFrequency2() const noexcept { return frequency2_; }
    void setFrequency2(float hz) noexcept { frequency2_ = hz; }
    double getMultiplier1() const noexcept { return multiplier1_; }
    void setMultiplier1(double factor) noexcept { multiplier1_ = factor; }
    double getMultiplier2() const noexcept { return multiplier2_; }
    void setMultiplier2(double factor) noexcept { multiplier2_ = factor; }
    bool getUseFrequency() const noexcept { return useFrequency_; }
    void setUseFrequency(bool useFirst) noexcept { useFrequency_ = useFirst; }
    float getReference() const noexcept { return reference_; }
    void setReference(float hz) noexcept { reference_ = hz; }
    float getDrift() const noexcept { return drift_; }
    float getDriftDepth() const noexcept { return driftDepth_; }
    void setDriftDepth(float depth) noexcept { driftDepth_ = depth; }
    float getDriftRate() const noexcept { return driftRate_; }
    void setDriftRate(float rate) noexcept { driftRate_ = rate; }

private:
    float randomDrift() const noexcept;
    void setDefaults(bool drawRandom);

    int sampleRate_ = 44100;
    float amplitude_ = 1.0f;
    float rangeMin_ = -1.0f;
    float rangeMax_ = 1.0f;
    int oversampling_ = kDefaultOversampling;
    std::vector<float> oversamplingBuffer_;
    float jitter_ = 0.0f;
    float frequency_ = 440.0f;
    float frequency2_ = 440.0f;
    double multiplier2_ = 1.0;
    double multiplier1_ = 1.0;
    float reference_ = 1.0f;
    bool useFrequency_ = true;
    float driftDepth_ = kDefaultDriftDepth;
    float drift_ = 0.0f;
    float driftRate_ = kDefaultDriftRate;
};

} // namespace trov
