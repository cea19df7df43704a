#include "plugin/FeedbackConverter.h"
#include "plugin/ParameterValue.h"
#include "plugin/PluginTestSupport.h"
#include "plugin/ValueScaling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <locale>

using namespace trov;
using test::typedItem;

namespace {

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
    EXPECT_EQ(p.getDisplayValue(), 5);
    EXPECT_EQ(p.getText(), "5");
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
    EXPECT_NEAR(scaleLinearToLog({0.0, 1.0}, 0.5, {20.0, 20000.0}), 632.455532, 1e-6);
    EXPECT_NEAR(scaleLinearToLog({0.0, 10.0}, 10.0, {1.0, 8.0}), 8.0, 1e-12);
    EXPECT_NEAR(scaleLogToLinear({20.0, 20000.0}, 2000.0, {0.0, 1.0}), 2.0 / 3.0, 1e-12);
    for (double v : {0.0, 0.1, 0.77, 1.0})
        EXPECT_NEAR(scaleLogToLinear({5.0, 500.0}, scaleLinearToLog({0.0, 1.0}, v, {5.0, 500.0}), {0.0, 1.0}),
                    v, 1e-12);
}

} // namespace
