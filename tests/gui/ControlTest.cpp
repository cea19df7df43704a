// The control base in an open editor: its flags, geometry and specification keys, the events it takes
// itself (drags, the layout gesture, text entry, hover glow, expanding and shrinking), bitmap text.
#include "gui/TimerAnimation.h"
#include "plugin/Parameter.h"

#include "support/EditorHarness.h"

#include <gtest/gtest.h>

using namespace trov;
using test::node;
using test::specification;
using test::TestPanel;
using test::TestSlider;

namespace {

// A panel whose hover glows: an animation of 10 steps over the durations the control base chooses.
class GlowPanel : public TestPanel {
public:
    GlowPanel(Editor* editor, const Rect& r) : TestPanel(editor, r) {
        setHoverGlow(true);
        setHoverAnimation(new TimerAnimation(
            getOwner(), TimerMessage(this, Code::kTimerTick, kHoverTimerId, 0), 0.0f, 1.0f, 10, 250, false));
    }
};

class ControlBase : public test::EditorHarness {
protected:
    ControlBase() {
        addSkin("knob", 30, 20, 0xff00ff00);
        for (const auto& [name, alphabet] :
             {std::pair{"capitals", "AB"}, std::pair{"smalls", "ab"}, std::pair{"mixed", "Ab"}})
            addSkin(name, 8, 4, 0xffff0000, 2, alphabet);
        build(specification(
            {node("Panel")
                 .id("special::background")
                 .at(0, 0, 200, 150)
                 .child(node("Panel")
                            .id("box")
                            .flag("draggable", true)
                            .at(10, 10, 40, 40)
                            .child(node("Panel").id("inner").flag("draggable", true).at(5, 5, 10, 10)))
                 .child(node("Panel").id("plain").at(60, 10, 20, 20))
                 .child(node("Slider").id("lvl").parameter("Level").at(90, 10, 20, 60))}));
        open();
    }
    Control* add(Control* c) {
        control("special::background")->addChild(c);
        c->invalidateLayout();
        return c;
    }
};

} // namespace

TEST_F(ControlBase, FlagChangesAreRefusedWhenNothingWouldChangeAndQueueRedrawsOnlyForTheShownFlags) {
    TestPanel* plain = control("plain");
    tick();
    EXPECT_FALSE(plain->setFlags(Control::kVisible | Control::kShrunk));
    EXPECT_EQ(plain->testFlags(Control::kShrunk), 0u);
    EXPECT_FALSE(plain->clearFlags(Control::kModal | Control::kAnimated));
    EXPECT_TRUE(plain->setFlags(Control::kModal));
    EXPECT_TRUE(editor->getDirtyRects().empty());
    EXPECT_TRUE(plain->clearFlags(Control::kEnabled));
    EXPECT_EQ(editor->getDirtyRects(), std::vector<Rect>{Rect(60, 10, 20, 20)});
    EXPECT_FLOAT_EQ(plain->getTransparency(), 0.4f);
    EXPECT_EQ(control("special::background")->findControlAt(Point(65, 15)), control("special::background"));
}

TEST_F(ControlBase, HitsIncludeTheRightAndBottomEdgesAndADisabledParentHidesItsChildren) {
    TestPanel* box = control("box");
    EXPECT_TRUE(box->hitTest(Point(40, 40)));
    EXPECT_FALSE(box->hitTest(Point(41, 0)));
    EXPECT_EQ(box->findControlAt(Point(8, 8)), control("inner"));
    box->clearFlags(Control::kEnabled);
    EXPECT_EQ(box->findControlAt(Point(8, 8)), nullptr);
}

TEST_F(ControlBase, SpecificationKeysGiveColoursBitmapSizesThumbnailsAndListenedNames) {
    build(specification(
        {node("Panel")
             .id("special::background")
             .at(0, 0, 200, 150)
             .child(node("Panel").id("c").string("background", "#FF8000").at(0, 0, 5, 5))
             .child(node("Panel").id("b").string("background", "knob"))
             .child(node("Panel").id("w").string("background", "knob").integer("width", 50))
             .child(node("Panel")
                        .id("t")
                        .at(20, 20, 40, 40)
                        .flag("visible", false)
                        .raw("<dict name=\"thumbnail\"><integer name=\"width\" value=\"12\"/></dict>"))
             .child(node("Panel")
                        .id("l")
                        .parameter("Level")
                        .raw("<array name=\"listento\"><string value=\"Cutoff\"/>text<string/>"
                             "<string value=\"Steps\"/><string value=\"Mode\"/></array>")
                        .string("show", "false", " parameter=\"Drive\""))}));
    EXPECT_EQ(control("c")->getBackgroundColor(), Color(255, 128, 0));
    EXPECT_EQ(control("c")->getBackgroundBitmap(), nullptr);
    EXPECT_EQ(control("b")->getBounds(), Rect(0, 0, 30, 20));
    EXPECT_EQ(control("w")->getBounds(), Rect(0, 0, 50, 20));
    Control* thumb = control("t");
    EXPECT_TRUE(thumb->isVisible());
    EXPECT_EQ(thumb->getRect(), Rect(20, 20, 12, 10)); // a quarter of the height by default
    for (const char* name : {"Level", "Cutoff", "Steps", "Mode", "Drive"})
        EXPECT_TRUE(parameter(name)->hasListener(control("l"))) << name;
}

