#pragma once

#include "gui/controls/ControlValueButton.h"

namespace trov {

// A bool value button ("CorvaleSliceButton") that is enabled only while the current zone's sample is cut
// into slices: it follows "CurrentSample" and looks the sample up in the resources; at least two slices
// enable it. Otherwise an ordinary value button of the parameter its node names.
//
// Owned by its parent. Threads: as the value button; "CurrentSample" may change on any thread but the
// audio thread (the look-up takes the resources' lock), where only the enabled flag changes.
class CorvaleButtonSliceEnabled : public ControlValueButton<bool> {
public:
    static constexpr int kLeastSlices = 2;

    explicit CorvaleButtonSliceEnabled(Editor* editor);

    bool receive(const Message& message) override;
};

} // namespace trov
