#include "plugin/ParameterArray.h"
#include "plugin/ParameterCustom.h"
#include "plugin/ParameterEnum.h"
#include "plugin/ParameterKeyranges.h"
#include "plugin/ParameterText.h"
#include "support/PluginTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <tuple>

using namespace trov;
using test::Recorder;
using test::typedItem;

namespace {

using Key = Range<short>;

const char* const kThreeModes =
    "<array name=\"values\"><string value=\"saw\" display=\"Saw\"/>"
    "<string value=\"square\" display=\"Square\"/><string value=\"noise\"/></array>";

ParameterEnum<std::string> modes(const std::string& more = std::string()) {
    ParameterEnum<std::string> p(nullptr, "Mode", "Mode");
    p.read(typedItem("Mode", kThreeModes + more));
    return p;
}

ParameterEnum<long> counted(int n) {
    ParameterEnum<long> p(nullptr, "Count", "Count");
    for (int i = 0; i < n; ++i)
        p.addValue(i * 10, "#" + std::to_string(i));
    return p;
}

TEST(ParameterEnum, ReadsValuesAndSelectsTheGivenEntryAsIndexOrInteger) {
    auto p = modes("<integer name=\"value\" value=\"2\"/><integer name=\"defval\" value=\"1\"/>");
    EXPECT_EQ(std::tuple(p.getCount(), p.getSelected(), p.getValue(), p.getText(), p.getDefaultValue()),
              std::tuple(3u, 2u, "noise", "", "square"));
    EXPECT_EQ(std::tuple(p.getLabel(0u), p.getLabel(7u), p.getValueAt(9)), std::tuple("Saw", "", ""));
    EXPECT_EQ(std::tuple(p.getNormalized(), p.getNumSteps(), p.getStepSize()), std::tuple(1.0f, 3, 0.5));
    EXPECT_EQ(modes("<index name=\"value\" value=\"1\"/>").getSelected(), 1u);
    EXPECT_EQ(modes("<integer name=\"value\" value=\"-1\"/>").getSelected(), 0u);
}

TEST(ParameterEnum, NormalisedValuesMapByFloorAndBelowZeroSelectTheFirstEntry) {
    auto p = counted(4);
    // In order: each row starts from the selection the one before left.
    const std::pair<float, std::uint32_t> rows[] = {
        {0.5f, 2}, {1.0f, 3}, {0.2499f, 0}, {1e30f, 3}, {-0.25f, 0}};
    for (const auto& [normalized, selected] : rows) {
        p.setNormalized(normalized, Sender::kHost);
        EXPECT_EQ(p.getSelected(), selected) << normalized;
    }
    EXPECT_EQ(p.getValue(), 0);
}

TEST(ParameterEnum, FewerThanTwoEntriesReportNormalisedZero) {
    auto one = counted(1);
    EXPECT_EQ(std::tuple(one.getNormalized(), one.getStepSize()), std::tuple(0.0f, 0.0));
    auto none = counted(0);
    none.setNormalized(0.7f, Sender::kHost);
    EXPECT_EQ(std::tuple(none.getNormalized(), none.getSelected(), none.getValue()),
              std::tuple(0.0f, 0u, 0L));
}

TEST(ParameterEnum, SelectionIsBroadcastOnlyWhenItChanges) {
    auto p = counted(3);
    p.setInstance(1);
    Recorder recorder;
    p.addListener(&recorder);
    p.select(0, Sender::kHost);
    p.select(3, Sender::kHost);
    p.select(2, Sender::kMidi);
    EXPECT_EQ(recorder.flags(), (std::vector<std::int32_t>{Sender::kNewListener, Sender::kMidi}));
    EXPECT_EQ(std::tuple(recorder.last().extra, recorder.last().value, recorder.last().index),
              std::tuple(MessageWord{2}, 1.0f, 1));
}

TEST(ParameterEnum, MessageSelectsByExtraWordExceptEntryZero) {
    auto p = counted(3);
    for (MessageWord extra : {MessageWord{2}, MessageWord{0}, (MessageWord{1} << 32) + 1}) {
        p.receive(ParameterMessage(nullptr, Code::kParameterValue, "Count", 0, extra, 0.0f, Sender::kEditor));
        EXPECT_EQ(p.getSelected(), 2u) << extra;
    }
}

TEST(ParameterEnum, SetTextRenamesTheSelectedEntrySilently) {
    auto p = modes("<integer name=\"value\" value=\"1\"/>");
    Recorder recorder;
    p.addListener(&recorder);
    EXPECT_TRUE(p.setText("Pulse", Sender::kEditor));
    EXPECT_EQ(std::tuple(p.getText(), p.getValue(), recorder.entries.size()),
              std::tuple("Pulse", "square", 1u));
}

TEST(ParameterEnum, WritesItsListOnceAndTheSelectionAtItsInstance) {
    auto p = modes("<integer name=\"value\" value=\"1\"/>");
    Dictionary document;
    p.write(document);
    p.select(2, Sender::kHost);
    p.write(document);
    EXPECT_EQ(document.count("Mode"), 1);
    const Dictionary::View entry = document.getDictionary("Mode");
    ASSERT_TRUE(entry);
    EXPECT_EQ(std::pair(entry->count("values"), entry->getArraySize("values")), std::pair(1, 3));
    EXPECT_EQ(std::tuple(entry->getArrayItem("values", 1)->getAttribute("display"),
                         entry->getArrayItem("values", 1)->getAttribute("value")),
              std::tuple("Square", "square"));

    // Read back into a parameter that knows nothing of the list.
    ParameterEnum<std::string> restored(nullptr, "Mode", "Mode");
    restored.read(*entry);
    EXPECT_EQ(restored.getCount(), 3u);
    EXPECT_EQ(restored.getValue(), "noise");
}

TEST(ParameterEnum, FloatListsWriteEightDecimalsAndLongListsNone) {
    ParameterEnum<float> rates(nullptr, "Rate", "Rate");
    rates.read(typedItem("Rate", "<array name=\"values\"><float value=\"0.5\" display=\"half\"/>"
                                 "<float value=\"2\" display=\"double\"/></array>"));
    EXPECT_FLOAT_EQ(rates.getValueAt(1), 2.0f);
    Dictionary document;
    rates.write(document);
    EXPECT_EQ(document.getDictionary("Rate")->getArrayItem("values", 0)->getAttribute("value"), "0.50000000");
    counted(2).write(document);
    EXPECT_EQ(document.getDictionary("Count")->getArraySize("values"), 0);
}

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

TEST(ParameterArray, ReadingAStateAgainReplacesTheItemsInsteadOfAddingToThem) {
    const Dictionary state = typedItem("List", "<string name=\"value\" value=\"b|a\"/>");
    ParameterArray<std::string> names(nullptr, "List", "List");
    names.addItem("old", Sender::kEditor);
    names.read(state);
    names.read(state);
    EXPECT_EQ(itemsOf(names), (std::vector<std::string>{"a", "b"}));
    // Without a value there is nothing to restore; an empty value is an empty list.
    names.read(typedItem("List", ""));
    EXPECT_EQ(names.getCount(), 2);
    names.read(typedItem("List", "<string name=\"value\" value=\"\"/>"));
    EXPECT_EQ(names.getCount(), 0);

    const Dictionary ranges = typedItem("List", "<string name=\"value\" value=\"36:96|0:10\"/>");
    ParameterKeyranges zones(nullptr, "List", "List");
    zones.read(ranges);
    zones.read(ranges);
    EXPECT_EQ(itemsOf<Key>(zones), (std::vector<Key>{Key(36, 96), Key(0, 10)}));
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
    ParameterText p(nullptr, "Sample", "Sample", "hat");
    Copier recorder;
    p.addListener(&recorder);
    // A new listener hears the current text at once.
    EXPECT_EQ(recorder.seen, "hat");
    p.setValue("kick", Sender::kEditor);
    EXPECT_TRUE(p.setText("kick", Sender::kHost));
    EXPECT_EQ(std::tuple(recorder.seen, p.getText(), p.getNumSteps()),
              std::tuple("kick", "kick", 2147483647));
    p.setText("snare", Sender::kEditor);
    EXPECT_EQ(recorder.seen, "snare");
    p.notifyListeners();
    EXPECT_EQ(recorder.flags(),
              (std::vector<std::int32_t>{Sender::kNewListener, Sender::kEditor, Sender::kHost,
                                         Sender::kEditor, Sender::kSettings}));
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
