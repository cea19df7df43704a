#pragma once

// Generated skins for editor tests: PNG files in an images folder and their "bitmaps" entries, which a
// resource description takes over. Without GoogleTest (the fuzz target uses it too).
#include "framework/Dictionary.h"
#include "framework/Rect.h"
#include "platform/draw/ImageFiles.h"
#include "platform/draw/Surface.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace trov::test {

class SkinSet {
public:
    // Images go to folder (made when missing).
    explicit SkinSet(std::string folder) : folder_(std::move(folder)) {}

    // A skin bitmap of one colour (0xAARRGGBB, straight alpha): `frames` frames stacked, or side by side as
    // the glyphs of an alphabet when one is given.
    void addSkin(const std::string& name, int width, int height, std::uint32_t argb, int frames = 1,
                 const std::string& alphabet = "") {
        const auto surface = platform::draw::Surface::create(width, height);
        surface->fill(pixelOf(argb));
        Entry& entry = add(name, *surface, frames);
        entry.horizontal = !alphabet.empty();
        entry.alphabet = alphabet;
    }

    // Frames of frameWidth x frameHeight, frame i filled with colours[i] (0xAARRGGBB, straight alpha),
    // stacked or side by side; `part`, when not empty, is the part in use (its source rectangle).
    void addFrames(const std::string& name, int frameWidth, int frameHeight,
                   const std::vector<std::uint32_t>& colours, bool sideBySide = false,
                   const Rect& part = Rect()) {
        const int count = static_cast<int>(colours.size());
        const auto surface = platform::draw::Surface::create(sideBySide ? frameWidth * count : frameWidth,
                                                             sideBySide ? frameHeight : frameHeight * count);
        for (int i = 0; i < count; ++i) {
            const auto pixel = pixelOf(colours[static_cast<std::size_t>(i)]);
            for (int y = 0; y < frameHeight; ++y)
                for (int x = 0; x < frameWidth; ++x)
                    surface->setPixel(sideBySide ? i * frameWidth + x : x,
                                      sideBySide ? y : i * frameHeight + y, pixel);
        }
        Entry& entry = add(name, *surface, count);
        entry.horizontal = sideBySide;
        entry.part = part;
    }

    // The given image (premultiplied pixels, as the drawing layer keeps them), with that many frames
    // stacked (or side by side).
    void addSkinImage(const std::string& name, const platform::draw::Surface& image, int frames = 1,
                      bool horizontal = false) {
        add(name, image, frames).horizontal = horizontal;
    }

    // A resource description of the skins alone, in the layout this system writes.
    Dictionary description() const {
        Dictionary document;
        document.setString("file-format", "0.7.0");
        const Dictionary::View bitmaps = document.addDictionary("bitmaps");
        for (const Entry& e : entries_) {
            const Dictionary::View entry = bitmaps->addDictionary(e.name);
            entry->setString("filename", e.name + ".png");
            entry->setInteger("frames", e.frames);
            entry->setBool("usealpha", true);
            if (e.horizontal)
                entry->setBool("horizontal", true);
            if (!e.alphabet.empty())
                entry->setString("alphabet", e.alphabet);
            if (e.part.isNonZero()) {
                entry->setInteger("left", e.part.left);
                entry->setInteger("top", e.part.top);
                entry->setInteger("right", e.part.right);
                entry->setInteger("bottom", e.part.bottom);
            }
        }
        return document;
    }
    // The "bitmaps" entry in the typed layout of hand-written descriptions (the instrument's own), to be
    // put into one.
    std::string typedBitmaps() const {
        const auto integer = [](const char* key, int value) {
            return std::string("<integer name=\"") + key + "\" value=\"" + std::to_string(value) + "\"/>";
        };
        std::string text = "<dict name=\"bitmaps\">";
        for (const Entry& e : entries_) {
            text += "<dict name=\"" + e.name + "\"><string name=\"filename\" value=\"" + e.name + ".png\"/>" +
                    integer("frames", e.frames) + "<bool name=\"usealpha\" value=\"true\"/>";
            if (e.horizontal)
                text += "<bool name=\"horizontal\" value=\"true\"/>";
            if (!e.alphabet.empty())
                text += "<string name=\"alphabet\" value=\"" + e.alphabet + "\"/>";
            if (e.part.isNonZero())
                text += integer("left", e.part.left) + integer("top", e.part.top) +
                        integer("right", e.part.right) + integer("bottom", e.part.bottom);
            text += "</dict>";
        }
        return text + "</dict>";
    }

private:
    struct Entry {
        std::string name;
        int frames = 1;
        bool horizontal = false;
        std::string alphabet;
        Rect part;
    };

    static std::uint32_t pixelOf(std::uint32_t argb) {
        return platform::draw::premultiply(argb & 0xFF, (argb >> 8) & 0xFF, (argb >> 16) & 0xFF, argb >> 24);
    }

    Entry& add(const std::string& name, const platform::draw::Surface& image, int frames) {
        std::filesystem::create_directories(folder_);
        platform::draw::writePng(image, folder_ + "/" + name + ".png");
        entries_.push_back(Entry{name, frames, false, std::string(), Rect()});
        return entries_.back();
    }

    std::string folder_;
    std::vector<Entry> entries_;
};

} // namespace trov::test
