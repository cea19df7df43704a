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
    explicit SkinSet(std::string folder) : folder_(std::move(folder)) {
        bitmaps_.setString("file-format", "0.7.0");
    }

    // A skin bitmap of one colour (0xAARRGGBB, straight alpha): `frames` frames stacked, or side by side as
    // the glyphs of an alphabet when one is given.
    void addSkin(const std::string& name, int width, int height, std::uint32_t argb, int frames = 1,
                 const std::string& alphabet = "") {
        const auto surface = platform::draw::Surface::create(width, height);
        surface->fill(pixelOf(argb));
        const Dictionary::View entry = add(name, *surface, frames);
        if (!alphabet.empty()) {
            entry->setBool("horizontal", true);
            entry->setString("alphabet", alphabet);
        }
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
        const Dictionary::View entry = add(name, *surface, count);
        entry->setBool("horizontal", sideBySide);
        if (part.isNonZero()) {
            entry->setInteger("left", part.left);
            entry->setInteger("top", part.top);
            entry->setInteger("right", part.right);
            entry->setInteger("bottom", part.bottom);
        }
    }

    // The given image (premultiplied pixels, as the drawing layer keeps them), with that many frames
    // stacked (or side by side).
    void addSkinImage(const std::string& name, const platform::draw::Surface& image, int frames = 1,
                      bool horizontal = false) {
        const Dictionary::View entry = add(name, image, frames);
        if (horizontal)
            entry->setBool("horizontal", true);
    }

    // The "bitmaps" entries, in a description with its format.
    const Dictionary& description() const { return bitmaps_; }
    // Appends the "bitmaps" entries to another description (the instrument's resources), in the layout
    // that description reads: the install's is in the typed layout.
    void copyInto(Dictionary& description) const {
        const Dictionary::View from = bitmaps_.getDictionary("bitmaps");
        const bool typed = description.readsTypedLayout();
        Dictionary::View to = description.getDictionary("bitmaps");
        if (!to && typed && description.appendChild(Dictionary(std::string("<dict name=\"bitmaps\"/>"))))
            to = description.getDictionary("bitmaps");
        if (!to)
            to = description.addDictionary("bitmaps");
        for (int i = 0; from && to && i < from->count(""); ++i)
            if (const Dictionary::View item = from->getChild(i, ""); item && item->hasElement())
                to->appendChild(typed ? typedEntry(*item) : *item);
    }

private:
    // The entry with each value typed by its text: "true" or "false" a bool, digits an integer, else a text.
    static Dictionary typedEntry(const Dictionary& item) {
        std::string xml = "<dict name=\"" + item.getName() + "\">";
        for (int i = 0; i < item.count(""); ++i) {
            const Dictionary::View value = item.getChild(i, "");
            if (!value || !value->hasElement())
                continue;
            const std::string text = value->getAttribute("value");
            const bool integer = !text.empty() && text.find_first_not_of("-0123456789") == std::string::npos;
            const char* type = text == "true" || text == "false" ? "bool" : integer ? "integer" : "string";
            xml += std::string("<") + type + " name=\"" + value->getName() + "\" value=\"" + text + "\"/>";
        }
        return Dictionary(xml + "</dict>");
    }
    static std::uint32_t pixelOf(std::uint32_t argb) {
        return platform::draw::premultiply(argb & 0xFF, (argb >> 8) & 0xFF, (argb >> 16) & 0xFF, argb >> 24);
    }

    Dictionary::View add(const std::string& name, const platform::draw::Surface& image, int frames) {
        std::filesystem::create_directories(folder_);
        platform::draw::writePng(image, folder_ + "/" + name + ".png");
        Dictionary::View bitmaps = bitmaps_.getDictionary("bitmaps");
        if (!bitmaps)
            bitmaps = bitmaps_.addDictionary("bitmaps");
        Dictionary::View entry = bitmaps->addDictionary(name);
        entry->setString("filename", name + ".png");
        entry->setInteger("frames", frames);
        entry->setBool("usealpha", true);
        return entry;
    }

    std::string folder_;
    Dictionary bitmaps_;
};

} // namespace trov::test
