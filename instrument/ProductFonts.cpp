#include "instrument/ProductFonts.h"

#include "framework/Font.h"

#include <array>

namespace trov {

namespace {

constexpr int kFontCount = 8;
// Style words: style, weight, alignment; a line height of 0 is the size plus 2.
constexpr std::int32_t kSmooth = Font::kAlignLeft | Font::kAlignTop;
constexpr std::int32_t kPixel = Font::kNoSmoothing;

// Plain pointers, destroyed only by destroyProductFonts: the load-time globals call it at unload, and an
// array that destroyed itself could go first, leaving that call to free the fonts a second time.
std::array<Font*, kFontCount> fonts{};

} // namespace

void createProductFonts() {
    destroyProductFonts();
    fonts[0] = new Font("Verdana", 10.0f, 0, 1, kSmooth, 0.0f);
    fonts[1] = new Font("04b03", 8.0f, 0, 1, kPixel, 0.0f);
    fonts[2] = new Font("uni 05_53", 11.0f, 0, 1, kPixel, 9.0f);
    fonts[3] = new Font("Verdana", 12.0f, 0, 1, kPixel, 0.0f);
    fonts[4] = new Font("Verdana", 8.0f, 0, 1, kSmooth, 0.0f);
    fonts[5] = new Font("Verdana", 10.0f, 0, 1, kSmooth, 0.0f);
    fonts[6] = new Font("Verdana", 12.0f, 0, 1, kSmooth, 0.0f);
    fonts[7] = new Font("Verdana", 10.0f, 0, 1, kSmooth, 0.0f);
}

void destroyProductFonts() {
    for (auto it = fonts.rbegin(); it != fonts.rend(); ++it) {
        delete *it;
        *it = nullptr;
    }
}

Font* getProductFont(int index) {
    const int slot = index >= 1 && index <= kFontCount - 1 ? index - 1 : kFontCount - 1;
    return fonts[static_cast<std::size_t>(slot)];
}

} // namespace trov
