#include "gui/controls/ControlText.h"

#include "framework/Dictionary.h"
#include "framework/Timer.h"
#include "gui/Canvas.h"
#include "plugin/Parameter.h"

#include <algorithm>

namespace trov {

ControlText::ControlText(Editor* editor, const std::string& text, const Rect& bounds)
    : Control(editor, bounds), text_(text),
      scrollTimer_(std::make_unique<Timer>(getOwner(),
                                           TimerMessage(this, Code::kTimerTick, kScrollTimerId, 0),
                                           kScrollPeriodMs, false, false)) {
    clearFlags(kEditable);
    tuneInTo(scrollTimer_.get());
}

ControlText::~ControlText() {
    tuneOutOf(scrollTimer_.get());
    // Waits for a tick in flight, which may still be rotating the text.
    scrollTimer_.reset();
}

void ControlText::setText(const std::string& text) {
    {
        // The timer is started and stopped outside the text's lock: stopping waits for a tick in flight,
        // and a tick takes that lock.
        std::lock_guard setting(settingLock_);
        bool scroll = false;
        {
            std::lock_guard guard(lock_);
            text_ = text;
            scroll = autoScroll_ && static_cast<long long>(text.size()) > maxLength_;
            if (scroll)
                text_ += kScrollGap;
            scrolling_ = scroll;
        }
        if (scroll)
            scrollTimer_->start();
        else
            scrollTimer_->stop(false);
    }
    setNeedsRedraw(true);
}

std::string ControlText::getText() const {
    std::lock_guard guard(lock_);
    return text_;
}

bool ControlText::isScrolling() const {
    std::lock_guard guard(lock_);
    return scrolling_;
}

void ControlText::setMargins(int x, int y) {
    marginX_ = x;
    marginY_ = y;
}

bool ControlText::fromDictionary(const Dictionary& spec) {
    spec.getBool("autoscroll", &autoScroll_);
    std::int32_t length = 0;
    if (spec.getLong("maxlength", &length))
        maxLength_ = length;
    return Control::fromDictionary(spec);
}

// Timer thread. The whole rotation happens under the lock, so that a text set meanwhile is never mixed
// with the old one; an empty text has nothing to rotate.
void ControlText::rotate() {
    {
        std::lock_guard guard(lock_);
        if (!scrolling_ || text_.empty())
            return;
        std::rotate(text_.begin(), text_.begin() + 1, text_.end());
    }
    setNeedsRedraw(true);
}

bool ControlText::receive(const Message& message) {
    if (message.kind == kKindTimer && message.code == Code::kTimerTick) {
        const auto* tick = dynamic_cast<const TimerMessage*>(&message);
        if (tick != nullptr && tick->timerId == kScrollTimerId) {
            rotate();
            return true;
        }
    }
    return Control::receive(message);
}

void ControlText::paint(Canvas& canvas, const Rect& /*area*/) {
    canvas.setTextColor(colorBlack);
    canvas.setFont(font_);
    Rect r = getLocalRect();
    r.inset(marginX_, marginY_);
    if (const Parameter* parameter = getParameter())
        drawText(canvas, r, parameter->getText());
    else
        drawText(canvas, r, getText());
}

} // namespace trov
