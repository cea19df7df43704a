#include "platform/draw/Blit.h"
#include "platform/draw/DrawContext.h"

#include <gtest/gtest.h>

#include <vector>

using namespace trov::platform::draw;
using trov::platform::NativeRect;

namespace {

// (c * a + 127) / 255, written out as the blending rule states it.
std::uint32_t scaled(std::uint32_t c, std::uint32_t a) {
    return (c * a + 127) / 255;
}

std::shared_ptr<Surface> rowOf(const std::vector<Pixel>& pixels) {
    auto surface = Surface::create(static_cast<int>(pixels.size()), 1);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        surface->setPixel(static_cast<int>(i), 0, pixels[i]);
    return surface;
}

} // namespace

TEST(BitBlt, CopiesOnlyInsideTheClipTheDestinationAndTheSource) {
    auto source = rowOf({makePixel(1, 0, 0, 255), makePixel(2, 0, 0, 255), makePixel(3, 0, 0, 255)});
    auto target = Surface::create(4, 2);
    DrawContext dc(target);
    dc.setClip({0, 0, 4, 1});
    dc.bitBlt({-1, 0, 4, 2}, *source, {0, 0}); // column -1 is off the surface, row 1 is clipped
    EXPECT_EQ(target->pixel(0, 0), makePixel(2, 0, 0, 255));
    EXPECT_EQ(target->pixel(1, 0), makePixel(3, 0, 0, 255));
    EXPECT_EQ(target->pixel(2, 0), 0u); // past the source's end: unchanged
    EXPECT_EQ(target->pixel(0, 1), 0u);
}

TEST(BitBlt, SourceCoordinatesGoThroughTheSourceContextsOrigin) {
    auto source = rowOf({makePixel(1, 0, 0, 255), makePixel(2, 0, 0, 255), makePixel(3, 0, 0, 255)});
    DrawContext from(source);
    from.setOrigin({-1, 0}); // logical 1 is pixel 0
    auto target = Surface::create(2, 1);
    DrawContext dc(target);
    dc.bitBlt({0, 0, 2, 1}, from, {2, 0});
    EXPECT_EQ(target->pixel(0, 0), makePixel(2, 0, 0, 255));
    EXPECT_EQ(target->pixel(1, 0), makePixel(3, 0, 0, 255));
}

TEST(BitBlt, OverlappingCopiesWithinOneSurfaceReadEveryPixelBeforeOverwritingIt) {
    auto surface = Surface::create(1, 4);
    for (int y = 0; y < 4; ++y)
        surface->setPixel(0, y, makePixel(static_cast<std::uint32_t>(y + 1), 0, 0, 255));
    DrawContext dc(surface);
    dc.bitBlt({0, 1, 1, 4}, *surface, {0, 0}); // down by one
    EXPECT_EQ(blueOf(surface->pixel(0, 1)), 1u);
    EXPECT_EQ(blueOf(surface->pixel(0, 2)), 2u);
    EXPECT_EQ(blueOf(surface->pixel(0, 3)), 3u);
}

TEST(StretchBlt, ReducingAveragesTheCoveredAreaWeightedByCoverage) {
    // Three columns onto two: the first gets 2/3 of column 0 and 1/3 of column 1, the second the rest.
    auto source =
        rowOf({makePixel(0, 30, 255, 255), makePixel(90, 60, 255, 255), makePixel(180, 90, 255, 255)});
    auto target = Surface::create(2, 1);
    DrawContext dc(target);
    dc.stretchBlt({0, 0, 2, 1}, *source, {0, 0, 3, 1});
    EXPECT_EQ(target->pixel(0, 0), makePixel((0 * 2 + 90 + 1) / 3, (30 * 2 + 60 + 1) / 3, 255, 255));
    EXPECT_EQ(target->pixel(1, 0), makePixel((90 + 180 * 2 + 1) / 3, (60 + 90 * 2 + 1) / 3, 255, 255));
}

TEST(StretchBlt, TwoByTwoOntoOnePixelIsTheRoundedMean) {
    auto source = Surface::create(2, 2);
    source->setPixel(0, 0, makePixel(0, 0, 0, 255));
    source->setPixel(1, 0, makePixel(100, 0, 0, 255));
    source->setPixel(0, 1, makePixel(200, 0, 0, 255));
    source->setPixel(1, 1, makePixel(255, 3, 0, 255));
    auto target = Surface::create(1, 1);
    DrawContext dc(target);
    dc.stretchBlt({0, 0, 1, 1}, *source, {0, 0, 2, 2});
    EXPECT_EQ(target->pixel(0, 0), makePixel((555 + 2) / 4, 1, 0, 255));
}

