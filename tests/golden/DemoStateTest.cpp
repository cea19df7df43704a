// A host project saved after the demo bank was dropped, reopened in another process: the state chunk
// carries no audio, so the new instance must find the demo sample's file by the name the chunk gives.
#include "CorvaleScratch.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace corvale::golden {
namespace {

struct Heard {
    double peak = -1.0;
    double rms = -1.0;
};

Heard heardIn(const test::ChildResult& run) {
    Heard heard;
    if (std::sscanf(run.out.c_str(), "peak %lf rms %lf", &heard.peak, &heard.rms) != 2)
        return Heard{};
    return heard;
}

// Every log the run wrote, joined.
std::string logsOf(const std::string& runFolder) {
    std::string text;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(runFolder + "/state"))
        if (entry.path().extension() == ".log")
            text += test::readWhole(entry.path().string());
    return text;
}

// A copy of the demo bank in the scratch folder's named folder, with its sample beside it ("demo/demo.wav",
// which the bank names); the bank's path.
std::string copyDemoBank(const CorvaleScratch& scratch, const std::string& folder) {
    const std::string demo = std::string(CORVALE_DATA_DIR) + "/demo/";
    std::filesystem::create_directories(scratch / (folder + "/demo"));
    std::filesystem::copy_file(demo + "demo.wav", scratch / (folder + "/demo/demo.wav"));
    std::filesystem::copy_file(demo + "demo.kmd", scratch / (folder + "/demo.kmd"));
    return scratch / (folder + "/demo.kmd");
}

TEST(CorvaleDemoState, AStateTakenAfterTheDemoBankPlaysTheDemoSampleInANewProcess) {
    CorvaleScratch scratch;
    ASSERT_EQ(scratch.error(), "");
    const std::string chunk = scratch / "project.chunk";
    const std::vector<std::pair<std::string, std::string>> seed = {{"TROV_STARTUP_SEED", "4242"}};
    const test::ChildResult saved =
        scratch.runProgram({CORVALE_STATE_SESSION, "save", CORVALE_MODULE,
                            std::string(CORVALE_DATA_DIR) + "/demo/demo.kmd", chunk},
                           std::string(), seed);
    ASSERT_EQ(saved.status, 0) << saved.err;
    const test::ChildResult opened =
        scratch.runProgram({CORVALE_STATE_SESSION, "open", CORVALE_MODULE, chunk}, std::string(), seed);
    ASSERT_EQ(opened.status, 0) << opened.err;

    // The demo tone reaches well above -40 dBFS at key 60 on both layers; without its sample the
    // instrument is silent.
    EXPECT_GT(heardIn(saved).peak, 0.01) << saved.out;
    EXPECT_GT(heardIn(opened).peak, 0.01) << opened.out;
    EXPECT_EQ(logsOf(scratch.runFolder(1)).find("not found"), std::string::npos);
}

// A project saved after a bank was dropped by a path relative to the host's working folder reopens with its
// sample in a process working elsewhere.
TEST(CorvaleDemoState, AStateTakenAfterADropByARelativePathPlaysItsSampleInAnotherWorkingFolder) {
    CorvaleScratch scratch;
    ASSERT_EQ(scratch.error(), "");
    copyDemoBank(scratch, "rel");
    const std::string chunk = scratch / "project.chunk";
    const std::vector<std::pair<std::string, std::string>> seed = {{"TROV_STARTUP_SEED", "4242"}};
    std::filesystem::create_directories(scratch / "saving");
    std::filesystem::create_directories(scratch / "opening/deeper");
    const test::ChildResult saved =
        scratch.runProgram({CORVALE_STATE_SESSION, "save", CORVALE_MODULE, "../rel/demo.kmd", chunk},
                           std::string(), seed, {}, scratch / "saving");
    ASSERT_EQ(saved.status, 0) << saved.err;
    const test::ChildResult opened =
        scratch.runProgram({CORVALE_STATE_SESSION, "open", CORVALE_MODULE, chunk}, std::string(), seed, {},
                           scratch / "opening/deeper");
    ASSERT_EQ(opened.status, 0) << opened.err;

    EXPECT_GT(heardIn(saved).peak, 0.01) << saved.out;
    EXPECT_GT(heardIn(opened).peak, 0.01) << opened.out;
    EXPECT_EQ(opened.out.find("shown: "), std::string::npos) << opened.out;
    const std::string sample = std::filesystem::canonical(scratch / "rel/demo/demo.wav").string();
    EXPECT_NE(test::readWhole(chunk).find("<filename value=\"" + sample + "\" />"), std::string::npos);
}

