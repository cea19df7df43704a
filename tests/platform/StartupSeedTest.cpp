#include "platform/StartupSeed.h"
#include "platform/Diagnostics.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace trov::platform {
namespace {

TEST(StartupSeed, TakesOnlyAWholeDecimalNumberThatFitsThirtyTwoBits) {
    struct Case {
        const char* text;
        std::optional<std::uint32_t> seed;
    };
    const Case cases[] = {{"0", 0u},
                          {"1", 1u},
                          {"4294967295", 4294967295u},
                          {"007", 7u},
                          {"4294967296", {}},
                          {"-1", {}},
                          {"+5", {}},
                          {" 5", {}},
                          {"5 ", {}},
                          {"5x", {}},
                          {"0x10", {}},
                          {"", {}},
                          {"99999999999999999999", {}}};
    for (const Case& c : cases)
        EXPECT_EQ(parseStartupSeed(c.text), c.seed) << "'" << c.text << "'";
}

// Restores the variable and the diagnostic sink whatever the test did.
class StartupSeedVariable : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* value = std::getenv(kStartupSeedVariable))
            saved_ = value;
        setDiagnosticSink([this](int level, const std::string& text) { reports_.push_back({level, text}); });
    }
    void TearDown() override {
        setDiagnosticSink(nullptr);
        if (saved_)
            ::setenv(kStartupSeedVariable, saved_->c_str(), 1);
        else
            ::unsetenv(kStartupSeedVariable);
    }

    std::optional<std::string> saved_;
    std::vector<std::pair<int, std::string>> reports_;
};

TEST_F(StartupSeedVariable, IsZeroWhenUnsetOrEmptyAndSaysNothing) {
    ::unsetenv(kStartupSeedVariable);
    EXPECT_EQ(startupSeed(), 0u);
    ::setenv(kStartupSeedVariable, "", 1);
    EXPECT_EQ(startupSeed(), 0u);
    EXPECT_TRUE(reports_.empty());
}

TEST_F(StartupSeedVariable, GivesTheNumberItHolds) {
    ::setenv(kStartupSeedVariable, "123456789", 1);
    EXPECT_EQ(startupSeed(), 123456789u);
    EXPECT_TRUE(reports_.empty());
}

TEST_F(StartupSeedVariable, ReportsANonNumberAndFallsBackToTheTime) {
    ::setenv(kStartupSeedVariable, "twelve", 1);
    EXPECT_EQ(startupSeed(), 0u);
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_EQ(reports_[0].first, 3);
    EXPECT_NE(reports_[0].second.find("TROV_STARTUP_SEED 'twelve'"), std::string::npos) << reports_[0].second;
}

} // namespace
} // namespace trov::platform
