#include "gui/Bitmap.h"
#include "gui/GuiEditorServices.h"
#include "platform/draw/Surface.h"

#include "support/FileTestFolder.h"
#include "support/LogCapture.h"
#include "support/TestImages.h"

#include <gtest/gtest.h>

using trov::Bitmap;
using trov::File;
using trov::Rect;
using trov::SharedObjectPtr;
using trov::test::BmpSpec;
using trov::test::PngSpec;
using namespace trov::platform::draw;

namespace {

PngSpec rgba(int width, int height, std::vector<std::uint8_t> samples) {
    PngSpec s;
    s.width = width;
    s.height = height;
    s.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    s.samples = std::move(samples);
    return s;
}

class BitmapFiles : public ::testing::Test {
protected:
    std::string png(const std::string& name, const PngSpec& spec) {
        return folder.write(name, trov::test::makePng(spec));
    }
    trov::test::FileTestFolder folder;
    trov::test::LogCapture log{0};
};

constexpr const char* kPlace =
    "class trov::Error __thiscall trov::Bitmap::loadFile(const class trov::File &)";

} // namespace

TEST_F(BitmapFiles, APngLoadsWithItsBoundsAsFrameAndPremultipliedPixels) {
    // Straight red 50, green 100, blue 200 at alpha 128, then an opaque pixel that keeps its values.
    const std::string path = png("skin.png", rgba(2, 1, {50, 100, 200, 128, 255, 254, 1, 255}));
    SharedObjectPtr<Bitmap> bitmap(new Bitmap(File(path)));
    ASSERT_TRUE(bitmap->isLoaded());
    EXPECT_EQ(bitmap->getBounds(), Rect(0, 0, 2, 1));
    EXPECT_EQ(bitmap->getFrameRect(), Rect(0, 0, 2, 1));
    EXPECT_EQ(bitmap->getHandle()->pixel(0, 0), makePixel(100, 50, 25, 128));
    EXPECT_EQ(bitmap->getHandle()->pixel(1, 0), makePixel(1, 254, 255, 255));
    EXPECT_FALSE(bitmap->getUseAlpha());
    EXPECT_FLOAT_EQ(bitmap->getTransparency(), 1.0f);
    EXPECT_FLOAT_EQ(bitmap->getFlicker(), 0.0f);
    EXPECT_TRUE(bitmap->getAlphabet().empty());
    EXPECT_EQ(log.count("Bitmap::loadFile"), 0);
}

TEST_F(BitmapFiles, ABmpLoadsAfterThePngLoaderTurnsItDown) {
    BmpSpec s;
    s.width = 1;
    s.height = -2;
    s.rows = {{1, 2, 3}, {4, 5, 6}};
    const std::string path = folder.write("skin.bmp", trov::test::makeBmp(s));
    Bitmap bitmap{File(path)};
    ASSERT_TRUE(bitmap.isLoaded());
    EXPECT_EQ(bitmap.getBounds(), Rect(0, 0, 1, 2));
    EXPECT_EQ(bitmap.getHandle()->pixel(0, 0), makePixel(1, 2, 3, 255));
    EXPECT_EQ(log.count("  PNG::signature mismatch"), 1);
}

TEST_F(BitmapFiles, ADamagedPngFailsWithImportFailedKeepingThePreviousImage) {
    Bitmap bitmap{File(png("good.png", rgba(3, 2, std::vector<std::uint8_t>(24, 255))))};
    ASSERT_TRUE(bitmap.isLoaded());
    const std::string good = trov::test::makePng(rgba(1, 1, {1, 2, 3, 4}));
    const std::string damaged = folder.write("damaged.png", good.substr(0, 4) + std::string(40, 'x'));
    const trov::Error error = bitmap.loadFile(File(damaged));
    EXPECT_TRUE(error.failed());
    EXPECT_EQ(error.getCode(), "EIFL");
    EXPECT_EQ(error.getMessage(), "Failed to import file " + damaged);
    EXPECT_EQ(error.getWhere(), kPlace);
    EXPECT_EQ(log.count("  PNG::failed to install error handler"), 1);
    EXPECT_EQ(bitmap.getBounds(), Rect(0, 0, 3, 2));
    EXPECT_TRUE(bitmap.isLoaded());
}

TEST_F(BitmapFiles, ShortForeignAndMissingFilesAreRefusedWithTheirLogLines) {
    Bitmap shortFile{File(folder.write("short.png", "\x89P"))};
    EXPECT_FALSE(shortFile.isLoaded());
    EXPECT_EQ(log.count("  PNG::signature read error"), 1);
    Bitmap foreign{File(folder.write("text.png", "just some text, neither PNG nor BMP"))};
    EXPECT_FALSE(foreign.isLoaded());
    EXPECT_EQ(log.count("  PNG::signature mismatch"), 1);
    Bitmap missing{File(folder / "missing.png")};
    EXPECT_FALSE(missing.isLoaded());
    EXPECT_EQ(missing.loadFile(File(folder / "missing.png")).getCode(), "EIFL");
    // Each failing construction logs once at level 1.
    EXPECT_EQ(log.count("Bitmap::loadFile"), 3);
}

