#pragma once

#include "engine/dsp/Envelope.h"

#include <cstdint>
#include <limits>
#include <vector>

namespace trov {

// A segment envelope whose output is quantised to a fixed number of levels, so that its curve moves in
// visible steps like the envelope of an 8-bit machine. Each segment runs in a straight line from the
// level reached to its target (in steps) over its length in samples, or jumps to it; a hold segment
// sustains its target until `release`. The last segment is always the end segment (to 0 over 400
// samples, silent).
//
// Owned by its voice. Segment lengths are kept in milliseconds and follow the sample rate. Room for
// kMaxSegments segments is made at construction, so `reset`, `addSegment` and everything else may run on
// the audio thread at note start: noexcept, no allocation, lock or log.
class EnvelopeDiscreteSloped : public Envelope {
public:
    static constexpr std::size_t kMaxSegments = 16;
    static constexpr std::int32_t kEndSegmentSamples = 400;
    static constexpr std::int32_t kFadeSamples = 64;
    static constexpr std::int32_t kHoldSamples = std::numeric_limits<std::int32_t>::max();

    struct Segment {
        float target;         // in steps
        std::int32_t samples; // under 1: a jump that lasts one sample
        float scale;          // output factor (times 1 / steps)
        bool hold;
        std::int32_t milliseconds; // the length the samples follow (unused by the end segment)
        bool timed;
    };

    // steps output levels (at least 1).
    EnvelopeDiscreteSloped(const Module* owner, std::uint32_t steps);

    // Level and slope 0, only the end segment, at its start.
    void reset() noexcept override;
    // Inserts before the end segment: target steps x fraction (held within 2^22 steps of 0), length
    // rate x milliseconds / 1000 samples (whole samples, rounded toward 0; under one sample it is a jump).
    // False when the envelope is full or fraction or scale is not finite.
    bool addSegment(float fraction, std::int32_t milliseconds, float scale, bool hold) noexcept;
    // Segment lengths follow a changed sample rate.
    void update() noexcept override;

    bool isActive() const noexcept override;
    void trigger() noexcept override { startSegment(0); }
    float nextValue() noexcept override;
    // To the release segment (the second-last, or the last when that one holds); with fewer than three
    // segments the envelope ends at once. Nothing once past the end.
    void release() noexcept override;
    // Immediate: silent now; otherwise a fade over 64 samples. Either way past the end.
    void stop(bool immediate) noexcept override;

    // The curve into the whole channel; an inactive envelope clears it and returns 0.
    std::int32_t render(IOChannel<float>& out) noexcept override;
    // The input's valid frames times the curve; an inactive envelope writes zeros and returns 0.
    std::int32_t process(const IOChannel<float>& in, IOChannel<float>& out) noexcept override;

    std::uint32_t getSteps() const noexcept { return steps_; }
    float getLevel() const noexcept { return level_; }
    std::size_t getPosition() const noexcept { return position_; }
    const std::vector<Segment>& getSegments() const noexcept { return segments_; }

private:
    void startSegment(std::size_t index) noexcept;
    void nextSegment() noexcept;
    // Writes the curve (times the input when there is one) into frames samples; returns the frames
    // written before the curve ran out.
    std::int32_t walk(const float* in, float* out, std::int32_t frames) noexcept;
    std::int32_t samplesFor(std::int32_t milliseconds) const noexcept;

    std::uint32_t steps_;
    float level_ = 0.0f;
    float slope_ = 0.0f;
    std::int32_t remaining_ = 0;
    float scale_ = 1.0f;
    std::vector<Segment> segments_;
    std::size_t position_ = 0;
};

} // namespace trov
