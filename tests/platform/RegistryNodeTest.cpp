#include "platform/RegistryNode.h"

#include <gtest/gtest.h>

using namespace trov::platform;

namespace {

using Bytes = std::vector<std::uint8_t>;

RegistryNode sampleTree() {
    RegistryNode root;
    RegistryNode& product = root.findOrAddChild("Software").findOrAddChild("Product");
    product.setValue("Name", RegistryType::String, {'x', 0});
    product.setValue("Level", RegistryType::Dword, {2, 0, 0, 0});
    product.setValue("", RegistryType::Binary, {});
    product.findOrAddChild("Preferences").setValue("Odd", static_cast<RegistryType>(77), {1, 2, 3});
    return root;
}

TEST(RegistryNodeFormat, ReadsBackExactlyWhatItWrote) {
    const Bytes bytes = sampleTree().serialize();
    RegistryNode read;
    std::string error;
    ASSERT_TRUE(RegistryNode::parse(bytes.data(), bytes.size(), read, error)) << error;
    EXPECT_EQ(read.serialize(), bytes);
    const RegistryNode* prefs = read.findChild("SOFTWARE")->findChild("product")->findChild("Preferences");
    ASSERT_NE(prefs, nullptr);
    EXPECT_EQ(static_cast<std::uint32_t>(prefs->findValue("odd")->type), 77u);
    EXPECT_EQ(read.children[0].children[0].values[1].name, "Level");
}

TEST(RegistryNodeFormat, EveryTruncationFailsAndLeavesTheTargetUnchanged) {
    const Bytes bytes = sampleTree().serialize();
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        RegistryNode target;
        target.name = "untouched";
        std::string error;
        EXPECT_FALSE(RegistryNode::parse(bytes.data(), length, target, error)) << length;
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(target.name, "untouched");
    }
}

TEST(RegistryNodeFormat, RefusesForeignDamagedAndHostileStores) {
    const Bytes empty = RegistryNode().serialize();
    const Bytes header = {'T', 'R', 'R', 'G', 1, 0, 0, 0};
    std::vector<Bytes> bad(3, empty);
    bad[0].push_back(0); // a trailing byte
    bad[1][4] = 2;       // another version
    bad[2][0] = 'X';     // another magic
    // A root with no name and a value count of 4 billion, then nothing.
    bad.push_back(header);
    bad.back().insert(bad.back().end(), {0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
    // One value claiming 1 MiB + 1 bytes.
    bad.push_back(header);
    bad.back().insert(bad.back().end(), {0, 0, 1, 0, 0, 0, 0, 0, 3, 0, 0, 0, 1, 0, 0x10, 0});
    // Names differing only in case, of values and of keys.
    RegistryNode values;
    values.values = {{"Name", RegistryType::Binary, {}}, {"NAME", RegistryType::Binary, {}}};
    bad.push_back(values.serialize());
    RegistryNode keys;
    keys.children.resize(2);
    keys.children[0].name = "k";
    keys.children[1].name = "K";
    bad.push_back(keys.serialize());
    // Nesting beyond the depth limit.
    RegistryNode deep;
    RegistryNode* node = &deep;
    for (std::size_t i = 0; i <= RegistryNode::kMaxDepth; ++i)
        node = &node->findOrAddChild("k");
    bad.push_back(deep.serialize());

    RegistryNode target;
    std::string error;
    EXPECT_TRUE(RegistryNode::parse(empty.data(), empty.size(), target, error));
    for (std::size_t i = 0; i < bad.size(); ++i)
        EXPECT_FALSE(RegistryNode::parse(bad[i].data(), bad[i].size(), target, error)) << i;
}

} // namespace
