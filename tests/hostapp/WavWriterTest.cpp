#include "hostapp/WavWriter.h"

#include "hostapp/FileChecks.h"

#include "support/FileTestFolder.h"
#include "support/ProgramRun.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sndfile.h>
#include <unistd.h>

namespace corvale::hostapp {
namespace {

std::string scratchPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() /
            ("corvale-wav-" + std::to_string(::getpid()) + "-" + name))
        .string();
}

TEST(WavWriter, WritesFloatFramesInterleavedAcrossBlocksAndReadsBackExactly) {
    const std::string path = scratchPath("two.wav");
    std::string error;
    {
        WavWriter writer;
        ASSERT_TRUE(writer.open(path, 2, 44100, 5, error)) << error;
        const float left[3] = {0.5f, -0.25f, 1.5f};
        const float right[3] = {-1.0f, 0.125f, 0.0f};
        const float* channels[2] = {left, right};
        ASSERT_TRUE(writer.write(channels, 3, error)) << error;
        ASSERT_TRUE(writer.write(channels, 2, error)) << error;
        EXPECT_EQ(writer.framesWritten(), 5);
        ASSERT_TRUE(writer.close(error)) << error;
    }
    SF_INFO info = {};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.samplerate, 44100);
    EXPECT_EQ(info.frames, 5);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    float frames[10] = {};
    EXPECT_EQ(sf_readf_float(file, frames, 5), 5);
    sf_close(file);
    const float expected[10] = {0.5f, -1.0f, -0.25f, 0.125f, 1.5f, 0.0f, 0.5f, -1.0f, -0.25f, 0.125f};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(frames[i], expected[i]) << i;
    std::filesystem::remove(path);
}

// The file's chunk identifiers after its RIFF header, in order.
std::vector<std::string> chunkIds(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> ids;
    in.seekg(12);
    char header[8];
    while (in.read(header, 8)) {
        ids.emplace_back(header, 4);
        std::uint32_t size = 0;
        std::memcpy(&size, header + 4, 4); // little-endian, as this platform
        in.seekg(size + (size & 1), std::ios::cur);
    }
    return ids;
}

TEST(WavWriter, WritesNothingButTheFormatAndTheAudioSoEqualAudioGivesEqualFiles) {
    const std::string path = scratchPath("plain.wav");
    std::string error;
    WavWriter writer;
    ASSERT_TRUE(writer.open(path, 1, 48000, 4, error)) << error;
    const float data[4] = {0.25f, -0.5f, 1.0f, 0.0f};
    const float* channels[1] = {data};
    ASSERT_TRUE(writer.write(channels, 4, error)) << error;
    ASSERT_TRUE(writer.close(error)) << error;
    // libsndfile's peak chunk would carry the time of writing; the render mark does not.
    for (const std::string& id : chunkIds(path))
        EXPECT_TRUE(id == "fmt " || id == "fact" || id == "PAD " || id == kRenderMarkId || id == "data")
            << id;
    EXPECT_EQ(chunkIds(path).back(), "data");
    std::filesystem::remove(path);
}

TEST(WavWriter, SaysWhyAFileCannotBeWrittenAndLeavesNoUnfinishedFile) {
    std::string error;
    WavWriter writer;
    EXPECT_FALSE(writer.open("/nonexistent-folder/out.wav", 2, 48000, 1, error));
    EXPECT_EQ(error.rfind("cannot write /nonexistent-folder/out.wav: ", 0), 0u) << error;
    EXPECT_FALSE(writer.write(nullptr, 1, error));

    const trov::test::FileTestFolder folder;
    const std::string path = folder / "abandoned.wav";
    {
        WavWriter abandoned;
        ASSERT_TRUE(abandoned.open(path, 1, 48000, 1, error));
        const float data[1] = {0.0f};
        const float* channels[1] = {data};
        ASSERT_TRUE(abandoned.write(channels, 1, error));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()))
        << "a writer destroyed before close removes its file";
}

// One block of mono frames, each of value, into writer.
bool writeFrames(WavWriter& writer, float value, std::int32_t frames, std::string& error) {
    const std::vector<float> data(static_cast<std::size_t>(frames), value);
    const float* channels[1] = {data.data()};
    return writer.write(channels, frames, error);
}

TEST(WavWriter, WritersOfOneNameLeaveTheLastFinishedWholeAndOneThatFailsLeavesWhatWasThere) {
    const trov::test::FileTestFolder folder;
    const std::string path = folder / "same.wav";
    std::string error;
    WavWriter alone;
    ASSERT_TRUE(alone.open(path, 1, 48000, 300, error) && writeFrames(alone, 0.5f, 300, error) &&
                alone.close(error))
        << error;
    const std::string whole = test::readWhole(path);

    WavWriter longer;
    WavWriter shorter;
    ASSERT_TRUE(longer.open(path, 1, 48000, 300, error)) << error;
    ASSERT_TRUE(shorter.open(path, 1, 48000, 300, error)) << error;
    ASSERT_TRUE(writeFrames(longer, 0.5f, 200, error)) << error;
    ASSERT_TRUE(writeFrames(shorter, -0.25f, 100, error) && shorter.close(error)) << error;
    EXPECT_EQ(test::readWhole(path).size(), whole.size() - 200 * sizeof(float));
    ASSERT_TRUE(writeFrames(longer, 0.5f, 100, error) && longer.close(error)) << error;
    EXPECT_TRUE(test::readWhole(path) == whole);

    // Past its frames a writer fails; one dropped unfinished fails as well.
    WavWriter failing;
    ASSERT_TRUE(failing.open(path, 1, 48000, 10, error)) << error;
    EXPECT_FALSE(writeFrames(failing, 1.0f, 20, error));
    {
        WavWriter dropped;
        ASSERT_TRUE(dropped.open(path, 1, 48000, 10, error) && writeFrames(dropped, 1.0f, 10, error))
            << error;
    }
    EXPECT_TRUE(test::readWhole(path) == whole);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1)
        << "nothing beside it";
}

