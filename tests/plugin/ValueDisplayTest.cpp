#include "plugin/FeedbackConverter.h"
#include "plugin/ParameterValue.h"
#include "plugin/PluginTestSupport.h"
#include "plugin/ValueScaling.h"

#include <gtest/gtest.h>

#include <locale>
#include <cmath>

using namespace trov;
using test::typedItem;

namespace {

std::string display(const std::string& scaling, const std::string& min, const std::string& max,
                    const std::string& precision = std::string()) {
    std::string entries = "<string name=\"scaling\" value=\"" + scaling + "\"/>";
    if (!min.empty())
        entries += "<float name=\"min\" value=\"" + min + "\"/>";
    if (!max.empty())
        entries += "<float name=\"max\" value=\"" + max + "\"/>";
    if (!precision.empty())
        entries += "<integer name=\"precision\" value=\"" + precision + "\"/>";
    return "<dict name=\"display\">" + entries + "</dict>";
}

ParameterValue<float> floatShown(const std::string& displayEntries, float min, float def, float max) {
    ParameterValue<float> p(nullptr, "P", "P", min, def, max);
    p.read(typedItem("P", displayEntries));
    return p;
}

TEST(ValueDisplay, LogarithmicShowsTheGeometricMiddleAndParsesTypedValues) {
    auto p = floatShown(display("logarithmic", "20", "20000"), 0.0f, 0.5f, 1.0f);
    EXPECT_NEAR(p.getDisplayValue(), 632.4555f, 1e-3f);
    EXPECT_EQ(p.getText(), "632.46");
    EXPECT_TRUE(p.setText("2000", Sender::kEditor));
    EXPECT_NEAR(p.getValue(), std::log(100.0) / std::log(1000.0), 1e-6);
    // Leading blanks are skipped and trailing units ignored.
    EXPECT_TRUE(p.setText("  20 Hz", Sender::kEditor));
    EXPECT_NEAR(p.getValue(), 0.0f, 1e-6f);
    EXPECT_EQ(p.getBase(), 2.0f);
}

TEST(ValueDisplay, LogarithmicWithABoundAtOrBelowZeroFallsBackToLinear) {
    auto p = floatShown(display("logarithmic", "0", "100"), 0.0f, 0.25f, 1.0f);
    EXPECT_EQ(p.getText(), "25.00");
    EXPECT_TRUE(p.setText("50", Sender::kEditor));
    EXPECT_FLOAT_EQ(p.getValue(), 0.5f);
}

TEST(ValueDisplay, ExponentialUsesBaseThirtyTwoBothWays) {
    auto p = floatShown(display("exponential", "0", "100"), 0.0f, 0.5f, 1.0f);
    EXPECT_EQ(p.getBase(), 32.0f);
    EXPECT_NEAR(p.getDisplayValue(), 100.0 * std::log(16.5) / std::log(32.0), 1e-3);
    EXPECT_EQ(p.getText(), "80.89");
    EXPECT_TRUE(p.setText("80.9", Sender::kEditor));
    EXPECT_NEAR(p.getValue(), 0.5f, 1e-3f);
}

TEST(ValueDisplay, DecibelsFollowTheStoredValue) {
    auto p = floatShown(display("dB", "", "", "1"), 0.0f, 1.0f, 2.0f);
    EXPECT_EQ(p.getText(), "0.0");
    p.setValue(2.0f, Sender::kHost);
    EXPECT_EQ(p.getText(), "12.0");
    p.setValue(0.0f, Sender::kHost);
    EXPECT_EQ(p.getText(), "-oo");
    EXPECT_TRUE(p.setText("-12", Sender::kEditor));
    EXPECT_FLOAT_EQ(p.getValue(), 0.5f);
    // A negative value has no level either.
    auto negative = floatShown(display("dB", "", ""), -1.0f, -0.5f, 1.0f);
    EXPECT_EQ(negative.getText(), "-oo");
}

TEST(ValueDisplay, WithoutDisplayBoundsTheValueItselfIsShown) {
    auto p = floatShown(display("linear", "", ""), -5.0f, 0.0f, 5.0f);
    p.setValue(440.0f, Sender::kHost);
    EXPECT_EQ(p.getText(), "5.00");
    p.setValue(-2.5f, Sender::kHost);
    EXPECT_EQ(p.getText(), "-2.50");
    EXPECT_TRUE(p.setText("1.25", Sender::kHost));
    EXPECT_FLOAT_EQ(p.getValue(), 1.25f);
    ParameterValue<float> plain(nullptr, "Q", "Q", 0.0f, 0.5f, 1.0f);
    EXPECT_EQ(plain.getText(), "0.50");
}

TEST(ValueDisplay, LongDisplayTruncatesTowardZero) {
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
    EXPECT_TRUE(p.getValue());
    EXPECT_EQ(p.getText(), "true");
    EXPECT_FALSE(p.setText("yes", Sender::kHost));
    EXPECT_TRUE(p.getValue());
}

TEST(ValueDisplay, UnparsableTextIsRefusedAndChangesNothing) {
    auto p = floatShown(display("linear", "", ""), 0.0f, 0.3f, 1.0f);
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

TEST(ValueDisplay, PrecisionSetsTheDecimals) {
    auto p = floatShown(display("linear", "0", "440", "0"), 0.0f, 1.0f, 1.0f);
    EXPECT_EQ(p.getText(), "440");
    auto fine = floatShown(display("linear", "0", "1", "4"), 0.0f, 0.125f, 1.0f);
    EXPECT_EQ(fine.getText(), "0.1250");
    // A broken precision cannot make the text grow without bound.
    auto broken = floatShown(display("linear", "0", "1", "2000000000"), 0.0f, 0.125f, 1.0f);
    EXPECT_EQ(broken.getText(), "0.12500000000000000");
    auto negative = floatShown(display("linear", "0", "1", "-3"), 0.0f, 0.125f, 1.0f);
    EXPECT_EQ(negative.getText(), "0");
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
    auto p = floatShown(display("feedback", "", ""), 0.0f, 0.0f, 1.0f);
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
        EXPECT_NEAR(scaleLogToLinear({5.0, 500.0}, scaleLinearToLog({0.0, 1.0}, v, {5.0, 500.0}), {0.0, 1.0}), v,
                    1e-12);
}

} // namespace
