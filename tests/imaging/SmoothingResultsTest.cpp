#include "SmoothingTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace trov::imaging {
namespace {

using namespace testing;

std::string describe(int variant, SmoothingMask mask, int width, int height) {
    return "variant " + std::to_string(variant) + " mask " + std::to_string(static_cast<int>(mask)) + " " +
           std::to_string(width) + "x" + std::to_string(height);
}

// Smooths a random source into a random destination and checks the rectangle against the reference and
// every other destination byte against its old value.
void expectSmoothedLikeReference(int variant, SmoothingMask mask, int width, int height, int dstAlignment,
                                 int dstExtraStep, std::mt19937& rng) {
    const Image src(width, height, maskRadius(mask), 4 * (width % 3), static_cast<int>(rng() % 16), rng);
    Image dst(width, height, 1, dstExtraStep, dstAlignment, rng);
    const std::vector<std::uint8_t> before = dst.storage;
    const FilterStatus status = variantEntry(variant)(src.origin, src.step, dst.origin, dst.step, width, height, mask);
    const std::string what = describe(variant, mask, width, height) + " dst alignment " + std::to_string(dstAlignment);
    ASSERT_EQ(status, FilterStatus::Ok) << what;
    ASSERT_EQ(rectangleOf(dst), referenceSmooth(src, mask)) << what;
    ASSERT_TRUE(onlyRectangleChanged(dst, before)) << what;
}

TEST(Smoothing, EveryVariantMatchesTheReferenceForEveryWidthTail) {
    std::mt19937 rng(1234);
    for (int variant = 1; variant <= 4; ++variant)
        for (SmoothingMask mask : kBothMasks)
            for (int width = 1; width <= 70; ++width)
                expectSmoothedLikeReference(variant, mask, width, 1 + width % 4, width % 16, 4 * (width % 5), rng);
}

TEST(Smoothing, EveryVariantMatchesTheReferenceOnLargerImages) {
    std::mt19937 rng(99);
    const int sizes[][2] = {{257, 9}, {640, 3}, {1023, 5}, {96, 40}};
    for (int variant = 1; variant <= 4; ++variant)
        for (SmoothingMask mask : kBothMasks)
            for (const auto& size : sizes)
                expectSmoothedLikeReference(variant, mask, size[0], size[1], 0, 0, rng);
}

TEST(Smoothing, AlignedAndUnalignedDestinationRowsGiveTheSameBytes) {
    std::mt19937 rng(7);
    for (int variant = 1; variant <= 4; ++variant)
        for (SmoothingMask mask : kBothMasks)
            for (int alignment : {0, 1, 3, 4, 8, 12, 15})
                // A step that is not a multiple of 16 alternates aligned and unaligned row starts.
                for (int extraStep : {0, 4, 16, 20})
                    expectSmoothedLikeReference(variant, mask, 37, 6, alignment, extraStep, rng);
}

TEST(Smoothing, InPlaceCallsEqualSeparateImageCalls) {
    std::mt19937 rng(5);
    for (int variant = 1; variant <= 4; ++variant)
        for (SmoothingMask mask : kBothMasks)
            for (int width : {1, 2, 5, 16, 33, 70})
                for (int height : {1, 2, 7}) {
                    Image image(width, height, maskRadius(mask), 8, width % 16, rng);
                    const std::vector<std::uint8_t> expected = referenceSmooth(image, mask);
                    ASSERT_EQ(variantEntry(variant)(image.origin, image.step, image.origin, image.step, width,
                                                    height, mask),
                              FilterStatus::Ok);
                    EXPECT_EQ(rectangleOf(image), expected) << describe(variant, mask, width, height);
                }
}

// The source neighbourhood packed tightly between two inaccessible pages: one byte read outside it faults.
TEST(Smoothing, ReadsNothingOutsideTheSourceNeighbourhood) {
    std::mt19937 rng(11);
    for (int variant = 1; variant <= 4; ++variant)
        for (SmoothingMask mask : kBothMasks)
            for (int width : {1, 2, 3, 4, 5, 7, 8, 15, 16, 17, 19, 20, 21, 33, 64})
                for (bool tailAligned : {false, true}) {
                    const int r = maskRadius(mask);
                    const int height = 1 + width % 3;
                    const std::int32_t step = 4 * (width + 2 * r);
                    GuardedBytes bytes(static_cast<std::size_t>(step) * (height + 2 * r), tailAligned);
                    for (std::size_t i = 0; i < bytes.size(); ++i)
                        bytes.data()[i] = static_cast<std::uint8_t>(rng());
                    const std::uint8_t* origin = bytes.data() + r * step + 4 * r;
                    std::vector<std::uint8_t> dst(static_cast<std::size_t>(4) * width * height);
                    ASSERT_EQ(variantEntry(variant)(origin, step, dst.data(), 4 * width, width, height, mask),
                              FilterStatus::Ok)
                        << describe(variant, mask, width, height);
                }
}

class SingleBright : public ::testing::TestWithParam<int> {};

TEST_P(SingleBright, PixelSpreadsAsTheMaskWeightsSay) {
    const int variant = GetParam();
    std::mt19937 rng(0);
    Image src(5, 5, 2, 0, 0, rng);
    std::fill(src.storage.begin(), src.storage.end(), 0);
    for (int ch = 0; ch < 4; ++ch)
        src.at(2, 2, ch) = 255;
    Image dst(5, 5, 0, 0, 0, rng);

    ASSERT_EQ(variantEntry(variant)(src.origin, src.step, dst.origin, dst.step, 5, 5, SmoothingMask::Mask3x3),
              FilterStatus::Ok);
    EXPECT_EQ(dst.at(2, 2, 3), 64);
    EXPECT_EQ(dst.at(1, 2, 0), 32);
    EXPECT_EQ(dst.at(2, 3, 1), 32);
    EXPECT_EQ(dst.at(1, 1, 2), 16);
    EXPECT_EQ(dst.at(3, 3, 3), 16);
    EXPECT_EQ(dst.at(0, 2, 0), 0);

    ASSERT_EQ(variantEntry(variant)(src.origin, src.step, dst.origin, dst.step, 5, 5, SmoothingMask::Mask5x5),
              FilterStatus::Ok);
    EXPECT_EQ(dst.at(2, 2, 0), 57);
    EXPECT_EQ(dst.at(3, 2, 1), 23); // one pixel away in line
    EXPECT_EQ(dst.at(2, 0, 2), 5);  // two pixels away in line
    EXPECT_EQ(dst.at(1, 1, 3), 14); // diagonal neighbour
    EXPECT_EQ(dst.at(4, 3, 0), 3);  // knight's move
    EXPECT_EQ(dst.at(0, 4, 1), 1);  // two pixels away diagonally
}

TEST_P(SingleBright, HalfwaySumsRoundToTheEvenNeighbour) {
    const int variant = GetParam();
    std::mt19937 rng(0);
    for (const auto& [centre, expected] : {std::pair{2, 0}, {6, 2}, {10, 2}}) {
        Image src(1, 1, 1, 0, 0, rng);
        std::fill(src.storage.begin(), src.storage.end(), 0);
        src.at(0, 0, 0) = static_cast<std::uint8_t>(centre);
        std::uint8_t out[4] = {9, 9, 9, 9};
        ASSERT_EQ(variantEntry(variant)(src.origin, src.step, out, 4, 1, 1, SmoothingMask::Mask3x3), FilterStatus::Ok);
        EXPECT_EQ(out[0], expected) << "centre " << centre;
        EXPECT_EQ(out[1], 0);
    }
}

TEST_P(SingleBright, UniformImagesStayUniform) {
    const int variant = GetParam();
    std::mt19937 rng(0);
    for (int value : {0, 1, 128, 254, 255})
        for (SmoothingMask mask : kBothMasks) {
            Image src(9, 3, 2, 0, 0, rng);
            std::fill(src.storage.begin(), src.storage.end(), static_cast<std::uint8_t>(value));
            Image dst(9, 3, 0, 0, 0, rng);
            ASSERT_EQ(variantEntry(variant)(src.origin, src.step, dst.origin, dst.step, 9, 3, mask), FilterStatus::Ok);
            EXPECT_EQ(rectangleOf(dst), std::vector<std::uint8_t>(9 * 3 * 4, static_cast<std::uint8_t>(value)));
        }
}

INSTANTIATE_TEST_SUITE_P(Variants, SingleBright, ::testing::Values(1, 2, 3, 4));

TEST(Smoothing, VariantsGiveByteIdenticalResults) {
    std::mt19937 rng(21);
    for (SmoothingMask mask : kBothMasks)
        for (int width : {1, 3, 4, 5, 16, 20, 36, 61, 200}) {
            const Image src(width, 4, maskRadius(mask), 0, 0, rng);
            std::vector<std::uint8_t> first;
            for (int variant = 1; variant <= 4; ++variant) {
                Image dst(width, 4, 0, 0, variant * 3, rng);
                ASSERT_EQ(variantEntry(variant)(src.origin, src.step, dst.origin, dst.step, width, 4, mask),
                          FilterStatus::Ok);
                if (variant == 1)
                    first = rectangleOf(dst);
                else
                    EXPECT_EQ(rectangleOf(dst), first) << describe(variant, mask, width, 4);
            }
        }
}

TEST(Smoothing, PublicEntryRunsTheSelectedVariantAndVariantOneForIndexZero) {
    VariantIndexGuard restore;
    std::mt19937 rng(3);
    const Image src(23, 5, 2, 0, 0, rng);
    for (std::int32_t index : {0, 1, 2, 3, 4, 7, -1})
        for (SmoothingMask mask : kBothMasks) {
            storeVariantIndex(index);
            Image dst(23, 5, 1, 0, 0, rng);
            ASSERT_EQ(filterGauss_8u_C4(src.origin, src.step, dst.origin, dst.step, 23, 5, mask), FilterStatus::Ok);
            EXPECT_EQ(rectangleOf(dst), referenceSmooth(src, mask)) << "index " << index;
        }
}

} // namespace
} // namespace trov::imaging
