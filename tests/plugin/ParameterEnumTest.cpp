#include "plugin/ParameterEnum.h"

#include "plugin/PluginTestSupport.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace trov;
using test::Recorder;
using test::typedItem;

namespace {

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

} // namespace
