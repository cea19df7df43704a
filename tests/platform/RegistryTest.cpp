#include "platform/Registry.h"

#include "support/ChildProcess.h"
#include "support/FileTestFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <thread>

namespace fs = std::filesystem;
using namespace trov::platform;

namespace {

class RegistryTest : public testing::Test {
protected:
    // The user's store one level down, so saving must make its folder.
    RegistryTest() { ::setenv("TROV_USER_REGISTRY", userFile_.c_str(), 1); }

    static std::unique_ptr<RegistryKey> product(RegistryRoot root = RegistryRoot::User) {
        return RegistryKey::open(root, "Software\\Maker/Product", true);
    }
    static bool setText(RegistryKey& key, const std::string& name, const std::string& text) {
        return key.setValue(name, RegistryType::String, text.c_str(), text.size() + 1);
    }
    static std::string text(const RegistryKey& key, const std::string& name) {
        const auto value = key.getValue(name);
        return value ? std::string(value->data.begin(), value->data.end()) : std::string("<missing>");
    }

    trov::test::FileTestFolder folder_;
    const std::string userFile_ = folder_ / "sub/user.reg";
};

using Names = std::vector<std::string>;

TEST_F(RegistryTest, ValuesPersistThroughTheFileToKeysOpenedLater) {
    {
        auto key = product();
        ASSERT_TRUE(key);
        ASSERT_TRUE(setText(*key, "InstallPath", "/opt/x"));
        const std::int32_t level = 2;
        ASSERT_TRUE(key->setValue("LogLevel", RegistryType::Dword, &level, 4));
    }
    ASSERT_TRUE(fs::exists(userFile_));
    auto again = RegistryKey::open(RegistryRoot::User, "software\\maker\\product", false);
    ASSERT_TRUE(again);
    EXPECT_EQ(text(*again, "installpath"), std::string("/opt/x\0", 7));
    const auto level = again->getValue("LOGLEVEL");
    ASSERT_TRUE(level);
    EXPECT_EQ(level->type, RegistryType::Dword);
    EXPECT_EQ(level->data, (std::vector<std::uint8_t>{2, 0, 0, 0}));
    EXPECT_EQ(again->getPath(), "software\\maker\\product");
}

TEST_F(RegistryTest, NamesCompareIgnoringCaseAndKeepTheirFirstSpellingAndPosition) {
    auto key = product();
    for (const auto& [name, value] : {std::pair{"Zeta", "1"}, {"Alpha", "2"}, {"Mid", "3"}, {"ZETA", "4"}})
        ASSERT_TRUE(setText(*key, name, value));
    EXPECT_EQ(key->getValueNames(), (Names{"Zeta", "Alpha", "Mid"}));
    EXPECT_EQ(text(*key, "zeta"), std::string("4\0", 2));
    ASSERT_TRUE(key->deleteValue("alpha"));
    ASSERT_TRUE(setText(*key, "Alpha", "5"));
    EXPECT_EQ(product()->getValueNames(), (Names{"Zeta", "Mid", "Alpha"}));
}

TEST_F(RegistryTest, ChildKeysOpenOnlyWhenEveryLevelExistsUnlessCreated) {
    auto key = product();
    ASSERT_TRUE(key->openChild("A", true));
    EXPECT_FALSE(key->openChild("A/B", false));
    EXPECT_TRUE(key->hasChild("a"));
    EXPECT_FALSE(key->hasChild("A\\B"));
    auto b = key->openChild("A\\B", true);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->getPath(), "Software\\Maker\\Product\\A\\B");
    ASSERT_TRUE(setText(*b, "v", "x"));
    auto reopened = RegistryKey::open(RegistryRoot::User, "Software/Maker/Product/a/b", false);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->getValueNames(), (Names{"v"}));
}

TEST_F(RegistryTest, MachineAndUserRootsAreSeparateStores) {
    ASSERT_TRUE(setText(*product(RegistryRoot::Machine), "Where", "machine"));
    EXPECT_FALSE(product(RegistryRoot::User)->getValue("Where"));
    EXPECT_TRUE(fs::exists(folder_ / "machine.reg"));
}

