// The instrument's editor: the keyword of the internal page, the zone selection in step with
// "CurrentZone", the exclusive display modes, drops routed to the control under the point, the input level
// from the audio thread, and the instrument forgetting the editor before it goes.
#include "engine/io/IOChannel.h"
#include "engine/io/IOPinConfig.h"
#include "gui/controls/Control.h"
#include "instrument/InstrumentKeys.h"
#include "instrument/editor/EditorKeys.h"
#include "instrument/editor/OstrelEditor.h"
#include "plugin/Settings.h"

#include "support/AllocationGuard.h"
#include "support/InstrumentEditorHarness.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

using namespace trov;
using test::node;

namespace {

// A control that takes every key and every dropped file, and counts them.
class Probe : public Control {
public:
    using Control::Control;
    bool receive(const Message& message) override {
        if (message.kind == kKindWindow && message.code == 3024) {
            keys.push_back(static_cast<char>(static_cast<const WindowMessage&>(message).state[0]));
            return true;
        }
        if (message.kind == kKindWindow && message.code == 3021) {
            ++drops;
            where = static_cast<const WindowMessage&>(message).where;
            return true;
        }
        return Control::receive(message);
    }
    std::string keys;
    int drops = 0;
    Point where;
};

class InstrumentEditor : public test::InstrumentEditorHarness {
protected:
    InstrumentEditor() {
        build(test::specification({node("Container").id("special::background").at(0, 0, 300, 100)}));
        probe = new Probe(editor.get(), Rect(100, 20, 50, 40));
        editor->getBackground()->addChild(probe);
        editor->getBackground()->invalidateLayout();
    }

    Settings& settings() const { return *plugin->getModule(0)->getSettings(); }
    // Keys as the window's key messages reach the editor: the character in the first word.
    void type(const std::string& text) {
        for (const char c : text) {
            const std::int32_t key[3] = {c, 0, 0};
            typedAnswers.push_back(editor->sendToHover(key));
        }
    }

