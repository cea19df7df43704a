// corvale-check-render: checks that a render of the demo sounds and ends in silence, as tools/check-run.sh
// asks of the README's run: its peak lies between -20 and 0 dBFS, and its last 100 ms stay below -100 dBFS
// (the level the host program's tail waits for), so a render cut off while it sounds fails. With --view,
// that the editor's picture shows the front panel: it is the size of the panel's skin and at least half of
// its pixels are the skin's, which the controls are drawn over (a view painted without its skins is a bare
// panel of the same size). One line on stdout with the levels or the share shown, or on stderr with what
// failed and status 1.
//   corvale-check-render FILE.wav
//   corvale-check-render --view FILE.png PANEL.png
#include <png.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr double kLeastPeak = -20.0;
constexpr double kMostPeak = 0.0;
constexpr double kSilence = -100.0;
constexpr double kTailSeconds = 0.1;

std::string decibels(double level) {
    if (level <= 0.0)
        return "-inf";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", 20.0 * std::log10(level));
    return text;
}

int fail(const std::string& text) {
    std::cerr << "corvale-check-render: " << text << "\n";
    return 1;
}

// The image as 8-bit RGBA rows; false with libpng's reason in error.
bool readPng(const std::string& path, std::vector<png_byte>& pixels, png_uint_32& width, png_uint_32& height,
             std::string& error) {
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
        error = "cannot read " + path + ": " + image.message;
        return false;
    }
    image.format = PNG_FORMAT_RGBA;
    pixels.assign(PNG_IMAGE_SIZE(image), 0);
    if (png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) == 0) {
        error = "cannot read " + path + ": " + image.message;
        return false;
    }
    width = image.width;
    height = image.height;
    return true;
}

int checkView(const std::string& path, const std::string& panel) {
    std::vector<png_byte> view;
    std::vector<png_byte> skin;
    png_uint_32 size[4] = {};
    std::string error;
    if (!readPng(path, view, size[0], size[1], error) || !readPng(panel, skin, size[2], size[3], error))
        return fail(error);
    const auto dimensions = [](png_uint_32 width, png_uint_32 height) {
        return std::to_string(width) + "x" + std::to_string(height);
    };
    if (size[0] != size[2] || size[1] != size[3])
        return fail(path + " is " + dimensions(size[0], size[1]) + ", the front panel's skin " +
                    dimensions(size[2], size[3]));
    std::size_t same = 0;
    for (std::size_t at = 0; at + 4 <= view.size(); at += 4)
        same += std::equal(view.begin() + static_cast<std::ptrdiff_t>(at),
                           view.begin() + static_cast<std::ptrdiff_t>(at + 4),
                           skin.begin() + static_cast<std::ptrdiff_t>(at))
                    ? 1
                    : 0;
    const std::size_t share = view.empty() ? 0 : same * 100 / (view.size() / 4);
    if (share < 50)
        return fail(path + " does not show the front panel: " + std::to_string(share) + "% of it is " +
                    panel + "'s (was it painted without its skins?)");
    std::cout << path << ": " << share << "% of it is the front panel's skin\n";
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--view")
        return checkView(argv[2], argv[3]);
    if (argc != 2) {
        std::cerr << "usage: corvale-check-render FILE.wav\n       corvale-check-render --view FILE.png "
                     "PANEL.png\n";
        return 2;
    }
    const std::string path = argv[1];
    SF_INFO info = {};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr)
        return fail("cannot read " + path + ": " + sf_strerror(nullptr));
    // Blocks of frames, so that a long render needs no more memory than a short one.
    const std::int64_t tailStart =
        info.frames - static_cast<std::int64_t>(std::llround(kTailSeconds * info.samplerate));
    std::vector<float> block(static_cast<std::size_t>(4096 * std::max(info.channels, 1)));
    double peak = 0.0;
    double tailPeak = 0.0;
    bool finite = true;
    std::int64_t frame = 0;
    for (sf_count_t read; (read = sf_readf_float(file, block.data(), 4096)) > 0; frame += read)
        for (std::size_t i = 0; i < static_cast<std::size_t>(read * info.channels); ++i) {
            const double level = std::fabs(static_cast<double>(block[i]));
            finite = finite && std::isfinite(level);
            peak = std::max(peak, level);
            if (frame + static_cast<std::int64_t>(i) / info.channels >= tailStart)
                tailPeak = std::max(tailPeak, level);
        }
    sf_close(file);
    if (!finite)
        return fail(path + " holds values that are not numbers");
    const std::string levels =
        "peak " + decibels(peak) + " dBFS, last 100 ms " + decibels(tailPeak) + " dBFS";
    if (frame == 0 || peak < std::pow(10.0, kLeastPeak / 20.0) || peak > std::pow(10.0, kMostPeak / 20.0))
        return fail(path + " does not sound between -20 and 0 dBFS (" + levels + ")");
    if (tailPeak >= std::pow(10.0, kSilence / 20.0))
        return fail(path + " does not end in silence below -100 dBFS (" + levels + ")");
    std::cout << path << ": " << levels << "\n";
    return 0;
}
