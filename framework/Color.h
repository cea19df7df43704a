#pragma once

#include <cstdint>
#include <string>

namespace trov {

// A colour of four 16-bit components kept in 0..255 by `clamp`. The no-colour value (red, green and blue
// all -1) is never clamped; comparing with it tells whether a colour was set. Equality ignores alpha.
// Plain value; any thread.
class Color {
public:
    Color() = default;
    Color(std::int16_t red, std::int16_t green, std::int16_t blue, std::int16_t alpha = 255);
    Color(const Color&) = default;
    Color& operator=(const Color&) = default;
    virtual ~Color() = default;

    virtual void getRGB(std::int16_t& red, std::int16_t& green, std::int16_t& blue) const;
    virtual void getRGBA(std::int16_t& red, std::int16_t& green, std::int16_t& blue,
                         std::int16_t& alpha) const;
    // The low bytes packed as 0x00BBGGRR.
    virtual std::uint32_t toCOLORREF() const;
    virtual void brighten(std::uint16_t amount);
    virtual void darken(std::uint16_t amount);
    virtual void subtractFrom(std::int16_t red, std::int16_t green, std::int16_t blue);
    // Each of red, green and blue moves toward the other colour by t, truncated toward zero.
    virtual void blend(const Color& other, float t);
    virtual Color clamped() const;
    virtual void clamp();

    // Accepts exactly "#RRGGBB"; alpha is kept. Any other text returns false and changes nothing.
    bool parse(const std::string& text);

    bool operator==(const Color& other) const {
        return red == other.red && green == other.green && blue == other.blue;
    }
    bool operator!=(const Color& other) const { return !(*this == other); }

    std::int16_t red = 0;
    std::int16_t green = 0;
    std::int16_t blue = 0;
    std::int16_t alpha = 0;
};

extern const Color colorNone;
extern const Color colorBlack;
extern const Color colorWhite;
extern const Color colorRed;
extern const Color colorOrange;
extern const Color colorYellow;
extern const Color colorGreen;
extern const Color colorCyan;
extern const Color colorBlue;

} // namespace trov
