// The host program on the installed module `corvale`: what it loads, what it says about a render, and how a
// render repeats.
#include "CorvaleScratch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <filesystem>
#include <limits>
#include <numbers>
#include <regex>
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

// A 44100 Hz file of the given interleaved values (mono unless told) in the given libsndfile format, naming
// its root note when given one (a WAV file's "smpl" unity note); empty, or the reason it could not be
// written.
std::string writeSamples(const std::string& path, int format, const std::vector<float>& values,
                         int channels = 1, int rootNote = -1) {
    SF_INFO info = {};
    info.samplerate = 44100;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr)
        return path + ": " + sf_strerror(nullptr);
    SF_INSTRUMENT instrument = {};
    instrument.basenote = static_cast<char>(rootNote);
    instrument.key_hi = instrument.velocity_hi = 127;
    if (rootNote >= 0 && sf_command(file, SFC_SET_INSTRUMENT, &instrument, sizeof instrument) != SF_TRUE) {
        sf_close(file);
        return path + ": its root note was not taken";
    }
    const auto frames = static_cast<sf_count_t>(values.size()) / channels;
    const sf_count_t written = sf_writef_float(file, values.data(), frames);
    sf_close(file);
    return written == frames ? std::string() : path + ": short write";
}

// A sine at half scale, 440 Hz for half a second unless told, at 44100 Hz.
std::vector<float> sineValues(std::size_t frames = 22050, double hz = 440.0) {
    std::vector<float> sine(frames);
    for (std::size_t i = 0; i < sine.size(); ++i)
        sine[i] = 0.5f * static_cast<float>(
                             std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(i) / 44100.0));
    return sine;
}

// That sine, mono, in the given libsndfile format.
std::string writeSine(const std::string& path, int format, std::size_t frames = 22050) {
    return writeSamples(path, format, sineValues(frames));
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

TEST_F(CorvaleHostProgram, ItsCheckPassesWithASampleFileDropped) {
    const std::string sample = scratch_ / "sine.aiff";
    ASSERT_EQ(writeSine(sample, SF_FORMAT_AIFF | SF_FORMAT_PCM_16), "");
    const test::ChildResult result = scratch_.run({"check", "--seed", "3", "--load", sample, CORVALE_MODULE});
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_TRUE(std::regex_search(result.out, std::regex("\n[1-9][0-9]* passed, 0 failed\n$"))) << result.out;
    EXPECT_NE(result.out.find("ok   a note through the MIDI input sounds"), std::string::npos) << result.out;
}

// The second sample file replaces the first one's zone: its note is judged by its own level.
TEST_F(CorvaleHostProgram, ItsCheckPassesTwoSampleFilesDroppedOneAfterTheOtherByTheLastOnesLevel) {
    const std::string loud = scratch_ / "loud.wav";
    const std::string quiet = scratch_ / "quiet.wav";
    std::vector<float> values = sineValues();
    ASSERT_EQ(writeSamples(loud, SF_FORMAT_WAV | SF_FORMAT_FLOAT, values), "");
    for (float& value : values)
        value *= 0.02f; // -40 dBFS
    ASSERT_EQ(writeSamples(quiet, SF_FORMAT_WAV | SF_FORMAT_FLOAT, values), "");
    const test::ChildResult result =
        scratch_.run({"check", "--seed", "3", "--load", loud, "--load", quiet, CORVALE_MODULE});
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("ok   a note through the MIDI input sounds"), std::string::npos) << result.out;
}

