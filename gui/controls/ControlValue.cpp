#include "gui/controls/ControlValue.h"

#include "framework/Dictionary.h"
#include "framework/Sign.h"
#include "framework/System.h"
#include "gui/Window.h"
#include "plugin/Parameter.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace trov {

namespace {

constexpr int kCursorArrow = 0;
constexpr int kCursorHand = 9;
constexpr int kKeyUp = 0x26;
constexpr int kKeyDown = 0x28;
// A parameter of fewer than about ten steps is dragged at a quarter of the speed.
constexpr float kCoarseStep = 0.1f;
constexpr float kCoarseDragSpeed = 0.25f;
constexpr float kFineFactor = 0.2f;
constexpr float kHorizontalWeight = 0.25f;
constexpr float kMinimumKeyStep = 0.01f;
constexpr float kShiftKeyFactor = 10.0f;

// Where a value lands when whole periods are added below 0 and taken away above 1, as stepping one period
// at a time would leave it, but at once: a huge value is no longer a near-endless loop (nor an endless one
// once a period is too small to change it). A value that is not finite stays so.
double wrapped(double v, double period) {
    if (v < 0.0) {
        v = std::fmod(v, period) + period;
        if (v >= period)
            v -= period;
    }
    if (v > 1.0) {
        const double beyond = std::fmod(v - 1.0, period);
        v = beyond > 0.0 ? 1.0 + beyond - period : 1.0;
    }
    return v;
}

} // namespace

ControlValue::ControlValue(Editor* editor, const Rect& bounds) : Control(editor, bounds) {}

float ControlValue::getValue() const {
    const Parameter* parameter = getParameter();
    return parameter != nullptr ? parameter->getNormalized() : value_.load(std::memory_order_relaxed);
}

float ControlValue::getStepSize() const {
    const Parameter* parameter = getParameter();
    return parameter != nullptr ? static_cast<float>(parameter->getStepSize()) : 0.0f;
}

void ControlValue::setValue(float value) {
    Parameter* parameter = getParameter();
    if (wrap_) {
        const double step = parameter != nullptr ? parameter->getStepSize() : 0.0;
        value = static_cast<float>(wrapped(value, 1.0 + step));
    }
    // Also what a stepped wrap leaves between the ends: the parameter would clamp it the same way. NaN
    // gives 0.
    if (value > 1.0f)
        value = 1.0f;
    if (!(value > 0.0f))
        value = 0.0f;
    if (parameter != nullptr)
        parameter->setNormalized(value, Sender::kEditor);
    else
        value_.store(value, std::memory_order_relaxed);
    setNeedsRedraw(true);
}

// ---- the specification

bool ControlValue::fromDictionary(const Dictionary& spec) {
    const Parameter* parameter = getParameter();
    float number = 0.0f;
    if (parameter != nullptr && spec.getFloat("detent", &number))
        detent_ = number + 0.5f;
    if (parameter != nullptr && parameter->getStepSize() > kCoarseStep)
        dragSpeed_ = kCoarseDragSpeed;
    spec.getFloat("dragspeed", &dragSpeed_);
    spec.getBool("stayon", &stayOn_);
    spec.getBool("wrap", &wrap_);
    std::string mode;
    if (spec.getString("mousedown", &mode)) {
        if (mode == "drag")
            mouseDownMode_ = kMouseDownDrag;
        else if (mode.compare(0, 3, "inc") == 0)
            mouseDownMode_ = kMouseDownIncrement;
    }
    return Control::fromDictionary(spec);
}

bool ControlValue::toDictionary(Dictionary& spec) {
    spec.setFloat("detent", detent_ - 0.5f, 0, true);
    spec.setFloat("dragspeed", dragSpeed_, 0, true);
    spec.setBool("stayon", stayOn_, 0, true);
    spec.setBool("wrap", wrap_, 0, true);
    return Control::toDictionary(spec);
}

void ControlValue::fromDictionaryWithSize(const Dictionary& spec, const Rect& size) {
    setSize(size);
    ControlValue::fromDictionary(spec);
    // Read the way the control base reads them.
    const auto absent = [&spec](const char* key) {
        int value = 0;
        return !spec.getInteger(key, &value);
    };
    Rect r = getLocalRect();
    if (absent("width") && r.getWidth() == 0)
        r.setWidth(size.getWidth());
    if (absent("height") && r.getHeight() == 0)
        r.setHeight(size.getHeight());
    setSize(r);
}

