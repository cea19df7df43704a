#pragma once

#include "plugin/FeedbackConverter.h"

namespace trov {

// The "LFORate" parameter's value feedback: the rate in hertz of a control position, and back. Any thread;
// reads only the load-time tables.
class CorvaleLFORateInfo : public FeedbackConverter {
public:
    // The measured rate itself (not the table's interpolation).
    static float getHertz(float position) noexcept;
    // The position whose table rate is the given one, within 0..1 (NaN gives 0).
    static float getPosition(float hertz) noexcept;

    float getNormalized(float hertz) const override { return getPosition(hertz); }
};

} // namespace trov
