#include "engine/SampleFiles.h"

#include "engine/Sample.h"
#include "engine/SampleREX.h"
#include "engine/SampleWav.h"
#include "engine/SampleWavpack.h"
#include "framework/File.h"
#include "platform/Responder.h"
#include "support/FileTestFolder.h"
#include "support/SampleTestSupport.h"
#include "support/ScopedProduct.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <wavpack/wavpack.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <tuple>

using namespace trov;
using test::loopOf;

namespace {

// Encodes a WavPack file with the library's encoder: values interleaved, right-justified integers (or
// float bit patterns). With an unknown length the file does not say how many frames it holds.
struct WavPackFile {
    int channels = 1;
    int bytesPerSample = 2;
    int sampleRate = 44100;
    bool isFloat = false;
    bool unknownLength = false;
    std::vector<std::int32_t> values{};

    bool write(const std::string& path) const {
        std::FILE* out = std::fopen(path.c_str(), "wb");
        if (out == nullptr)
            return false;
        WavpackContext* context = WavpackOpenFileOutput(
            [](void* id, void* data, std::int32_t count) {
                return static_cast<int>(
                    std::fwrite(data, 1, static_cast<std::size_t>(count), static_cast<std::FILE*>(id)) ==
                    static_cast<std::size_t>(count));
            },
            out, nullptr);
        WavpackConfig config{};
        config.bytes_per_sample = bytesPerSample;
        config.bits_per_sample = bytesPerSample * 8;
        config.num_channels = channels;
        config.channel_mask = channels == 1 ? 4 : (1 << channels) - 1;
        config.sample_rate = sampleRate;
        config.float_norm_exp = isFloat ? 127 : 0;
        const std::int64_t frames = static_cast<std::int64_t>(values.size()) / channels;
        std::vector<std::int32_t> copy = values;
        const bool ok = WavpackSetConfiguration64(context, &config, unknownLength ? -1 : frames, nullptr) &&
                        WavpackPackInit(context) &&
                        WavpackPackSamples(context, copy.data(), static_cast<std::uint32_t>(frames)) &&
                        WavpackFlushSamples(context);
        WavpackCloseFile(context);
        std::fclose(out);
        return ok;
    }
};

// Writes interleaved values through libsndfile as exact integers (each value a multiple of 2^-31), with an
// instrument chunk when given one.
bool writeSoundFile(const std::string& path, int format, int channels, int rate,
                    const std::vector<float>& values,
                    std::optional<SF_INSTRUMENT> instrument = std::nullopt) {
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr)
        return false;
    if (instrument)
        sf_command(file, SFC_SET_INSTRUMENT, &*instrument, sizeof *instrument);
    std::vector<int> words;
    for (float v : values)
        words.push_back(static_cast<int>(std::lround(static_cast<double>(v) * 2147483648.0)));
    const sf_count_t frames = static_cast<sf_count_t>(values.size()) / channels;
    const bool ok = sf_writef_int(file, words.data(), frames) == frames;
    return sf_close(file) == 0 && ok;
}

// Big-endian fields of the given byte widths.
std::string bigEndian(std::initializer_list<std::pair<std::size_t, int>> fields) {
    std::string out;
    for (const auto& [value, width] : fields)
        for (int i = width - 1; i >= 0; --i)
            out.push_back(static_cast<char>(value >> (8 * i)));
    return out;
}

