#include "platform/draw/ImageFiles.h"

#include "support/ChildProcess.h"
#include "support/FileTestFolder.h"
#include "support/TestImages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <fstream>
#include <iterator>
#include <sys/resource.h>

using namespace trov::platform::draw;
using trov::test::BmpSpec;
using trov::test::PngSpec;

namespace {

PngImage decode(const std::string& bytes) {
    return decodePng(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

std::shared_ptr<Surface> decodeB(const std::string& bytes) {
    return decodeBmp(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

// A 2 x 1 image of the colour type and depth, its samples given per pixel as straight 8-bit-scale values.
struct PngCase {
    const char* name;
    PngSpec spec;
    Pixel first;
    Pixel second;
};

PngSpec spec(int colorType, int depth, std::vector<std::uint8_t> samples, int width = 2) {
    PngSpec s;
    s.width = width;
    s.height = 1;
    s.colorType = colorType;
    s.bitDepth = depth;
    s.samples = std::move(samples);
    return s;
}

} // namespace

TEST(PngDecoding, EveryColourTypeAndDepthExpandsToPremultipliedEightBitPixels) {
    const std::vector<PngCase> cases = {
        {"grey 1", spec(PNG_COLOR_TYPE_GRAY, 1, {0b10000000}), makePixel(255, 255, 255, 255),
         makePixel(0, 0, 0, 255)},
        {"grey 2", spec(PNG_COLOR_TYPE_GRAY, 2, {0b01100000}), makePixel(85, 85, 85, 255),
         makePixel(170, 170, 170, 255)},
        {"grey 4", spec(PNG_COLOR_TYPE_GRAY, 4, {0x3C}), makePixel(51, 51, 51, 255),
         makePixel(204, 204, 204, 255)},
        {"grey 8", spec(PNG_COLOR_TYPE_GRAY, 8, {7, 250}), makePixel(7, 7, 7, 255),
         makePixel(250, 250, 250, 255)},
        {"grey 16", spec(PNG_COLOR_TYPE_GRAY, 16, {0x12, 0xAB, 0xFF, 0x01}), makePixel(0xAB, 0xAB, 0xAB, 255),
         makePixel(1, 1, 1, 255)},
        {"grey alpha 8", spec(PNG_COLOR_TYPE_GRAY_ALPHA, 8, {200, 128, 9, 0}), makePixel(100, 100, 100, 128),
         0u},
        {"grey alpha 16", spec(PNG_COLOR_TYPE_GRAY_ALPHA, 16, {0, 200, 0, 255, 0, 9, 0, 0}),
         makePixel(200, 200, 200, 255), 0u},
        {"rgb 8", spec(PNG_COLOR_TYPE_RGB, 8, {1, 2, 3, 250, 251, 252}), makePixel(3, 2, 1, 255),
         makePixel(252, 251, 250, 255)},
        {"rgb 16", spec(PNG_COLOR_TYPE_RGB, 16, {0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6}),
         makePixel(3, 2, 1, 255), makePixel(6, 5, 4, 255)},
        {"rgba 8", spec(PNG_COLOR_TYPE_RGB_ALPHA, 8, {50, 100, 200, 128, 255, 254, 1, 255}),
         makePixel(100, 50, 25, 128), makePixel(1, 254, 255, 255)},
        {"rgba 16",
         spec(PNG_COLOR_TYPE_RGB_ALPHA, 16, {0, 50, 0, 100, 0, 200, 0, 128, 0, 9, 0, 9, 0, 9, 0, 0}),
         makePixel(100, 50, 25, 128), 0u},
    };
    for (const PngCase& c : cases) {
        const PngImage image = decode(trov::test::makePng(c.spec));
        ASSERT_EQ(image.status, PngStatus::Decoded) << c.name;
        ASSERT_EQ(image.surface->width(), 2) << c.name;
        EXPECT_EQ(image.surface->pixel(0, 0), c.first) << c.name;
        EXPECT_EQ(image.surface->pixel(1, 0), c.second) << c.name;
    }
}

TEST(PngDecoding, PalettesOfEveryDepthWithAndWithoutTransparency) {
    for (int depth : {1, 2, 4, 8}) {
        for (bool transparent : {false, true}) {
            PngSpec s;
            s.width = 2;
            s.colorType = PNG_COLOR_TYPE_PALETTE;
            s.bitDepth = depth;
            s.palette = {{0, 0, 0}, {255, 128, 0}};
            if (transparent)
                s.paletteAlpha = {255, 128};
            // Index 1 then index 0, packed from the high bits.
            s.samples = {static_cast<std::uint8_t>(depth == 8 ? 1 : (1 << (8 - depth)))};
            if (depth == 8)
                s.samples.push_back(0);
            const PngImage image = decode(trov::test::makePng(s));
            ASSERT_EQ(image.status, PngStatus::Decoded) << depth;
            const Pixel orange = transparent ? premultiply(0, 128, 255, 128) : makePixel(0, 128, 255, 255);
            EXPECT_EQ(image.surface->pixel(0, 0), orange) << depth << transparent;
            EXPECT_EQ(image.surface->pixel(1, 0), makePixel(0, 0, 0, 255)) << depth << transparent;
        }
    }
}

TEST(PngDecoding, AGreyTransparencyChunkMakesThatGreyClear) {
    PngSpec s = spec(PNG_COLOR_TYPE_GRAY, 8, {40, 41});
    s.transparentGray = 40;
    const PngImage image = decode(trov::test::makePng(s));
    ASSERT_EQ(image.status, PngStatus::Decoded);
    EXPECT_EQ(image.surface->pixel(0, 0), 0u);
    EXPECT_EQ(image.surface->pixel(1, 0), makePixel(41, 41, 41, 255));
}

TEST(PngDecoding, InterlacedImagesAreReadWhole) {
    PngSpec s;
    s.width = 9;
    s.height = 9;
    s.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    s.interlaced = true;
    for (int i = 0; i < 81; ++i) {
        const auto v = static_cast<std::uint8_t>(i * 3);
        s.samples.insert(s.samples.end(), {v, static_cast<std::uint8_t>(255 - v), 7, 255});
    }
    const PngImage image = decode(trov::test::makePng(s));
    ASSERT_EQ(image.status, PngStatus::Decoded);
    for (int i = 0; i < 81; ++i) {
        const auto v = static_cast<std::uint32_t>(i * 3);
        ASSERT_EQ(image.surface->pixel(i % 9, i / 9), makePixel(7, 255 - v, v, 255)) << i;
    }
}

TEST(PngDecoding, TheFilesGammaIsCorrectedForTheScreenAndItsAbsenceChangesNothing) {
    const std::vector<std::uint8_t> samples = {64, 64, 64, 200};
    for (double gamma : {0.0, 0.45455, 1.0}) {
        PngSpec s = spec(PNG_COLOR_TYPE_RGB_ALPHA, 8, samples, 1);
        s.gamma = gamma;
        const PngImage image = decode(trov::test::makePng(s));
        ASSERT_EQ(image.status, PngStatus::Decoded);
        const Pixel p = image.surface->pixel(0, 0);
        EXPECT_EQ(alphaOf(p), 200u);
        // A linear file (gamma 1.0) on a 2.2 screen is raised to the power 1 / 2.2.
        const double corrected = gamma == 1.0 ? 255.0 * std::pow(64.0 / 255.0, 1.0 / 2.2) : 64.0;
        EXPECT_NEAR(redOf(p), corrected * 200.0 / 255.0, 1.5) << gamma;
    }
}

TEST(PngDecoding, DamagedAndForeignInputIsRefusedAtTheStepThatFindsIt) {
    const std::string good = trov::test::makePng(spec(PNG_COLOR_TYPE_RGB, 8, {1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(decode(good.substr(0, 3)).status, PngStatus::TooShort);
    EXPECT_EQ(decode("BM, not a png").status, PngStatus::NotPng);
    EXPECT_EQ(decode(good.substr(0, 4) + "damaged remainder").status, PngStatus::Damaged);
    EXPECT_EQ(decode(good.substr(0, good.size() - 20)).status, PngStatus::Damaged);
    std::string badCrc = good;
    badCrc[29] = static_cast<char>(badCrc[29] ^ 0x55); // inside the header chunk's CRC
    EXPECT_EQ(decode(badCrc).status, PngStatus::Damaged);
}

TEST(PngDecoding, AnImageTooLargeToMakeIsReportedWithItsSize) {
    PngSpec s = spec(PNG_COLOR_TYPE_GRAY, 1, std::vector<std::uint8_t>(1, 0), 1);
    std::string bytes = trov::test::makePng(s);
    // Rewrite the header chunk to 5000 x 5000 with a correct CRC.
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (24 - 8 * i)) & 0xFF);
    };
    put32(16, 5000);
    put32(20, 5000);
    put32(29, trov::test::crc32(bytes.substr(12, 17)));
    const PngImage image = decode(bytes);
    EXPECT_EQ(image.status, PngStatus::NoImage);
    EXPECT_EQ(image.width, 5000);
    EXPECT_EQ(image.surface, nullptr);
}

TEST(PngWriting, ASurfaceWrittenAndReadBackKeepsItsPixels) {
    trov::test::FileTestFolder folder;
    auto surface = Surface::create(3, 2);
    surface->setPixel(0, 0, makePixel(1, 2, 3, 255));
    surface->setPixel(1, 0, premultiply(200, 100, 50, 128));
    surface->setPixel(2, 1, makePixel(255, 255, 255, 255));
    const std::string path = folder / "out.png";
    ASSERT_TRUE(writePng(*surface, path));
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const PngImage image = decode(bytes);
    ASSERT_EQ(image.status, PngStatus::Decoded);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(image.surface->pixel(x, y), surface->pixel(x, y)) << x << "," << y;
    EXPECT_FALSE(writePng(*surface, folder / "no-such-folder/out.png"));
}

TEST(PngWriting, AnImageTheFileSizeLimitStopsLeavesTheEarlierOneAndNamesTheLimit) {
    trov::test::FileTestFolder folder;
    const std::string path = folder / "view.png";
    ASSERT_TRUE(writePng(*Surface::create(2, 2), path));
    const std::string earlier = trov::test::readFile(path);
    // Noise does not compress below the limit; past it a write fails (EFBIG) once the signal is ignored.
    auto noise = Surface::create(64, 64);
    std::uint32_t random = 1;
    for (int i = 0; i < 64 * 64; ++i) {
        random = random * 1664525u + 1013904223u;
        noise->setPixel(i % 64, i / 64, random | 0xFF000000u);
    }
    const trov::test::ChildOutcome child = trov::test::runInChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string problem;
        const bool written = writePng(*noise, path, {}, &problem);
        std::ofstream(folder / "problem.txt") << problem;
        return written ? 1 : 0;
    });
    EXPECT_EQ(child.exitCode, 0);
    EXPECT_EQ(trov::test::readFile(folder / "problem.txt"),
              "it reached this process's file-size limit of 4096 bytes (ulimit -f)");
    EXPECT_TRUE(trov::test::readFile(path) == earlier);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 2)
        << "no file beside it";
}

TEST(BmpDecoding, RowsAreReadInEitherOrder) {
    for (int height : {2, -2}) {
        BmpSpec s;
        s.width = 2;
        s.height = height;
        s.bits = 24;
        // File order: the first row given is the bottom one unless the height is negative.
        s.rows = {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}};
        const auto surface = decodeB(trov::test::makeBmp(s));
        ASSERT_NE(surface, nullptr);
        const int firstRow = height > 0 ? 1 : 0;
        EXPECT_EQ(surface->pixel(0, firstRow), makePixel(1, 2, 3, 255));
        EXPECT_EQ(surface->pixel(1, firstRow), makePixel(4, 5, 6, 255));
        EXPECT_EQ(surface->pixel(0, 1 - firstRow), makePixel(7, 8, 9, 255));
    }
}

