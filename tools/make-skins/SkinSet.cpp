#include "tools/make-skins/SkinSet.h"

#include "platform/draw/ImageFiles.h"

#include <algorithm>
#include <stdexcept>

namespace trov::skins {

namespace {

// The characters XML attribute text cannot hold as they are.
std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string entry(const char* type, const char* key, const std::string& value) {
    return std::string("<") + type + " name=\"" + key + "\" value=\"" + escaped(value) + "\"/>";
}

} // namespace

void SkinSet::add(const std::string& name, const std::string& file, const platform::draw::Surface& image,
                  const SkinLayout& layout) {
    if (has(name))
        throw std::runtime_error("two skins named " + name);
    if (!platform::draw::writePng(image, folder_ + "/" + file))
        throw std::runtime_error("cannot write " + folder_ + "/" + file);
    entries_.push_back({name, file, layout});
}

bool SkinSet::has(const std::string& name) const {
    return std::any_of(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.name == name; });
}

std::string SkinSet::description() const {
    std::string out = "<dict name=\"bitmaps\">\n";
    for (const Entry& e : entries_) {
        out += "<dict name=\"" + escaped(e.name) + "\">" + entry("string", "filename", e.file);
        if (e.layout.frames > 0)
            out += entry("integer", "frames", std::to_string(e.layout.frames));
        if (e.layout.horizontal)
            out += entry("bool", "horizontal", "true");
        if (e.layout.crossFrames > 0)
            out += entry("integer", "crossframes", std::to_string(e.layout.crossFrames));
        if (e.layout.useAlpha)
            out += entry("bool", "usealpha", "true");
        if (!e.layout.alphabet.empty())
            out += entry("string", "alphabet", e.layout.alphabet);
        out += "</dict>\n";
    }
    out += "</dict>\n";
    return out;
}

} // namespace trov::skins
