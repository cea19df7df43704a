#include "instrument/ProductFonts.h"

#include "framework/Font.h"

#include <array>
#include <memory>

namespace trov {

namespace {

constexpr int kFontCount = 8;
// Style words: style, weight, alignment; a line height of 0 is the size plus 2.
constexpr std::int32_t kSmooth = Font::kAlignLeft | Font::kAlignTop;
constexpr std::int32_t kPixel = Font::kNoSmoothing;

std::array<std::unique_ptr<Font>, kFontCount> fonts;

} // namespace

void createProductFonts() {
    fonts[0] = std::make_unique<Font>("Verdana", 10.0f, 0, 1, kSmooth, 0.0f);
    fonts[1] = std::make_unique<Font>("04b03", 8.0f, 0, 1, kPixel, 0.0f);
    fonts[2] = std::make_unique<Font>("uni 05_53", 11.0f, 0, 1, kPixel, 9.0f);
    fonts[3] = std::make_unique<Font>("Verdana", 12.0f, 0, 1, kPixel, 0.0f);
    fonts[4] = std::make_unique<Font>("Verdana", 8.0f, 0, 1, kSmooth, 0.0f);
    fonts[5] = std::make_unique<Font>("Verdana", 10.0f, 0, 1, kSmooth, 0.0f);
    fonts[6] = std::make_unique<Font>("Verdana", 12.0f, 0, 1, kSmooth, 0.0f);
    fonts[7] = std::make_unique<Font>("Verdana", 10.0f, 0, 1, kSmooth, 0.0f);
}

void destroyProductFonts() {
    for (auto it = fonts.rbegin(); it != fonts.rend(); ++it)
        it->reset();
}

Font* getProductFont(int index) {
    const int slot = index >= 1 && index <= kFontCount - 1 ? index - 1 : kFontCount - 1;
    return fonts[static_cast<std::size_t>(slot)].get();
}

} // namespace trov
