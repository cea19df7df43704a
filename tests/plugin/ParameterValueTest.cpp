#include "plugin/ParameterValue.h"

#include "framework/Preferences.h"
#include "plugin/FeedbackConverter.h"
#include "plugin/ParameterEnum.h"
#include "plugin/ParameterText.h"
#include "plugin/Settings.h"
#include "plugin/ValueScaling.h"
#include "support/PluginTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <locale>
#include <memory>

using namespace trov;
using test::Recorder;
using test::typedItem;

namespace {

using FloatValue = ParameterValue<float>;
using LongValue = ParameterValue<long>;
using Flags = std::vector<std::int32_t>;

constexpr double kUnstepped = 2.220446049250313e-16;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(ParameterValue, FloatStepsRoundHalvesToEvenOnTheGridFromZeroAndStayInTheRange) {
    const struct {
        float min, max;
        int steps;
        double stepSize;
        float set, stored;
    } rows[] = {
        {0.0f, 1.0f, 5, 0.25, 0.3f, 0.25f},
        {0.0f, 1.0f, 5, 0.25, 0.375f, 0.5f},
        {0.0f, 1.0f, 5, 0.25, 0.625f, 0.5f},
        {0.0f, 1.0f, 5, 0.25, 7.0f, 1.0f},
        // Steps of 0.5 from zero put 0.25 on 0.0, below the range: the quantised value is clamped back.
        {0.25f, 1.25f, 3, 0.5, 0.25f, 0.25f},
        // Fewer than two steps are ignored.
        {0.0f, 1.0f, 1, 0.0, 0.3f, 0.3f},
        {0.0f, 1.0f, 0, 0.0, 0.3f, 0.3f},
        {0.0f, 1.0f, -3, 0.0, 0.3f, 0.3f},
    };
    for (const auto& row : rows) {
        FloatValue p(nullptr, "Cutoff", "Cutoff", row.min, row.max, row.max);
        p.read(typedItem("Cutoff", "<integer name=\"steps\" value=\"" + std::to_string(row.steps) +
                                       "\" mode=\"always\"/>"));
        p.setValue(row.set, Sender::kHost);
        EXPECT_EQ(std::pair(p.getStepSize(), p.getValue()), std::pair(row.stepSize, row.stored)) << row.set;
    }
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
    const long min = std::numeric_limits<std::int32_t>::min(), max = std::numeric_limits<std::int32_t>::max();
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

TEST(ParameterValue, BoundsInTheWrongOrderStillClampAndEqualBoundsGiveNormalisedZero) {
    FloatValue flipped(nullptr, "Flip", "Flip", 1.0f, 0.5f, 0.0f);
    flipped.setValue(-3.0f, Sender::kHost);
    EXPECT_FLOAT_EQ(flipped.getValue(), 0.0f);
    flipped.setValue(3.0f, Sender::kHost);
    EXPECT_FLOAT_EQ(flipped.getValue(), 1.0f);
    EXPECT_EQ(FloatValue(nullptr, "Fixed", "Fixed", 2.0f, 2.0f, 2.0f).getNormalized(), 0.0f);
    LongValue l(nullptr, "One", "One", 5, 5, 5);
    EXPECT_EQ(l.getNormalized(), 0.0f);
    EXPECT_EQ(l.getStepSize(), 0.0);
}

TEST(ParameterValue, BoolIsTwoStepsWhenSteppedAndTakesHalfAsTrue) {
    ParameterValue<bool> p(nullptr, "On", "On", false, false, true);
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
    for (const Module* owner : {static_cast<const Module*>(nullptr), test::fakeModule(3)}) {
        FloatValue p(owner, "Gain", "Gain", 0.0f, 0.5f, 1.0f);
        p.read(typedItem("Gain", "<integer name=\"steps\" value=\"11\"/>"));
        // Outside a tree, or in one that does not step, the value is continuous.
        tree.setStepParameters(false);
        EXPECT_EQ(p.getStepSize(), kUnstepped);
        EXPECT_EQ(p.getNumSteps(), Parameter::kContinuous);
        p.setValue(0.33f, Sender::kHost);
        EXPECT_FLOAT_EQ(p.getValue(), 0.33f);
        tree.setStepParameters(true);
        p.setValue(0.33f, Sender::kHost);
        EXPECT_FLOAT_EQ(p.getValue(), owner != nullptr ? 0.3f : 0.33f);
        EXPECT_EQ(p.getStepSize(), owner != nullptr ? 0.1f : kUnstepped);
    }
}

TEST(ParameterValue, BroadcastPolicyDecidesWhetherAValueIsTakenAndSentAndNaNIsIgnored) {
    FloatValue p(nullptr, "Gain", "Gain", 0.0f, 0.5f, 1.0f);
    Recorder recorder;
    p.addListener(&recorder);
    p.setValue(0.5f, Sender::kHost);
    p.setValue(kNaN, Sender::kHost);
    p.setNormalized(kNaN, Sender::kHost);
    EXPECT_FLOAT_EQ(p.getValue(), 0.5f);
    p.setValue(0.75f, Sender::kEditor);
    const ParameterMessage& sent = recorder.last();
    EXPECT_EQ(std::tuple(sent.code, sent.name, wordToFloat(sent.extra), sent.value, sent.sender),
              std::tuple(Code::kParameterValue, "Gain", 0.75f, 0.75f, static_cast<Radio*>(&p)));

    p.read(typedItem("Gain", "<string name=\"broadcast\" value=\"always\"/>"));
    p.setValue(0.75f, Sender::kMidi);
    p.read(typedItem("Gain", "<string name=\"broadcast\" value=\"never\"/>"));
    p.setValue(0.1f, Sender::kHost);
    EXPECT_FLOAT_EQ(p.getValue(), 0.75f);
    // The current value still goes out when asked for.
    p.notifyListeners();
    EXPECT_EQ(recorder.flags(),
              (Flags{Sender::kNewListener, Sender::kEditor, Sender::kMidi, Sender::kSettings}));
}

TEST(ParameterValue, NewListenerAloneGetsTheCurrentValue) {
    LongValue p(nullptr, "Key", "Key", -10, -7, 10);
    p.setInstance(2);
    Recorder first, second;
    p.addListener(&first);
    p.addListener(&second);
    EXPECT_EQ(first.flags(), Flags{Sender::kNewListener});
    ASSERT_EQ(second.flags(), Flags{Sender::kNewListener});
    EXPECT_EQ(second.last().index, 2);
    EXPECT_EQ(static_cast<std::int32_t>(second.last().extra), -7);
}

TEST(ParameterValue, ReceivesValueResetAndFeedbackMessages) {
    FloatValue p(nullptr, "Gain", "Gain", 0.0f, 0.25f, 2.0f);
    Recorder recorder;
    p.addListener(&recorder);
    p.receive(ParameterMessage(nullptr, Code::kParameterValue, "Gain", 0, 0, 0.5f, Sender::kMidi));
    EXPECT_FLOAT_EQ(p.getValue(), 1.0f);
    p.receive(ParameterMessage(nullptr, Code::kParameterReset, "Gain", 0, 0, 0.0f, Sender::kEditor));
    EXPECT_FLOAT_EQ(p.getValue(), 0.25f);
    p.receive(ParameterMessage(nullptr, Code::kParameterSetFromExtra, "Gain", 0, floatToWord(9.5f), 0.0f, 0));
    EXPECT_EQ(recorder.flags(), (Flags{Sender::kNewListener, Sender::kMidi, Sender::kEditor}));
    p.read(typedItem("Gain", "<dict name=\"display\"><string name=\"scaling\" value=\"feedback\"/></dict>"));
    EXPECT_EQ(p.getText(), "9.50");
    EXPECT_FLOAT_EQ(p.getValue(), 0.25f);
}

TEST(ParameterValue, WritesUnderItsNameAtItsInstanceReplacingWhatIsThere) {
    FloatValue first(nullptr, "Level", "Level", 0.0f, 0.5f, 1.0f),
        second(nullptr, "Level", "Level", 0.0f, 0.25f, 1.0f);
    second.setInstance(1);
    Dictionary document;
    first.write(document);
    second.write(document);
    second.setValue(0.75f, Sender::kHost);
    second.write(document);
    EXPECT_EQ(document.count("Level"), 2);
    const Dictionary::View entry = document.getChild(1, "Level");
    EXPECT_EQ(std::tuple(entry->getAttribute("index"), entry->getAttribute("value")),
              std::tuple("1", "0.75000000"));
}

std::string display(const std::string& scaling, const std::string& min = "", const std::string& max = "",
                    const std::string& precision = "") {
    std::string entries = "<string name=\"scaling\" value=\"" + scaling + "\"/>";
    if (!min.empty())
        entries += "<float name=\"min\" value=\"" + min + "\"/><float name=\"max\" value=\"" + max + "\"/>";
    if (!precision.empty())
        entries += "<integer name=\"precision\" value=\"" + precision + "\"/>";
    return "<dict name=\"display\">" + entries + "</dict>";
}

ParameterValue<float> floatShown(const std::string& displayEntries, float min, float value, float max) {
    ParameterValue<float> p(nullptr, "P", "P", min, value, max);
    p.read(typedItem("P", displayEntries));
    return p;
}

struct Shown {
    std::string display;
    float min, value, max;
    const char* text;
};

TEST(ValueDisplay, TextShowsTheValueInDisplayUnitsWithItsPrecision) {
    const Shown rows[] = {
        {display("logarithmic", "20", "20000"), 0.0f, 0.5f, 1.0f, "632.46"},
        // A geometric range needs two positive bounds; otherwise it is linear.
        {display("logarithmic", "0", "100"), 0.0f, 0.25f, 1.0f, "25.00"},
        {display("exponential", "0", "100"), 0.0f, 0.5f, 1.0f, "80.89"},
        {display("dB", "", "", "1"), 0.0f, 1.0f, 2.0f, "0.0"},
        {display("dB", "", "", "1"), 0.0f, 2.0f, 2.0f, "12.0"},
        {display("dB"), 0.0f, 0.0f, 2.0f, "-oo"},
        {display("dB"), -1.0f, -0.5f, 1.0f, "-oo"},
        // Without display bounds the value itself is shown.
        {display("linear"), -5.0f, -2.5f, 5.0f, "-2.50"},
        {"", 0.0f, 0.5f, 1.0f, "0.50"},
        {display("linear", "0", "440", "0"), 0.0f, 1.0f, 1.0f, "440"},
        {display("linear", "0", "1", "4"), 0.0f, 0.125f, 1.0f, "0.1250"},
        // A broken precision cannot make the text grow without bound.
        {display("linear", "0", "1", "2000000000"), 0.0f, 0.125f, 1.0f, "0.12500000000000000"},
        {display("linear", "0", "1", "-3"), 0.0f, 0.125f, 1.0f, "0"},
    };
    for (const Shown& row : rows)
        EXPECT_EQ(floatShown(row.display, row.min, row.value, row.max).getText(), row.text) << row.display;
    auto clamped = floatShown(display("linear"), -5.0f, 0.0f, 5.0f);
    clamped.setValue(440.0f, Sender::kHost);
    EXPECT_EQ(clamped.getText(), "5.00");
}

TEST(ValueDisplay, TypedTextIsReadInDisplayUnits) {
    const struct {
        std::string display;
        float max;
        const char* text;
        double value;
    } rows[] = {
        {display("logarithmic", "20", "20000"), 1.0f, "2000", std::log(100.0) / std::log(1000.0)},
        // Leading blanks are skipped and trailing units ignored.
        {display("logarithmic", "20", "20000"), 1.0f, "  20 Hz", 0.0},
        {display("logarithmic", "0", "100"), 1.0f, "50", 0.5},
        {display("exponential", "0", "100"), 1.0f, "80.8879", 0.5},
        {display("dB"), 2.0f, "-12", 0.5},
        {display("linear"), 5.0f, "1.25", 1.25},
    };
    for (const auto& row : rows) {
        auto p = floatShown(row.display, 0.0f, 0.3f, row.max);
        EXPECT_TRUE(p.setText(row.text, Sender::kEditor)) << row.text;
        EXPECT_NEAR(p.getValue(), row.value, 1e-4) << row.text;
    }
}

TEST(ValueDisplay, LongDisplayTruncatesTowardZeroButKeepsWholeNumbersWhole) {
    ParameterValue<long> p(nullptr, "L", "L", 0, 64, 127);
    p.read(typedItem("L", display("linear", "0", "10")));
    EXPECT_EQ(p.getText(), "5");
    p.setValue(70, Sender::kHost); // 5.51
    EXPECT_EQ(std::pair(p.getDisplayValue(), p.getText()), std::pair(5L, std::string("5")));
    // Whole numbers shown through a range that is not a power of two stay whole.
    ParameterValue<long> negative(nullptr, "N", "N", -100, -7, 100);
    EXPECT_EQ(negative.getText(), "-7");
    for (long v = -100; v <= 100; ++v) {
        negative.setValue(v, Sender::kHost);
        ASSERT_EQ(negative.getDisplayValue(), v);
    }
    EXPECT_TRUE(negative.setText("-42", Sender::kHost));
    EXPECT_EQ(negative.getValue(), -42);
}

TEST(ValueDisplay, BoolTextIsTrueOrFalse) {
    ParameterValue<bool> p(nullptr, "B", "B", false, false, true);
    EXPECT_EQ(p.getText(), "false");
    EXPECT_TRUE(p.setText("true", Sender::kHost));
    EXPECT_EQ(p.getText(), "true");
    EXPECT_FALSE(p.setText("yes", Sender::kHost));
    EXPECT_TRUE(p.getValue());
}

TEST(ValueDisplay, UnparsableTextIsRefusedAndChangesNothing) {
    auto p = floatShown(display("linear"), 0.0f, 0.3f, 1.0f);
    test::Recorder recorder;
    p.addListener(&recorder);
    recorder.entries.clear();
    for (const char* text : {"", "abc", "oo", "-oo", "   ", "x1"})
        EXPECT_FALSE(p.setText(text, Sender::kEditor)) << text;
    EXPECT_FLOAT_EQ(p.getValue(), 0.3f);
    EXPECT_TRUE(recorder.entries.empty());
    ParameterValue<long> l(nullptr, "L", "L", 0, 3, 10);
    EXPECT_FALSE(l.setText("many", Sender::kEditor));
    EXPECT_EQ(l.getValue(), 3);
}

class CommaDecimals : public std::numpunct<char> {
protected:
    char do_decimal_point() const override { return ','; }
};

TEST(ValueDisplay, TextsIgnoreTheProcessLocale) {
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaDecimals));
    ParameterValue<float> p(nullptr, "Q", "Q", 0.0f, 0.5f, 1.0f);
    const std::string shown = p.getText();
    const bool parsed = p.setText("0.25", Sender::kHost);
    std::locale::global(previous);
    EXPECT_EQ(shown, "0.50");
    EXPECT_TRUE(parsed);
    EXPECT_FLOAT_EQ(p.getValue(), 0.25f);
}

