// Level meters: the lit part and the peak line of a meter image, the two-second peak hold on the manual
// clock, levels beyond full scale, LED thresholds and the LEDs a level lights.
#include "gui/controls/ControlVUMeterLEDs.h"
#include "plugin/ParameterValue.h"

#include "support/AllocationGuard.h"
#include "support/EditorHarness.h"
#include "support/PixelCheck.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

using namespace trov;
using test::node;
using test::specification;

namespace {

constexpr std::uint32_t kRed = 0xffff0000, kGreen = 0xff00ff00;
constexpr test::Rgb kUnlit{255, 0, 0}, kLit{0, 255, 0}, kGrey{0x40, 0x40, 0x40};
// One meter tick: two window-timer periods.
constexpr int kMeterTick = 2;

class LevelMeters : public test::EditorHarness {
protected:
    LevelMeters() {
        addFrames("vu", 10, 100, {kRed, kGreen});
        addFrames("leds", 4, 6, std::vector<std::uint32_t>(10, kRed), true);
        addFrames("column", 6, 4, std::vector<std::uint32_t>(10, kGreen));
    }
    // A grey background with the meter as "m" at (20, 0), sized by its skin.
    void buildWith(test::ControlNode meter) {
        buildAndOpen(node("Panel")
                         .string("background", "#404040")
                         .at(0, 0, 200, 250)
                         .child(meter.id("m").parameter("Meter").integer("x", 20).integer("y", 0)));
    }
    void setMeter(float level) {
        dynamic_cast<ParameterValue<float>*>(parameter("Meter"))->setValue(level, 0);
    }
    ControlVUMeter* meter() { return control<ControlVUMeter>("m"); }
};

// LED skins of 2 x 10 one-colour frames: the horizontal one unlit then lit, the vertical one lit then
// unlit (as the meter reads them).
class LedMeters : public LevelMeters {
protected:
    LedMeters() {
        std::vector<std::uint32_t> row(10, kRed);
        row.insert(row.end(), 10, kGreen);
        addFrames("ledrow", 4, 6, row, true);
        std::vector<std::uint32_t> column(10, kGreen);
        column.insert(column.end(), 10, kRed);
        addFrames("ledcolumn", 6, 4, column);
    }
    ControlVUMeterLEDs* leds() { return control<ControlVUMeterLEDs>("m"); }
};

} // namespace

TEST_F(LevelMeters, AHalfLevelLightsTheBottomHalfAndThePeakLineLiesAtItsRow) {
    buildWith(node("VUMeter").string("handle", "vu"));
    EXPECT_EQ(meter()->getLocalRect(), Rect(0, 0, 10, 200)); // the skin's size
    setMeter(0.9f);
    setMeter(0.2f);
    tick(kMeterTick);
    const auto shown = snapshot();
    EXPECT_TRUE(test::pixelIs(*shown, 25, 79, kUnlit));
    EXPECT_TRUE(test::pixelIs(*shown, 25, 80, kLit)); // 100 × (1 - 0.2)
    EXPECT_TRUE(test::pixelIs(*shown, 25, 9, kUnlit));
    EXPECT_TRUE(test::pixelIs(*shown, 25, 10, kLit)); // the peak: 100 × (1 - 0.9), even
    EXPECT_TRUE(test::pixelIs(*shown, 25, 11, kLit));
    EXPECT_TRUE(test::pixelIs(*shown, 25, 12, kUnlit));
    setMeter(0.5f);
    tick(kMeterTick);
    EXPECT_TRUE(test::pixelIs(*snapshot(), 25, 49, kUnlit));
    EXPECT_TRUE(test::pixelIs(*snapshot(), 25, 50, kLit));
}

TEST_F(LevelMeters, APeakHoldsForTwentyTicksAfterTheLastNewPeakThenDropsAtOnce) {
    buildWith(node("VUMeter").string("handle", "vu"));
    std::thread audio([&] {
        test::AllocationGuard guard("levels reaching a meter from another thread");
        setMeter(0.9f);
        setMeter(0.2f);
    });
    audio.join();
    EXPECT_TRUE(editor->getDirtyRects().empty());
    tick(19 * kMeterTick);
    EXPECT_FLOAT_EQ(meter()->getPeak(), 0.9f);
    tick(kMeterTick);
    EXPECT_EQ(meter()->getPeak(), 0.0f);
    EXPECT_FLOAT_EQ(meter()->getLevel(), 0.2f);
}

