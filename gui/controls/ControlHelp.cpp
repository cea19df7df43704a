#include "gui/controls/ControlHelp.h"

#include "framework/Timer.h"
#include "gui/Canvas.h"
#include "gui/Editor.h"
#include "plugin/Parameter.h"

#include <string_view>
#include <utility>

namespace trov {

namespace {

constexpr std::string_view kTooltipDelay = "TooltipDelay";
constexpr int kCentred = Font::kAlignCenter | Font::kAlignMiddle;
// Room around the text in the box, and the box's offset from the pointer.
constexpr int kPadX = 6;
constexpr int kPadY = 2;
const Point kFromPointer(16, 8);

// Work waiting for the user-interface thread.
constexpr int kRefreshValue = 1;
constexpr int kRefreshFull = 2;
constexpr int kHide = 4;
constexpr int kDelay = 8;
constexpr int kStopShowing = 16;
constexpr int kListen = 32;

// A control asks for its help to be shown again.
constexpr std::int32_t kRefreshHelp = 10;

} // namespace

ControlHelp::ControlHelp(Editor* editor, const Rect& bounds) : ControlText(editor, std::string(), bounds) {
    setZOrder(1);
    setFont(Font("Arial", 12.0f, 0, 1, kCentred, 0.0f));
    setMargins(4, 2);
    showTimer_ = std::make_unique<Timer>(getOwner(), TimerMessage(this, Code::kTimerTick, kShowTimerId, 0),
                                         kShowDelayMs, true, false);
    hideTimer_ = std::make_unique<Timer>(getOwner(), TimerMessage(this, Code::kTimerTick, kHideTimerId, 0),
                                         kHideDelayMs, true, false);
    tuneInTo(showTimer_.get());
    tuneInTo(hideTimer_.get());
    setFlags(kIgnoresPointer);
    clearFlags(kEditable | kVisible);
    tuneInTo(editor);
    tuneIn(std::string(kTooltipDelay));
}

ControlHelp::~ControlHelp() {
    for (std::unique_ptr<Timer>* timer : {&showTimer_, &hideTimer_}) {
        (*timer)->stop(true);
        tuneOutOf(timer->get());
        timer->reset();
    }
    setShownControl(nullptr);
    tuneOut(std::string(kTooltipDelay));
}

void ControlHelp::startHide() {
    showTimer_->stop(false);
    hideTimer_->restart();
}

// The editor disarms its help before it deletes its controls: the shown control may go before the help
// does, so the help lets go of it here rather than tune out of it from its own destructor.
void ControlHelp::disarm() {
    armed_.store(false, std::memory_order_release);
    showTimer_->stop(false);
    setShownControl(nullptr);
}

Control* ControlHelp::getShownControl() const {
    std::lock_guard guard(lock_);
    return shown_;
}

void ControlHelp::setShownControl(Control* control) {
    {
        std::lock_guard guard(lock_);
        shown_ = control;
    }
    listenToShown();
}

// From the editor's pointer notices, inside its broadcast: the help listens to the control's parameter at
// the editor's tick, so it never takes a parameter's lock under the editor's (a parameter's notification
// may reach the editor's station in turn).
void ControlHelp::showLater(Control* control) {
    {
        std::lock_guard guard(lock_);
        if (control == shown_)
            return;
        shown_ = control;
    }
    defer(kListen);
}

// The subscriptions change outside the lock: tuning in makes the parameter report to the help at once,
// under the parameter's own lock.
void ControlHelp::listenToShown() {
    Radio* old = nullptr;
    Radio* next = nullptr;
    {
        std::lock_guard guard(lock_);
        Radio* parameter = shown_ != nullptr ? shown_->getParameter() : nullptr;
        next = parameter != nullptr ? parameter : shown_;
        if (next == shownParameter_)
            return;
        old = shownParameter_;
        shownParameter_ = next;
    }
    if (old != nullptr)
        tuneOutOf(old);
    if (next != nullptr)
        tuneInTo(next);
}

std::string ControlHelp::helpText() const {
    Control* shown = getShownControl();
    if (shown == nullptr)
        return std::string();
    const std::string value = shown->getValueText();
    std::string tooltip = shown->getTooltip();
    if (value.empty())
        return tooltip;
    return tooltip.empty() ? value : value + "\r\n" + tooltip;
}

void ControlHelp::defer(int work) {
    pending_.fetch_or(work, std::memory_order_acq_rel);
    deferControlWork();
}

void ControlHelp::applyDeferredControlWork() {
    const int work = pending_.exchange(0, std::memory_order_acq_rel);
    if ((work & kListen) != 0)
        listenToShown();
    if ((work & kDelay) != 0)
        delayChanged(pendingDelay_.load(std::memory_order_acquire));
    if ((work & kStopShowing) != 0)
        showTimer_->stop(false);
    if ((work & kRefreshValue) != 0)
        refresh(false);
    if ((work & kRefreshFull) != 0)
        refresh(true);
    if ((work & kHide) != 0)
        setVisible(false);
}

// User-interface thread.
void ControlHelp::refresh(bool full) {
    if (full) {
        // A control without help hides the box: its delay may have ended the hiding of the last one's.
        if (armed_.load(std::memory_order_acquire) && getShownControl() != nullptr)
            place(helpText());
        return;
    }
    Control* shown = getShownControl();
    if (!armed_.load(std::memory_order_acquire) || shown == nullptr || shown->getParameter() == nullptr)
        return;
    if (const std::string text = shown->getValueText(); !text.empty())
        place(text);
}

void ControlHelp::delayChanged(int ms) {
    if (ms > 0) {
        showTimer_->setInterval(ms);
        refresh(false);
    }
    armed_.store(ms > 0, std::memory_order_release);
}

// The box next to the shown control: sized to the text, placed as the control's tooltip placement says
// (0: below a wide control, beside a tall one), kept on the canvas. User-interface thread.
void ControlHelp::place(const std::string& text) {
    Control* shown = getShownControl();
    Editor* editor = getOwnerEditor();
    if (shown == nullptr || text.empty()) {
        setVisible(false);
        return;
    }
    setText(text);
    Canvas* canvas = editor != nullptr ? editor->getCanvas() : nullptr;
    if (canvas == nullptr)
        return;
    const Rect a = shown->getAbsoluteRect();
    const Font kept = canvas->getFont();
    canvas->setFont(Font("Arial", 12.0f, 0, 1, Font::kAlignLeft | Font::kAlignTop, 0.0f));
    Rect b = canvas->measureText(text);
    canvas->setFont(kept);
    b.outset(kPadX, kPadY);
    b.moveTopLeftTo(getAbsoluteRect().getTopLeft());
    setSize(b);
    int p = shown->getTooltipPlacement();
    if (p == kPlacementNone)
        p = 2 * a.getWidth() >= a.getHeight() ? kPlacementHorizontal : kPlacementVertical;
    if ((p & 0x10) != 0) {
        b.moveTopLeftTo(editor->getLastMouse() + kFromPointer);
    } else if ((p & 0x8) != 0) {
        b.moveTopLeftTo(a.getBottomLeft());
        b.offset(-(b.getWidth() - a.getWidth()) / 2, 0);
    } else if ((p & 0x2) != 0) {
        b.moveTopLeftTo(a.getTopRight());
        b.offset(0, -(b.getHeight() - a.getHeight()) / 2);
    }
    const Rect room = canvas->getSize();
    if ((p & 0x4) != 0 && !room.contains(b) && b.bottom > room.bottom)
        b.moveBottomLeftTo(a.getTopLeft()); // above the control
    if ((p & 0x4) != 0 && !room.contains(b) && b.right > room.right)
        b.moveTopRightTo(a.getTopLeft()); // left of the control
    if (!room.contains(b))
        b.constrainTo(room);
    requestRedraw(false);
    setAbsoluteBounds(b);
    setVisible(true);
}

bool ControlHelp::receive(const Message& message) {
    switch (message.kind) {
    case kKindControl: {
        auto* control = wordToPointer<Control>(message.extra);
        const Editor* editor = getOwnerEditor();
        const bool known = control != nullptr && editor != nullptr && editor->ownsControl(control);
        switch (message.code) {
        case Code::kShowHelp:
            if (known && control->testFlags(kEditable) != 0) {
                showLater(control);
                showTimer_->restart();
            }
            return ControlText::receive(message);
        case Code::kHideHelp:
            if (known && control == getShownControl()) {
                showTimer_->stop(false);
                showLater(nullptr);
                startHide();
            }
            return ControlText::receive(message);
        case kRefreshHelp:
        case Code::kControlState1:
            refresh(true);
            return true;
        case Code::kControlState2:
            startHide();
            return true;
        default:
            return ControlText::receive(message);
        }
    }
    case kKindParameter: {
        const auto* change = dynamic_cast<const ParameterMessage*>(&message);
        if (change == nullptr || change->code != Code::kParameterValue)
            break;
        // Any thread: what to do is recorded; the box moves on the user-interface thread.
        if (change->name == kTooltipDelay) {
            pendingDelay_.store(static_cast<int>(static_cast<std::intptr_t>(change->extra)),
                                std::memory_order_release);
            onUserInterfaceThread() ? delayChanged(pendingDelay_.load()) : defer(kDelay);
            return true;
        }
        // The value a parameter tells a new listener is no change: the help still waits for its delay.
        Control* shown = getShownControl();
        if (change->flags == Sender::kNewListener || shown == nullptr || shown->testFlags(kShowValue) == 0)
            break;
        if (onUserInterfaceThread()) {
            showTimer_->stop(false);
            refresh(false);
        } else {
            defer(kStopShowing | kRefreshValue);
        }
        return true;
    }
    case kKindTimer: {
        const auto* tick = dynamic_cast<const TimerMessage*>(&message);
        if (tick != nullptr && tick->code == Code::kTimerTick && tick->timerId == kShowTimerId) {
            // The delay has passed.
            hideTimer_->stop(false);
            onUserInterfaceThread() ? refresh(true) : defer(kRefreshFull);
            return true;
        }
        if (tick != nullptr && tick->code == Code::kTimerTick && tick->timerId == kHideTimerId) {
            onUserInterfaceThread() ? setVisible(false) : defer(kHide);
            return true;
        }
        break;
    }
    default:
        break;
    }
    return ControlText::receive(message);
}

void ControlHelp::paint(Canvas& canvas, const Rect& area) {
    const Rect local = getLocalRect();
    canvas.setBrushColor(colorWhite);
    canvas.fillRect(local);
    canvas.setPenColor(colorBlack);
    canvas.frameRect(local);
    ControlText::paint(canvas, area);
}

} // namespace trov
