#pragma once

#include "engine/dsp/oscillators/TriangleSquareWavetable.h"
#include "engine/dsp/oscillators/WavetableLFO.h"

namespace trov {

// An LFO with a triangle/square table of its own, whose shape it sets; other LFOs may read that table
// (`getTriangleSquareWavetable`) while this one owns it.
//
// Owned by its engine. `setShape` may come from any thread (the table renders it on its reader's next
// block); `render` runs on the audio thread.
class TriangleSquareWaveLFO : public WavetableLFO {
public:
    explicit TriangleSquareWaveLFO(const Module* owner);
    ~TriangleSquareWaveLFO() override;

    // 0 triangle .. 1 square, on its own table.
    void setShape(float shape) noexcept { table_->setShape(shape); }
    float getShape() const noexcept { return table_->getShape(); }
    TriangleSquareWavetable* getTriangleSquareWavetable() const noexcept { return table_; }

private:
    TriangleSquareWavetable* table_; // owned through the oscillator
};

} // namespace trov
