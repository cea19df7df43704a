#include "plugin/ParameterValue.h"

#include "framework/Preferences.h"
#include "plugin/PluginTestSupport.h"
#include "plugin/Settings.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>

using namespace trov;
using test::Recorder;
using test::typedItem;

namespace {

using FloatValue = ParameterValue<float>;
using LongValue = ParameterValue<long>;
using BoolValue = ParameterValue<bool>;

constexpr double kUnstepped = 2.220446049250313e-16;

FloatValue floatWithSteps(float min, float max, int steps) {
    FloatValue p(nullptr, "Cutoff", "Cutoff", min, min, max);
    p.read(typedItem("Cutoff", "<integer name=\"steps\" value=\"" + std::to_string(steps) +
                                   "\" mode=\"always\"/>"));
    return p;
}

TEST(ParameterValue, FloatStepsRoundHalvesToEvenOnTheGridFromZero) {
    FloatValue p = floatWithSteps(0.0f, 1.0f, 5);
    EXPECT_DOUBLE_EQ(p.getStepSize(), 0.25);
    p.setValue(0.3f, Sender::kHost);
    EXPECT_FLOAT_EQ(p.getValue(), 0.25f);
    p.setValue(0.375f, Sender::kHost);
    EXPECT_FLOAT_EQ(p.getValue(), 0.5f);
    p.setValue(0.625f, Sender::kHost);
    EXPECT_FLOAT_EQ(p.getValue(), 0.5f);
    p.setValue(7.0f, Sender::kHost);
    EXPECT_FLOAT_EQ(p.getValue(), 1.0f);
}

TEST(ParameterValue, QuantisedValueIsClampedBackIntoARangeOffTheGrid) {
    // Steps of 0.5 from zero put 0.25 on 0.0, below the range.
    FloatValue p = floatWithSteps(0.25f, 1.25f, 3);
    p.setValue(1.0f, Sender::kHost);
    p.setValue(0.25f, Sender::kHost);
    EXPECT_FLOAT_EQ(p.getValue(), 0.25f);
    EXPECT_GE(p.getNormalized(), 0.0f);
}

TEST(ParameterValue, StepsBelowTwoAreIgnored) {
    for (int steps : {1, 0, -3}) {
        FloatValue p = floatWithSteps(0.0f, 1.0f, steps);
        EXPECT_EQ(p.getStepSize(), 0.0) << steps;
        p.setValue(0.3f, Sender::kHost);
        EXPECT_FLOAT_EQ(p.getValue(), 0.3f) << steps;
    }
}

TEST(ParameterValue, UnsteppedFloatOutsideATreeIsContinuous) {
    FloatValue p(nullptr, "Gain", "Gain", 0.0f, 0.5f, 1.0f);
    EXPECT_EQ(p.getStepSize(), kUnstepped);
    EXPECT_EQ(p.getNumSteps(), Parameter::kContinuous);
    p.setValue(0.123456f, Sender::kHost);
    EXPECT_FLOAT_EQ(p.getValue(), 0.123456f);
}

TEST(ParameterValue, LongClampsAndRoundsNormalisedHalvesToEven) {
    LongValue p(nullptr, "Key", "Key", 0, 60, 127);
    p.setValue(200, Sender::kHost);
    EXPECT_EQ(p.getValue(), 127);
    p.setNormalized(0.5f, Sender::kHost);
    EXPECT_EQ(p.getValue(), 64);
    for (long v = 0; v <= 127; ++v) {
        p.setValue(v, Sender::kHost);
        ASSERT_EQ(p.getValue(), v);
    }
    EXPECT_EQ(p.getNumSteps(), 128);
    EXPECT_DOUBLE_EQ(p.getStepSize(), 1.0 / 127.0);
}

TEST(ParameterValue, LongStoresThirtyTwoBitValues) {
    const long min = std::numeric_limits<std::int32_t>::min();
    const long max = std::numeric_limits<std::int32_t>::max();
    LongValue p(nullptr, "Wide", "Wide", min, 0, max);
    p.setValue(max, Sender::kHost);
    EXPECT_EQ(p.getValue(), max);
    p.setNormalized(0.0f, Sender::kHost);
    EXPECT_EQ(p.getValue(), min);
    // 2^32 steps do not fit in a 32-bit count.
    EXPECT_EQ(p.getNumSteps(), Parameter::kContinuous);
    Dictionary document;
    p.write(document);
    std::int32_t stored = 0;
    ASSERT_TRUE(document.getLong("Wide", &stored));
    EXPECT_EQ(stored, min);
}

TEST(ParameterValue, BoundsInTheWrongOrderStillClamp) {
    FloatValue p(nullptr, "Flip", "Flip", 1.0f, 0.5f, 0.0f);
    p.setValue(-3.0f, Sender::kHost);
    EXPECT_FLOAT_EQ(p.getValue(), 0.0f);
    p.setValue(3.0f, Sender::kHost);
    EXPECT_FLOAT_EQ(p.getValue(), 1.0f);
}

TEST(ParameterValue, EqualBoundsGiveNormalisedZero) {
    FloatValue p(nullptr, "Fixed", "Fixed", 2.0f, 2.0f, 2.0f);
    EXPECT_EQ(p.getNormalized(), 0.0f);
    LongValue l(nullptr, "One", "One", 5, 5, 5);
    EXPECT_EQ(l.getNormalized(), 0.0f);
    EXPECT_EQ(l.getStepSize(), 0.0);
}

TEST(ParameterValue, NotANumberChangesNothing) {
    FloatValue p(nullptr, "Gain", "Gain", 0.0f, 0.5f, 1.0f);
    Recorder recorder;
    p.addListener(&recorder);
    recorder.entries.clear();
    p.setValue(std::numeric_limits<float>::quiet_NaN(), Sender::kHost);
    p.setNormalized(std::numeric_limits<float>::quiet_NaN(), Sender::kHost);
    EXPECT_FLOAT_EQ(p.getValue(), 0.5f);
    EXPECT_TRUE(recorder.entries.empty());
}

TEST(ParameterValue, BoolIsTwoStepsWhenSteppedAndTakesHalfAsTrue) {
    BoolValue p(nullptr, "On", "On", false, false, true);
    p.setNormalized(0.49f, Sender::kHost);
    EXPECT_FALSE(p.getValue());
    p.setNormalized(0.5f, Sender::kHost);
    EXPECT_TRUE(p.getValue());
    EXPECT_EQ(p.getNormalized(), 1.0f);
    EXPECT_EQ(p.getNumSteps(), Parameter::kContinuous);
    p.read(typedItem("On", "<integer name=\"steps\" value=\"2\" mode=\"always\"/>"));
    EXPECT_EQ(p.getStepSize(), 1.0);
    EXPECT_EQ(p.getNumSteps(), 2);
}

TEST(ParameterValue, StepSwitchOfTheOwnersTreeDecidesForUnsteppedKinds) {
    test::ScopedPluginInfo scoped;
    Settings tree(test::fakeModule(3));
    FloatValue p(test::fakeModule(3), "Gain", "Gain", 0.0f, 0.5f, 1.0f);
    p.read(typedItem("Gain", "<integer name=\"steps\" value=\"11\"/>"));
    EXPECT_EQ(p.getStepSize(), 0.1f);
    tree.setStepParameters(false);
    EXPECT_EQ(p.getStepSize(), kUnstepped);
    p.setValue(0.33f, Sender::kHost);
    EXPECT_FLOAT_EQ(p.getValue(), 0.33f);
    tree.setStepParameters(true);
    p.setValue(0.33f, Sender::kHost);
    EXPECT_FLOAT_EQ(p.getValue(), 0.3f);
}

TEST(ParameterValue, BroadcastPolicyDecidesWhetherAValueIsTakenAndSent) {
    FloatValue p(nullptr, "Gain", "Gain", 0.0f, 0.5f, 1.0f);
    Recorder recorder;
    p.addListener(&recorder);
    recorder.entries.clear();

    p.setValue(0.5f, Sender::kHost);
    EXPECT_TRUE(recorder.entries.empty());
    p.setValue(0.75f, Sender::kEditor);
    ASSERT_EQ(recorder.entries.size(), 1u);
    EXPECT_EQ(recorder.last().flags, Sender::kEditor);
    EXPECT_EQ(recorder.last().code, Code::kParameterValue);
    EXPECT_EQ(recorder.last().name, "Gain");
    EXPECT_EQ(wordToFloat(recorder.last().extra), 0.75f);
    EXPECT_FLOAT_EQ(recorder.last().value, 0.75f);
    EXPECT_EQ(recorder.last().sender, &p);

    p.read(typedItem("Gain", "<string name=\"broadcast\" value=\"always\"/>"));
    p.setValue(0.75f, Sender::kMidi);
    EXPECT_EQ(recorder.entries.size(), 2u);

    p.read(typedItem("Gain", "<string name=\"broadcast\" value=\"never\"/>"));
    p.setValue(0.1f, Sender::kHost);
    EXPECT_FLOAT_EQ(p.getValue(), 0.75f);
    EXPECT_EQ(recorder.entries.size(), 2u);
    // The current value still goes out when asked for.
    p.notifyListeners();
    ASSERT_EQ(recorder.entries.size(), 3u);
    EXPECT_EQ(recorder.last().flags, Sender::kSettings);
}

TEST(ParameterValue, NewListenerAloneGetsTheCurrentValue) {
    LongValue p(nullptr, "Key", "Key", -10, -7, 10);
    p.setInstance(2);
    Recorder first;
    Recorder second;
    p.addListener(&first);
    ASSERT_EQ(first.entries.size(), 1u);
    p.addListener(&second);
    EXPECT_EQ(first.entries.size(), 1u);
    ASSERT_EQ(second.entries.size(), 1u);
    EXPECT_EQ(second.last().flags, Sender::kNewListener);
    EXPECT_EQ(second.last().index, 2);
    EXPECT_EQ(static_cast<std::int32_t>(second.last().extra), -7);
}

TEST(ParameterValue, ReceivesValueResetAndFeedbackMessages) {
    FloatValue p(nullptr, "Gain", "Gain", 0.0f, 0.25f, 2.0f);
    Recorder recorder;
    p.addListener(&recorder);
    recorder.entries.clear();
    p.receive(ParameterMessage(nullptr, Code::kParameterValue, "Gain", 0, 0, 0.5f, Sender::kMidi));
    EXPECT_FLOAT_EQ(p.getValue(), 1.0f);
    EXPECT_EQ(recorder.last().flags, Sender::kMidi);
    p.receive(ParameterMessage(nullptr, Code::kParameterReset, "Gain", 0, 0, 0.0f, Sender::kEditor));
    EXPECT_FLOAT_EQ(p.getValue(), 0.25f);
    EXPECT_EQ(recorder.last().flags, Sender::kEditor);
    const std::size_t sent = recorder.entries.size();
    p.receive(ParameterMessage(nullptr, Code::kParameterSetFromExtra, "Gain", 0, floatToWord(9.5f), 0.0f, 0));
    EXPECT_EQ(recorder.entries.size(), sent);
    p.read(typedItem("Gain", "<dict name=\"display\"><string name=\"scaling\" value=\"feedback\"/></dict>"));
    EXPECT_EQ(p.getText(), "9.50");
    EXPECT_FLOAT_EQ(p.getValue(), 0.25f);
}

TEST(ParameterValue, WritesUnderItsNameAtItsInstance) {
    FloatValue first(nullptr, "Level", "Level", 0.0f, 0.5f, 1.0f);
    FloatValue second(nullptr, "Level", "Level", 0.0f, 0.25f, 1.0f);
    second.setInstance(1);
    Dictionary document;
    first.write(document);
    second.write(document);
    second.setValue(0.75f, Sender::kHost);
    second.write(document);
    EXPECT_EQ(document.count("Level"), 2);
    float value = 0;
    ASSERT_TRUE(document.getFloat("Level", &value, 1));
    EXPECT_FLOAT_EQ(value, 0.75f);
    const Dictionary::View entry = document.getChild(1, "Level");
    EXPECT_EQ(entry->getAttribute("index"), "1");
    EXPECT_EQ(entry->getAttribute("value"), "0.75000000");
}

class PersistentValueTest : public testing::Test {
protected:
    test::ScopedUserPreferences preferences_;
};

TEST_F(PersistentValueTest, PersistentValueIsStoredAtExitAndRestoredAtInit) {
    const Dictionary item = typedItem("Volume", "<bool name=\"persistent\" value=\"true\"/>");
    {
        FloatValue p(nullptr, "Volume", "Volume", 0.0f, 0.5f, 1.0f);
        p.read(item);
        p.init();
        EXPECT_FLOAT_EQ(p.getValue(), 0.5f);
        p.setValue(0.8f, Sender::kHost);
        p.exit();
    }
    FloatValue restored(nullptr, "Volume", "Volume", 0.0f, 0.5f, 1.0f);
    restored.read(item);
    Recorder recorder;
    restored.addListener(&recorder);
    restored.init();
    EXPECT_FLOAT_EQ(restored.getValue(), 0.8f);
    EXPECT_EQ(recorder.last().flags, Sender::kSettings);

    const std::unique_ptr<Preferences> stored = preferences_.stored();
    ASSERT_TRUE(stored);
    float value = 0;
    EXPECT_TRUE(stored->getFloat("Volume", value));
}

TEST_F(PersistentValueTest, NonPersistentValueLeavesThePreferencesAlone) {
    LongValue p(nullptr, "Octave", "Octave", -2, 0, 2);
    p.setValue(2, Sender::kHost);
    p.exit();
    const std::unique_ptr<Preferences> stored = preferences_.stored();
    std::int32_t value = 0;
    EXPECT_FALSE(stored && stored->getLong("Octave", value));
}

} // namespace