TEST_F(CorvaleHostProgram, ItsChunkCheckQuotesWhatTheModuleSaidOfAPatchWhoseSampleFileIsGone) {
    // The seed patch without its audio, naming a file that does not exist: the second instance, given the
    // first one's chunk, tells the user that the sample is missing, and the check says what it was told.
    std::string text =
        test::readWhole(std::string(CORVALE_TEST_DATA_DIR) + "/fuzz/instrument_document_fuzz/patch.kpr");
    const std::size_t named = text.find("demo/demo.wav");
    const std::size_t audio = text.find("<channels");
    ASSERT_NE(named, std::string::npos);
    ASSERT_NE(audio, std::string::npos);
    text.erase(audio, text.find("</sample>") - audio);
    text.replace(named, 13, "gone/missing.wav");
    const std::string patch = scratch_.write("gone.kpr", test::Bytes(text.begin(), text.end()));
    const test::ChildResult result = scratch_.run({"check", "--seed", "3", "--load", patch, CORVALE_MODULE});
    EXPECT_NE(result.out.find("a good chunk made the module show a message: Corvale: The sample file "),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("missing.wav could not be found"), std::string::npos) << result.out;
}

TEST_F(CorvaleHostProgram, ItsCheckPassesWithABankWhoseProgramsShareASampleWithDifferentLoops) {
    // The demo bank, whose second program gets a zone over the whole keyboard on the first program's
    // sample, looping frames 1000 to 20000 where the first program's zone has 44100 to 88199.
    std::string text = test::readWhole(std::string(CORVALE_DATA_DIR) + "/demo/demo.kmd");
    const std::size_t idAt = text.find("<id value=\"", text.find("<zone>"));
    const std::size_t zonesAt = text.find("<zones />", text.find("<program>", text.find("</program>")));
    ASSERT_NE(idAt, std::string::npos);
    ASSERT_NE(zonesAt, std::string::npos);
    const std::string id = text.substr(idAt, text.find("/>", idAt) + 2 - idAt);
    text.replace(zonesAt, 9,
                 "<zones><zone>" + id +
                     "<min value=\"0\"/><max value=\"127\"/><loops><loop><start value=\"1000\"/><end "
                     "value=\"20000\"/><mode value=\"until-release\"/></loop></loops></zone></zones>");
    const std::string bank = scratch_.write("shared.kmd", test::Bytes(text.begin(), text.end()));
    const test::ChildResult result = scratch_.run({"check", "--seed", "3", "--load", bank, CORVALE_MODULE});
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("ok   a chunk round-trips into a second instance and compares equal"),
              std::string::npos)
        << result.out;
}

// The note check hears the whole note, its onset included, and predicts its level from the file as the
// module reads and plays it: a sample shorter than the onset, the project's seed patch (64 frames) and
// WavPack seed, a float WAV of only values that are not finite (read as 0, so silent), a stereo sine on the
// right channel only (the channels are averaged), a 25 Hz sine (which the voice's DC blocker lowers) and a
// float WAV of +-1e6 every 8th frame (held at +-65536, saturating the voice) all pass.
class CorvaleHostProgramNoteCheck : public CorvaleHostProgram,
                                    public ::testing::WithParamInterface<std::string> {};

TEST_P(CorvaleHostProgramNoteCheck, PassesWithAGoodFileDroppedHoweverShortOrSilentItPlays) {
    const std::string name = GetParam();
    std::string file = std::string(CORVALE_TEST_DATA_DIR) + "/fuzz/" + name;
    if (name.starts_with("sine")) {
        file = scratch_ / (name + ".wav");
        ASSERT_EQ(writeSine(file, SF_FORMAT_WAV | SF_FORMAT_PCM_16, std::stoul(name.substr(4))), "");
    } else if (name == "nonfinite") {
        file = scratch_ / "nonfinite.wav";
        const float inf = std::numeric_limits<float>::infinity();
        std::vector<float> values;
        for (int i = 0; i < 4410; ++i)
            values.push_back(i % 3 == 0 ? std::numeric_limits<float>::quiet_NaN() : i % 3 == 1 ? inf : -inf);
        ASSERT_EQ(writeSamples(file, SF_FORMAT_WAV | SF_FORMAT_FLOAT, values), "");
    } else if (name == "right" || name == "low" || name == "pulses") {
        file = scratch_ / (name + ".wav");
        std::vector<float> values = sineValues(22050, name == "low" ? 25.0 : 440.0);
        if (name == "pulses")
            for (std::size_t i = 0; i < values.size(); ++i)
                values[i] = i % 8 == 0 ? (i % 16 == 0 ? 1e6f : -1e6f) : 0.0f;
        std::vector<float> stereo;
        for (const float value : values)
            stereo.insert(stereo.end(), {0.0f, value});
        ASSERT_EQ(name == "right" ? writeSamples(file, SF_FORMAT_WAV | SF_FORMAT_FLOAT, stereo, 2)
                                  : writeSamples(file, SF_FORMAT_WAV | SF_FORMAT_FLOAT, values),
                  "");
    }
    const test::ChildResult result = scratch_.run({"check", "--seed", "3", "--load", file, CORVALE_MODULE});
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("ok   a note through the MIDI input sounds\n"), std::string::npos)
        << result.out;
}

