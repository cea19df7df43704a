#include "gui/controls/ControlTypes.h"

#include "framework/Dictionary.h"
#include "gui/controls/ControlBitmap.h"
#include "gui/controls/ControlEQCurve.h"
#include "gui/controls/ControlEQSection.h"
#include "gui/controls/ControlFFT.h"
#include "gui/controls/ControlKeyboard.h"
#include "gui/controls/ControlText.h"
#include "gui/controls/ControlValueDisplay.h"
#include "gui/controls/ControlValueKnob.h"
#include "gui/controls/ControlValueRange.h"
#include "gui/controls/ControlValueSlider.h"
#include "gui/controls/ControlValueText.h"
#include "plugin/ParameterEnum.h"
#include "plugin/ParameterValue.h"

#include <string>

namespace trov {

namespace {

// An integer value or an integer enumeration: what a value display shows.
bool isInteger(const Parameter* parameter) {
    return dynamic_cast<const ParameterValue<long>*>(parameter) != nullptr ||
           dynamic_cast<const ParameterEnum<long>*>(parameter) != nullptr;
}

// Rows join as the control classes of the library are built, in the order of the type names the editor
// specification knows; "None" stops the search with no control.
constexpr ControlType kControlTypes[] = {
    {"Bitmap", [](const ControlSpec& s) -> Control* { return new ControlBitmap(s.editor, nullptr, Rect()); }},
    {"Display",
     [](const ControlSpec& s) -> Control* {
         return s.code == Parameter::kTypeLong && isInteger(s.parameter)
                    ? new ControlValueDisplay(s.editor, Rect())
                    : nullptr;
     }},
    {"EQCurve", [](const ControlSpec& s) -> Control* { return new ControlEQCurve(s.editor, Rect()); }},
    {"EQSection", [](const ControlSpec& s) -> Control* { return new ControlEQSection(s.editor, Rect()); }},
    {"FFT", [](const ControlSpec& s) -> Control* { return new ControlFFT(s.editor, Rect()); }},
    {"Keyboard", [](const ControlSpec& s) -> Control* { return new ControlKeyboard(s.editor, Rect()); }},
    {"Knob", [](const ControlSpec& s) -> Control* { return new ControlValueKnob(s.editor); }},
    {"None", nullptr},
    {"Range", [](const ControlSpec& s) -> Control* { return new ControlValueRange(s.editor); }},
    {"Slider", [](const ControlSpec& s) -> Control* { return new ControlValueSlider(s.editor); }},
    {"Text",
     [](const ControlSpec& s) -> Control* {
         std::string text;
         s.node.getString("text", &text);
         return new ControlText(s.editor, text, Rect());
     }},
    {"TextValue", [](const ControlSpec& s) -> Control* { return new ControlValueText(s.editor, Rect()); }},
};

} // namespace

std::span<const ControlType> controlTypes() {
    return kControlTypes;
}

const ControlType* findControlType(std::span<const ControlType> table, std::string_view name) {
    for (const ControlType& row : table)
        if (name == row.name)
            return &row;
    return nullptr;
}

} // namespace trov
