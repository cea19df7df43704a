// Gestures through the window system reaching the editor's controls: press, drag and release bracketed by
// begin and end of the edit, enter and leave, focus, keys, drops, MIDI controllers, module switching.
#include "engine/zones/Zone.h"
#include "engine/zones/ZoneManager.h"
#include "framework/Dictionary.h"
#include "instance/Program.h"
#include "platform/DragDrop.h"

#include "support/EditorHarness.h"

#include <gtest/gtest.h>

using namespace trov;
using test::node;
using test::specification;
using test::TestPanel;
using test::TestSlider;

namespace {

class EditorRouting : public test::EditorHarness {
protected:
    EditorRouting() {
        build(specification(
            {node("Panel")
                 .id("special::background")
                 .at(0, 0, 200, 120)
                 .child(node("Slider").id("s").parameter("Level").integer("midi", 7).at(20, 20, 20, 60))
                 .child(node("Panel").id("p").at(60, 20, 40, 40))
                 .child(node("Panel").id("deaf").flag("editable", false).at(110, 20, 40, 40))
                 .child(node("Panel")
                            .id("holder")
                            .flag("focusable", false)
                            .at(60, 70, 60, 40)
                            .child(node("Panel").id("inner").flag("focusable", false).at(5, 5, 20, 20)))}));
        open();
        edits.tuneInTo(editor.get());
    }

    TestSlider* slider() const { return control<TestSlider>("s"); }
    // The control-message codes the editor broadcast, with the control each names.
    std::vector<std::pair<std::int32_t, MessageWord>> broadcasts(std::int32_t from = 4) const {
        std::vector<std::pair<std::int32_t, MessageWord>> seen;
        for (const auto& heard : edits.heard)
            if (heard.kind == kKindControl && heard.code >= from)
                seen.emplace_back(heard.code, heard.extra);
        return seen;
    }

    test::MessageRecorder edits;
};

MessageWord word(const void* p) {
    return reinterpret_cast<MessageWord>(p);
}

} // namespace

TEST_F(EditorRouting, ADragSetsTheParameterAsAnEditBracketedByBeginAndEnd) {
    test::Recorder level;
    level.tuneInTo(parameter("Level"));
    const float start = parameter("Level")->getNormalized();
    drag(30, 70, 30, 50);
    EXPECT_FLOAT_EQ(parameter("Level")->getNormalized(), start + 0.2f);
    EXPECT_EQ(broadcasts(6),
              (std::vector<std::pair<std::int32_t, MessageWord>>{{6, word(slider())}, {7, word(slider())}}));
    ASSERT_EQ(level.entries.size(), 5u); // the answer to a new listener, then four steps of 5 pixels
    for (std::size_t i = 1; i < level.entries.size(); ++i)
        EXPECT_EQ(level.entries[i].flags, 2);
    const test::Seen& seen = slider()->seen;
    EXPECT_EQ(seen.count(3009), 4);
    EXPECT_EQ(seen.window.back(), 3002);
    EXPECT_EQ(seen.points[0], Point(10, 50)); // local to the slider
}

TEST_F(EditorRouting, APressAControlRefusesStartsNoEditYetCountsAsHandled) {
    move(70, 30);
    const WindowMessage press(nullptr, 3000, 0, Point(70, 30), 0);
    EXPECT_TRUE(editor->receive(press));
    EXPECT_EQ(editor->getPressed(), nullptr);
    EXPECT_TRUE(broadcasts(6).empty());
}

TEST_F(EditorRouting, LeavingThePressedControlAndComingBackIsOneLeaveThenOneEnter) {
    move(30, 50);
    press(30, 50);
    move(30, 100); // out below
    move(30, 110);
    move(30, 60); // back in
    release(30, 60);
    std::vector<std::int32_t> pointer;
    for (std::int32_t code : slider()->seen.window)
        if (code == 3012 || code == 3014)
            pointer.push_back(code);
    EXPECT_EQ(pointer, (std::vector<std::int32_t>{3012, 3014, 3012}));
}

