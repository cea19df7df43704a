#include "plugin/ParameterEnum.h"

#include "framework/Preferences.h"
#include "plugin/PluginTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

using namespace trov;
using test::Recorder;
using test::typedItem;

namespace {

const char* const kThreeModes = "<array name=\"values\"><string value=\"saw\" display=\"Saw\"/>"
                                "<string value=\"square\" display=\"Square\"/>"
                                "<string value=\"noise\"/></array>";

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

TEST(ParameterEnum, ReadsValuesAndSelectsTheGivenEntry) {
    auto p = modes("<integer name=\"value\" value=\"2\"/><integer name=\"defval\" value=\"1\"/>");
    EXPECT_EQ(p.getCount(), 3u);
    EXPECT_EQ(p.getSelected(), 2u);
    EXPECT_EQ(p.getValue(), "noise");
    EXPECT_EQ(p.getText(), "");
    EXPECT_EQ(p.getNormalized(), 1.0f);
    EXPECT_EQ(p.getDefaultValue(), "square");
    EXPECT_EQ(p.getLabel(0u), "Saw");
    EXPECT_EQ(p.getLabel(7u), "");
    EXPECT_EQ(p.getValueAt(9), "");
    EXPECT_EQ(p.getNumSteps(), 3);
    EXPECT_DOUBLE_EQ(p.getStepSize(), 0.5);
}

TEST(ParameterEnum, SelectionReadsAsIndexOrInteger) {
    EXPECT_EQ(modes("<index name=\"value\" value=\"1\"/>").getSelected(), 1u);
    EXPECT_EQ(modes("<integer name=\"value\" value=\"2\"/>").getSelected(), 2u);
    EXPECT_EQ(modes("<integer name=\"value\" value=\"-1\"/>").getSelected(), 0u);
}

TEST(ParameterEnum, NormalisedValuesMapByFloorAndStayInTheList) {
    auto p = counted(4);
    p.setNormalized(0.5f, Sender::kHost);
    EXPECT_EQ(p.getSelected(), 2u);
    p.setNormalized(1.0f, Sender::kHost);
    EXPECT_EQ(p.getSelected(), 3u);
    p.setNormalized(0.2499f, Sender::kHost);
    EXPECT_EQ(p.getSelected(), 0u);
    p.setNormalized(1e30f, Sender::kHost);
    EXPECT_EQ(p.getSelected(), 3u);
}

TEST(ParameterEnum, NegativeNormalisedValueSelectsTheFirstEntry) {
    auto p = counted(3);
    p.select(1, Sender::kHost);
    p.setNormalized(-0.25f, Sender::kHost);
    EXPECT_EQ(p.getSelected(), 0u);
    EXPECT_EQ(p.getValue(), 0);
}

TEST(ParameterEnum, FewerThanTwoEntriesReportNormalisedZero) {
    auto one = counted(1);
    EXPECT_EQ(one.getNormalized(), 0.0f);
    EXPECT_EQ(one.getStepSize(), 0.0);
    auto none = counted(0);
    EXPECT_EQ(none.getNormalized(), 0.0f);
    none.setNormalized(0.7f, Sender::kHost);
    EXPECT_EQ(none.getSelected(), 0u);
    EXPECT_EQ(none.getValue(), 0);
}

TEST(ParameterEnum, SelectionIsBroadcastOnlyWhenItChanges) {
    auto p = counted(3);
    p.setInstance(1);
    Recorder recorder;
    p.addListener(&recorder);
    ASSERT_EQ(recorder.entries.size(), 1u);
    EXPECT_EQ(recorder.last().flags, Sender::kNewListener);
    p.select(0, Sender::kHost);
    p.select(3, Sender::kHost);
    EXPECT_EQ(recorder.entries.size(), 1u);
    p.select(2, Sender::kMidi);
    ASSERT_EQ(recorder.entries.size(), 2u);
    EXPECT_EQ(recorder.last().extra, 2u);
    EXPECT_EQ(recorder.last().value, 1.0f);
    EXPECT_EQ(recorder.last().flags, Sender::kMidi);
    EXPECT_EQ(recorder.last().index, 1);
}

TEST(ParameterEnum, MessageSelectsByExtraWordExceptEntryZero) {
    auto p = counted(3);
    p.receive(ParameterMessage(nullptr, Code::kParameterValue, "Count", 0, 2, 0.0f, Sender::kEditor));
    EXPECT_EQ(p.getSelected(), 2u);
    p.receive(ParameterMessage(nullptr, Code::kParameterValue, "Count", 0, 0, 0.0f, Sender::kEditor));
    EXPECT_EQ(p.getSelected(), 2u);
    p.receive(ParameterMessage(nullptr, Code::kParameterValue, "Count", 0, (MessageWord{1} << 32) + 1, 0.0f, 0));
    EXPECT_EQ(p.getSelected(), 2u);
}

TEST(ParameterEnum, SetTextRenamesTheSelectedEntry) {
    auto p = modes("<integer name=\"value\" value=\"1\"/>");
    Recorder recorder;
    p.addListener(&recorder);
    recorder.entries.clear();
    EXPECT_TRUE(p.setText("Pulse", Sender::kEditor));
    EXPECT_EQ(p.getText(), "Pulse");
    EXPECT_EQ(p.getValue(), "square");
    EXPECT_TRUE(recorder.entries.empty());
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
    EXPECT_EQ(entry->getArraySize("values"), 3);
    EXPECT_EQ(entry->getArrayItem("values", 1)->getAttribute("display"), "Square");
    EXPECT_EQ(entry->getArrayItem("values", 1)->getAttribute("value"), "square");

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
    auto numbers = counted(2);
    numbers.write(document);
    EXPECT_EQ(document.getDictionary("Count")->getArraySize("values"), 0);
}

class PersistentEnumTest : public testing::Test {
protected:
    test::ScopedUserPreferences preferences_;
};

TEST_F(PersistentEnumTest, SelectionSurvivesThroughThePreferencesAndOutOfRangeIsIgnored) {
    const std::string persistent = "<bool name=\"persistent\" value=\"true\"/>";
    {
        auto p = modes(persistent);
        p.select(2, Sender::kHost);
        p.exit();
    }
    auto restored = modes(persistent);
    restored.init();
    EXPECT_EQ(restored.getSelected(), 2u);

    const std::unique_ptr<Preferences> stored = preferences_.stored();
    ASSERT_FALSE(stored->setLong("Mode", 9).failed());
    auto kept = modes(persistent + "<integer name=\"value\" value=\"1\"/>");
    kept.init();
    EXPECT_EQ(kept.getSelected(), 1u);
}

} // namespace