TEST(BmpDecoding, PalettesMasksAndDepthsAreExpanded) {
    const std::vector<std::uint8_t> palette = {10, 20, 30, 0, 40, 50, 60, 0, 70, 80, 90, 0};
    struct Case {
        const char* name;
        BmpSpec spec;
        Pixel first;
        Pixel second;
    };
    auto make = [](int bits, std::vector<std::uint8_t> row, std::vector<std::uint8_t> pal = {},
                   std::uint32_t compression = 0, std::vector<std::uint32_t> masks = {}) {
        BmpSpec s;
        s.width = 2;
        s.height = 1;
        s.bits = bits;
        s.palette = std::move(pal);
        s.compression = compression;
        s.masks = std::move(masks);
        s.rows = {std::move(row)};
        return s;
    };
    BmpSpec core = make(8, {2, 1}, {10, 20, 30, 40, 50, 60, 70, 80, 90});
    core.coreHeader = true;
    const std::vector<Case> cases = {
        {"1 bit", make(1, {0b01000000}, palette), makePixel(10, 20, 30, 255), makePixel(40, 50, 60, 255)},
        {"4 bits", make(4, {0x21}, palette), makePixel(70, 80, 90, 255), makePixel(40, 50, 60, 255)},
        {"8 bits", make(8, {2, 0}, palette), makePixel(70, 80, 90, 255), makePixel(10, 20, 30, 255)},
        {"8 bits, core header", core, makePixel(70, 80, 90, 255), makePixel(40, 50, 60, 255)},
        {"16 bits 5-5-5", make(16, {0x1F, 0x00, 0x00, 0x7C}), makePixel(255, 0, 0, 255),
         makePixel(0, 0, 255, 255)},
        {"16 bits 5-6-5 masks", make(16, {0xE0, 0x07, 0x00, 0xF8}, {}, 3, {0xF800, 0x07E0, 0x001F}),
         makePixel(0, 255, 0, 255), makePixel(0, 0, 255, 255)},
        {"32 bits, no alpha", make(32, {1, 2, 3, 0, 4, 5, 6, 0}), makePixel(1, 2, 3, 255),
         makePixel(4, 5, 6, 255)},
        {"32 bits, alpha", make(32, {100, 50, 25, 128, 200, 200, 200, 100}), makePixel(100, 50, 25, 128),
         makePixel(100, 100, 100, 100)},
    };
    for (const Case& c : cases) {
        const auto surface = decodeB(trov::test::makeBmp(c.spec));
        ASSERT_NE(surface, nullptr) << c.name;
        EXPECT_EQ(surface->pixel(0, 0), c.first) << c.name;
        EXPECT_EQ(surface->pixel(1, 0), c.second) << c.name;
    }
}