// A sample file whose name is no UTF-8 keeps its very bytes through a saved project: another process plays
// it, and a save there names it as the first did.
TEST(CorvaleDemoState, ASampleNamedByBytesThatAreNoUtf8PlaysInANewProcessAndKeepsItsName) {
    CorvaleScratch scratch;
    ASSERT_EQ(scratch.error(), "");
    const std::string sample = scratch / "s\xff\xfe.wav";
    std::filesystem::copy_file(std::string(CORVALE_DATA_DIR) + "/demo/demo.wav", sample);
    const std::string chunk = scratch / "project.chunk";
    const std::string back = scratch / "back.chunk";
    const std::vector<std::pair<std::string, std::string>> seed = {{"TROV_STARTUP_SEED", "4242"}};
    const test::ChildResult saved = scratch.runProgram(
        {CORVALE_STATE_SESSION, "save", CORVALE_MODULE, sample, chunk}, std::string(), seed);
    ASSERT_EQ(saved.status, 0) << saved.err;
    const test::ChildResult opened =
        scratch.runProgram({CORVALE_STATE_SESSION, "open", CORVALE_MODULE, chunk, back}, std::string(), seed);
    ASSERT_EQ(opened.status, 0) << opened.err;

    EXPECT_GT(heardIn(saved).peak, 0.01) << saved.out;
    EXPECT_GT(heardIn(opened).peak, 0.01) << opened.out;
    EXPECT_TRUE(test::readWhole(back) == test::readWhole(chunk));
}

// A project reopened after its sample file went plays nothing, says so once, naming the file, and gives
// back the very chunk it was given: a later save still names the sample.
TEST(CorvaleDemoState, AStateWhoseSampleFileIsGoneKeepsItsNameAndSaysSoOnce) {
    CorvaleScratch scratch;
    ASSERT_EQ(scratch.error(), "");
    const std::string bank = copyDemoBank(scratch, "gone");
    const std::string chunk = scratch / "project.chunk";
    const std::string back = scratch / "back.chunk";
    const std::vector<std::pair<std::string, std::string>> seed = {{"TROV_STARTUP_SEED", "4242"}};
    const test::ChildResult saved =
        scratch.runProgram({CORVALE_STATE_SESSION, "save", CORVALE_MODULE, bank, chunk}, std::string(), seed);
    ASSERT_EQ(saved.status, 0) << saved.err;
    const std::string sample = scratch / "gone/demo/demo.wav";
    ASSERT_TRUE(std::filesystem::remove(sample));
    const test::ChildResult opened =
        scratch.runProgram({CORVALE_STATE_SESSION, "open", CORVALE_MODULE, chunk, back}, std::string(), seed);
    ASSERT_EQ(opened.status, 0) << opened.err;

    EXPECT_EQ(heardIn(opened).peak, 0.0) << opened.out;
    const std::string given = test::readWhole(chunk);
    EXPECT_NE(given.find("<filename value=\"" + sample + "\" />"), std::string::npos);
    const std::string taken = test::readWhole(back);
    EXPECT_EQ(taken.size(), given.size());
    EXPECT_TRUE(taken == given);
    const std::size_t shown = opened.out.find("shown: ");
    ASSERT_NE(shown, std::string::npos) << opened.out;
    EXPECT_EQ(opened.out.find("shown: ", shown + 1), std::string::npos) << opened.out;
    EXPECT_NE(opened.out.find("The sample file " + sample + " could not be found", shown), std::string::npos)
        << opened.out;
}

} // namespace
} // namespace corvale::golden
