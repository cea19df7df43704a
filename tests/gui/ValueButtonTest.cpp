// Value buttons and choice buttons: toggle, push and latch buttons, stay-on, the on value, blinking on the
// manual clock, the looks drawn from skins by state, the choice button's stepping and frames, and a
// notification from another thread that only records what to do.
#include "gui/controls/ControlValueButton.h"
#include "gui/controls/ControlValueButtonChoice.h"
#include "plugin/ParameterEnum.h"
#include "plugin/ParameterValue.h"

#include "support/AllocationGuard.h"
#include "support/EditorHarness.h"
#include "support/PixelCheck.h"

#include <gtest/gtest.h>

#include <thread>

using namespace trov;
using test::node;
using test::specification;

namespace {

constexpr std::uint32_t kRed = 0xffff0000, kGreen = 0xff00ff00, kBlue = 0xff0000ff, kYellow = 0xffffff00,
                        kWhite = 0xffffffff;
constexpr test::Rgb kRedRgb{255, 0, 0}, kGreenRgb{0, 255, 0}, kBlueRgb{0, 0, 255}, kYellowRgb{255, 255, 0};
// Ticks between two clicks at one place that are not a double click.
constexpr int kApart = 11;

class ValueButtons : public test::EditorHarness {
protected:
    // A grey background holding the node as "b" at (10, 10) (40 x 20 unless the node sizes it).
    void buildWith(test::ControlNode control, bool sized = true) {
        if (sized)
            control.at(10, 10, 40, 20);
        else
            control.integer("x", 10).integer("y", 10);
        buildAndOpen(node("Panel").string("background", "#404040").at(0, 0, 200, 100).child(control.id("b")));
    }
    template <class T> T* button() { return control<T>("b"); }
    float level() { return dynamic_cast<ParameterValue<float>*>(parameter("Level"))->getValue(); }
    void setLevel(float v, int sender = Sender::kHost) {
        dynamic_cast<ParameterValue<float>*>(parameter("Level"))->setValue(v, sender);
    }
    bool mode() { return dynamic_cast<ParameterValue<bool>*>(parameter("Mode"))->getValue(); }
    void clickApart(int x, int y) {
        tick(kApart);
        click(x, y);
    }
};

} // namespace

TEST_F(ValueButtons, AToggleSwitchesOnReleaseInsideAndNotWhenReleasedOutside) {
    buildWith(node("Button").parameter("Level"));
    setLevel(0.0f);
    clickApart(20, 20);
    EXPECT_EQ(level(), 1.0f);
    clickApart(20, 20);
    EXPECT_EQ(level(), 0.0f);
    tick(kApart);
    move(20, 20);
    press(20, 20);
    move(120, 80);
    release(120, 80);
    EXPECT_EQ(level(), 0.0f);
}

TEST_F(ValueButtons, TheNodesValueIsTheOnValueAndOnlyExactlyThatShowsOn) {
    buildWith(node("Button").parameter("Level").real("value", 0.5));
    setLevel(0.0f);
    clickApart(20, 20);
    EXPECT_EQ(level(), 0.5f);
    tick();
    EXPECT_TRUE(test::pixelIs(*snapshot(), 12, 12, test::rgb(colorOrange)));
    clickApart(20, 20);
    EXPECT_EQ(level(), 0.0f);
    setLevel(1.0f);
    tick();
    EXPECT_FALSE(button<ControlValueButton<float>>()->isOn());
    EXPECT_TRUE(test::pixelIs(*snapshot(), 12, 12, test::rgb(colorWhite)));
    EXPECT_TRUE(test::pixelIs(*snapshot(), 10, 10, {0, 0, 0})); // the frame
}

TEST_F(ValueButtons, APushButtonIsOnWhileHeldAndGoesBackOnReleaseEvenOutside) {
    buildWith(node("Button").parameter("Level").flag("pushbutton", true));
    setLevel(0.25f);
    move(20, 20);
    press(20, 20);
    EXPECT_EQ(level(), 1.0f);
    move(120, 80);
    EXPECT_EQ(level(), 1.0f);
    release(120, 80);
    EXPECT_EQ(level(), 0.25f);
}

TEST_F(ValueButtons, ALatchButtonIgnoresClicksAndShowsWhatItsParameterSays) {
    buildWith(node("Button").parameter("Mode").flag("latchbutton", true));
    clickApart(20, 20);
    EXPECT_FALSE(mode());
    parameter("Mode")->setNormalized(1.0f, Sender::kHost);
    tick();
    EXPECT_TRUE(test::pixelIs(*snapshot(), 12, 12, test::rgb(colorOrange)));
}

TEST_F(ValueButtons, AnAutoResettingToggleFallsBackToZeroAtRelease) {
    buildWith(node("Button").parameter("Mode").flag("autoreset", true));
    clickApart(20, 20);
    EXPECT_FALSE(mode());
}

