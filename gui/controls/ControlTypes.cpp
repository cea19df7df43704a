#include "gui/controls/ControlTypes.h"

#include "framework/Dictionary.h"
#include "gui/controls/ControlAboutScreen.h"
#include "gui/controls/ControlBitmap.h"
#include "gui/controls/ControlContainer.h"
#include "gui/controls/ControlEQCurve.h"
#include "gui/controls/ControlEQSection.h"
#include "gui/controls/ControlEnumButton.h"
#include "gui/controls/ControlEnumPopupMenu.h"
#include "gui/controls/ControlFFT.h"
#include "gui/controls/ControlHelp.h"
#include "gui/controls/ControlKeyboard.h"
#include "gui/controls/ControlRadioButtons.h"
#include "gui/controls/ControlText.h"
#include "gui/controls/ControlURL.h"
#include "gui/controls/ControlVUMeterLEDs.h"
#include "gui/controls/ControlValueButton.h"
#include "gui/controls/ControlValueButtonChoice.h"
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

// "Button": a value button on a value parameter, an enumeration button on an enumeration. There is no
// enumeration of bools: a bool parameter that is not a value is refused as the enumeration would.
template <class T> Control* button(const ControlSpec& s) {
    if (dynamic_cast<ParameterValue<T>*>(s.parameter) != nullptr)
        return new ControlValueButton<T>(s.editor);
    if constexpr (std::is_same_v<T, bool>)
        refuseParameter(*s.parameter);
    else
        return new ControlEnumButton<T>(s.editor, Rect());
}

Control* buildButton(const ControlSpec& s) {
    switch (s.code) {
    case Parameter::kTypeBool:
        return button<bool>(s);
    case Parameter::kTypeLong:
        return button<long>(s);
    case Parameter::kTypeFloat:
        return button<float>(s);
    // String enumerations; other string parameters are refused when tied.
    case Parameter::kTypeEnum:
    case Parameter::kTypeString:
        return new ControlEnumButton<std::string>(s.editor, Rect());
    default:
        return nullptr;
    }
}

Control* buildButtonChoice(const ControlSpec& s) {
    switch (s.code) {
    case Parameter::kTypeLong:
        return new ControlValueButtonChoice<long>(s.editor, Rect());
    case Parameter::kTypeFloat:
        return new ControlValueButtonChoice<float>(s.editor, Rect());
    default:
        return nullptr;
    }
}

Control* buildPopupMenu(const ControlSpec& s) {
    switch (s.code) {
    case Parameter::kTypeBool:
        refuseParameter(*s.parameter);
    case Parameter::kTypeLong:
        return new ControlEnumPopupMenu<long>(s.editor, Rect());
    case Parameter::kTypeFloat:
        return new ControlEnumPopupMenu<float>(s.editor, Rect());
    case Parameter::kTypeEnum:
    case Parameter::kTypeString:
        return new ControlEnumPopupMenu<std::string>(s.editor, Rect());
    default:
        return nullptr;
    }
}

// Rows join as the control classes of the library are built, in the order of the type names the editor
// specification knows; "None" stops the search with no control.
constexpr ControlType kControlTypes[] = {
    {"About", [](const ControlSpec& s) -> Control* { return new ControlAboutScreen(s.editor, Rect()); }},
    {"Bitmap", [](const ControlSpec& s) -> Control* { return new ControlBitmap(s.editor, nullptr, Rect()); }},
    {"Button", buildButton},
    {"ButtonChoice", buildButtonChoice},
    {"Container", [](const ControlSpec& s) -> Control* { return new ControlContainer(s.editor, Rect()); }},
    {"Display",
     [](const ControlSpec& s) -> Control* {
         return s.code == Parameter::kTypeLong && isInteger(s.parameter)
                    ? new ControlValueDisplay(s.editor, Rect())
                    : nullptr;
     }},
    {"EQCurve", [](const ControlSpec& s) -> Control* { return new ControlEQCurve(s.editor, Rect()); }},
    {"EQSection", [](const ControlSpec& s) -> Control* { return new ControlEQSection(s.editor, Rect()); }},
    {"FFT", [](const ControlSpec& s) -> Control* { return new ControlFFT(s.editor, Rect()); }},
    {"Help", [](const ControlSpec& s) -> Control* { return new ControlHelp(s.editor, Rect()); }},
    {"Keyboard", [](const ControlSpec& s) -> Control* { return new ControlKeyboard(s.editor, Rect()); }},
    {"Knob", [](const ControlSpec& s) -> Control* { return new ControlValueKnob(s.editor); }},
    {"None", nullptr},
    {"PopupMenu", buildPopupMenu},
    {"RadioButtons",
     [](const ControlSpec& s) -> Control* { return new ControlRadioButtons(s.editor, Rect()); }},
    {"Range", [](const ControlSpec& s) -> Control* { return new ControlValueRange(s.editor); }},
    {"Slider", [](const ControlSpec& s) -> Control* { return new ControlValueSlider(s.editor); }},
    {"Text",
     [](const ControlSpec& s) -> Control* {
         std::string text;
         s.node.getString("text", &text);
         return new ControlText(s.editor, text, Rect());
     }},
    {"TextValue", [](const ControlSpec& s) -> Control* { return new ControlValueText(s.editor, Rect()); }},
    {"URL", [](const ControlSpec& s) -> Control* { return new ControlURL(s.editor); }},
    {"VUMeter", [](const ControlSpec& s) -> Control* { return new ControlVUMeter(s.editor); }},
    {"VUMeterLED", [](const ControlSpec& s) -> Control* { return new ControlVUMeterLEDs(s.editor); }},
};

} // namespace

std::span<const ControlType> controlTypes() {
    return kControlTypes;
}

} // namespace trov
