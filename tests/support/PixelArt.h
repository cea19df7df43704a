#pragma once

// Surfaces as rows of characters, so that tests state the pixels they expect as a picture.
#include "platform/draw/Surface.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace trov::test {

// Each pixel as the character the legend gives its value; '?' for a value the legend lacks.
inline std::vector<std::string> pixelArt(const platform::draw::Surface& surface,
                                         const std::map<platform::draw::Pixel, char>& legend) {
    std::vector<std::string> rows;
    for (int y = 0; y < surface.height(); ++y) {
        std::string row;
        for (int x = 0; x < surface.width(); ++x) {
            auto it = legend.find(surface.pixel(x, y));
            row += it != legend.end() ? it->second : '?';
        }
        rows.push_back(row);
    }
    return rows;
}

// The smallest rectangle holding every pixel that differs from the background, as left, top, right,
// bottom (right and bottom outside); all -1 when there is none.
struct InkBox {
    int left = -1, top = -1, right = -1, bottom = -1;
    bool empty() const { return left < 0; }
};
inline InkBox inkBox(const platform::draw::Surface& surface, platform::draw::Pixel background) {
    InkBox box;
    for (int y = 0; y < surface.height(); ++y) {
        for (int x = 0; x < surface.width(); ++x) {
            if (surface.pixel(x, y) == background)
                continue;
            if (box.empty()) {
                box = {x, y, x + 1, y + 1};
                continue;
            }
            box.left = std::min(box.left, x);
            box.top = std::min(box.top, y);
            box.right = std::max(box.right, x + 1);
            box.bottom = std::max(box.bottom, y + 1);
        }
    }
    return box;
}

} // namespace trov::test
