#include "framework/Color.h"

#include "framework/StringUtils.h"

namespace trov {

const Color colorNone(-1, -1, -1, 255);
const Color colorBlack(0, 0, 0, 255);
const Color colorWhite(255, 255, 255, 255);
const Color colorRed(255, 0, 0, 255);
const Color colorOrange(255, 127, 0, 255);
const Color colorYellow(255, 255, 0, 255);
const Color colorGreen(0, 255, 0, 255);
const Color colorCyan(0, 255, 255, 255);
const Color colorBlue(0, 0, 255, 255);

Color::Color(std::int16_t r, std::int16_t g, std::int16_t b, std::int16_t a)
    : red(r), green(g), blue(b), alpha(a) {
    clamp();
}

void Color::getRGB(std::int16_t& r, std::int16_t& g, std::int16_t& b) const {
    r = red;
    g = green;
    b = blue;
}

void Color::getRGBA(std::int16_t& r, std::int16_t& g, std::int16_t& b, std::int16_t& a) const {
    getRGB(r, g, b);
    a = alpha;
}

std::uint32_t Color::toCOLORREF() const {
    return (static_cast<std::uint32_t>(blue & 0xFF) << 16) | (static_cast<std::uint32_t>(green & 0xFF) << 8) |
           static_cast<std::uint32_t>(red & 0xFF);
}

// Sums and differences are stored back into the 16-bit components before the clamp runs.
void Color::brighten(std::uint16_t amount) {
    red = static_cast<std::int16_t>(red + amount);
    green = static_cast<std::int16_t>(green + amount);
    blue = static_cast<std::int16_t>(blue + amount);
    clamp();
}

void Color::darken(std::uint16_t amount) {
    red = static_cast<std::int16_t>(red - amount);
    green = static_cast<std::int16_t>(green - amount);
    blue = static_cast<std::int16_t>(blue - amount);
    clamp();
}

void Color::subtractFrom(std::int16_t r, std::int16_t g, std::int16_t b) {
    red = static_cast<std::int16_t>(r - red);
    green = static_cast<std::int16_t>(g - green);
    blue = static_cast<std::int16_t>(b - blue);
    clamp();
}

void Color::blend(const Color& other, float t) {
    auto step = [t](std::int16_t from, std::int16_t to) {
        return static_cast<std::int16_t>(from + static_cast<int>(static_cast<float>(to - from) * t));
    };
    red = step(red, other.red);
    green = step(green, other.green);
    blue = step(blue, other.blue);
    clamp();
}

Color Color::clamped() const {
    Color copy(*this);
    copy.clamp();
    return copy;
}

void Color::clamp() {
    if (red == -1 && green == -1 && blue == -1)
        return;
    for (std::int16_t* c : {&red, &green, &blue, &alpha}) {
        if (*c > 255)
            *c = 255;
        else if (*c < 1)
            *c = 0;
    }
}

bool Color::parse(const std::string& text) {
    if (text.size() != 7 || text[0] != '#')
        return false;
    red = static_cast<std::int16_t>(hexToInteger(text.substr(1, 2)));
    green = static_cast<std::int16_t>(hexToInteger(text.substr(3, 2)));
    blue = static_cast<std::int16_t>(hexToInteger(text.substr(5, 2)));
    clamp();
    return true;
}

} // namespace trov
