#include "platform/draw/DrawContext.h"

#include "support/PixelArt.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace trov::platform::draw;
using trov::platform::NativeRect;
using trov::test::pixelArt;
using Art = std::vector<std::string>;

namespace {

constexpr ColorRef kPen = makeColorRef(255, 0, 0);
constexpr ColorRef kBrush = makeColorRef(0, 0, 255);
const std::map<Pixel, char> kLegend = {{0u, '.'}, {opaquePixel(kPen), 'P'}, {opaquePixel(kBrush), 'B'}};

class Raster : public ::testing::Test {
protected:
    Raster() : surface(Surface::create(7, 6)), dc(surface) {
        dc.setPenColor(kPen);
        dc.setBrushColor(kBrush);
    }
    Art art() const { return pixelArt(*surface, kLegend); }

    std::shared_ptr<Surface> surface;
    DrawContext dc;
};

} // namespace

TEST(Pixels, RoundedDivisionBy255IsExactOverTheWholeProductRange) {
    for (std::uint32_t x = 0; x <= 255u * 255u; ++x)
        ASSERT_EQ(div255(x), (x + 127u) / 255u) << x;
}

TEST(Pixels, ScalingTwoChannelsAtOnceRoundsEachExactlyAsOneAtATime) {
    for (std::uint32_t a = 0; a <= 255; ++a)
        for (std::uint32_t c = 0; c <= 255; ++c) {
            const Pixel p = makePixel(c, 255 - c, c / 2, c);
            ASSERT_EQ(scalePixel(p, a), makePixel((c * a + 127) / 255, ((255 - c) * a + 127) / 255,
                                                  (c / 2 * a + 127) / 255, (c * a + 127) / 255))
                << a << " " << c;
        }
}

TEST(Pixels, PremultiplyingRoundsSoThatOpaqueColoursKeepTheirValue) {
    EXPECT_EQ(premultiply(255, 254, 1, 255), makePixel(255, 254, 1, 255));
    EXPECT_EQ(premultiply(200, 100, 50, 128), makePixel(100, 50, 25, 128));
    EXPECT_EQ(premultiply(255, 255, 255, 1), makePixel(1, 1, 1, 1));
    EXPECT_EQ(premultiply(255, 0, 0, 0), 0u);
}

TEST_F(Raster, FillsLeaveOutTheRightAndBottomEdgesAndFramesLieJustInside) {
    dc.fillRect({1, 1, 4, 3}, kBrush);
    dc.frameRect({3, 2, 7, 6}, kPen);
    dc.fillRect({5, 0, 4, 1}, kBrush); // left of right: nothing
    EXPECT_EQ(art(), (Art{".......",   //
                          ".BBB...",   //
                          ".BBPPPP",   //
                          "...P..P",   //
                          "...P..P",   //
                          "...PPPP"}));
}

TEST_F(Raster, RectangleOutlinesInThePenAndFillsInTheBrushEvenWithCornersSwapped) {
    dc.rectangle({5, 4, 1, 0});
    dc.selectNullBrush();
    dc.rectangle({0, 4, 3, 6});
    EXPECT_EQ(art(), (Art{".PPPP..", //
                          ".PBBP..", //
                          ".PBBP..", //
                          ".PPPP..", //
                          "PPP....", //
                          "PPP...."}));
}

TEST_F(Raster, LinesLeaveOutTheirEndPixelAndStepOnePixelPerMajorStep) {
    dc.moveTo(0, 0);
    dc.lineTo(5, 0);
    dc.moveTo(6, 5);
    dc.lineTo(6, 1);
    dc.moveTo(0, 1);
    dc.lineTo(5, 3); // minor offsets i * 2 / 5 rounded, halves toward the start
    dc.moveTo(0, 5);
    dc.lineTo(3, 2);                 // 45 degrees upward
    EXPECT_EQ(art(), (Art{"PPPPP..", //
                          "PP.....", //
                          "..PP..P", //
                          "..P.P.P", //
                          ".P....P", //
                          "P.....P"}));
    EXPECT_EQ(dc.getPosition().x, 3);
    EXPECT_EQ(dc.getPosition().y, 2);
}

TEST_F(Raster, TheNullPenDrawsNoLineButTheLineStillMovesThePosition) {
    dc.selectNullPen();
    dc.moveTo(0, 0);
    dc.lineTo(6, 5);
    EXPECT_EQ(dc.getPosition().x, 6);
    EXPECT_EQ(trov::test::inkBox(*surface, 0).empty(), true);
}