TEST_F(RegistryTest, OpeningKeysNeverMakesAMissingMachineStoreOnlyAValueWrittenDoes) {
    const std::string machine = folder_ / "wrong/place/machine.reg";
    ::setenv("TROV_MACHINE_REGISTRY", machine.c_str(), 1);
    auto key = product(RegistryRoot::Machine);
    ASSERT_TRUE(key) << "a missing store reads as empty";
    EXPECT_FALSE(key->getValue("InstallPath"));
    EXPECT_TRUE(key->getValueNames().empty());
    auto child = key->openChild("Child", true);
    ASSERT_TRUE(child);
    EXPECT_FALSE(RegistryKey::open(RegistryRoot::Machine, "Software", false));
    EXPECT_FALSE(fs::exists(folder_ / "wrong")) << "neither the store nor its folder is made by opening";

    ASSERT_TRUE(setText(*child, "Where", "here"));
    EXPECT_TRUE(fs::exists(machine));
    auto reopened = RegistryKey::open(RegistryRoot::Machine, "software/maker/product/child", false);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(text(*reopened, "where"), std::string("here\0", 5));
    // Once the store exists, creating a key writes it as before.
    ASSERT_TRUE(RegistryKey::open(RegistryRoot::Machine, "Software/Other", true));
    EXPECT_TRUE(RegistryKey::open(RegistryRoot::Machine, "Software/Other", false));
    // The user's store is the process's own and is made when a key is created.
    ASSERT_TRUE(product(RegistryRoot::User));
    EXPECT_TRUE(fs::exists(userFile_));
}

TEST_F(RegistryTest, OversizedValuesAndNamesAreRefusedAndNothingChanges) {
    auto key = product();
    std::vector<std::uint8_t> big(RegistryNode::kMaxValueSize + 1);
    EXPECT_FALSE(key->setValue("big", RegistryType::Binary, big.data(), big.size()));
    EXPECT_FALSE(
        key->setValue(std::string(RegistryNode::kMaxValueName + 1, 'n'), RegistryType::Binary, "x", 1));
    EXPECT_FALSE(key->openChild(std::string(RegistryNode::kMaxKeyName + 1, 'k'), true));
    EXPECT_TRUE(key->getValueNames().empty());
}

TEST_F(RegistryTest, AnUnreadableStoreReadsAsEmptyAndIsKeptAsideAtTheNextWrite) {
    folder_.write("sub/user.reg", "TRRG, then garbage");
    auto key = product();
    ASSERT_TRUE(key);
    ASSERT_TRUE(setText(*key, "fresh", "1"));
    EXPECT_EQ(trov::test::readFile(userFile_ + ".unreadable"), "TRRG, then garbage");
    EXPECT_EQ(RegistryKey::open(RegistryRoot::User, "Software/Maker/Product", false)->getValueNames(),
              (Names{"fresh"}));

    // A store that cannot be written opens no new key.
    folder_.write("plain", "not a folder");
    ::setenv("TROV_USER_REGISTRY", (folder_ / "plain/user.reg").c_str(), 1);
    EXPECT_FALSE(RegistryKey::open(RegistryRoot::User, "Software", true));
}

TEST_F(RegistryTest, ADamagedStoreIsKeptAsideUnderTheFirstFreeNameReplacingNothing) {
    folder_.write("sub/user.reg.unreadable", "the user's own file");
    folder_.write("sub/user.reg", "TRRG, then garbage");
    ASSERT_TRUE(setText(*product(), "fresh", "1"));
    EXPECT_EQ(trov::test::readFile(userFile_ + ".unreadable"), "the user's own file");
    EXPECT_EQ(trov::test::readFile(userFile_ + ".unreadable.1"), "TRRG, then garbage");
}

TEST_F(RegistryTest, ADamagedMachineStoreIsSaidToBeLeftAsItIsForTheModuleNeverWritesIt) {
    folder_.write("machine.reg", "TRRG, then garbage");
    const RegistryStoreCheck check = checkRegistryStore(RegistryRoot::Machine);
    EXPECT_EQ(check.state, RegistryStoreCheck::State::Damaged);
    EXPECT_NE(check.problem.find("it is read as empty and left as it is."), std::string::npos)
        << check.problem;
}