TEST_F(LevelMeters, LevelsBeyondFullScaleDrawAsFullScaleWithinTheFrame) {
    buildWith(node("VUMeter").string("handle", "vu"));
    setMeter(1.7f);
    tick(kMeterTick);
    const auto shown = snapshot();
    EXPECT_TRUE(test::pixelIs(*shown, 25, 0, kLit));
    EXPECT_TRUE(test::pixelIs(*shown, 25, 99, kLit));
    EXPECT_TRUE(test::pixelIs(*shown, 25, 100, kGrey)) << "below the frame";
    meter()->receive(ParameterMessage(nullptr, Code::kParameterValue, "Meter", 0, floatToWord(NAN), 0.0f, 0));
    EXPECT_EQ(meter()->getLevel(), 0.0f);
    meter()->receive(
        ParameterMessage(nullptr, Code::kParameterValue, "Meter", 0, floatToWord(-2.0f), 0.0f, 0));
    meter()->requestRedraw(true); // a silent meter holding its peak does not ask for one
    tick();
    EXPECT_TRUE(test::pixelIs(*snapshot(), 25, 99, kUnlit));
    EXPECT_TRUE(test::pixelIs(*snapshot(), 25, 100, kGrey));
}

TEST_F(LedMeters, ThresholdsStepThreeDecibelsOrFollowTheGivenValuesAndTheirLine) {
    const auto values = [](std::initializer_list<double> v) {
        std::string xml = "<array name=\"values\">";
        for (double d : v)
            xml += "<float value=\"" + std::to_string(d) + "\"/>";
        return xml + "</array>";
    };
    struct Case {
        std::string values;
        std::vector<float> expected;
    };
    const Case cases[] = {
        {"", {0, -3, -6, -9, -12, -15, -18, -21, -24, -27}},
        {values({0, -1, -2}), {0, -1, -2, -3, -4, -5, -6, -7, -8, -9}},
        {values({0, -2}), {0, -2, -4, -6, -8, -10, -12, -14, -16, -18}},
        {values({6}), {6, 3, 0, -3, -6, -9, -12, -15, -18, -21}},
    };
    for (const Case& c : cases) {
        buildWith(node("VUMeterLED").string("handle", "ledrow").raw(c.values));
        EXPECT_EQ(leds()->getThresholds(), c.expected) << c.values;
    }
}

TEST_F(LedMeters, ALevelLightsTheLedsWhoseThresholdItReachesFromTheQuietest) {
    buildWith(node("VUMeterLED").string("handle", "ledrow"));
    const std::pair<float, int> cases[] = {
        {1.0f, 10},
        {0.5f, 8},
        {0.0f, 0},
        {std::pow(2.0f, -27.0f / 6.0f), 1},
        {std::pow(2.0f, -28.0f / 6.0f), 0},
        {4.0f, 10},
    };
    for (const auto& [level, lit] : cases)
        EXPECT_EQ(leds()->litCount(level), lit) << level;
}

TEST_F(LedMeters, AHorizontalRowLightsFromTheLeftAndAVerticalOneFromTheBottom) {
    buildWith(node("VUMeterLED").string("handle", "ledrow"));
    setMeter(0.5f); // 8 of 10
    tick(kMeterTick);
    EXPECT_TRUE(test::pixelIs(*snapshot(), 20 + 8 * 4 - 1, 3, kLit));
    EXPECT_TRUE(test::pixelIs(*snapshot(), 20 + 8 * 4, 3, kUnlit));

    buildWith(node("VUMeterLED").string("handle", "ledcolumn"));
    setMeter(0.5f);
    tick(kMeterTick);
    EXPECT_TRUE(test::pixelIs(*snapshot(), 22, 2 * 4 - 1, kUnlit));
    EXPECT_TRUE(test::pixelIs(*snapshot(), 22, 2 * 4, kLit));
    EXPECT_TRUE(test::pixelIs(*snapshot(), 22, 10 * 4 - 1, kLit));
}

// A meter the editor is still making (not laid out yet) hears no tick: its ticks would reach a control
// whose parent is still being built. They begin with the layout.
TEST_F(LedMeters, TheTicksBeginWithTheLayoutNotWhileTheMeterIsMade) {
    buildWith(node("VUMeterLED").string("handle", "ledrow"));
    ControlVUMeterLEDs made(editor.get());
    made.receive(ParameterMessage(nullptr, Code::kParameterValue, "Meter", 0, floatToWord(0.5f), 0.0f, 0));
    ASSERT_EQ(made.getHoldCount(), 20);
    tick(4 * kMeterTick);
    EXPECT_EQ(made.getHoldCount(), 20) << "a tick reached the meter while it was made";
    made.layout();
    tick(kMeterTick);
    EXPECT_EQ(made.getHoldCount(), 19);
    made.layout();
    tick(kMeterTick);
    EXPECT_EQ(made.getHoldCount(), 18) << "a second layout leaves one tick a period";
}
