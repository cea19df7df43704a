// The value control's gestures and keys, driven through an open editor on knobs: drags with their dead
// zone, axis lock, fine adjustment and detent, wrapping, the wheel, the arrow keys, the reset to the
// default, auto-reset and stepping presses, and the keys of its specification.
#include "framework/Dictionary.h"
#include "gui/controls/ControlValueKnob.h"
#include "plugin/Parameter.h"

#include "support/EditorHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace trov;
using test::node;
using test::specification;

namespace {

// Knobs of 30 x 30 in a row at y = 230 and another at y = 460, far enough from the edges for long drags.
class ValueGestures : public test::EditorHarness {
protected:
    ValueGestures() {
        build(specification(
            {node("Panel")
                 .id("special::background")
                 .at(0, 0, 400, 500)
                 .child(node("Knob").id("level").parameter("Level").at(10, 230, 30, 30))
                 .child(node("Knob").id("detent").parameter("Level").real("detent", 0.0).at(50, 230, 30, 30))
                 .child(node("Knob").id("coarse").parameter("Coarse").at(90, 230, 30, 30))
                 .child(node("Knob").id("fine").parameter("Fine").at(130, 230, 30, 30))
                 .child(node("Knob").id("choice").parameter("Choice").at(170, 230, 30, 30))
                 .child(node("Knob").id("drive").parameter("Drive").at(210, 230, 30, 30))
                 .child(node("Knob").id("own").real("detent", 0.0).at(250, 230, 30, 30))
                 .child(node("Knob").id("bottom").parameter("Level").at(10, 460, 30, 30))
                 .child(node("Knob")
                            .id("reset")
                            .parameter("Coarse")
                            .flag("autoreset", true)
                            .real("dragspeed", 1.0)
                            .at(50, 460, 30, 30))
                 .child(node("Knob")
                            .id("inc")
                            .parameter("Choice")
                            .string("mousedown", "increment")
                            .at(90, 460, 30, 30))
                 .child(node("Knob")
                            .id("wrap")
                            .parameter("Coarse")
                            .flag("wrap", true)
                            .real("dragspeed", 3.0)
                            .flag("stayon", true)
                            .at(130, 460, 30, 30))
                 .child(
                     node("Knob").id("wrapLevel").parameter("Level").flag("wrap", true).at(170, 460, 30, 30))
                 .child(node("Knob").id("wrapOwn").flag("wrap", true).at(210, 460, 30, 30))}));
        open();
    }
    ControlValueKnob* knob(const std::string& id) const { return control<ControlValueKnob>(id); }
    float level() const { return parameter("Level")->getNormalized(); }
    void set(const std::string& name, float v) { parameter(name)->setNormalized(v, Sender::kSettings); }
    // A drag from the middle of the knob by (dx, dy), long enough after the last press not to make a
    // double click.
    void dragKnob(const std::string& id, int dx, int dy) {
        tick(20);
        const Rect r = knob(id)->getAbsoluteRect();
        const Point c = r.getCenter();
        drag(c.x, c.y, c.x + dx, c.y + dy);
    }
    void hold(int key, bool down) {
        driver.key(key, down);
        flush();
    }
};

// The stepping the wrap stands for: whole periods added below 0 and taken away above 1, one at a time.
double steppedWrap(double v, double period) {
    while (v < 0.0)
        v += period;
    while (v > 1.0)
        v -= period;
    return std::clamp(v, 0.0, 1.0);
}

} // namespace

TEST_F(ValueGestures, ADragCountsVerticalPixelsWhollyAndHorizontalOnesAQuarterBeyondADeadZoneOfSix) {
    struct Case {
        int dx, dy;
        bool fine;
        float expected; // from 0.5
    };
    const Case cases[] = {
        {0, -6, false, 0.5f},      // inside the dead zone
        {0, -106, false, 0.75f},   // 100 pixels beyond it, 0.0025 each
        {0, 46, false, 0.4f},      // down lowers
        {10, 3, false, 0.5f},      // the larger axis only: 10 / 4 = 2.5, inside the dead zone
        {40, 3, false, 0.51f},     // 40 / 4 - 6 = 4 pixels' worth
        {4, -4, false, 0.5f},      // within 6 both count: 1 + 4
        {-20, -20, false, 0.535f}, // a tie keeps the vertical movement: 20 - 6
        {0, -106, true, 0.55f},    // Shift: a fifth
    };
    for (const Case& c : cases) {
        set("Level", 0.5f);
        if (c.fine)
            hold(platform::VirtualKey::kShift, true);
        dragKnob("level", c.dx, c.dy);
        if (c.fine)
            hold(platform::VirtualKey::kShift, false);
        EXPECT_NEAR(level(), c.expected, 1e-6) << c.dx << "," << c.dy;
    }
}

