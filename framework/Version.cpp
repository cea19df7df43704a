#include "framework/Version.h"

#include <cctype>

namespace trov {

Version::Version(std::uint8_t major, std::uint8_t minor, std::uint8_t third, std::uint8_t fourth)
    : parts_{major, minor, third, fourth} {}

Version::Version(const std::string& text) {
    std::size_t pos = 0;
    for (auto& part : parts_) {
        std::size_t at = pos;
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
            ++at;
        // A part larger than 255 keeps its low eight bits; wrap as we go so long digit runs cannot overflow.
        unsigned value = 0;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
            value = (value * 10 + static_cast<unsigned>(text[at] - '0')) & 0xFFu;
            ++at;
        }
        part = static_cast<std::uint8_t>(value);
        std::size_t next = pos;
        while (next < text.size() && std::isdigit(static_cast<unsigned char>(text[next])))
            ++next;
        pos = next < text.size() ? next + 1 : text.size();
    }
}

std::string Version::toString() const {
    int last = 1;
    if (parts_[3] != 0)
        last = 3;
    else if (parts_[2] != 0)
        last = 2;
    std::string text;
    for (int i = 0; i <= last; ++i) {
        if (i > 0)
            text += '.';
        text += std::to_string(parts_[i]);
    }
    return text;
}

std::uint32_t Version::toInteger() const {
    return (std::uint32_t{parts_[0]} << 24) | (std::uint32_t{parts_[1]} << 16) |
           (std::uint32_t{parts_[2]} << 8) | std::uint32_t{parts_[3]};
}

bool Version::operator==(const Version& other) const {
    for (int i = 0; i < 4; ++i)
        if (parts_[i] != other.parts_[i])
            return false;
    return true;
}

bool Version::operator<=(const Version& other) const {
    for (int i = 0; i < 4; ++i)
        if (parts_[i] > other.parts_[i])
            return false;
    return true;
}

bool Version::isAtLeast(const Version& other, int n) const {
    for (int i = 0; i < n && i < 4; ++i)
        if (parts_[i] < other.parts_[i])
            return false;
    return true;
}

} // namespace trov
