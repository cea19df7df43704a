// An editor built from generated specifications: repeat groups, special ids, "midi" and "defval",
// z-order, specifications that are missing, broken or name an unknown type.
#include "framework/MessageText.h"
#include "gui/Bitmap.h"
#include "gui/GuiEditorServices.h"
#include "gui/controls/ControlManager.h"

#include "support/EditorHarness.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

using namespace trov;
using test::node;
using test::specification;
using test::TestPanel;
using test::TestSlider;

namespace {

class EditorConstruction : public test::EditorHarness {
protected:
    // A background panel of 300 x 200 holding the given nodes.
    Editor& buildIn(const std::vector<test::ControlNode>& inside) {
        test::ControlNode background = node("Panel").id("special::background").at(0, 0, 300, 200);
        for (const test::ControlNode& n : inside)
            background.child(n);
        return build(specification({background}));
    }
};

} // namespace

TEST_F(EditorConstruction, ARepeatGroupBuildsOneCopyPerInstanceMovedAndBoundToThatInstance) {
    buildIn(
        {node("").repeat(3, 20, 0).child(node("Slider").id("gain").parameter("Gain").at(10, 10, 10, 50))});
    for (int k = 0; k < 3; ++k) {
        auto* slider = control<TestSlider>("gain", k);
        ASSERT_NE(slider, nullptr);
        EXPECT_EQ(slider->getBounds(), Rect(10 + 20 * k, 10, 10, 50));
        EXPECT_EQ(slider->getParameter(), parameter("Gain", k));
        // It listens to the instance it sets, not to instance 0.
        EXPECT_TRUE(parameter("Gain", k)->hasListener(slider)) << k;
        EXPECT_EQ(parameter("Gain", 0)->hasListener(slider), k == 0) << k;
    }
    EXPECT_EQ(control<TestSlider>("gain", 3), nullptr);
    EXPECT_EQ(editor->getControls().size(), 4u); // the group makes no control of its own
}

TEST_F(EditorConstruction, AnAbsentOffsetCountsAsMinusOneAndASingleInstanceIsAnOrdinaryNode) {
    buildIn(
        {node("").integer("instances", 2).integer("xoffset", 0).child(node("Panel").id("p").at(5, 5, 10, 10)),
         node("Panel").id("one").integer("instances", 1).at(50, 50, 10, 10)});
    EXPECT_EQ(control("p", 1)->getBounds(), Rect(5, 4, 10, 10));
    ASSERT_NE(control("one"), nullptr);
    EXPECT_EQ(control("one")->getBounds(), Rect(50, 50, 10, 10));
}

TEST_F(EditorConstruction, SpecialIdsGiveTheFrameTheHelpLineAndTheTextDisplay) {
    buildIn({node("Panel").id("special::help").integer("zorder", 50).at(0, 180, 300, 20),
             node("Panel").id("special::textdisplay").at(0, 0, 300, 12)});
    Control* background = control("special::background");
    EXPECT_EQ(editor->getFrame(), background);
    EXPECT_EQ(editor->getSize(), Rect(0, 0, 300, 200));
    EXPECT_EQ(background->getZOrder(), 255);
    EXPECT_EQ(editor->getControls().front(), background);
    EXPECT_EQ(control("special::help")->getZOrder(), 1);
    EXPECT_EQ(editor->getControls().back(), control("special::help"));
    EXPECT_EQ(infoLine->display, control("special::textdisplay"));
    EXPECT_EQ(infoLine->textOf(editor.get()), "Corvale Test 1.2.7  by Maker");
}

TEST_F(EditorConstruction, MidiPairsAValueControlWithItsControllerAndDefvalSetsItsValue) {
    buildIn({node("Slider").id("a").parameter("Level").integer("midi", 7).real("defval", 0.25).at(0, 0, 9, 9),
             node("Slider").id("b").parameter("Cutoff").integer("midi", 7).at(10, 0, 9, 9),
             node("Slider").id("c").parameter("Steps").real("defval", 1.0).at(20, 0, 9, 9),
             node("Panel").id("d").integer("midi", 9).at(30, 0, 9, 9)});
    ControlMidiMapper& mapper = *editor->getMidiMapper();
    // The later node keeps the controller; defval went through the value input as an edit.
    EXPECT_EQ(mapper.getTarget(7), control<TestSlider>("b"));
    EXPECT_EQ(mapper.getController(control<TestSlider>("a")), -1);
    EXPECT_FLOAT_EQ(parameter("Level")->getNormalized(), 0.25f);
    EXPECT_FLOAT_EQ(parameter("Steps")->getNormalized(), 0.0f); // defval without midi does nothing
    EXPECT_EQ(mapper.getTarget(9), nullptr);                    // a panel is no value control
}

TEST_F(EditorConstruction, ListsAndChildrenRunFromTheHighestZOrderAndAChildStaysBelowItsParent) {
    buildIn({node("Panel").id("front").integer("zorder", 3).at(0, 0, 9, 9),
             node("Panel").id("back").integer("zorder", 100).at(0, 0, 9, 9),
             node("Panel").id("mid1").integer("zorder", 50).at(0, 0, 9, 9),
             node("Panel").id("mid2").integer("zorder", 50).at(0, 0, 9, 9),
             node("Panel")
                 .id("parent")
                 .integer("zorder", 127)
                 .at(0, 0, 9, 9)
                 .child(node("Panel").id("child").integer("zorder", 200).at(0, 0, 9, 9))});
    std::vector<std::string> order;
    for (const Control* c : control("special::background")->getChildren())
        order.push_back(c->getId());
    EXPECT_EQ(order, (std::vector<std::string>{"parent", "back", "mid1", "mid2", "front"}));
    EXPECT_EQ(control("child")->getZOrder(), 126);
}