TEST_F(RegistryTest, AStoreBehindALinkIsWrittenAtItsTargetWhichKeepsItsMode) {
    folder_.write("real/user.reg", "");
    ::chmod((folder_ / "real/user.reg").c_str(), 0600);
    fs::create_directories(folder_ / "sub");
    fs::create_symlink("../real/user.reg", userFile_);
    fs::create_symlink(folder_ / "real/new.reg", folder_ / "dangling.reg");
    for (const std::string& link : {userFile_, folder_ / "dangling.reg"}) {
        ::setenv("TROV_USER_REGISTRY", link.c_str(), 1);
        ASSERT_TRUE(setText(*product(), "kept", "1"));
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(RegistryKey::open(RegistryRoot::User, "Software/Maker/Product", false)->getValueNames(),
                  (Names{"kept"}));
    }
    EXPECT_EQ(fs::status(folder_ / "real/user.reg").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(fs::is_regular_file(folder_ / "real/new.reg"));
}

TEST_F(RegistryTest, AFolderOrAFileThatIsNoStoreIsNeverWrittenAndIsNamedWithItsVariable) {
    const std::string wav = folder_.write("sub/mykick.wav", std::string("RIFF\x24\0\0\0WAVEfmt ", 16));
    fs::create_directories(folder_ / "myproject");
    for (const std::string& named : {wav, folder_ / "myproject"}) {
        SCOPED_TRACE(named);
        ::setenv("TROV_USER_REGISTRY", named.c_str(), 1);
        EXPECT_FALSE(product()) << "no key is made in it";
        const RegistryStoreCheck check = checkRegistryStore(RegistryRoot::User);
        EXPECT_EQ(check.state, RegistryStoreCheck::State::Refused);
        EXPECT_EQ(
            check.problem.rfind("TROV_USER_REGISTRY names " + named + ", which is not a registry store (", 0),
            0u)
            << check.problem;
        EXPECT_FALSE(fs::exists(named + ".unreadable"));
        EXPECT_FALSE(fs::exists(named + ".lock"));
    }
    EXPECT_EQ(trov::test::readFile(wav), std::string("RIFF\x24\0\0\0WAVEfmt ", 16));
    EXPECT_TRUE(fs::is_directory(folder_ / "myproject"));
}

TEST_F(RegistryTest, WritesFromAnotherProcessAreSeenAndNoneIsLost) {
    auto key = product();
    ASSERT_TRUE(setText(*key, "before", "1"));
    bool ok = true;
    const auto child = trov::test::runInChild(
        [&] {
            auto own = product();
            for (int i = 0; i < 40 && own; ++i)
                if (!setText(*own, "child" + std::to_string(i), "c"))
                    return 1;
            return own ? 0 : 1;
        },
        [&] {
            for (int i = 0; i < 40; ++i)
                ok = setText(*key, "parent" + std::to_string(i), "p") && ok;
        });
    ASSERT_TRUE(child.exited && child.exitCode == 0);
    EXPECT_TRUE(ok);
    EXPECT_EQ(key->getValueNames().size(), 81u);
    EXPECT_EQ(text(*key, "child39"), std::string("c\0", 2));
}

TEST_F(RegistryTest, ThreadsWritingThroughSeparateKeysLoseNothing) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            auto key = RegistryKey::open(RegistryRoot::User, "Software/T" + std::to_string(t % 2), true);
            for (int i = 0; i < 25; ++i) {
                const std::int32_t v = i;
                key->setValue("v" + std::to_string(t) + "_" + std::to_string(i), RegistryType::Dword, &v, 4);
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(RegistryKey::open(RegistryRoot::User, "Software/T0", false)->getValueNames().size(), 50u);
    EXPECT_EQ(RegistryKey::open(RegistryRoot::User, "Software/T1", false)->getValueNames().size(), 50u);
}

TEST(RegistryStoreFile, ComesFromTheVariableElseTheConfigurationFolder) {
    ::setenv("TROV_MACHINE_REGISTRY", "/somewhere/m.reg", 1);
    ::unsetenv("TROV_USER_REGISTRY");
    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(registryStoreFile(RegistryRoot::Machine), "/somewhere/m.reg");
    EXPECT_EQ(registryStoreFile(RegistryRoot::User), "/cfg/trov-registry/user.reg");
    ::unsetenv("TROV_MACHINE_REGISTRY");
    ::unsetenv("XDG_CONFIG_HOME");
}

} // namespace
