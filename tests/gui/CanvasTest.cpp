#include "gui/Canvas.h"
#include "gui/Bitmap.h"
#include "platform/draw/DrawContext.h"

#include "support/CanvasTestWindow.h"
#include "support/LogCapture.h"
#include "support/PixelArt.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using trov::Bitmap;
using trov::Canvas;
using trov::Color;
using trov::Point;
using trov::Rect;
using trov::test::CanvasTestWindow;
using namespace trov::platform::draw;
using Art = std::vector<std::string>;

namespace {

const Color kRed(255, 0, 0, 255);
const Color kBlue(0, 0, 255, 255);
constexpr Pixel kRedPixel = makePixel(0, 0, 255, 255);
constexpr Pixel kBluePixel = makePixel(255, 0, 0, 255);
constexpr Pixel kWhitePixel = makePixel(255, 255, 255, 255);
const std::map<Pixel, char> kLegend = {{0u, '.'}, {kRedPixel, 'P'}, {kBluePixel, 'B'}, {kWhitePixel, 'W'}};

// (c * a + 127) / 255.
std::uint32_t scaled(std::uint32_t c, std::uint32_t a) {
    return (c * a + 127) / 255;
}

// A window that keeps its own context and a canvas drawing straight onto it, in one pass over it all.
class CanvasOnWindow : public ::testing::Test {
protected:
    explicit CanvasOnWindow(int width = 9, int height = 6)
        : window(Rect(0, 0, width, height), true), canvas(width, height) {
        canvas.attachWindow(&window);
        canvas.begin(canvas.getSize(), false);
        canvas.setPenColor(kRed);
        canvas.setBrushColor(kBlue);
    }
    ~CanvasOnWindow() override { canvas.end(); }
    Art art() { return trov::test::pixelArt(window.surface(), kLegend); }