INSTANTIATE_TEST_SUITE_P(Files, CorvaleHostProgramNoteCheck,
                         ::testing::Values("sine2048", "sine16", "nonfinite", "right", "low", "pulses",
                                           "instrument_document_fuzz/patch.kpr", "wavpack_fuzz/mono16.wv"),
                         [](const auto& info) { return std::filesystem::path(info.param).stem().string(); });

// A sample file naming its root note plays at its own pitch on that key, so the note check plays that key:
// played on key 60 instead, a pad's 250 ms attack took a second and low or high sines lost their level.
TEST_F(CorvaleHostProgram, ItsNoteCheckPassesSamplesThatNameTheirRootNote) {
    struct Named {
        const char* name;
        double hz;
        double attackSeconds;
        int rootNote;
    };
    for (const Named& named : {Named{"pad84", 1046.5, 0.25, 84}, Named{"sine96", 200.0, 0.0, 96},
                               Named{"sine84", 40.0, 0.0, 84}}) {
        SCOPED_TRACE(named.name);
        std::vector<float> values = sineValues(44100, named.hz);
        const double attack = named.attackSeconds * 44100.0;
        for (std::size_t i = 0; static_cast<double>(i) < attack; ++i)
            values[i] *= static_cast<float>(static_cast<double>(i) / attack);
        const std::string file = scratch_ / (std::string(named.name) + ".wav");
        ASSERT_EQ(writeSamples(file, SF_FORMAT_WAV | SF_FORMAT_PCM_16, values, 1, named.rootNote), "");
        const test::ChildResult result =
            scratch_.run({"check", "--seed", "3", "--load", file, CORVALE_MODULE});
        EXPECT_EQ(result.status, 0) << result.out << result.err;
        EXPECT_NE(result.out.find("ok   a note through the MIDI input sounds\n"), std::string::npos)
            << result.out;
    }
}

TEST_F(CorvaleHostProgram, ASeedAloneRepeatsARenderByteForByteAndLeavesTheUserStoreAsItWas) {
    const std::string bank = std::string(CORVALE_DATA_DIR) + "/demo/demo.kmd";
    const std::string store = scratch_ / "user.reg";
    const auto render = [&](const std::string& out, const std::vector<std::string>& seed,
                            const std::string& userStore) {
        std::vector<std::string> arguments = {"render", "--tail", "0.5", "--load", bank};
        arguments.insert(arguments.end(), seed.begin(), seed.end());
        arguments.insert(arguments.end(), {CORVALE_MODULE, song_, scratch_ / out});
        test::ChildResult result = scratch_.run(arguments, userStore);
        EXPECT_EQ(result.status, 0) << result.err;
        return result;
    };
    // Without a seed the program picks one and names it; the run writes the per-user store.
    const test::ChildResult first = render("first.wav", {}, store);
    std::smatch seed;
    ASSERT_TRUE(std::regex_search(first.out, seed, std::regex(", seed ([0-9]+), "))) << first.out;
    const std::string stored = test::readWhole(store);
    ASSERT_FALSE(stored.empty()) << "the module keeps its analog components in the per-user store";

    render("again1.wav", {"--seed", "9"}, store);
    render("again2.wav", {"--seed", "9"}, store);
    EXPECT_EQ(test::readWhole(scratch_ / "again1.wav"), test::readWhole(scratch_ / "again2.wav"));
    EXPECT_EQ(test::readWhole(store), stored) << "a seeded run leaves the per-user store as it was";
    // The first render again, from the store as it was then (none) and its seed.
    render("repeat.wav", {"--seed", seed[1].str()}, scratch_ / "fresh-user.reg");
    EXPECT_EQ(test::readWhole(scratch_ / "first.wav"), test::readWhole(scratch_ / "repeat.wav"));
    EXPECT_FALSE(std::filesystem::exists(scratch_ / "fresh-user.reg"));
}

