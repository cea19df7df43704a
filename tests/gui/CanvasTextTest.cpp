#include "gui/Canvas.h"

#include "support/CanvasTestWindow.h"
#include "support/PixelArt.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using trov::Canvas;
using trov::Color;
using trov::Font;
using trov::Rect;
using trov::test::CanvasTestWindow;
using trov::test::inkBox;
using namespace trov::platform::draw;

namespace {

constexpr Pixel kWhite = makePixel(255, 255, 255, 255);

// A white page drawn on by one canvas pass, text in black.
class Page {
public:
    explicit Page(int width = 100, int height = 100)
        : window(Rect(0, 0, width, height), true), canvas(width, height) {
        canvas.attachWindow(&window);
        window.surface().fill(kWhite);
        canvas.begin(canvas.getSize(), false);
        canvas.setTextColor(Color(0, 0, 0, 255));
    }
    ~Page() { canvas.end(); }
    trov::test::InkBox ink() { return inkBox(window.surface(), kWhite); }
    std::set<Pixel> colours() {
        std::set<Pixel> seen;
        for (int y = 0; y < window.surface().height(); ++y)
            for (int x = 0; x < window.surface().width(); ++x)
                seen.insert(window.surface().pixel(x, y));
        return seen;
    }

    CanvasTestWindow window;
    Canvas canvas;
};

Font font(const std::string& face, float size, std::int32_t alignment, std::int32_t weight = 1,
          std::int32_t style = 0) {
    return Font(face, size, style, weight, alignment, 0.0f);
}

} // namespace

TEST(CanvasText, TheFontsAlignmentCentresBothWaysWhenTheFlagsSayNothing) {
    Page page;
    page.canvas.setFont(font("04b03", 8.0f, Font::kAlignCenter | Font::kAlignMiddle | Font::kNoSmoothing));
    page.canvas.drawText("HH", Rect(0, 0, 100, 100), 0);
    const auto box = page.ink();
    // "HH": two glyphs three pixels wide with a pixel between them, capitals five rows high.
    EXPECT_EQ(box.right - box.left, 7);
    EXPECT_EQ(box.left, (100 - page.canvas.measureText("HH").getWidth()) / 2);
    // The 8-pixel cell is centred: its top at 46, the capitals one row below it.
    EXPECT_EQ(box.top, 46 + 1);
}

TEST(CanvasText, TheFlagsHorizontalBitsOverrideTheFontsWhileItsVerticalBitsStay) {
    Page page;
    page.canvas.setFont(font("04b03", 8.0f, Font::kAlignCenter | Font::kAlignMiddle | Font::kNoSmoothing));
    page.canvas.drawText("HH", Rect(0, 0, 100, 100), Font::kAlignRight);
    const auto box = page.ink();
    EXPECT_EQ(box.left, 100 - page.canvas.measureText("HH").getWidth());
    EXPECT_EQ(box.top, 47);
}

TEST(CanvasText, FlagVerticalBitsOverrideTheFontsAndBottomSitsOnTheRectanglesEdge) {
    Page page;
    page.canvas.setFont(font("04b03", 8.0f, Font::kAlignLeft | Font::kAlignTop | Font::kNoSmoothing));
    page.canvas.drawText("H", Rect(10, 10, 50, 50), Font::kAlignBottom);
    const auto box = page.ink();
    EXPECT_EQ(box.left, 10);
    EXPECT_EQ(box.top, 60 - 8 + 1);
}

TEST(CanvasText, TwoLinesAreCentredVerticallyAsOneBlock) {
    Page page;
    page.canvas.setFont(font("04b03", 8.0f, Font::kNoSmoothing));
    page.canvas.drawText("H\nH", Rect(0, 0, 100, 100), Font::kAlignMiddle);
    const auto box = page.ink();
    EXPECT_EQ(box.top, (100 - 16) / 2 + 1);
    EXPECT_EQ(box.bottom, (100 - 16) / 2 + 8 + 6);
}

TEST(CanvasText, NoSmoothingComesFromTheFlagsOrFromTheFontsAlignmentBit) {
    struct Case {
        std::int32_t alignment;
        int flags;
        bool twoColours;
    };
    for (const Case& c :
         {Case{9, 0, false}, Case{9 | Font::kNoSmoothing, 0, true}, Case{9, Canvas::kNoSmoothing, true}}) {
        Page page;
        page.canvas.setFont(font("Verdana", 16.0f, c.alignment));
        page.canvas.drawText("Round shapes & curves", Rect(0, 0, 100, 100), c.flags);
        EXPECT_EQ(page.colours().size() == 2, c.twoColours) << c.alignment << " " << c.flags;
    }
}