TEST(StretchBlt, EnlargingRepeatsEachSourcePixel) {
    auto source = rowOf({makePixel(10, 0, 0, 255), makePixel(20, 0, 0, 255)});
    auto target = Surface::create(6, 2);
    DrawContext dc(target);
    dc.stretchBlt({0, 0, 6, 2}, *source, {0, 0, 2, 1});
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(blueOf(target->pixel(x, y)), x < 3 ? 10u : 20u) << x << "," << y;
}

TEST(AlphaBlend, PremultipliedSourceOverWithConstantAlphaScalingAllFourChannels) {
    const Pixel dst = makePixel(200, 200, 200, 255);
    const Pixel src = makePixel(100, 50, 25, 128);
    for (std::uint32_t constant : {255u, 128u, 0u}) {
        auto target = rowOf({dst});
        auto source = rowOf({src});
        DrawContext dc(target);
        ASSERT_TRUE(
            dc.alphaBlend({0, 0, 1, 1}, *source, {0, 0, 1, 1}, static_cast<std::uint8_t>(constant), true));
        const std::uint32_t a = scaled(128, constant);
        const Pixel expected = makePixel(
            scaled(100, constant) + scaled(200, 255 - a), scaled(50, constant) + scaled(200, 255 - a),
            scaled(25, constant) + scaled(200, 255 - a), a + scaled(255, 255 - a));
        EXPECT_EQ(target->pixel(0, 0), expected) << constant;
    }
}

TEST(AlphaBlend, WithoutSourceAlphaTheConstantIsEveryPixelsAlpha) {
    auto target = rowOf({makePixel(0, 0, 100, 255)});
    auto source = rowOf({makePixel(255, 0, 0, 0)}); // its own alpha is ignored
    DrawContext dc(target);
    ASSERT_TRUE(dc.alphaBlend({0, 0, 1, 1}, *source, {0, 0, 1, 1}, 249, false));
    EXPECT_EQ(target->pixel(0, 0), makePixel(scaled(255, 249), 0, scaled(100, 6), 249 + scaled(255, 6)));
}

TEST(AlphaBlend, OpaqueAndEmptySourcePixelsReplaceAndKeepTheDestination) {
    auto target = rowOf({makePixel(9, 9, 9, 255), makePixel(9, 9, 9, 255)});
    auto source = rowOf({makePixel(1, 2, 3, 255), 0u});
    DrawContext dc(target);
    ASSERT_TRUE(dc.alphaBlend({0, 0, 2, 1}, *source, {0, 0, 2, 1}, 255, true));
    EXPECT_EQ(target->pixel(0, 0), makePixel(1, 2, 3, 255));
    EXPECT_EQ(target->pixel(1, 0), makePixel(9, 9, 9, 255));
}

TEST(AlphaBlend, StretchesToTheDestinationAndRefusesASourceRectangleOffTheSource) {
    auto source = rowOf({makePixel(255, 255, 255, 255)});
    auto target = Surface::create(3, 2);
    DrawContext dc(target);
    ASSERT_TRUE(dc.alphaBlend({0, 0, 3, 2}, *source, {0, 0, 1, 1}, 255, true));
    EXPECT_EQ(target->pixel(2, 1), makePixel(255, 255, 255, 255));
    auto untouched = Surface::create(2, 1);
    DrawContext other(untouched);
    EXPECT_FALSE(other.alphaBlend({0, 0, 2, 1}, *source, {0, 0, 2, 1}, 255, true));
    EXPECT_FALSE(other.alphaBlend({0, 0, 2, 1}, *source, {-1, 0, 1, 1}, 255, true));
    EXPECT_FALSE(other.alphaBlend({0, 0, 0, 1}, *source, {0, 0, 1, 1}, 255, true));
    EXPECT_EQ(untouched->pixel(0, 0), 0u);
}

TEST(AlphaBlend, TheRowKernelMatchesTheRuleForEveryAlpha) {
    std::vector<Pixel> dst, src, expected;
    for (std::uint32_t a = 0; a <= 255; ++a) {
        const std::uint32_t c = a / 2;
        src.push_back(makePixel(c, a, 0, a));
        dst.push_back(makePixel(255, 7, 100, 255));
        expected.push_back(
            makePixel(c + scaled(255, 255 - a), a + scaled(7, 255 - a), scaled(100, 255 - a), 255));
    }
    blendRow(dst.data(), src.data(), dst.size(), 255, true);
    EXPECT_EQ(dst, expected);
}
