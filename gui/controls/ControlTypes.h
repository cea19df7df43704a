#pragma once

#include <span>

namespace trov {

class Control;
class Dictionary;
class Editor;
class Parameter;

// What a row of the control factory's table is given to build a control.
struct ControlSpec {
    const Dictionary& node; // the control's node of the editor specification
    Parameter* parameter;   // the parameter the control is tied to; null for none
    int code;               // its type code (`Parameter::getType`); kTypeUnknown without one
    Editor* editor;         // the factory's owner: every control is made for it
};

// One type name of the editor specification: how the factory builds it for a parameter. The builder
// answers a new control (with an empty rectangle: position and size come from the node), or null when the
// name gives no control for that parameter; a row without a builder gives none for any ("None").
struct ControlType {
    const char* name;
    Control* (*build)(const ControlSpec& spec);
};

// The table, searched in order by exact, case-sensitive name. A control class joins it with one row in
// ControlTypes.cpp.
std::span<const ControlType> controlTypes();

} // namespace trov
