#pragma once

#include "platform/draw/Surface.h"

#include <string>
#include <vector>

namespace trov::skins {

// How the resource description divides a skin image: "frames" along one side (down the image, or across
// it when horizontal), "crossframes" along the other, per-pixel alpha, and the glyph order of a glyph
// sheet.
struct SkinLayout {
    int frames = 0;
    bool horizontal = false;
    int crossFrames = 0;
    bool useAlpha = false;
    std::string alphabet;
};

// The skins written so far: each image as a PNG file in the images folder and its entry of the resource
// description's "bitmaps" dictionary. One thread.
class SkinSet {
public:
    explicit SkinSet(std::string folder) : folder_(std::move(folder)) {}

    // Writes the image as <file> in the folder and records the entry; throws std::runtime_error when the
    // file cannot be written or the name is taken.
    void add(const std::string& name, const std::string& file, const platform::draw::Surface& image,
             const SkinLayout& layout);
    bool has(const std::string& name) const;

    // The "bitmaps" dictionary in the typed layout, one entry per line, in the order added.
    std::string description() const;

private:
    struct Entry {
        std::string name;
        std::string file;
        SkinLayout layout;
    };

    std::string folder_;
    std::vector<Entry> entries_;
};

} // namespace trov::skins