class HalfConverter : public FeedbackConverter {
public:
    float getNormalized(float displayValue) const override { return displayValue / 2.0f; }
};

TEST(ValueDisplay, FeedbackTextGoesThroughTheConverter) {
    auto p = floatShown(display("feedback"), 0.0f, 0.5f, 1.0f);
    EXPECT_TRUE(p.setText("1.5", Sender::kEditor));
    // Without a converter a typed feedback value is the bottom of the range.
    EXPECT_FLOAT_EQ(p.getValue(), 0.0f);
    HalfConverter converter;
    p.setFeedbackConverter(&converter);
    EXPECT_TRUE(p.setText("1.5", Sender::kEditor));
    EXPECT_FLOAT_EQ(p.getValue(), 0.75f);
}

TEST(ValueScaling, LinearAndGeometricRangesMapOntoEachOther) {
    EXPECT_NEAR(scaleLinearToLog({2.0, 12.0}, 7.0, {1.0, 8.0}), std::sqrt(8.0), 1e-12);
    for (double v : {2.0, 3.0, 9.7, 12.0})
        EXPECT_NEAR(
            scaleLogToLinear({5.0, 500.0}, scaleLinearToLog({2.0, 12.0}, v, {5.0, 500.0}), {2.0, 12.0}), v,
            1e-12);
}

