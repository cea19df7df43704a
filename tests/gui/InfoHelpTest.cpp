// The info line and the help line: levels and senders, rotation and restoring on the manual clock, the
// pressed control's description, the help's delay, text, placement and hiding, and changes from other
// threads that wait for the user-interface thread.
#include "gui/controls/ControlHelp.h"
#include "gui/controls/ControlInfo.h"
#include "gui/controls/ControlText.h"

#include "support/AllocationGuard.h"
#include "support/EditorHarness.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace trov;
using test::node;
using test::specification;
using test::TestSlider;

namespace {

const int kSender[3] = {};
const void* const kA = &kSender[0];
const void* const kB = &kSender[1];
const void* const kC = &kSender[2];

// An editor whose info line is the library's, showing in a text display, with a labelled slider on
// "Level" at (10, 10, 20, 60) and one on "Cutoff" at (40, 10, 20, 60).
class InfoLineControl : public test::EditorHarness {
protected:
    InfoLineControl() {
        build(specification(
            {node("Panel")
                 .id("special::background")
                 .at(0, 0, 200, 120)
                 .child(node("Text").id("special::textdisplay").at(0, 100, 200, 20))
                 .child(node("Slider").id("lev").parameter("Level").string("label", "Lev").at(10, 10, 20, 60))
                 .child(node("Slider").id("cut").parameter("Cutoff").at(40, 10, 20, 60))}));
        auto line = std::make_unique<ControlInfo>(editor.get(), Rect());
        info = line.get();
        editor->setInfoLine(std::move(line));
        infoLine = nullptr;
        info->setDisplay(control<ControlText>("special::textdisplay"));
        open();
    }
    std::string shown() { return control<ControlText>("special::textdisplay")->getText(); }

    ControlInfo* info = nullptr;
};

// A help line ("special::help") over a tall narrow slider (10, 10, 20, 100), a wide one near the bottom
// (60, 180, 100, 10), a wide one at the top (60, 10, 100, 20) and a panel that takes no edits.
class HelpLineControl : public test::EditorHarness {
protected:
    HelpLineControl() {
        build(specification({node("Panel")
                                 .id("special::background")
                                 .at(0, 0, 300, 200)
                                 .child(node("Help").id("special::help").at(0, 0, 10, 10))
                                 .child(node("Slider")
                                            .id("tall")
                                            .parameter("Level")
                                            .string("label", "Lev")
                                            .string("tooltip", "How loud")
                                            .at(10, 10, 20, 100))
                                 .child(node("Slider")
                                            .id("low")
                                            .parameter("Cutoff")
                                            .string("tooltip", "Cut")
                                            .at(60, 180, 100, 10))
                                 .child(node("Slider")
                                            .id("top")
                                            .parameter("Gain")
                                            .string("tooltip", "Gain tip")
                                            .at(60, 10, 100, 20))
                                 .child(node("Panel")
                                            .id("fixed")
                                            .flag("editable", false)
                                            .string("tooltip", "no")
                                            .at(200, 60, 40, 40))}));
        open();
        tick();
    }
    ControlHelp* help() { return control<ControlHelp>("special::help"); }
    // The box's size for a text: measured in Arial 12 with 6 pixels each side and 2 above and below.
    Rect boxFor(const std::string& text) {
        Canvas canvas(editor->getEditorWindow(), nullptr);
        canvas.setFont(Font("Arial", 12.0f, 0, 1, Font::kAlignLeft | Font::kAlignTop, 0.0f));
        Rect r = canvas.measureText(text);
        r.outset(6, 2);
        return r.atOrigin();
    }
    void rest(int x, int y) {
        move(x, y);
        tick(31); // past 1.5 s
    }
};

} // namespace

TEST_F(InfoLineControl, TheNewestTextOfTheHighestLevelShowsAndRemovingASenderShowsWhatRemains) {
    info->post(kA, "A", 0);
    info->post(kB, "B", 2);
    EXPECT_EQ(shown(), "B");
    info->remove(kB);
    EXPECT_EQ(shown(), "A");
    info->post(kA, "A again", 0); // a sender's new text replaces its earlier one
    EXPECT_EQ(info->textsAt(0), std::list<std::string>{"A again"});
    info->post(kC, "high", 9); // beyond the levels: the highest
    EXPECT_EQ(info->textsAt(3), std::list<std::string>{"high"});
    info->remove(kC);
    info->remove(kA);
    EXPECT_EQ(shown(), "A again") << "with nothing posted the display keeps its text";
}