TEST_F(Raster, EllipsesFitTheBoxLessOneWithTheOutlineInThePenAndTheInsideInTheBrush) {
    dc.ellipse({0, 0, 5, 5});
    dc.ellipse({5, 0, 7, 6});        // two pixels wide: all outline
    EXPECT_EQ(art(), (Art{".PPP.PP", //
                          "PBBBPPP", //
                          "PBBBPPP", //
                          "PBBBPPP", //
                          ".PPP.PP", //
                          ".....PP"}));
}

TEST_F(Raster, ArcsRunCounterClockwiseBetweenTheRaysThroughTheirTwoPoints) {
    // From just left of straight up to just above straight left: the upper-left pixels of the outline.
    dc.arc({0, 0, 5, 5}, {2, 0}, {0, 2});
    EXPECT_EQ(art(), (Art{".P.....", //
                          "P......", //
                          ".......", //
                          ".......", //
                          ".......", //
                          "......."}));
}

TEST_F(Raster, AnArcWhoseTwoRaysAreOneIsTheWholeOutline) {
    dc.arc({0, 0, 5, 5}, {4, 2}, {7, 1});
    EXPECT_EQ(art(), (Art{".PPP...", //
                          "P...P..", //
                          "P...P..", //
                          "P...P..", //
                          ".PPP...", //
                          "......."}));
}

TEST_F(Raster, PiesCloseTheirArcWithTwoRadiiAndFillTheSector) {
    dc.pie({0, 0, 5, 5}, {2, 0}, {0, 2});
    EXPECT_EQ(art(), (Art{".PP....", //
                          "PBP....", //
                          "PPP....", //
                          ".......", //
                          ".......", //
                          "......."}));
}

TEST_F(Raster, TheOriginMovesDrawingAndTheClipStaysInSurfacePixels) {
    dc.setOrigin({1, 1});
    dc.setClip({2, 0, 5, 4});
    dc.fillRect({0, 0, 6, 6}, kBrush); // lands on (1, 1)-(7, 7), clipped to x 2..4, y 1..3
    dc.setPixel(0, 0, kPen);           // (1, 1): outside the clip
    dc.setPixel(2, 0, kPen);           // (3, 1)
    const NativeRect box = dc.getClipBox();
    EXPECT_EQ((std::vector<int>{box.left, box.top, box.right, box.bottom}), (std::vector<int>{1, -1, 4, 3}));
    EXPECT_EQ(art(), (Art{".......", //
                          "..BPB..", //
                          "..BBB..", //
                          "..BBB..", //
                          ".......", //
                          "......."}));
    EXPECT_EQ(dc.getPixel(2, 0), opaquePixel(kPen));
}

TEST_F(Raster, TheClipEndsAtTheSurfaceAndAContextWithoutASurfaceDrawsNothing) {
    dc.setClip({-5, -5, 50, 50});
    const NativeRect box = dc.getClipBox();
    EXPECT_EQ((std::vector<int>{box.left, box.top, box.right, box.bottom}), (std::vector<int>{0, 0, 7, 6}));
    DrawContext empty;
    empty.fillRect({0, 0, 5, 5}, kBrush);
    empty.ellipse({0, 0, 5, 5});
    EXPECT_EQ(empty.getPixel(0, 0), 0u);
}

TEST_F(Raster, RestoreReturnsToTheSavedStateAndRefusesALevelNeverSaved) {
    EXPECT_FALSE(dc.restore(-1));
    const int first = dc.save();
    dc.setOrigin({3, 3});
    dc.setClip({0, 0, 1, 1});
    dc.setPenColor(kBrush);
    dc.moveTo(4, 4);
    dc.save();
    dc.setOrigin({5, 5});
    EXPECT_TRUE(dc.restore(first));
    EXPECT_EQ(dc.getOrigin().x, 0);
    EXPECT_EQ(dc.getPenColor(), kPen);
    EXPECT_EQ(dc.getPosition().x, 0);
    EXPECT_EQ(dc.getClipBox().right, 7);
    EXPECT_FALSE(dc.restore(-1)); // both saved states are gone
    EXPECT_FALSE(dc.restore(0));
}

TEST(DrawContextSurface, SelectingASurfaceHandsBackTheOneBefore) {
    auto first = Surface::create(2, 2);
    auto second = Surface::create(3, 3);
    DrawContext dc(first);
    EXPECT_EQ(dc.selectSurface(second), first);
    dc.fillRect({0, 0, 3, 3}, kBrush);
    EXPECT_EQ(first->pixel(0, 0), 0u);
    EXPECT_EQ(second->pixel(2, 2), opaquePixel(kBrush));
    EXPECT_EQ(Surface::create(0, 5), nullptr);
    EXPECT_EQ(Surface::create(1 << 13, 1 << 13), nullptr); // above the largest surface
}
