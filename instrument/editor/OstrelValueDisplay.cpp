#include "instrument/editor/OstrelValueDisplay.h"

namespace trov {

OstrelValueDisplay::OstrelValueDisplay(Editor* editor)
    : ControlValueDisplay(editor, Rect()), flicker_(getOwner(), *this) {}

bool OstrelValueDisplay::fromDictionary(const Dictionary& spec) {
    const bool read = ControlValueDisplay::fromDictionary(spec);
    flicker_.setAlphabet(getAlphabetBitmap());
    return read;
}

void OstrelValueDisplay::setOwner(const Module* module) {
    ControlValueDisplay::setOwner(module);
    flicker_.follow(module);
}

} // namespace trov
