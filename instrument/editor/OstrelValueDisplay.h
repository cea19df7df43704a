#pragma once

#include "gui/controls/ControlValueDisplay.h"
#include "instrument/editor/OstrelLCD.h"

namespace trov {

// The LCD's number display ("LCDDisplay", for integer parameters): the library's value display on the
// flickering LCD.
//
// Owned by its parent. Threads: as the value display; the flicker ticks on the timer thread.
class OstrelValueDisplay : public OstrelLCD<ControlValueDisplay> {
public:
    explicit OstrelValueDisplay(Editor* editor) : OstrelLCD(editor, Rect()) {}
};

} // namespace trov
