#include "gui/controls/ControlValue.h"

#include "plugin/Parameter.h"

#include <cmath>

namespace trov {

ControlValue::ControlValue(Editor* editor, const Rect& bounds) : Control(editor, bounds) {}

float ControlValue::getValue() const {
    const Parameter* parameter = getParameter();
    return parameter != nullptr ? parameter->getNormalized() : value_.load(std::memory_order_relaxed);
}

void ControlValue::setValue(float value) {
    Parameter* parameter = getParameter();
    if (!wrap_) {
        if (value > 1.0f)
            value = 1.0f;
        if (!(value > 0.0f))
            value = 0.0f;
    } else if (!std::isfinite(value)) {
        value = 0.0f;
    } else {
        // Whole periods of 1 + step at once: the same as stepping one period at a time, without a loop
        // as long as the value is large.
        const float period =
            1.0f + (parameter != nullptr ? static_cast<float>(parameter->getStepSize()) : 0.0f);
        if (value < 0.0f)
            value += period * std::ceil(-value / period);
        if (value > 1.0f)
            value -= period * std::ceil((value - 1.0f) / period);
    }
    if (parameter != nullptr)
        parameter->setNormalized(value, Sender::kEditor);
    else
        value_.store(value, std::memory_order_relaxed);
    setNeedsRedraw(true);
}

} // namespace trov
