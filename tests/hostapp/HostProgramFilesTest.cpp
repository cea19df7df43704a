// What the host program opens and what it writes over: inputs only as regular files, outputs never over
// what it reads or over a file of another kind.
#include "HostProgramFixture.h"
#include "hostapp/FileChecks.h"

#include "support/ChildProcess.h"
#include "support/FileTestFolder.h"
#include "support/TooDeepFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace corvale::hostapp {
namespace {

TEST_F(HostProgram, NeverWritesOverTheSongALoadedFileOrAFileThatIsNoWavFile) {
    // Refused before the module loads: no installation is needed.
    const test::Bytes song = oneNoteFile();
    const std::string mid = file("Song.Mid", song);
    const std::string module = modulePath();
    const std::string reads = ", which this render reads";
    expectOneLineError(run({"render", module, mid, mid}), 1,
                       "will not write " + mid + ": it is " + mid + reads);
    // The same file by another name.
    std::filesystem::create_hard_link(mid, scratch_ + "/linked.wav");
    expectOneLineError(run({"render", module, mid, scratch_ + "/linked.wav"}), 1, "it is " + mid + reads);
    const std::string bank = file("bank.xml", {'<', 'x', '/', '>'});
    expectOneLineError(run({"render", "--load", bank, module, mid, bank}), 1, "it is " + bank + reads);
    expectOneLineError(run({"render", "--view", mid, module, mid, scratch_ + "/out.wav"}), 1,
                       "will not write " + mid + ": it is " + mid + reads);

    // Files of another kind, whatever their names.
    const std::string other = file("other.wav", song);
    expectOneLineError(run({"render", module, mid, other}), 1,
                       "will not write over " + other + ": it is a MIDI file, not a WAV file");
    const std::string text = file("notes.txt", {'n', 'o', 't', 'e', 's', '\n'});
    expectOneLineError(run({"render", module, mid, text}), 1,
                       "will not write over " + text + ": it is another kind of file, not a WAV file");
    const std::string picture = file("picture.png", {'n', 'o', 't', ' ', 'p', 'n', 'g', '!'});
    expectOneLineError(run({"render", "--view", picture, module, mid, scratch_ + "/out.wav"}), 1,
                       "will not write over " + picture + ": it is another kind of file, not a PNG image");
    std::filesystem::create_directory(scratch_ + "/folder.wav");
    expectOneLineError(run({"render", module, mid, scratch_ + "/folder.wav"}), 1,
                       "will not write " + scratch_ +
                           "/folder.wav: it is a folder, not a file to hold a WAV file");

    EXPECT_EQ(test::readWhole(mid), std::string(song.begin(), song.end()));
    EXPECT_EQ(test::readWhole(other), std::string(song.begin(), song.end()));
    EXPECT_EQ(test::readWhole(text), "notes\n");
    EXPECT_FALSE(std::filesystem::exists(scratch_ + "/out.wav"));
}

TEST_F(HostProgram, RefusesAPictureNamedAsTheOutputForSharingItsNameNotAsAFileItReads) {
    const std::string out = scratch_ + "/out.png";
    expectOneLineError(run({"render", "--view", out, modulePath(), file("song.mid", oneNoteFile()), out}), 1,
                       "will not write " + out + ": the picture and the output share its name\n");
}

// In a working folder whose path is longer than a path may be, names from it cannot be resolved: they are
// no longer one file for that, and an output named from there is refused for its length.
TEST(FileChecks, AnOutputInAWorkingFolderTooDeepToNameIsRefusedForItsLengthNotAsTheSong) {
    const trov::test::FileTestFolder folder;
    const trov::test::TooDeepFolder deep(folder.path(), "song.mid", "MThd");
    ASSERT_TRUE(deep.made());
    EXPECT_FALSE(sameFile("out.wav", "song.mid"));
    EXPECT_EQ(
        overwriteRefusal("out.wav", OutputKind::Wav, {"song.mid"}),
        "will not write out.wav: its path from the root is longer than the 4,096 bytes a path may hold");
}

TEST_F(HostProgram, NeverWritesOverAWavFileItDidNotWriteItself) {
    // A user's 16-bit sample, named as the output where a file to load was meant.
    const std::string kick = scratch_ + "/kick.wav";
    SF_INFO info = {0, 44100, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0, 0};
    SNDFILE* sample = sf_open(kick.c_str(), SFM_WRITE, &info);
    ASSERT_NE(sample, nullptr) << sf_strerror(nullptr);
    const short frames[4] = {1000, -1000, 500, 0};
    ASSERT_EQ(sf_writef_short(sample, frames, 4), 4);
    sf_close(sample);
    const std::string before = test::readWhole(kick);
    expectOneLineError(run({"render", modulePath(), file("song.mid", oneNoteFile()), kick}), 1,
                       "will not write over " + kick +
                           ": it is a WAV file that corvale-host did not write (name another output, or "
                           "remove it)\n");
    EXPECT_EQ(test::readWhole(kick), before);
}

TEST_F(HostProgram, RefusesAViewItCannotWriteBeforeRenderingWithTheSystemsReason) {
    const std::string song = file("song.mid", oneNoteFile());
    const std::string out = scratch_ + "/out.wav";
    expectOneLineError(run({"render", "--view", scratch_ + "/nodir/v.png", modulePath(), song, out}), 1,
                       "corvale-host: cannot write the view to " + scratch_ +
                           "/nodir/v.png: No such file or directory\n");
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(HostProgram, RefusesAnOutputWhoseFolderCannotTakeANewFileBeforeRendering) {
    const std::string song = file("song.mid", oneNoteFile());
    std::filesystem::create_directory(scratch_ + "/kept");
    const std::string out = file("kept/out.wav", {});
    ::chmod((scratch_ + "/kept").c_str(), 0555);
    // Root writes in any folder: the program runs without that power, still as root where the test is, so
    // it reaches the build wherever the checkout lies.
    const trov::test::ChildOutcome refused = trov::test::runInChild([&] {
        if (const std::string failed = trov::test::withoutPermissionOverride(); !failed.empty()) {
            std::ofstream(scratch_ + "/child.err") << failed;
            return 99;
        }
        return run({"render", modulePath(), song, out}).status;
    });
    ::chmod((scratch_ + "/kept").c_str(), 0755);
    expectOneLineError({refused.exitCode, test::readWhole(scratch_ + "/child.out"),
                        test::readWhole(scratch_ + "/child.err")},
                       1, "corvale-host: cannot write " + out + ": Permission denied\n");
}

TEST_F(HostProgram, WritesOverAnEarlierRenderOrAnEmptyFile) {
    if (!moduleBuilt())
        GTEST_SKIP() << "the test module is not built";
    layOutInstallation();
    const std::string song = file("song.mid", oneNoteFile());
    const std::string out = scratch_ + "/out.wav";
    ASSERT_EQ(run({"render", "--quiet", "--tail", "0.5", modulePath(), song, out}).status, 0);
    const test::ChildResult again = run({"render", "--quiet", "--tail", "0.25", modulePath(), song, out});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(wavFrames(out), 24000 + 12000);
    const std::string empty = file("empty.wav", {});
    const test::ChildResult filled = run({"render", "--quiet", "--tail", "0", modulePath(), song, empty});
    EXPECT_EQ(filled.status, 0) << filled.err;
    EXPECT_EQ(wavFrames(empty), 24000);
}

TEST_F(HostProgram, OpensItsInputsOnlyWhenTheyAreRegularFiles) {
    layOutInstallation();
    const std::string song = file("song.mid", oneNoteFile());
    const std::string out = scratch_ + "/out.wav";
    const std::string folder = scratch_ + "/songs";
    std::filesystem::create_directory(folder);
    expectOneLineError(run({"render", modulePath(), folder, out}), 1,
                       "corvale-host: " + folder + ": a folder, not a MIDI file\n");
    expectOneLineError(run({"render", "--load", folder, modulePath(), song, out}), 1,
                       "cannot load " + folder + ": it is a folder, not a regular file\n");
    // A named pipe with no writer would block whoever opens it to read.
    const std::string pipe = scratch_ + "/pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    expectOneLineError(run({"render", modulePath(), pipe, out}), 1,
                       pipe + ": a named pipe, not a MIDI file\n");
    expectOneLineError(run({"render", "--load", pipe, modulePath(), song, out}), 1,
                       "cannot load " + pipe + ": it is a named pipe, not a regular file\n");
    EXPECT_FALSE(std::filesystem::exists(out));
    const test::ChildResult checked = run({"check", "--load", pipe, modulePath()});
    EXPECT_EQ(checked.status, 2);
    EXPECT_NE(checked.out.find("cannot load " + pipe + ": it is a named pipe, not a regular file"),
              std::string::npos)
        << checked.out;
}

} // namespace
} // namespace corvale::hostapp