TEST_F(ValueButtons, AStayOnButtonThatIsOnRefusesThePress) {
    buildWith(node("Button").parameter("Mode"));
    button<ControlValueButton<bool>>()->setStayOn(true);
    parameter("Mode")->setNormalized(1.0f, Sender::kHost);
    move(20, 20);
    press(20, 20);
    EXPECT_EQ(editor->getPressed(), nullptr);
    release(20, 20);
    EXPECT_TRUE(mode());
}

TEST_F(ValueButtons, TheBlinkPeriodIsASecondOverTheFrequencyAndANonPositiveOneIsRefused) {
    const std::pair<double, int> cases[] = {
        {2.0, 500}, {4.0, 250}, {0.0, 1000}, {-3.0, 1000}, {0.00001, 86400000}};
    for (const auto& [frequency, period] : cases) {
        buildWith(node("Button").parameter("Mode").flag("blink", true).real("blinkfreq", frequency));
        EXPECT_EQ(button<ControlValueButton<bool>>()->getBlinkPeriod(), period) << frequency;
    }
}

TEST_F(ValueButtons, ABlinkingButtonFlipsItsPhaseEveryPeriodOnTheClockAndStopsWhenOff) {
    buildWith(node("Button").parameter("Mode").flag("blink", true).real("blinkfreq", 2.0));
    auto* b = button<ControlValueButton<bool>>();
    clickApart(20, 20);
    ASSERT_TRUE(mode());
    EXPECT_TRUE(b->isBlinking());
    EXPECT_TRUE(b->getBlinkPhase());
    tick(10); // 500 ms
    EXPECT_FALSE(b->getBlinkPhase());
    tick(10);
    EXPECT_TRUE(b->getBlinkPhase());
    clickApart(20, 20);
    EXPECT_FALSE(mode());
    EXPECT_FALSE(b->isBlinking());
}

TEST_F(ValueButtons, AFourFrameHandleShowsOffHoverOnAndBlinkingOnFrames) {
    addFrames("lamp", 30, 10, {kRed, kGreen, kBlue, kYellow});
    buildWith(
        node("Button").parameter("Mode").string("handle", "lamp").flag("blink", true).real("blinkfreq", 2.0),
        false);
    EXPECT_EQ(button<ControlValueButton<bool>>()->getLocalRect(), Rect(0, 0, 30, 10)); // one frame
    EXPECT_TRUE(test::pixelIs(*snapshot(), 12, 12, kRedRgb)) << "off";
    move(20, 15);
    tick(6); // the glow is full after 250 ms
    EXPECT_TRUE(test::pixelIs(*snapshot(), 12, 12, kGreenRgb)) << "hovered";
    clickApart(20, 15);
    tick();
    EXPECT_TRUE(test::pixelIs(*snapshot(), 12, 12, kYellowRgb)) << "blinking on";
    tick(10);
    EXPECT_TRUE(test::pixelIs(*snapshot(), 12, 12, kBlueRgb)) << "on, between blinks";
}

TEST_F(ValueButtons, SeparateOnAndOffSkinsShowTheOnSkinWhenOn) {
    addSkin("lit", 40, 20, kGreen);
    addSkin("dark", 40, 20, kRed);
    buildWith(node("Button").parameter("Mode").string("on", "lit").string("off", "dark"));
    EXPECT_TRUE(test::pixelIs(*snapshot(), 12, 12, kRedRgb));
    parameter("Mode")->setNormalized(1.0f, Sender::kHost);
    tick();
    EXPECT_TRUE(test::pixelIs(*snapshot(), 12, 12, kGreenRgb));
}

TEST_F(ValueButtons, UpAndDownSkinsFollowThePressAndThePointer) {
    addFrames("key", 40, 20, {kWhite, kBlue});
    buildWith(
        node("Button").parameter("Mode").string("up", "key").string("down", "key").flag("latchbutton", true));
    EXPECT_TRUE(test::pixelIs(*snapshot(), 12, 12, {255, 255, 255}));
    move(20, 20);
    press(20, 20);
    tick();
    EXPECT_TRUE(test::pixelIs(*snapshot(), 12, 12, kBlueRgb)) << "down";
    move(120, 80);
    tick();
    EXPECT_TRUE(test::pixelIs(*snapshot(), 12, 12, {255, 255, 255})) << "pressed, pointer outside";
    release(120, 80);
}

