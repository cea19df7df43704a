#include "platform/RegistryNode.h"

#include <gtest/gtest.h>

using namespace trov::platform;

namespace {

RegistryNode sampleTree() {
    RegistryNode root;
    RegistryNode& product = root.findOrAddChild("Software").findOrAddChild("Product");
    product.setValue("Name", RegistryType::String, {'x', 0});
    product.setValue("Level", RegistryType::Dword, {2, 0, 0, 0});
    product.setValue("", RegistryType::Binary, {});
    product.findOrAddChild("Preferences").setValue("Odd", static_cast<RegistryType>(77), {1, 2, 3});
    return root;
}

std::vector<std::uint8_t> header() { return {'T', 'R', 'R', 'G', 1, 0, 0, 0}; }

bool parses(const std::vector<std::uint8_t>& bytes) {
    RegistryNode node;
    std::string error;
    return RegistryNode::parse(bytes.data(), bytes.size(), node, error);
}

TEST(RegistryNodeFormat, ReadsBackExactlyWhatItWrote) {
    const std::vector<std::uint8_t> bytes = sampleTree().serialize();
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
    const std::vector<std::uint8_t> bytes = sampleTree().serialize();
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        RegistryNode target;
        target.name = "untouched";
        std::string error;
        EXPECT_FALSE(RegistryNode::parse(bytes.data(), length, target, error)) << length;
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(target.name, "untouched");
    }
}

TEST(RegistryNodeFormat, RejectsWrongMagicVersionAndTrailingBytes) {
    std::vector<std::uint8_t> bytes = RegistryNode().serialize();
    EXPECT_TRUE(parses(bytes));
    bytes.push_back(0);
    EXPECT_FALSE(parses(bytes));
    std::vector<std::uint8_t> version = RegistryNode().serialize();
    version[4] = 2;
    EXPECT_FALSE(parses(version));
    std::vector<std::uint8_t> magic = RegistryNode().serialize();
    magic[0] = 'X';
    EXPECT_FALSE(parses(magic));
}

TEST(RegistryNodeFormat, HugeCountsAndSizesWithoutTheirBytesAreRejected) {
    // Root with no name and a value count of 4 billion, then nothing.
    std::vector<std::uint8_t> counts = header();
    counts.insert(counts.end(), {0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_FALSE(parses(counts));
    // One value claiming 1 MiB + 1 bytes.
    std::vector<std::uint8_t> size = header();
    size.insert(size.end(), {0, 0, 1, 0, 0, 0, 0, 0, 3, 0, 0, 0, 1, 0, 0x10, 0});
    EXPECT_FALSE(parses(size));
}

TEST(RegistryNodeFormat, DuplicateNamesDifferingOnlyInCaseAreRejected) {
    RegistryNode root;
    root.values.push_back({"Name", RegistryType::Binary, {}});
    root.values.push_back({"NAME", RegistryType::Binary, {}});
    EXPECT_FALSE(parses(root.serialize()));
    RegistryNode keys;
    keys.children.resize(2);
    keys.children[0].name = "k";
    keys.children[1].name = "K";
    EXPECT_FALSE(parses(keys.serialize()));
}

TEST(RegistryNodeFormat, NestingBeyondTheDepthLimitIsRejected) {
    RegistryNode root;
    RegistryNode* node = &root;
    for (std::size_t i = 0; i <= RegistryNode::kMaxDepth; ++i)
        node = &node->findOrAddChild("k");
    EXPECT_FALSE(parses(root.serialize()));
}

} // namespace
