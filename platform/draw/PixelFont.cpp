#include "platform/draw/FontCache.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <string_view>

namespace trov::platform::draw {

namespace {

// Glyphs of printable ASCII on a grid of 5 rows above the baseline and 2 below, rows separated by "|",
// "#" inked. Capitals and digits are 5 rows high, small letters 3.
constexpr std::array<std::string_view, 95> kGlyphs = {
    "..|..|..|..|..",                // space
    "#|#|#|.|#",                     // !
    "#.#|#.#|...|...|...",           // "
    ".#.#.|#####|.#.#.|#####|.#.#.", // #
    ".##|##.|.#.|.##|##.",           // $
    "#.#|..#|.#.|#..|#.#",           // %
    ".#..|#.#.|.#..|#.#.|.#.#",      // &
    "#|#|.|.|.",                     // '
    ".#|#.|#.|#.|.#",                // (
    "#.|.#|.#|.#|#.",                // )
    "#.#|.#.|#.#|...|...",           // *
    "...|.#.|###|.#.|...",           // +
    ".|.|.|.|#|#",                   // ,
    "...|...|###|...|...",           // -
    ".|.|.|.|#",                     // .
    "..#|..#|.#.|#..|#..",           // /
    "###|#.#|#.#|#.#|###",           // 0
    ".#.|##.|.#.|.#.|###",           // 1
    "###|..#|###|#..|###",           // 2
    "###|..#|.##|..#|###",           // 3
    "#.#|#.#|###|..#|..#",           // 4
    "###|#..|###|..#|###",           // 5
    "###|#..|###|#.#|###",           // 6
    "###|..#|..#|.#.|.#.",           // 7
    "###|#.#|###|#.#|###",           // 8
    "###|#.#|###|..#|###",           // 9
    ".|#|.|#|.",                     // :
    ".|#|.|.|#|#",                   // ;
    "..#|.#.|#..|.#.|..#",           // <
    "...|###|...|###|...",           // =
    "#..|.#.|..#|.#.|#..",           // >
    "###|..#|.##|...|.#.",           // ?
    ".###.|#.#.#|#.###|#....|.###.", // @
    ".#.|#.#|###|#.#|#.#",           // A
    "##.|#.#|##.|#.#|##.",           // B
    ".##|#..|#..|#..|.##",           // C
    "##.|#.#|#.#|#.#|##.",           // D
    "###|#..|##.|#..|###",           // E
    "###|#..|##.|#..|#..",           // F
    ".##|#..|#.#|#.#|.##",           // G
    "#.#|#.#|###|#.#|#.#",           // H
    "###|.#.|.#.|.#.|###",           // I
    "..#|..#|..#|#.#|.#.",           // J
    "#.#|#.#|##.|#.#|#.#",           // K
    "#..|#..|#..|#..|###",           // L
    "#...#|##.##|#.#.#|#...#|#...#", // M
    "#..#|##.#|#.##|#..#|#..#",      // N
    ".#.|#.#|#.#|#.#|.#.",           // O
    "##.|#.#|##.|#..|#..",           // P
    ".#..|#.#.|#.#.|#.#.|.#.#",      // Q
    "##.|#.#|##.|#.#|#.#",           // R
    ".##|#..|.#.|..#|##.",           // S
    "###|.#.|.#.|.#.|.#.",           // T
    "#.#|#.#|#.#|#.#|###",           // U
    "#.#|#.#|#.#|#.#|.#.",           // V
    "#...#|#...#|#.#.#|##.##|#...#", // W
    "#.#|#.#|.#.|#.#|#.#",           // X
    "#.#|#.#|.#.|.#.|.#.",           // Y
    "###|..#|.#.|#..|###",           // Z
    "##|#.|#.|#.|##",                // [
    "#..|#..|.#.|..#|..#",           // backslash
    "##|.#|.#|.#|##",                // ]
    ".#.|#.#|...|...|...",           // ^
    "...|...|...|...|###",           // _
    "#.|.#|..|..|..",                // `
    "...|...|.##|#.#|.##",           // a
    "#..|#..|##.|#.#|##.",           // b
    "...|...|.##|#..|.##",           // c
    "..#|..#|.##|#.#|.##",           // d
    "...|...|.##|##.|.##",           // e
    ".#|#.|##|#.|#.",                // f
    "...|...|.##|#.#|.##|..#|##.",   // g
    "#..|#..|##.|#.#|#.#",           // h
    "#|.|#|#|#",                     // i
    ".#|..|.#|.#|.#|.#|#.",          // j
    "#..|#..|#.#|##.|#.#",           // k
    "#|#|#|#|#",                     // l
    ".....|.....|##.#.|#.#.#|#.#.#", // m
    "...|...|##.|#.#|#.#",           // n
    "...|...|.#.|#.#|.#.",           // o
    "...|...|##.|#.#|##.|#..|#..",   // p
    "...|...|.##|#.#|.##|..#|..#",   // q
    "...|...|.##|#..|#..",           // r
    "...|...|.##|.#.|##.",           // s
    "#.|##|#.|#.|.#",                // t
    "...|...|#.#|#.#|.##",           // u
    "...|...|#.#|#.#|.#.",           // v
    ".....|.....|#...#|#.#.#|.#.#.", // w
    "...|...|#.#|.#.|#.#",           // x
    "...|...|#.#|#.#|.##|..#|##.",   // y
    "...|...|##.|.#.|.##",           // z
    "..#|.#.|##.|.#.|..#",           // {
    "#|#|#|#|#",                     // |
    "#..|.#.|.##|.#.|#..",           // }
    "....|.#.#|#.#.|....|....",      // ~
};

constexpr int kRowsAbove = 5;
constexpr int kRowsBelow = 2;
constexpr int kCellRows = kRowsAbove + kRowsBelow + 1; // one row of leading above the capitals

class PixelFont : public LoadedFont {
public:
    explicit PixelFont(int height) : scale_(std::max(1, height / kCellRows)) {
        height_ = height;
        // The glyph cell sits in the middle of the font's cell.
        ascent_ = (height - kCellRows * scale_) / 2 + (kCellRows - kRowsBelow) * scale_;
    }

