#pragma once

#include "gui/controls/Control.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace trov {

// A radio button group ("RadioButtons"): its children, usually value buttons each bound to a parameter of
// its own, act as one choice. A child can be switched on but not off by a click (it stays on), and when
// one child's parameter reports a value other than 0, the group sets every other child's parameter to 0
// with the sender code of that report, so the host hears of the change when an editor gesture made it.
// The choice lives in the parameters alone; children are told apart by parameter name. The group draws
// nothing.
//
// Owned by its parent control. A report arrives on the thread that changed the parameter, under that
// parameter's lock: the group only stamps it (allocating nothing) and makes the switch at the editor's
// next tick, on the user-interface thread and holding no parameter's lock, so two threads switching
// children of one group at once never wait for each other's parameters. At the tick the latest report
// whose parameter is still on wins: a click in between has the last word, and a choice switched off
// again gives way to the one reported before it, so however reports and switches interleave the group
// settles on one choice. At layout the first child found on wins.
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
    // The latest report on of one parameter: a child's (the slot of each child with a parameter) or one
    // of no child.
    struct Report {
        std::string name;
        int index = 0;
        int sender = -1;        // -1: none
        std::uint64_t when = 0; // 0: never reported
    };

    // User-interface thread: the latest report whose parameter is still on, when anything was reported
    // since the last time, makes its switch.
    void settle();
    // Hands every child parameter of another name than the report's the switch-off, with the report's
    // sender code.
    void switchFor(const Report& report);

    // A leaf lock, never held while calling out. Names keep room, so that recording allocates nothing.
    std::mutex pendingMutex_;
    std::vector<Report> reports_; // one per child with a parameter, in child order, made at layout
    Report foreign_;              // a parameter of no child
    std::uint64_t clock_ = 0;     // the last report's stamp
    std::uint64_t settled_ = 0;   // the last stamp settle has seen
    bool layingOut_ = false;      // user-interface thread: the first report that is on is kept
};

} // namespace trov
