#include "framework/Preferences.h"

#include "support/FileTestFolder.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

using namespace trov;
using platform::RegistryRoot;

namespace {

const char* const kPath = "Software\\Maker\\Product";
using Names = std::vector<std::string>;

class PreferencesTest : public testing::Test {
protected:
    std::unique_ptr<Preferences> open(RegistryRoot root = RegistryRoot::User) {
        return std::make_unique<Preferences>(root, kPath);
    }
    test::FileTestFolder folder_;
    std::unique_ptr<Preferences> prefs_ = open();
};

TEST_F(PreferencesTest, ValuesKeysAndClearingPersistAcrossStoreObjects) {
    {
        auto writer = open();
        ASSERT_TRUE(writer->isOpen());
        EXPECT_FALSE(writer->setString("InstallPath", "/opt/ostrel").failed());
        EXPECT_FALSE(writer->setLong("LogLevel", -7).failed());
        EXPECT_FALSE(writer->setBool("SendCrashDump", true).failed());
        std::unique_ptr<Preferences> child(writer->createChild("MIDI Controllers"));
        ASSERT_TRUE(child);
        EXPECT_FALSE(child->setLong("7", 3).failed());
    }
    auto reader = open();
    std::string path;
    std::int32_t level = 0;
    bool send = false;
    EXPECT_TRUE(reader->getString("installpath", path));
    EXPECT_EQ(path, "/opt/ostrel");
    EXPECT_TRUE(reader->getLong("LogLevel", level));
    EXPECT_EQ(level, -7);
    EXPECT_TRUE(reader->getBool("SendCrashDump", send));
    EXPECT_TRUE(send);
    EXPECT_EQ(reader->getKeys(), (Names{"InstallPath", "LogLevel", "SendCrashDump"}));
    EXPECT_TRUE(reader->exists("MIDI Controllers"));
    EXPECT_TRUE(open(RegistryRoot::Machine)->getKeys().empty()) << "the machine's store is another";

    auto other = open();
    EXPECT_TRUE(reader->clearChild("midi controllers"));
    std::unique_ptr<Preferences> cleared(other->openChild("MIDI Controllers"));
    ASSERT_TRUE(cleared);
    EXPECT_TRUE(cleared->getKeys().empty());
    EXPECT_FALSE(other->clear().failed());
    EXPECT_TRUE(open()->getKeys().empty());
}

TEST_F(PreferencesTest, MissingValuesLeaveTheOutValueUntouched) {
    std::string text = "keep";
    std::int32_t number = 42;
    bool flag = true;
    float real = 1.5f;
    char buffer[4] = {'k', 'e', 'e', 'p'};
    EXPECT_FALSE(prefs_->getString("none", text) || prefs_->getLong("none", number) ||
                 prefs_->getBool("none", flag) || prefs_->getFloat("none", real) ||
                 prefs_->getData("none", buffer, sizeof buffer) || prefs_->exists("none"));
    EXPECT_EQ(prefs_->getSize("none"), 0u);
    EXPECT_EQ(text, "keep");
    EXPECT_EQ(number, 42);
    EXPECT_TRUE(flag);
    EXPECT_EQ(real, 1.5f);
    EXPECT_EQ(std::string(buffer, 4), "keep");
}

TEST_F(PreferencesTest, StringsReadUpToTheirNulOrTheEndOfTheStoredBytes) {
    EXPECT_FALSE(prefs_->setString("with", "abc").failed());
    EXPECT_FALSE(prefs_->setData("without", "xyz", 3).failed());
    EXPECT_FALSE(prefs_->setString("empty", "").failed());
    EXPECT_EQ(prefs_->getSize("with"), 4u);
    EXPECT_EQ(prefs_->getSize("without"), 3u);
    for (const auto& [name, stored] : {std::pair{"with", "abc"}, {"without", "xyz"}, {"empty", ""}}) {
        std::string text = "old";
        EXPECT_TRUE(prefs_->getString(name, text));
        EXPECT_EQ(text, stored);
    }
    // A name that names a child key but no value is found, and the text left as it was.
    std::unique_ptr<Preferences> child(prefs_->createChild("Sample Folders"));
    std::string text = "keep";
    EXPECT_TRUE(prefs_->getString("Sample Folders", text));
    EXPECT_EQ(text, "keep");
}

TEST_F(PreferencesTest, NumbersReadOnlyFromFourStoredBytes) {
    EXPECT_FALSE(prefs_->setLong("two", 2).failed());
    bool flag = false;
    EXPECT_TRUE(prefs_->getBool("two", flag));
    EXPECT_TRUE(flag);

    EXPECT_FALSE(prefs_->setString("short", "ab").failed()); // three bytes
    EXPECT_FALSE(prefs_->setString("long", "abcdefg").failed());
    const std::uint8_t two[2] = {1, 1};
    EXPECT_FALSE(prefs_->setData("pair", two, 2).failed());
    for (const char* name : {"short", "long", "pair"}) {
        std::int32_t number = 42;
        float real = 1.5f;
        bool truth = false;
        EXPECT_FALSE(prefs_->getLong(name, number)) << name;
        EXPECT_FALSE(prefs_->getFloat(name, real)) << name;
        EXPECT_FALSE(prefs_->getBool(name, truth)) << name;
        EXPECT_EQ(number, 42);
        EXPECT_EQ(real, 1.5f);
        EXPECT_FALSE(truth);
    }
    // Readers do not check the type: four string bytes are a number.
    EXPECT_FALSE(prefs_->setString("four", "abc").failed());
    std::int32_t number = 0;
    EXPECT_TRUE(prefs_->getLong("four", number));
    EXPECT_EQ(number, 'a' | ('b' << 8) | ('c' << 16));
}

TEST_F(PreferencesTest, FloatsReadBackBitIdentical) {
    const float values[] = {0.1f, -0.0f, std::numeric_limits<float>::denorm_min(),
                            std::numeric_limits<float>::infinity(), std::nanf("0x2a")};
    for (float value : values) {
        EXPECT_FALSE(prefs_->setFloat("f", value).failed());
        float back = 0;
        EXPECT_TRUE(open()->getFloat("f", back));
        EXPECT_EQ(std::memcmp(&back, &value, sizeof value), 0) << value;
    }
}

TEST_F(PreferencesTest, ChildrenOpenOnlyWhereEveryLevelExistsAndClearingKeepsThem) {
    std::unique_ptr<Preferences> a(prefs_->createChild("A"));
    ASSERT_TRUE(a);
    EXPECT_FALSE(a->setLong("inner", 1).failed());
    EXPECT_EQ(prefs_->openChild("A/B"), nullptr);
    std::unique_ptr<Preferences> b(prefs_->createChild("A/B"));
    ASSERT_TRUE(b);
    EXPECT_EQ(b->getPath(), kPath);

    for (const char* name : {"a", "b", "c"})
        EXPECT_FALSE(prefs_->setLong(name, 1).failed());
    EXPECT_FALSE(prefs_->clear().failed());
    EXPECT_TRUE(prefs_->getKeys().empty());
    EXPECT_TRUE(prefs_->exists("A"));
    EXPECT_EQ(a->getKeys(), (Names{"inner"}));
}

TEST_F(PreferencesTest, AKeyThatCannotBeOpenedLogsAndRefusesEveryWrite) {
    test::LogCapture log;
    folder_.write("plain", "a file, not a folder");
    ::setenv("TROV_USER_REGISTRY", (folder_ / "plain/user.reg").c_str(), 1);
    auto prefs = open();
    EXPECT_FALSE(prefs->isOpen());
    EXPECT_EQ(log.count("failed to open preferences Software\\Maker\\Product"), 1);
    const Error error = prefs->setLong("LogLevel", 1);
    EXPECT_EQ(error.getCode(), "EPNS");
    EXPECT_EQ(error.getMessage(), "Preferences key 'Software\\Maker\\Product\\LogLevel' could not be saved");
    EXPECT_EQ(error.getWhere(), "Preferences::setLong");
    EXPECT_TRUE(prefs->clear().failed());
    EXPECT_EQ(prefs->createChild("X"), nullptr);
    EXPECT_FALSE(prefs->clearChild("X"));
    std::int32_t level = 5;
    EXPECT_FALSE(prefs->getLong("LogLevel", level));
    EXPECT_TRUE(prefs->getKeys().empty());
}

} // namespace
