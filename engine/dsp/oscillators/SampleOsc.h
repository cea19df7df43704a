#pragma once

#include "engine/dsp/oscillators/Oscillator.h"
#include "engine/samples/Sample.h"

#include <cstdint>
#include <string>

namespace trov {

class Zone;
struct ZoneState;

// Plays the sample of a zone, or a named resource sample, between its start and end frames with one
// loop, at a pitch relative to the sample's root note: the frequency it is given (a note's, in its module's
// tuning) over the root's frequency in that tuning at the reference pitch (Sample::getRootFrequency). The
// read position runs on a playback clock of its own, in clock ticks, and is rounded to a whole tick before
// it becomes a frame: a clock slower than the host's rate gives the stepped, held-sample sound of a
// variable-clock sampler. Linear interpolation can be blended in, and a random jitter of up to `getJitter`
// frames is added to every read position.
//
// Units: frames index the sample; ticks = frames / framesPerTick; the position advances ticksPerSample
// ticks per output sample at the root pitch. Start, end and loop are kept inside the sample (start <= end,
// loop within them) and every read is clamped to the sample's frames.
//
// Owned by a voice (one per layer, plus the click player); its owner is the module. Threads: `setZone`
// and the constructors read the zone's values and may allocate (set-up, before the note starts); every
// other operation is a note or render path: noexcept, no allocation, no log. A named sample is taken only
// from the samples the resources have loaded (names up to 63 characters are stored without allocating).
// The zone and the sample must outlive their use here: the voice holds its zone, the zone its sample.
class SampleOsc : public Oscillator {
public:
    static constexpr std::int32_t kLoopOff = 0;

    // The zone may be null (the voice gives it at note start).
    explicit SampleOsc(const Module* owner, Zone* zone = nullptr);
    // Takes the loaded resource sample of that name; a missing one is logged once, here.
    SampleOsc(const Module* owner, const std::string& sampleName);
    // Without a zone, drawing nothing until `drawRandomState`.
    SampleOsc(const Module* owner, DeferRandom defer);
    ~SampleOsc() override;
    SampleOsc(const SampleOsc&) = delete;
    SampleOsc& operator=(const SampleOsc&) = delete;

    // A host-rate change keeps the playback clock's rate.
    bool receive(const Message& message) override;
    // The drift, then the jitter's own sequence.
    void drawRandomState() noexcept override;

    // Plays the zone's sample (not counted): reads the zone's "SampleStart", "SampleEnd", root note and
    // detune, then restarts. Null plays nothing. The current zone changes nothing.
    void setZone(Zone* zone);
    // The same from a state of the zone read beforehand (`Zone::readState`): a note path (no allocation, no
    // lock). Null plays nothing.
    void setZone(Zone* zone, const ZoneState& state) noexcept;
    // Plays a sample the caller holds for as long as this player may read it, under that name, without
    // zone, then restarts; an equal name changes nothing. A note path: the resources are not asked.
    void playHeldSample(Sample* sample, const std::string& name) noexcept;
    // Plays the loaded resource sample of that name over its own start and end, without zone, then
    // restarts; a missing one plays nothing. An equal name changes nothing.
    void setSampleName(const std::string& name) noexcept;
    // The output range of the base stays reachable beside the frame range.
    using Oscillator::setRange;
    // Frames, clamped into the sample; the position moves to the start and the loop into the range.
    void setRange(std::int32_t start, std::int32_t end) noexcept;
    // Mode 0 is off; the loop points are clamped into start..end.
    void setLoop(std::int32_t mode, std::int32_t loopStart, std::int32_t loopEnd) noexcept;
    // Only the mode (a voice turns the loop off for its release).
    void setLoopMode(std::int32_t mode) noexcept { loopMode_ = mode; }
    // The playback clock in Hz: ticksPerSample = rate / host rate, framesPerTick = sample rate / rate; the
    // position keeps its frame. Rates that are not finite and positive are ignored; without a sample the
    // rate waits for one.
    void setClockRate(double rate) noexcept;
    // A frame, clamped to 0..end.
    void setPosition(std::int32_t frame) noexcept;
    // With a zone and the frequency-select flag off, the second base frequency becomes the zone's root
    // note (transposed by "SampleDetuneCoarse", detuned by "SampleDetuneFine") in the module's tuning;
    // otherwise the base frequency the flag selects becomes hz.
    virtual void setFrequency(float hz) noexcept;
    // Back to the start (with a zone, its start, end and first loop); playing when there is a sample.
    virtual void restart() noexcept;

    bool isActive() const noexcept override { return playing_; }
    // Adds the block to what the output holds (clearing the frames past its valid ones first); the
    // output's size, or 0 when nothing plays.
    std::int32_t render(IOChannel<float>& out) noexcept override;

    // 0 reads the frame at the position, 1 interpolates linearly; values between blend.
    void setInterpolation(float amount) noexcept { interpolation_ = amount; }
    float getInterpolation() const noexcept { return interpolation_; }
    Zone* getZone() const noexcept { return zone_; }
    Sample* getSample() const noexcept { return sample_; }
    const std::string& getSampleName() const noexcept { return sampleName_; }
    std::int32_t getStart() const noexcept { return start_; }
    std::int32_t getEnd() const noexcept { return end_; }
    std::int32_t getLoopMode() const noexcept { return loopMode_; }
    std::int32_t getLoopStart() const noexcept { return loopStart_; }
    std::int32_t getLoopEnd() const noexcept { return loopEnd_; }
    double getClockRate() const noexcept { return clockRate_; }
    double getTicksPerSample() const noexcept { return ticksPerSample_; }
    double getFramesPerTick() const noexcept { return framesPerTick_; }
    // In ticks.
    double getPosition() const noexcept { return position_; }

private:
    // What setZone reads of the zone, kept for restart and setFrequency (a zone's values are a document,
    // whose reads allocate).
    struct ZoneValues {
        std::int32_t start = 0;
        std::int32_t end = 0;
        std::int32_t rootNote = 60;
        std::int32_t detuneCoarse = 0;
        std::int32_t detuneFine = 0;
    };

    void dropNamedSample() noexcept;
    // Start, end and loop into the sample's frames.
    void clampPositions() noexcept;
    void clampLoop() noexcept;
    // Ticks and frames per the clock and the current sample; the position keeps its frame.
    void applyClock() noexcept;
    double toTicks(double frames) const noexcept { return frames / framesPerTick_; }
    // The step in ticks per output sample for this block; 0 when the pitch cannot be had.
    double blockStep() noexcept;
    // Renders from the position; the number of samples written.
    std::int32_t play(float* out, std::int32_t count, double step, std::int32_t frames) noexcept;

    std::string sampleName_;
    Zone* zone_ = nullptr;
    Sample::Loop zoneLoop_{}; // the zone's loop 0 as read with its values
    Sample* sample_ = nullptr;
    bool ownsSample_ = false; // held through the name, one reference
    ZoneValues zoneValues_;
    std::int32_t loopMode_ = kLoopOff;
    std::int32_t loopStart_ = 0;
    std::int32_t loopEnd_ = 0;
    std::int32_t start_ = 0;
    std::int32_t end_ = 0;
    float interpolation_ = 1.0f;
    double clockRate_ = 0.0; // 0: none set, one frame per tick and one tick per sample
    double ticksPerSample_ = 1.0;
    double framesPerTick_ = 1.0;
    double position_ = 0.0;
    bool playing_ = false;
    std::uint32_t jitterState_; // each player's own sequence, seeded from the process-wide generator
};

} // namespace trov