TEST_F(ControlBase, AnEmptyControlTakesTheUnionOfItsChildrenAtLayout) {
    Control* holder = add(new TestPanel(editor.get(), Rect()));
    holder->addChild(new TestPanel(editor.get(), Rect(10, 100, 20, 10)));
    holder->addChild(new TestPanel(editor.get(), Rect(40, 90, 5, 5)));
    holder->layout();
    EXPECT_EQ(holder->getAbsoluteRect(), Rect(10, 90, 35, 20));
}

TEST_F(ControlBase, ADraggedControlMovesWithThePointerButStaysInsideItsParent) {
    drag(15, 15, 40, 15);
    EXPECT_EQ(control("inner")->getBounds(), Rect(30, 5, 10, 10));
    drag(35, 15, 90, 15);
    EXPECT_EQ(control("inner")->getBounds(), Rect(30, 5, 10, 10)); // at the parent's right edge
}

TEST_F(ControlBase, OnlyAltControlAndShiftTogetherLetAnyControlBeMoved) {
    const WindowMessage right(nullptr, 3003, 0, Point(5, 5), 0);
    EXPECT_FALSE(control("plain")->receive(right));
    for (int key : {platform::VirtualKey::kAlt, platform::VirtualKey::kControl, platform::VirtualKey::kShift})
        driver.key(key, true);
    flush();
    EXPECT_TRUE(control("plain")->receive(right));
    drag(65, 15, 65, 40);
    EXPECT_EQ(control("plain")->getBounds(), Rect(60, 35, 20, 20));
}

TEST_F(ControlBase, ADoubleClickTypesAValueIntoTheBoundParameterOnlyWithTextEntry) {
    // The entry's modal loop takes the keys queued before the double click reaches the control.
    const auto doubleClickTyping = [&](const char* text) {
        driver.type(text);
        control<TestSlider>("lvl")->receive(WindowMessage(nullptr, 3001, 0, Point(5, 5), 0));
        flush();
    };
    doubleClickTyping("0.25\r");
    EXPECT_FLOAT_EQ(parameter("Level")->getNormalized(), 0.25f);
    control<TestSlider>("lvl")->clearFlags(Control::kTextEntry);
    doubleClickTyping("0.75\r");
    EXPECT_FLOAT_EQ(parameter("Level")->getNormalized(), 0.25f);
}

TEST_F(ControlBase, HoverTicksAreClampedAndTakenOnlyWithTheGlow) {
    TestPanel* plain = control("plain");
    const auto tickAt = [&](float level) {
        return plain->receive(
            TimerMessage(nullptr, Code::kTimerTick, Control::kHoverTimerId, floatToWord(level)));
    };
    EXPECT_TRUE(tickAt(0.5f));
    EXPECT_EQ(plain->getHoverLevel(), 0.0f); // no glow
    plain->setHoverGlow(true);
    const std::pair<float, float> cases[] = {{1.7f, 1.0f}, {-0.2f, 0.0f}, {0.3f, 0.3f}};
    for (const auto& [given, kept] : cases) {
        EXPECT_TRUE(tickAt(given));
        EXPECT_FLOAT_EQ(plain->getHoverLevel(), kept) << given;
    }
}

TEST_F(ControlBase, TheHoverGlowFadesInAndOutFromWhereItIs) {
    auto* glow = static_cast<GlowPanel*>(add(new GlowPanel(editor.get(), Rect(130, 100, 20, 20))));
    move(140, 110);
    tick(2);
    const float halfway = glow->getHoverLevel();
    EXPECT_GT(halfway, 0.0f);
    EXPECT_LT(halfway, 1.0f);
    move(5, 140);
    EXPECT_LE(glow->getHoverLevel(), halfway); // no jump to the end of the fade in
    tick(40);
    EXPECT_EQ(glow->getHoverLevel(), 0.0f);
    move(140, 110);
    tick(10);
    EXPECT_EQ(glow->getHoverLevel(), 1.0f);
}

TEST_F(ControlBase, BecomingCurrentShowsAControlAndLosingItHidesOrShrinksIt) {
    TestPanel* plain = control("plain");
    plain->receive(ControlMessage(nullptr, Code::kLostCurrent));
    EXPECT_FALSE(plain->isVisible());
    plain->receive(ControlMessage(nullptr, Code::kBecameCurrent));
    EXPECT_TRUE(plain->isVisible());
}

TEST_F(ControlBase, BitmapTextFollowsTheCaseOfItsAlphabet) {
    struct Case {
        const char* alphabet;
        const char* label;
        int glyphs;
    };
    const Case cases[] = {
        {"capitals", "ab", 2}, {"capitals", "AxB", 2}, {"smalls", "AB", 2}, {"mixed", "ab", 1}};
    test::ControlNode root =
        node("Panel").id("special::background").at(0, 0, 100, 60).string("background", "#000000");
    for (int i = 0; i < 4; ++i)
        root.child(node("Panel")
                       .string("alphabet", cases[i].alphabet)
                       .string("label", cases[i].label)
                       .at(10, 10 * i, 40, 8));
    build(specification({root}));
    open();
    tick();
    const auto shown = snapshot();
    for (int i = 0; i < 4; ++i) {
        int red = 0;
        for (int x = 10; x < 50; ++x)
            red += shown->pixel(x, 10 * i + 1) == platform::draw::makePixel(0, 0, 255, 255) ? 1 : 0;
        EXPECT_EQ(red, 4 * cases[i].glyphs) << cases[i].alphabet << " " << cases[i].label;
    }
}