// A 16-bit mono AIFF file of 4000 frames at 44.1 kHz whose instrument chunk has a sustain loop over the
// markers at frames 1000 and 3000 (libsndfile does not write instrument chunks into AIFF files).
std::string aiffWithInstrument(std::size_t baseNote, std::size_t playMode) {
    auto chunk = [](const char* id, const std::string& body) {
        return id + bigEndian({{body.size(), 4}}) + body;
    };
    const std::string comm =
        bigEndian({{1, 2}, {4000, 4}, {16, 2}}) + std::string("\x40\x0E\xAC\x44\0\0\0\0\0\0", 10);
    const std::string mark =
        bigEndian({{2, 2}, {1, 2}, {1000, 4}}) + "\3beg" + bigEndian({{2, 2}, {3000, 4}}) + "\3beg";
    const std::string inst = bigEndian({{baseNote, 1},
                                        {0, 1},
                                        {0, 1},
                                        {127, 1},
                                        {1, 1},
                                        {127, 1},
                                        {0, 2},
                                        {playMode, 2},
                                        {1, 2},
                                        {2, 2},
                                        {0, 2},
                                        {0, 2},
                                        {0, 2}});
    std::string sound(8, '\0');
    for (int i = 0; i < 4000; ++i)
        sound += bigEndian({{0x1000, 2}});
    const std::string form =
        "AIFF" + chunk("COMM", comm) + chunk("MARK", mark) + chunk("INST", inst) + chunk("SSND", sound);
    return "FORM" + bigEndian({{form.size(), 4}}) + form;
}

class SampleFileFactory : public testing::Test {
protected:
    SampleFileFactory() : scoped_(responder_) {}

    SharedObjectPtr<Sample> load(const std::string& path, bool loadData = true) {
        return SharedObjectPtr<Sample>(loadSampleFile(nullptr, File(path), loadData));
    }
    std::vector<float> ramp(int frames, int channels) {
        std::vector<float> values;
        for (int i = 0; i < frames * channels; ++i)
            values.push_back(static_cast<float>((i * 37) % 200 - 100) / 128.0f);
        return values;
    }

    test::FileTestFolder folder_;
    test::ScopedProduct product_;
    platform::ScriptedResponder responder_;
    platform::ScopedResponder scoped_;
};

