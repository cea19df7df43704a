#include "framework/Preferences.h"
#include "plugin/ParameterArray.h"
#include "plugin/ParameterCustom.h"
#include "plugin/ParameterKeyranges.h"
#include "plugin/ParameterText.h"
#include "plugin/PluginTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

using namespace trov;
using test::Recorder;
using test::typedItem;

namespace {

using Key = Range<short>;

std::vector<std::string> itemsOf(const ParameterArray<std::string>& p) {
    std::vector<std::string> items;
    for (int i = 0; i < p.getCount(); ++i)
        items.push_back(p.getItem(i));
    return items;
}

std::vector<Key> rangesOf(const ParameterArray<Key>& p) {
    std::vector<Key> items;
    for (int i = 0; i < p.getCount(); ++i)
        items.push_back(p.getItem(i));
    return items;
}

ParameterArray<std::string> stringsFrom(const std::string& text) {
    ParameterArray<std::string> p(nullptr, "Folders", "Folders");
    p.read(typedItem("Folders", "<string name=\"value\" value=\"" + text + "\"/>"));
    return p;
}

TEST(ParameterArray, SortedStringsReadWriteAsBarSeparatedText) {
    auto p = stringsFrom("b|a|c");
    EXPECT_EQ(itemsOf(p), (std::vector<std::string>{"a", "b", "c"}));
    Dictionary document;
    p.write(document);
    std::string text;
    ASSERT_TRUE(document.getDictionary("Folders")->getString("value", &text));
    EXPECT_EQ(text, "a|b|c");
    EXPECT_EQ(p.getNumSteps(), 3);
    EXPECT_EQ(p.getNormalized(), 0.0f);
    EXPECT_FALSE(p.setText("x", Sender::kHost));
}

TEST(ParameterArray, StringPiecesKeepTheirFirstWordAndEmptyPiecesNothing) {
    EXPECT_EQ(itemsOf(stringsFrom("one two|three")), (std::vector<std::string>{"one", "three"}));
    EXPECT_TRUE(itemsOf(stringsFrom("")).empty());
    EXPECT_EQ(itemsOf(stringsFrom("||z| |")), (std::vector<std::string>{"z"}));
}

TEST(ParameterArray, AddAnnouncesTheLastIndexAndReturnsWhereTheItemWent) {
    ParameterArray<std::string> p(nullptr, "Names", "Names");
    Recorder recorder;
    p.addListener(&recorder);
    ASSERT_EQ(recorder.entries.size(), 1u);
    EXPECT_EQ(recorder.last().extra, 0u);
    EXPECT_EQ(recorder.last().flags, Sender::kNewListener);
    EXPECT_EQ(p.addItem("m", Sender::kEditor), 0);
    EXPECT_EQ(p.addItem("z", Sender::kEditor), 1);
    EXPECT_EQ(p.addItem("a", Sender::kEditor), 0);
    EXPECT_EQ(recorder.last().extra, 2u);
    EXPECT_EQ(recorder.last().flags, Sender::kEditor);
    p.setItem(7, "q", Sender::kHost);
    EXPECT_EQ(recorder.last().extra, 7u);
    p.removeItem(1);
    p.removeItem(5);
    EXPECT_EQ(itemsOf(p), (std::vector<std::string>{"a", "z"}));
    EXPECT_EQ(p.getItem(5), "");
}

TEST(ParameterArray, RangesReadWithAnyOneSeparator) {
    ParameterArray<Key> p(nullptr, "Keys", "Keys");
    p.read(typedItem("Keys", "<string name=\"value\" value=\"36:96|10-20|bad|1:2:3|5:99999\"/>"));
    EXPECT_EQ(rangesOf(p), (std::vector<Key>{Key(36, 96), Key(10, 20), Key(1, 2)}));
    Dictionary document;
    p.write(document);
    EXPECT_EQ(document.getDictionary("Keys")->stringValue("value"), "36:96|10:20|1:2");
}

TEST(ParameterKeyranges, EditedRangeIsTrimmedAgainstOthersThenSortedByLowBound) {
    ParameterKeyranges p(nullptr, "Zones", "Zones");
    p.addItem(Key(50, 90), Sender::kDocument);
    p.addItem(Key(0, 40), Sender::kDocument);
    // Adding neither trims nor sorts.
    EXPECT_EQ(rangesOf(p), (std::vector<Key>{Key(50, 90), Key(0, 40)}));
    p.setItem(1, Key(30, 60), Sender::kEditor);
    EXPECT_EQ(rangesOf(p), (std::vector<Key>{Key(30, 49), Key(50, 90)}));
    p.setItem(1, Key(45, 100), Sender::kEditor);
    EXPECT_EQ(rangesOf(p), (std::vector<Key>{Key(30, 49), Key(50, 100)}));
}

TEST(ParameterKeyranges, TrimmingDoesNotWrapAtTheEndsOfTheRange) {
    ParameterKeyranges p(nullptr, "Zones", "Zones");
    p.addItem(Key(32000, 32767), Sender::kDocument);
    p.addItem(Key(0, 1), Sender::kDocument);
    // The bound behind 32767 is no key; the edited range keeps its own high bound instead.
    p.setItem(1, Key(31000, 32767), Sender::kEditor);
    EXPECT_EQ(p.getItem(0), Key(32000, 32767));
    EXPECT_EQ(p.getItem(1), Key(32767, 32767));
}

TEST(ParameterKeyranges, OverlapsStayWhenAllowed) {
    ParameterKeyranges p(nullptr, "Zones", "Zones", true);
    p.addItem(Key(50, 90), Sender::kDocument);
    p.addItem(Key(0, 40), Sender::kDocument);
    p.setItem(1, Key(30, 60), Sender::kEditor);
    EXPECT_EQ(rangesOf(p), (std::vector<Key>{Key(50, 90), Key(30, 60)}));
}

TEST(ParameterText, EverySettingIsBroadcastWithTheText) {
    ParameterText p(nullptr, "Sample", "Sample");
    Recorder recorder;
    p.addListener(&recorder);
    EXPECT_TRUE(recorder.entries.empty());
    p.setValue("kick", Sender::kEditor);
    p.setValue("kick", Sender::kHost);
    ASSERT_EQ(recorder.entries.size(), 2u);
    EXPECT_EQ(recorder.last().flags, Sender::kHost);
    EXPECT_EQ(p.getText(), "kick");
    EXPECT_EQ(p.getNumSteps(), 2147483647);
    p.notifyListeners();
    EXPECT_EQ(recorder.last().flags, Sender::kSettings);
}

TEST(ParameterText, ReceiversSeeTheNewTextThroughTheExtraWord) {
    class Copier : public Radio {
    public:
        bool receive(const Message& message) override {
            seen = wordToPointer<const char>(message.extra);
            return false;
        }
        std::string seen;
    };
    ParameterText p(nullptr, "Sample", "Sample");
    Copier copier;
    p.addListener(&copier);
    p.setText("snare", Sender::kEditor);
    EXPECT_EQ(copier.seen, "snare");
}

TEST(ParameterText, SetAndReadOnDifferentThreads) {
    ParameterText p(nullptr, "Path", "Path");
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i)
            p.setValue(i % 2 == 0 ? "/samples/long/path/even" : "/odd", Sender::kHost);
        done = true;
    });
    int reads = 0;
    while (!done) {
        const std::string text = p.getValue();
        ASSERT_TRUE(text.empty() || text == "/samples/long/path/even" || text == "/odd") << text;
        ++reads;
    }
    writer.join();
    EXPECT_EQ(p.getValue(), "/odd");
    EXPECT_GT(reads, 0);
}

