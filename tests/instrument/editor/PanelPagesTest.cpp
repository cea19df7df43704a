// The pages of the instrument's panel over the real instrument: the internal page the keyword opens and
// closes, and the editor and browser displays, which switching one on from the panel keeps exclusive.
#include "gui/controls/ControlContainer.h"
#include "support/InstrumentEditorHarness.h"

#include <gtest/gtest.h>

using namespace trov;
using test::node;

namespace {

constexpr Point kBrowserButton{20, 20};
constexpr Point kEditorButton{60, 20};

class PanelPages : public test::InstrumentEditorHarness {
protected:
    PanelPages() {
        addSkin("special::background", 300, 200, 0xff202020);
        const auto page = [](const char* id, const char* shownBy, int y) {
            return node("Container").id(id).parameter(shownBy).at(100, y, 100, 40);
        };
        build(test::specification(
            {node("Background")
                 .id("special::background")
                 .child(node("Button").id("showBrowser").parameter("DisplayBrowser").at(10, 10, 20, 20))
                 .child(node("Button").id("showEditor").parameter("DisplayEditor").at(50, 10, 20, 20))
                 .child(page("internal", "ShowInternalPage", 10))
                 .child(page("browserPage", "DisplayBrowser", 60))
                 .child(page("editorPage", "DisplayEditor", 110))}));
        open();
        tick();
    }

    bool shown(const std::string& page) const { return control<ControlContainer>(page)->isVisible(); }
    void type(const std::string& text) {
        driver.type(text);
        flush();
        tick();
    }
};

} // namespace

TEST_F(PanelPages, TypingTheKeywordOpensTheInternalPageAndTypingItAgainClosesIt) {
    // Keys go to the focused editor window and on to the control under the pointer.
    click(250, 180);
    ASSERT_FALSE(shown("internal"));
    type("kelp");
    EXPECT_FALSE(settings().getBool("ShowInternalPage")) << "not before the keyword is complete";
    type("o");
    EXPECT_TRUE(settings().getBool("ShowInternalPage"));
    EXPECT_TRUE(shown("internal"));
    type("xkelpo");
    EXPECT_FALSE(settings().getBool("ShowInternalPage"));
    EXPECT_FALSE(shown("internal"));
}

TEST_F(PanelPages, SwitchingOneDisplayOnFromThePanelSwitchesTheOtherOff) {
    click(kEditorButton.x, kEditorButton.y);
    tick();
    EXPECT_TRUE(shown("editorPage"));
    EXPECT_FALSE(shown("browserPage"));
    tick(20);
    click(kBrowserButton.x, kBrowserButton.y);
    tick();
    EXPECT_TRUE(settings().getBool("DisplayBrowser"));
    EXPECT_FALSE(settings().getBool("DisplayEditor"));
    EXPECT_TRUE(shown("browserPage"));
    EXPECT_FALSE(shown("editorPage"));
    tick(20);
    click(kEditorButton.x, kEditorButton.y);
    tick();
    EXPECT_FALSE(settings().getBool("DisplayBrowser"));
    EXPECT_TRUE(shown("editorPage"));
}

TEST_F(PanelPages, ADisplaySwitchedOnByTheSettingsLeavesTheOtherAsItIs) {
    settings().setBool("DisplayEditor", true, Sender::kSettings);
    settings().setBool("DisplayBrowser", true, Sender::kSettings);
    tick();
    EXPECT_TRUE(settings().getBool("DisplayEditor"));
    EXPECT_TRUE(shown("browserPage"));
    EXPECT_TRUE(shown("editorPage"));
}