TEST_F(BitmapFiles, AnImageThatCannotBeMadeFailsWithImportFailedAndLeavesNoImage) {
    std::string bytes = trov::test::makePng(rgba(1, 1, {1, 2, 3, 4}));
    // Rewrite the header chunk to 5000 x 5000, more than an image may hold, with its CRC.
    for (std::size_t at : {std::size_t{16}, std::size_t{20}}) {
        bytes[at] = 0;
        bytes[at + 1] = 0;
        bytes[at + 2] = static_cast<char>(5000 >> 8);
        bytes[at + 3] = static_cast<char>(5000 & 0xFF);
    }
    const std::uint32_t crc = trov::test::crc32(bytes.substr(12, 17));
    for (int i = 0; i < 4; ++i)
        bytes[29 + static_cast<std::size_t>(i)] = static_cast<char>((crc >> (24 - 8 * i)) & 0xFF);
    Bitmap bitmap{File(png("small.png", rgba(1, 1, {1, 2, 3, 4})))};
    const trov::Error error = bitmap.loadFile(File(folder.write("huge.png", bytes)));
    EXPECT_EQ(error.getCode(), "EIFL");
    EXPECT_FALSE(bitmap.isLoaded());
    EXPECT_EQ(bitmap.getBounds(), Rect());
    EXPECT_EQ(bitmap.getFrameCount(), 0);
    EXPECT_EQ(log.count("  PNG::failed to create image"), 1);
}

TEST(BitmapFrames, FramesLieInRowsOfTheFrameRectanglesSize) {
    Bitmap bitmap(Surface::create(96, 64), Rect(0, 0, 96, 64));
    EXPECT_TRUE(bitmap.getUseAlpha());
    bitmap.setFrameRect(Rect(0, 0, 32, 32));
    EXPECT_EQ(bitmap.getColumns(), 3);
    EXPECT_EQ(bitmap.getRows(), 2);
    EXPECT_EQ(bitmap.getFrameCount(), 6);
    EXPECT_EQ(bitmap.getFrame(2), Rect(64, 0, 32, 32));
    EXPECT_EQ(bitmap.getFrame(4), Rect(32, 32, 32, 32));
    EXPECT_EQ(bitmap.getFrame(1, 2), Rect(64, 32, 32, 32));
    EXPECT_EQ(bitmap.getFrame(6), Rect());
    EXPECT_EQ(bitmap.getFrame(-1), Rect());
    bitmap.setFrameRect(Rect(0, 0, 96, 32)); // one frame per row
    EXPECT_EQ(bitmap.getFrameCount(), 2);
    EXPECT_EQ(bitmap.getFrame(1), Rect(0, 32, 96, 32));
}

TEST(BitmapFrames, AnEmptyFrameRectangleHasNoFrames) {
    Bitmap bitmap(Surface::create(96, 32), Rect(0, 0, 96, 32));
    for (const Rect& frame : {Rect(), Rect(0, 0, 0, 32), Rect(0, 0, 32, 0)}) {
        bitmap.setFrameRect(frame);
        EXPECT_EQ(bitmap.getColumns(), 0);
        EXPECT_EQ(bitmap.getRows(), 0);
        EXPECT_EQ(bitmap.getFrameCount(), 0);
        EXPECT_EQ(bitmap.getFrame(0), Rect());
    }
}

TEST(BitmapFlicker, TheFlickeringTransparencyDropsByUpToTheFlickerAmount) {
    Bitmap bitmap(Surface::create(1, 1), Rect(0, 0, 1, 1));
    bitmap.setTransparency(0.8f);
    EXPECT_FLOAT_EQ(bitmap.getFlickerTransparency(), 0.8f);
    bitmap.setTransparency(1.0f);
    bitmap.setFlicker(0.5f);
    float lowest = 1.0f;
    float highest = 0.0f;
    for (int i = 0; i < 2000; ++i) {
        const float t = bitmap.getFlickerTransparency();
        ASSERT_GT(t, 0.5f);
        ASSERT_LE(t, 1.0f);
        lowest = std::min(lowest, t);
        highest = std::max(highest, t);
    }
    EXPECT_LT(lowest, 0.6f);
    EXPECT_GT(highest, 0.9f);
}

TEST_F(BitmapFiles, TheEditorServicesMakeRealBitmapsWithOneReference) {
    trov::GuiEditorServices services;
    trov::setEditorServices(&services);
    trov::BitmapInterface* made = trov::editorServices().createBitmap(
        File(png("made.png", rgba(4, 3, std::vector<std::uint8_t>(48, 9)))));
    trov::setEditorServices(nullptr);
    ASSERT_NE(dynamic_cast<Bitmap*>(made), nullptr);
    EXPECT_TRUE(made->isLoaded());
    EXPECT_EQ(made->getBounds(), Rect(0, 0, 4, 3));
    EXPECT_EQ(made->getReferenceCount(), 1);
    made->release();
    EXPECT_NE(services.createPopupMenu(0), nullptr);
}