    Probe* probe = nullptr;
    std::vector<bool> typedAnswers;
};

TEST_F(InstrumentEditor, TheKeywordTogglesTheInternalPageEachTimeAndOnlyItsLastKeyIsConsumed) {
    open();
    move(120, 40);
    test::LogCapture log(0);
    ASSERT_FALSE(settings().getBool(keys::kShowInternalPage));
    type("xkelpo");
    EXPECT_TRUE(settings().getBool(keys::kShowInternalPage));
    // Every key but the one completing the keyword reached the control under the pointer.
    EXPECT_EQ(probe->keys, "xkelp");
    type("kelpo");
    EXPECT_FALSE(settings().getBool(keys::kShowInternalPage));
    EXPECT_EQ(probe->keys, "xkelpkelp");
    EXPECT_EQ(log.count("Internal parameters enabled"), 2);
}

TEST_F(InstrumentEditor, TheKeywordThroughTheHostsKeyRecordIsAnOrdinaryKey) {
    open();
    move(120, 40);
    for (const char c : std::string("kelpo"))
        EXPECT_TRUE(editor->sendKeyRecord(OstrelEditor::KeyRecord{c, 0, 0}));
    EXPECT_FALSE(settings().getBool(keys::kShowInternalPage));
    EXPECT_EQ(probe->keys, "kelpo");
}

TEST_F(InstrumentEditor, CurrentZoneSelectsTheZoneOnlyWhileTheEditorIsOpen) {
    addZone(36, 47, "");
    addZone(48, 59, "");
    addZone(60, 71, "");
    zones()->selectZone(0);
    settings().setLong(keys::kCurrentZone, 2, Sender::kEditor);
    EXPECT_EQ(zones()->getCurrentZoneIndex(), 0);
    open();
    settings().setLong(keys::kCurrentZone, 1, Sender::kEditor);
    tick();
    EXPECT_EQ(zones()->getCurrentZoneIndex(), 1);
    settings().setLong(keys::kCurrentZone, 2, Sender::kHost);
    tick();
    EXPECT_EQ(zones()->getCurrentZoneIndex(), 2);
}

TEST_F(InstrumentEditor, ADisplayModeSwitchedOnByAControlSwitchesTheOtherOff) {
    open();
    const struct {
        const char* on;
        const char* other;
        int sender;
        bool otherStaysOn;
    } cases[] = {
        {keys::kDisplayBrowser, keys::kDisplayEditor, Sender::kEditor, false},
        {keys::kDisplayEditor, keys::kDisplayBrowser, Sender::kEditor, false},
        {keys::kDisplayBrowser, keys::kDisplayEditor, Sender::kSettings, true},
        {keys::kDisplayEditor, keys::kDisplayBrowser, Sender::kHost, true},
    };
    for (const auto& c : cases) {
        settings().setBool(c.on, false, Sender::kSettings);
        settings().setBool(c.other, true, Sender::kSettings);
        settings().setBool(c.on, true, c.sender);
        tick();
        EXPECT_TRUE(settings().getBool(c.on)) << c.on << " " << c.sender;
        EXPECT_EQ(settings().getBool(c.other), c.otherStaysOn) << c.on << " " << c.sender;
    }
    // Switching one off leaves the other.
    settings().setBool(keys::kDisplayEditor, true, Sender::kSettings);
    settings().setBool(keys::kDisplayBrowser, false, Sender::kEditor);
    tick();
    EXPECT_TRUE(settings().getBool(keys::kDisplayEditor));
}

TEST_F(InstrumentEditor, AFileDroppedOnAControlReachesItOnceInItsOwnCoordinates) {
    open();
    const std::string path = "/nowhere/take.wav";
    editor->receive(WindowMessage(nullptr, 3021, 0, Point(130, 45), pointerToWord(path.c_str())));
    EXPECT_EQ(probe->drops, 1);
    EXPECT_EQ(probe->where, Point(30, 25));
    // Over an empty area only the editor's own routing sees it.
    editor->receive(WindowMessage(nullptr, 3021, 0, Point(10, 10), pointerToWord(path.c_str())));
    EXPECT_EQ(probe->drops, 1);
}

TEST_F(InstrumentEditor, AClosedEditorTakesNoMessage) {
    const std::string path = "/nowhere/take.wav";
    EXPECT_FALSE(
        editor->receive(WindowMessage(nullptr, 3021, 0, Point(130, 45), pointerToWord(path.c_str()))));
    EXPECT_EQ(probe->drops, 0);
}

// The audio thread's block hands the input's peak to the open editor; its tick publishes it.
TEST_F(InstrumentEditor, EachBlocksInputPeakIsPublishedAsTheInputLevelAtTheNextTick) {
    open();
    ASSERT_EQ(plugin->getEditorLink(), editor.get());
    IOPinConfig inputs = test::makePins(1, 1, 64);
    IOPinConfig outputs = test::makePins(2, 1, 64);
    const std::vector<float> peaks = {0.5f, 0.125f, 0.0f};
    for (const float peak : peaks) {
        IOChannel<float>& in = *inputs.getChannel(0);
        std::fill(in.getData(), in.getData() + 64, peak / 4.0f);
        in.getData()[9] = -peak;
        {
            test::AllocationGuard guard("a block with the editor open");
            plugin->process(inputs, outputs, 64);
        }
        EXPECT_EQ(editor->getInputLevel(), peak);
        tick();
        EXPECT_FLOAT_EQ(settings().getFloat(keys::kInputLevel), peak);
    }
}

TEST_F(InstrumentEditor, TheInstrumentForgetsTheEditorWhenItClosesAndBeforeItGoes) {
    EXPECT_EQ(plugin->getEditorLink(), nullptr);
    open();
    EXPECT_EQ(plugin->getEditorLink(), editor.get());
    close();
    EXPECT_EQ(plugin->getEditorLink(), nullptr);
    open();
    editor.reset();
    EXPECT_EQ(plugin->getEditorLink(), nullptr);
}

// The product answers no editor where there is nothing a host could show.
class NoEditor : public test::InstrumentEditorHarness {};

TEST_F(NoEditor, AnInstallationWithoutAnEditorSpecificationOrOneWithoutABackgroundHasNone) {
    buildEmpty();
    const Module* first = plugin->getModule(0);
    std::unique_ptr<EditorInterface> made(world.product.createEditor(plugin.get(), first));
    EXPECT_NE(made, nullptr);
    made.reset();
    world.base.machine.setString("ControlsXmlFile", "");
    EXPECT_EQ(world.product.createEditor(plugin.get(), first), nullptr);
    world.base.machine.setString("ControlsXmlFile", "controls.xml");
    std::ofstream(installFolder() + "/controls.xml")
        << test::specification({node("Container").id("not the background").at(0, 0, 10, 10)});
    EXPECT_EQ(world.product.createEditor(plugin.get(), first), nullptr);
}

// A specification that does not load, broken or missing: the user is told to reinstall, and the
// instrument still gives an editor, without controls, that opens, takes input, paints and closes.
TEST_F(NoEditor, AnUnreadableSpecificationGivesAnEditorWithoutControlsThatOpensAndClosesAndTellsTheUser) {
    test::LogCapture log(3);
    const auto boxes = [this] {
        int count = 0;
        for (const auto& question : responder().questions())
            count += question.kind == "box" && question.text.rfind("Error loading controls!", 0) == 0 ? 1 : 0;
        return count;
    };
    buildEmpty();
    editor.reset();
    std::ofstream(installFolder() + "/controls.xml") << "<dict><array name=\"controls\"><dict>";
    for (const bool missing : {false, true}) {
        SCOPED_TRACE(missing ? "missing" : "broken");
        const int told = boxes();
        if (missing)
            world.base.machine.setString("ControlsXmlFile", "no such controls.xml");
        editor.reset(
            dynamic_cast<OstrelEditor*>(world.product.createEditor(plugin.get(), plugin->getModule(0))));
        ASSERT_NE(editor, nullptr);
        world.base.host.setEditor(editor.get());
        EXPECT_TRUE(editor->getControls().empty());
        EXPECT_EQ(editor->getBackground(), nullptr);
        EXPECT_EQ(boxes(), told + 1);
        open();
        EXPECT_TRUE(editor->isOpen());
        EXPECT_EQ(plugin->getEditorLink(), editor.get());
        click(5, 5);
        driver.type("kelpo");
        flush();
        tick(2);
        close();
        EXPECT_FALSE(editor->isOpen());
        EXPECT_EQ(plugin->getEditorLink(), nullptr);
        editor.reset();
    }
    EXPECT_EQ(log.count("[EIFL]"), 2) << log.text();
}

} // namespace
