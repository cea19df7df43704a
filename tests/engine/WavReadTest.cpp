#include "engine/SampleWav.h"

#include "engine/SampleTestSupport.h"
#include "engine/WavTestFiles.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace trov;
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

TEST(WavRead, DecodesEightBitValuesAsUnsignedAroundMidScale) {
    const Loaded wav = load(WavBuilder().format(1, 1, 22050, 8).data({128, 0, 255, 192}, 1));
    ASSERT_EQ(wav.result.getCode(), "EAOK");
    EXPECT_EQ(valuesOf(wav), (std::vector<float>{0.0f, -1.0f, 0.9921875f, 0.5f}));
    EXPECT_EQ(wav.sample->getInfo().bitDepth, 8);
    EXPECT_EQ(wav.sample->getInfo().sampleRate, 22050);
    EXPECT_TRUE(test::holdsGuard(*wav.sample));
}

TEST(WavRead, DecodesSixteenAndTwentyFourBitValuesExactly) {
    const Loaded sixteen = load(WavBuilder().format(1, 1, 44100, 16).data({0x8000, 0x7FFF, 0x4000, 0}, 2));
    EXPECT_EQ(valuesOf(sixteen), (std::vector<float>{-1.0f, 32767.0f / 32768.0f, 0.5f, 0.0f}));

    const Loaded wide = load(WavBuilder().format(1, 1, 96000, 24).data({0x800000, 0x7FFFFF, 0xC00000}, 3));
    ASSERT_EQ(wide.result.getCode(), "EAOK");
    EXPECT_EQ(valuesOf(wide), (std::vector<float>{-1.0f, 8388607.0f / 8388608.0f, -0.5f}));
    EXPECT_FLOAT_EQ(valuesOf(wide)[1], 0.99999988f);
    EXPECT_EQ(wide.sample->getInfo().bitDepth, 24);
}

TEST(WavRead, ReadsThirtyTwoBitIntegerPcmAsIntegersAndFloatDataAsFloats) {
    const Loaded integers = load(WavBuilder().format(1, 1, 44100, 32).data({0x40000000, 0x80000000}, 4));
    ASSERT_EQ(integers.result.getCode(), "EAOK");
    EXPECT_EQ(valuesOf(integers), (std::vector<float>{0.5f, -1.0f}));

    const Loaded floats = load(WavBuilder().format(3, 1, 44100, 32).floats({0.25f, -0.75f, 1.5f}));
    ASSERT_EQ(floats.result.getCode(), "EAOK");
    EXPECT_EQ(valuesOf(floats), (std::vector<float>{0.25f, -0.75f, 1.5f}));
}

TEST(WavRead, ExtensibleFormatsAreDecodedByTheirSubFormat) {
    const Loaded pcm = load(WavBuilder().chunk("fmt ", extensibleFormat(1, 1, 24)).data({0x400000}, 3));
    ASSERT_EQ(pcm.result.getCode(), "EAOK");
    EXPECT_EQ(valuesOf(pcm), (std::vector<float>{0.5f}));

    const Loaded floats = load(WavBuilder().chunk("fmt ", extensibleFormat(3, 1, 32)).floats({-0.125f}));
    ASSERT_EQ(floats.result.getCode(), "EAOK");
    EXPECT_EQ(valuesOf(floats), (std::vector<float>{-0.125f}));
}

TEST(WavRead, StereoBecomesOneChannelOfAveragedValues) {
    const Loaded wav = load(WavBuilder().format(1, 2, 44100, 16).data({0x4000, 0x0000, 0xC000, 0x8000}, 2));
    ASSERT_EQ(wav.result.getCode(), "EAOK");
    const SampleInfo info = wav.sample->getInfo();
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.frames, 2);
    EXPECT_EQ(valuesOf(wav), (std::vector<float>{0.25f, -0.75f}));
    EXPECT_EQ(wav.sample->getStart(), 0);
    EXPECT_EQ(wav.sample->getEnd(), 1);
    EXPECT_TRUE(test::holdsGuard(*wav.sample));
}

TEST(WavRead, FramesAreReadAtTheirBlockAlignment) {
    // Each 16-bit mono frame sits in a 4-byte block; the padding is not audio.
    const Loaded wav = load(WavBuilder().format(1, 1, 44100, 16, 4).data({0x4000, 0x7777, 0xC000, 0x1111}, 2));
    ASSERT_EQ(wav.result.getCode(), "EAOK");
    EXPECT_EQ(valuesOf(wav), (std::vector<float>{0.5f, -0.5f}));
}

TEST(WavRead, SamplerChunkGivesRootNoteDetuneAndLoop) {
    WavBuilder::Bytes audio(8000, 0);
    const Loaded wav = load(WavBuilder()
                                .format(1, 1, 44100, 16)
                                .chunk("data", audio)
                                .sampler(59, 3006477107u, {{1000, 2999}}));
    ASSERT_EQ(wav.result.getCode(), "EAOK");
    EXPECT_EQ(wav.sample->getRootNote(), 59);
    EXPECT_EQ(wav.sample->getDetune(), 70);
    const Sample::Loop loop = wav.sample->getLoop();
    EXPECT_EQ(loop.mode, Sample::kLoopOn);
    EXPECT_EQ(loop.start, 1000);
    EXPECT_EQ(loop.end, 2999);
    EXPECT_EQ(wav.sample->getChunks().sampler.loops.size(), 1u);
}