    CanvasTestWindow window;
    Canvas canvas;
};

// An image made at run time from rows of pixels.
Bitmap* bitmapOf(const std::vector<std::vector<Pixel>>& rows) {
    auto surface = Surface::create(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
    for (std::size_t y = 0; y < rows.size(); ++y)
        for (std::size_t x = 0; x < rows[y].size(); ++x)
            surface->setPixel(static_cast<int>(x), static_cast<int>(y), rows[y][x]);
    return new Bitmap(surface, Rect(0, 0, surface->width(), surface->height()));
}

} // namespace

TEST_F(CanvasOnWindow, EveryShapeLandsOnItsExactPixels) {
    canvas.moveTo(Point(0, 0));
    canvas.lineTo(Point(5, 0)); // the end point is drawn too: six pixels
    canvas.frameRect(Rect(6, 0, 3, 3));
    canvas.fillRect(Rect(0, 2, 3, 2));
    canvas.ellipse(Rect(4, 3, 5, 3));
    EXPECT_EQ(art(), (Art{"PPPPPPPPP", //
                          "......P.P", //
                          "BBB...PPP", //
                          "BBB..PPP.", //
                          "....PBBBP", //
                          ".....PPP."}));
}

TEST_F(CanvasOnWindow, ArcsAndPiesFollowTheirRaysCounterClockwise) {
    canvas.arc(Rect(0, 0, 5, 5), Point(2, 0), Point(0, 2));
    canvas.pie(Rect(4, 0, 5, 5), Point(6, 0), Point(4, 2));
    EXPECT_EQ(art(), (Art{".P...PP..", //
                          "P...PBP..", //
                          "....PPP..", //
                          ".........", //
                          ".........", //
                          "........."}));
}

TEST_F(CanvasOnWindow, FramesUseThePenColourNotTheBrush) {
    canvas.setPenColor(kBlue);
    canvas.setBrushColor(kRed);
    canvas.frameRect(Rect(0, 0, 2, 2));
    EXPECT_EQ(window.surface().pixel(0, 0), kBluePixel);
    EXPECT_EQ(window.surface().pixel(1, 1), kBluePixel);
}

TEST_F(CanvasOnWindow, TheClipIsInSurfacePixelsAndTheOriginMovesDrawing) {
    canvas.offsetOrigin(Point(2, 1));
    canvas.setClip(Rect(3, 0, 3, 4));
    canvas.fillRect(Rect(0, 0, 9, 9));
    EXPECT_EQ(canvas.getOrigin(), Point(2, 1));
    EXPECT_EQ(canvas.getClip(), Rect(Point(1, -1), Point(4, 3)));
    EXPECT_EQ(art(), (Art{".........", //
                          "...BBB...", //
                          "...BBB...", //
                          "...BBB...", //
                          ".........", //
                          "........."}));
    canvas.resetOrigin();
    canvas.resetClip();
    EXPECT_EQ(canvas.getOrigin(), Point(0, 0));
    EXPECT_EQ(canvas.getClip(), Rect(0, 0, 9, 6));
}

TEST_F(CanvasOnWindow, RestoreUndoesTheOriginAndClipOfAChildsPainting) {
    canvas.save();
    canvas.offsetOrigin(Point(4, 4));
    canvas.setClip(Rect(4, 4, 1, 1));
    canvas.setBrushColor(kRed);
    canvas.restore();
    canvas.fillRect(Rect(0, 0, 1, 1));
    EXPECT_EQ(window.surface().pixel(0, 0), kBluePixel);
    EXPECT_EQ(canvas.getClip(), Rect(0, 0, 9, 6));
}

TEST(CanvasTransparency, PushLimitsToZeroToOneWithoutMultiplyingAndPopRestores) {
    Canvas canvas(4, 4);
    EXPECT_FLOAT_EQ(canvas.getTransparency(), 1.0f);
    canvas.pushTransparency(0.5f);
    canvas.pushTransparency(1.7f);
    EXPECT_FLOAT_EQ(canvas.getTransparency(), 1.0f);
    canvas.pushTransparency(-0.3f);
    EXPECT_FLOAT_EQ(canvas.getTransparency(), 0.0f);
    canvas.pushTransparency(0.25f);
    EXPECT_FLOAT_EQ(canvas.getTransparency(), 0.25f);
    canvas.popTransparency();
    canvas.popTransparency();
    EXPECT_FLOAT_EQ(canvas.getTransparency(), 1.0f);
    canvas.popTransparency();
    EXPECT_FLOAT_EQ(canvas.getTransparency(), 0.5f);
    // A pass draws at 1.0 and gives the value back at its end.
    CanvasTestWindow window(Rect(0, 0, 4, 4), true);
    canvas.attachWindow(&window); // attaching starts again at 1.0
    canvas.pushTransparency(0.3f);
    canvas.begin(canvas.getSize(), false);
    EXPECT_FLOAT_EQ(canvas.getTransparency(), 1.0f);
    canvas.end();
    EXPECT_FLOAT_EQ(canvas.getTransparency(), 0.3f);
}

TEST(CanvasPass, ADoubleBufferedPassErasesAndShowsOnlyTheUpdateRectangle) {
    CanvasTestWindow window(Rect(0, 0, 6, 4), false);
    Canvas canvas(6, 4);
    canvas.attachWindow(&window);
    canvas.begin(Rect(1, 1, 3, 2), true);
    EXPECT_EQ(canvas.getContext()->getPixel(1, 1), kWhitePixel); // erased in the erase colour
    canvas.setBrushColor(kRed);
    canvas.fillRect(Rect(0, 0, 6, 4));
    EXPECT_EQ(window.surface().pixel(1, 1), 0u); // nothing shows before the end
    canvas.end();
    EXPECT_EQ(trov::test::pixelArt(window.surface(), kLegend), (Art{"......", //
                                                                    ".PPP..", //
                                                                    ".PPP..", //
                                                                    "......"}));
}

TEST(CanvasPass, AContextFetchedForAPassIsHandedBackAtItsEnd) {
    CanvasTestWindow window(Rect(0, 0, 3, 3), false);
    Canvas canvas(&window, nullptr);
    canvas.begin(Rect(0, 0, 3, 3), false);
    ASSERT_NE(canvas.getContext(), nullptr);
    canvas.setBrushColor(kBlue);
    canvas.fillRect(Rect(0, 0, 1, 1));
    canvas.end();
    EXPECT_EQ(canvas.getContext(), nullptr);
    EXPECT_EQ(window.surface().pixel(0, 0), kBluePixel);
    canvas.fillRect(Rect(1, 1, 1, 1)); // between passes nothing is drawn
    EXPECT_EQ(window.surface().pixel(1, 1), 0u);
}

TEST(CanvasPass, AWindowWithoutPixelsLogsThatNoDrawingPortWasFoundAndDrawsNothing) {
    trov::test::LogCapture log;
    CanvasTestWindow window(Rect(0, 0, 3, 3), false, false);
    Canvas canvas(3, 3);
    canvas.attachWindow(&window);
    canvas.begin(Rect(0, 0, 3, 3), false);
    canvas.fillRect(Rect(0, 0, 3, 3));
    canvas.drawText("text", Rect(0, 0, 3, 3), 0);
    canvas.end();
    EXPECT_EQ(log.count("Canvas failed to acquire drawing port"), 1);
    EXPECT_FLOAT_EQ(canvas.getTransparency(), 1.0f);
}

class CanvasCopies : public ::testing::Test {
protected:
    CanvasCopies()
        : sourceWindow(Rect(0, 0, 2, 1), true), targetWindow(Rect(0, 0, 2, 1), true),
          source(&sourceWindow, sourceWindow.getDC()), target(&targetWindow, targetWindow.getDC()) {
        sourceWindow.surface().setPixel(0, 0, makePixel(0, 100, 255, 255));
        sourceWindow.surface().setPixel(1, 0, makePixel(200, 100, 255, 255));
        targetWindow.surface().fill(makePixel(0, 0, 0, 255));
    }
    CanvasTestWindow sourceWindow, targetWindow;
    Canvas source, target;
};

TEST_F(CanvasCopies, AtLeast099TransparentCopiesOpaque) {
    target.pushTransparency(0.995f);
    target.copyFrom(source, Rect(0, 0, 2, 1), Rect(0, 0, 2, 1));
    EXPECT_EQ(targetWindow.surface().pixel(0, 0), makePixel(0, 100, 255, 255));
    EXPECT_EQ(targetWindow.surface().pixel(1, 0), makePixel(200, 100, 255, 255));
}

TEST_F(CanvasCopies, BelowThatTheCopyBlendsWithTheTruncatedConstantAlpha) {
    target.pushTransparency(0.98f); // constant alpha trunc(0.98 * 255) = 249
    target.copyFrom(source, Rect(1, 0, 1, 1), Rect(0, 0, 1, 1));
    EXPECT_EQ(targetWindow.surface().pixel(0, 0),
              makePixel(scaled(200, 249), scaled(100, 249), scaled(255, 249), 249 + scaled(255, 6)));
}

TEST_F(CanvasCopies, ADifferentSizeIsStretchedByAreaAveraging) {
    target.copyFrom(source, Rect(0, 0, 2, 1), Rect(1, 0, 1, 1));
    EXPECT_EQ(targetWindow.surface().pixel(1, 0), makePixel(100, 100, 255, 255));
    EXPECT_EQ(targetWindow.surface().pixel(0, 0), makePixel(0, 0, 0, 255));
}

TEST_F(CanvasOnWindow, BitmapsWithAlphaBlendAtTheCanvasTransparency) {
    trov::SharedObjectPtr<Bitmap> bitmap(bitmapOf({{makePixel(100, 50, 25, 128), makePixel(9, 9, 9, 255)}}));
    window.surface().fill(kWhitePixel);
    canvas.pushTransparency(0.5f); // constant alpha 127
    canvas.drawBitmap(bitmap.get(), Rect(0, 0, 1, 1), Rect(2, 2, 1, 1));
    canvas.popTransparency();
    const std::uint32_t a = scaled(128, 127);
    EXPECT_EQ(window.surface().pixel(2, 2),
              makePixel(scaled(100, 127) + scaled(255, 255 - a), scaled(50, 127) + scaled(255, 255 - a),
                        scaled(25, 127) + scaled(255, 255 - a), 255));
    // Stretched when the destination is larger.
    canvas.drawBitmap(bitmap.get(), Rect(1, 0, 1, 1), Rect(4, 0, 2, 2));
    EXPECT_EQ(window.surface().pixel(5, 1), makePixel(9, 9, 9, 255));
}

TEST_F(CanvasOnWindow, BitmapsWithoutAlphaAreCopiedAtTheirSizeIgnoringTheTransparency) {
    trov::SharedObjectPtr<Bitmap> bitmap(bitmapOf({{makePixel(1, 2, 3, 40), makePixel(4, 5, 6, 255)}}));
    bitmap->setUseAlpha(false);
    canvas.pushTransparency(0.2f);
    canvas.drawBitmap(bitmap.get(), Rect(0, 0, 2, 1), Rect(3, 3, 4, 3)); // never stretched
    canvas.popTransparency();
    EXPECT_EQ(window.surface().pixel(3, 3), makePixel(1, 2, 3, 40));
    EXPECT_EQ(window.surface().pixel(4, 3), makePixel(4, 5, 6, 255));
    EXPECT_EQ(window.surface().pixel(5, 3), 0u);
    EXPECT_EQ(window.surface().pixel(3, 4), 0u);
    canvas.drawBitmap(nullptr, Rect(0, 0, 1, 1), Rect(0, 0, 1, 1));
}

TEST_F(CanvasOnWindow, BitmapTextSetsEachKnownGlyphRightAfterThePrevious) {
    // Ten glyphs of 1 x 2 pixels in a row, glyph i coloured with blue i + 1.
    std::vector<Pixel> row;
    for (std::uint32_t i = 0; i < 10; ++i)
        row.push_back(makePixel(i + 1, 0, 0, 255));
    trov::SharedObjectPtr<Bitmap> sheet(bitmapOf({row, row}));
    sheet->setUseAlpha(false);
    sheet->setFrameRect(Rect(0, 0, 1, 2));
    auto glyphsIn = [&](int y) {
        std::string seen;
        for (int x = 0; x < 9; ++x) {
            const Pixel p = window.surface().pixel(x, y);
            seen += p == 0 ? '.' : static_cast<char>('0' + blueOf(p) - 1);
        }
        return seen;
    };
    // Characters the alphabet lacks and glyphs past the sheet take no room.
    canvas.drawBitmapText("1a2X3", Rect(2, 0, 5, 2), sheet.get(), "0123456789X");
    EXPECT_EQ(glyphsIn(0), "..123....");
    EXPECT_EQ(glyphsIn(1), "..123....");
    // A glyph is drawn when its place meets the clip rectangle, edges touching included, and not clipped.
    canvas.drawBitmapText("45678", Rect(1, 3, 2, 1), sheet.get(), "0123456789");
    EXPECT_EQ(glyphsIn(3), ".456.....");
}

TEST(MemoryCanvas, StartsAsASnapshotAndDrawsAtTheRectanglesCoordinates) {
    CanvasTestWindow window(Rect(0, 0, 8, 8), true);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            window.surface().setPixel(
                x, y, makePixel(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), 0, 255));
    Canvas parent(&window, window.getDC());
    const Rect r(2, 3, 4, 4);
    Canvas memory(parent, r);
    EXPECT_EQ(memory.getSize(), Rect(0, 0, 4, 4));
    EXPECT_EQ(memory.getOrigin(), Point(-2, -3));
    const Surface& image = *memory.getContext()->surface();
    EXPECT_EQ(image.pixel(0, 0), makePixel(2, 3, 0, 255));
    EXPECT_EQ(image.pixel(3, 3), makePixel(5, 6, 0, 255));
    memory.setBrushColor(kRed);
    memory.fillRect(Rect(2, 3, 1, 1));
    EXPECT_EQ(image.pixel(0, 0), kRedPixel);
    EXPECT_EQ(window.surface().pixel(2, 3),
              makePixel(2, 3, 0, 255)); // the parent is untouched until copied back
    parent.copyFrom(memory, r, r);
    EXPECT_EQ(window.surface().pixel(2, 3), kRedPixel);
    EXPECT_EQ(window.surface().pixel(3, 3), makePixel(3, 3, 0, 255));
}

