#include "hostapp/ModuleStartup.h"
#include "hostapp/RegistryFile.h"

#include "platform/Registry.h"
#include "support/ProgramRun.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace corvale::hostapp {
namespace {

// Keeps the variables these tests change and puts them back; gives each test a scratch folder.
class ModuleStartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : kVariables) {
            const char* value = std::getenv(name);
            saved_.emplace_back(value != nullptr ? std::optional<std::string>(value) : std::nullopt);
        }
        std::string pattern = (std::filesystem::temp_directory_path() / "corvale-startup-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        scratch_ = pattern;
    }
    void TearDown() override {
        for (std::size_t i = 0; i < saved_.size(); ++i) {
            if (saved_[i])
                ::setenv(kVariables[i], saved_[i]->c_str(), 1);
            else
                ::unsetenv(kVariables[i]);
        }
        std::error_code ignored;
        std::filesystem::remove_all(scratch_, ignored);
    }

    static std::optional<std::string> variable(const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    }

    static constexpr const char* kVariables[] = {"TROV_USER_REGISTRY", "TROV_MACHINE_REGISTRY",
                                                 "TROV_STARTUP_SEED", "XDG_CONFIG_HOME", "HOME"};
    std::vector<std::optional<std::string>> saved_;
    std::string scratch_;
};

TEST_F(ModuleStartupTest, NamesTheStoreFilesByTheModulesOwnRule) {
    struct Case {
        const char* machine;
        const char* user;
        const char* config;
        const char* home;
    };
    const Case cases[] = {{"/m/machine.reg", "/u/user.reg", "/config", "/home/a"},
                          {"", "", "/config", "/home/a"},
                          {nullptr, nullptr, nullptr, "/home/b"},
                          {nullptr, nullptr, "", "/home/c"},
                          {nullptr, nullptr, nullptr, nullptr}};
    const auto set = [](const char* name, const char* value) {
        if (value != nullptr)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    };
    for (const Case& c : cases) {
        set("TROV_MACHINE_REGISTRY", c.machine);
        set("TROV_USER_REGISTRY", c.user);
        set("XDG_CONFIG_HOME", c.config);
        set("HOME", c.home);
        EXPECT_EQ(registryStoreFile(true),
                  trov::platform::registryStoreFile(trov::platform::RegistryRoot::Machine));
        EXPECT_EQ(registryStoreFile(false),
                  trov::platform::registryStoreFile(trov::platform::RegistryRoot::User));
    }
}

TEST_F(ModuleStartupTest, AGivenSeedRunsTheModuleOnAScratchCopyOfTheUserStoreThatGoesAfterwards) {
    // The store named by the variable, then the default one in the configuration folder, then none.
    ::setenv("XDG_CONFIG_HOME", (scratch_ + "/config").c_str(), 1);
    std::filesystem::create_directories(scratch_ + "/config/trov-registry");
    const std::string named = scratch_ + "/named.reg";
    const std::string fallback = scratch_ + "/config/trov-registry/user.reg";
    std::ofstream(named) << "TRRG named store";
    std::ofstream(fallback) << "TRRG default store";
    struct Case {
        std::optional<std::string> variable;
        std::string store;
        std::string contents;
    };
    for (const Case& c :
         {Case{named, named, "TRRG named store"}, Case{std::nullopt, fallback, "TRRG default store"},
          Case{scratch_ + "/missing.reg", scratch_ + "/missing.reg", ""}}) {
        SCOPED_TRACE(c.store);
        if (c.variable)
            ::setenv("TROV_USER_REGISTRY", c.variable->c_str(), 1);
        else
            ::unsetenv("TROV_USER_REGISTRY");
        ::unsetenv("TROV_STARTUP_SEED");
        std::string scratchStore;
        {
            Options options;
            options.startupSeed = 77;
            ModuleStartup startup;
            std::string error;
            ASSERT_TRUE(startup.prepare(options, error)) << error;
            EXPECT_EQ(startup.seed(), 77u);
            EXPECT_EQ(variable("TROV_STARTUP_SEED"), "77");
            scratchStore = startup.scratchStore();
            EXPECT_EQ(variable("TROV_USER_REGISTRY"), scratchStore);
            EXPECT_NE(scratchStore, c.store);
            EXPECT_EQ(std::filesystem::exists(scratchStore), !c.contents.empty());
            EXPECT_EQ(test::readWhole(scratchStore), c.contents);
            std::ofstream(scratchStore) << "changed by the run";
        }
        EXPECT_EQ(test::readWhole(c.store), c.contents) << "the store itself is untouched";
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(scratchStore).parent_path()));
        EXPECT_EQ(variable("TROV_USER_REGISTRY"), c.variable);
        EXPECT_EQ(variable("TROV_STARTUP_SEED"), std::nullopt);
    }
}

TEST_F(ModuleStartupTest, WithoutAGivenSeedTheEnvironmentsNumberIsKeptElseOneIsPickedAndHandedOn) {
    ::setenv("TROV_USER_REGISTRY", (scratch_ + "/user.reg").c_str(), 1);
    struct Case {
        std::optional<std::string> variable;
        std::optional<std::uint32_t> kept;
    };
    // 0 and text that is no number leave the module to the time, so a seed is picked instead.
    for (const Case& c : {Case{"4242", 4242u}, Case{std::nullopt, std::nullopt}, Case{"0", std::nullopt},
                          Case{"12x", std::nullopt}}) {
        SCOPED_TRACE(c.variable.value_or("unset"));
        if (c.variable)
            ::setenv("TROV_STARTUP_SEED", c.variable->c_str(), 1);
        else
            ::unsetenv("TROV_STARTUP_SEED");
        {
            ModuleStartup startup;
            std::string error;
            ASSERT_TRUE(startup.prepare(Options(), error)) << error;
            if (c.kept) {
                EXPECT_EQ(startup.seed(), *c.kept);
            }
            EXPECT_NE(startup.seed(), 0u);
            EXPECT_EQ(variable("TROV_STARTUP_SEED"), std::to_string(startup.seed()));
            EXPECT_EQ(startup.scratchStore(), "");
            EXPECT_EQ(variable("TROV_USER_REGISTRY"), scratch_ + "/user.reg");
        }
        EXPECT_EQ(variable("TROV_STARTUP_SEED"), c.variable);
    }
}

TEST_F(ModuleStartupTest, NamesAUserStoreThatCannotBeSavedWithTheSystemsReason) {
    // Not even root makes a file in /proc.
    ::setenv("TROV_USER_REGISTRY", "/proc/corvale-user.reg", 1);
    ModuleStartup startup;
    std::string error;
    ASSERT_TRUE(startup.prepare(Options(), error)) << error;
    const std::vector<std::string> lines = startup.setAside();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(
        lines[0].rfind("TROV_USER_REGISTRY names /proc/corvale-user.reg, which cannot be saved (No such "
                       "file or directory): ",
                       0),
        0u)
        << lines[0];
}

} // namespace
} // namespace corvale::hostapp
