#include "tools/make-skins/GlyphSheet.h"

#include <cctype>

namespace trov::skins {

std::string displayAlphabet() {
    std::string alphabet;
    for (int c = 0x20; c <= 0x60; ++c)
        alphabet += static_cast<char>(std::tolower(c));
    return alphabet;
}

std::shared_ptr<Surface> glyphSheet(const std::string& alphabet, int scale, ColorRef colour) {
    const int width = kGlyphCellWidth * scale;
    const int height = kGlyphCellHeight * scale;
    auto surface = makeSurface(width * static_cast<int>(alphabet.size()), height);
    auto dc = contextOn(surface);
    for (std::size_t i = 0; i < alphabet.size(); ++i) {
        const char shown = static_cast<char>(std::toupper(static_cast<unsigned char>(alphabet[i])));
        pixelText(*dc, std::string(1, shown), rectOf(static_cast<int>(i) * width, 0, width, height), colour,
                  scale, platform::draw::kTextCenter);
    }
    return surface;
}

} // namespace trov::skins