TEST(MemoryCanvas, FadesADrawingInThroughTheParentsTransparency) {
    CanvasTestWindow window(Rect(0, 0, 4, 4), true);
    window.surface().fill(makePixel(0, 0, 0, 255));
    Canvas parent(&window, window.getDC());
    {
        Canvas memory(parent, Rect(0, 0, 2, 2));
        memory.setBrushColor(Color(0, 0, 255, 255));
        memory.fillRect(Rect(0, 0, 2, 2));
        parent.pushTransparency(0.5f);
        parent.copyFrom(memory, Rect(0, 0, 2, 2), Rect(0, 0, 2, 2));
        parent.popTransparency();
    }
    EXPECT_EQ(window.surface().pixel(1, 1), makePixel(scaled(255, 127), 0, 0, 127 + scaled(255, 128)));
}

TEST(CanvasMeasure, TextMeasuresFromTheOriginAsWidestLineByAllLines) {
    Canvas canvas(10, 10);
    canvas.setFont(trov::Font("Verdana", 10.0f, 0, 1, 9, 12.0f));
    const Rect one = canvas.measureText("mX");
    EXPECT_EQ(one.left, 0);
    EXPECT_EQ(one.top, 0);
    EXPECT_EQ(one.getHeight(), 10);
    EXPECT_GT(one.getWidth(), 5);
    const Rect two = canvas.measureText("mX\nmXmX");
    EXPECT_EQ(two.getHeight(), 20);
    EXPECT_GT(two.getWidth(), one.getWidth());
}
