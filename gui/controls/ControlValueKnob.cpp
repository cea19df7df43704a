#include "gui/controls/ControlValueKnob.h"

#include "framework/Dictionary.h"
#include "gui/Bitmap.h"
#include "gui/Canvas.h"

#include <cmath>

namespace trov {

namespace {

constexpr float kEndAngle = 0.7853982f; // pi/4, lower right

// The point of the ellipse around centre c with radii rx, ry at angle a (y down), truncated.
Point onEllipse(const Point& c, int rx, int ry, float a) {
    return c + Point(static_cast<int>(static_cast<float>(rx) * std::cos(a)),
                     static_cast<int>(static_cast<float>(ry) * std::sin(a)));
}

} // namespace

ControlValueKnob::ControlValueKnob(Editor* editor) : ControlValueKnob(editor, Rect()) {}

ControlValueKnob::ControlValueKnob(Editor* editor, const Rect& bounds) : ControlValue(editor, bounds) {}

ControlValueKnob::~ControlValueKnob() {
    giveBack(handle_);
}

bool ControlValueKnob::fromDictionary(const Dictionary& spec) {
    fromDictionaryWithSize(spec, Rect(0, 0, kDefaultSize, kDefaultSize));
    if (readBitmap(spec, "handle", handle_) && handle_ != nullptr)
        setSize(getLocalRect().unite(handle_->getFrame(0).atOrigin()));
    return true;
}

// The handle is read for window messages only: parameter changes reach the knob on other threads while
// the user-interface thread reads its specification or destroys it.
bool ControlValueKnob::receive(const Message& message) {
    if (message.kind == kKindWindow && message.code == 3012 && handle_ != nullptr) {
        Rect part = handle_->getSourceRect();
        if (const Bitmap* background = getBackgroundBitmap())
            part.offset(background->getSourceRect().getTopLeft());
        return part.contains(static_cast<const WindowMessage&>(message).where);
    }
    return ControlValue::receive(message);
}

int ControlValueKnob::frameFor(float v) const {
    const int frames = handle_ != nullptr ? handle_->getFrameCount() : 0;
    if (frames <= 0)
        return 0;
    return static_cast<int>(std::nearbyint(v * static_cast<float>(frames - 1)));
}

void ControlValueKnob::paint(Canvas& canvas, const Rect& /*area*/) {
    if (getParameter() == nullptr)
        return;
    const float value = getValue();
    if (handle_ == nullptr) {
        paintArc(canvas, value);
        return;
    }
    const Rect frame = handle_->getFrame(frameFor(value));
    Rect place = getLocalRect();
    if (const Bitmap* background = getBackgroundBitmap())
        place.offset(background->getSourceRect().getTopLeft());
    place.setSizeOf(frame);
    canvas.drawBitmap(handle_, frame, place);
}

void ControlValueKnob::paintArc(Canvas& canvas, float value) {
    Rect r = getLocalRect();
    r.inset(kInset);
    const int rx = r.getWidth() / 2;
    const int ry = r.getHeight() / 2;
    const Point c(r.left + rx, r.top + ry);
    const Point tip = onEllipse(c, rx, ry, value * kSweep + kStartAngle);
    canvas.setPenColor(colorBlack);
    // Counter-clockwise on screen from the lower right, so over the top.
    canvas.arc(r, onEllipse(c, rx, ry, kEndAngle), onEllipse(c, rx, ry, kStartAngle));
    canvas.moveTo(c + (tip - c) * (1.0f / 2.0f));
    canvas.lineTo(tip);
}

} // namespace trov
