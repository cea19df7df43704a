#include "engine/SampleWav.h"

#include "engine/SampleTestSupport.h"
#include "engine/WavTestFiles.h"

#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

using namespace trov;
using test::loopOf;
using test::slicesOf;
using test::WavBuilder;

namespace {

struct Loaded {
    Error result = NoError();
    std::unique_ptr<SampleWav> sample = std::make_unique<SampleWav>();
};

// Sample objects are counted; the test holds them in plain ownership and never shares them.
Loaded load(const WavBuilder& wav, bool loadData = true) {
    Loaded loaded;
    std::istringstream in(wav.str());
    loaded.result = loaded.sample->loadStream(in, loadData);
    return loaded;
}

std::vector<float> valuesOf(const Loaded& loaded) { return test::valuesOf(*loaded.sample); }

WavBuilder::Bytes extensibleFormat(std::uint16_t coding, std::uint16_t channels, std::uint16_t bits) {
    WavBuilder::Bytes body;
    const std::uint16_t align = static_cast<std::uint16_t>(channels * (bits / 8));
    for (auto [value, n] : {std::pair<std::uint32_t, int>{0xFFFE, 2}, {channels, 2}, {48000, 4},
                            {48000u * align, 4}, {align, 2}, {bits, 2}, {22, 2}, {bits, 2}, {3, 4}, {coding, 2}})
        WavBuilder::put(body, value, n);
    const WavBuilder::Bytes guid = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x38, 0x9B, 0x71, 0x00};
    body.insert(body.end(), guid.begin(), guid.end());
    return body;
}

TEST(WavRead, DecodesEveryCodingExactlyIntoOneChannelOfAveragedValues) {
    const std::pair<WavBuilder, std::vector<float>> rows[] = {
        // Eight-bit values are unsigned around mid-scale.
        {WavBuilder().format(1, 1, 22050, 8).data({128, 0, 255, 192}, 1), {0.0f, -1.0f, 0.9921875f, 0.5f}},
        {WavBuilder().format(1, 1, 44100, 16).data({0x8000, 0x7FFF, 0x4000, 0}, 2),
         {-1.0f, 32767.0f / 32768.0f, 0.5f, 0.0f}},
        {WavBuilder().format(1, 1, 96000, 24).data({0x800000, 0x7FFFFF, 0xC00000}, 3),
         {-1.0f, 8388607.0f / 8388608.0f, -0.5f}},
        // Thirty-two bits are integers under the PCM tag and floats under the float tag.
        {WavBuilder().format(1, 1, 44100, 32).data({0x40000000, 0x80000000}, 4), {0.5f, -1.0f}},
        {WavBuilder().format(3, 1, 44100, 32).floats({0.25f, -0.75f, 1.5f}), {0.25f, -0.75f, 1.5f}},
        // Extensible formats are decoded by their sub-format.
        {WavBuilder().chunk("fmt ", extensibleFormat(1, 1, 24)).data({0x400000}, 3), {0.5f}},
        {WavBuilder().chunk("fmt ", extensibleFormat(3, 1, 32)).floats({-0.125f}), {-0.125f}},
        // Each 16-bit frame sits in a 4-byte block; the padding is not audio.
        {WavBuilder().format(1, 1, 44100, 16, 4).data({0x4000, 0x7777, 0xC000, 0x1111}, 2), {0.5f, -0.5f}},
        // Stereo becomes one channel of averaged values.
        {WavBuilder().format(1, 2, 44100, 16).data({0x4000, 0x0000, 0xC000, 0x8000}, 2), {0.25f, -0.75f}},
    };
    for (const auto& [file, values] : rows) {
        const Loaded wav = load(file);
        const std::uint32_t rate = test::readU32(file.bytes(), 24), bits = test::readU32(file.bytes(), 32) >> 16;
        ASSERT_EQ(wav.result.getCode(), "EAOK") << bits;
        EXPECT_EQ(valuesOf(wav), values) << bits;
        EXPECT_EQ(std::pair(wav.sample->getStart(), wav.sample->getEnd()),
                  std::pair(0, static_cast<std::int32_t>(values.size()) - 1));
        EXPECT_EQ(std::pair(wav.sample->getInfo().bitDepth, wav.sample->getInfo().sampleRate),
                  std::pair(static_cast<std::int32_t>(bits), static_cast<std::int32_t>(rate)));
        EXPECT_TRUE(test::holdsGuard(*wav.sample));
    }
}

