#pragma once

// Skin bitmaps made for a test: PNG files in an images folder below a test folder and their entries in a
// resource description's "bitmaps", which the test then hands to the resources. Without GoogleTest (the
// fuzz target's editor world uses it too).
#include "framework/Dictionary.h"
#include "framework/Rect.h"
#include "platform/draw/ImageFiles.h"
#include "platform/draw/Surface.h"
#include "support/FileTestFolder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace trov::test {

class TestSkins {
public:
    // Images go to "Images/" below the folder; description holds the "bitmaps" entries (made when missing).
    TestSkins(const FileTestFolder& folder, Dictionary& description)
        : folder_(folder), description_(description) {
        if (!description_.getDictionary("bitmaps"))
            description_.addDictionary("bitmaps");
    }

    // A skin bitmap of one colour (0xAARRGGBB, straight alpha): `frames` frames stacked, or side by side as
    // the glyphs of an alphabet when one is given.
    void addSkin(const std::string& name, int width, int height, std::uint32_t argb, int frames = 1,
                 const std::string& alphabet = "") {
        const auto surface = platform::draw::Surface::create(width, height);
        surface->fill(pixel(argb));
        const Dictionary::View entry = write(name, *surface, frames);
        if (!alphabet.empty()) {
            entry->setBool("horizontal", true);
            entry->setString("alphabet", alphabet);
        }
    }

    // A skin of several frames of frameWidth x frameHeight, frame i filled with colours[i] (0xAARRGGBB,
    // straight alpha), stacked or side by side; `part`, when not empty, is the part in use (its source
    // rectangle).
    void addFrames(const std::string& name, int frameWidth, int frameHeight,
                   const std::vector<std::uint32_t>& colours, bool sideBySide = false,
                   const Rect& part = Rect()) {
        const int count = static_cast<int>(colours.size());
        const auto surface = platform::draw::Surface::create(sideBySide ? frameWidth * count : frameWidth,
                                                             sideBySide ? frameHeight : frameHeight * count);
        for (int i = 0; i < count; ++i) {
            const auto value = pixel(colours[static_cast<std::size_t>(i)]);
            for (int y = 0; y < frameHeight; ++y)
                for (int x = 0; x < frameWidth; ++x)
                    surface->setPixel(sideBySide ? i * frameWidth + x : x,
                                      sideBySide ? y : i * frameHeight + y, value);
        }
        const Dictionary::View entry = write(name, *surface, count);
        entry->setBool("horizontal", sideBySide);
        if (part.isNonZero()) {
            entry->setInteger("left", part.left);
            entry->setInteger("top", part.top);
            entry->setInteger("right", part.right);
            entry->setInteger("bottom", part.bottom);
        }
    }

    // A skin bitmap of the given image (premultiplied pixels, as the drawing layer keeps them), described
    // with that many frames stacked (or side by side).
    void addSkinImage(const std::string& name, const platform::draw::Surface& image, int frames = 1,
                      bool horizontal = false) {
        const Dictionary::View entry = write(name, image, frames);
        if (horizontal)
            entry->setBool("horizontal", true);
    }

private:
    static platform::draw::Pixel pixel(std::uint32_t argb) {
        return platform::draw::premultiply(argb & 0xFF, (argb >> 8) & 0xFF, (argb >> 16) & 0xFF, argb >> 24);
    }
    Dictionary::View write(const std::string& name, const platform::draw::Surface& image, int frames) {
        platform::draw::writePng(image, folder_.write("Images/" + name + ".png", ""));
        Dictionary::View entry = description_.getDictionary("bitmaps")->addDictionary(name);
        entry->setString("filename", name + ".png");
        entry->setInteger("frames", frames);
        entry->setBool("usealpha", true);
        return entry;
    }

    const FileTestFolder& folder_;
    Dictionary& description_;
};

} // namespace trov::test
