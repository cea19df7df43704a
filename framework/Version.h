#pragma once

#include <cstdint>
#include <string>

namespace trov {

// A version of four 8-bit parts parsed from dotted text. Comparisons are part by part, not lexicographic:
// two versions can be neither less nor greater than one another.
class Version {
public:
    Version() = default;
    Version(std::uint8_t major, std::uint8_t minor, std::uint8_t third = 0, std::uint8_t fourth = 0);
    explicit Version(const std::string& text);
    explicit Version(const char* text) : Version(std::string(text)) {}

    std::string toString() const;
    // Packed big-endian for the host.
    std::uint32_t toInteger() const;
    std::uint8_t getPart(int index) const { return parts_[index]; }

    bool operator==(const Version& other) const;
    bool operator!=(const Version& other) const { return !(*this == other); }
    bool operator<=(const Version& other) const;
    bool operator<(const Version& other) const { return *this <= other && !(*this == other); }
    bool operator>=(const Version& other) const { return isAtLeast(other, 4); }
    // The >= test over only the first n parts (1 to 4).
    bool isAtLeast(const Version& other, int n) const;

private:
    std::uint8_t parts_[4] = {0, 0, 0, 0};
};

} // namespace trov
