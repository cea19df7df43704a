// Golden renders: the host program plays a short phrase through the installed module and the demo bank
// at a fixed rate, block size and start-up seed, from an empty per-user store. What the phrase must sound
// like is checked first against numbers of its own (a peak within the mixing range, every note's
// fundamental at its pitch); the stored files only say that nothing changed.
//
// The stored checksum (tests/data/golden/phrase.checksum) belongs to the CI build, clang RelWithDebInfo
// with AddressSanitizer and UndefinedBehaviorSanitizer, and names that build in its first line; another build
// may round a libm call or a contraction differently, so there the bit comparison is skipped. The stored
// coarse levels (phrase.levels, the RMS of each channel per 10 ms) are compared in every build within a
// tolerance that a rounding difference stays far inside and a change of sound does not. A deliberate
// change of sound runs tools/regen-golden.sh, which rewrites both, and its commit says why the sound
// changed.
#include "CorvaleScratch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace corvale::golden {
namespace {

using test::MidiFileBuilder;
using test::TrackBytes;

constexpr int kRate = 44100;
constexpr int kBlock = 256;
constexpr const char* kSeed = "20240601";
constexpr int kWindowFrames = kRate / 100; // 10 ms
// Levels compare in decibels within this much; a window quieter than the floor in both renders matches.
constexpr double kToleranceDb = 0.5;
constexpr double kFloorDb = -70.0;

const std::string kGoldenDir = CORVALE_GOLDEN_DIR;
const std::string kBuild = CORVALE_GOLDEN_BUILD;

bool updating() {
    const char* value = std::getenv("TROV_UPDATE_GOLDEN");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

// The phrase: a low note on the lower layer alone, then notes on both layers (the upper one starts at key
// 60) at four velocities, a pitch bend up and back, the modulation wheel, and a chord released together
// into a long tail. Format 0, 480 ticks per quarter at 120 beats per minute.
test::Bytes phrase() {
    TrackBytes track;
    track.event(0, {0xB0, 1, 0})
        .event(0, {0xE0, 0x00, 0x40})
        .event(0, {0x90, 48, 40})
        .event(240, {0x90, 64, 100})
        .event(240, {0x90, 72, 127})
        .event(240, {0x90, 55, 70})
        .event(240, {0xE0, 0x00, 0x48})
        .event(40, {0xE0, 0x00, 0x50})
        .event(40, {0xB0, 1, 100})
        .event(0, {0xE0, 0x00, 0x58})
        .event(160, {0x80, 48, 64})
        .event(0, {0x80, 55, 64})
        .event(240, {0xE0, 0x00, 0x40})
        .event(0, {0xB0, 1, 0})
        .event(0, {0x90, 76, 90})
        .event(240, {0x80, 64, 64})
        .event(0, {0x80, 72, 64})
        .event(0, {0x80, 76, 64})
        .end();
    return MidiFileBuilder().header(0, 1, 480).track(track).bytes();
}

// FNV-1a over the frame count, the channel count and every sample's bit pattern, little-endian.
std::string checksum(const Render& render) {
    std::uint64_t hash = 14695981039346656037ull;
    const auto add = [&hash](std::uint32_t word) {
        for (int i = 0; i < 4; ++i) {
            hash ^= (word >> (8 * i)) & 0xFF;
            hash *= 1099511628211ull;
        }
    };
    add(static_cast<std::uint32_t>(render.samples.size() / static_cast<std::size_t>(render.channels)));
    add(static_cast<std::uint32_t>(render.channels));
    for (const float value : render.samples) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        add(bits);
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

// RMS of each channel per 10 ms window, in decibels (a silent window is -200).
std::vector<std::vector<double>> levels(const Render& render) {
    const std::size_t channels = static_cast<std::size_t>(render.channels);
    const std::size_t frames = render.samples.size() / channels;
    std::vector<std::vector<double>> out;
    for (std::size_t start = 0; start < frames; start += kWindowFrames) {
        const std::size_t end = std::min(frames, start + kWindowFrames);
        std::vector<double> window;
        for (std::size_t c = 0; c < channels; ++c) {
            double sum = 0.0;
            for (std::size_t f = start; f < end; ++f) {
                const double v = render.samples[f * channels + c];
                sum += v * v;
            }
            const double rms = std::sqrt(sum / static_cast<double>(end - start));
            window.push_back(rms > 1e-10 ? 20.0 * std::log10(rms) : -200.0);
        }
        out.push_back(window);
    }
    return out;
}

class GoldenRender : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(scratch_.error(), "");
        scratch_.write("phrase.mid", phrase());
    }

    // The phrase through the module and the demo bank; false with the reason added to the test.
    bool render(const std::string& seed, Render& out) {
        const std::string wav = scratch_ / ("out" + std::to_string(renders_++) + ".wav");
        const test::ChildResult result = scratch_.run(
            {"render", "--rate", std::to_string(kRate), "--block", std::to_string(kBlock), "--seed", seed,
             "--tail", "3", "--quiet", "--load", std::string(CORVALE_DATA_DIR) + "/demo/demo.kmd",
             CORVALE_MODULE, scratch_ / "phrase.mid", wav});
        EXPECT_EQ(result.status, 0) << result.err;
        if (result.status != 0)
            return false;
        const std::string error = readRender(wav, out);
        EXPECT_EQ(error, "");
        return error.empty();
    }

    CorvaleScratch scratch_;
    int renders_ = 0;
};

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(GoldenRender, ThePhraseMatchesTheStoredChecksumAndLevels) {
    Render output;
    ASSERT_TRUE(render(kSeed, output));
    const std::string sum = checksum(output);
    const std::vector<std::vector<double>> measured = levels(output);

    if (updating()) {
        std::ofstream(kGoldenDir + "/phrase.checksum", std::ios::trunc) << "build " << kBuild << "\n"
                                                                        << "fnv1a64 " << sum << "\n";
        std::ofstream levelsFile(kGoldenDir + "/phrase.levels", std::ios::trunc);
        levelsFile << "# RMS per 10 ms window and channel, dBFS\n";
        char line[64];
        for (const std::vector<double>& window : measured) {
            for (std::size_t c = 0; c < window.size(); ++c) {
                std::snprintf(line, sizeof line, c == 0 ? "%.2f" : " %.2f", window[c]);
                levelsFile << line;
            }
            levelsFile << "\n";
        }
        GTEST_SKIP() << "rewrote " << kGoldenDir << "/phrase.checksum and phrase.levels";
    }

    // Every window within the tolerance: a missing or moved note, a changed envelope, pan or filter shows
    // as many windows out by decibels.
    std::istringstream stored(readFile(kGoldenDir + "/phrase.levels"));
    std::vector<std::vector<double>> reference;
    for (std::string line; std::getline(stored, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::vector<double> window;
        for (double v = 0.0; fields >> v;)
            window.push_back(v);
        reference.push_back(window);
    }
    ASSERT_FALSE(reference.empty()) << "no stored levels: run tools/regen-golden.sh";
    ASSERT_EQ(measured.size(), reference.size()) << "the render's length changed";
    int outside = 0;
    for (std::size_t w = 0; w < measured.size(); ++w) {
        ASSERT_EQ(measured[w].size(), reference[w].size()) << "the channel count changed";
        for (std::size_t c = 0; c < measured[w].size(); ++c) {
            const double a = std::max(measured[w][c], kFloorDb);
            const double b = std::max(reference[w][c], kFloorDb);
            if (std::fabs(a - b) > kToleranceDb && ++outside <= 10)
                ADD_FAILURE() << "window " << w << " (" << w * 10 << " ms), channel " << c << ": "
                              << measured[w][c] << " dB, stored " << reference[w][c] << " dB";
        }
    }
    EXPECT_EQ(outside, 0) << "windows outside " << kToleranceDb << " dB of the stored levels";

    const std::string stamp = readFile(kGoldenDir + "/phrase.checksum");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(stamp, match, std::regex("^build (.*)\nfnv1a64 ([0-9a-f]{16})\n")))
        << "unreadable phrase.checksum: run tools/regen-golden.sh";
    if (match[1].str() != kBuild)
        GTEST_SKIP() << "the stored checksum belongs to the build '" << match[1].str() << "', this is '"
                     << kBuild << "': only the levels were compared";
    EXPECT_EQ(sum, match[2].str()) << "the output bits changed; if the sound changed on purpose, run "
                                      "tools/regen-golden.sh and say why in the commit";
}

// The amplitude of the component at hz in a window of one channel: a Hann-windowed correlation, scaled
// so that a sine of amplitude a gives a.
double amplitudeAt(const Render& render, double from, double seconds, double hz) {
    const std::size_t channels = static_cast<std::size_t>(render.channels);
    const std::size_t first = static_cast<std::size_t>(from * kRate);
    const std::size_t count = static_cast<std::size_t>(seconds * kRate);
    double re = 0.0;
    double im = 0.0;
    double weights = 0.0;
    for (std::size_t i = 0; i < count && (first + i) * channels < render.samples.size(); ++i) {
        const double w =
            0.5 - 0.5 * std::cos(2.0 * M_PI * static_cast<double>(i) / static_cast<double>(count));
        const double phase = 2.0 * M_PI * hz * static_cast<double>(first + i) / kRate;
        const double v = render.samples[(first + i) * channels];
        re += w * v * std::cos(phase);
        im -= w * v * std::sin(phase);
        weights += w;
    }
    return weights > 0.0 ? 2.0 * std::hypot(re, im) / weights : 0.0;
}

TEST_F(GoldenRender, ThePhrasePlaysEachNoteAtItsPitchWithAHealthyPeak) {
    Render output;
    ASSERT_TRUE(render(kSeed, output));
    double peak = 0.0;
    for (const float v : output.samples)
        peak = std::max(peak, static_cast<double>(std::fabs(v)));
    const double peakDb = 20.0 * std::log10(std::max(peak, 1e-12));
    EXPECT_GE(peakDb, -12.0);
    EXPECT_LE(peakDb, -0.5);
    // Each note of the phrase, as it starts: its fundamental (the demo sample's root is key 60, played by
    // the first player whose clock runs 0.99725 slow) rises well above what sounded before, and the
    // strongest component near it is at its pitch.
    struct Onset {
        int key;
        double seconds;
    };
    for (const Onset& onset :
         {Onset{48, 0.0}, Onset{64, 0.25}, Onset{72, 0.5}, Onset{55, 0.75}, Onset{76, 1.5}}) {
        const double hz = 261.6255653005986 * std::pow(2.0, (onset.key - 60) / 12.0) * 0.9972475966332921;
        const double before = onset.seconds > 0.0 ? amplitudeAt(output, onset.seconds - 0.2, 0.2, hz) : 0.0;
        const double after = amplitudeAt(output, onset.seconds + 0.02, 0.2, hz);
        EXPECT_GT(after, 4.0 * before + 1e-3) << "key " << onset.key << " at " << onset.seconds << " s";
        double strongest = 0.0;
        double at = 0.0;
        for (double f = hz * 0.96; f <= hz * 1.04; f += hz * 0.0005) {
            const double a = amplitudeAt(output, onset.seconds + 0.02, 0.2, f);
            if (a > strongest) {
                strongest = a;
                at = f;
            }
        }
        EXPECT_NEAR(1200.0 * std::log2(at / hz), 0.0, 10.0) << "key " << onset.key;
    }
}

TEST_F(GoldenRender, TheSameStartUpSeedRepeatsTheBitsAndAnotherChangesThem) {
    Render first;
    Render again;
    Render other;
    ASSERT_TRUE(render(kSeed, first));
    ASSERT_TRUE(render(kSeed, again));
    ASSERT_TRUE(render("7", other));
    EXPECT_EQ(checksum(first), checksum(again)) << "a render with a fixed seed is not reproducible";
    // The seed draws the analog components of a fresh per-user store, so it reaches the sound.
    EXPECT_NE(checksum(first), checksum(other)) << "the start-up seed does not reach the module";
    double peak = 0.0;
    for (const float v : first.samples)
        peak = std::max(peak, static_cast<double>(std::fabs(v)));
    EXPECT_GT(peak, 1e-3) << "the demo bank plays nothing";
}

// The host program's check on the module; it is silent until it has samples, so the check's note plays the
// demo bank.
test::ChildResult runCheck() {
    CorvaleScratch scratch;
    if (!scratch.error().empty())
        return {-1, "", scratch.error()};
    return scratch.run(
        {"check", "--seed", "3", "--load", std::string(CORVALE_DATA_DIR) + "/demo/demo.kmd", CORVALE_MODULE});
}

TEST(CorvaleModule, PassesEveryHostProgramCheckWithTheDemoBank) {
    const test::ChildResult result = runCheck();
    ASSERT_NE(result.status, -1) << result.err;
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    // Every check ran (the sanitizers and a deadlock would end the run early) and none failed.
    EXPECT_TRUE(std::regex_search(result.out, std::regex("\n[1-9][0-9]* passed, 0 failed\n$")))
        << result.out << result.err;
    for (const char* check :
         {"ok   a note through the MIDI input sounds", "ok   a chunk round-trips into a second instance",
          "ok   teardown releases everything, unloads the module"})
        EXPECT_NE(result.out.find(check), std::string::npos) << check << "\n" << result.out;
}

} // namespace
} // namespace corvale::golden
