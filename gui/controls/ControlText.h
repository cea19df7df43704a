#pragma once

#include "framework/Font.h"
#include "gui/controls/Control.h"

#include <memory>
#include <mutex>
#include <string>

namespace trov {

class Timer;

// Shows a free text, or its bound parameter's display text, in black in its font, inset by its margins.
// With "autoscroll" a text longer than "maxlength" characters runs as a marquee: five blanks are put
// after it and it rotates left by one character every 200 ms. The info line shows its texts in one
// ("special::textdisplay"); the help line and the instrument's displays derive from it.
//
// Owned by its parent. Threads: `setText` may come from any thread that feeds the display (the info line's
// timer, a notification), and the marquee ticks on the timer-service thread; the text is guarded by a lock
// of its own that is never held while a redraw is asked for or while the marquee's timer starts or stops.
// Everything else is the user-interface thread's.
class ControlText : public Control {
public:
    static constexpr std::int32_t kScrollTimerId = makeTimerId("CTst");
    static constexpr int kScrollPeriodMs = 200;
    static constexpr long kDefaultMaxLength = 1000;
    // What separates a scrolling text's end from its beginning.
    static constexpr const char* kScrollGap = "     ";

    ControlText(Editor* editor, const std::string& text, const Rect& bounds);
    ~ControlText() override;

    // The text shown while no parameter is bound; with autoscroll, one longer than the longest shown still
    // runs as a marquee and any other stops it.
    virtual void setText(const std::string& text);
    // The text as shown now (the marquee's blanks and rotation included).
    std::string getText() const;
    void setMargins(int x, int y);
    const Font& getFont() const { return font_; }
    void setFont(const Font& font) { font_ = font; }
    bool isScrolling() const;

    // "autoscroll" and "maxlength", then the control base's keys.
    bool fromDictionary(const Dictionary& spec) override;
    // The marquee's ticks; the rest goes to the control base.
    bool receive(const Message& message) override;
    void paint(Canvas& canvas, const Rect& area) override;

private:
    void rotate();

    std::string text_;
    Font font_{"Arial", 12.0f, 0, 1, Font::kAlignLeft | Font::kAlignTop, 0.0f};
    int marginX_ = 0;
    int marginY_ = 0;
    mutable std::mutex lock_; // guards text_ and scrolling_
    std::mutex settingLock_;  // one setText at a time, so the timer ends in the state of the last text
    bool scrolling_ = false;
    bool autoScroll_ = false;
    long maxLength_ = kDefaultMaxLength;
    std::unique_ptr<Timer> scrollTimer_;
};

} // namespace trov
