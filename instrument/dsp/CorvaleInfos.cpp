#include "engine/dsp/FloatIndex.h"
#include "instrument/InstrumentGlobals.h"
#include "instrument/dsp/CorvaleLFORateInfo.h"
#include "instrument/dsp/CorvaleVCFCutoffInfo.h"
#include "instrument/dsp/OstrelCurves.h"
#include "instrument/dsp/TableSearch.h"

#include <cmath>

namespace trov {

float CorvaleLFORateInfo::getHertz(float position) noexcept {
    return ostrelLFORate(position);
}

float CorvaleLFORateInfo::getPosition(float hertz) noexcept {
    if (std::isnan(hertz))
        return 0.0f;
    return clampPosition(invertLookup(instrumentTables().lfoRate, hertz), 0.0f, 1.0f);
}

namespace {

constexpr float kCutoffSpan = kCutoffDisplayMax - kCutoffDisplayMin;

} // namespace

float CorvaleVCFCutoffInfo::getHertz(float position) noexcept {
    const float coefficient = instrumentTables().cutoffCoefficient.lookup(position);
    return (coefficient + 1.0f) * kCutoffSpan * 0.5f + kCutoffDisplayMin;
}

float CorvaleVCFCutoffInfo::getPosition(float hertz) noexcept {
    if (std::isnan(hertz))
        return 0.0f;
    // The curve rises only up to a little past the display's top; within the display bounds the
    // bisection stays on the rising side.
    const float h = clampPosition(hertz, kCutoffDisplayMin, kCutoffDisplayMax);
    const float y = 2.0f * (h - kCutoffDisplayMin) / kCutoffSpan - 1.0f;
    return clampPosition(invertLookup(instrumentTables().cutoffCoefficient, y), 0.0f, 1.0f);
}

} // namespace trov