TEST_F(EditorRouting, MovingBetweenControlsLeavesOneAndEntersTheOtherOrNoneWhenItRefuses) {
    move(30, 30);
    move(70, 30);
    EXPECT_EQ(editor->getHover(), control("p"));
    move(120, 30); // "deaf" takes no edits: it refuses the enter
    EXPECT_EQ(editor->getHover(), nullptr);
    EXPECT_EQ(platform::getCursorShape(), platform::CursorShape::Arrow);
    EXPECT_EQ(
        broadcasts(),
        (std::vector<std::pair<std::int32_t, MessageWord>>{
            {4, word(slider())}, {5, word(slider())}, {4, word(control("p"))}, {5, word(control("p"))}}));
    EXPECT_EQ(control("p")->seen.count(3014), 1);
}

TEST_F(EditorRouting, FocusGoesToTheNearestFocusableAncestorAndLosingItTellsTheFocused) {
    editor->setFocusControl(control("inner"));
    EXPECT_EQ(editor->getFocused(), control("special::background"));
    EXPECT_EQ(editor->getFocusRequest(), control("inner"));
    EXPECT_EQ(control("special::background")->seen.control, std::vector<std::int32_t>{8});
    editor->receive(ControlMessage(control("p"), Code::kLostCurrent));
    EXPECT_EQ(editor->getFocusRequest(), nullptr);
    // Told once as the request moves on, once more as the focus goes to no control.
    EXPECT_EQ(control("special::background")->seen.control, (std::vector<std::int32_t>{8, 9, 9}));
}

TEST_F(EditorRouting, TheWindowsFocusAndThePointerLeavingItReachTheEditor) {
    move(30, 30);
    click(30, 30);
    EXPECT_TRUE(editor->hasKeyboardFocus());
    driver.move({0, 0});
    flush();
    EXPECT_EQ(editor->getHover(), nullptr);
    EXPECT_EQ(slider()->seen.window.back(), 3014);
}

TEST_F(EditorRouting, KeysGoToTheControlUnderThePointer) {
    click(70, 30);
    driver.type("a");
    flush();
    ASSERT_GE(control("p")->seen.count(3024), 1);
}

TEST_F(EditorRouting, AControllerPairedByTheSpecificationSetsItsControlOnlyWhileTheEditorIsOpen) {
    test::Recorder level;
    level.tuneInTo(parameter("Level"));
    plugin->applyController(7, 0.25f, 0);
    EXPECT_FLOAT_EQ(parameter("Level")->getNormalized(), 0.25f);
    EXPECT_EQ(level.last().flags, 2);
    editor->close();
    plugin->applyController(7, 1.0f, 0);
    EXPECT_FLOAT_EQ(parameter("Level")->getNormalized(), 0.25f);
}

TEST_F(EditorRouting, AFileDroppedOnAControlThatTakesItReachesItAndAnyOtherReachesThePlugin) {
    control("p")->takesDrops = true;
    for (const auto& [x, y] : {std::pair{70, 30}, std::pair{10, 100}}) {
        platform::MemoryDataObject data("", {"/take.wav"}, false, true);
        platform::DragSession session(&data);
        session.enter(at(x, y));
        session.drop(at(x, y));
    }
    EXPECT_EQ(control("p")->seen.drops, std::vector<std::string>{"/take.wav"});
    EXPECT_EQ(plugin->loaded, std::vector<std::string>{"/take.wav"});
}

TEST_F(EditorRouting, DraggedDataOfAKindAControlAcceptsHighlightsItAndLeavingClearsIt) {
    control("p")->setFlags(Control::kAcceptsDrops);
    control("p")->setDropKinds(4);
    platform::MemoryDataObject data("", {"/take.wav"}, false, true);
    platform::DragSession session(&data);
    session.enter(at(70, 30));
    EXPECT_EQ(session.over(at(72, 30)), platform::kEffectCopy | platform::kEffectMove);
    EXPECT_NE(control("p")->testFlags(Control::kDropHighlight), 0u);
    session.leave();
    EXPECT_EQ(control("p")->testFlags(Control::kDropHighlight), 0u);
}

