// How the host program renders and reports: files loaded in order, where the render ends, broken output,
// dropped notes, a render a signal or a file-size limit stops, and what the check judges after a loaded
// file spoke.
#include "HostProgramFixture.h"
#include "hostapp/StopSignals.h"
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <regex>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace corvale::hostapp {
namespace {

class HostProgramRender : public HostProgram {
protected:
    void SetUp() override {
        HostProgram::SetUp();
        if (!moduleBuilt())
            GTEST_SKIP() << "the test module is not built";
        layOutInstallation();
    }

    // The module's state document as another product would have written it.
    std::string foreignDocument(const std::string& name, const std::string& creator) {
        std::string document = stateDocument();
        const std::size_t at = document.find("creator=\"Corvale Test\"");
        if (at == std::string::npos) {
            ADD_FAILURE() << "the state document names no creator";
            return std::string();
        }
        document.replace(at, 22, "creator=\"" + creator + "\"");
        return file(name, test::Bytes(document.begin(), document.end()));
    }
};

TEST_F(HostProgramRender, DropsEveryFileGivenWithLoadInTheOrderGiven) {
    const std::string first = foreignDocument("first.xml", "First Product");
    const std::string second = foreignDocument("second.xml", "Second Product");
    const std::string song = file("song.mid", oneNoteFile());
    const test::ChildResult result = run({"render", "--quiet", "--tail", "0", "--load", first, "--load",
                                          second, modulePath(), song, scratch_ + "/out.wav"});
    EXPECT_EQ(result.status, 0) << result.err;
    const std::string said = ": the module said: Corvale Test: These settings were created by ";
    EXPECT_EQ(result.err, "corvale-host: " + first + said + "First Product and cannot be loaded.\n" +
                              "corvale-host: " + second + said + "Second Product and cannot be loaded.\n");
}

TEST_F(HostProgramRender, EndsHalfASecondAfterTheOutputFallsQuietOrAtTheCapAndAGivenTailExactly) {
    // The tone stops with its note-off, where the song ends (0.5 s): half a second of quiet follows.
    const std::string song = file("song.mid", oneNoteFile());
    const std::string out = scratch_ + "/out.wav";
    test::ChildResult result = run({"render", modulePath(), song, out});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(wavFrames(out), 24000 + 24000);
    EXPECT_NE(result.out.find(": 2 channel(s), 48000 Hz, 48000 frames (1.00 s), seed "), std::string::npos)
        << result.out;
    result = run({"render", "--quiet", "--tail", "0.25", modulePath(), song, out});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(wavFrames(out), 24000 + 12000);
    // A note that is never released sounds on: the cap ends the render a minute after the song.
    const std::string held = file(
        "held.mid",
        MidiFileBuilder().header(0, 1, 96).track(TrackBytes().event(0, {0x90, 69, 100}).end(96)).bytes());
    result = run({"render", "--quiet", "--rate", "8000", "--block", "4096", modulePath(), held, out});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(wavFrames(out), 4000 + 60 * 8000);
}

TEST_F(HostProgramRender, SaysOnOneLineWhenTheCapCutsARenderThatStillSoundsAndHowLoud) {
    const std::string held = file(
        "held.mid",
        MidiFileBuilder().header(0, 1, 96).track(TrackBytes().event(0, {0x90, 69, 100}).end(96)).bytes());
    const std::string out = scratch_ + "/out.wav";
    const test::ChildResult result =
        run({"render", "--quiet", "--rate", "8000", "--block", "4096", modulePath(), held, out});
    EXPECT_EQ(result.status, 0) << result.err;
    std::smatch said;
    ASSERT_TRUE(std::regex_match(result.err, said,
                                 std::regex("corvale-host: " + out +
                                            " was cut at the cap, 60 s after the last event, still sounding "
                                            "\\(its last 0\\.5 s peak at (-?[0-9]+\\.[0-9]) dBFS\\); "
                                            "--tail SECONDS sets the tail\n")))
        << result.err;
    // The level named is the file's own over its last half second.
    SF_INFO info = {};
    SNDFILE* wav = sf_open(out.c_str(), SFM_READ, &info);
    ASSERT_NE(wav, nullptr);
    std::vector<float> last(static_cast<std::size_t>(4000 * info.channels));
    sf_seek(wav, info.frames - 4000, SEEK_SET);
    ASSERT_EQ(sf_readf_float(wav, last.data(), 4000), 4000);
    sf_close(wav);
    float peak = 0.0f;
    for (const float value : last)
        peak = std::max(peak, std::fabs(value));
    ASSERT_GT(peak, 0.0f);
    EXPECT_NEAR(std::stod(said[1].str()), 20.0 * std::log10(peak), 0.05);
}

TEST_F(HostProgramRender, KeepsTheFileOfOutputThatIsNotANumberButFailsNamingTheFault) {
    // The test module's broken key puts not-a-number into its output while held: a quarter of a second.
    const std::string song =
        file("broken.mid", MidiFileBuilder()
                               .header(0, 1, 96)
                               .track(TrackBytes().event(0, {0x90, 127, 100}).event(48, {0x80, 127, 0}).end())
                               .bytes());
    const std::string out = scratch_ + "/broken.wav";
    const test::ChildResult result = run({"render", "--quiet", "--tail", "0.1", modulePath(), song, out});
    expectOneLineError(
        result, 1,
        "corvale-host: " + out +
            " holds 24000 sample value(s) that are not finite numbers (NaN or infinity), the first "
            "at 0.000 s: the module's output is broken\n");
    EXPECT_EQ(wavFrames(out), 12000 + 4800) << "the file is kept to look at";
}

TEST_F(HostProgramRender, NamesTheNoteOnsTheModulesFullEventQueueDropped) {
    // Ten thousand notes struck before one block: the instance's queue holds 4,096 of them.
    TrackBytes track;
    for (int i = 0; i < 10000; ++i)
        track.event(0, {0x90, static_cast<std::uint8_t>(36 + i % 60), 100});
    const std::string song =
        file("crowd.mid", MidiFileBuilder().header(0, 1, 96).track(track.end(96)).bytes());
    const test::ChildResult result =
        run({"render", "--tail", "0", modulePath(), song, scratch_ + "/out.wav"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("; the module dropped 5904 note-on(s) (its event queue was full)\n"),
              std::string::npos)
        << result.out;
    // Nothing dropped, nothing said.
    const std::string one = file("one.mid", oneNoteFile());
    const test::ChildResult calm = run({"render", "--tail", "0", modulePath(), one, scratch_ + "/one.wav"});
    EXPECT_EQ(calm.out.find("dropped"), std::string::npos) << calm.out;
}

TEST_F(HostProgramRender, FollowsTheConventionsOfACommandLineProgram) {
    for (const char* command : {"render", "check"}) {
        SCOPED_TRACE(command);
        const test::ChildResult help = run({command, "--help"});
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.rfind("usage: corvale-host render [options] MODULE INPUT.mid OUTPUT.wav\n", 0),
                  0u);
        EXPECT_NE(help.out.find("--load FILE       a bank, patch, Scala tuning (.scl) or sample file"),
                  std::string::npos);
        EXPECT_NE(help.out.find("at most 60 s after the last event"), std::string::npos)
            << "the cap is named";
        EXPECT_TRUE(help.err.empty()) << help.err;
    }
    const test::ChildResult version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(std::regex_match(version.out, std::regex("corvale-host [0-9]+\\.[0-9]+\\.[0-9]+\n")))
        << version.out;

    const std::string song = file("song.mid", oneNoteFile());
    expectOneLineError(run({"render", modulePath(), song, "-"}), 2, "the output cannot be '-'");
    // Seed 0 takes one from the time, and names the one taken.
    const test::ChildResult timed =
        run({"render", "--seed", "0", "--tail", "0", modulePath(), song, scratch_ + "/a.wav"});
    EXPECT_EQ(timed.status, 0) << timed.err;
    std::smatch seed;
    ASSERT_TRUE(std::regex_search(timed.out, seed, std::regex(", seed ([0-9]+), "))) << timed.out;
    EXPECT_NE(seed[1].str(), "0");
    // A long render into a file, not a terminal: no progress line to litter it.
    const test::ChildResult logged =
        run({"render", "--block", "16", "--tail", "120", modulePath(), song, scratch_ + "/long.wav"});
    EXPECT_EQ(logged.status, 0) << logged.err;
    EXPECT_EQ(logged.err.find('\r'), std::string::npos) << logged.err;
    EXPECT_TRUE(logged.err.empty()) << logged.err;
}

TEST_F(HostProgramRender, ASignalStopsTheRenderWithItsFileFinishedAndItsScratchStoreRemoved) {
    // Three hours of music, signalled once the file holds frames past its header.
    const std::string song =
        file("long.mid", MidiFileBuilder()
                             .header(0, 1, 96)
                             .track(TrackBytes().event(0, {0x90, 69, 100}).end(3 * 3600 * 192))
                             .bytes());
    const std::string out = scratch_ + "/out.wav";
    const std::string temporary = scratch_ + "/tmp";
    std::filesystem::create_directory(temporary);
    // The render grows beside its name until it is finished.
    const auto begun = [&] {
        std::error_code missing;
        for (const auto& entry : std::filesystem::directory_iterator(scratch_, missing))
            if (entry.path().filename().string().rfind("out.wav.", 0) == 0 &&
                entry.file_size(missing) >= 65536)
                return true;
        return false;
    };
    const auto interrupt = [&](pid_t child) {
        siginfo_t ended = {};
        while (!begun()) {
            if (::waitid(P_PID, static_cast<id_t>(child), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                ended.si_pid == child)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ::kill(child, SIGINT);
    };
    // LeakSanitizer 14 takes some of the module's thread-local blocks for ones with a header they lack, and
    // its check at exit then crashes, whatever the program did: it is told not to follow them.
    const test::ChildResult result = run(
        {"render", "--seed", "7", "--rate", "8000", "--tail", "0", modulePath(), song, out},
        {{"TMPDIR", temporary}, {"ASAN_OPTIONS", "halt_on_error=1:detect_leaks=1:intercept_tls_get_addr=0"}},
        {}, interrupt);
    EXPECT_EQ(result.status, 130) << result.err;
    std::smatch said;
    ASSERT_TRUE(std::regex_match(result.err, said,
                                 std::regex("corvale-host: stopped by SIGINT at [0-9.]+ s of the music's "
                                            "10800\\.00 s: " +
                                            out + " holds the ([0-9]+) frames rendered\n")))
        << result.err;
    // The RIFF size is the file's, and the data chunk, last, holds the frames said (little-endian sizes, as
    // this platform's).
    const std::string bytes = test::readWhole(out);
    const std::size_t data = bytes.size() - std::stoull(said[1].str()) * 8;
    std::uint32_t sizes[2] = {};
    std::memcpy(&sizes[0], bytes.data() + 4, 4);
    std::memcpy(&sizes[1], bytes.data() + data - 4, 4);
    EXPECT_EQ(sizes[0], bytes.size() - 8);
    EXPECT_EQ(bytes.compare(data - 8, 4, "data"), 0);
    EXPECT_EQ(sizes[1], bytes.size() - data);
    EXPECT_EQ(wavFrames(out), std::stoll(said[1].str()));
    EXPECT_GT(wavFrames(out), 0);
    for (const auto& left : std::filesystem::directory_iterator(temporary))
        EXPECT_NE(left.path().filename().string().rfind("corvale-host-user-", 0), 0u) << left.path();
}

TEST_F(HostProgramRender, AFileSizeLimitEndsTheRenderAsAFullDiskDoesWithNoFileOrScratchStoreLeft) {
    const std::string song = file("song.mid", oneNoteFile());
    const std::string out = scratch_ + "/out.wav";
    const std::string temporary = scratch_ + "/tmp";
    std::filesystem::create_directory(temporary);
    // A second of stereo float audio is 384,000 bytes: the limit stops it within its first tenth. The
    // program's LeakSanitizer is told not to follow thread-local blocks, as for a signal above.
    const trov::test::ChildOutcome limited = trov::test::runInChild([&] {
        const rlimit limit{32768, 32768};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        return run({"render", "--seed", "7", "--tail", "0.5", modulePath(), song, out},
                   {{"TMPDIR", temporary},
                    {"ASAN_OPTIONS", "halt_on_error=1:detect_leaks=1:intercept_tls_get_addr=0"}})
            .status;
    });
    const test::ChildResult result{limited.exitCode, test::readWhole(scratch_ + "/child.out"),
                                   test::readWhole(scratch_ + "/child.err")};
    expectOneLineError(result, 1,
                       "corvale-host: cannot write " + out +
                           ": it reached this process's file-size limit of 32768 bytes (ulimit -f)\n");
    EXPECT_FALSE(std::filesystem::exists(out));
    for (const auto& left : std::filesystem::directory_iterator(temporary))
        EXPECT_NE(left.path().filename().string().rfind("corvale-host-user-", 0), 0u) << left.path();
}

TEST_F(HostProgramRender, ARenderTheFileSizeLimitStopsLeavesTheEarlierOutputAndItsLinkAsTheyWere) {
    const std::string song = file("song.mid", oneNoteFile());
    const std::string renders = scratch_ + "/renders";
    const std::string out = renders + "/out.wav";
    const std::string link = scratch_ + "/link.wav";
    std::filesystem::create_directory(renders);
    ASSERT_EQ(run({"render", "--quiet", "--tail", "0", modulePath(), song, out}).status, 0);
    std::filesystem::create_symlink("renders/out.wav", link);
    const std::string earlier = test::readWhole(out);
    for (const std::string& name : {out, link}) {
        const trov::test::ChildOutcome limited = trov::test::runInChild([&] {
            const rlimit limit{32768, 32768};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            return run({"render", "--quiet", "--tail", "0.5", modulePath(), song, name}).status;
        });
        EXPECT_EQ(limited.exitCode, 1) << name;
        EXPECT_TRUE(std::filesystem::is_symlink(link)) << name;
        EXPECT_TRUE(test::readWhole(out) == earlier) << name;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(renders), {}), 1) << "nothing beside it";
    }
    // A render through the link that finishes replaces its target.
    ASSERT_EQ(run({"render", "--quiet", "--tail", "0.5", modulePath(), song, link}).status, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(wavFrames(out), 24000 + 24000);
}

TEST(StopSignals, ASignalDeliveredTwiceAtOnceIsOneRequestAsTimeoutSendsIt) {
    // `timeout` signals the program and then its process group: the repeat must not end the program.
    const StopSignals stop;
    std::raise(SIGINT);
    std::raise(SIGINT);
    EXPECT_EQ(StopSignals::caught(), SIGINT);
}

TEST_F(HostProgramRender, ChecksJudgeOnlyTheMessagesTheirOwnStepsMadeTheModuleShow) {
    // Taken, but with a message: the checks after the note check must not take it for theirs.
    const std::string foreign = foreignDocument("foreign.xml", "Other Product");
    const test::ChildResult result = run({"check", "--load", foreign, modulePath()});
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_EQ(result.out.find("FAIL"), std::string::npos) << result.out;
    EXPECT_TRUE(std::regex_search(result.out, std::regex("\n[0-9]+ passed, 0 failed\n$"))) << result.out;
    // A refusal is the note check's own to report, with what the module takes.
    const std::string text = file("not-a-bank.xml", {'n', 'o', '\n'});
    const test::ChildResult refused = run({"check", "--load", text, modulePath()});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("FAIL a note through the MIDI input sounds: cannot load " + scratch_ +
                               "/not-a-bank.xml: the module refused it without saying why; it takes a bank"),
              std::string::npos)
        << refused.out;
    EXPECT_NE(refused.out.find("\nok   a chunk round-trips"), std::string::npos) << refused.out;
}

} // namespace
} // namespace corvale::hostapp
