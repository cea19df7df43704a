#pragma once

namespace trov {

// What the editor asks of its help line, the control with id "special::help" that shows the tooltip of
// the control under the pointer after a delay. The help control implements it beside its control base.
// User-interface thread.
class HelpLine {
public:
    virtual ~HelpLine() = default;
    // Begins hiding the shown help (a button went up, or a control asked).
    virtual void startHide() = 0;
    // Stops its timers before the editor ends.
    virtual void disarm() = 0;
};

} // namespace trov