TEST_F(EditorRouting, CurrentModuleSwitchesModulesOnlyForAnEditorChange) {
    parameter("CurrentModule")->setNormalized(1.0f, Sender::kHost);
    EXPECT_EQ(editor->getCurrentModule(), 0);
    parameter("CurrentModule")->setNormalized(0.0f, Sender::kHost);
    parameter("CurrentModule")->setNormalized(1.0f, Sender::kEditor);
    EXPECT_EQ(editor->getCurrentModule(), 1);
    EXPECT_EQ(editor->getEditedModule(), plugin->getModule(1));
    // The tree follows the module shown: the slider now sets the second module's level.
    EXPECT_EQ(slider()->getParameter(), parameter("Level", 0, 1));
    const float start = parameter("Level", 0, 0)->getNormalized();
    drag(30, 70, 30, 60);
    EXPECT_FLOAT_EQ(parameter("Level", 0, 1)->getNormalized(), start + 0.1f);
    EXPECT_FLOAT_EQ(parameter("Level", 0, 0)->getNormalized(), start);
}

TEST_F(EditorRouting, AnEditOfAModuleParameterIsKeptByTheCurrentProgramAndHostAutomationIsNot) {
    const auto stored = [&] { return storedInProgram("Level"); };
    const float start = stored();
    drag(30, 70, 30, 50);
    EXPECT_FLOAT_EQ(stored(), start + 0.2f);
    parameter("Level")->setNormalized(0.9f, Sender::kHost);
    EXPECT_FLOAT_EQ(stored(), start + 0.2f);
}

TEST_F(EditorRouting, TheControlAtAPointIsTheFrontMostVisibleOne) {
    EXPECT_EQ(editor->getControlAt(Point(70, 30)), control("p"));
    EXPECT_EQ(editor->getControlAt(Point(70, 80)), control("inner"));
    EXPECT_EQ(editor->getControlAt(Point(5, 5)), control("special::background"));
    EXPECT_EQ(editor->getControlAt(Point(500, 500)), nullptr);
}

TEST_F(EditorRouting, ShowingAModuleSelectsItAndPublishesItsCurrentZonesValuesAgain) {
    ZoneManager* zones = plugin->getModule(1)->getZoneManager();
    zones->createZone(KeyRange(0, 127), "");
    SharedObjectPtr<Zone> zone(zones->getCurrentZone());
    ASSERT_TRUE(zone);
    const Dictionary document(std::string(
        "<?xml version=\"1.0\"?><dict><file-format value=\"0.7.0\"/><zone><id value=\"z\"/><min value=\"0\"/>"
        "<max value=\"127\"/><parameters><Detune value=\"0.25\"/></parameters>"
        "</zone></dict>"));
    zone->fromDictionary(Dictionary(*document.getDictionary("zone")));
    // Host automation moves the zone parameter without the zone keeping it.
    parameter("Detune", 0, 1)->setNormalized(0.75f, Sender::kHost);
    ASSERT_FLOAT_EQ(zone->getParameterFloat("Detune"), 0.25f);
    EditorInterface& shown = *editor;
    shown.showModule(1);
    EXPECT_EQ(editor->getCurrentModule(), 1);
    EXPECT_EQ(editor->getEditedModule(), plugin->getModule(1));
    EXPECT_EQ(slider()->getParameter(), parameter("Level", 0, 1));
    // Selecting alone keeps the zone that is already current as it is; the refresh publishes its values.
    EXPECT_FLOAT_EQ(parameter("Detune", 0, 1)->getNormalized(), 0.25f);
}