TEST_F(InfoLineControl, LevelZeroTextsTakeTurnsEverySevenAndAHalfSecondsOnlyWhileNoHigherLevelHoldsOne) {
    info->post(kA, "A", 0);
    info->post(kB, "B", 0);
    EXPECT_EQ(shown(), "B");
    info->resume();
    tick(150); // 7.5 s
    EXPECT_EQ(shown(), "A");
    EXPECT_EQ(info->textsAt(0), (std::list<std::string>{"B", "A"}));
    info->post(kC, "busy", 1);
    tick(150);
    EXPECT_EQ(info->textsAt(0), (std::list<std::string>{"B", "A"}));
    EXPECT_EQ(shown(), "busy");
}

TEST_F(InfoLineControl, ThePressedControlsDescriptionShowsUntilFourSecondsAfterItIsLetGo) {
    info->post(kA, "posted", 0);
    auto* lev = control<TestSlider>("lev");
    move(20, 40);
    press(20, 40);
    EXPECT_EQ(info->getWatched(), lev);
    EXPECT_EQ(shown(), lev->getValueText());
    EXPECT_EQ(shown().rfind("Lev = ", 0), 0u);
    parameter("Level")->setNormalized(0.25f, Sender::kHost);
    EXPECT_EQ(shown(), lev->getValueText());
    // A change on another thread is described at the next tick.
    const std::string before = shown();
    std::thread host([&] {
        test::AllocationGuard guard("a watched parameter changing on another thread");
        parameter("Level")->setNormalized(0.75f, Sender::kHost);
    });
    host.join();
    EXPECT_EQ(shown(), before);
    tick();
    EXPECT_EQ(shown(), lev->getValueText());
    release(20, 40);
    EXPECT_EQ(info->getWatched(), nullptr);
    tick(79);
    EXPECT_NE(shown(), "posted");
    tick(2);
    EXPECT_EQ(shown(), "posted");
    // A control without a parameter is not watched.
    info->watch(control("special::background"));
    EXPECT_EQ(info->getWatched(), nullptr);
}

TEST_F(HelpLineControl, AfterTheDelayATallControlsHelpShowsBesideItCentredWithValueAndTooltip) {
    auto* tall = control<TestSlider>("tall");
    move(20, 50);
    tick(29);
    EXPECT_FALSE(help()->isVisible());
    tick(2);
    ASSERT_TRUE(help()->isVisible());
    const std::string text = tall->getValueText() + "\r\n" + "How loud";
    EXPECT_EQ(help()->getText(), text);
    Rect box = boxFor(text);
    box.moveTopLeftTo(Point(30, 10 - (box.getHeight() - 100) / 2));
    EXPECT_EQ(help()->getAbsoluteRect(), box);
}

TEST_F(HelpLineControl, AWideControlsHelpIsCentredBelowItOrAboveWhenThereIsNoRoomBelow) {
    rest(100, 20);
    Rect below = boxFor("Gain tip");
    below.moveTopLeftTo(Point(60 - (below.getWidth() - 100) / 2, 30));
    EXPECT_EQ(help()->getAbsoluteRect(), below);
    rest(100, 185);
    Rect above = boxFor("Cut");
    above.moveBottomLeftTo(Point(60, 180)); // its bottom-left on the control's top-left
    EXPECT_EQ(help()->getAbsoluteRect(), above);
}

TEST_F(HelpLineControl,
       TheHelpHidesHalfASecondAfterThePointerLeavesAndNeverShowsForAControlThatTakesNoEdits) {
    rest(100, 20);
    ASSERT_TRUE(help()->isVisible());
    move(250, 150);
    tick(9);
    EXPECT_TRUE(help()->isVisible());
    tick(2);
    EXPECT_FALSE(help()->isVisible());
    rest(220, 80);
    EXPECT_FALSE(help()->isVisible());
    EXPECT_EQ(help()->getShownControl(), nullptr);
}

