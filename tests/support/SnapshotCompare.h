#pragma once

// Drawings compared with reference images under tests/data/gui/snapshots, allowing a small difference per
// channel: a change detector beside the tests' own expected values. The surface goes through PNG and back
// first, as the reference did. TROV_UPDATE_SNAPSHOTS=1 rewrites the references.
#include "platform/draw/ImageFiles.h"
#include "platform/draw/Surface.h"
#include "support/FileTestFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

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

inline void expectMatchesReference(const std::string& name, const platform::draw::Surface& surface) {
    using platform::draw::Pixel;
    FileTestFolder folder;
    const std::string written = folder / (name + ".png");
    ASSERT_TRUE(platform::draw::writePng(surface, written));
    if (std::getenv("TROV_UPDATE_SNAPSHOTS") != nullptr) {
        ASSERT_TRUE(platform::draw::writePng(surface, snapshotReference(name)));
    }
    const auto actual = readPngFile(written);
    const auto expected = readPngFile(snapshotReference(name));
    ASSERT_NE(expected, nullptr) << "no reference " << snapshotReference(name);
    ASSERT_EQ(expected->width(), surface.width());
    ASSERT_EQ(expected->height(), surface.height());
    int differing = 0;
    for (int y = 0; y < surface.height(); ++y) {
        for (int x = 0; x < surface.width(); ++x) {
            const Pixel a = actual->pixel(x, y);
            const Pixel e = expected->pixel(x, y);
            for (int shift : {0, 8, 16, 24}) {
                const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((e >> shift) & 0xFF);
                if (d > kSnapshotTolerance || d < -kSnapshotTolerance) {
                    if (differing++ < 5)
                        ADD_FAILURE() << name << ": pixel " << x << "," << y << " is " << std::hex << a
                                      << ", expected " << e;
                    break;
                }
            }
        }
    }
    EXPECT_EQ(differing, 0) << name;
}

} // namespace trov::test
