#include "tools/make-skins/KeyGeometry.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

namespace trov::skins {

namespace {

constexpr int kWhiteIndex[12] = {0, -1, 1, -1, 2, 3, -1, 4, -1, 5, -1, 6};
constexpr int kClosingC = 7;

// The keyboard's own arithmetic, in 32-bit floats rounded half to even.
float octavePosition(int pitch) {
    const int white = kWhiteIndex[pitch];
    return white >= 0 ? static_cast<float>(white) * 0.14285715f : static_cast<float>(pitch) * 0.083333336f;
}

int nearest(float v) {
    return static_cast<int>(std::nearbyint(v));
}

struct Span {
    int left = 0;
    int right = 0;
};

} // namespace

KeyGeometry keyGeometry(int width, int height, int lowKey, int highKey) {
    KeyGeometry out;
    int whites = 0;
    for (int k = lowKey; k <= highKey; ++k)
        whites += isBlackKey(k) ? 0 : 1;
    if (whites == 0 || highKey < lowKey)
        return out;
    const float octave = static_cast<float>(width) * 7.0f / static_cast<float>(whites);
    const float start = octavePosition(lowKey % 12);
    out.whiteWidth = nearest(octave * 0.14285715f + 0.5f);
    out.whiteHeight = nearest(static_cast<float>(height));
    out.blackWidth = nearest(octave * 0.09090909f + 0.5f);
    out.blackHeight = nearest(static_cast<float>(height) * 0.63f);
    std::vector<Span> spans(static_cast<std::size_t>(highKey - lowKey + 1));
    int octaves = 0;
    for (int k = lowKey; k <= highKey; ++k) {
        const int left = nearest((static_cast<float>(octaves) + octavePosition(k % 12) - start) * octave);
        spans[static_cast<std::size_t>(k - lowKey)] = {
            left, left + (isBlackKey(k) ? out.blackWidth : out.whiteWidth)};
        if (k % 12 == 11)
            ++octaves;
    }
    std::vector<KeyNotch> least(8, KeyNotch{INT_MAX, INT_MAX});
    for (int k = lowKey; k <= highKey; ++k) {
        if (isBlackKey(k))
            continue;
        const Span own = spans[static_cast<std::size_t>(k - lowKey)];
        KeyNotch notch;
        if (k > lowKey && isBlackKey(k - 1))
            notch.left = std::max(0, spans[static_cast<std::size_t>(k - 1 - lowKey)].right - own.left);
        if (k < highKey && isBlackKey(k + 1))
            notch.right = std::max(0, own.right - spans[static_cast<std::size_t>(k + 1 - lowKey)].left);
        const int shape = (k % 12 == 0 && k == highKey) ? kClosingC : kWhiteIndex[k % 12];
        KeyNotch& kept = least[static_cast<std::size_t>(shape)];
        kept.left = std::min(kept.left, notch.left);
        kept.right = std::min(kept.right, notch.right);
    }
    for (KeyNotch& notch : least)
        if (notch.left == INT_MAX)
            notch = KeyNotch{};
    out.notches = least;
    return out;
}

} // namespace trov::skins
