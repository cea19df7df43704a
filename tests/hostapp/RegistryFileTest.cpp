#include "hostapp/RegistryFile.h"

#include "platform/RegistryNode.h"
#include "support/FileTestFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <latch>
#include <sys/stat.h>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace corvale::hostapp {
namespace {

TEST(RegistryFile, WritesTheKeyPathWithItsStringValuesAsTheModulesStoreReadsThem) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(buildRegistryStore("Software\\Trovato/Corvale Test",
                                   {{"InstallPath", "/opt/corvale"}, {"SettingsXmlFile", "plugin.xml"}},
                                   bytes, error))
        << error;
    trov::platform::RegistryNode root;
    ASSERT_TRUE(trov::platform::RegistryNode::parse(bytes.data(), bytes.size(), root, error)) << error;
    EXPECT_TRUE(root.name.empty());
    const trov::platform::RegistryNode* key = root.findChild("software");
    ASSERT_NE(key, nullptr);
    key = key->findChild("Trovato");
    ASSERT_NE(key, nullptr);
    key = key->findChild("Corvale Test");
    ASSERT_NE(key, nullptr);
    EXPECT_TRUE(key->children.empty());
    ASSERT_EQ(key->values.size(), 2u);
    EXPECT_EQ(key->values[0].name, "InstallPath");
    EXPECT_EQ(key->values[0].type, trov::platform::RegistryType::String);
    const std::string text = "/opt/corvale";
    std::vector<std::uint8_t> expected(text.begin(), text.end());
    expected.push_back(0);
    EXPECT_EQ(key->values[0].data, expected) << "strings carry their zero";
    EXPECT_EQ(key->values[1].name, "SettingsXmlFile");
}

TEST(RegistryFile, LaysOutTheBytesLittleEndianLevelByLevel) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(buildRegistryStore("K", {{"V", "x"}}, bytes, error));
    const std::vector<std::uint8_t> expected = {
        'T', 'R', 'R', 'G', 1, 0, 0, 0,                  // magic, version
        0,   0,   0,   0,   0, 0, 1, 0, 0, 0,            // root: no name, no values, one child
        1,   0,   'K', 1,   0, 0, 0,                     // "K", one value
        1,   0,   'V', 1,   0, 0, 0, 2, 0, 0, 0, 'x', 0, // "V", string, 2 bytes
        0,   0,   0,   0};                               // no children
    EXPECT_EQ(bytes, expected);
}

TEST(RegistryFile, RefusesKeyPathsAndValuesTheStoreCannotHold) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    EXPECT_FALSE(buildRegistryStore("", {}, bytes, error));
    EXPECT_FALSE(buildRegistryStore("Software\\\\Maker", {}, bytes, error));
    EXPECT_NE(error.find("empty level"), std::string::npos) << error;
    EXPECT_FALSE(buildRegistryStore(std::string(256, 'k'), {}, bytes, error));
    EXPECT_FALSE(buildRegistryStore("K", {{"V", std::string("a\0b", 3)}}, bytes, error));
    EXPECT_FALSE(buildRegistryStore("K", {{"V", std::string(std::size_t(1) << 20, 'v')}}, bytes, error));
    EXPECT_FALSE(writeRegistryStore("/nonexistent-folder/machine.reg", "K", {}, error));
    EXPECT_NE(error.find("cannot write /nonexistent-folder/machine.reg"), std::string::npos) << error;
}

TEST(RegistryFile, TwentyWritersAtOnceKeepEveryKeyForEachTakesTheModulesLock) {
    trov::test::FileTestFolder folder;
    const std::string store = folder / "machine.reg";
    constexpr int kWriters = 20;
    std::latch start(kWriters);
    std::atomic<int> written{0};
    std::vector<std::thread> writers;
    for (int i = 0; i < kWriters; ++i)
        writers.emplace_back([&, i] {
            start.arrive_and_wait();
            std::string error;
            written +=
                writeRegistryStore(store, "Software/K" + std::to_string(i), {{"V", "x"}}, error) ? 1 : 0;
        });
    for (std::thread& writer : writers)
        writer.join();
    EXPECT_EQ(written.load(), kWriters);
    const std::string bytes = trov::test::readFile(store);
    trov::platform::RegistryNode root;
    std::string error;
    ASSERT_TRUE(trov::platform::RegistryNode::parse(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                                    bytes.size(), root, error))
        << error;
    ASSERT_NE(root.findChild("Software"), nullptr);
    EXPECT_EQ(root.findChild("Software")->children.size(), std::size_t(kWriters));
}

TEST(RegistryFile, AStoreBehindALinkStaysALinkAndItsTargetKeepsItsMode) {
    trov::test::FileTestFolder folder;
    const std::string target = folder.write("real.reg", "");
    ::chmod(target.c_str(), 0600);
    std::filesystem::create_symlink("real.reg", folder / "link.reg");
    std::filesystem::create_symlink("fresh.reg", folder / "dangling.reg");
    for (const char* link : {"link.reg", "dangling.reg"}) {
        std::string error;
        ASSERT_TRUE(writeRegistryStore(folder / link, "K", {{"V", "x"}}, error)) << error;
        EXPECT_TRUE(std::filesystem::is_symlink(folder / link)) << link;
    }
    EXPECT_FALSE(trov::test::readFile(target).empty());
    EXPECT_EQ(std::filesystem::status(target).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_TRUE(std::filesystem::is_regular_file(folder / "fresh.reg"));
}

TEST(RegistryFile, AUsersStoreRootRewritesKeepsItsOwnerGroupAndMode) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root may give a file to another user";
    trov::test::FileTestFolder folder;
    const std::string store = folder.write("user.reg", "");
    ASSERT_TRUE(::chown(store.c_str(), 4321, 8765) == 0 && ::chmod(store.c_str(), 0600) == 0);
    std::string error;
    ASSERT_TRUE(writeRegistryStore(store, "K", {{"V", "x"}}, error)) << error;
    struct stat status {};
    ASSERT_EQ(::stat(store.c_str(), &status), 0);
    EXPECT_EQ(std::make_tuple(status.st_uid, status.st_gid, status.st_mode & 07777),
              std::make_tuple(4321u, 8765u, 0600u));
    EXPECT_FALSE(trov::test::readFile(store).empty());
}

} // namespace
} // namespace corvale::hostapp
