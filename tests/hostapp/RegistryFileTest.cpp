#include "hostapp/RegistryFile.h"

#include "platform/RegistryNode.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace corvale::hostapp
