// Containers, the about screen and the link button: a panel shown by its parameter (inverted or not),
// modal focus, pointer events handed to the child under the pointer with the child's own point, the about
// screen's text, trigger and fade-in, and the link opened at a press.
#include "gui/controls/ControlAboutScreen.h"
#include "gui/controls/ControlContainer.h"
#include "gui/controls/ControlURL.h"
#include "plugin/PluginInfo.h"

#include "support/AllocationGuard.h"
#include "support/EditorHarness.h"

#include <gtest/gtest.h>

#include <thread>

using namespace trov;
using test::node;
using test::specification;
using test::TestPanel;

namespace {

class Containers : public test::EditorHarness {
protected:
    // A background that never takes the focus itself, holding the node.
    void buildWith(const test::ControlNode& child) {
        buildAndOpen(node("Panel").flag("focusable", false).at(0, 0, 200, 120).child(child));
    }
    void showPanel(bool on, int sender = Sender::kHost) {
        parameter("ShowPanel")->setNormalized(on ? 1.0f : 0.0f, sender);
    }
    ControlContainer* container() { return control<ControlContainer>("box"); }
    WindowMessage at(std::int32_t code, int x, int y) {
        return WindowMessage(editor.get(), code, 0, Point(x, y), 0);
    }
};

} // namespace

TEST_F(Containers, APanelIsShownWhileItsParameterIsOnOrWithInvertValueWhileItIsOff) {
    build(specification({}));
    for (const bool inverted : {true, false}) {
        showPanel(true); // an inverted panel built now starts hidden
        buildWith(node("Container")
                      .id("box")
                      .parameter("ShowPanel")
                      .flag("invertvalue", inverted)
                      .at(20, 20, 100, 60));
        EXPECT_EQ(container()->isVisible(), !inverted) << "built, inverted " << inverted;
        for (const bool on : {false, true, false}) {
            showPanel(on);
            EXPECT_EQ(container()->isVisible(), on != inverted) << "inverted " << inverted << ", on " << on;
        }
    }
}

TEST_F(Containers, PointerEventsReachTheChildUnderThePointerWithTheChildsOwnPoint) {
    buildWith(node("Container")
                  .id("box")
                  .at(20, 20, 100, 60)
                  .child(node("Panel")
                             .id("child")
                             .at(10, 10, 40, 40)
                             .child(node("Panel").id("inner").at(5, 5, 10, 10)))
                  .child(node("Panel").id("other").at(60, 10, 30, 30)));
    container()->receive(at(3000, 17, 18));
    EXPECT_EQ(control("inner")->seen.points, std::vector<Point>{Point(2, 3)});
    container()->receive(at(3006, 70, 20));
    EXPECT_EQ(control("other")->seen.points, std::vector<Point>{Point(10, 10)});
    // A double click is the container's own.
    container()->receive(at(3001, 70, 20));
    EXPECT_EQ(control("other")->seen.count(3001), 0);
}

TEST_F(Containers, AModalPanelTakesTheFocusWhenAGestureOpensItAndGivesItBackWhenOneClosesIt) {
    buildWith(node("Container").id("box").parameter("ShowPanel").flag("modal", true).at(20, 20, 100, 60));
    showPanel(true, Sender::kEditor);
    EXPECT_EQ(editor->getFocusRequest(), container());
    showPanel(false, Sender::kEditor);
    EXPECT_EQ(editor->getFocusRequest(), nullptr);
    EXPECT_FALSE(container()->isVisible());
    // The host opening it takes no focus.
    showPanel(true, Sender::kHost);
    EXPECT_TRUE(container()->isVisible());
    EXPECT_EQ(editor->getFocusRequest(), nullptr);
    // Any control asking to leave modal mode closes it.
    EXPECT_TRUE(container()->receive(
        ParameterMessage(nullptr, Code::kParameterValue, "LeaveModalMode", 0, 1, 1.0f, Sender::kEditor)));
    EXPECT_FALSE(container()->isVisible());
}

TEST_F(Containers, AParameterChangeOnAnotherThreadShowsThePanelAtTheNextTick) {
    buildWith(node("Container").id("box").parameter("ShowPanel").at(20, 20, 100, 60));
    ASSERT_FALSE(container()->isVisible());
    std::thread host([&] {
        test::AllocationGuard guard("host automation showing a panel");
        showPanel(true);
    });
    host.join();
    EXPECT_FALSE(container()->isVisible());
    tick();
    EXPECT_TRUE(container()->isVisible());
}

TEST_F(Containers, TheAboutScreenShowsNameVersionAndCopyrightAndFadesInWithoutATrigger) {
    buildWith(node("About").id("about").real("transparency", 0.5).at(10, 10, 100, 40));
    auto* about = control<ControlAboutScreen>("about");
    const PluginInfo& info = *getPluginInfo();
    EXPECT_EQ(about->getText(),
              info.getName() + " " + info.getVersionString() + "\n" + info.getCopyright() + "\n");
    EXPECT_FALSE(about->receive(at(3000, 5, 5)));
    float before = about->getOwnTransparency();
    tick();
    EXPECT_NEAR(about->getOwnTransparency(), before + ControlAboutScreen::kFadeStep, 1e-5);
    tick(30);
    EXPECT_EQ(about->getOwnTransparency(), 1.0f);
    tick();
    EXPECT_TRUE(editor->getDirtyRects().empty()) << "opaque: no more paints asked for";
}

TEST_F(Containers, APressOnTheAboutScreensTriggerShowsAndHidesIt) {
    buildWith(
        node("About")
            .id("about")
            .at(10, 10, 100, 40)
            .raw("<dict name=\"trigger\"><integer name=\"x\" value=\"0\"/><integer name=\"y\" value=\"0\"/>"
                 "<integer name=\"width\" value=\"30\"/><integer name=\"height\" value=\"20\"/>"
                 "<bool name=\"visible\" value=\"false\"/></dict>"));
    auto* about = control<ControlAboutScreen>("about");
    ASSERT_NE(about->getTrigger(), nullptr);
    EXPECT_FALSE(about->getTrigger()->isVisible());
    EXPECT_TRUE(about->receive(at(3000, 10, 10)));
    EXPECT_TRUE(about->getTrigger()->isVisible());
    EXPECT_TRUE(about->receive(at(3003, 10, 10)));
    EXPECT_FALSE(about->getTrigger()->isVisible());
    EXPECT_FALSE(about->receive(at(3000, 80, 30))) << "outside the trigger";
    EXPECT_TRUE(about->receive(at(3012, 80, 30)));
    EXPECT_FALSE(about->receive(ParameterMessage(nullptr, Code::kParameterValue, "Level", 0, 0, 0.0f, 0)));
}

TEST_F(Containers, ALinkButtonOpensItsAddressAtAPressAndLeavesThePressUntaken) {
    buildWith(node("URL").id("link").string("url", "https://example.com/corvale").at(10, 10, 40, 20));
    EXPECT_EQ(control<ControlURL>("link")->getURL(), "https://example.com/corvale");
    move(20, 20);
    press(20, 20);
    EXPECT_EQ(editor->getPressed(), nullptr);
    release(20, 20);
    ASSERT_FALSE(responder().questions().empty());
    EXPECT_EQ(responder().questions().back().kind, "url");
    EXPECT_EQ(responder().questions().back().text, "https://example.com/corvale");
}
