#pragma once

#include "gui/controls/Control.h"

#include <mutex>
#include <string>
#include <string_view>

namespace trov {

// A radio button group ("RadioButtons"): its children, usually value buttons each bound to a parameter of
// its own, act as one choice. A child can be switched on but not off by a click (it stays on), and when
// one child's parameter reports a value other than 0, the group sets every other child's parameter to 0
// with the sender code of that report, so the host hears of the change when an editor gesture made it.
// The choice lives in the parameters alone; children are told apart by parameter name. The group draws
// nothing.
//
// Owned by its parent control. A report arrives on the thread that changed the parameter, under that
// parameter's lock: the group only records it (allocating nothing) and makes the switch at the editor's
// next tick, on the user-interface thread and holding no parameter's lock, so two threads switching
// children of one group at once never wait for each other's parameters. The latest report wins, and only
// while its parameter is still on: a click in between has the last word. At layout the first child found
// on wins.
class ControlRadioButtons : public Control {
public:
    ControlRadioButtons(Editor* editor, const Rect& bounds);
    ~ControlRadioButtons() override;

    // Makes the value-control children stay on and listens to every child's parameter (each reports its
    // value at once); the first child found on then switches the others off, telling no host (code 6).
    void layout() override;
    // Every parameter report that reaches the group, whichever parameter sent it.
    bool receive(const Message& message) override;
    void paint(Canvas& /*canvas*/, const Rect& /*area*/) override {}

protected:
    void applyDeferredControlWork() override;

private:
    struct Report {
        std::string name;
        int index = 0;
        int sender = -1; // -1: none
    };

    // The report waiting to be made, emptied.
    Report takeReport();
    // While the reported parameter is still on (or is none of the module's): hands every child parameter
    // of another name the switch-off, with the report's sender code.
    void switchFor(const Report& report);

    // A leaf lock, never held while calling out; the name keeps room, so that recording allocates nothing.
    std::mutex pendingMutex_;
    Report pending_;
    bool layingOut_ = false; // user-interface thread: the first report that is on is kept
};

} // namespace trov
