#include "engine/samples/SampleFiles.h"

#include "engine/samples/Sample.h"
#include "engine/samples/SampleREX.h"
#include "engine/samples/SampleWav.h"
#include "engine/samples/SampleWavpack.h"
#include "framework/Dictionary.h"
#include "framework/File.h"
#include "platform/Responder.h"
#include "support/FileTestFolder.h"
#include "support/LogCapture.h"
#include "support/PeakMemory.h"
#include "support/PipeTestSupport.h"
#include "support/SampleFileBytes.h"
#include "support/SampleTestSupport.h"
#include "support/ScopedProduct.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <wavpack/wavpack.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <optional>
#include <tuple>

using namespace trov;
using test::loopOf;
using test::writeWavPack;

namespace {

// A WavPack file of values interleaved, right-justified integers (or float bit patterns). With an unknown
// length the file does not say how many frames it holds.
struct WavPackFile {
    int channels = 1;
    int bytesPerSample = 2;
    int sampleRate = 44100;
    bool isFloat = false;
    bool unknownLength = false;
    std::vector<std::int32_t> values{};
    // The length the header gives instead of the real one (when above 0).
    std::int64_t claimedFrames = 0;

    bool write(const std::string& path) const {
        WavpackConfig config{};
        config.bytes_per_sample = bytesPerSample;
        config.num_channels = channels;
        config.sample_rate = sampleRate;
        config.float_norm_exp = isFloat ? 127 : 0;
        const std::int64_t frames = static_cast<std::int64_t>(values.size()) / channels;
        std::vector<std::int32_t> copy = values;
        return writeWavPack(path, config,
                            unknownLength       ? -1
                            : claimedFrames > 0 ? claimedFrames
                                                : frames,
                            [&](WavpackContext* context) {
                                return WavpackPackSamples(context, copy.data(),
                                                          static_cast<std::uint32_t>(frames)) != 0;
                            });
    }
};

// Writes frames of 8-bit mono noise, which does not compress, in pieces: the writing itself costs little
// memory.
bool writeNoiseWavPack(const std::string& path, int frames) {
    WavpackConfig config{};
    config.bytes_per_sample = 1;
    config.num_channels = 1;
    config.sample_rate = 44100;
    return writeWavPack(path, config, frames, [&](WavpackContext* context) {
        std::vector<std::int32_t> piece(4096);
        std::uint32_t state = 1;
        for (int done = 0; done < frames; done += 4096) {
            for (std::int32_t& value : piece) {
                state = state * 1664525u + 1013904223u;
                value = static_cast<std::int32_t>(state >> 24) - 128;
            }
            if (!WavpackPackSamples(context, piece.data(),
                                    static_cast<std::uint32_t>(std::min(4096, frames - done))))
                return false;
        }
        return true;
    });
}

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

// Writes mono float values through libsndfile as they are, whatever they are.
bool writeFloatSoundFile(const std::string& path, int format, const std::vector<float>& values) {
    SF_INFO info{};
    info.channels = 1;
    info.samplerate = 44100;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr)
        return false;
    const sf_count_t frames = static_cast<sf_count_t>(values.size());
    const bool ok = sf_writef_float(file, values.data(), frames) == frames;
    return sf_close(file) == 0 && ok;
}

using test::aiffForm;
using test::aiffInstrument;
using test::aiffSound16;
using test::bigEndianFields;
using test::iffChunk;
using test::iffForm;

// A 16-bit mono AIFF file of 4000 frames at 44.1 kHz whose instrument chunk has a sustain loop over the
// markers at frames 1000 and 3000 (libsndfile does not write instrument chunks into AIFF files).
std::string aiffWithInstrument(std::uint8_t baseNote, std::uint16_t playMode) {
    const std::string mark = bigEndianFields({{2, 2}, {1, 2}, {1000, 4}}) + "\3beg" +
                             bigEndianFields({{2, 2}, {3000, 4}}) + "\3beg";
    return aiffForm(aiffSound16(std::vector<std::int16_t>(4000, 0x1000)) + iffChunk("MARK", mark) +
                    aiffInstrument(1, 2, baseNote, playMode));
}

