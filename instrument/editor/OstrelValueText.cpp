#include "instrument/editor/OstrelValueText.h"

namespace trov {

OstrelValueText::OstrelValueText(Editor* editor, const Rect& bounds)
    : ControlValueText(editor, bounds), flicker_(getOwner(), *this) {}

bool OstrelValueText::fromDictionary(const Dictionary& spec) {
    const bool read = ControlValueText::fromDictionary(spec);
    flicker_.setAlphabet(getAlphabetBitmap());
    return read;
}

void OstrelValueText::setOwner(const Module* module) {
    ControlValueText::setOwner(module);
    flicker_.follow(module);
}

} // namespace trov