TEST_F(CorvaleHostProgram, ARefusedBankGivesTheModulesReasonOnOneShortLine) {
    // The demo bank as another product wrote it: the module's refusal used to quote the whole document.
    std::string text = test::readWhole(std::string(CORVALE_DATA_DIR) + "/demo/demo.kmd");
    const std::size_t creator = text.find("creator=\"Corvale\"");
    ASSERT_NE(creator, std::string::npos);
    text.replace(creator, 17, "creator=\"Other\"");
    const std::string bank = scratch_.write("other.kmd", test::Bytes(text.begin(), text.end()));
    const test::ChildResult result =
        scratch_.run({"render", "--load", bank, CORVALE_MODULE, song_, scratch_ / "out.wav"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              "corvale-host: cannot load " + bank +
                  ": the module refused it: Corvale: These settings were created by Other and cannot "
                  "be loaded.\n");
}

// The demo bank with its sample's audio taken out and its file moved away, as a bank copied without its
// sample files is.
std::string bankWithoutItsSampleFiles(const CorvaleScratch& scratch) {
    std::string text = test::readWhole(std::string(CORVALE_DATA_DIR) + "/demo/demo.kmd");
    const std::size_t data = text.find("<sampledata ");
    if (data == std::string::npos)
        return std::string();
    text.erase(data, text.find("/>", data) + 2 - data);
    const std::string key = "<filename value=\"";
    const std::size_t name = text.find(key);
    if (name == std::string::npos)
        return std::string();
    const std::size_t value = name + key.size();
    text.replace(value, text.find('"', value) - value, scratch / "moved/demo.wav");
    return scratch.write("nosamples.kmd", test::Bytes(text.begin(), text.end()));
}

TEST_F(CorvaleHostProgram, ASilentRenderSaysWhyOnOneLineAndStillSucceeds) {
    const std::string bank = bankWithoutItsSampleFiles(scratch_);
    ASSERT_FALSE(bank.empty()) << "the demo bank no longer embeds a sample named by its file";
    // (A MIDI file that starts no note is the host program's own test.)
    for (const std::string& load : {std::string(), bank}) {
        SCOPED_TRACE(load);
        const std::string wav = scratch_ / "silent.wav";
        std::vector<std::string> arguments = {"render", "--quiet", "--tail", "0.2"};
        if (!load.empty())
            arguments.insert(arguments.end(), {"--load", load});
        arguments.insert(arguments.end(), {CORVALE_MODULE, song_, wav});
        const test::ChildResult result = scratch_.run(arguments);
        EXPECT_EQ(result.status, 0) << result.err;
        const std::string cause =
            load.empty() ? "no samples are loaded"
                         : bank + " gave it nothing to play (a bank whose sample files are missing";
        // Loading the bank, the module told which sample file it could not find: one line before.
        const std::string told = load.empty() ? std::string()
                                              : "corvale-host: " + bank +
                                                    ": the module said: Corvale: The sample file " +
                                                    scratch_ / "moved/demo.wav" + " could not be found";
        EXPECT_EQ(result.err.rfind(told, 0), 0u) << result.err;
        const std::size_t silent = load.empty() ? 0 : result.err.find('\n') + 1;
        EXPECT_EQ(result.err.find("corvale-host: " + wav + " is entirely silent: " + cause), silent)
            << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), load.empty() ? 1 : 2) << result.err;
        Render render;
        ASSERT_EQ(readRender(wav, render), "");
        EXPECT_EQ(peakOf(render), 0.0);
        // The log named for the bank is the module's, and it tells which sample it skipped.
        if (!load.empty()) {
            const std::size_t named = result.err.find("the module's log ");
            ASSERT_NE(named, std::string::npos) << result.err;
            const std::string log =
                result.err.substr(named + 17, result.err.find(" names ", named) - named - 17);
            EXPECT_NE(test::readWhole(log).find("moved/demo.wav) not found"), std::string::npos) << log;
        }
    }
}

