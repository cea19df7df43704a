#pragma once

#include "plugin/FeedbackConverter.h"

namespace trov {

// The "VCFCutoff" parameter's value feedback: the cutoff in hertz (5 to 20000) of a position, and back.
// Any thread; reads only the load-time tables.
class CorvaleVCFCutoffInfo : public FeedbackConverter {
public:
    static float getHertz(float position) noexcept;
    // The position whose hertz is the given value (held within 5..20000), within 0..1; NaN gives 0.
    static float getPosition(float hertz) noexcept;

    float getNormalized(float hertz) const override { return getPosition(hertz); }
};

} // namespace trov