TEST_F(SampleFileFactory, AiffAndAuFilesLoadWithTheirFramesRateAndBitDepth) {
    struct Case {
        const char* name;
        int format;
        int channels;
        int rate;
        int bitDepth;
    };
    for (const Case& c : {Case{"a.aif", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 2, 22050, 16},
                          Case{"b.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_S8, 1, 8000, 8},
                          Case{"c.au", SF_FORMAT_AU | SF_FORMAT_PCM_24, 1, 48000, 24},
                          Case{"d.snd", SF_FORMAT_AU | SF_FORMAT_PCM_32, 2, 96000, 32}}) {
        const std::vector<float> values = ramp(1000, c.channels);
        ASSERT_TRUE(writeSoundFile(folder_ / c.name, c.format, c.channels, c.rate, values)) << c.name;
        SharedObjectPtr<Sample> sample = load(folder_ / c.name);
        ASSERT_TRUE(sample) << c.name;
        EXPECT_EQ(dynamic_cast<SampleWav*>(sample.get()), nullptr);
        const SampleInfo info = sample->getInfo();
        EXPECT_EQ(std::tuple(info.frames, info.channels, info.sampleRate, info.bitDepth, sample->getEnd()),
                  std::tuple(1000, 1, c.rate, c.bitDepth, 999))
            << c.name;
        EXPECT_TRUE(test::holdsGuard(*sample));
        // Each value is exact at 8 bits and up; stereo is the average of both channels.
        const float expected = c.channels == 1 ? values[10] : (values[20] + values[21]) / 2;
        EXPECT_FLOAT_EQ(info.data[10], expected) << c.name;
    }
    EXPECT_TRUE(responder_.questions().empty());
}

TEST_F(SampleFileFactory, AiffInstrumentChunkGivesRootNoteAndLoopAndModeNoneKeepsTheLoopOff) {
    SharedObjectPtr<Sample> on = load(folder_.write("on.aif", aiffWithInstrument(48, 1)));
    ASSERT_TRUE(on);
    EXPECT_EQ(std::pair(on->getRootNote(), on->getData()[0]), std::pair(48, 0.125f));
    EXPECT_EQ(loopOf(*on), std::tuple(Sample::kLoopOn, 1000, 3000));

    SharedObjectPtr<Sample> none = load(folder_.write("none.aif", aiffWithInstrument(50, 0)));
    ASSERT_TRUE(none);
    EXPECT_EQ(none->getRootNote(), 50);
    // libsndfile reports a loop that does not play as no loop at all: the loop stays off over the second
    // half.
    EXPECT_EQ(loopOf(*none), std::tuple(Sample::kLoopOff, 2000, 3999));
}

TEST_F(SampleFileFactory, AnInstrumentChunkWithoutLoopsLeavesTheLoopOff) {
    // A 64-bit float WAV with a sampler chunk but no loops: the WAV reader leaves it to libsndfile.
    const std::vector<float> values = ramp(2000, 1);
    SF_INSTRUMENT instrument{};
    instrument.basenote = 62;
    instrument.key_hi = instrument.velocity_hi = 127;
    ASSERT_TRUE(writeSoundFile(folder_ / "noloop.wav", SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 1, 44100, values,
                               instrument));
    SharedObjectPtr<Sample> sample = load(folder_ / "noloop.wav");
    ASSERT_TRUE(sample);
    EXPECT_EQ(dynamic_cast<SampleWav*>(sample.get()), nullptr);
    EXPECT_EQ(loopOf(*sample), std::tuple(Sample::kLoopOff, 1000, 1999));
}

TEST_F(SampleFileFactory, WavFilesGoToTheWavReaderAndUnusualCodingsToLibsndfile) {
    test::EditableWav written(ramp(600, 1), 24);
    File plain(folder_ / "plain.wav");
    ASSERT_EQ(written.save(plain).getCode(), "EAOK");
    SharedObjectPtr<Sample> wav = load(plain.getPath());
    ASSERT_TRUE(wav);
    EXPECT_NE(dynamic_cast<SampleWav*>(wav.get()), nullptr);
    EXPECT_EQ(wav->getInfo().bitDepth, 24);

    const std::vector<float> values = ramp(600, 1);
    ASSERT_TRUE(writeSoundFile(folder_ / "ulaw.wav", SF_FORMAT_WAV | SF_FORMAT_ULAW, 1, 8000, values));
    SharedObjectPtr<Sample> ulaw = load(folder_ / "ulaw.wav");
    ASSERT_TRUE(ulaw);
    EXPECT_EQ(dynamic_cast<SampleWav*>(ulaw.get()), nullptr);
    EXPECT_EQ(std::pair(ulaw->getInfo().frames, ulaw->getInfo().sampleRate), std::pair(600, 8000));
    EXPECT_TRUE(responder_.questions().empty());
}

TEST_F(SampleFileFactory, WavPackFilesLoadAfterTheOtherReadersQuietlyRefuseThem) {
    WavPackFile stereo{.channels = 2, .sampleRate = 32000};
    for (int i = 0; i < 3000; ++i)
        stereo.values.insert(stereo.values.end(), {16384, i % 2 == 0 ? -8192 : 8192});
    ASSERT_TRUE(stereo.write(folder_ / "loop.wv"));
    SharedObjectPtr<Sample> sample = load(folder_ / "loop.wv");
    ASSERT_TRUE(sample);
    EXPECT_NE(dynamic_cast<SampleWavpack*>(sample.get()), nullptr);
    const SampleInfo info = sample->getInfo();
    EXPECT_EQ(std::tuple(info.frames, info.sampleRate, info.bitDepth, info.channels, sample->getLoop().end),
              std::tuple(3000, 32000, 16, 1, 2999));
    EXPECT_EQ(std::pair(info.data[0], info.data[1]), std::pair(0.125f, 0.375f));
    EXPECT_TRUE(test::holdsGuard(*sample));
    EXPECT_TRUE(responder_.questions().empty());
}

TEST_F(SampleFileFactory, WavPackDecodesWideFloatAndMultichannelFilesOfUnknownLength) {
    auto decoded = [&](const WavPackFile& file) {
        SampleWavpack sample;
        EXPECT_TRUE(file.write(folder_ / "file.wv"));
        EXPECT_EQ(sample.load(File(folder_ / "file.wv"), true).getCode(), "EAOK");
        return std::pair(test::valuesOf(sample), sample.getInfo().bitDepth);
    };
    EXPECT_EQ(decoded({.bytesPerSample = 3, .values = {-8388608, 4194304, 8388607, 0}}),
              std::pair(std::vector<float>{-1.0f, 0.5f, 8388607.0f / 8388608.0f, 0.0f}, 24));
    WavPackFile floats{.bytesPerSample = 4, .isFloat = true};
    for (float v : {0.25f, -1.5f, 0.0f})
        floats.values.push_back(static_cast<std::int32_t>(test::bitsOf(v)));
    EXPECT_EQ(decoded(floats).first, (std::vector<float>{0.25f, -1.5f, 0.0f}));

    // The first two of four channels, in pieces, without a length in the header.
    WavPackFile quad{.channels = 4, .unknownLength = true};
    for (int i = 0; i < 50000; ++i)
        quad.values.insert(quad.values.end(), {16384, 8192, -32768, -32768});
    EXPECT_EQ(decoded(quad).first, std::vector<float>(50000, 0.375f));
}

TEST_F(SampleFileFactory, WithoutLoadDataASampleHasItsFormatButNoDataSettingsOrSlices) {
    const std::vector<float> values = ramp(9000, 1);
    ASSERT_TRUE(writeSoundFile(folder_ / "marked.aif", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 1, 44100, values));
    std::ofstream(folder_ / "marked.mrk") << "Pos=0\nPos=3000\n";

    SharedObjectPtr<Sample> header = load(folder_ / "marked.aif", false);
    ASSERT_TRUE(header);
    EXPECT_EQ(std::tuple(header->getInfo().frames, header->getData(), header->getSliceCount()),
              std::tuple(9000, static_cast<float*>(nullptr), 0));
    SharedObjectPtr<Sample> full = load(folder_ / "marked.aif", true);
    ASSERT_TRUE(full);
    EXPECT_EQ(test::slicesOf(*full), (test::Slices{{0, 2999}, {3000, 8998}}));
}

TEST_F(SampleFileFactory, FilesNoReaderTakesGiveNullWithoutTellingTheUser) {
    std::ofstream(folder_ / "text.wav") << "this is not audio at all";
    std::ofstream(folder_ / "empty.wv");
    EXPECT_FALSE(load(folder_ / "text.wav"));
    EXPECT_FALSE(load(folder_ / "empty.wv"));
    EXPECT_FALSE(load(folder_ / "missing.wav"));
    EXPECT_TRUE(responder_.questions().empty());
}

TEST_F(SampleFileFactory, ExtensionsAnyReaderTakesAreLoadable) {
    for (const char* name :
         {"a.wav", "b.WAV", "c.aif", "d.aifc", "e.aiff", "f.au", "g.snd", "h.rex", "i.rx2", "j.rcy", "k.wv"})
        EXPECT_TRUE(canLoadSampleFile(File(name))) << name;
    for (const char* name : {"a.txt", "b", "c.wvx", "d.w", "e.mp3"})
        EXPECT_FALSE(canLoadSampleFile(File(name))) << name;
}

TEST_F(SampleFileFactory, TheSoundFileWriterWritesFloatWavThatReadsBackExactly) {
    const std::vector<float> values = {0.1f, -0.7f, 1.25f, 0.0f};
    const SharedObjectPtr<Sample> sample = test::makeSample(values);
    File file(folder_ / "float.wav");
    ASSERT_EQ(sample->save(file).getCode(), "EAOK");
    SharedObjectPtr<Sample> back = load(file.getPath());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->getInfo().bitDepth, 32);
    EXPECT_EQ(test::valuesOf(*back), values);
    File nowhere(folder_ / "no/such/folder.wav");
    EXPECT_EQ(sample->save(nowhere).getCode(), "EXFL");
}

} // namespace
