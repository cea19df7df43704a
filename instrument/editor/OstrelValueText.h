#pragma once

#include "gui/controls/ControlValueText.h"
#include "instrument/editor/OstrelEngineFlicker.h"

namespace trov {

// The LCD's value text ("LCDValueText"): the library's value text, whose glyph sheet flickers with the
// number of voices sounding (`OstrelEngineFlicker`).
//
// Owned by its parent. Threads: as the value text; the flicker ticks on the timer thread.
class OstrelValueText : public ControlValueText {
public:
    OstrelValueText(Editor* editor, const Rect& bounds);

    bool fromDictionary(const Dictionary& spec) override;
    void setOwner(const Module* module) override;

private:
    OstrelEngineFlicker flicker_;
};

} // namespace trov
