// corvale-check-render: checks that a render of the demo sounds and ends in silence, as tools/check-run.sh
// asks of the README's run: its peak lies between -20 and 0 dBFS, and its last 100 ms stay below -100 dBFS
// (the level the host program's tail waits for), so a render cut off while it sounds fails. One line on
// stdout with the levels, or on stderr with what failed and status 1.
//   corvale-check-render FILE.wav
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

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: corvale-check-render FILE.wav\n";
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
