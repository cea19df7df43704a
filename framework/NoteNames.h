#pragma once

namespace trov {

// Piano key colours of a MIDI key: black for pitch classes 1, 3, 6, 8 and 10.
bool isWhiteKey(int key);
bool isBlackKey(int key);

} // namespace trov