TEST_F(CorvaleHostProgram, ASilentRenderNamesAMasterVolumeOf0NotMissingSamples) {
    std::string text = test::readWhole(std::string(CORVALE_DATA_DIR) + "/demo/demo.kmd");
    std::smatch volume;
    ASSERT_TRUE(std::regex_search(text, volume, std::regex("<MasterVolume [^>]*value=\"([^\"]*)\"")));
    text.replace(static_cast<std::size_t>(volume.position(1)), static_cast<std::size_t>(volume.length(1)),
                 "0");
    const std::string bank = scratch_.write("mute.kmd", test::Bytes(text.begin(), text.end()));
    const std::string wav = scratch_ / "mute.wav";
    const test::ChildResult result =
        scratch_.run({"render", "--quiet", "--tail", "0.2", "--load", bank, CORVALE_MODULE, song_, wav});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "corvale-host: " + wav +
                              " is entirely silent: the module's master volume is 0 (its control Upper "
                              "MasterVolume shows -oo), as a bank's \"MasterVolume\" of 0 leaves it\n");
}

TEST_F(CorvaleHostProgram, ARenderGoesOnUntilTheReleasesHaveDiedAway) {
    // The demo bank's release runs for seconds after the note's end at 0.5 s.
    const std::string bank = std::string(CORVALE_DATA_DIR) + "/demo/demo.kmd";
    const std::string wav = scratch_ / "released.wav";
    const test::ChildResult result =
        scratch_.run({"render", "--quiet", "--seed", "5", "--load", bank, CORVALE_MODULE, song_, wav});
    ASSERT_EQ(result.status, 0) << result.err;
    Render render;
    ASSERT_EQ(readRender(wav, render), "");
    const auto frames = static_cast<std::int64_t>(render.samples.size()) / render.channels;
    const std::int64_t half = 48000 / 2;
    const auto loud = [&](std::int64_t frame) {
        for (int c = 0; c < render.channels; ++c)
            if (std::fabs(render.samples[static_cast<std::size_t>(frame * render.channels + c)]) >= 1e-5f)
                return true;
        return false;
    };
    EXPECT_GT(frames, half + 2 * 48000) << "the release outlasts the two seconds a fixed tail gave it";
    EXPECT_LT(frames, half + 60 * 48000) << "the output fell quiet before the cap";
    for (std::int64_t frame = frames - half; frame < frames; ++frame)
        ASSERT_FALSE(loud(frame)) << "frame " << frame << " of " << frames
                                  << " sounds in the closing half second";
    EXPECT_TRUE(loud(frames - half - 1)) << "the render ends half a second after the last sound, not later";
}

// A Scala tuning of quarter tones: twelve steps to the half octave.
std::string quarterTones(const CorvaleScratch& scratch) {
    std::string text = "! quarter.scl\nQuarter tones\n12\n!\n";
    for (int step = 1; step <= 12; ++step)
        text += std::to_string(50 * step) + ".0\n";
    return scratch.write("quarter.scl", test::Bytes(text.begin(), text.end()));
}

