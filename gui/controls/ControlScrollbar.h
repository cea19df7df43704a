#pragma once

#include "gui/controls/ControlValue.h"

namespace trov {

// The vertical scrollbar a control makes for itself (`Control::addScrollbar`) when its content is taller
// than the room it is shown in. It scrolls by moving the scrolled control (its target and parent) inside
// the target's own parent: the target moves up by as much as the scrollbar moves down, so the bar stays in
// place. Its visible height is its own height; the content's height is what the target's `setSize` tells
// it. A grey track with a grey thumb; page clicks above and below the thumb, thumb drags, double clicks
// and the wheel (20 pixels a notch).
//
// Owned by its target as a child. User-interface thread only.
class ControlScrollbar : public ControlValue {
public:
    // Pixels scrolled per unit of wheel delta (a notch of 120 scrolls 20), and the share of the visible
    // height a page click scrolls.
    static constexpr float kWheelPixels = -0.16666667f;
    static constexpr float kPage = 0.9f;

    ControlScrollbar(Control* target, Editor* editor, const Rect& bounds);

    // Scrolls the content d pixels further down (up for a negative d), never above its top nor, when it is
    // taller than the view, beyond its end.
    void scrollBy(int d);
    // A new content height; content that now ends above the view's bottom scrolls back into view.
    void setContentHeight(int height);
    int getContentHeight() const { return contentHeight_; }
    // 0 at the top, negative when scrolled down.
    int getScroll() const { return scroll_; }
    // Whether the track is drawn only while there is something to scroll.
    void setAutoHide(bool autoHide);
    // (0, the share scrolled of the visible height, width, the visible share of it); empty without content.
    Rect getThumbRect() const;

    // Brings the content back to the top.
    void layout() override;
    // While the content is taller than the view: page clicks, thumb drags, double clicks, the wheel; any
    // window message is refused (false) otherwise.
    bool receive(const Message& message) override;
    void paint(Canvas& canvas, const Rect& area) override;

private:
    int visibleHeight() const { return getLocalRect().getHeight(); }
    // d pixels of content for every pixel of the visible height, within int.
    int contentPixels(int d) const;

    Control* target_;
    int scroll_ = 0;
    int contentHeight_;
    bool autoHide_ = true;
};

} // namespace trov
