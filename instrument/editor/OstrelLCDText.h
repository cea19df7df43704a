#pragma once

#include "gui/controls/ControlText.h"
#include "instrument/editor/OstrelEngineFlicker.h"

#include <string>

namespace trov {

// The LCD's free text ("LCDText", also the editor's text display): the library's text, made with its text
// in lower case (the LCD's glyphs), whose glyph sheet flickers with the number of voices sounding
// (`OstrelEngineFlicker`). Every new text is redrawn at once, even while a redraw is pending.
//
// Owned by its parent. Threads: as the text control (`setText` from any thread); the flicker ticks on the
// timer thread.
class OstrelLCDText : public ControlText {
public:
    OstrelLCDText(Editor* editor, const std::string& text, const Rect& bounds);

    void setText(const std::string& text) override;
    bool fromDictionary(const Dictionary& spec) override;
    void setOwner(const Module* module) override;

private:
    OstrelEngineFlicker flicker_;
};

} // namespace trov