TEST(WavRead, SamplerChunkGivesRootNoteDetuneAndLoop) {
    WavBuilder::Bytes audio(8000, 0);
    const Loaded wav = load(
        WavBuilder().format(1, 1, 44100, 16).chunk("data", audio).sampler(59, 3006477107u, {{1000, 2999}}));
    ASSERT_EQ(wav.result.getCode(), "EAOK");
    EXPECT_EQ(std::pair(wav.sample->getRootNote(), wav.sample->getDetune()), std::pair(59, 70));
    EXPECT_EQ(loopOf(*wav.sample), std::tuple(Sample::kLoopOn, 1000, 2999));
    EXPECT_EQ(wav.sample->getChunks().sampler.loops.size(), 1u);
}

TEST(WavRead, AcidRootNoteCountsOnlyWithoutSamplerNoteAndNoLoopMeansTheSecondHalf) {
    const WavBuilder::Bytes acid = WavBuilder::words({1, 48, 0, 8, 0x00040004, 0x42F00000});
    const Loaded wav =
        load(WavBuilder().format(1, 1, 44100, 8).chunk("acid", acid).data({1, 2, 3, 4, 5, 6}, 1));
    ASSERT_EQ(wav.result.getCode(), "EAOK");
    EXPECT_EQ(std::pair(wav.sample->getRootNote(), wav.sample->getChunks().acid.tempo),
              std::pair(48, 120.0f));
    EXPECT_EQ(loopOf(*wav.sample), std::tuple(Sample::kLoopOff, 3, 5));

    const Loaded both =
        load(WavBuilder().format(1, 1, 44100, 8).chunk("acid", acid).sampler(72, 0).data({1}, 1));
    EXPECT_EQ(both.sample->getRootNote(), 72);
}

TEST(WavRead, CuePointsBecomeSlicesEndingBeforeTheNextPoint) {
    WavBuilder::Bytes audio(600, 0);
    const Loaded wav = load(WavBuilder().format(1, 1, 44100, 16).chunk("data", audio).cue({0, 100, 200}));
    ASSERT_EQ(wav.result.getCode(), "EAOK");
    EXPECT_EQ(slicesOf(*wav.sample), (test::Slices{{0, 99}, {100, 199}, {200, 299}}));
}

TEST(WavRead, ListAndOddSizedChunksAreSkippedWithTheirPadByte) {
    const WavBuilder::Bytes list = {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 3, 0, 0, 0, 'a', 'b', 'c'};
    const WavBuilder::Bytes inst = {60, 0xFB, 0, 10, 100, 1, 127};
    const WavBuilder::Bytes label = WavBuilder::words({3});
    WavBuilder::Bytes labelText = label;
    for (char c : std::string("  first word"))
        labelText.push_back(static_cast<std::uint8_t>(c));
    const Loaded wav = load(WavBuilder()
                                .chunk("LIST", list)
                                .format(1, 1, 44100, 8)
                                .chunk("inst", inst)
                                .chunk("labl", labelText)
                                .chunk("junk", {1, 2, 3})
                                .data({255, 0, 128}, 1));
    ASSERT_EQ(wav.result.getCode(), "EAOK");
    EXPECT_EQ(valuesOf(wav), (std::vector<float>{0.9921875f, -1.0f, 0.0f}));
    const WavChunks& chunks = wav.sample->getChunks();
    EXPECT_EQ(std::tuple(chunks.instrument.size, chunks.instrument.fineTune, chunks.instrument.highNote),
              std::tuple(7u, std::int8_t{-5}, std::uint8_t{100}));
    EXPECT_EQ(std::pair(chunks.label.cuePointId, chunks.label.text), std::pair(3u, std::string("first")));
}

TEST(WavRead, WithoutDataTheFileLoadsOnlyWhenNoDataIsAsked) {
    const WavBuilder wav = WavBuilder().format(1, 1, 44100, 16);
    const Loaded header = load(wav, false);
    EXPECT_EQ(header.result.getCode(), "EAOK");
    EXPECT_EQ(std::pair(header.sample->getInfo().frames, header.sample->getData()),
              std::pair(0, static_cast<float*>(nullptr)));
    EXPECT_EQ(load(wav, true).result.getCode(), "EIFL");
}