// ---- gestures

bool ControlValue::receive(const Message& message) {
    if (message.kind == kKindWindow) {
        if (const auto* window = dynamic_cast<const WindowMessage*>(&message)) {
            switch (window->code) {
            case 3000:
            case 3003:
                if (!isKeyDown(kKeyControl))
                    return press(*window);
                if (resetParameter())
                    return true;
                break;
            case 3002:
            case 3005:
                return release();
            case 3009:
                if (dragging_)
                    return dragStep(*window);
                break;
            case 3010:
            case 3011:
                return wheel(*window);
            case 3024:
                if (arrowKey(*window))
                    return true;
                break;
            default:
                break;
            }
        }
    }
    return Control::receive(message);
}

bool ControlValue::resetParameter() {
    Parameter* parameter = getParameter();
    if (parameter == nullptr)
        return false;
    const std::string name = parameter->getName();
    parameter->receive(ParameterMessage(this, Code::kParameterReset, name, parameter->getInstance(), 0, 0.0f,
                                        Sender::kEditor));
    setNeedsRedraw(true);
    return true;
}

bool ControlValue::press(const WindowMessage& message) {
    if (mouseDownMode_ == kMouseDownIncrement)
        setValue(getValue() + getStepSize());
    setCursor(kCursorHand);
    dragStart_ = message.where;
    dragStartValue_ = getValue();
    dragging_ = true;
    setNeedsRedraw(true);
    return true;
}

bool ControlValue::release() {
    setCursor(kCursorArrow);
    dragStart_ = Point();
    dragging_ = false;
    if (testFlags(kAutoReset) != 0)
        resetParameter();
    return true;
}

// The detent holds the value for six pixels' worth of drag where the drag crosses or reaches it, then lets
// it follow the pointer shifted by that much; a drag that starts on the detent passes it.
float ControlValue::applyDetent(float candidate) const {
    const float hold = dragSpeed_ * kDragScale * static_cast<float>(kDeadZone);
    if (!(std::fabs(dragStartValue_ - detent_) > hold) ||
        sign(dragStartValue_ - detent_) == sign(candidate - detent_))
        return candidate;
    if (candidate >= detent_)
        return candidate - hold > detent_ ? candidate - hold : detent_;
    return candidate + hold < detent_ ? candidate + hold : detent_;
}

bool ControlValue::dragStep(const WindowMessage& message) {
    int dx = message.where.x - dragStart_.x;
    int dy = message.where.y - dragStart_.y;
    if (std::abs(dx) > kDeadZone || std::abs(dy) > kDeadZone) {
        if (std::abs(dx) > std::abs(dy))
            dy = 0;
        else
            dx = 0;
    }
    // Up or right raises the value.
    const float f = static_cast<float>(dx) * kHorizontalWeight - static_cast<float>(dy);
    const auto deadZone = static_cast<float>(kDeadZone);
    float g = 0.0f;
    if (f - deadZone > 0.0f)
        g = f - deadZone;
    else if (f + deadZone < 0.0f)
        g = f + deadZone;
    if (isKeyDown(kKeyShift))
        g *= kFineFactor;
    setValue(applyDetent(dragStartValue_ + dragSpeed_ * g * kDragScale));
    setNeedsRedraw(true);
    return true;
}

bool ControlValue::wheel(const WindowMessage& message) {
    const auto delta = static_cast<float>(static_cast<std::intptr_t>(message.extra));
    float d = delta * dragSpeed_ * kWheelScale;
    // A stepped parameter moves at least one step per wheel event.
    const float step = getStepSize();
    if (step > std::fabs(d))
        d = sign(d) * step;
    setValue(getValue() + d);
    setNeedsRedraw(true);
    return true;
}

bool ControlValue::arrowKey(const WindowMessage& message) {
    const Parameter* parameter = getParameter();
    if (parameter == nullptr || parameter->testFlags(Parameter::kAutomatable) == 0)
        return false;
    const int key = message.state[Window::kKeyVirtualCode];
    if (key != kKeyUp && key != kKeyDown)
        return false;
    float step = std::fmax(getStepSize(), kMinimumKeyStep);
    if (isKeyDown(kKeyShift))
        step *= kShiftKeyFactor;
    setValue(getValue() + (key == kKeyUp ? step : -step));
    return true;
}

} // namespace trov
