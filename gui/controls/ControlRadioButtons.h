#pragma once

#include "gui/controls/Control.h"

#include <mutex>
#include <string>
#include <vector>

namespace trov {

// A radio button group ("RadioButtons"): its children, usually value buttons each bound to a parameter of
// its own, act as one choice. A child can be switched on but not off by a click (it stays on), and as soon
// as one child's parameter reports a value other than 0, the group sets every other child's parameter to 0
// with the sender code of that report, so the host hears of the change when an editor gesture made it.
// The choice lives in the parameters alone; children are told apart by parameter name. The group draws
// nothing.
//
// Owned by its parent control. Laid out, clicked and switched on the user-interface thread. A report that
// arrives on another thread (host automation) only records the switch, which the editor's next tick
// makes, so that two threads switching children of one group at once never hold one parameter's lock
// while waiting for another's. Switches recorded before the tick give way to what happened since: only
// the latest report is made, and only while its parameter is still on.
class ControlRadioButtons : public Control {
public:
    ControlRadioButtons(Editor* editor, const Rect& bounds);
    ~ControlRadioButtons() override;

    // Makes the value-control children stay on and listens to every child's parameter (each answers at
    // once with its value, so the first child found on switches the others off).
    void layout() override;
    // Every parameter report that reaches the group, whichever parameter sent it.
    bool receive(const Message& message) override;
    void paint(Canvas& /*canvas*/, const Rect& /*area*/) override {}

protected:
    void applyDeferredControlWork() override;

private:
    // Hands every child parameter not called `name` the switch-off, with the sender code.
    void switchOthersOff(std::string_view name, int sender);

    // A report from another thread: the parameter's name (room for it is kept, so that recording one
    // allocates nothing), instance and sender code; under a leaf lock, never held while calling out.
    std::mutex pendingMutex_;
    std::string pendingName_;
    int pendingIndex_ = 0;
    int pendingSender_ = -1;
};

} // namespace trov
