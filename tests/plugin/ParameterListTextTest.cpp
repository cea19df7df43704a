#include "plugin/ParameterArray.h"
#include "plugin/ParameterCustom.h"
#include "plugin/ParameterKeyranges.h"
#include "plugin/ParameterText.h"
#include "plugin/PluginTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <tuple>

using namespace trov;
using test::Recorder;
using test::typedItem;

namespace {

using Key = Range<short>;

template <class T> std::vector<T> itemsOf(const ParameterArray<T>& p) {
    std::vector<T> items;
    for (int i = 0; i < p.getCount(); ++i)
        items.push_back(p.getItem(i));
    return items;
}

template <class T> ParameterArray<T> arrayFrom(const std::string& text) {
    ParameterArray<T> p(nullptr, "List", "List");
    p.read(typedItem("List", "<string name=\"value\" value=\"" + text + "\"/>"));
    return p;
}

std::string writtenText(const Parameter& p) {
    Dictionary document;
    p.write(document);
    return document.getDictionary(p.getName())->stringValue("value");
}

TEST(ParameterArray, SortedStringsReadWriteAsBarSeparatedFirstWords) {
    auto p = arrayFrom<std::string>("b|a|c");
    EXPECT_EQ(itemsOf(p), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(writtenText(p), "a|b|c");
    EXPECT_EQ(p.getNumSteps(), 3);
    EXPECT_EQ(p.getNormalized(), 0.0f);
    EXPECT_FALSE(p.setText("x", Sender::kHost));
    EXPECT_EQ(itemsOf(arrayFrom<std::string>("one two|three")), (std::vector<std::string>{"one", "three"}));
    EXPECT_TRUE(itemsOf(arrayFrom<std::string>("")).empty());
    EXPECT_EQ(itemsOf(arrayFrom<std::string>("||z| |")), (std::vector<std::string>{"z"}));
}

TEST(ParameterArray, AddAnnouncesTheLastIndexAndReturnsWhereTheItemWent) {
    ParameterArray<std::string> p(nullptr, "Names", "Names");
    Recorder recorder;
    p.addListener(&recorder);
    EXPECT_EQ(recorder.last().extra, 0u);
    EXPECT_EQ(p.addItem("m", Sender::kEditor), 0);
    EXPECT_EQ(p.addItem("z", Sender::kEditor), 1);
    EXPECT_EQ(p.addItem("a", Sender::kEditor), 0);
    EXPECT_EQ(recorder.last().extra, 2u);
    p.setItem(7, "q", Sender::kHost);
    EXPECT_EQ(recorder.last().extra, 7u);
    EXPECT_EQ(recorder.flags(), (std::vector<std::int32_t>{Sender::kNewListener, Sender::kEditor,
                                                           Sender::kEditor, Sender::kEditor, Sender::kHost}));
    p.removeItem(1);
    p.removeItem(5);
    EXPECT_EQ(itemsOf(p), (std::vector<std::string>{"a", "z"}));
    EXPECT_EQ(p.getItem(5), "");
}

TEST(ParameterArray, RangesReadWithAnyOneSeparator) {
    auto p = arrayFrom<Key>("36:96|10-20|bad|1:2:3|5:99999");
    EXPECT_EQ(itemsOf(p), (std::vector<Key>{Key(36, 96), Key(10, 20), Key(1, 2)}));
    EXPECT_EQ(writtenText(p), "36:96|10:20|1:2");
}

TEST(ParameterKeyranges, EditedRangeIsTrimmedAgainstOthersThenSortedUnlessOverlapsAreAllowed) {
    for (bool overlaps : {false, true}) {
        ParameterKeyranges p(nullptr, "Zones", "Zones", overlaps);
        p.addItem(Key(50, 90), Sender::kDocument);
        p.addItem(Key(0, 40), Sender::kDocument);
        // Adding neither trims nor sorts.
        EXPECT_EQ(itemsOf<Key>(p), (std::vector<Key>{Key(50, 90), Key(0, 40)}));
        p.setItem(1, Key(30, 60), Sender::kEditor);
        if (overlaps) {
            EXPECT_EQ(itemsOf<Key>(p), (std::vector<Key>{Key(50, 90), Key(30, 60)}));
            continue;
        }
        EXPECT_EQ(itemsOf<Key>(p), (std::vector<Key>{Key(30, 49), Key(50, 90)}));
        p.setItem(1, Key(45, 100), Sender::kEditor);
        EXPECT_EQ(itemsOf<Key>(p), (std::vector<Key>{Key(30, 49), Key(50, 100)}));
    }
}

TEST(ParameterKeyranges, TrimmingDoesNotWrapAtTheEndsOfTheRange) {
    ParameterKeyranges p(nullptr, "Zones", "Zones");
    p.addItem(Key(32000, 32767), Sender::kDocument);
    p.addItem(Key(0, 1), Sender::kDocument);
    // The bound behind 32767 is no key; the edited range keeps its own high bound instead.
    p.setItem(1, Key(31000, 32767), Sender::kEditor);
    EXPECT_EQ(itemsOf<Key>(p), (std::vector<Key>{Key(32000, 32767), Key(32767, 32767)}));
}

TEST(ParameterText, EverySettingIsBroadcastWithTheText) {
    class Copier : public Recorder {
    public:
        bool receive(const Message& message) override {
            seen = wordToPointer<const char>(message.extra);
            return Recorder::receive(message);
        }
        std::string seen;
    };
    ParameterText p(nullptr, "Sample", "Sample");
    Copier recorder;
    p.addListener(&recorder);
    p.setValue("kick", Sender::kEditor);
    EXPECT_TRUE(p.setText("kick", Sender::kHost));
    EXPECT_EQ(std::tuple(recorder.seen, p.getText(), p.getNumSteps()),
              std::tuple("kick", "kick", 2147483647));
    p.setText("snare", Sender::kEditor);
    EXPECT_EQ(recorder.seen, "snare");
    p.notifyListeners();
    EXPECT_EQ(recorder.flags(), (std::vector<std::int32_t>{Sender::kEditor, Sender::kHost, Sender::kEditor,
                                                           Sender::kSettings}));
    EXPECT_EQ(writtenText(p), "snare");
}

TEST(ParameterText, SetAndReadOnDifferentThreads) {
    ParameterText p(nullptr, "Path", "Path");
    std::atomic<bool> reading{false}, done{false};
    std::thread writer([&] {
        // Starts once the reader reads, so the two overlap however fast the writer is.
        while (!reading)
            std::this_thread::yield();
        for (int i = 0; i < 2000; ++i)
            p.setValue(i % 2 == 0 ? "/samples/long/path/even" : "/odd", Sender::kHost);
        done = true;
    });
    bool torn = false;
    do {
        reading = true;
        const std::string text = p.getValue();
        torn = !(text.empty() || text == "/samples/long/path/even" || text == "/odd");
    } while (!done && !torn);
    writer.join();
    EXPECT_FALSE(torn);
    EXPECT_EQ(p.getValue(), "/odd");
}

TEST(ParameterCustom, FollowsTheBroadcastPolicy) {
    ParameterCustom p(nullptr, "Layout", "Layout");
    Recorder recorder;
    p.addListener(&recorder);
    p.setText("a", Sender::kEditor);
    p.setText("a", Sender::kEditor);
    p.read(typedItem("Layout", "<string name=\"broadcast\" value=\"always\"/>"));
    p.setText("a", Sender::kHost);
    p.read(typedItem("Layout",
                     "<string name=\"broadcast\" value=\"never\"/><string name=\"value\" value=\"b\"/>"));
    EXPECT_EQ(p.getText(), "a");
    EXPECT_EQ(recorder.flags(),
              (std::vector<std::int32_t>{Sender::kNewListener, Sender::kEditor, Sender::kHost}));
}

TEST(ParameterCustom, ReadsItsValueAndWritesItWithoutAnInstance) {
    ParameterCustom p(nullptr, "Layout", "Layout");
    p.setInstance(3);
    p.read(typedItem("Layout", "<string name=\"value\" value=\"grid\"/>"));
    p.read(typedItem("Layout", ""));
    EXPECT_EQ(p.getText(), "grid");
    Dictionary document;
    p.write(document);
    EXPECT_EQ(document.getDictionary("Layout")->getAttribute("index"), "");
    EXPECT_EQ(writtenText(p), "grid");
}

} // namespace
