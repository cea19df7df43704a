// The note check's judgement of a note of a dropped sample file (what the real module plays of such files
// is in tests/golden).
#include "hostapp/CheckSession.h"

#include "support/CountingStream.h"
#include "support/FileTestFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <sndfile.h>
#include <vector>

namespace corvale::hostapp {
namespace {

// frames of a sine at half scale, 44100 Hz.
std::vector<float> sine(int frames, double hz = 440.0) {
    std::vector<float> values;
    for (int i = 0; i < frames; ++i)
        values.push_back(0.5f * static_cast<float>(std::sin(2.0 * std::numbers::pi * hz * i / 44100.0)));
    return values;
}

// A float WAV of the interleaved values judged with each peak: the passing ones pass, the failing ones fail.
struct Judged {
    std::vector<float> values;
    std::vector<float> passing, failing;
    int channels = 1;
};

void expectJudged(const trov::test::FileTestFolder& folder, const Judged& given) {
    SF_INFO info = {0, 44100, given.channels, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0, 0};
    SNDFILE* file = sf_open((folder / "sample.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    sf_writef_float(file, given.values.data(), static_cast<sf_count_t>(given.values.size()) / given.channels);
    sf_close(file);
    for (const float peak : given.passing) {
        Problems problems;
        EXPECT_TRUE(judgeSampleNote(folder / "sample.wav", peak, problems) && problems.empty())
            << given.values.size() << " values, peak " << peak << ": " << problems.text();
    }
    for (const float peak : given.failing) {
        Problems problems;
        EXPECT_TRUE(judgeSampleNote(folder / "sample.wav", peak, problems) && !problems.empty())
            << given.values.size() << " values, peak " << peak;
    }
}

// Zeros after the header read as empty chunks of 8 bytes each: the root key's scan reads them in blocks, not
// with a seek and a read for each, and finds the chunks after them.
TEST(CheckNoteJudgement, TheRootKeyScanReadsAFileOfManyEmptyChunksInBlocks) {
    std::string bytes = std::string("RIFF\0\0\0\0WAVE", 12) + std::string(std::size_t{1} << 20, '\0');
    const auto chunk = [&bytes](const char* id, std::vector<std::uint32_t> words) {
        words.insert(words.begin(), static_cast<std::uint32_t>(4 * words.size()));
        bytes.append(id, 4);
        for (const std::uint32_t word : words)
            for (int i = 0; i < 4; ++i)
                bytes.push_back(static_cast<char>(word >> (8 * i)));
    };
    chunk("fmt ", {0x00010001, 44100, 88200, 0x00100002});
    chunk("smpl", {0, 0, 0, 72, 0, 0, 0, 0, 0});
    chunk("data", {0});
    trov::test::CountingBuffer buffer(bytes);
    std::istream in(&buffer);
    EXPECT_EQ(ownWavRootKey(in), 72);
    EXPECT_LE(buffer.calls, 8 + 2 * static_cast<int>(bytes.size() / 4096)) << "calls on the stream";
}

TEST(CheckNoteJudgement, FailsASilentOrWrongLevelNoteOfASampleHoweverShortAndALoudOneOfASilentSample) {
    const trov::test::FileTestFolder folder;
    const float inf = std::numeric_limits<float>::infinity();
    // Through the voice's default chain a half-scale sine peaks at about 0.45, within 4 dB. 16 frames end
    // within its 2 ms attack (88.2 frames), risen to 15 / 88.2 at their peak (the module plays 0.06).
    // Values that are not finite are read as 0, and a note of them gives only the voice's click and noise
    // (up to 0.01).
    for (const Judged& given : {Judged{sine(2048), {0.3f, 0.55f}, {0.0f, 0.01f, 0.2f, 0.8f}},
                                Judged{sine(16), {0.06f}, {0.0f, 0.01f}},
                                Judged{{std::nanf(""), inf, -inf, inf}, {0.0f, 0.01f}, {0.1f}}})
        expectJudged(folder, given);
    Problems problems;
    EXPECT_FALSE(judgeSampleNote(folder.write("bank.kmd", "<dict/>"), 0.5f, problems)) << "no sample file";
}

// The passing peaks are what the module plays of these files (tests/golden runs the check on it).
TEST(CheckNoteJudgement, PredictsTheChannelsAverageTheDCBlockerAndValuesAsTheModuleHoldsThem) {
    const trov::test::FileTestFolder folder;
    std::vector<float> right, opposite;
    for (const float value : sine(13230)) {
        right.insert(right.end(), {0.0f, value});
        opposite.insert(opposite.end(), {value, -value});
    }
    // +-1e6 every 8th frame, held at +-65536 and saturating the voice; only denormal values, flushed to 0.
    std::vector<float> pulses(13230), denormal(13230);
    for (std::size_t i = 0; i < pulses.size(); ++i) {
        pulses[i] = i % 8 == 0 ? (i % 16 == 0 ? 1e6f : -1e6f) : 0.0f;
        denormal[i] = (i % 2 == 0 ? 1e-39f : -1e-39f) * static_cast<float>(1 + i % 5);
    }
    for (const Judged& given :
         {Judged{right, {0.27f}, {0.0f, 0.1f, 0.6f}, 2}, Judged{opposite, {0.0f, 0.01f}, {0.2f}, 2},
          Judged{sine(13230, 25.0), {0.19f}, {0.0f, 0.07f, 0.45f}},
          Judged{pulses, {0.5f}, {0.0f, 0.25f, 0.9f}}, Judged{denormal, {0.0f, 0.01f}, {0.1f}}})
        expectJudged(folder, given);
}

} // namespace
} // namespace corvale::hostapp
