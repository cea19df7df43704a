#pragma once

#include "gui/controls/Control.h"

#include <atomic>

namespace trov {

// A panel of child controls ("Container") shown while its boolean parameter is on ("invertvalue": while
// it is off). Pointer events go to the child under the pointer. A "modal" panel that an editor gesture
// opens takes the focus, and gives it back when a gesture closes it or when any control broadcasts
// "LeaveModalMode".
//
// Owned by its parent control. User-interface thread; a notification of its parameter arriving on
// another thread is applied (shown or hidden, focus) at the editor's next tick.
class ControlContainer : public Control {
public:
    ControlContainer(Editor* editor, const Rect& bounds);
    ~ControlContainer() override;

    bool receive(const Message& message) override;
    // The control's keys, then "invertvalue".
    bool fromDictionary(const Dictionary& spec) override;
    void paint(Canvas& /*canvas*/, const Rect& /*area*/) override {}

    // Binds the named parameter and listens to it.
    virtual void attachParameter(const std::string& name);
    // Only for the bound name: stops listening and binds none.
    virtual void detachParameter(const std::string& name);

    bool isInverted() const { return invertValue_; }

protected:
    void applyDeferredControlWork() override;

private:
    bool run(int work);
    void show(bool on, int sender);

    bool invertValue_ = false;
    // A show or hide (bit 0: show, bit 1: by an editor gesture) or a leave of modal mode (bit 2) waiting
    // for the user-interface thread, or -1.
    std::atomic<int> pending_{-1};
};

} // namespace trov