class PersistentTextTest : public testing::Test {
protected:
    test::ScopedUserPreferences preferences_;
};

TEST_F(PersistentTextTest, PersistentTextIsRestoredAtInit) {
    const Dictionary item = typedItem("LastFolder", "<bool name=\"persistent\" value=\"true\"/>");
    {
        ParameterText p(nullptr, "LastFolder", "LastFolder");
        p.read(item);
        p.setValue("/home/user/loops", Sender::kEditor);
        p.exit();
    }
    ParameterText restored(nullptr, "LastFolder", "LastFolder");
    restored.read(item);
    restored.init();
    EXPECT_EQ(restored.getValue(), "/home/user/loops");
}

TEST(ParameterCustom, FollowsTheBroadcastPolicy) {
    ParameterCustom p(nullptr, "Layout", "Layout");
    Recorder recorder;
    p.addListener(&recorder);
    ASSERT_EQ(recorder.entries.size(), 1u);
    EXPECT_EQ(recorder.last().flags, Sender::kNewListener);
    p.setText("a", Sender::kEditor);
    p.setText("a", Sender::kEditor);
    EXPECT_EQ(recorder.entries.size(), 2u);
    p.read(typedItem("Layout", "<string name=\"broadcast\" value=\"always\"/>"));
    p.setText("a", Sender::kEditor);
    EXPECT_EQ(recorder.entries.size(), 3u);
    p.read(typedItem("Layout", "<string name=\"broadcast\" value=\"never\"/><string name=\"value\" value=\"b\"/>"));
    EXPECT_EQ(p.getText(), "a");
    EXPECT_EQ(recorder.entries.size(), 3u);
}

TEST(ParameterCustom, ReadsItsValueAndWritesItWithoutAnInstance) {
    ParameterCustom p(nullptr, "Layout", "Layout");
    p.setInstance(3);
    p.read(typedItem("Layout", "<string name=\"value\" value=\"grid\"/>"));
    p.read(typedItem("Layout", ""));
    EXPECT_EQ(p.getText(), "grid");
    Dictionary document;
    p.write(document);
    const Dictionary::View entry = document.getDictionary("Layout");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->getAttribute("index"), "");
    EXPECT_EQ(entry->stringValue("value"), "grid");
}

} // namespace