TEST_F(CorvaleHostProgram, ABankAndATuningLoadTogetherAndATuningAloneGivesNoSamples) {
    const std::string bank = std::string(CORVALE_DATA_DIR) + "/demo/demo.kmd";
    const std::string tuning = quarterTones(scratch_);
    // An octave above the tuning's anchor, where quarter tones reach only half as high.
    const std::string high = scratch_.write(
        "high.mid", MidiFileBuilder()
                        .header(0, 1, 480)
                        .track(TrackBytes().event(0, {0x90, 81, 100}).event(480, {0x80, 81, 0}).end())
                        .bytes());
    const auto render = [&](const std::vector<std::string>& loads, const std::string& name, Render& out) {
        std::vector<std::string> arguments = {"render", "--quiet", "--seed", "7", "--tail", "0.5"};
        for (const std::string& load : loads)
            arguments.insert(arguments.end(), {"--load", load});
        arguments.insert(arguments.end(), {CORVALE_MODULE, high, scratch_ / name});
        test::ChildResult result = scratch_.run(arguments);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(readRender(scratch_ / name, out), "");
        return result;
    };
    Render plain;
    Render tuned;
    render({bank}, "plain.wav", plain);
    const test::ChildResult both = render({bank, tuning}, "tuned.wav", tuned);
    EXPECT_EQ(both.err.find("silent"), std::string::npos) << both.err;
    EXPECT_GT(peakOf(tuned), 0.01) << "the bank still plays with the tuning loaded after it";
    EXPECT_NE(tuned.samples, plain.samples) << "the tuning changes the note's pitch";

    Render alone;
    const test::ChildResult silent = render({tuning}, "alone.wav", alone);
    EXPECT_EQ(silent.err,
              "corvale-host: " + (scratch_ / "alone.wav") +
                  " is entirely silent: no samples are loaded (the instrument plays only samples, "
                  "and a Scala tuning gives it none: give a bank or a sample file with --load)\n");
}

TEST_F(CorvaleHostProgram, ASilentRenderFollowsWhatTheModuleTookNotTheFilesName) {
    // A Scala tuning under another name loads as a tuning all the same.
    const std::string tuning = quarterTones(scratch_);
    std::filesystem::rename(tuning, scratch_ / "quarter.tun");
    const std::string wav = scratch_ / "tuned.wav";
    const test::ChildResult result = scratch_.run({"render", "--quiet", "--tail", "0.2", "--load",
                                                   scratch_ / "quarter.tun", CORVALE_MODULE, song_, wav});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err,
              "corvale-host: " + wav +
                  " is entirely silent: no samples are loaded (the instrument plays only samples, "
                  "and a Scala tuning gives it none: give a bank or a sample file with --load)\n");
}

TEST_F(CorvaleHostProgram, ItsCheckWithoutSamplesSkipsTheNoteCheckAndPassesTheRest) {
    // A tuning is known by what the module made of it, not by its name.
    const std::string tuning = quarterTones(scratch_);
    std::filesystem::copy_file(tuning, scratch_ / "quarter.txt");
    for (const std::vector<std::string>& loads :
         {std::vector<std::string>{}, std::vector<std::string>{"--load", tuning},
          std::vector<std::string>{"--load", scratch_ / "quarter.txt"}}) {
        SCOPED_TRACE(loads.empty() ? "nothing loaded" : "a tuning alone: " + loads[1]);
        std::vector<std::string> arguments = {"check", "--seed", "3"};
        arguments.insert(arguments.end(), loads.begin(), loads.end());
        arguments.push_back(CORVALE_MODULE);
        const test::ChildResult result = scratch_.run(arguments);
        EXPECT_EQ(result.status, 0) << result.out << result.err;
        EXPECT_NE(
            result.out.find("SKIP a note through the MIDI input sounds: the note was silent and nothing with "
                            "samples was loaded (the instrument plays only samples: give a bank or a sample "
                            "file with --load)\n"),
            std::string::npos)
            << result.out;
        EXPECT_TRUE(std::regex_search(result.out, std::regex("\n[1-9][0-9]* passed, 0 failed, 1 skipped\n$")))
            << result.out;
    }
}