TEST(WavWriter, WritesRf64ExactlyWhenTheAudioWouldPassTheFourGibibytesOfARiffSize) {
    struct Case {
        const char* what;
        std::int64_t frames;
        int channels;
        bool rf64;
    };
    constexpr std::int64_t kGiB = std::int64_t(1) << 30;
    const Case cases[] = {
        {"3 h 59 min at 48 kHz, stereo", (3 * 3600 + 59 * 60) * std::int64_t(48000), 2, true},
        {"an hour at 48 kHz, stereo", 3600 * std::int64_t(48000), 2, false},
        {"4 GiB of stereo audio", 4 * kGiB / 8, 2, true},
        {"8 MiB less", (4 * kGiB - 8 * (1 << 20)) / 8, 2, false},
        {"4 GiB of mono audio", 4 * kGiB / 4, 1, true},
        {"8 MiB less in mono", (4 * kGiB - 8 * (1 << 20)) / 4, 1, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(WavWriter::needsRf64(c.frames, c.channels), c.rf64);
        // Opened for at most that many, written short: the sizes are settled when the file closes, so the
        // short audio ends as a RIFF file either way; forced, it stays RF64.
        for (const auto container : {WavWriter::Container::Fitting, WavWriter::Container::Rf64}) {
            const bool forced = container == WavWriter::Container::Rf64;
            SCOPED_TRACE(forced ? "forced RF64" : "fitting");
            const std::string path = scratchPath("long.wav");
            std::string error;
            {
                WavWriter writer;
                ASSERT_TRUE(writer.open(path, c.channels, 48000, c.frames, error, container)) << error;
                EXPECT_EQ(writer.isRf64(), c.rf64 || forced);
                const float data[3] = {0.5f, -0.5f, 0.25f};
                const float* channels[2] = {data, data};
                ASSERT_TRUE(writer.write(channels, 3, error)) << error;
                ASSERT_TRUE(writer.close(error)) << error;
            }
            std::ifstream in(path, std::ios::binary);
            char header[16] = {};
            in.read(header, sizeof header);
            EXPECT_EQ(std::string(header, 4), forced ? "RF64" : "RIFF");
            EXPECT_EQ(std::string(header + 8, 4), "WAVE");
            if (forced) {
                EXPECT_EQ(std::string(header + 12, 4), "ds64") << "an RF64 file's sizes come first";
            }
            SF_INFO info = {};
            SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
            ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
            EXPECT_EQ(info.frames, 3);
            EXPECT_EQ(info.format & SF_FORMAT_SUBMASK, SF_FORMAT_FLOAT);
            if (forced) {
                EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_RF64);
            }
            float frames[6] = {};
            EXPECT_EQ(sf_readf_float(file, frames, 3), 3);
            sf_close(file);
            EXPECT_EQ(frames[c.channels * 2], 0.25f);
            EXPECT_EQ(overwriteRefusal(path, OutputKind::Wav, {}), "") << "the render mark is lost";
            std::filesystem::remove(path);
        }
    }
}

TEST(WavWriter, WritesRf64WithoutAPeakChunkSoEqualAudioGivesEqualFiles) {
    // libsndfile puts a peak chunk with the time of writing into RF64 float files.
    const float data[4] = {0.25f, -0.5f, 1.0f, 0.0f};
    const float* channels[2] = {data, data};
    std::string files[2];
    for (std::string& written : files) {
        const std::string path = scratchPath("peak.rf64");
        std::string error;
        WavWriter writer;
        ASSERT_TRUE(writer.open(path, 2, 48000, 4, error, WavWriter::Container::Rf64)) << error;
        ASSERT_TRUE(writer.write(channels, 4, error)) << error;
        ASSERT_TRUE(writer.close(error)) << error;
        for (const std::string& id : chunkIds(path))
            EXPECT_NE(id, "PEAK");
        written = test::readWhole(path);
        std::filesystem::remove(path);
    }
    EXPECT_EQ(files[0].substr(0, 4), "RF64");
    EXPECT_EQ(files[0], files[1]);
}

TEST(WavWriter, RefusesFramesPastTheTotalItWasOpenedForAndRemovesTheFile) {
    const std::string path = scratchPath("total.wav");
    std::string error;
    WavWriter writer;
    ASSERT_TRUE(writer.open(path, 1, 48000, 4, error)) << error;
    const float data[3] = {0.0f, 0.0f, 0.0f};
    const float* channels[1] = {data};
    ASSERT_TRUE(writer.write(channels, 3, error)) << error;
    EXPECT_FALSE(writer.write(channels, 2, error));
    EXPECT_NE(error.find("more than the 4 frames it was opened for"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(path));
}

} // namespace
} // namespace corvale::hostapp