// The plain and WavPack samples with their buffer's size in view.
template <typename Base> class Held : public Base {
public:
    using Base::getDataCapacity;
};

constexpr std::int64_t kMiB = 1 << 20;

// A 12-bit DWVW AIFC file whose COMM chunk claims the given frames over a few bytes of sound: libsndfile
// believes the count of this coding.
std::string dwvwClaiming(std::size_t frames) {
    const std::string comm = bigEndianFields({{1, 2}, {frames, 4}, {12, 2}}) +
                             std::string("\x40\x0B\xFA\0\0\0\0\0\0\0", 10) + "DWVW" + std::string(2, '\0');
    return iffForm("AIFC", iffChunk("FVER", bigEndianFields({{0xA2805140, 4}})) + iffChunk("COMM", comm) +
                               iffChunk("SSND", std::string(8, '\0') + std::string(34, '\x55')));
}

// A 16-bit mono AIFF of the given frames followed by an application chunk of padding bytes, so that the
// file's length suggests far more frames than it has.
std::string aiffWithTrailer(std::size_t frames, std::size_t padding) {
    return aiffForm(aiffSound16(std::vector<std::int16_t>(frames, 0x2000)) +
                    iffChunk("APPL", std::string(padding, '\0')));
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

TEST_F(SampleFileFactory, FilesNoReaderTakesGiveNullAndAnErrorLineNamingTheFile) {
    test::LogCapture log;
    std::ofstream(folder_ / "text.wav") << "this is not audio at all";
    std::ofstream(folder_ / "empty.wv").close();
    EXPECT_FALSE(load(folder_ / "text.wav"));
    EXPECT_FALSE(load(folder_ / "empty.wv"));
    EXPECT_FALSE(load(folder_ / "missing.wav"));
    EXPECT_EQ(log.count("unsupported or damaged sample file " + folder_ / "text.wav"), 1);
    EXPECT_EQ(log.count("unsupported or damaged sample file " + folder_ / "empty.wv"), 1);
    EXPECT_EQ(log.count(folder_ / "missing.wav"), 1);
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

TEST_F(SampleFileFactory, AHeaderClaimingHalfABillionFramesCostsOnlyWhatTheFileHolds) {
    const std::string path = folder_.write("claim.aifc", dwvwClaiming(500000000));
    Held<Sample> sample;
    Error result = NoError();
    EXPECT_LT(test::peakGrowth([&] { result = sample.load(File(path), true); }), 64 * kMiB);
    // The sound chunk decodes to nothing here: refused as corrupt, holding nothing.
    EXPECT_TRUE(result.failed());
    EXPECT_EQ(std::tuple(sample.getInfo().frames, sample.getData(), sample.getDataCapacity()),
              std::tuple(0, static_cast<float*>(nullptr), std::size_t{0}));
}

TEST_F(SampleFileFactory, SoundFilesKeepOnlyTheFramesTheyHoldWhateverTheirLengthSuggests) {
    Held<Sample> padded;
    ASSERT_TRUE(padded.load(File(folder_.write("padded.aif", aiffWithTrailer(25, 40000))), true).ok());
    EXPECT_EQ(std::pair(padded.getInfo().frames, padded.getDataCapacity()), std::pair(25, std::size_t{26}));
    EXPECT_EQ(padded.getData()[24], 0.25f);
    EXPECT_TRUE(test::holdsGuard(padded));

    // Compressed codings hold more frames than bytes: the buffer grows as they arrive.
    for (int format : {SF_FORMAT_WAV | SF_FORMAT_GSM610, SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM}) {
        const int channels = (format & SF_FORMAT_SUBMASK) == SF_FORMAT_GSM610 ? 1 : 2;
        ASSERT_TRUE(writeSoundFile(folder_ / "packed.wav", format, channels, 8000, ramp(30000, channels)));
        SF_INFO declared{};
        sf_close(sf_open((folder_ / "packed.wav").c_str(), SFM_READ, &declared));
        Held<Sample> packed;
        ASSERT_TRUE(packed.load(File(folder_ / "packed.wav"), true).ok()) << format;
        EXPECT_GE(declared.frames, 30000);
        EXPECT_EQ(packed.getInfo().frames, declared.frames) << format;
        EXPECT_EQ(packed.getDataCapacity(), static_cast<std::size_t>(declared.frames) + 1) << format;
        EXPECT_TRUE(test::holdsGuard(packed));
    }
}

TEST_F(SampleFileFactory, WavPackFilesKeepOnlyTheFramesTheyHoldWhateverTheirHeaderSays) {
    WavPackFile file{.values = std::vector<std::int32_t>(3000, 8192), .claimedFrames = 500000000};
    ASSERT_TRUE(file.write(folder_ / "lying.wv"));
    Held<SampleWavpack> lying;
    ASSERT_TRUE(lying.load(File(folder_ / "lying.wv"), true).ok());
    EXPECT_EQ(std::pair(lying.getInfo().frames, lying.getDataCapacity()), std::pair(3000, std::size_t{3001}));
    EXPECT_EQ(lying.getData()[2999], 0.25f);

    // A length past the first allocation and not given in the header.
    WavPackFile unknown{.unknownLength = true, .values = std::vector<std::int32_t>(300000, -16384)};
    ASSERT_TRUE(unknown.write(folder_ / "long.wv"));
    Held<SampleWavpack> grown;
    ASSERT_TRUE(grown.load(File(folder_ / "long.wv"), true).ok());
    EXPECT_EQ(std::pair(grown.getInfo().frames, grown.getDataCapacity()),
              std::pair(300000, std::size_t{300001}));
    EXPECT_EQ(test::valuesOf(grown), std::vector<float>(300000, -0.5f));
    EXPECT_TRUE(test::holdsGuard(grown));
}

TEST_F(SampleFileFactory, AWavPackFileHoldingMoreThanItsHeaderDeclaresIsReadToTheFramesCountedForIt) {
    WavPackFile file{.values = std::vector<std::int32_t>(300000, 8192), .claimedFrames = 1000};
    ASSERT_TRUE(file.write(folder_ / "long.wv"));
    Held<SampleWavpack> sample;
    ASSERT_TRUE(sample.load(File(folder_ / "long.wv"), true).ok());
    EXPECT_EQ(std::pair(sample.getInfo().frames, sample.getDataCapacity()),
              std::pair(1000, std::size_t{1001}));
    EXPECT_EQ(sampleFileHeldValues(File(folder_ / "long.wv")), 1000u);
}

TEST_F(SampleFileFactory, WavPackDecodesIntoTheSamplesOwnBufferWithoutASecondCopy) {
    // Just past a power of two, where a collecting vector holds twice the values.
    constexpr int kFrames = (1 << 22) + 4096;
    ASSERT_TRUE(writeNoiseWavPack(folder_ / "noise.wv", kFrames));
    Held<SampleWavpack> sample;
    bool loaded = false;
    // The 16 MiB of values and what the decoder needs, not a collected copy besides.
    EXPECT_LT(test::peakGrowth([&] { loaded = sample.load(File(folder_ / "noise.wv"), true).ok(); }),
              std::int64_t{kFrames} * 4 * 2);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(std::pair(sample.getInfo().frames, sample.getDataCapacity()),
              std::pair(kFrames, std::size_t{kFrames} + 1));
    EXPECT_TRUE(test::holdsGuard(sample));
}

// Writes the values as a float file of every kind and as a document, reads each back and expects the
// values given, with the guard.
void expectReadAs(const std::vector<float>& written, const std::vector<float>& expected,
                  test::FileTestFolder& folder) {
    auto expectRead = [&](const Sample* sample, const char* how) {
        ASSERT_NE(sample, nullptr) << how;
        EXPECT_EQ(test::valuesOf(*sample), expected) << how;
        EXPECT_TRUE(test::holdsGuard(*sample)) << how;
    };
    const auto load = [](const std::string& path) {
        return SharedObjectPtr<Sample>(loadSampleFile(nullptr, File(path), true));
    };

    test::EditableWav wav(written, 32);
    File wavFile(folder / "float.wav");
    ASSERT_EQ(wav.save(wavFile).getCode(), "EAOK");
    SharedObjectPtr<Sample> fromWav = load(wavFile.getPath());
    EXPECT_NE(dynamic_cast<SampleWav*>(fromWav.get()), nullptr);
    expectRead(fromWav.get(), "WAV");

    for (const auto& [name, format] : {std::pair{"float.aifc", SF_FORMAT_AIFF | SF_FORMAT_FLOAT},
                                       std::pair{"float.au", SF_FORMAT_AU | SF_FORMAT_FLOAT}}) {
        ASSERT_TRUE(writeFloatSoundFile(folder / name, format, written)) << name;
        expectRead(load(folder / name).get(), name);
    }

    WavPackFile floats{.bytesPerSample = 4, .isFloat = true};
    for (float v : written)
        floats.values.push_back(static_cast<std::int32_t>(test::bitsOf(v)));
    ASSERT_TRUE(floats.write(folder / "float.wv"));
    expectRead(load(folder / "float.wv").get(), "WavPack");

    Dictionary document;
    test::makeSample(written)->toDictionary(document);
    Sample fromDocument;
    fromDocument.fromDictionary(document);
    expectRead(&fromDocument, "document");
}

// One NaN or infinity in a file would make every voice that plays it, and every filter after, sound NaN for
// good: each reader reads them as 0, and every other value as it is.
TEST_F(SampleFileFactory, ValuesThatAreNotFiniteReadAsZeroFromEveryReaderAndDocument) {
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    expectReadAs({kNaN, 0.25f, -0.5f, kInfinity, -kInfinity, 0.125f, kNaN},
                 {0.0f, 0.25f, -0.5f, 0.0f, 0.0f, 0.125f, 0.0f}, folder_);
    EXPECT_TRUE(responder_.questions().empty());
}

// Two neighbours of 3e38 and -3e38 overflowed a voice's interpolation, and values from 1e10 on its mix:
// each reader holds finite values beyond 2^16 at it, with their sign, logs how many, and keeps every other
// value.
TEST_F(SampleFileFactory, FiniteValuesBeyondTheLimitAreHeldAtItByEveryReaderAndDocument) {
    const float beyond = std::nextafter(kSampleValueLimit, 1e9f);
    test::LogCapture log;
    expectReadAs({3e38f, -3e38f, 1e10f, -1e30f, kSampleValueLimit, -beyond, 0.25f},
                 {kSampleValueLimit, -kSampleValueLimit, kSampleValueLimit, -kSampleValueLimit,
                  kSampleValueLimit, -kSampleValueLimit, 0.25f},
                 folder_);
    EXPECT_EQ(log.count(" 5 values of "), 5) << log.text(); // one line from each reader
    EXPECT_TRUE(responder_.questions().empty());
}

// Little-endian fields of the given byte widths.
std::string littleEndian(std::initializer_list<std::pair<std::size_t, int>> fields) {
    std::string out;
    for (const auto& [value, width] : fields)
        for (int i = 0; i < width; ++i)
            out.push_back(static_cast<char>(value >> (8 * i)));
    return out;
}

// Files no reader takes are refused without a word here (a caller trying other kinds of file decides what
// to say), but with the reason of the reader the file was meant for, by its first bytes or else by its
// extension, kept for a caller that asks.
TEST_F(SampleFileFactory, FilesNoReaderTakesKeepTheReasonOfTheReaderTheyWereMeantFor) {
    const std::string format =
        "fmt " + littleEndian({{16, 4}, {1, 2}, {1, 2}, {44100, 4}, {88200, 4}, {2, 2}, {16, 2}});
    struct Case {
        const char* name;
        std::string bytes;
        const char* reason;
    };
    const Case cases[] = {
        {"cut.wav", "RIFF" + littleEndian({{36, 4}}) + "WAVEfmt " + littleEndian({{16, 4}, {1, 2}}),
         "it has no complete format chunk"},
        {"nodata.wav", "RIFF" + littleEndian({{28, 4}}) + "WAVE" + format, "it has no data chunk"},
        {"ulaw-ish.wav",
         "RIFF" + littleEndian({{40, 4}}) + "WAVE" + "fmt " +
             littleEndian({{16, 4}, {2, 2}, {1, 2}, {44100, 4}, {22050, 4}, {1, 2}, {4, 2}}) + "data" +
             littleEndian({{4, 4}}) + "abcd",
         "its coding (format 2, 4 bits"},
        {"text.wav", "this is not audio", "it does not begin with a RIFF/WAVE header"},
        {"named.wav", aiffForm(iffChunk("COMM", "xx")), "libsndfile says: "},
        {"bad.au", ".snd" + bigEndianFields({{24, 4}, {100, 4}, {99, 4}, {44100, 4}, {1, 4}}) + "abcd",
         "libsndfile says: "},
        {"bad.wv", "wvpk" + std::string(40, '\x11'), "WavPack says: "},
        {"bad.rex", "CAT not a loop", "loop files need the REX shared library, which is not installed"},
        {"empty.aif", "", "it is empty"},
        {"notes.txt", "no sound here", "no sample reader takes it"},
    };
    for (const Case& c : cases) {
        const std::string path = folder_.write(c.name, c.bytes);
        SampleFileRefusals refusals;
        EXPECT_FALSE(load(path)) << c.name;
        EXPECT_EQ(refusals.first().find("The sample file " + path + " could not be loaded: " + c.reason), 0u)
            << c.name << ": " << refusals.first();
    }
    // The bytes decide over the extension.
    EXPECT_TRUE(isMeantAsSampleFile(File(folder_ / "named.wav")));
    EXPECT_TRUE(
        isMeantAsSampleFile(File(folder_.write("riff.kmd", "RIFF" + littleEndian({{4, 4}}) + "WAVE"))));
    EXPECT_FALSE(isMeantAsSampleFile(File(folder_ / "notes.txt")));
    EXPECT_TRUE(responder_.questions().empty());
}

// A refusal a reader makes itself is shown, or kept instead by the innermost scope of the thread.
TEST_F(SampleFileFactory, ARefusalIsShownUnlessAScopeKeepsItForItsCaller) {
    // 16-bit mono whose data chunk declares a gigabyte: 2^29 frames, refused before anything is read.
    const std::string path = folder_.write(
        "huge.wav", "RIFF" + littleEndian({{40, 4}}) + "WAVE" + "fmt " +
                        littleEndian({{16, 4}, {1, 2}, {1, 2}, {44100, 4}, {88200, 4}, {2, 2}, {16, 2}}) +
                        "data" + littleEndian({{std::size_t{1} << 30, 4}}) + "abcd");
    {
        SampleFileRefusals outer;
        {
            SampleFileRefusals inner;
            EXPECT_FALSE(load(path));
            EXPECT_NE(inner.first().find(path + ": The sample file is too large to be loaded: its data chunk "
                                                "declares 536870912 frames"),
                      std::string::npos)
                << inner.first();
        }
        EXPECT_EQ(outer.first(), "");
    }
    EXPECT_TRUE(responder_.questions().empty());
    EXPECT_FALSE(load(path, false));
    ASSERT_EQ(responder_.questions().size(), 1u);
    EXPECT_NE(responder_.questions()[0].text.find("too large"), std::string::npos);
}

// Opening a named pipe waits for a writer, a device may never end: such a path is refused before any reader
// opens it, and the user is told why.
TEST_F(SampleFileFactory, APipeOrAFolderIsRefusedUnopenedWithAReason) {
    const std::string pipe = folder_ / "pipe.wav";
    ASSERT_TRUE(test::makePipe(pipe));
    test::loadWithoutWaitingOn(pipe, [&] { EXPECT_FALSE(load(pipe)); });
    EXPECT_FALSE(isMeantAsSampleFile(File(folder_.path())));
    EXPECT_FALSE(load(folder_.path()));
    const auto questions = responder_.questions();
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(questions[0].text,
              "The sample file " + pipe +
                  " is not a regular file (a folder, a pipe or a device) and was not read.");
    EXPECT_NE(questions[1].text.find("is not a regular file"), std::string::npos);
}

} // namespace