// Sample data in the older packed-word form: each value's 32 bits, most significant first, six to a
// character.
std::string packedWords(const std::vector<float>& values) {
    static const char kAlphabet[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ+-";
    std::string text;
    std::uint64_t bits = 0;
    int held = 0;
    for (const float value : values) {
        bits = bits << 32 | std::bit_cast<std::uint32_t>(value);
        for (held += 32; held >= 6; held -= 6)
            text.push_back(kAlphabet[(bits >> (held - 6)) & 63]);
    }
    return held > 0 ? text + kAlphabet[(bits << (6 - held)) & 63] : text;
}

// The value of the first element named by the key from the position on, replaced; where the element was,
// or npos.
std::size_t replaceValue(std::string& text, const std::string& key, const std::string& value,
                         std::size_t from = 0) {
    const std::size_t at = text.find(key, from);
    if (at != std::string::npos) {
        const std::size_t start = text.find("value=\"", at) + 7;
        text.replace(start, text.find('"', start) - start, value);
    }
    return at;
}

// The demo bank's first program as a patch, its grunge stages bypassed and its sample's data given (its file
// moved away).
std::string demoPatchPlaying(const CorvaleScratch& scratch, const std::vector<float>& values) {
    std::string text = test::readWhole(std::string(CORVALE_DATA_DIR) + "/demo/demo.kmd");
    const std::size_t firstEnd = text.find("</program>") + 10;
    text.erase(firstEnd, text.find("</programs>") - firstEnd);
    for (std::size_t at = 0; (at = replaceValue(text, "<GrungeBypass ", "true", at)) != std::string::npos;)
        ++at;
    replaceValue(text, "<filename ", scratch / "moved/demo.wav");
    replaceValue(text, "<sampledata ", packedWords(values));
    return scratch.write("huge.kpr", test::Bytes(text.begin(), text.end()));
}

// The two neighbours overflowed the voice's interpolation; with the grunge stages bypassed nothing on the
// way bounded it, and the render was NaN from then on.
TEST_F(CorvaleHostProgram, APatchWhoseSampleHoldsHugeNeighboursRendersFiniteWithItsGrungeStagesBypassed) {
    std::vector<float> values(4410);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = 0.5f * static_cast<float>(std::sin(static_cast<double>(i) * 0.05));
    values[1000] = 3e38f;
    values[1001] = -3e38f;
    const std::string wav = scratch_ / "huge.wav";
    const test::ChildResult result =
        scratch_.run({"render", "--quiet", "--seed", "1", "--tail", "0.2", "--load",
                      demoPatchPlaying(scratch_, values), CORVALE_MODULE, song_, wav});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    Render render;
    ASSERT_EQ(readRender(wav, render), "");
    EXPECT_GT(peakOf(render), 0.01) << "the patch plays";
}

// The module plays denormal values as silence, and the check cannot read a patch's audio to know it holds
// only those: it says it cannot judge the silent note rather than fail it.
TEST_F(CorvaleHostProgram, ItsCheckSkipsTheSilentNoteOfAPatchWhoseSampleHoldsOnlyDenormalValues) {
    const std::string patch = demoPatchPlaying(scratch_, std::vector<float>(4410, 1e-39f));
    const test::ChildResult result = scratch_.run({"check", "--seed", "3", "--load", patch, CORVALE_MODULE});
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("SKIP a note through the MIDI input sounds: the note was silent and the check "
                              "cannot read the audio of " +
                              patch),
              std::string::npos)
        << result.out;
}

// Values of 10^10 and 10^30 in a float file made the output overflow under the random automation.
TEST_F(CorvaleHostProgram, ItsRandomAutomationStaysFiniteWithHugeValuesInAFloatFile) {
    std::vector<float> values(44100);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = i % 8 == 0 ? (i % 16 == 0 ? 1e10f : -1e30f)
                               : 0.5f * static_cast<float>(std::sin(0.05 * static_cast<double>(i)));
    const std::string sample = scratch_ / "huge.wav";
    SF_INFO info = {};
    info.samplerate = 44100;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(sample.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(sf_writef_float(file, values.data(), 44100), 44100);
    sf_close(file);
    for (const char* seed : {"1", "2", "3", "4", "5"}) {
        const test::ChildResult result =
            scratch_.run({"check", "--seed", seed, "--load", sample, CORVALE_MODULE});
        EXPECT_NE(result.out.find(
                      "ok   MIDI on one thread while another renders odd blocks under random automation"),
                  std::string::npos)
            << "seed " << seed << "\n"
            << result.out;
    }
}

} // namespace
} // namespace corvale::golden
