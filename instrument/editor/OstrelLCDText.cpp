#include "instrument/editor/OstrelLCDText.h"

#include <algorithm>

namespace trov {

namespace {

// ASCII letters only: other bytes (UTF-8 sequences among them) stay as they are.
std::string lowerAscii(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

} // namespace

OstrelLCDText::OstrelLCDText(Editor* editor, const std::string& text, const Rect& bounds)
    : ControlText(editor, lowerAscii(text), bounds), flicker_(getOwner(), *this) {}

void OstrelLCDText::setText(const std::string& text) {
    ControlText::setText(text);
    requestRedraw(true);
}

bool OstrelLCDText::fromDictionary(const Dictionary& spec) {
    const bool read = ControlText::fromDictionary(spec);
    flicker_.setAlphabet(getAlphabetBitmap());
    return read;
}

void OstrelLCDText::setOwner(const Module* module) {
    ControlText::setOwner(module);
    flicker_.follow(module);
}

} // namespace trov