TEST_F(HelpLineControl, TheTooltipDelaySetsTheWaitAndZeroTurnsTheHelpOff) {
    parameter("TooltipDelay")->setText("300", Sender::kHost);
    move(20, 50);
    tick(5);
    EXPECT_FALSE(help()->isVisible());
    tick(2);
    EXPECT_TRUE(help()->isVisible());
    move(250, 150);
    tick(12);
    // Resting on the background, which has no help, hides the box even before the hiding is due.
    EXPECT_FALSE(help()->isVisible());
    parameter("TooltipDelay")->setText("0", Sender::kHost);
    EXPECT_FALSE(help()->isArmed());
    rest(20, 50);
    EXPECT_FALSE(help()->isVisible());
}

// The pointer's notice reaches the help inside the editor's broadcast, under the editor's lock: the help
// takes the parameter's lock only at the editor's tick, since a parameter's notification may ask for the
// editor's station in turn.
TEST_F(HelpLineControl, TheHelpListensToTheRestingControlsParameterAtTheEditorsTick) {
    tick(20);
    move(20, 50);
    ASSERT_EQ(help()->getShownControl(), control<Control>("tall"));
    EXPECT_FALSE(parameter("Level")->hasListener(help()));
    tick();
    EXPECT_TRUE(parameter("Level")->hasListener(help()));
    move(250, 150);
    tick();
    EXPECT_FALSE(parameter("Level")->hasListener(help()));
}

// The editor deletes its tree in list order, so a control the help shows may go before the help: the help
// lets go of it when the editor disarms it first, and nothing of the deleted control is touched after.
TEST_F(HelpLineControl, DisarmingLetsGoOfTheShownControlBeforeTheEditorDeletesItsControls) {
    build(specification({node("Panel")
                             .id("special::background")
                             .at(0, 0, 300, 200)
                             .child(node("Panel").id("free").string("tooltip", "A panel").at(20, 20, 60, 60))
                             .child(node("Help").id("special::help").at(0, 0, 10, 10))}));
    open();
    tick();
    rest(50, 50);
    ASSERT_EQ(help()->getShownControl(), control<Control>("free"));
    help()->disarm();
    EXPECT_EQ(help()->getShownControl(), nullptr);
    EXPECT_FALSE(help()->isArmed());
    close();
    editor.reset();
}

// A help line placed without the special id (or a second one) is disarmed too: the
// editor would otherwise delete the control it shows first and the help would tune out of freed memory.
TEST_F(HelpLineControl, EveryHelpLineIsDisarmedBeforeTheEditorDeletesItsControls) {
    build(specification({node("Panel")
                             .id("special::background")
                             .at(0, 0, 300, 200)
                             .child(node("Panel").id("free").string("tooltip", "A panel").at(20, 20, 60, 60))
                             .child(node("Help").id("helper").at(0, 0, 10, 10))}));
    open();
    tick();
    rest(50, 50);
    auto* helper = control<ControlHelp>("helper");
    ASSERT_NE(helper, nullptr);
    ASSERT_EQ(helper->getShownControl(), control<Control>("free"));
    close();
    editor.reset(); // under the sanitizers, a touch of the freed panel fails here
}

TEST_F(HelpLineControl, TheValueShownFollowsTheParameterWhileTheHelpIsUp) {
    rest(20, 50);
    parameter("Level")->setNormalized(0.8f, Sender::kHost);
    EXPECT_EQ(help()->getText(), control<TestSlider>("tall")->getValueText());
    std::thread host([&] { parameter("Level")->setNormalized(0.1f, Sender::kHost); });
    host.join();
    tick();
    EXPECT_EQ(help()->getText(), control<TestSlider>("tall")->getValueText());
}

TEST_F(HelpLineControl, MovingBetweenControlsWhileTheirParametersChangeOnAnotherThreadNeverDeadlocks) {
    std::atomic<bool> done{false};
    std::thread automation([&] {
        float v = 0.0f;
        while (!done.load()) {
            v = v > 0.9f ? 0.0f : v + 0.01f;
            parameter("Level")->setNormalized(v, Sender::kHost);
            parameter("Cutoff")->setNormalized(v, Sender::kHost);
        }
    });
    for (int round = 0; round < 200; ++round) {
        move(20, 50);
        move(100, 185);
        if (round % 20 == 0)
            tick();
    }
    done = true;
    automation.join();
    tick();
    EXPECT_EQ(help()->getShownControl(), control<TestSlider>("low"));
}
