#pragma once

#include "platform/draw/Surface.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace trov::platform::draw {

// Reading PNG and BMP images into premultiplied surfaces and writing surfaces as PNG (libpng). The readers
// take the file's bytes; any input is either refused or yields a whole image. Any thread.

enum class PngStatus {
    Decoded,
    TooShort,     // fewer than the 4 signature bytes
    NotPng,       // the signature's first 4 bytes differ
    NoReadStruct, // libpng could not make its structures
    NoInfoStruct,
    Damaged, // libpng stopped with an error
    NoImage, // the image could not be made (too large, or out of memory)
};

struct PngImage {
    PngStatus status = PngStatus::NotPng;
    std::shared_ptr<Surface> surface; // set when Decoded
    int width = 0;                    // known from NoImage on
    int height = 0;
};

// Every colour type and bit depth is expanded to 8-bit RGBA (palettes, grey, transparency chunks, 16-bit
// samples) and premultiplied with rounding; interlaced images are read whole. Gamma is corrected for a
// screen gamma of 2.2, taking the file's gAMA chunk when it has one and 0.45455 otherwise.
PngImage decodePng(const std::uint8_t* data, std::size_t size);

// BMP files with the core, info, V4 or V5 header, uncompressed (1, 4, 8, 16, 24, 32 bits) or with bit-field
// masks, rows in either order. Images without alpha are opaque; a 32-bit image whose fourth bytes are all 0
// is opaque too, otherwise its bytes are taken as premultiplied alpha (a colour above its alpha is cut to
// it). Null for anything else.
std::shared_ptr<Surface> decodeBmp(const std::uint8_t* data, std::size_t size);

// A text chunk (tEXt) of a written image: a keyword of 1 to 79 Latin-1 characters and its text.
struct PngText {
    std::string keyword;
    std::string text;
};

// Writes the surface as an 8-bit RGBA PNG (alpha un-premultiplied) with the text chunks before its image
// data. The file replaces what is at path only once it is whole (FileReplacement): false, with the reason
// in problem when one is given, when it cannot be written, and what was there stays.
bool writePng(const Surface& surface, const std::string& path, const std::vector<PngText>& texts = {},
              std::string* problem = nullptr);

} // namespace trov::platform::draw