TEST_F(ValueButtons, AChangeOnAnotherThreadOnlyRecordsWhetherToBlinkUntilTheNextTick) {
    buildWith(node("Button").parameter("Mode").flag("blink", true));
    auto* b = button<ControlValueButton<bool>>();
    std::thread gesture([&] { parameter("Mode")->setNormalized(1.0f, Sender::kEditor); });
    gesture.join();
    EXPECT_FALSE(b->isBlinking());
    tick();
    EXPECT_TRUE(b->isBlinking());
    std::thread host([&] {
        test::AllocationGuard guard("a host change of a blinking button's parameter on another thread");
        parameter("Mode")->setNormalized(0.0f, Sender::kHost);
    });
    host.join();
    EXPECT_TRUE(b->isBlinking());
    tick();
    EXPECT_FALSE(b->isBlinking());
    // A host switching it on does not make it blink.
    parameter("Mode")->setNormalized(1.0f, Sender::kHost);
    tick();
    EXPECT_FALSE(b->isBlinking());
}

TEST_F(ValueButtons, AChoiceButtonStepsAfterTheSelectedValueRoundToTheFirst) {
    for (const char* name : {"Shape", "Speed"}) {
        buildWith(node("ButtonChoice").parameter(name));
        parameter(name)->setNormalized(1.0f, Sender::kHost); // entry 2
        clickApart(20, 20);
        EXPECT_EQ(parameter(name)->getNormalized(), 0.0f) << name;
        clickApart(20, 20);
        EXPECT_EQ(parameter(name)->getNormalized(), 0.5f) << name;
    }
}

TEST_F(ValueButtons, AChoiceHandleOfFiveFramesShowsEntriesZeroToTwoAsFramesTwoToFour) {
    addFrames("modes", 40, 20, {kWhite, kWhite, kRed, kGreen, kBlue});
    buildWith(node("ButtonChoice").parameter("Shape").string("handle", "modes"));
    auto* choice = button<ControlValueButtonChoice<long>>();
    auto& shape = *dynamic_cast<ParameterEnum<long>*>(parameter("Shape"));
    const test::Rgb colours[] = {kRedRgb, kGreenRgb, kBlueRgb};
    for (std::uint32_t entry = 0; entry < 3; ++entry) {
        shape.select(entry, Sender::kHost);
        tick();
        EXPECT_EQ(choice->choiceFrame(), static_cast<int>(entry) + 2);
        EXPECT_TRUE(test::pixelIs(*snapshot(), 12, 12, colours[entry])) << "entry " << entry;
    }
}

TEST_F(ValueButtons, AChoiceButtonShowsItselfDownWhilePressedAndThePointerIsInside) {
    buildWith(node("ButtonChoice").parameter("Shape"));
    auto* choice = button<ControlValueButtonChoice<long>>();
    const auto send = [&](std::int32_t code) {
        choice->receive(WindowMessage(editor.get(), code, 0, Point(), 0));
    };
    send(3000);
    EXPECT_TRUE(choice->showsDownLook());
    send(3014);
    EXPECT_FALSE(choice->showsDownLook());
    send(3012);
    EXPECT_TRUE(choice->showsDownLook());
    send(3002);
    EXPECT_FALSE(choice->showsDownLook());
    send(3012);
    EXPECT_FALSE(choice->showsDownLook());
}

TEST_F(ValueButtons, AChoiceButtonWithoutItsEnumerationOnlyRedraws) {
    buildWith(node("ButtonChoice").parameter("Steps")); // an integer value, no enumeration
    auto* choice = button<ControlValueButtonChoice<long>>();
    ASSERT_NE(choice, nullptr);
    EXPECT_EQ(choice->getParameter(), nullptr);
    const float before = parameter("Steps")->getNormalized();
    EXPECT_TRUE(choice->receive(WindowMessage(editor.get(), 3000, 0, Point(5, 5), 0)));
    EXPECT_EQ(parameter("Steps")->getNormalized(), before);
}

TEST_F(ValueButtons, ButtonsAreMadeForTheValuesTypeAndChoicesOnlyForNumbers) {
    build(specification({}));
    const auto make = [&](const test::ControlNode& n) {
        Dictionary document(specification({n}));
        return std::unique_ptr<Control>(
            editor->getControlManager()->createFromDictionary(*document.getArrayItem("controls", 0)));
    };
    EXPECT_NE(dynamic_cast<ControlValueButton<bool>*>(make(node("Button").parameter("Mode")).get()), nullptr);
    EXPECT_NE(dynamic_cast<ControlValueButton<float>*>(make(node("Button").parameter("Level")).get()),
              nullptr);
    EXPECT_NE(
        dynamic_cast<ControlValueButtonChoice<float>*>(make(node("ButtonChoice").parameter("Speed")).get()),
        nullptr);
    const Error error = test::errorThrownBy([&] { make(node("ButtonChoice").parameter("Mode")); });
    EXPECT_EQ(error.getMessage(), "Unknown control type ButtonChoice<bool>");
}
