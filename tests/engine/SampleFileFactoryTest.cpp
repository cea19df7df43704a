#include "engine/SampleFiles.h"

#include "engine/Sample.h"
#include "engine/SampleREX.h"
#include "engine/SampleTestSupport.h"
#include "engine/SampleWav.h"
#include "engine/SampleWavpack.h"
#include "engine/WavPackTestFiles.h"
#include "engine/WavTestFiles.h"
#include "framework/File.h"
#include "framework/FileTestFolder.h"
#include "platform/Responder.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <optional>

using namespace trov;

namespace {

// Writes interleaved values through libsndfile as exact integers (each value a multiple of 2^-31), with an
// instrument chunk when given one.
bool writeSoundFile(const std::string& path, int format, int channels, int rate, const std::vector<float>& values,
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

SF_INSTRUMENT instrumentWithoutLoops(int baseNote) {
    SF_INSTRUMENT instrument{};
    instrument.basenote = static_cast<char>(baseNote);
    instrument.key_hi = 127;
    instrument.velocity_hi = 127;
    return instrument;
}

// A 16-bit mono AIFF file of 4000 frames at 44.1 kHz whose instrument chunk has a sustain loop over the
// markers at frames 1000 and 3000 (libsndfile does not write instrument chunks into AIFF files).
std::string aiffWithInstrument(int baseNote, int playMode) {
    std::string out;
    auto be = [](std::string& to, std::uint32_t value, int n) {
        for (int i = n - 1; i >= 0; --i)
            to.push_back(static_cast<char>(value >> (8 * i)));
    };
    auto chunk = [&](const char* id, const std::string& body) {
        out += id;
        be(out, static_cast<std::uint32_t>(body.size()), 4);
        out += body;
    };
    std::string comm;
    be(comm, 1, 2);
    be(comm, 4000, 4);
    be(comm, 16, 2);
    comm += std::string("\x40\x0E\xAC\x44\0\0\0\0\0\0", 10);
    std::string mark;
    be(mark, 2, 2);
    for (auto [id, position] : {std::pair<int, int>{1, 1000}, {2, 3000}}) {
        be(mark, static_cast<std::uint32_t>(id), 2);
        be(mark, static_cast<std::uint32_t>(position), 4);
        mark += std::string("\3beg", 4);
    }
    std::string inst;
    for (int byte : {baseNote, 0, 0, 127, 1, 127})
        be(inst, static_cast<std::uint32_t>(byte), 1);
    for (int word : {0, playMode, 1, 2, 0, 0, 0})
        be(inst, static_cast<std::uint32_t>(word), 2);
    std::string sound(8, '\0');
    for (int i = 0; i < 4000; ++i)
        be(sound, 0x1000, 2);
    out = "AIFF";
    chunk("COMM", comm);
    chunk("MARK", mark);
    chunk("INST", inst);
    chunk("SSND", sound);
    std::string form = "FORM";
    be(form, static_cast<std::uint32_t>(out.size()), 4);
    return form + out;
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
        EXPECT_EQ(info.frames, 1000) << c.name;
        EXPECT_EQ(info.channels, 1) << c.name;
        EXPECT_EQ(info.sampleRate, c.rate) << c.name;
        EXPECT_EQ(info.bitDepth, c.bitDepth) << c.name;
        EXPECT_EQ(sample->getEnd(), 999);
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
    EXPECT_EQ(on->getRootNote(), 48);
    EXPECT_EQ(on->getLoop().mode, Sample::kLoopOn);
    EXPECT_EQ(on->getLoop().start, 1000);
    EXPECT_EQ(on->getLoop().end, 3000);
    EXPECT_FLOAT_EQ(on->getData()[0], 0.125f);

    SharedObjectPtr<Sample> none = load(folder_.write("none.aif", aiffWithInstrument(50, 0)));
    ASSERT_TRUE(none);
    EXPECT_EQ(none->getRootNote(), 50);
    // libsndfile reports a loop that does not play as no loop at all: the loop stays off over the second half.
    EXPECT_EQ(none->getLoop().mode, Sample::kLoopOff);
    EXPECT_EQ(none->getLoop().start, 2000);
    EXPECT_EQ(none->getLoop().end, 3999);
}

TEST_F(SampleFileFactory, AnInstrumentChunkWithoutLoopsLeavesTheLoopOff) {
    // A 64-bit float WAV with a sampler chunk but no loops: the WAV reader leaves it to libsndfile.
    const std::vector<float> values = ramp(2000, 1);
    ASSERT_TRUE(writeSoundFile(folder_ / "noloop.wav", SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 1, 44100, values,
                               instrumentWithoutLoops(62)));
    SharedObjectPtr<Sample> sample = load(folder_ / "noloop.wav");
    ASSERT_TRUE(sample);
    EXPECT_EQ(dynamic_cast<SampleWav*>(sample.get()), nullptr);
    EXPECT_EQ(sample->getLoop().mode, Sample::kLoopOff);
    EXPECT_EQ(sample->getLoop().start, 1000);
    EXPECT_EQ(sample->getLoop().end, 1999);
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
    EXPECT_EQ(ulaw->getInfo().frames, 600);
    EXPECT_EQ(ulaw->getInfo().sampleRate, 8000);
    EXPECT_TRUE(responder_.questions().empty());
}

TEST_F(SampleFileFactory, WavPackFilesLoadAfterTheOtherReadersQuietlyRefuseThem) {
    test::WavPackFile stereo;
    stereo.channels = 2;
    stereo.sampleRate = 32000;
    for (int i = 0; i < 3000; ++i) {
        stereo.values.push_back(16384);
        stereo.values.push_back(i % 2 == 0 ? -8192 : 8192);
    }
    ASSERT_TRUE(stereo.write(folder_ / "loop.wv"));
    SharedObjectPtr<Sample> sample = load(folder_ / "loop.wv");
    ASSERT_TRUE(sample);
    EXPECT_NE(dynamic_cast<SampleWavpack*>(sample.get()), nullptr);
    const SampleInfo info = sample->getInfo();
    EXPECT_EQ(info.frames, 3000);
    EXPECT_EQ(info.sampleRate, 32000);
    EXPECT_EQ(info.bitDepth, 16);
    EXPECT_EQ(info.channels, 1);
    EXPECT_FLOAT_EQ(info.data[0], 0.125f);
    EXPECT_FLOAT_EQ(info.data[1], 0.375f);
    EXPECT_EQ(sample->getLoop().end, 2999);
    EXPECT_TRUE(test::holdsGuard(*sample));
    EXPECT_TRUE(responder_.questions().empty());
}

TEST_F(SampleFileFactory, WavPackFloatAndTwentyFourBitFilesDecodeToTheirValues) {
    test::WavPackFile wide;
    wide.bytesPerSample = 3;
    wide.values = {-8388608, 4194304, 8388607, 0};
    ASSERT_TRUE(wide.write(folder_ / "wide.wv"));
    SampleWavpack wideSample;
    ASSERT_EQ(wideSample.load(File(folder_ / "wide.wv"), true).getCode(), "EAOK");
    EXPECT_EQ(test::valuesOf(wideSample), (std::vector<float>{-1.0f, 0.5f, 8388607.0f / 8388608.0f, 0.0f}));
    EXPECT_EQ(wideSample.getInfo().bitDepth, 24);

    test::WavPackFile floats;
    floats.bytesPerSample = 4;
    floats.isFloat = true;
    for (float v : {0.25f, -1.5f, 0.0f}) {
        std::int32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        floats.values.push_back(bits);
    }
    ASSERT_TRUE(floats.write(folder_ / "floats.wv"));
    SampleWavpack floatSample;
    ASSERT_EQ(floatSample.load(File(folder_ / "floats.wv"), true).getCode(), "EAOK");
    EXPECT_EQ(test::valuesOf(floatSample), (std::vector<float>{0.25f, -1.5f, 0.0f}));
}

TEST_F(SampleFileFactory, WavPackReadsMultichannelFilesAsTheirFirstTwoChannelsAndUnknownLengthsWhole) {
    test::WavPackFile quad;
    quad.channels = 4;
    quad.unknownLength = true;
    const int frames = 50000;
    for (int i = 0; i < frames; ++i)
        for (std::int32_t v : {16384, 8192, -32768, -32768})
            quad.values.push_back(v);
    ASSERT_TRUE(quad.write(folder_ / "quad.wv"));
    SampleWavpack sample;
    ASSERT_EQ(sample.load(File(folder_ / "quad.wv"), true).getCode(), "EAOK");
    const SampleInfo info = sample.getInfo();
    ASSERT_EQ(info.frames, frames);
    EXPECT_FLOAT_EQ(info.data[0], 0.375f);
    EXPECT_FLOAT_EQ(info.data[frames - 1], 0.375f);
}

TEST_F(SampleFileFactory, WithoutLoadDataASampleHasItsFormatButNoDataSettingsOrSlices) {
    const std::vector<float> values = ramp(9000, 1);
    ASSERT_TRUE(writeSoundFile(folder_ / "marked.aif", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 1, 44100, values));
    std::ofstream(folder_ / "marked.mrk") << "Pos=0\nPos=3000\n";

    SharedObjectPtr<Sample> header = load(folder_ / "marked.aif", false);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->getInfo().frames, 9000);
    EXPECT_EQ(header->getData(), nullptr);
    EXPECT_EQ(header->getSliceCount(), 0);

    SharedObjectPtr<Sample> full = load(folder_ / "marked.aif", true);
    ASSERT_TRUE(full);
    ASSERT_EQ(full->getSliceCount(), 2);
    EXPECT_EQ(full->getSlice(1).start, 3000);
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
    for (const char* name : {"a.wav", "b.WAV", "c.aif", "d.aifc", "e.aiff", "f.au", "g.snd", "h.rex", "i.rx2",
                             "j.rcy", "k.wv"})
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
