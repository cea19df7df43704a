// The note check's judgement of a note of a dropped sample file (what the real module plays of such files
// is in tests/golden).
#include "hostapp/CheckSession.h"

#include "support/FileTestFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <sndfile.h>
#include <vector>

namespace corvale::hostapp {
namespace {

TEST(CheckNoteJudgement, FailsASilentOrWrongLevelNoteOfASampleHoweverShortAndALoudOneOfASilentSample) {
    const trov::test::FileTestFolder folder;
    const auto sine = [](int frames) {
        std::vector<float> values;
        for (int i = 0; i < frames; ++i)
            values.push_back(0.5f *
                             static_cast<float>(std::sin(2.0 * std::numbers::pi * 440.0 * i / 44100.0)));
        return values;
    };
    const float inf = std::numeric_limits<float>::infinity();
    // Through the voice's default chain a sample peaks at about 0.8 of its own peak, within 4 dB. 16 frames
    // end within its 2 ms attack (88.2 frames), risen to 15 / 88.2 at their peak: 0.8 * 0.5 * sin(2 pi 440
    // 15 / 44100) * 15 / 88.2 = 0.055 (the module plays 0.06). Values that are not finite are read as 0,
    // and a note of them gives only the voice's click and noise (up to 0.01).
    const struct {
        std::vector<float> values;
        std::vector<float> passing, failing;
    } cases[] = {{sine(2048), {0.3f, 0.55f}, {0.0f, 0.01f, 0.2f, 0.8f}},
                 {sine(16), {0.06f}, {0.0f, 0.01f}},
                 {{std::nanf(""), inf, -inf, inf}, {0.0f, 0.01f}, {0.1f}}};
    for (const auto& given : cases) {
        SF_INFO info = {0, 44100, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0, 0};
        SNDFILE* file = sf_open((folder / "sample.wav").c_str(), SFM_WRITE, &info);
        ASSERT_NE(file, nullptr);
        sf_writef_float(file, given.values.data(), static_cast<sf_count_t>(given.values.size()));
        sf_close(file);
        for (const float peak : given.passing) {
            Problems problems;
            EXPECT_TRUE(judgeSampleNote(folder / "sample.wav", peak, problems) && problems.empty())
                << given.values.size() << " frames, peak " << peak << ": " << problems.text();
        }
        for (const float peak : given.failing) {
            Problems problems;
            EXPECT_TRUE(judgeSampleNote(folder / "sample.wav", peak, problems) && !problems.empty())
                << given.values.size() << " frames, peak " << peak;
        }
    }
    Problems problems;
    EXPECT_FALSE(judgeSampleNote(folder.write("bank.kmd", "<dict/>"), 0.5f, problems)) << "no sample file";
}

} // namespace
} // namespace corvale::hostapp
