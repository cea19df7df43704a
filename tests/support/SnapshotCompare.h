#pragma once

// Drawings compared with reference images under tests/data/gui/snapshots, allowing a small difference per
// channel: a change detector beside the tests' own expected values. The surface goes through PNG and back
// first, as the reference did. TROV_UPDATE_SNAPSHOTS=1 rewrites the references.
#include "platform/draw/ImageFiles.h"
#include "platform/draw/Surface.h"
#include "support/FileTestFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace trov::test {

constexpr int kSnapshotTolerance = 2;

inline std::string snapshotReference(const std::string& name) {
    return std::string(TROV_TEST_DATA) + "/gui/snapshots/" + name + ".png";
}

inline std::shared_ptr<platform::draw::Surface> readPngFile(const std::string& path) {
    const std::string bytes = readFile(path);
    return platform::draw::decodePng(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())
        .surface;
}

// The largest difference of one channel between two pixels.
inline int channelDistance(platform::draw::Pixel a, platform::draw::Pixel b) {
    int most = 0;
    for (int shift : {0, 8, 16, 24})
        most = std::max(
            most, std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
    return most;
}

// The surface as it reads back from PNG beside the reference at the path (rewritten first with
// TROV_UPDATE_SNAPSHOTS=1); both null when either is missing or their sizes differ, which has failed.
inline std::pair<std::shared_ptr<platform::draw::Surface>, std::shared_ptr<platform::draw::Surface>>
readBackBeside(const std::string& reference, const platform::draw::Surface& surface) {
    FileTestFolder folder;
    const std::string written = folder / "snapshot.png";
    if (!platform::draw::writePng(surface, written) ||
        (std::getenv("TROV_UPDATE_SNAPSHOTS") != nullptr && !platform::draw::writePng(surface, reference))) {
        ADD_FAILURE() << "cannot write " << written << " or " << reference;
        return {};
    }
    auto actual = readPngFile(written);
    auto expected = readPngFile(reference);
    if (expected == nullptr || actual == nullptr || expected->width() != surface.width() ||
        expected->height() != surface.height()) {
        ADD_FAILURE() << "no reference " << reference << " of " << surface.width() << " x "
                      << surface.height();
        return {};
    }
    return {actual, expected};
}

inline void expectMatchesReference(const std::string& name, const platform::draw::Surface& surface) {
    const auto [actual, expected] = readBackBeside(snapshotReference(name), surface);
    if (actual == nullptr)
        return;
    int differing = 0;
    for (int y = 0; y < surface.height(); ++y)
        for (int x = 0; x < surface.width(); ++x)
            if (channelDistance(actual->pixel(x, y), expected->pixel(x, y)) > kSnapshotTolerance &&
                differing++ < 5)
                ADD_FAILURE() << name << ": pixel " << x << "," << y << " is " << std::hex
                              << actual->pixel(x, y) << ", expected " << expected->pixel(x, y);
    EXPECT_EQ(differing, 0) << name;
}

// A golden image compared where its text is drawn by FreeType, whose rendering moves with the installed
// fonts' versions, more loosely than elsewhere: inside the text areas a pixel may differ by up to
// `textTolerance` on a channel, and at most `textCap` of them may differ at all; everywhere else (skins,
// drawn shapes, bitmap-font text) every pixel must be equal.
struct GoldenTolerance {
    std::vector<platform::NativeRect> textAreas;
    int textTolerance = 0;
    int textCap = 0;
};

inline void expectMatchesGolden(const std::string& reference, const platform::draw::Surface& surface,
                                const GoldenTolerance& tolerance) {
    const auto [actual, expected] = readBackBeside(reference, surface);
    if (actual == nullptr)
        return;
    const auto inText = [&](int x, int y) {
        for (const platform::NativeRect& r : tolerance.textAreas)
            if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
                return true;
        return false;
    };
    int exactMisses = 0;
    int textDiffering = 0;
    int textBeyond = 0;
    for (int y = 0; y < surface.height(); ++y)
        for (int x = 0; x < surface.width(); ++x) {
            const int d = channelDistance(actual->pixel(x, y), expected->pixel(x, y));
            if (d == 0)
                continue;
            if (!inText(x, y)) {
                if (exactMisses++ < 5)
                    ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << actual->pixel(x, y)
                                  << ", expected " << expected->pixel(x, y);
                continue;
            }
            ++textDiffering;
            textBeyond += d > tolerance.textTolerance ? 1 : 0;
        }
    EXPECT_EQ(exactMisses, 0) << "pixels outside the text areas differ from " << reference;
    EXPECT_EQ(textBeyond, 0) << "text pixels differ by more than " << tolerance.textTolerance;
    EXPECT_LE(textDiffering, tolerance.textCap) << "text pixels differing from " << reference;
}

} // namespace trov::test
