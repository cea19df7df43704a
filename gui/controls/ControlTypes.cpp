#include "gui/controls/ControlTypes.h"

#include "gui/controls/ControlEQCurve.h"
#include "gui/controls/ControlEQSection.h"
#include "gui/controls/ControlFFT.h"
#include "gui/controls/ControlKeyboard.h"

namespace trov {

namespace {

// Rows join as the control classes of the library are built, in the order of the type names the editor
// specification knows; "None" stops the search with no control.
constexpr ControlType kControlTypes[] = {
    {"EQCurve", [](const ControlSpec& s) -> Control* { return new ControlEQCurve(s.editor, Rect()); }},
    {"EQSection", [](const ControlSpec& s) -> Control* { return new ControlEQSection(s.editor, Rect()); }},
    {"FFT", [](const ControlSpec& s) -> Control* { return new ControlFFT(s.editor, Rect()); }},
    {"Keyboard", [](const ControlSpec& s) -> Control* { return new ControlKeyboard(s.editor, Rect()); }},
    {"None", nullptr},
};

} // namespace

std::span<const ControlType> controlTypes() {
    return kControlTypes;
}

} // namespace trov
