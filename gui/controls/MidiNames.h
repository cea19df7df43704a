#pragma once

#include "framework/NoteNames.h"

#include <string>

namespace trov {

// The words the editor shows for MIDI numbers. Key colours (`isWhiteKey`, `isBlackKey`) come with this
// header. Any thread.

// The pitch class and the octave, key / 12 - 2 counted down for negative keys: key 60 is "C3", 0 "C-2",
// 127 "G8", -1 "B-3".
std::string getNoteName(int key);
// The controller's name: 0-127 control changes, 128 the pitch wheel, 129 channel pressure ("Aftertouch");
// empty for a number without a name.
std::string getControllerName(int controller);

} // namespace trov
