#include "framework/NoteNames.h"

namespace trov {

bool isWhiteKey(int key) {
    switch (((key % 12) + 12) % 12) {
    case 1:
    case 3:
    case 6:
    case 8:
    case 10:
        return false;
    default:
        return true;
    }
}

bool isBlackKey(int key) {
    return !isWhiteKey(key);
}

} // namespace trov
