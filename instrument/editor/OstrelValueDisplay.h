#pragma once

#include "gui/controls/ControlValueDisplay.h"
#include "instrument/editor/OstrelEngineFlicker.h"

namespace trov {

// The LCD's number display ("LCDDisplay", for integer parameters): the library's value display, whose
// glyph sheet flickers with the number of voices sounding (`OstrelEngineFlicker`).
//
// Owned by its parent. Threads: as the value display; the flicker ticks on the timer thread.
class OstrelValueDisplay : public ControlValueDisplay {
public:
    explicit OstrelValueDisplay(Editor* editor);

    bool fromDictionary(const Dictionary& spec) override;
    void setOwner(const Module* module) override;

private:
    OstrelEngineFlicker flicker_;
};

} // namespace trov