    const Glyph& glyph(unsigned char c) override {
        std::lock_guard guard(mutex_);
        auto& slot = glyphs_[c];
        if (!slot)
            slot = std::make_unique<Glyph>(render(c));
        return *slot;
    }

private:
    Glyph render(unsigned char c) const {
        Glyph glyph;
        // Outside printable ASCII nothing is drawn; the pen moves as for a blank.
        const std::string_view shape = (c >= 32 && c < 127) ? kGlyphs[c - 32] : kGlyphs[0];
        const bool ink = c >= 32 && c < 127;
        int rows = 1;
        for (char ch : shape)
            rows += ch == '|' ? 1 : 0;
        const int columns = static_cast<int>(shape.find('|'));
        glyph.left = 0;
        glyph.top = kRowsAbove * scale_;
        glyph.width = columns * scale_;
        glyph.height = rows * scale_;
        glyph.advance = (columns + 1) * scale_;
        glyph.coverage.assign(static_cast<std::size_t>(glyph.width) * static_cast<std::size_t>(glyph.height),
                              0);
        if (!ink)
            return glyph;
        int row = 0;
        int column = 0;
        for (char ch : shape) {
            if (ch == '|') {
                ++row;
                column = 0;
                continue;
            }
            if (ch == '#') {
                for (int dy = 0; dy < scale_; ++dy) {
                    const int at = (row * scale_ + dy) * glyph.width + column * scale_;
                    for (int dx = 0; dx < scale_; ++dx)
                        glyph.coverage[static_cast<std::size_t>(at) + static_cast<std::size_t>(dx)] = 255;
                }
            }
            ++column;
        }
        return glyph;
    }

    int scale_;
    std::mutex mutex_;
    std::array<std::unique_ptr<Glyph>, 256> glyphs_;
};

} // namespace

std::shared_ptr<LoadedFont> makePixelFont(int height) {
    if (height < 1)
        return nullptr;
    return std::make_shared<PixelFont>(height);
}

} // namespace trov::platform::draw
