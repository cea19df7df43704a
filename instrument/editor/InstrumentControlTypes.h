#pragma once

#include "gui/controls/ControlTypes.h"

#include <span>

namespace trov {

// The instrument's own type names of the editor specification, searched in order by exact, case-sensitive
// name before the library's (`controlTypes`). A row's builder answers a new control for the row's
// `ControlSpec` (owner the factory's editor, empty rectangle), or null when the name gives no control for
// that parameter: the library's factory is then asked, which knows none of these names. An instrument
// control class joins with one row in InstrumentControlTypes.cpp.
std::span<const ControlType> instrumentControlTypes();

} // namespace trov
