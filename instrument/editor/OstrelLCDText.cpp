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
    : OstrelLCD(editor, lowerAscii(text), bounds) {}

void OstrelLCDText::setText(const std::string& text) {
    ControlText::setText(text);
    requestRedraw(true);
}

} // namespace trov
