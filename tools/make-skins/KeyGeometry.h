#pragma once

#include "tools/make-skins/ControlArt.h"

#include <vector>

namespace trov::skins {

// The sizes of a keyboard's keys as the keyboard control lays them out over its width and height for its
// key range, and per white shape (C, D, E, F, G, A, B, the closing C) the columns the neighbouring black
// keys cover at its left and right: the least over every key of that shape, so no gap shows under them.
struct KeyGeometry {
    int whiteWidth = 0;
    int whiteHeight = 0;
    int blackWidth = 0;
    int blackHeight = 0;
    std::vector<KeyNotch> notches; // eight shapes
};

KeyGeometry keyGeometry(int width, int height, int lowKey, int highKey);

inline bool isBlackKey(int key) {
    const int pitch = key % 12;
    return pitch == 1 || pitch == 3 || pitch == 6 || pitch == 8 || pitch == 10;
}

} // namespace trov::skins
