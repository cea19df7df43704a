#include "engine/samples/SampleWav.h"

#include "framework/File.h"
#include "support/CountingStream.h"
#include "support/FileTestFolder.h"
#include "support/PeakMemory.h"
#include "support/SampleTestSupport.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <sstream>
#include <tuple>

using namespace trov;
using test::EditableWav;
using test::loopOf;
using test::slicesOf;

namespace {

// Appends bytes.
std::vector<std::uint8_t>& operator+=(std::vector<std::uint8_t>& to, const std::vector<std::uint8_t>& more) {
    to.insert(to.end(), more.begin(), more.end());
    return to;
}

// Builds RIFF/WAVE files byte by byte, so tests control every field, size and pad byte.
class WavBuilder {
public:
    using Bytes = std::vector<std::uint8_t>;

    WavBuilder() : bytes_{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'} {}

    // Little-endian fields of the given byte widths.
    static Bytes fields(std::initializer_list<std::pair<std::uint32_t, int>> values) {
        Bytes out;
        for (const auto& [value, width] : values)
            for (int i = 0; i < width; ++i)
                out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
        return out;
    }
    static Bytes words(std::initializer_list<std::uint32_t> values) {
        Bytes out;
        for (std::uint32_t v : values)
            out += fields({{v, 4}});
        return out;
    }

    // A chunk with its declared size (the body's by default) and a pad byte after an odd body.
    WavBuilder& chunk(const char* id, const Bytes& body, std::int64_t declaredSize = -1) {
        for (int i = 0; i < 4; ++i)
            bytes_.push_back(static_cast<std::uint8_t>(id[i]));
        bytes_ += fields(
            {{static_cast<std::uint32_t>(declaredSize >= 0 ? declaredSize : std::int64_t(body.size())), 4}});
        bytes_ += body;
        if (body.size() % 2 != 0)
            bytes_.push_back(0);
        return *this;
    }
    WavBuilder& format(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                       int blockAlign = -1) {
        const std::uint32_t align = blockAlign >= 0 ? blockAlign : channels * ((bits + 7) / 8);
        return chunk("fmt ",
                     fields({{tag, 2}, {channels, 2}, {rate, 4}, {rate * align, 4}, {align, 2}, {bits, 2}}));
    }
    // Values as n-byte little-endian words.
    WavBuilder& data(std::initializer_list<std::uint32_t> values, int bytesPerValue) {
        Bytes body;
        for (std::uint32_t v : values)
            body += fields({{v, bytesPerValue}});
        return chunk("data", body);
    }
    WavBuilder& floats(std::initializer_list<float> values) {
        Bytes body;
        for (float v : values)
            body += words({std::bit_cast<std::uint32_t>(v)});
        return chunk("data", body);
    }
    WavBuilder& sampler(std::uint32_t unityNote, std::uint32_t pitchFraction,
                        std::initializer_list<std::pair<std::uint32_t, std::uint32_t>> loops = {}) {
        Bytes body = words({0, 0, 22675, unityNote, pitchFraction, 0, 0, std::uint32_t(loops.size()), 0});
        for (const auto& loop : loops)
            body += words({7, 0, loop.first, loop.second, 0, 0});
        return chunk("smpl", body);
    }
    WavBuilder& cue(std::initializer_list<std::uint32_t> offsets) {
        Bytes body = words({static_cast<std::uint32_t>(offsets.size())});
        std::uint32_t id = 1;
        for (std::uint32_t offset : offsets)
            body += words({id++, offset, 0x61746164, 0, 0, offset});
        return chunk("cue ", body);
    }

    Bytes bytes() const {
        Bytes out = bytes_;
        const Bytes size = fields({{static_cast<std::uint32_t>(out.size() - 8), 4}});
        std::copy(size.begin(), size.end(), out.begin() + 4);
        return out;
    }
    std::string str() const {
        const Bytes out = bytes();
        return std::string(out.begin(), out.end());
    }

private:
    Bytes bytes_;
};

std::uint32_t readU32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    std::uint32_t value;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

std::vector<std::uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

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

std::vector<float> valuesOf(const Loaded& loaded) {
    return test::valuesOf(*loaded.sample);
}

WavBuilder::Bytes extensibleFormat(std::uint16_t coding, std::uint16_t channels, std::uint16_t bits) {
    const std::uint32_t align = channels * (bits / 8);
    WavBuilder::Bytes body = WavBuilder::fields({{0xFFFE, 2},
                                                 {channels, 2},
                                                 {48000, 4},
                                                 {48000u * align, 4},
                                                 {align, 2},
                                                 {bits, 2},
                                                 {22, 2},
                                                 {bits, 2},
                                                 {3, 4},
                                                 {coding, 2}});
    return body += {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x38, 0x9B, 0x71, 0x00};
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
        const std::uint32_t rate = readU32(file.bytes(), 24), bits = readU32(file.bytes(), 32) >> 16;
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

    std::istringstream notRiff(std::string("RIFX\0\0\0\0WAVE", 12));
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

// A data chunk declaring more frames than a sample holds used to be read whole (a gigabyte, for seconds)
// before it was refused: its declared size decides first, whatever the file really holds.
TEST(WavRead, ADataChunkDeclaringMoreFramesThanASampleHoldsIsRefusedBeforeAnyOfItIsRead) {
    const std::uint32_t limit = static_cast<std::uint32_t>(Sample::kMaxDataValues);
    // 16-bit mono: a gigabyte declares 2^29 frames, one more than the limit leaves room for.
    WavBuilder huge = WavBuilder().format(1, 1, 44100, 16);
    huge.chunk("data", {0, 0x40, 0, 0xC0}, 2 * limit);
    for (const bool loadData : {false, true}) {
        const Loaded refused = load(huge, loadData);
        EXPECT_EQ(refused.result.getCode(), "EGEN") << loadData;
        EXPECT_NE(refused.result.getMessage().find("too large"), std::string::npos) << loadData;
        EXPECT_NE(refused.result.getMessage().find(std::to_string(limit) + " frames"), std::string::npos)
            << refused.result.getMessage();
        EXPECT_EQ(refused.sample->getData(), nullptr);
    }
    // Declaring the most a sample holds, the file is read as far as it goes.
    WavBuilder largest = WavBuilder().format(1, 1, 44100, 16);
    largest.chunk("data", {0, 0x40, 0, 0xC0}, 2 * (limit - 1));
    EXPECT_EQ(valuesOf(load(largest)), (std::vector<float>{0.5f, -0.5f}));
}

// Zeros after the header read as empty chunks of 8 bytes each: they are read through blocks, not with a seek
// and a read for each, so refusing such a file costs about what reading it once does; chunks after them, some
// across the blocks' ends, count as before.
TEST(WavRead, AFileOfZerosIsRefusedReadingItInBlocksNotChunkByChunkAndChunksAfterZerosStillCount) {
    // An odd chunk first, so that later headers lie across the ends of blocks.
    const std::string zeros = WavBuilder().chunk("JUNK", {1, 2, 3, 4, 5}).str() + std::string(1 << 20, '\0');
    const std::string chunks = WavBuilder().format(1, 1, 44100, 8).data({0x40, 0xC0}, 1).str().substr(12);
    for (const std::string& bytes : {zeros, zeros + chunks}) {
        test::CountingBuffer buffer(bytes);
        std::istream in(&buffer);
        SampleWav sample;
        const Error result = sample.loadStream(in, true);
        EXPECT_EQ(result.getMessage().find("it has no complete format chunk") != std::string::npos,
                  bytes == zeros)
            << result.getMessage();
        const std::vector<float> values =
            bytes == zeros ? std::vector<float>() : std::vector<float>{-0.5f, 0.5f};
        EXPECT_EQ(test::valuesOf(sample), values);
        EXPECT_LE(buffer.calls, 8 + 2 * static_cast<int>(bytes.size() / 4096)) << "calls on the stream";
    }
}

TEST(WavRead, ManyChannelsAreMixedDownInPiecesBoundedByTheFramesPresent) {
    // One frame of 65535 eight-bit channels: 64 KiB of file, alternately full scale up and down.
    WavBuilder::Bytes frame(65535);
    for (std::size_t c = 0; c < frame.size(); ++c)
        frame[c] = c % 2 == 0 ? 0x00 : 0xFF;
    WavBuilder wav = WavBuilder().format(1, 65535, 8000, 8);
    wav.chunk("data", frame);
    Loaded loaded;
    EXPECT_LT(test::peakGrowth([&] { loaded = load(wav); }), std::int64_t{64} << 20);
    ASSERT_TRUE(loaded.result.ok());
    ASSERT_EQ(loaded.sample->getInfo().frames, 1);
    // 32768 values of -1 and 32767 of 127/128, each scaled before the sum.
    EXPECT_NEAR(loaded.sample->getData()[0], (32767.0 * 127.0 / 128.0 - 32768.0) / 65535.0, 1e-5);
    EXPECT_TRUE(test::holdsGuard(*loaded.sample));
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

using Words = std::vector<std::uint32_t>;

class WavWrite : public testing::Test {
protected:
    // Saves the sample and gives the file's bytes.
    std::vector<std::uint8_t> write(const Sample& sample) {
        File file(folder_ / "out.wav");
        EXPECT_EQ(sample.save(file).getCode(), "EAOK");
        return fileBytes(file.getPath());
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
    return std::string(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                       bytes.begin() + static_cast<std::ptrdiff_t>(at + 4));
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
    for (auto [id, size] : {std::pair<const char*, std::uint32_t>{"fmt ", 16},
                            {"data", 8},
                            {"smpl", 60},
                            {"cue ", 76},
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
        EXPECT_EQ(std::pair(readU32(bytes, 20) & 0xFFFF, readU32(bytes, 32) >> 16), std::pair(3u, 32u))
            << bits;
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
