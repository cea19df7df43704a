#include "engine/SampleWav.h"

#include "engine/SampleTestSupport.h"
#include "engine/WavTestFiles.h"
#include "framework/File.h"
#include "framework/FileTestFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <tuple>

using namespace trov;
using test::EditableWav;
using test::readU32;

namespace {

using Words = std::vector<std::uint32_t>;

class WavWrite : public testing::Test {
protected:
    // Saves the sample and gives the file's bytes.
    std::vector<std::uint8_t> write(const Sample& sample) {
        File file(folder_ / "out.wav");
        EXPECT_EQ(sample.save(file).getCode(), "EAOK");
        return test::fileBytes(file.getPath());
    }
    // Saves the sample and reads it back.
    std::unique_ptr<SampleWav> roundTrip(const Sample& sample) {
        File file(folder_ / "trip.wav");
        auto back = std::make_unique<SampleWav>();
        EXPECT_EQ(sample.save(file).getCode(), "EAOK");
        EXPECT_EQ(back->load(file, true).getCode(), "EAOK");
        return back;
    }

    test::FileTestFolder folder_;
};

std::string idAt(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return std::string(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin() + static_cast<std::ptrdiff_t>(at + 4));
}

// The little-endian words at the given offsets.
Words wordsAt(const std::vector<std::uint8_t>& bytes, std::initializer_list<std::size_t> offsets) {
    Words words;
    for (std::size_t at : offsets)
        words.push_back(readU32(bytes, at));
    return words;
}

TEST_F(WavWrite, WritesFormatDataSamplerCueAndInstrumentInOrderWithExactSizes) {
    EditableWav sample({0.5f, -0.5f, 0.25f, 0.0f}, 16, 48000);
    sample.setLoopPoints({Sample::kLoopOn, 1, 3});
    sample.setSliceList({{0, 1}, {2, 3}});
    const auto bytes = write(sample);

    ASSERT_EQ(bytes.size(), 12u + (8 + 16) + (8 + 8) + (8 + 60) + (8 + 76) + (8 + 8));
    EXPECT_EQ(idAt(bytes, 0) + idAt(bytes, 8), "RIFFWAVE");
    EXPECT_EQ(readU32(bytes, 4), bytes.size() - 8);
    std::size_t at = 12;
    for (auto [id, size] : {std::pair<const char*, std::uint32_t>{"fmt ", 16}, {"data", 8}, {"smpl", 60}, {"cue ", 76},
                            {"inst", 8}}) {
        EXPECT_EQ(std::pair(idAt(bytes, at), readU32(bytes, at + 4)), std::pair(std::string(id), size));
        at += 8 + size;
    }
    // Format: PCM, one channel, 48 kHz, 96000 bytes a second, 2-byte blocks, 16 bits.
    EXPECT_EQ(wordsAt(bytes, {20, 24, 28, 32}), (Words{0x00010001u, 48000u, 96000u, 0x00100002u}));
    // Sampler: one loop, no sampler data, loop 1..3.
    const std::size_t smpl = 12 + 24 + 16 + 8;
    EXPECT_EQ(wordsAt(bytes, {smpl + 28, smpl + 32, smpl + 36 + 8, smpl + 36 + 12}), (Words{1, 0, 1, 3}));
    // Cue: each slice's start, then the last slice's end.
    const std::size_t cue = smpl + 60 + 8;
    EXPECT_EQ(wordsAt(bytes, {cue, cue + 4 + 20, cue + 4 + 24 + 20, cue + 4 + 48 + 20}), (Words{3, 0, 2, 3}));
}

TEST_F(WavWrite, SamplesWithoutLoopOrSlicesWriteEmptyLoopAndCueListsAndOddDataAPadByte) {
    auto bytes = write(EditableWav({0.5f, 0.5f}, 24));
    const std::size_t smpl = 12 + 24 + 8 + 6;
    EXPECT_EQ(idAt(bytes, smpl) + idAt(bytes, smpl + 44), "smplcue ");
    EXPECT_EQ(wordsAt(bytes, {smpl + 4, smpl + 48, smpl + 52}), (Words{36, 4, 0}));

    const EditableWav odd({0.0f, 0.5f, -0.5f}, 8);
    bytes = write(odd);
    EXPECT_EQ(std::tuple(readU32(bytes, 36 + 4), bytes[36 + 8 + 3], idAt(bytes, 36 + 8 + 4)),
              std::tuple(3u, std::uint8_t{0}, "smpl"));
    EXPECT_EQ(test::valuesOf(*roundTrip(odd)), (std::vector<float>{0.0f, 0.5f, -0.5f}));
}

TEST_F(WavWrite, NegativeDetuneIsWrittenFromTheKeyBelowAndTheInstrumentChunkNamesTheSamePitch) {
    // 60 less 30 cents is 59 and 70 hundredths, nearer 60; 60 less 88 cents is 59 and 12, nearer 59.
    const struct {
        int detune, cents, instrumentNote, fineTune;
    } rows[] = {{-30, 70, 60, 256 - 30}, {-88, 12, 59, 12}};
    for (const auto& row : rows) {
        EditableWav sample(std::vector<float>(16, 0.0f), 16);
        sample.setRootNote(60);
        sample.setDetune(row.detune);
        const auto bytes = write(sample);
        const std::size_t smpl = 12 + 24 + 8 + 32, inst = bytes.size() - 16;
        EXPECT_EQ(wordsAt(bytes, {smpl + 8 + 12, smpl + 8 + 16}),
                  (Words{59u, static_cast<std::uint32_t>(std::llround(row.cents * 4294967296.0 / 100))}));
        ASSERT_EQ(idAt(bytes, inst), "inst");
        // Keys 0-127, velocities 1-127, then the pad byte.
        EXPECT_EQ(std::vector<int>(bytes.begin() + inst + 8, bytes.end()),
                  (std::vector<int>{row.instrumentNote, row.fineTune, 0, 0, 127, 1, 127, 0}));
        const auto back = roundTrip(sample);
        EXPECT_EQ(std::pair(back->getRootNote(), back->getDetune()), std::pair(59, row.cents));
    }
}

TEST_F(WavWrite, EveryDetuneWithinASemitoneReadsBackUnchanged) {
    for (int detune = -99; detune <= 99; ++detune) {
        EditableWav sample({0.0f, 0.0f}, 16);
        sample.setRootNote(64);
        sample.setDetune(detune);
        const auto back = roundTrip(sample);
        EXPECT_EQ(back->getRootNote() * 100 + back->getDetune(), 6400 + detune) << detune;
        EXPECT_EQ(back->getDetune(), detune < 0 ? detune + 100 : detune) << detune;
    }
}

TEST_F(WavWrite, FullScaleAndBeyondAreClampedRatherThanWrapped) {
    const std::vector<float> values = {1.0f, -1.0f, 1.5f, -2.0f, std::numeric_limits<float>::quiet_NaN()};
    const float top16 = 32767.0f / 32768.0f, top24 = 8388607.0f / 8388608.0f;
    const std::pair<int, std::vector<float>> rows[] = {{8, {0.9921875f, -1.0f, 0.9921875f, -1.0f, 0.0f}},
                                                       {16, {top16, -1.0f, top16, -1.0f, 0.0f}},
                                                       {24, {top24, -1.0f, top24, -1.0f, 0.0f}}};
    for (const auto& [bits, expected] : rows)
        EXPECT_EQ(test::valuesOf(*roundTrip(EditableWav(values, bits))), expected) << bits << " bits";
}

TEST_F(WavWrite, IntegerSamplesRoundTripBitExactlyAndFloatsOrUnusableDepthsAsFloatBits) {
    std::vector<float> ramp;
    for (int i = -8; i < 8; ++i)
        ramp.push_back(static_cast<float>(i * 1048576 + 3) / 8388608.0f);
    const auto back = roundTrip(EditableWav(ramp, 24));
    EXPECT_EQ(test::valuesOf(*back), ramp);
    EXPECT_EQ(back->getInfo().bitDepth, 24);

    const std::vector<float> loud = {1.5f, -3.25f, 1e-30f, 0.1f};
    for (int bits : {32, 0}) {
        const auto bytes = write(EditableWav(loud, bits));
        EXPECT_EQ(std::pair(readU32(bytes, 20) & 0xFFFF, readU32(bytes, 32) >> 16), std::pair(3u, 32u)) << bits;
        EXPECT_EQ(test::valuesOf(*roundTrip(EditableWav(loud, bits))), loud) << bits;
    }
}

TEST_F(WavWrite, LoopAndSlicesReadBackFromTheirChunks) {
    EditableWav sample(std::vector<float>(10000, 0.25f), 16);
    sample.setLoopPoints({Sample::kLoopOn, 1000, 8999});
    sample.setSliceList({{0, 999}, {1000, 4999}, {5000, 9998}});
    const auto back = roundTrip(sample);
    EXPECT_EQ(test::loopOf(*back), std::tuple(Sample::kLoopOn, 1000, 8999));
    // Three slices are written as four cue points: the starts, then the last slice's end.
    ASSERT_EQ(back->getChunks().cue.points.size(), 4u);
    const test::Slices slices = test::slicesOf(*back);
    ASSERT_GE(slices.size(), 3u);
    EXPECT_EQ(test::Slices(slices.begin(), slices.begin() + 2), (test::Slices{{0, 999}, {1000, 4999}}));
    EXPECT_EQ(slices[2].first, 5000);
}

TEST_F(WavWrite, AFileThatCannotBeWrittenReportsTheExportFailure) {
    File file(folder_ / "missing-folder/out.wav");
    const Error result = EditableWav({0.0f}, 16).save(file);
    EXPECT_EQ(result.getCode(), "EXFL");
    EXPECT_NE(result.getMessage().find("Failed to export file"), std::string::npos);
}

} // namespace
