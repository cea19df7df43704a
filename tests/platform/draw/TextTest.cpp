#include "platform/draw/DrawContext.h"
#include "platform/draw/FontCache.h"

#include "support/PixelArt.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace trov::platform::draw;
using trov::platform::NativeRect;
using trov::test::inkBox;

namespace {

constexpr Pixel kWhite = makePixel(255, 255, 255, 255);
constexpr Pixel kBlack = makePixel(0, 0, 0, 255);

FontSpec font(std::string face, int height, bool smooth = true) {
    FontSpec spec;
    spec.face = std::move(face);
    spec.height = height;
    spec.smooth = smooth;
    return spec;
}

struct Page {
    explicit Page(int width = 120, int height = 40) : surface(Surface::create(width, height)), dc(surface) {
        surface->fill(kWhite);
        dc.setTextColor(0);
        dc.setBkMode(BackgroundMode::Transparent);
    }
    int draw(const std::string& text, NativeRect r, unsigned format = kTextLeft) {
        return dc.drawText(text, r, format);
    }
    std::shared_ptr<Surface> surface;
    DrawContext dc;
};

int measureWidth(const FontSpec& spec, const std::string& text) {
    DrawContext screen;
    screen.setFont(spec);
    NativeRect r{0, 0, 0, 0};
    screen.drawText(text, r, kTextCalcRect);
    return r.right;
}

} // namespace

TEST(TextFaces, EveryFaceOfTheProductsTableIsDrawnByTheFaceItMapsTo) {
    EXPECT_EQ(resolveFace(font("Arial", 12)).family, "Liberation Sans");
    EXPECT_EQ(resolveFace(font("arial", 12)).family, "Liberation Sans");
    EXPECT_EQ(resolveFace(font("Verdana", 10)).family, "DejaVu Sans");
    EXPECT_EQ(resolveFace(font("No Such Face", 10)).family, "DejaVu Sans");
    for (const char* pixel : {"04b03", "uni 05_53", "UNI 05_53"}) {
        const FaceChoice choice = resolveFace(font(pixel, 8));
        EXPECT_TRUE(choice.pixelFont) << pixel;
        EXPECT_TRUE(choice.file.empty());
    }
    EXPECT_FALSE(resolveFace(font("Verdana", 10)).file.empty());
}

TEST(TextFaces, BoldAndItalicComeFromTheFamilysOwnFaces) {
    FontSpec bold = font("Arial", 12);
    bold.weight = 700;
    FontSpec italic = font("Arial", 12);
    italic.italic = true;
    const FaceChoice regular = resolveFace(font("Arial", 12));
    const FaceChoice boldFace = resolveFace(bold);
    const FaceChoice italicFace = resolveFace(italic);
    EXPECT_NE(boldFace.file, regular.file);
    EXPECT_NE(italicFace.file, regular.file);
    EXPECT_FALSE(boldFace.embolden);
    EXPECT_FALSE(italicFace.slant);
}

TEST(TextLayout, LinesBreakAtEachKindOfLineEndAndFollowEachOtherAtTheCellHeight) {
    const FontSpec spec = font("Verdana", 11);
    DrawContext screen;
    screen.setFont(spec);
    struct Case {
        std::string text;
        int lines;
    };
    for (const Case& c : {Case{"", 0}, Case{"a", 1}, Case{"a\nb", 2}, Case{"a\r\nb", 2}, Case{"a\rb", 2},
                          Case{"a\n\nb", 3}, Case{"a\r\n", 1}, Case{"a\n\r\nb\rc", 4}}) {
        NativeRect r{5, 7, 5, 7};
        const int height = screen.drawText(c.text, r, kTextCalcRect);
        EXPECT_EQ(height, 11 * c.lines) << c.text;
        EXPECT_EQ(r.bottom - r.top, 11 * c.lines) << c.text;
        EXPECT_EQ(r.left, 5);
        EXPECT_EQ(r.top, 7);
    }
}

TEST(TextLayout, MeasuringGivesTheWidestLineAndAmpersandIsACharacterOfItsOwn) {
    const FontSpec spec = font("Arial", 14);
    const int shortLine = measureWidth(spec, "ab");
    const int longLine = measureWidth(spec, "abcdef");
    EXPECT_GT(longLine, shortLine);
    EXPECT_EQ(measureWidth(spec, "ab\nabcdef\nabc"), longLine);
    EXPECT_GT(measureWidth(spec, "a&b"), measureWidth(spec, "ab"));
}

