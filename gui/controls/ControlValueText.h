#pragma once

#include "gui/controls/ControlValue.h"

#include <string>

namespace trov {

// Shows the bound parameter's display text between a prefix and a postfix ("prefix", "postfix"), in the
// canvas's font or the control's alphabet; a double click lets the user type a new value over the control.
// Nothing is shown without a bound parameter. The skin named by "handle" and the glyph order
// "characters" are kept for derived displays; this one does not draw with them.
//
// Owned by its parent. Threads: as `ControlValue`.
class ControlValueText : public ControlValue {
public:
    ControlValueText(Editor* editor, const Rect& bounds);
    ~ControlValueText() override;

    const std::string& getPrefix() const { return prefix_; }
    const std::string& getPostfix() const { return postfix_; }
    const std::string& getCharacters() const { return characters_; }
    Bitmap* getHandle() const { return handle_; }

    // The value control's keys, then "handle", "characters", "prefix" and "postfix".
    bool fromDictionary(const Dictionary& spec) override;
    // A double click opens the text entry over the control (editable, with text entry and a parameter);
    // the rest goes to the value control.
    bool receive(const Message& message) override;
    void paint(Canvas& canvas, const Rect& area) override;

private:
    Bitmap* handle_ = nullptr;
    std::string characters_;
    std::string prefix_;
    std::string postfix_;
};

} // namespace trov
