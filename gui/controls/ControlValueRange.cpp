#include "gui/controls/ControlValueRange.h"

#include "framework/Dictionary.h"
#include "gui/Bitmap.h"
#include "gui/Canvas.h"
#include "gui/controls/ControlValueSlider.h"
#include "plugin/ParameterValue.h"

#include <algorithm>
#include <cmath>

namespace trov {

namespace {

const Color kBarColor(255, 0, 0, 255);
constexpr int kLabelInset = 2;

} // namespace

ControlValueRange::ControlValueRange(Editor* editor) : ControlValueRange(editor, Rect()) {}

ControlValueRange::ControlValueRange(Editor* editor, const Rect& bounds) : ControlValue(editor, bounds) {}

ControlValueRange::~ControlValueRange() {
    giveBack(handle_);
}

bool ControlValueRange::fromDictionary(const Dictionary& spec) {
    ControlValue::fromDictionary(spec);
    readBitmap(spec, "handle", handle_);
    std::string text;
    bool on = false;
    if (spec.getBool("horizontal", &on))
        vertical_ = !on;
    if (spec.getString("direction", &text)) {
        if (text == "min2max")
            direction_ = kMinToMax;
        else if (text == "max2min")
            direction_ = kMaxToMin;
        else if (text == "centered")
            direction_ = kCentered;
    }
    return true;
}

void ControlValueRange::paint(Canvas& canvas, const Rect& area) {
    if (getParameter() == nullptr)
        return;
    if (handle_ == nullptr)
        paintBar(canvas, area);
    else if (vertical_)
        paintRows(canvas);
    else
        canvas.drawBitmap(handle_, handle_->getBounds(), getLocalRect());
}

// As many rows of the handle bitmap as the value takes of the room between the slider's handle and the
// bitmap's end, starting at the slider's handle.
void ControlValueRange::paintRows(Canvas& canvas) {
    const auto* amount = dynamic_cast<const ParameterValue<float>*>(getParameter());
    if (amount == nullptr)
        return;
    const Rect b = handle_->getBounds();
    const Rect d = getLocalRect();
    const auto* slider = dynamic_cast<const ControlValueSlider*>(getParent());
    const Rect s = slider != nullptr ? slider->getHandleRect() : Rect();
    const float v = amount->getValue();
    const bool upward = direction_ == kMinToMax || (direction_ == kCentered && v >= 0.0f);
    const int e = upward ? b.bottom - s.top : s.bottom + b.top;
    const int room = b.getHeight() - e;
    const float wanted = static_cast<float>(b.getHeight() + 1 - s.getHeight()) * std::fabs(v);
    int n = 0;
    if (wanted > 0.0f)
        n = wanted >= static_cast<float>(room) ? room : static_cast<int>(std::nearbyint(wanted));
    if (n <= 0)
        return;
    if (upward)
        canvas.drawBitmap(handle_, Rect(b.left, b.bottom - e - n, b.getWidth(), n),
                          Rect(d.left, d.bottom - e - n, d.getWidth(), n));
    else
        canvas.drawBitmap(handle_, Rect(b.left, b.top + e, b.getWidth(), n),
                          Rect(d.left, d.top + e, d.getWidth(), n));
}

void ControlValueRange::paintBar(Canvas& canvas, const Rect& area) {
    const Rect local = getLocalRect();
    canvas.setPenColor(colorBlack);
    canvas.frameRect(local);
    Rect r = local;
    r.inset(1);
    r.scaleSize(getValue(), 1.0f);
    canvas.setBrushColor(kBarColor);
    canvas.fillRect(r.intersection(area));
    canvas.setTextColor(colorBlack);
    // Placed in the whole control, not in the part being repainted (the canvas clips to that), so the
    // label stays where it is whatever part is repainted.
    Rect text = local;
    text.inset(kLabelInset, 0);
    canvas.drawText(getLabel(), text, 0);
}

} // namespace trov