TEST(TextLayout, EachLineIsAlignedOnItsOwn) {
    // The pixel font draws whole pixels from each glyph's left edge, so ink edges show the alignment.
    const FontSpec spec = font("04b03", 8, false);
    const int wide = measureWidth(spec, "WWW");
    const int narrow = measureWidth(spec, "I");
    for (unsigned format : {unsigned{kTextLeft}, unsigned{kTextCenter}, unsigned{kTextRight}}) {
        Page page(60, 16);
        page.dc.setFont(spec);
        page.draw("WWW\nI", {10, 0, 50, 16}, format);
        // Row 3 crosses the first line's glyphs where W inks its first column, row 9 the top of the I.
        auto inkInRow = [&](int y) {
            int first = -1, last = -1;
            for (int x = 0; x < 60; ++x)
                if (page.surface->pixel(x, y) != kWhite) {
                    first = first < 0 ? x : first;
                    last = x;
                }
            return std::make_pair(first, last);
        };
        const int expectWide = format == kTextLeft ? 10 : format == kTextRight ? 50 - wide : (60 - wide) / 2;
        const int expectNarrow = format == kTextLeft    ? 10
                                 : format == kTextRight ? 50 - narrow
                                                        : (60 - narrow) / 2;
        EXPECT_EQ(inkInRow(3).first, expectWide) << format;
        EXPECT_EQ(inkInRow(9).first, expectNarrow) << format;
    }
}

TEST(TextDrawing, TextStaysInsideItsRectangleAndTheClip) {
    Page page;
    page.dc.setFont(font("Arial", 20));
    page.draw("Wide text that overflows", {10, 5, 50, 15});
    const auto box = inkBox(*page.surface, kWhite);
    ASSERT_FALSE(box.empty());
    EXPECT_GE(box.left, 10);
    EXPECT_GE(box.top, 5);
    EXPECT_LE(box.right, 50);
    EXPECT_LE(box.bottom, 15);

    Page clipped;
    clipped.dc.setFont(font("Arial", 20));
    clipped.dc.setClip({0, 0, 20, 40});
    clipped.draw("Wide text", {10, 0, 120, 40});
    EXPECT_LE(inkBox(*clipped.surface, kWhite).right, 20);
}

TEST(TextDrawing, SmoothTextHasGreyEdgesAndUnsmoothedTextOnlyTwoColours) {
    for (bool smooth : {true, false}) {
        Page page;
        page.dc.setFont(font("Verdana", 16, smooth));
        page.draw("Smooth curves O&S", {0, 0, 120, 40});
        std::set<Pixel> colours;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 120; ++x)
                colours.insert(page.surface->pixel(x, y));
        if (smooth)
            EXPECT_GT(colours.size(), 2u);
        else
            EXPECT_EQ(colours, (std::set<Pixel>{kWhite, kBlack}));
    }
}

TEST(TextDrawing, AnOpaqueBackgroundFillsEachLinesCellBeforeTheText) {
    const FontSpec spec = font("04b03", 8, false);
    Page page(60, 20);
    page.dc.setFont(spec);
    page.dc.setBkMode(BackgroundMode::Opaque);
    page.dc.setBkColor(makeColorRef(255, 0, 0));
    page.draw("AB\nA", {4, 2, 60, 20});
    const Pixel red = makePixel(0, 0, 255, 255);
    const int first = measureWidth(spec, "AB");
    const int second = measureWidth(spec, "A");
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 60; ++x) {
            const bool inFirst = y >= 2 && y < 10 && x >= 4 && x < 4 + first;
            const bool inSecond = y >= 10 && y < 18 && x >= 4 && x < 4 + second;
            const Pixel p = page.surface->pixel(x, y);
            if (inFirst || inSecond)
                EXPECT_TRUE(p == red || p == kBlack) << x << "," << y;
            else
                EXPECT_EQ(p, kWhite) << x << "," << y;
        }
    }
}

TEST(TextDrawing, BoldTextCarriesMoreInkThanRegularText) {
    auto ink = [](int weight) {
        Page page;
        FontSpec spec = font("Verdana", 16);
        spec.weight = weight;
        page.dc.setFont(spec);
        page.draw("Heavy", {0, 0, 120, 40});
        long sum = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 120; ++x)
                sum += 255 - static_cast<long>(greenOf(page.surface->pixel(x, y)));
        return sum;
    };
    EXPECT_GT(ink(700), ink(400) * 11 / 10);
}

TEST(PixelFont, GlyphsAreWholePixelsScaledByWholeMultiplesOfTheCell) {
    const std::shared_ptr<LoadedFont> small = makePixelFont(8);
    const std::shared_ptr<LoadedFont> large = makePixelFont(16);
    for (unsigned char c = 32; c < 127; ++c) {
        const Glyph& a = small->glyph(c);
        const Glyph& b = large->glyph(c);
        ASSERT_EQ(b.width, 2 * a.width) << c;
        ASSERT_EQ(b.advance, 2 * a.advance) << c;
        for (std::uint8_t v : a.coverage)
            ASSERT_TRUE(v == 0 || v == 255) << c;
        for (int y = 0; y < a.height; ++y)
            for (int x = 0; x < a.width; ++x)
                ASSERT_EQ(b.coverage[static_cast<std::size_t>((2 * y + 1) * b.width + 2 * x + 1)],
                          a.coverage[static_cast<std::size_t>(y * a.width + x)]);
    }
    EXPECT_EQ(small->glyph(0xE9).coverage, std::vector<std::uint8_t>(small->glyph(0xE9).coverage.size(), 0));
    EXPECT_EQ(small->glyph(0xE9).advance, small->glyph(' ').advance);
}
