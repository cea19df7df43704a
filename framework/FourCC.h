#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace trov {

// A four-byte chunk identifier compared byte by byte. Made from a shorter text it is padded with zero
// bytes, so "fmt" and "fmt " stay different codes.
class FourCC {
public:
    constexpr FourCC() = default;
    constexpr FourCC(const char* text) {
        for (int i = 0; i < 4 && text != nullptr && text[i] != '\0'; ++i)
            bytes_[i] = text[i];
        // Stop at the terminator so a short text is never over-read.
    }
    static FourCC fromBytes(const void* bytes) {
        FourCC code;
        std::memcpy(code.bytes_, bytes, 4);
        return code;
    }

    constexpr bool operator==(const FourCC& other) const {
        return bytes_[0] == other.bytes_[0] && bytes_[1] == other.bytes_[1] && bytes_[2] == other.bytes_[2] &&
               bytes_[3] == other.bytes_[3];
    }
    constexpr bool operator!=(const FourCC& other) const { return !(*this == other); }
    const char* data() const { return bytes_; }
    std::string toString() const { return std::string(bytes_, 4); }

private:
    char bytes_[4] = {0, 0, 0, 0};
};

// RIFF/WAVE chunk identifiers.
namespace chunk {
inline constexpr FourCC kFormat("fmt ");
inline constexpr FourCC kData("data");
inline constexpr FourCC kCue("cue ");
inline constexpr FourCC kPlaylist("plst");
inline constexpr FourCC kAssociatedData("adtl");
inline constexpr FourCC kLabel("labl");
inline constexpr FourCC kNote("note");
inline constexpr FourCC kLabelledText("ltxt");
inline constexpr FourCC kSampler("smpl");
inline constexpr FourCC kAcid("acid");
inline constexpr FourCC kStretch("strc");
inline constexpr FourCC kInstrument("inst");
} // namespace chunk

} // namespace trov
