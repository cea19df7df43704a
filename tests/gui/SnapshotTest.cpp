// Whole drawings compared with reference images (support/SnapshotCompare.h). No FreeType text takes part
// (its pixels depend on the library's version); text here is the built-in pixel font and bitmap glyphs.
#include "gui/Bitmap.h"
#include "gui/Canvas.h"
#include "platform/draw/ImageFiles.h"

#include "support/CanvasTestWindow.h"
#include "support/SnapshotCompare.h"

#include <gtest/gtest.h>

#include <functional>

using trov::Bitmap;
using trov::Canvas;
using trov::Color;
using trov::Font;
using trov::Point;
using trov::Rect;
using trov::SharedObjectPtr;
using trov::test::CanvasTestWindow;
using namespace trov::platform::draw;

namespace {

// Draws the scene in one pass over a window and compares the window's pixels with the reference.
void expectSnapshot(const std::string& name, int width, int height,
                    const std::function<void(Canvas&)>& scene) {
    CanvasTestWindow window(Rect(0, 0, width, height), false);
    Canvas canvas(width, height);
    canvas.attachWindow(&window);
    canvas.begin(canvas.getSize(), true);
    scene(canvas);
    canvas.end();
    trov::test::expectMatchesReference(name, window.surface());
}

// A sheet of ten 3 x 5 digit glyphs with a soft shadow, for bitmap text.
Bitmap* digitSheet() {
    static const char* kDigits[] = {"###|#.#|#.#|#.#|###", ".#.|##.|.#.|.#.|###", "###|..#|###|#..|###",
                                    "###|..#|.##|..#|###", "#.#|#.#|###|..#|..#", "###|#..|###|..#|###",
                                    "###|#..|###|#.#|###", "###|..#|..#|.#.|.#.", "###|#.#|###|#.#|###",
                                    "###|#.#|###|..#|###"};
    auto surface = Surface::create(40, 6);
    for (int d = 0; d < 10; ++d) {
        int row = 0, column = 0;
        for (const char* c = kDigits[d]; *c != 0; ++c) {
            if (*c == '|') {
                ++row;
                column = 0;
                continue;
            }
            if (*c == '#') {
                surface->setPixel(d * 4 + column + 1, row + 1, premultiply(0, 0, 0, 96));
                surface->setPixel(d * 4 + column, row, makePixel(40, 220, 255, 255));
            }
            ++column;
        }
    }
    auto* sheet = new Bitmap(surface, Rect(0, 0, 40, 6));
    sheet->setFrameRect(Rect(0, 0, 4, 6));
    return sheet;
}

} // namespace

TEST(Snapshots, Shapes) {
    expectSnapshot("shapes", 64, 40, [](Canvas& canvas) {
        canvas.setBrushColor(Color(30, 40, 60, 255));
        canvas.fillRect(Rect(0, 0, 64, 40));
        canvas.setPenColor(Color(255, 200, 0, 255));
        canvas.setBrushColor(Color(0, 120, 200, 255));
        canvas.ellipse(Rect(2, 2, 20, 14));
        canvas.pie(Rect(24, 2, 16, 16), Point(40, 10), Point(32, 2));
        canvas.arc(Rect(42, 2, 20, 20), Point(52, 22), Point(62, 12));
        canvas.setPenColor(Color(255, 255, 255, 255));
        canvas.frameRect(Rect(2, 20, 20, 16));
        for (int i = 0; i < 5; ++i) {
            canvas.moveTo(Point(26, 22 + i * 3));
            canvas.lineTo(Point(60, 24 + i * 4));
        }
        canvas.save();
        canvas.offsetOrigin(Point(4, 22));
        canvas.setClip(Rect(6, 24, 10, 8));
        canvas.setBrushColor(Color(200, 30, 30, 255));
        canvas.fillRect(Rect(0, 0, 30, 30));
        canvas.restore();
    });
}

TEST(Snapshots, BlendsAndCopies) {
    expectSnapshot("blends", 48, 32, [](Canvas& canvas) {
        for (int y = 0; y < 32; y += 4)
            for (int x = 0; x < 48; x += 4) {
                canvas.setBrushColor(((x + y) / 4) % 2 == 0 ? Color(230, 230, 230, 255)
                                                            : Color(90, 90, 90, 255));
                canvas.fillRect(Rect(x, y, 4, 4));
            }
        // A radial glow with per-pixel alpha, drawn whole, stretched and at half transparency.
        auto glow = Surface::create(16, 16);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const int d = (x - 8) * (x - 8) + (y - 8) * (y - 8);
                const auto a = static_cast<std::uint32_t>(d >= 64 ? 0 : 255 - d * 4);
                glow->setPixel(x, y, premultiply(40, 160, 255, a));
            }
        SharedObjectPtr<Bitmap> bitmap(new Bitmap(glow, Rect(0, 0, 16, 16)));
        canvas.drawBitmap(bitmap.get(), Rect(0, 0, 16, 16), Rect(0, 0, 16, 16));
        canvas.drawBitmap(bitmap.get(), Rect(0, 0, 16, 16), Rect(16, 0, 32, 16));
        canvas.pushTransparency(0.5f);
        canvas.drawBitmap(bitmap.get(), Rect(0, 0, 16, 16), Rect(0, 16, 16, 16));
        canvas.popTransparency();
        // A memory canvas tinted and faded back in, and a shrunk copy of the top row.
        {
            Canvas tint(canvas, Rect(16, 16, 16, 16));
            tint.setBrushColor(Color(0, 200, 0, 255));
            tint.fillRect(Rect(20, 20, 8, 8));
            canvas.pushTransparency(0.6f);
            canvas.copyFrom(tint, Rect(16, 16, 16, 16), Rect(16, 16, 16, 16));
            canvas.popTransparency();
        }
        canvas.copyFrom(canvas, Rect(0, 0, 48, 16), Rect(32, 16, 16, 6));
    });
}

TEST(Snapshots, PixelFontAndBitmapText) {
    expectSnapshot("pixeltext", 80, 40, [](Canvas& canvas) {
        canvas.setBrushColor(Color(20, 20, 20, 255));
        canvas.fillRect(Rect(0, 0, 80, 40));
        canvas.setTextColor(Color(255, 160, 0, 255));
        canvas.setFont(Font("04b03", 8.0f, 0, 1, Font::kNoSmoothing, 10.0f));
        canvas.drawText("LEVEL -12.5dB\nMix&Pan", Rect(2, 2, 76, 20), 0);
        canvas.setFont(Font("uni 05_53", 11.0f, 0, 1, Font::kNoSmoothing | Font::kAlignRight, 9.0f));
        canvas.setBackgroundColor(Color(0, 60, 120, 255));
        canvas.drawText("{Q}", Rect(40, 2, 38, 11), 0);
        canvas.setBackgroundColor(trov::colorNone);
        SharedObjectPtr<Bitmap> sheet(digitSheet());
        canvas.drawBitmapText("0123.456789", Rect(2, 24, 76, 8), sheet.get(), "0123456789");
        canvas.setFont(
            Font("04b03", 16.0f, 0, 1, Font::kNoSmoothing | Font::kAlignCenter | Font::kAlignBottom, 0.0f));
        canvas.setTextColor(Color(120, 220, 255, 255));
        canvas.drawText("ok", Rect(44, 16, 36, 24), 0);
    });
}
