#pragma once

#include "gui/controls/ControlValueButton.h"

#include <atomic>

namespace trov {

// A bool value button ("CorvaleSliceButton") that is enabled only while the current zone's sample is cut
// into slices: it follows "CurrentSample" and looks the sample up in the resources; at least two slices
// enable it. Otherwise an ordinary value button of the parameter its node names.
//
// Owned by its parent. Threads: as the value button; a "CurrentSample" change on any thread is only
// recorded: the sample is looked up at the user-interface thread's next tick, outside the broadcast (the
// look-up takes the resources' lock, under which samples are announced).
class CorvaleButtonSliceEnabled : public ControlValueButton<bool> {
public:
    static constexpr int kLeastSlices = 2;

    explicit CorvaleButtonSliceEnabled(Editor* editor);

    bool receive(const Message& message) override;

protected:
    void applyDeferredControlWork() override;

private:
    std::atomic<bool> pendingLookUp_{false};
};

} // namespace trov
