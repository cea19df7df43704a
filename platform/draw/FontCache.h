#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace trov::platform::draw {

// A font as text is drawn in it: the face name, the cell height in pixels (ascent plus descent), the weight
// (300 light to 900 heavy), italic, and whether glyphs are smoothed (grey antialiasing) or drawn in two
// levels only.
struct FontSpec {
    std::string face = "Arial";
    int height = 12;
    int weight = 400;
    bool italic = false;
    bool smooth = true;
};

// The face that draws a font: "Arial" is drawn in Liberation Sans, "04b03" and "uni 05_53" in the pixel
// font built into this library, every other name ("Verdana" among them) in DejaVu Sans; the weight and
// slant pick the family's face through fontconfig. Without the family installed, DejaVu Sans stands in, and
// without that, the pixel font.
struct FaceChoice {
    std::string family; // the family drawn, "pixel" for the built-in font
    std::string file;   // empty for the built-in font
    int index = 0;      // the face's index in its file
    bool pixelFont = false;
    bool embolden = false; // the family has no bold face: glyphs are thickened
    bool slant = false;    // the family has no italic face: glyphs are sheared
};
FaceChoice resolveFace(const FontSpec& font);

// One rendered character: coverage 0..255 per pixel, rows top to bottom.
struct Glyph {
    int left = 0; // from the pen position to the first column
    int top = 0;  // from the baseline up to the first row
    int width = 0;
    int height = 0;
    int advance = 0; // whole pixels
    std::vector<std::uint8_t> coverage;
};

// A face at one cell height with its glyphs, rendered on first use and kept. Fonts are cached by their
// specification; the cache is process-wide and locked, so any thread may draw text.
class LoadedFont {
public:
    virtual ~LoadedFont() = default;
    int ascent() const { return ascent_; }
    int height() const { return height_; }
    // The glyph of a character of the window system's single-byte text (Windows-1252).
    virtual const Glyph& glyph(unsigned char c) = 0;

protected:
    int ascent_ = 0;
    int height_ = 0;
};

// Null only when nothing at all can draw the font (a height below 1).
std::shared_ptr<LoadedFont> loadFont(const FontSpec& font);
// Forgets every face and glyph, so that the next text starts cold (benchmarks).
void clearFontCache();

// The built-in pixel font at a cell height: ASCII, whole pixels, glyphs scaled by whole multiples.
std::shared_ptr<LoadedFont> makePixelFont(int height);

} // namespace trov::platform::draw
