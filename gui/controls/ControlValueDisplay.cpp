#include "gui/controls/ControlValueDisplay.h"

#include "framework/Dictionary.h"
#include "plugin/ParameterValue.h"

#include <algorithm>
#include <string>

namespace trov {

namespace {

// Characters of v in decimal, its minus sign included; 0 for 0, so that a bound of 0 leaves the count to
// the other bound.
int decimalWidth(long v) {
    if (v == 0)
        return 0;
    int width = v < 0 ? 1 : 0;
    for (unsigned long magnitude = v < 0 ? 0UL - static_cast<unsigned long>(v)
                                         : static_cast<unsigned long>(v);
         magnitude != 0; magnitude /= 10)
        ++width;
    return width;
}

} // namespace

ControlValueDisplay::ControlValueDisplay(Editor* editor, const Rect& bounds) : ControlValue(editor, bounds) {}

bool ControlValueDisplay::fromDictionary(const Dictionary& spec) {
    ControlValue::fromDictionary(spec);
    if (!spec.getInteger("digits", &digits_)) {
        if (const auto* integer = dynamic_cast<const ParameterValue<long>*>(getParameter()))
            digits_ = std::max(decimalWidth(integer->getMax()), decimalWidth(integer->getMin()));
    }
    spec.getLong("minval", &minValue_);
    spec.getLong("maxval", &maxValue_);
    return true;
}

std::string ControlValueDisplay::format(long v) const {
    // A specification may ask for any count; a text wider than any display is no use.
    constexpr int kWidest = 64;
    const auto width = static_cast<std::size_t>(std::clamp(digits_, 0, kWidest));
    if (v == 0)
        return std::string(width, '-');
    std::string text = std::to_string(v);
    if (text.size() < width)
        text.insert(0, width - text.size(), '0');
    return text;
}

void ControlValueDisplay::paint(Canvas& canvas, const Rect& area) {
    Rect r = getLocalRect();
    r.right = std::min(r.right, area.right);
    long v = 0;
    if (const auto* integer = dynamic_cast<const ParameterValue<long>*>(getParameter()))
        v = integer->getValue();
    drawText(canvas, r, format(v));
}

} // namespace trov
