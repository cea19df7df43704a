#pragma once

#include "engine/dsp/oscillators/Wavetable.h"

#include <atomic>

namespace trov {

// A one-cycle table that morphs from a triangle (shape 0, peaks at a quarter and three quarters of the
// cycle) through trapezoids to a square (shape 1, edges one sample steep). Level 0 holds 16384 values;
// every level is rendered from the shape at its own length, so whichever level a reader selects plays the
// current shape.
//
// Owned by one LFO (each LFO has its own, so one LFO's waveform never changes another's). `setShape` may
// come from any thread: it only records the shape, and the reader's next block (`refresh`, on the audio
// thread) renders every level with it. Range changes belong between blocks.
class TriangleSquareWavetable : public Wavetable {
public:
    static constexpr std::int32_t kLength = 16384;

    TriangleSquareWavetable();

    // s from 0 (triangle) to 1 (square), clamped; NaN is ignored.
    void setShape(float shape) noexcept;
    float getShape() const noexcept { return pending_.load(std::memory_order_relaxed); }
    // Renders every level when the shape changed since the last rendering.
    void refresh() noexcept override;

protected:
    void build(std::vector<float>& level) override;

private:
    // One cycle of `length` values over min..max (guard not included).
    static void renderCycle(float* values, std::int32_t length, float shape, float min, float max) noexcept;
    void renderLevels(float shape) noexcept;

    std::atomic<float> pending_{0.0f};
    float rendered_ = 0.0f;
};

} // namespace trov
