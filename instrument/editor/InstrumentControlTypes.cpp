#include "instrument/editor/InstrumentControlTypes.h"

#include "instrument/editor/OstrelSampleEditor.h"
#include "instrument/editor/OstrelZoneKeyboard.h"

namespace trov {

namespace {

// The instrument's controls, in the order of their type names.
constexpr ControlType kInstrumentControlTypes[] = {
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