class ParameterPersistence : public testing::Test {
protected:
    // Reads the item into the parameter, then applies the step (init, exit, a change).
    template <class Kind, class Step> static Kind& with(Kind& p, const std::string& entries, Step step) {
        p.read(typedItem(p.getName(), entries));
        step(p);
        return p;
    }

    const std::string persistent_ = "<bool name=\"persistent\" value=\"true\"/>";
    const std::string modes_ = persistent_ +
                               "<array name=\"values\"><string value=\"a\"/><string value=\"b\"/>"
                               "<string value=\"c\"/></array><integer name=\"value\" value=\"1\"/>";
    test::ScopedUserPreferences preferences_;
};

TEST_F(ParameterPersistence, PersistentValuesAreStoredAtExitAndRestoredAtInit) {
    FloatValue volume(nullptr, "Volume", "Volume", 0.0f, 0.5f, 1.0f), nextVolume = volume;
    ParameterEnum<std::string> mode(nullptr, "Mode", "Mode"), nextMode = mode;
    ParameterText folder(nullptr, "LastFolder", "LastFolder"), nextFolder = folder;
    with(volume, persistent_, [](FloatValue& p) {
        p.init();
        EXPECT_FLOAT_EQ(p.getValue(), 0.5f);
        p.setValue(0.8f, Sender::kHost);
        p.exit();
    });
    with(mode, modes_, [](auto& p) {
        p.select(2, Sender::kHost);
        p.exit();
    });
    with(folder, persistent_, [](auto& p) {
        p.setValue("/home/user/loops", Sender::kEditor);
        p.exit();
    });
    float stored = 0;
    EXPECT_TRUE(preferences_.stored()->getFloat("Volume", stored));

    Recorder recorder;
    nextVolume.addListener(&recorder);
    EXPECT_FLOAT_EQ(with(nextVolume, persistent_, [](auto& p) { p.init(); }).getValue(), 0.8f);
    EXPECT_EQ(recorder.last().flags, Sender::kSettings);
    EXPECT_EQ(with(nextMode, modes_, [](auto& p) { p.init(); }).getSelected(), 2u);
    EXPECT_EQ(with(nextFolder, persistent_, [](auto& p) { p.init(); }).getValue(), "/home/user/loops");
}

TEST_F(ParameterPersistence, StoredEntryOutsideTheListIsIgnoredAndOtherValuesLeaveThePreferencesAlone) {
    ParameterEnum<std::string> mode(nullptr, "Mode", "Mode"), nextMode = mode;
    LongValue octave(nullptr, "Octave", "Octave", -2, 0, 2);
    with(mode, modes_, [](auto& p) { p.exit(); });
    with(octave, "", [](auto& p) {
        p.setValue(2, Sender::kHost);
        p.exit();
    });
    ASSERT_FALSE(preferences_.stored()->setLong("Mode", 9).failed());
    EXPECT_EQ(with(nextMode, modes_, [](auto& p) { p.init(); }).getSelected(), 1u);
    std::int32_t value = 0;
    EXPECT_FALSE(preferences_.stored()->getLong("Octave", value));
}

} // namespace
