#pragma once

#include "gui/controls/ControlValueText.h"
#include "instrument/editor/OstrelLCD.h"

namespace trov {

// The LCD's value text ("LCDValueText"): the library's value text on the flickering LCD.
//
// Owned by its parent. Threads: as the value text; the flicker ticks on the timer thread.
class OstrelValueText : public OstrelLCD<ControlValueText> {
public:
    OstrelValueText(Editor* editor, const Rect& bounds) : OstrelLCD(editor, bounds) {}
};

} // namespace trov
