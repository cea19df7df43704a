#include "framework/Logger.h"

#include "framework/Error.h"
#include "support/ChildProcess.h"
#include "support/FileTestFolder.h"
#include "support/LogCapture.h"
#include "support/ScopedProduct.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace trov;

TEST(Logger, PrefixCountsHoursMinutesSecondsAndMilliseconds) {
    EXPECT_EQ(Logger::formatPrefix(3723004), "01:02:03:004 | ");
    EXPECT_EQ(Logger::formatPrefix(0), "00:00:00:000 | ");
    EXPECT_EQ(Logger::formatPrefix(100LL * 3600000), "100:00:00:000 | ");
    // Elapsed time is 64-bit: a month of uptime does not wrap.
    EXPECT_EQ(Logger::formatPrefix(720LL * 3600000 + 1), "720:00:00:001 | ");
}

TEST(Logger, DropsLinesBelowTheThreshold) {
    test::LogCapture capture(2);
    capture.log().log(0, "detail %d", 1);
    capture.log().log(3, "error %d", 2);
    EXPECT_EQ(capture.count("detail 1"), 0);
    EXPECT_EQ(capture.count("error 2"), 1);
    capture.log().setLevel(0);
    capture.log().log(0, "now %s", "visible");
    EXPECT_EQ(capture.count("now visible"), 1);
}

TEST(Logger, LinesCarryThePrefixAndErrorsTheirCodeAndPlace) {
    test::LogCapture capture(0);
    capture.log().logError(3, GeneralError("Loader::load", "bad chunk"));
    const std::regex line(R"(\d\d:\d\d:\d\d:\d\d\d \| !! bad chunk \[EGEN\] at Loader::load\n)");
    EXPECT_TRUE(std::regex_search(capture.text(), line)) << capture.text();
}

TEST(Logger, DropsOverlongFormatsButCutsOverlongTexts) {
    test::LogCapture capture(0);
    const std::string longFormat(Logger::kMaxFormatLength, 'f');
    // A format of that length, deliberately not a literal.
    const char* format = longFormat.c_str();
    capture.log().log(3, format, 0);
    EXPECT_EQ(capture.count("fff"), 0);
    capture.log().log(3, nullptr);
    capture.log().log(3, std::string(Logger::kBufferSize * 2, 'x'));
    const std::string text = capture.text();
    const auto first = text.find('x');
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(text.find_first_not_of('x', first) - first, Logger::kBufferSize - 1);
}

TEST(Logger, ProductLogLivesInTheMakersApplicationDataFolderBetweenBanners) {
    test::FileTestFolder folder;
    test::ScopedProduct product;
    ::setenv("XDG_STATE_HOME", folder.path().c_str(), 1);
    std::string path;
    {
        Logger log(2);
        path = log.getPath();
        log.log(2, "hello");
    }
    ::unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(path, folder / "Maker/Sampler.log");
    const std::string text = test::readFile(path);
    const std::string stamp = R"( @ \d\d:\d\d:\d\d [A-Z][a-z]{2} \d{1,2} \d{4} --------)";
    for (const std::string& line : {"---- Sampler logger started" + stamp, std::string(R"(\| hello\n)"),
                                    "---- Sampler logger stopped" + stamp})
        EXPECT_TRUE(std::regex_search(text, std::regex(line))) << line << "\n" << text;
}

TEST(Logger, ALogThatCannotBeWrittenSaysOnStandardErrorWhereItCouldNotGo) {
    test::FileTestFolder folder;
    test::ScopedProduct product;
    // The application-data folder names a file.
    const std::string state = folder.write("state", "not a folder");
    const test::ChildOutcome child = test::runInChild([&] {
        const int err = ::open((folder / "err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(err, STDERR_FILENO);
        ::setenv("XDG_STATE_HOME", state.c_str(), 1);
        Logger log(2);
        return 0;
    });
    ASSERT_TRUE(child.exited);
    EXPECT_EQ(test::readFile(folder / "err.txt"),
              "Sampler: no log is written: cannot write " + state + "/Maker/Sampler.log: Not a directory\n");
}

TEST(Logger, ALogOnAFullDiskSaysOnceOnStandardErrorThatItLosesLines) {
    test::FileTestFolder folder;
    test::ScopedProduct product;
    // Every write to /dev/full fails as on a full file system, though it opens.
    const test::ChildOutcome child = test::runInChild([&] {
        const int err = ::open((folder / "err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(err, STDERR_FILENO);
        Logger log(0, "/dev/full");
        log.log(3, "lost");
        return 0;
    });
    ASSERT_TRUE(child.exited);
    EXPECT_EQ(test::readFile(folder / "err.txt"),
              "Sampler: the log loses lines: cannot write /dev/full: No space left on device\n");
}

TEST(Logger, KeepsLinesFromSeveralThreadsWhole) {
    test::LogCapture capture(0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i)
                logLine(1, "thread %d line %d end", t, i);
        });
    for (auto& t : threads)
        t.join();
    std::istringstream lines(capture.text());
    const std::regex whole(R"(\d\d:\d\d:\d\d:\d\d\d \| (thread \d line \d+ end|---- .*))");
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count)
        EXPECT_TRUE(std::regex_match(line, whole)) << line;
    EXPECT_EQ(count, 801); // the start banner and every line
}

TEST(Logger, WithoutAProcessLogNothingIsWritten) {
    ASSERT_EQ(getLog(), nullptr);
    logLine(3, "into the void %d", 1); // must not crash
    logErrorLine(3, GeneralError("w", "m"));
}

TEST(Logger, TwoProcessesLoggingIntoOneFileKeepEveryLineWholeAndNeitherStartsItOverTheOther) {
    test::FileTestFolder folder;
    const std::string path = folder / "shared.log";
    constexpr int kLines = 1500;
    // The first opener starts the file afresh, over what an earlier run left.
    std::ofstream(path) << "an earlier run\n";
    auto first = std::make_unique<Logger>(0, path);
    const test::ChildOutcome child = test::runInChild(
        [&] {
            Logger second(0, path);
            for (int i = 0; i < kLines; ++i)
                second.log(2, "child line %d of a text long enough to need more than one small write", i);
            return 0;
        },
        [&] {
            for (int i = 0; i < kLines; ++i)
                first->log(2, "parent line %d of a text long enough to need more than one small write", i);
        });
    ASSERT_TRUE(child.exited);
    first.reset();
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text.find('\0'), std::string::npos) << "runs of zero bytes";
    EXPECT_EQ(text.find("an earlier run"), std::string::npos);
    const std::regex whole(
        R"(\d\d:\d\d:\d\d:\d\d\d \| ((parent|child) line \d+ of a text long enough to need more )"
        R"(than one small write|---- .* logger (started|stopped) @ .*))");
    std::istringstream lines(text);
    int parent = 0;
    int children = 0;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(std::regex_match(line, whole)) << line;
        parent += line.find("| parent line") != std::string::npos;
        children += line.find("| child line") != std::string::npos;
    }
    EXPECT_EQ(parent, kLines);
    EXPECT_EQ(children, kLines);
}
