#include "gui/controls/ControlValueText.h"

#include "framework/Dictionary.h"
#include "plugin/Parameter.h"

namespace trov {

namespace {

// The codes 0x20 to 0x60 with the letters in lower case: a bitmap alphabet's usual glyph order.
std::string defaultCharacters() {
    std::string characters;
    for (char c = 0x20; c <= 0x60; ++c)
        characters += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return characters;
}

} // namespace

ControlValueText::ControlValueText(Editor* editor, const Rect& bounds)
    : ControlValue(editor, bounds), characters_(defaultCharacters()) {}

ControlValueText::~ControlValueText() {
    giveBack(handle_);
}

bool ControlValueText::fromDictionary(const Dictionary& spec) {
    ControlValue::fromDictionary(spec);
    readBitmap(spec, "handle", handle_);
    spec.getString("characters", &characters_);
    spec.getString("prefix", &prefix_);
    spec.getString("postfix", &postfix_);
    return true;
}

bool ControlValueText::receive(const Message& message) {
    if (message.kind == kKindWindow && message.code == 3001 && testFlags(kEditable) != 0 &&
        testFlags(kTextEntry) != 0) {
        if (const Parameter* parameter = getParameter()) {
            editParameterText(getAbsoluteRect(), parameter->getLabel());
            return true;
        }
    }
    return ControlValue::receive(message);
}

void ControlValueText::paint(Canvas& canvas, const Rect& /*area*/) {
    if (const Parameter* parameter = getParameter())
        drawText(canvas, getLocalRect(), prefix_ + parameter->getText() + postfix_);
}

} // namespace trov