TEST_F(ValueGestures, FourHundredPixelsBeyondTheDeadZoneSweepTheWholeRangeAndTheEndsHold) {
    set("Level", 0.0f);
    dragKnob("bottom", 0, -406);
    EXPECT_FLOAT_EQ(level(), 1.0f);
    set("Level", 0.0f);
    dragKnob("bottom", 0, -440);
    EXPECT_FLOAT_EQ(level(), 1.0f);
}

TEST_F(ValueGestures, ADragHoldsAtTheDetentForSixPixelsWorthUnlessItStartsThere) {
    struct Case {
        float start;
        int dy;
        float expected;
    };
    const Case cases[] = {
        {0.2f, -126, 0.5f},   // reaches the detent
        {0.2f, -132, 0.5f},   // 0.515 is held
        {0.2f, -136, 0.51f},  // 0.525 less the six pixels' 0.015
        {0.8f, 126, 0.5f},    // from above
        {0.8f, 136, 0.49f},   // 0.475 plus 0.015
        {0.495f, -10, 0.505f} // starting on the detent, the drag passes it
    };
    EXPECT_FLOAT_EQ(knob("detent")->getDetent(), 0.5f);
    for (const Case& c : cases) {
        set("Level", c.start);
        dragKnob("detent", 0, c.dy);
        EXPECT_NEAR(level(), c.expected, 1e-5) << c.start << " by " << c.dy;
    }
}

TEST_F(ValueGestures, WrappingContinuesFromTheOtherEndAStepPastAnEndLandingOnTheOtherEnd) {
    knob("wrap")->setValue(1.25f);
    EXPECT_FLOAT_EQ(parameter("Coarse")->getNormalized(), 0.0f);
    knob("wrap")->setValue(-0.25f);
    EXPECT_FLOAT_EQ(parameter("Coarse")->getNormalized(), 1.0f);
    for (const double v : {-7.3, -2.5, -0.3, 1.3, 3.1, 12.75, 1000.25, -1000.25}) {
        knob("wrapLevel")->setValue(static_cast<float>(v));
        EXPECT_NEAR(level(), steppedWrap(v, 1.0), 1e-4) << v;
        knob("wrapOwn")->setValue(static_cast<float>(v));
        EXPECT_NEAR(knob("wrapOwn")->getValue(), steppedWrap(v, 1.0), 1e-4) << v;
        knob("wrap")->setValue(static_cast<float>(v));
        EXPECT_NEAR(parameter("Coarse")->getNormalized(), std::round(steppedWrap(v, 1.25) * 4.0) / 4.0, 1e-6)
            << v;
    }
}

TEST_F(ValueGestures, AHugeValueWrapsAtOnceAndNaNGivesZero) {
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    // A period added to 1e30 leaves it unchanged: stepping would never end.
    for (const char* id : {"wrap", "wrapLevel", "wrapOwn"}) {
        for (const float v : {1e30f, -1e30f, kInfinity, -kInfinity}) {
            knob(id)->setValue(v);
            EXPECT_GE(knob(id)->getValue(), 0.0f) << id << " " << v;
            EXPECT_LE(knob(id)->getValue(), 1.0f) << id << " " << v;
        }
        knob(id)->setValue(0.5f);
        knob(id)->setValue(kNaN);
        EXPECT_EQ(knob(id)->getValue(), 0.0f) << id;
    }
    knob("own")->setValue(0.5f);
    knob("own")->setValue(kNaN);
    EXPECT_EQ(knob("own")->getValue(), 0.0f);
    knob("own")->setValue(kInfinity);
    EXPECT_EQ(knob("own")->getValue(), 1.0f);
}

TEST_F(ValueGestures, AWheelNotchMovesAFortiethOrAtLeastOneStep) {
    set("Level", 0.5f);
    move(25, 245);
    wheel(25, 245, 120);
    EXPECT_NEAR(level(), 0.525f, 1e-6);
    wheel(25, 245, -240);
    EXPECT_NEAR(level(), 0.475f, 1e-6);
    // Three steps of 0.5: a notch moves a whole step.
    set("Choice", 0.0f);
    move(185, 245);
    wheel(185, 245, 120);
    EXPECT_FLOAT_EQ(parameter("Choice")->getNormalized(), 0.5f);
    wheel(185, 245, -120);
    EXPECT_FLOAT_EQ(parameter("Choice")->getNormalized(), 0.0f);
}

