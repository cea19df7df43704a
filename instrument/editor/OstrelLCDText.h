#pragma once

#include "gui/controls/ControlText.h"
#include "instrument/editor/OstrelLCD.h"

#include <string>

namespace trov {

// The LCD's free text ("LCDText", also the editor's text display): the library's text on the flickering
// LCD, made with its text in lower case (the LCD's glyphs). Every new text is redrawn at once, even while
// a redraw is pending.
//
// Owned by its parent. Threads: as the text control (`setText` from any thread); the flicker ticks on the
// timer thread.
class OstrelLCDText : public OstrelLCD<ControlText> {
public:
    OstrelLCDText(Editor* editor, const std::string& text, const Rect& bounds);

    void setText(const std::string& text) override;
};

} // namespace trov