TEST(WavRead, AcidRootNoteCountsOnlyWithoutSamplerNoteAndNoLoopMeansTheSecondHalf) {
    const WavBuilder::Bytes acid = WavBuilder::words({1, 48, 0, 8, 0x00040004, 0x42F00000});
    const Loaded wav = load(WavBuilder().format(1, 1, 44100, 8).chunk("acid", acid).data({1, 2, 3, 4, 5, 6}, 1));
    ASSERT_EQ(wav.result.getCode(), "EAOK");
    EXPECT_EQ(wav.sample->getRootNote(), 48);
    EXPECT_FLOAT_EQ(wav.sample->getChunks().acid.tempo, 120.0f);
    const Sample::Loop loop = wav.sample->getLoop();
    EXPECT_EQ(loop.mode, Sample::kLoopOff);
    EXPECT_EQ(loop.start, 3);
    EXPECT_EQ(loop.end, 5);

    const Loaded both = load(WavBuilder().format(1, 1, 44100, 8).chunk("acid", acid).sampler(72, 0).data({1}, 1));
    EXPECT_EQ(both.sample->getRootNote(), 72);
}

TEST(WavRead, CuePointsBecomeSlicesEndingBeforeTheNextPoint) {
    WavBuilder::Bytes audio(600, 0);
    const Loaded wav = load(WavBuilder().format(1, 1, 44100, 16).chunk("data", audio).cue({0, 100, 200}));
    ASSERT_EQ(wav.result.getCode(), "EAOK");
    ASSERT_EQ(wav.sample->getSliceCount(), 3);
    EXPECT_EQ(wav.sample->getSlice(0).start, 0);
    EXPECT_EQ(wav.sample->getSlice(0).end, 99);
    EXPECT_EQ(wav.sample->getSlice(1).end, 199);
    EXPECT_EQ(wav.sample->getSlice(2).start, 200);
    EXPECT_EQ(wav.sample->getSlice(2).end, 299);
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
    EXPECT_EQ(chunks.instrument.size, 7u);
    EXPECT_EQ(chunks.instrument.fineTune, -5);
    EXPECT_EQ(chunks.instrument.highNote, 100);
    EXPECT_EQ(chunks.label.cuePointId, 3u);
    EXPECT_EQ(chunks.label.text, "first");
}

TEST(WavRead, WithoutDataTheFileLoadsOnlyWhenNoDataIsAsked) {
    const WavBuilder wav = WavBuilder().format(1, 1, 44100, 16);
    const Loaded header = load(wav, false);
    EXPECT_EQ(header.result.getCode(), "EAOK");
    EXPECT_EQ(header.sample->getInfo().frames, 0);
    EXPECT_EQ(header.sample->getData(), nullptr);
    EXPECT_EQ(load(wav, true).result.getCode(), "EIFL");
}

TEST(WavRead, FilesItCannotDecodeAreLeftToTheNextReader) {
    const std::vector<WavBuilder> refused = {
        WavBuilder().format(1, 0, 44100, 16).data({1, 2}, 2),                           // no channels
        WavBuilder().format(1, 2, 44100, 16, 2).data({1, 2, 3, 4}, 2),                  // block below 2 x 2 bytes
        WavBuilder().format(1, 1, 44100, 16, 0).data({1, 2}, 2),                        // block align 0
        WavBuilder().format(2, 1, 44100, 4).data({1, 2}, 2),                            // ADPCM
        WavBuilder().format(3, 1, 44100, 64).data({0, 0, 0, 0}, 4),                     // 64-bit floats
        WavBuilder().format(1, 1, 44100, 40).data({0, 0, 0, 0, 0}, 1),                  // 5-byte integers
        WavBuilder().format(1, 1, 44100, 0).data({0, 0}, 1),                            // no bits
        WavBuilder().chunk("fmt ", {1, 0, 1, 0}).data({1, 2}, 2),                       // format cut short
        WavBuilder().data({1, 2}, 2),                                                   // no format
        WavBuilder().format(1, 2, 44100, 16).data({1}, 2),                              // less than one frame
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
    WavBuilder::Bytes cue = WavBuilder::words({0x7FFFFFFF, 1, 0, 0, 0, 0, 2, 2, 0, 0, 0, 0, 70000});  // offsets 2, 70000
    WavBuilder::Bytes playlist = WavBuilder::words({0xFFFFFFFF, 1, 2, 3});
    const Loaded wav = load(WavBuilder()
                                .format(1, 1, 44100, 8)
                                .chunk("smpl", sampler)
                                .chunk("cue ", cue)
                                .chunk("plst", playlist)
                                .data({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 1));
    ASSERT_EQ(wav.result.getCode(), "EAOK");
    const WavChunks& chunks = wav.sample->getChunks();
    EXPECT_EQ(chunks.sampler.loops.size(), 1u);
    EXPECT_EQ(chunks.cue.points.size(), 2u);
    EXPECT_EQ(chunks.playlist.segments.size(), 1u);
    const Sample::Loop loop = wav.sample->getLoop();
    EXPECT_EQ(loop.start, 5);
    EXPECT_EQ(loop.end, 9);
    ASSERT_EQ(wav.sample->getSliceCount(), 2);
    EXPECT_EQ(wav.sample->getSlice(0).start, 2);
    EXPECT_EQ(wav.sample->getSlice(0).end, 8);
    EXPECT_EQ(wav.sample->getSlice(1).start, 9);
    EXPECT_EQ(wav.sample->getSlice(1).end, 9);
}

TEST(WavRead, AChunkSizeReachingPastTheFileEndsTheChunkList) {
    const Loaded wav = load(WavBuilder()
                                .format(1, 1, 44100, 8)
                                .data({10, 20}, 1)
                                .chunk("smpl", WavBuilder::words({0, 0, 0, 61}), 0xFFFFFFF0));
    ASSERT_EQ(wav.result.getCode(), "EAOK");
    EXPECT_EQ(wav.sample->getInfo().frames, 2);
    // The cut-short sampler chunk is not taken.
    EXPECT_EQ(wav.sample->getRootNote(), 60);
}

} // namespace
