#include "gui/controls/ControlScrollbar.h"

#include "gui/Canvas.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

namespace trov {

namespace {

const Color kGrey(190, 190, 190, 255);
constexpr int kThumbInset = 2;

int toInt(long long v) {
    return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

} // namespace

ControlScrollbar::ControlScrollbar(Control* target, Editor* editor, const Rect& bounds)
    : ControlValue(editor, bounds), target_(target), contentHeight_(bounds.getHeight()) {}

void ControlScrollbar::scrollBy(int d) {
    const long long h = visibleHeight();
    long long delta = d;
    long long scroll = static_cast<long long>(scroll_) - delta;
    if (scroll > 0) {
        delta += scroll;
        scroll = 0;
    }
    // Content that fits never moves off the top: with nothing to scroll the end is the top.
    const long long end = std::min(0LL, h - contentHeight_);
    if (scroll < end) {
        delta += scroll - end;
        scroll = end;
    }
    scroll_ = toInt(scroll);
    if (target_ == nullptr || delta == 0)
        return;
    target_->moveBy(Point(0, toInt(-delta)));
    moveBy(Point(0, toInt(delta)));
}

void ControlScrollbar::setContentHeight(int height) {
    contentHeight_ = height;
    const int h = visibleHeight();
    if (static_cast<long long>(scroll_) + height < h) {
        if (height > h)
            scrollBy(toInt(-(static_cast<long long>(scroll_) + height)));
        else
            scrollBy(scroll_);
    }
    setNeedsRedraw(true);
}

void ControlScrollbar::setAutoHide(bool autoHide) {
    autoHide_ = autoHide;
    setNeedsRedraw(true);
}

Rect ControlScrollbar::getThumbRect() const {
    if (contentHeight_ <= 0)
        return Rect();
    const long long h = visibleHeight();
    return Rect(0, toInt(-static_cast<long long>(scroll_) * h / contentHeight_), getLocalRect().getWidth(),
                toInt(h * h / contentHeight_));
}

int ControlScrollbar::contentPixels(int d) const {
    return toInt(static_cast<long long>(contentHeight_) * d / visibleHeight());
}

void ControlScrollbar::layout() {
    scrollBy(scroll_);
}

bool ControlScrollbar::receive(const Message& message) {
    const auto* window = message.kind == kKindWindow ? dynamic_cast<const WindowMessage*>(&message) : nullptr;
    if (window == nullptr)
        return ControlValue::receive(message);
    // Nothing to scroll; a view without height has no thumb to hold either.
    const int h = visibleHeight();
    if (h <= 0 || contentHeight_ <= h)
        return false;
    const Point p = window->where;
    const Rect thumb = getThumbRect();
    const int page = static_cast<int>(std::nearbyint(kPage * static_cast<float>(h)));
    switch (window->code) {
    case 3000:
        if (thumb.contains(p)) {
            setDragStart(p);
            return true;
        }
        if (p.y < thumb.top) {
            scrollBy(-page);
            return false;
        }
        if (p.y > thumb.bottom) {
            scrollBy(page);
            return false;
        }
        break;
    case 3001: {
        int d = p.y - thumb.getHeight() / 2 - thumb.top;
        if (p.y < thumb.top)
            d += thumb.getHeight();
        else if (p.y > thumb.bottom)
            d -= thumb.getHeight();
        scrollBy(contentPixels(d));
        // A drag after the double click goes on from here.
        setDragStart(p);
        return true;
    }
    case 3002:
        return true;
    case 3009:
        scrollBy(contentPixels(p.y - getDragStart().y));
        setDragStart(p);
        return true;
    case 3011: {
        const auto delta = static_cast<float>(static_cast<std::intptr_t>(window->extra));
        scrollBy(static_cast<int>(std::nearbyint(std::clamp(delta * kWheelPixels, -1e9f, 1e9f))));
        return true;
    }
    default:
        break;
    }
    return ControlValue::receive(message);
}

void ControlScrollbar::paint(Canvas& canvas, const Rect& /*area*/) {
    const bool scrolls = contentHeight_ > visibleHeight();
    if (scrolls || !autoHide_) {
        canvas.setPenColor(kGrey);
        canvas.frameRect(getLocalRect());
    }
    if (scrolls) {
        Rect inside = getThumbRect();
        inside.inset(kThumbInset);
        canvas.setBrushColor(kGrey);
        canvas.fillRect(inside);
    }
}

} // namespace trov
