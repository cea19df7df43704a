// The host program on the installed module `corvale`: what it loads, what it says about a render, and how a
// render repeats.
#include "CorvaleScratch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <sndfile.h>
#include <string>
#include <vector>

namespace corvale::golden {
namespace {

using test::MidiFileBuilder;
using test::TrackBytes;

// One note at key 60 for half a second (120 beats per minute, 480 ticks per quarter).
test::Bytes oneNote() {
    return MidiFileBuilder()
        .header(0, 1, 480)
        .track(TrackBytes().event(0, {0x90, 60, 100}).event(480, {0x80, 60, 0}).end())
        .bytes();
}

double peakOf(const Render& render) {
    double peak = 0.0;
    for (const float v : render.samples)
        peak = std::max(peak, static_cast<double>(std::fabs(v)));
    return peak;
}

// Half a second of a 440 Hz sine at half scale, mono 44100 Hz, in the given libsndfile format; empty, or
// the reason it could not be written.
std::string writeSine(const std::string& path, int format) {
    SF_INFO info = {};
    info.samplerate = 44100;
    info.channels = 1;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr)
        return path + ": " + sf_strerror(nullptr);
    std::vector<float> sine(22050);
    for (std::size_t i = 0; i < sine.size(); ++i)
        sine[i] = 0.5f * static_cast<float>(std::sin(2.0 * std::numbers::pi * 440.0 * i / 44100.0));
    const sf_count_t written = sf_writef_float(file, sine.data(), static_cast<sf_count_t>(sine.size()));
    sf_close(file);
    return written == static_cast<sf_count_t>(sine.size()) ? std::string() : path + ": short write";
}

class CorvaleHostProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(scratch_.error(), "");
        song_ = scratch_.write("note.mid", oneNote());
    }

    CorvaleScratch scratch_;
    std::string song_;
};

TEST_F(CorvaleHostProgram, RenderPlaysASampleFileOfEachKindGivenWithLoad) {
    struct Kind {
        const char* file;
        int format;
    };
    const Kind kinds[] = {
        {"pcm16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16}, {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
        {"mulaw.wav", SF_FORMAT_WAV | SF_FORMAT_ULAW},   {"pcm24.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
        {"alaw.au", SF_FORMAT_AU | SF_FORMAT_ALAW},      {"pcm16.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
        {"vorbis.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS}};
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.file);
        const std::string sample = scratch_ / kind.file;
        ASSERT_EQ(writeSine(sample, kind.format), "");
        const std::string wav = scratch_ / (std::string(kind.file) + ".out.wav");
        const test::ChildResult result = scratch_.run({"render", "--quiet", "--seed", "1", "--tail", "0.2",
                                                       "--load", sample, CORVALE_MODULE, song_, wav});
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err, "");
        Render render;
        ASSERT_EQ(readRender(wav, render), "");
        EXPECT_GT(peakOf(render), 0.01) << "the dropped sample plays";
    }
}

} // namespace
} // namespace corvale::golden
