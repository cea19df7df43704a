#include "framework/Logger.h"

#include "framework/Error.h"
#include "framework/ProductIdentity.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

using namespace trov;

namespace {
struct TestProduct : ProductIdentity {
    std::string getName() const override { return "Corvale"; }
    std::string getMakerName() const override { return "Vennikt"; }
    std::string getVersionString() const override { return "1.2.7"; }
};

std::string readAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
} // namespace

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
    const std::string text = capture.text();
    EXPECT_EQ(text.find("detail 1"), std::string::npos);
    EXPECT_NE(text.find("error 2"), std::string::npos);
    capture.log().setLevel(0);
    capture.log().log(0, "now %s", "visible");
    EXPECT_NE(capture.text().find("now visible"), std::string::npos);
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
    capture.log().log(3, longFormat.c_str());
    EXPECT_EQ(capture.text().find("fff"), std::string::npos);
    capture.log().log(3, nullptr);
    const std::string huge(Logger::kBufferSize * 2, 'x');
    capture.log().log(3, huge);
    const std::string text = capture.text();
    const auto first = text.find('x');
    ASSERT_NE(first, std::string::npos);
    const auto run = text.find_first_not_of('x', first) - first;
    EXPECT_EQ(run, Logger::kBufferSize - 1);
}

TEST(Logger, WritesBannersWithTheProductNameTimeAndDate) {
    TestProduct product;
    setProductIdentity(&product);
    const std::string path = (std::filesystem::temp_directory_path() / "trov-banner-test.log").string();
    { Logger log(2, path); }
    setProductIdentity(nullptr);
    const std::string text = readAll(path);
    std::filesystem::remove(path);
    const std::regex started(R"(---- Corvale logger started @ \d\d:\d\d:\d\d [A-Z][a-z]{2} \d{1,2} \d{4} --------)");
    const std::regex stopped(R"(---- Corvale logger stopped @ \d\d:\d\d:\d\d [A-Z][a-z]{2} \d{1,2} \d{4} --------)");
    EXPECT_TRUE(std::regex_search(text, started)) << text;
    EXPECT_TRUE(std::regex_search(text, stopped)) << text;
}

TEST(Logger, OpensProductLogInTheMakersApplicationDataFolder) {
    TestProduct product;
    setProductIdentity(&product);
    const auto root = std::filesystem::temp_directory_path() / "trov-logger-appdata";
    std::filesystem::remove_all(root);
    const char* old = std::getenv("XDG_STATE_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_STATE_HOME", root.c_str(), 1);
    std::string path;
    {
        Logger log(2);
        path = log.getPath();
        log.log(2, "hello");
    }
    if (old)
        setenv("XDG_STATE_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_STATE_HOME");
    setProductIdentity(nullptr);
    EXPECT_EQ(path, (root / "Vennikt" / "Corvale.log").string());
    EXPECT_NE(readAll(path).find("hello"), std::string::npos);
    std::filesystem::remove_all(root);
}

TEST(Logger, KeepsLinesFromSeveralThreadsWhole) {
    test::LogCapture capture(0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i)
                logLine(1, "thread %d line %d end", t, i);
        });
    for (auto& t : threads)
        t.join();
    std::istringstream lines(capture.text());
    const std::regex whole(R"(\d\d:\d\d:\d\d:\d\d\d \| (thread \d line \d+ end|---- .*))");
    int count = 0;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(std::regex_match(line, whole)) << line;
        ++count;
    }
    EXPECT_EQ(count, 801); // the start banner and every line
}

TEST(Logger, WithoutAProcessLogNothingIsWritten) {
    ASSERT_EQ(getLog(), nullptr);
    logLine(3, "into the void %d", 1); // must not crash
    logErrorLine(3, GeneralError("w", "m"));
}
