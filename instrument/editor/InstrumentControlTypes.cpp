#include "instrument/editor/InstrumentControlTypes.h"

#include "framework/Dictionary.h"
#include "instrument/editor/CorvaleButtonSampleEnabled.h"
#include "instrument/editor/CorvaleButtonSliceEnabled.h"
#include "instrument/editor/CorvaleRecordButton.h"
#include "instrument/editor/OstrelBackground.h"
#include "instrument/editor/OstrelLCDText.h"
#include "instrument/editor/OstrelLED.h"
#include "instrument/editor/OstrelLayerButton.h"
#include "instrument/editor/OstrelSampleBrowser.h"
#include "instrument/editor/OstrelSampleDrag.h"
#include "instrument/editor/OstrelSampleEditor.h"
#include "instrument/editor/OstrelValueDisplay.h"
#include "instrument/editor/OstrelValueText.h"
#include "instrument/editor/OstrelZoneKeyboard.h"
#include "plugin/ParameterEnum.h"
#include "plugin/ParameterValue.h"

#include <string>

namespace trov {

namespace {

Control* led(const ControlSpec& s) {
    return new OstrelLED(s.editor, Rect());
}

// An integer value or an integer enumeration: what the LCD's number display shows. Anything else is left
// to the library's factory, which knows no "LCDDisplay".
Control* lcdDisplay(const ControlSpec& s) {
    if (s.code != Parameter::kTypeLong ||
        (dynamic_cast<const ParameterValue<long>*>(s.parameter) == nullptr &&
         dynamic_cast<const ParameterEnum<long>*>(s.parameter) == nullptr))
        return nullptr;
    return new OstrelValueDisplay(s.editor);
}

// The instrument's controls, in the order of their type names.
constexpr ControlType kInstrumentControlTypes[] = {
    {"Background", [](const ControlSpec& s) -> Control* { return new OstrelBackground(s.editor); }},
    {"CorvaleRecordButton",
     [](const ControlSpec& s) -> Control* { return new CorvaleRecordButton(s.editor); }},
    {"CorvaleSampleButton",
     [](const ControlSpec& s) -> Control* { return new CorvaleButtonSampleEnabled(s.editor); }},
    {"CorvaleSliceButton",
     [](const ControlSpec& s) -> Control* { return new CorvaleButtonSliceEnabled(s.editor); }},
    {"LayerButton", [](const ControlSpec& s) -> Control* { return new OstrelLayerButton(s.editor); }},
    // Like the library's "Text", it starts with the node's "text".
    {"LCDText",
     [](const ControlSpec& s) -> Control* {
         std::string text;
         s.node.getString("text", &text);
         return new OstrelLCDText(s.editor, text, Rect());
     }},
    {"LCDDisplay", lcdDisplay},
    {"LCDValueText", [](const ControlSpec& s) -> Control* { return new OstrelValueText(s.editor, Rect()); }},
    {"LFOLED", led},
    {"SampleBrowser",
     [](const ControlSpec& s) -> Control* { return new OstrelSampleBrowser(s.editor, Rect()); }},
    {"SampleDrag", [](const ControlSpec& s) -> Control* { return new OstrelSampleDrag(s.editor); }},
    {"SampleEditor",
     [](const ControlSpec& s) -> Control* { return new OstrelSampleEditor(s.editor, Rect()); }},
    {"Settings", led},
    {"ZoneKeyboard",
     [](const ControlSpec& s) -> Control* { return new OstrelZoneKeyboard(s.editor, Rect()); }},
};

} // namespace

std::span<const ControlType> instrumentControlTypes() {
    return kInstrumentControlTypes;
}

} // namespace trov
