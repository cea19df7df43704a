#pragma once

#include "gui/controls/ControlValue.h"

#include <cstdint>
#include <string>

namespace trov {

// Shows an integer parameter as a fixed number of characters: zero-padded in front (before a minus sign
// too), never cut, and 0 as dashes. Without "digits" the count is the widest of the parameter's bounds in
// decimal. "minval" and "maxval" are kept for derived displays.
//
// Owned by its parent. Threads: as `ControlValue`.
class ControlValueDisplay : public ControlValue {
public:
    ControlValueDisplay(Editor* editor, const Rect& bounds);

    int getDigits() const { return digits_; }
    std::int32_t getMinValue() const { return minValue_; }
    std::int32_t getMaxValue() const { return maxValue_; }
    // The text shown for v.
    std::string format(long v) const;

    // The value control's keys, then "digits", "minval" and "maxval".
    bool fromDictionary(const Dictionary& spec) override;
    void paint(Canvas& canvas, const Rect& area) override;

private:
    int digits_ = 0;
    std::int32_t minValue_ = INT32_MIN;
    std::int32_t maxValue_ = INT32_MAX;
};

} // namespace trov
