#pragma once

#include <string>

namespace trov {

class Control;

// What the editor asks of its info line, the one-line display of prioritised texts posted by its
// stations (a product banner, "MIDI learn : ..."), watching the pressed control's value while it is
// dragged. The editor owns it and calls it on the user-interface thread; `post` and `remove` may come from
// the timer and MIDI threads too (a learn time-out, a learnt controller).
class InfoLine {
public:
    virtual ~InfoLine() = default;
    // When the editor opens: makes its timers.
    virtual void init() = 0;
    // When the editor has opened: the rotation of texts goes on.
    virtual void resume() = 0;
    // When the editor closes or ends.
    virtual void stopTimers() = 0;
    // The text control it shows its texts in (null: none).
    virtual void setDisplay(Control* display) = 0;
    // A text of the sender at a level (higher wins); the sender's earlier text is replaced.
    virtual void post(const void* sender, const std::string& text, int level) = 0;
    virtual void remove(const void* sender) = 0;
    // The control the left button pressed, until it is released.
    virtual void watch(Control* control) = 0;
    virtual void unwatch() = 0;
};

} // namespace trov