TEST_F(ValueGestures, ArrowKeysStepAtLeastAHundredthAndTenTimesAsFarWithShiftOnAutomatableParametersOnly) {
    click(145, 245); // the window takes the keyboard
    set("Fine", 0.0f);
    driver.tap(platform::VirtualKey::kUp);
    flush();
    EXPECT_NEAR(parameter("Fine")->getNormalized(), 0.01f, 1e-6);
    hold(platform::VirtualKey::kShift, true);
    driver.tap(platform::VirtualKey::kUp);
    flush();
    hold(platform::VirtualKey::kShift, false);
    EXPECT_NEAR(parameter("Fine")->getNormalized(), 0.11f, 1e-6);
    driver.tap(platform::VirtualKey::kDown);
    flush();
    EXPECT_NEAR(parameter("Fine")->getNormalized(), 0.10f, 1e-6);
    set("Drive", 0.5f);
    move(225, 245);
    driver.tap(platform::VirtualKey::kUp);
    flush();
    EXPECT_FLOAT_EQ(parameter("Drive")->getNormalized(), 0.5f); // not automatable
}

TEST_F(ValueGestures, ControlAndAPressResetTheParameterToItsDefaultAndStartNoDrag) {
    set("Coarse", 1.0f);
    hold(platform::VirtualKey::kControl, true);
    dragKnob("coarse", 0, -60);
    EXPECT_FLOAT_EQ(parameter("Coarse")->getNormalized(), 0.5f); // the default, 2 of 0..4
    // Without a parameter the press is the control base's: not taken, so nothing moves.
    knob("own")->setValue(0.25f);
    dragKnob("own", 0, -60);
    hold(platform::VirtualKey::kControl, false);
    EXPECT_FLOAT_EQ(knob("own")->getValue(), 0.25f);
    EXPECT_FALSE(knob("own")->isDragging());
}

TEST_F(ValueGestures, AutoResetReturnsToTheDefaultAtTheReleaseAndMouseDownIncrementStepsAtEachPress) {
    set("Coarse", 0.0f);
    const Point c = knob("reset")->getAbsoluteRect().getCenter();
    move(c.x, c.y);
    press(c.x, c.y);
    move(c.x, c.y - 106);
    EXPECT_FLOAT_EQ(parameter("Coarse")->getNormalized(), 0.25f); // 100 pixels' worth
    release(c.x, c.y - 106);
    EXPECT_FLOAT_EQ(parameter("Coarse")->getNormalized(), 0.5f);
    set("Choice", 0.0f);
    click(105, 475);
    EXPECT_FLOAT_EQ(parameter("Choice")->getNormalized(), 0.5f);
    tick(20); // not a double click
    click(105, 475);
    EXPECT_FLOAT_EQ(parameter("Choice")->getNormalized(), 1.0f);
}

TEST_F(ValueGestures, TheSpecificationSetsTheDetentOnlyWithAParameterAndASlowerSpeedForCoarseSteps) {
    EXPECT_FLOAT_EQ(knob("own")->getDetent(), ControlValue::kNoDetent);
    EXPECT_FLOAT_EQ(knob("level")->getDragSpeed(), 1.0f);
    EXPECT_FLOAT_EQ(knob("fine")->getDragSpeed(), 1.0f);    // steps of 0.001
    EXPECT_FLOAT_EQ(knob("coarse")->getDragSpeed(), 0.25f); // steps of 0.25
    EXPECT_FLOAT_EQ(knob("wrap")->getDragSpeed(), 3.0f);    // said explicitly
    EXPECT_EQ(knob("inc")->getMouseDownMode(), ControlValue::kMouseDownIncrement);
    EXPECT_TRUE(knob("wrap")->isStayOn());
    // Written in the form they are read.
    for (const auto& [id, detent] : {std::pair{"detent", 0.0f}, std::pair{"own", 666.5f}}) {
        Dictionary written;
        ASSERT_TRUE(knob(id)->toDictionary(written));
        float value = -1.0f;
        EXPECT_TRUE(written.getFloat("detent", &value));
        EXPECT_FLOAT_EQ(value, detent) << id;
    }
    Dictionary written;
    knob("wrap")->toDictionary(written);
    bool on = false;
    float speed = 0.0f;
    EXPECT_TRUE(written.getBool("wrap", &on) && on);
    EXPECT_TRUE(written.getFloat("dragspeed", &speed));
    EXPECT_FLOAT_EQ(speed, 3.0f);
}
