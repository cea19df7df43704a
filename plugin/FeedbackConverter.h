#pragma once

namespace trov {

// Turns a typed display value of a parameter with the feedback scaling into a normalised value. Supplied
// by whoever shows the feedback value; the parameter does not own it. Called on the thread that sets the
// parameter's text.
class FeedbackConverter {
public:
    virtual ~FeedbackConverter() = default;
    virtual float getNormalized(float displayValue) const = 0;
};

} // namespace trov
