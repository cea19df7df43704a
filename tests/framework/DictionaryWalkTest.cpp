#include "framework/Dictionary.h"
#include "framework/DictionaryNodes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace trov {
namespace {

using dictionary_nodes::visitedNodes;

// An array of n items named "item" with values 0..n-1, every third followed by a comment.
Dictionary arrayOf(int n) {
    std::string xml = "<dict><file-format value=\"0.7.0\"/><items>";
    for (int i = 0; i < n; ++i) {
        xml += "<item value=\"" + std::to_string(i) + "\"/>";
        if (i % 3 == 0)
            xml += "<!-- note -->";
    }
    return Dictionary(xml + "</items></dict>");
}

TEST(DictionaryWalk, VisitsTheChildrenOfATagOrEveryNodeInDocumentOrder) {
    const Dictionary document(std::string(
        "<dict><file-format value=\"0.7.0\"/><list><a value=\"1\"/>between<b value=\"x\"/><a value=\"2\"/>"
        "<!-- c --><a value=\"3\"/></list></dict>"));
    const Dictionary::View list = document.getArray("list");
    ASSERT_TRUE(list);
    std::string tagged;
    list->forEachChild("a", [&](const Dictionary& item) { tagged += item.getAttribute("value") + ";"; });
    EXPECT_EQ(tagged, "1;2;3;");

    // Without a tag every node comes, text and comments included, as getChild counts them.
    std::vector<std::string> walked;
    list->forEachChild("", [&](const Dictionary& item) {
        std::string compact;
        item.toText(compact);
        walked.push_back(compact);
    });
    ASSERT_EQ(static_cast<int>(walked.size()), list->count(""));
    for (int i = 0; i < list->count(""); ++i) {
        std::string compact;
        list->getChild(i, "")->toText(compact);
        EXPECT_EQ(walked[static_cast<std::size_t>(i)], compact) << i;
    }

    const Dictionary::View second = list->getFirstChild("a")->getNextSibling("a");
    ASSERT_TRUE(second);
    EXPECT_EQ(second->getAttribute("value"), "2");
    EXPECT_FALSE(second->getNextSibling("b"));
    EXPECT_FALSE(list->getFirstChild("missing"));
    EXPECT_FALSE(document.getArray("missing"));
}

TEST(DictionaryWalk, ReadingEveryItemOfALongArrayVisitsEachNodeOnce) {
    constexpr int kItems = 30000;
    const Dictionary document = arrayOf(kItems);
    const Dictionary::View items = document.getArray("items");
    ASSERT_TRUE(items);
    const int nodes = items->count("");
    ASSERT_EQ(nodes, kItems + (kItems + 2) / 3);

    const std::uint64_t before = visitedNodes();
    int expected = 0;
    bool inOrder = true;
    items->forEachChild("item", [&](const Dictionary& item) {
        int value = -1;
        inOrder = inOrder && item.getInteger("value", &value) && value == expected;
        ++expected;
    });
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(expected, kItems);
    // The item's own value is an attribute: no walk of its (absent) children.
    EXPECT_EQ(visitedNodes() - before, static_cast<std::uint64_t>(nodes));
}

TEST(DictionaryWalk, ListsEveryValueOfAKeyInOneWalkInEitherLayout) {
    const Dictionary keyed(
        std::string("<dict file-format=\"0.7.0\"><tuning factor=\"9\"><factor value=\"1.5\"/>"
                    "<other value=\"7\"/><factor>2.25</factor><factor value=\"3\"/><factor/>"
                    "<factor value=\"4\"/></tuning></dict>"));
    const Dictionary::View tuning = keyed.getDictionary("tuning");
    ASSERT_TRUE(tuning);
    // The attribute of the same name is no entry; the list ends at the entry without a value, as reading
    // by index does.
    EXPECT_EQ(tuning->getDoubles("factor"), (std::vector<double>{1.5, 2.25, 3.0}));
    EXPECT_TRUE(tuning->getDoubles("missing").empty());
    EXPECT_TRUE(tuning->getDoubles("").empty());

    const Dictionary typed(
        std::string("<dict><dict name=\"info\"><string name=\"alias\" value=\"Cut\"/>"
                    "<string name=\"other\" value=\"x\"/><string name=\"alias\" value=\"Two\\\\nLines\"/>"
                    "<float name=\"alias\" value=\"1\"/></dict></dict>"));
    ASSERT_TRUE(typed.readsTypedLayout());
    const Dictionary::View info = typed.getDictionary("info");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->getStrings("alias"), (std::vector<std::string>{"Cut", "Two\nLines"}));
    std::string second;
    ASSERT_TRUE(info->getString("alias", &second, 1));
    EXPECT_EQ(second, "Two\nLines");
}

TEST(DictionaryWalk, ListingTheValuesOfALongKeyVisitsEachEntryOnce) {
    constexpr int kEntries = 30000;
    Dictionary document;
    for (int i = 0; i < kEntries; ++i)
        document.setDouble("factor", i * 0.5, 0, false);
    const std::uint64_t before = visitedNodes();
    const std::vector<double> values = document.getDoubles("factor");
    EXPECT_EQ(visitedNodes() - before, static_cast<std::uint64_t>(kEntries));
    ASSERT_EQ(values.size(), static_cast<std::size_t>(kEntries));
    for (int i = 0; i < kEntries; i += 997)
        EXPECT_EQ(values[static_cast<std::size_t>(i)], i * 0.5) << i;
}

} // namespace
} // namespace trov
