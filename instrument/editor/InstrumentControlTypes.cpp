#include "instrument/editor/InstrumentControlTypes.h"

#include "instrument/editor/CorvaleButtonSampleEnabled.h"
#include "instrument/editor/CorvaleButtonSliceEnabled.h"
#include "instrument/editor/OstrelSampleDrag.h"
#include "instrument/editor/OstrelSampleEditor.h"
#include "instrument/editor/OstrelZoneKeyboard.h"

namespace trov {

namespace {

// The instrument's controls, in the order of their type names.
constexpr ControlType kInstrumentControlTypes[] = {
    {"CorvaleSampleButton",
     [](const ControlSpec& s) -> Control* { return new CorvaleButtonSampleEnabled(s.editor); }},
    {"CorvaleSliceButton",
     [](const ControlSpec& s) -> Control* { return new CorvaleButtonSliceEnabled(s.editor); }},
    {"SampleDrag", [](const ControlSpec& s) -> Control* { return new OstrelSampleDrag(s.editor); }},
    {"SampleEditor",
     [](const ControlSpec& s) -> Control* { return new OstrelSampleEditor(s.editor, Rect()); }},
    {"ZoneKeyboard",
     [](const ControlSpec& s) -> Control* { return new OstrelZoneKeyboard(s.editor, Rect()); }},
};

} // namespace

std::span<const ControlType> instrumentControlTypes() {
    return kInstrumentControlTypes;
}

} // namespace trov