TEST(WavRead, FilesItCannotDecodeAreLeftToTheNextReader) {
    const std::vector<WavBuilder> refused = {
        WavBuilder().format(1, 0, 44100, 16).data({1, 2}, 2),          // no channels
        WavBuilder().format(1, 2, 44100, 16, 2).data({1, 2, 3, 4}, 2), // block below 2 x 2 bytes
        WavBuilder().format(1, 1, 44100, 16, 0).data({1, 2}, 2),       // block align 0
        WavBuilder().format(2, 1, 44100, 4).data({1, 2}, 2),           // ADPCM
        WavBuilder().format(3, 1, 44100, 64).data({0, 0, 0, 0}, 4),    // 64-bit floats
        WavBuilder().format(1, 1, 44100, 40).data({0, 0, 0, 0, 0}, 1), // 5-byte integers
        WavBuilder().format(1, 1, 44100, 0).data({0, 0}, 1),           // no bits
        WavBuilder().chunk("fmt ", {1, 0, 1, 0}).data({1, 2}, 2),      // format cut short
        WavBuilder().data({1, 2}, 2),                                  // no format
        WavBuilder().format(1, 2, 44100, 16).data({1}, 2),             // less than one frame
    };
    for (std::size_t i = 0; i < refused.size(); ++i)
        EXPECT_EQ(load(refused[i]).result.getCode(), "EIFL") << "case " << i;

    std::istringstream notRiff("RIFX\0\0\0\0WAVE");
    SampleWav sample;
    EXPECT_EQ(sample.loadStream(notRiff, true).getCode(), "EIFL");
    std::istringstream empty("");
    EXPECT_EQ(sample.loadStream(empty, true).getCode(), "EIFL");
}

TEST(WavRead, TruncatedDataIsCutToTheWholeFramesPresent) {
    WavBuilder wav = WavBuilder().format(1, 2, 44100, 16);
    // Declares 4000 bytes, holds 10: two whole stereo frames and half of a third.
    wav.chunk("data", {0, 0x40, 0, 0x40, 0, 0xC0, 0, 0xC0, 0, 0x40}, 4000);
    const Loaded loaded = load(wav);
    ASSERT_EQ(loaded.result.getCode(), "EAOK");
    EXPECT_EQ(valuesOf(loaded), (std::vector<float>{0.5f, -0.5f}));

    WavBuilder streaming = WavBuilder().format(1, 1, 44100, 8);
    streaming.chunk("data", {0, 255}, 0xFFFFFFFF);
    EXPECT_EQ(valuesOf(load(streaming)), (std::vector<float>{-1.0f, 0.9921875f}));
}

TEST(WavRead, CountsAndPositionsAreBoundedByTheirChunkAndTheData) {
    // Counts far beyond what their chunks hold, loop and cue points far beyond the data.
    WavBuilder::Bytes sampler = WavBuilder::words({0, 0, 0, 60, 0, 0, 0, 1000000, 0, 0, 0, 5, 90000, 0, 0});
    WavBuilder::Bytes cue =
        WavBuilder::words({0x7FFFFFFF, 1, 0, 0, 0, 0, 2, 2, 0, 0, 0, 0, 70000}); // offsets 2, 70000
    WavBuilder::Bytes playlist = WavBuilder::words({0xFFFFFFFF, 1, 2, 3});
    const Loaded wav = load(WavBuilder()
                                .format(1, 1, 44100, 8)
                                .chunk("smpl", sampler)
                                .chunk("cue ", cue)
                                .chunk("plst", playlist)
                                .data({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 1));
    ASSERT_EQ(wav.result.getCode(), "EAOK");
    const WavChunks& chunks = wav.sample->getChunks();
    EXPECT_EQ(
        std::tuple(chunks.sampler.loops.size(), chunks.cue.points.size(), chunks.playlist.segments.size()),
        std::tuple(1u, 2u, 1u));
    EXPECT_EQ(loopOf(*wav.sample), std::tuple(Sample::kLoopOn, 5, 9));
    EXPECT_EQ(slicesOf(*wav.sample), (test::Slices{{2, 8}, {9, 9}}));
}

TEST(WavRead, AChunkSizeReachingPastTheFileEndsTheChunkList) {
    const Loaded wav = load(WavBuilder()
                                .format(1, 1, 44100, 8)
                                .data({10, 20}, 1)
                                .chunk("smpl", WavBuilder::words({0, 0, 0, 61}), 0xFFFFFFF0));
    ASSERT_EQ(wav.result.getCode(), "EAOK");
    // The cut-short sampler chunk is not taken.
    EXPECT_EQ(std::pair(wav.sample->getInfo().frames, wav.sample->getRootNote()), std::pair(2, 60));
}

} // namespace