TEST_F(EditorConstruction, AMissingOrBrokenSpecificationIsReportedAndLeavesAnEmptyEditorThatOpensAndCloses) {
    for (const char* file : {"absent.xml", "controls.xml"}) {
        test::LogCapture log(3);
        const std::size_t asked = responder().questions().size();
        world().machine.setString("ControlsXmlFile", file);
        Editor& made = build("<dict><array name=\"controls\">");
        EXPECT_EQ(made.getFrame(), nullptr);
        EXPECT_EQ(log.count("[EIFL]"), 1);
        ASSERT_EQ(responder().questions().size(), asked + 1);
        EXPECT_EQ(responder().questions().back().text, errorTextLoadingControls);
        open(Rect(0, 0, 50, 40));
        EXPECT_TRUE(made.isOpen());
        click(10, 10);
        tick();
        made.close();
        EXPECT_FALSE(made.isOpen());
    }
}

TEST_F(EditorConstruction, AnEditorWhoseSpecificationDidNotLoadWritesNoPictureAndNamesTheFile) {
    world().machine.setString("ControlsXmlFile", "absent.xml");
    Editor& made = build("");
    open(Rect(0, 0, 50, 40));
    std::string problem;
    EXPECT_FALSE(made.writeImage(world().files / "view.png", "", "", problem));
    EXPECT_EQ(problem, "its editor specification " + (world().files / "absent.xml") +
                           " did not load (it does not exist)");
    EXPECT_FALSE(std::filesystem::exists(world().files / "view.png"));
}

TEST_F(EditorConstruction, AnUnknownTypeTwoLevelsDownIsLoggedAtEveryLevelAndEndsTheConstruction) {
    test::LogCapture log(3);
    const int before = TestPanel::live.load();
    const Error error = test::errorThrownBy([&] {
        buildIn({node("Panel").id("outer").at(0, 0, 50, 50).child(node("Knobby").parameter("Level"))});
    });
    EXPECT_TRUE(error.hasCode(kErrorNoSuchControlType));
    EXPECT_EQ(error.getMessage(), "Unknown control type Knobby<float>");
    EXPECT_EQ(log.count("Unknown control type Knobby<float> [ENSCT]"), 3);
    EXPECT_EQ(TestPanel::live.load(), before); // nothing built is left behind
}

TEST_F(EditorConstruction, RootsOutsideTheBackgroundAreDeletedWithTheEditorAndLogged) {
    test::LogCapture log(1);
    const int before = TestPanel::live.load();
    build(specification({node("Panel").id("special::background").at(0, 0, 100, 100),
                         node("Panel").id("stray").at(0, 0, 10, 10).child(node("Panel").id("under"))}));
    EXPECT_EQ(TestPanel::live.load(), before + 3);
    editor.reset();
    EXPECT_EQ(TestPanel::live.load(), before);
    EXPECT_EQ(log.count("(stray) outside the background"), 1);
}

TEST_F(EditorConstruction, NoEditorInTheUserPreferencesBuildsNothingYetTheEditorOpensAndCloses) {
    world().user.setBool("NoEditor", true);
    Editor& made = buildIn({node("Panel").id("p").at(0, 0, 10, 10)});
    EXPECT_TRUE(made.getControls().empty());
    EXPECT_EQ(made.getControlManager(), nullptr);
    open(Rect(0, 0, 40, 40));
    move(5, 5);
    tick();
    EXPECT_TRUE(made.isOpen());
}

TEST_F(EditorConstruction, TheEditorListensToThePluginAndToModuleAndZoneParametersOfEveryModule) {
    buildIn({});
    EXPECT_TRUE(plugin->hasListener(editor.get()));
    for (int module = 0; module < 2; ++module) {
        EXPECT_TRUE(parameter("Level", 0, module)->hasListener(editor.get()));
        EXPECT_TRUE(parameter("Detune", 0, module)->hasListener(editor.get()));
        EXPECT_FALSE(parameter("Volume", 0, module)->hasListener(editor.get()));
    }
    EXPECT_TRUE(parameter("CurrentModule")->hasListener(editor.get()));
}

TEST_F(EditorConstruction, MakingAnEditorReplacesTheNullEditorServicesButKeepsAnotherFactory) {
    struct Foreign : EditorServicesFactory {
        BitmapInterface* createBitmap(const File&) override { return new NullBitmap(); }
        std::unique_ptr<PopupMenuInterface> createPopupMenu(std::uintptr_t) override { return nullptr; }
    };
    // Whatever happens, the library's factory is the installed one afterwards.
    struct Restore {
        ~Restore() {
            setEditorServices(nullptr);
            installGuiEditorServices();
        }
    } restore;
    setEditorServices(nullptr);
    ASSERT_NE(dynamic_cast<NullEditorServices*>(&editorServices()), nullptr);
    buildIn({});
    EXPECT_NE(dynamic_cast<GuiEditorServices*>(&editorServices()), nullptr);
    BitmapInterface* made = editorServices().createBitmap(File("none.png"));
    EXPECT_NE(dynamic_cast<Bitmap*>(made), nullptr);
    made->release();
    Foreign foreign;
    setEditorServices(&foreign);
    buildIn({});
    EXPECT_EQ(&editorServices(), &foreign);
}