TEST(BmpDecoding, DamagedOrUnsupportedFilesAreRefused) {
    BmpSpec s;
    s.width = 4;
    s.height = 4;
    s.rows.assign(4, std::vector<std::uint8_t>(12, 9));
    const std::string good = trov::test::makeBmp(s);
    ASSERT_NE(decodeB(good), nullptr);
    EXPECT_EQ(decodeB(good.substr(0, good.size() - 1)), nullptr); // a row short
    EXPECT_EQ(decodeB(good.substr(0, 20)), nullptr);
    std::string planes = good;
    planes[26] = 2;
    EXPECT_EQ(decodeB(planes), nullptr);
    std::string rle = good;
    rle[30] = 1;
    EXPECT_EQ(decodeB(rle), nullptr);
    std::string header = good;
    header[14] = 64; // an OS/2 header
    EXPECT_EQ(decodeB(header), nullptr);
    std::string zeroWidth = good;
    zeroWidth[18] = 0;
    EXPECT_EQ(decodeB(zeroWidth), nullptr);
    EXPECT_EQ(decodeB("PNG not a bmp at all, long enough"), nullptr);

    // A 52-byte header holds three masks; the alpha mask of alpha bit fields follows it, and the file ends
    // with the header: refused without reading past the end (the buffer is exactly the file).
    std::vector<std::uint8_t> fields(66, 0);
    const auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            fields[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    fields[0] = 'B';
    fields[1] = 'M';
    put32(10, 66);
    put32(14, 52);
    put32(18, 1);
    put32(22, 1);
    fields[26] = 1;
    fields[28] = 32;
    put32(30, 6);
    EXPECT_EQ(decodeBmp(fields.data(), fields.size()), nullptr);
}
