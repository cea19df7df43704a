#pragma once

#include "gui/controls/ControlValueButton.h"

#include <string_view>

namespace trov {

class ParameterMessage;

// A bool value button ("CorvaleSampleButton") that is enabled only while the current zone has a sample:
// it follows "CurrentSample" (the identifier of the zone's sample, empty without one). Otherwise an
// ordinary value button of the parameter its node names. The sample drag button derives from it.
//
// Owned by its parent. Threads: as the value button; "CurrentSample" may change on any thread, where only
// the enabled flag changes (its redraw waits for the editor's tick there).
class CorvaleButtonSampleEnabled : public ControlValueButton<bool> {
public:
    explicit CorvaleButtonSampleEnabled(Editor* editor);

    bool receive(const Message& message) override;
};

// The sample identifier a "CurrentSample" notification carries; false for any other message.
bool currentSampleOf(const Message& message, std::string_view& sample);

} // namespace trov
