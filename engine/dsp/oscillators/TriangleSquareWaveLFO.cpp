#include "engine/dsp/oscillators/TriangleSquareWaveLFO.h"

namespace trov {

TriangleSquareWaveLFO::TriangleSquareWaveLFO(const Module* owner)
    : WavetableLFO(owner, std::make_unique<TriangleSquareWavetable>()),
      table_(static_cast<TriangleSquareWavetable*>(getWavetable())) {}

TriangleSquareWaveLFO::~TriangleSquareWaveLFO() = default;

} // namespace trov