TEST(CanvasText, TextIsClippedToItsRectangle) {
    Page page;
    page.canvas.setFont(font("Arial", 20.0f, 9));
    page.canvas.drawText("Too wide for its box", Rect(20, 30, 40, 10), 0);
    const auto box = page.ink();
    ASSERT_FALSE(box.empty());
    EXPECT_GE(box.left, 20);
    EXPECT_GE(box.top, 30);
    EXPECT_LE(box.right, 60);
    EXPECT_LE(box.bottom, 40);
}

TEST(CanvasText, NoColourMeansATransparentBackgroundAndAColourFillsTheCell) {
    const Color red(255, 0, 0, 255);
    const Pixel redPixel = makePixel(0, 0, 255, 255);
    for (bool opaque : {false, true}) {
        Page page;
        page.canvas.setFont(font("04b03", 8.0f, 9 | Font::kNoSmoothing));
        page.canvas.setBackgroundColor(opaque ? red : trov::colorNone);
        page.canvas.drawText("AB", Rect(10, 10, 90, 90), 0);
        const int width = page.canvas.measureText("AB").getWidth();
        EXPECT_EQ(page.colours().count(redPixel), opaque ? 1u : 0u);
        if (opaque) {
            EXPECT_EQ(page.window.surface().pixel(10, 10), redPixel);
            EXPECT_EQ(page.window.surface().pixel(10 + width - 1, 17), redPixel);
            EXPECT_EQ(page.window.surface().pixel(10 + width, 10), kWhite);
            EXPECT_EQ(page.window.surface().pixel(10, 18), kWhite);
        }
    }
}

TEST(CanvasText, EveryFontOfTheProductsTableDrawsInsideItsRectangle) {
    // Index 1 to 7 and the default of the product's font table.
    const Font table[] = {
        Font("Verdana", 10.0f, 0, 1, 9, 12.0f),      Font("04b03", 8.0f, 0, 1, 65536, 10.0f),
        Font("uni 05_53", 11.0f, 0, 1, 65536, 9.0f), Font("Verdana", 12.0f, 0, 1, 65536, 14.0f),
        Font("Verdana", 8.0f, 0, 1, 9, 10.0f),       Font("Verdana", 10.0f, 0, 1, 9, 12.0f),
        Font("Verdana", 12.0f, 0, 1, 9, 14.0f),      Font("Arial", 12.0f, 0, 1, 9, 0.0f),
    };
    for (const Font& f : table) {
        for (std::int32_t weight : {0, 1, 2, 3, 4, 7}) {
            for (std::int32_t style : {0, 1}) {
                Page page(120, 40);
                Font styled = f;
                styled.setWeight(weight);
                styled.setStyle(style);
                page.canvas.setFont(styled);
                page.canvas.drawText("Level 0-9 Hz", Rect(5, 5, 110, 30), 0);
                const auto box = page.ink();
                ASSERT_FALSE(box.empty()) << f.getFace() << " " << weight << " " << style;
                EXPECT_GE(box.top, 5);
                EXPECT_LE(box.bottom, 5 + static_cast<int>(f.getSize()) + 1) << f.getFace();
                const bool pixelFace = (f.getAlignment() & Font::kNoSmoothing) != 0;
                if (pixelFace) {
                    EXPECT_EQ(page.colours().size(), 2u) << f.getFace();
                }
            }
        }
    }
}

TEST(CanvasText, BoldAndItalicCodesChangeTheGlyphs) {
    auto draw = [](std::int32_t weight, std::int32_t style) {
        Page page(120, 30);
        page.canvas.setFont(font("Arial", 16.0f, 9, weight, style));
        page.canvas.drawText("Weight", Rect(0, 0, 120, 30), 0);
        std::vector<Pixel> pixels;
        long ink = 0;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 120; ++x) {
                pixels.push_back(page.window.surface().pixel(x, y));
                ink += 255 - static_cast<long>(greenOf(pixels.back()));
            }
        return std::make_pair(ink, pixels);
    };
    const auto regular = draw(1, 0);
    EXPECT_GT(draw(3, 0).first, regular.first * 11 / 10);
    EXPECT_NE(draw(1, 1).second, regular.second);
    EXPECT_EQ(draw(7, 0).second, regular.second); // an unknown weight code draws as normal
}
