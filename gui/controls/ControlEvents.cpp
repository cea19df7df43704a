// What a control does with the messages that reach it: window events the editor routes, parameter
// notifications, control messages and its hover animation's ticks.
#include "gui/controls/Control.h"

#include "framework/System.h"
#include "gui/Editor.h"
#include "gui/PopupEditBox.h"
#include "gui/TimerAnimation.h"
#include "platform/Shell.h"
#include "plugin/Parameter.h"

#include <cmath>

namespace trov {

namespace {

constexpr int kFadeInMs = 250;
constexpr int kFadeOutMs = 1000;
constexpr int kTextEntryWidth = 160;
constexpr int kTextEntryHeight = 20;

int roundedMs(float ms) {
    return static_cast<int>(std::nearbyint(ms));
}

} // namespace

bool Control::receive(const Message& message) {
    switch (message.kind) {
    case kKindTimer: {
        const auto* tick = dynamic_cast<const TimerMessage*>(&message);
        if (tick == nullptr || tick->code != Code::kTimerTick || tick->timerId != kHoverTimerId)
            return false;
        hoverTick(message);
        return true;
    }
    case kKindWindow: {
        const auto* window = dynamic_cast<const WindowMessage*>(&message);
        return window != nullptr && receiveWindow(*window);
    }
    case kKindParameter: {
        const auto* change = dynamic_cast<const ParameterMessage*>(&message);
        return change != nullptr && receiveParameter(*change);
    }
    case kKindControl: {
        const auto* control = dynamic_cast<const ControlMessage*>(&message);
        return control == nullptr || receiveControl(*control);
    }
    default:
        return false;
    }
}

// Timer thread: a value and a queued redraw.
void Control::hoverTick(const Message& message) {
    if (!hoverGlow_.load(std::memory_order_relaxed))
        return;
    const float level = wordToFloat(message.extra);
    hoverLevel_.store(level > 1.0f ? 1.0f : (level > 0.0f ? level : 0.0f), std::memory_order_relaxed);
    setNeedsRedraw(true);
}

bool Control::receiveWindow(const WindowMessage& message) {
    const bool handlesPointer = isVisible() && (testFlags(kDraggable) != 0 || testFlags(kEditable) != 0);
    switch (message.code) {
    case 3000:
    case 3003:
        return press(message);
    case 3001:
        enterText(message);
        return false;
    case 3009:
        return dragStep(message);
    case 3012:
        enter();
        return handlesPointer && hitTest(message.where);
    case 3013:
        return handlesPointer && findControlAt(message.where) == this && hitTest(message.where);
    case 3014:
        leave();
        return true;
    case 3019:
        return dragOver(message);
    case 3020:
        return clearFlags(kDropHighlight);
    default:
        return false;
    }
}

// The hover glow fades from where it is: the running fade is cancelled, not finished, so that it does not
// jump to its end first. msPerUnit: the fade's length for the whole way.
void Control::fadeHover(float to, float msPerUnit) {
    TimerAnimation* animation = hoverAnimation_.load();
    if (animation == nullptr)
        return;
    const float level = getHoverLevel();
    animation->cancel();
    animation->setFrom(level);
    animation->setTo(to);
    animation->setDuration(roundedMs((to > level ? to - level : level - to) * msPerUnit));
    animation->start();
}

void Control::enter() {
    hovered_ = true;
    fadeHover(1.0f, kFadeInMs);
}

void Control::leave() {
    hovered_ = false;
    fadeHover(0.0f, kFadeOutMs);
    if (editor_ == nullptr || editor_->getPressed() == nullptr)
        setCursor(0);
}

// Alt, Control and Shift held together let the user move any control.
bool Control::layoutGesture() const {
    return platform::getKeyState(kKeyAlt) && platform::getKeyState(kKeyControl) &&
           platform::getKeyState(kKeyShift);
}

bool Control::press(const WindowMessage& message) {
    if (isThumbnailCapable()) {
        receive(ControlMessage(this, testFlags(kShrunk) != 0 ? Code::kLostCurrent : Code::kBecameCurrent));
        return true;
    }
    if (testFlags(kDraggable) == 0 && !layoutGesture())
        return false;
    dragPoint_ = message.where;
    return true;
}

bool Control::dragStep(const WindowMessage& message) {
    const auto* movement = wordToPointer<const Point>(message.extra);
    if ((testFlags(kDraggable) == 0 && !layoutGesture()) || movement == nullptr)
        return false;
    if (editor_ != nullptr)
        editor_->addDirtyRect(getAbsoluteRect());
    Rect r = getRect() + *movement;
    dragPoint_ = *movement;
    if (parent_ != nullptr)
        r.constrainTo(parent_->getLocalRect());
    setBounds(r);
    setNeedsRedraw(true);
    return true;
}

void Control::enterText(const WindowMessage& message) {
    if (testFlags(kEditable) == 0 || testFlags(kTextEntry) == 0)
        return;
    Rect area(0, 0, kTextEntryWidth, kTextEntryHeight);
    area.moveTopLeftTo(message.where + getAbsoluteRect().getTopLeft());
    editParameterText(area, label_);
}

bool Control::editParameterText(const Rect& area, const std::string& label) {
    Parameter* parameter = getParameter();
    Window* window = editor_ != nullptr ? editor_->getEditorWindow() : nullptr;
    if (parameter == nullptr || window == nullptr)
        return false;
    PopupEditBox box(window, getOwner());
    std::string value = parameter->getText();
    if (!box.edit(area, label, value, parameter->getUnit()))
        return false;
    parameter->setText(value, Sender::kEditor);
    return true;
}

bool Control::dragOver(const WindowMessage& message) {
    for (Control* child : children_)
        child->receive(WindowMessage(this, 3020, 0));
    if (!hitTest(message.where)) {
        clearFlags(kDropHighlight);
        return false;
    }
    for (Control* child : children_) {
        WindowMessage local(message);
        local.where = message.where - child->getRect().getTopLeft();
        if (child->receive(local)) {
            clearFlags(kDropHighlight);
            return true;
        }
    }
    const auto kind =
        static_cast<std::uint64_t>(static_cast<std::int64_t>(static_cast<std::int32_t>(message.extra)));
    if (testFlags(kAcceptsDrops) != 0 && acceptsDropKind(kind)) {
        setFlags(kDropHighlight);
        return true;
    }
    return false;
}

// Any thread: names are compared in place and a change on another thread only records its redraw.
bool Control::receiveParameter(const ParameterMessage& message) {
    if (message.code != Code::kParameterValue && message.code != Code::kParameterReset)
        return false;
    if (!showParameterName_.empty() && message.name == showParameterName_) {
        const bool shown = message.value == showValue_;
        if (!onUserInterfaceThread()) {
            defer(shown ? kDeferredShow : kDeferredHide);
            return true;
        }
        setVisible(shown);
        requestRedraw(true);
        return true;
    }
    if (!altReverseParameterName_.empty() && message.name == altReverseParameterName_) {
        altReverse_.store((message.extra & 0xFF) != 0, std::memory_order_relaxed);
        return true;
    }
    if (boundParameter_ != nullptr && message.name == parameterName_) {
        requestRedraw(true);
        return true;
    }
    return false;
}

bool Control::receiveControl(const ControlMessage& message) {
    switch (message.code) {
    case Code::kBecameCurrent:
        expand(true);
        return true;
    case Code::kLostCurrent:
        expand(false);
        return true;
    case Code::kRightClick:
        return runMenuCommand(static_cast<std::int32_t>(message.extra));
    default:
        return true;
    }
}

void Control::expand(bool expanded) {
    if (isVisible())
        requestRedraw(true);
    if (isThumbnailCapable())
        expanded ? clearFlags(kShrunk) : setFlags(kShrunk);
    else
        setVisible(expanded);
    invalidateLayout();
    if (isVisible())
        requestRedraw(true);
}

} // namespace trov
