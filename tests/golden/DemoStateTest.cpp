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

} // namespace
} // namespace corvale::golden
