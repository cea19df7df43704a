#pragma once

#include "tools/make-skins/Paint.h"

#include <memory>
#include <string>

namespace trov::skins {

// The glyph order of the display's alphabets: the codes 0x20 to 0x60 with the letters in lower case, the
// order the value texts read by default. Text drawn with it is lower-cased first.
std::string displayAlphabet();

// The pixel font's cell at scale 1; a glyph sheet's cells are whole multiples of it.
constexpr int kGlyphCellWidth = 6;
constexpr int kGlyphCellHeight = 8;

// A glyph sheet: one cell per character of the alphabet, side by side, each character of the built-in
// pixel font scaled by `scale` and centred in its cell, letters as capitals (the display shows no small
// letters), in the colour on transparent.
std::shared_ptr<Surface> glyphSheet(const std::string& alphabet, int scale, ColorRef colour);

} // namespace trov::skins
