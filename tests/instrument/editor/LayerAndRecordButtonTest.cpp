// The layer and record buttons of the instrument's panel over the real instrument: the layer button's
// zone solo and layer swap, the record button's blinking with the engine's recording, its file mask and
// its record folder.
#include "framework/Preferences.h"
#include "instrument/editor/CorvaleRecordButton.h"
#include "instrument/editor/OstrelLayerButton.h"
#include "platform/InputDriver.h"
#include "platform/MenuSession.h"
#include "support/InstrumentEditorHarness.h"

#include <gtest/gtest.h>

using namespace trov;
using test::node;

namespace {

constexpr Point kLayer{30, 30};
constexpr Point kRecord{90, 30};

class PanelButtons : public test::InstrumentEditorHarness {
protected:
    PanelButtons() {
        addSkin("special::background", 200, 100, 0xff303030);
        build(test::specification({node("Background")
                                       .id("special::background")
                                       .child(node("LayerButton")
                                                  .id("layer")
                                                  .parameter("CurrentModule")
                                                  .integer("value", 1)
                                                  .at(20, 20, 20, 20))
                                       .child(node("CorvaleRecordButton")
                                                  .id("record")
                                                  .parameter("RecordModeArmed")
                                                  .at(80, 20, 20, 20))}));
        open();
        tick();
    }

    OstrelLayerButton* layer() const { return control<OstrelLayerButton>("layer"); }
    CorvaleRecordButton* record() const { return control<CorvaleRecordButton>("record"); }
    bool solo() const { return settings().getBool("SoloZone"); }
    long shownLayer() const { return settings().getLong("CurrentModule"); }
    // Far enough from the last click not to make a double click of the next.
    void pause() { tick(20); }
    // The double click's second press is handed to the window system on its own, so that the entry box
    // it opens finds the keys typed after it still queued, as a user's keys come after the press.
    void doubleClick(Point p, const std::string& typed = "") {
        click(p.x, p.y);
        driver.press(at(p.x, p.y));
        driver.type(typed);
        driver.release(at(p.x, p.y));
        platform::EventLoop::Event press;
        ASSERT_TRUE(windows().loop().takeEvent(press));
        windows().loop().dispatch(press);
        flush();
    }
    std::vector<std::string> menuTexts(Point p) {
        std::vector<std::string> texts;
        responder().queueMenu([&](platform::MenuSession& menu) {
            for (const platform::MenuSession::Entry& entry : menu.entries())
                texts.push_back(entry.separator ? "---" : entry.text);
            menu.dismiss();
        });
        rightClick(p.x, p.y);
        return texts;
    }
};

} // namespace

TEST_F(PanelButtons, ADoubleClickOnTheLayerButtonSolosTheZoneAndBlinksUntilTheNextPress) {
    settings().setBool("SoloZone", true, Sender::kSettings);
    doubleClick(kLayer);
    // The first press ended the old solo and switched the layer as a click does; the double click solos.
    EXPECT_EQ(shownLayer(), 1);
    EXPECT_TRUE(solo());
    EXPECT_TRUE(layer()->isBlinking());
    pause();
    click(kLayer.x, kLayer.y);
    EXPECT_FALSE(solo());
    EXPECT_FALSE(layer()->isBlinking());
    EXPECT_EQ(shownLayer(), 0);
}

TEST_F(PanelButtons, SwapLayersFromTheLayerButtonsMenuExchangesTheModulesWhicheverIsShown) {
    EXPECT_EQ(menuTexts(kLayer).front(), "Swap layers");
    for (const std::int32_t shown : {0, 1}) {
        settings().setLong("CurrentModule", shown, Sender::kSettings);
        tick();
        const Module* lower = plugin->getModule(0);
        const Module* upper = plugin->getModule(1);
        responder().queueMenuChoice({"Swap layers"});
        rightClick(kLayer.x, kLayer.y);
        EXPECT_EQ(plugin->getModule(0), upper) << shown;
        EXPECT_EQ(plugin->getModule(1), lower) << shown;
    }
}

TEST_F(PanelButtons, TheRecordButtonBlinksWhileTheEngineRecords) {
    EXPECT_FALSE(record()->isBlinking());
    // Armed in the immediate mode, the engine starts a take and says it is recording.
    click(kRecord.x, kRecord.y);
    tick();
    EXPECT_TRUE(settings().getBool("RecordModeEnabled"));
    EXPECT_TRUE(record()->isBlinking());
    play(4);
    pause();
    click(kRecord.x, kRecord.y);
    play(40);
    tick();
    EXPECT_FALSE(settings().getBool("RecordModeEnabled"));
    EXPECT_FALSE(record()->isBlinking());
    EXPECT_TRUE(engine().waitForWriter(10000));
}

TEST_F(PanelButtons, ADoubleClickEditsTheFileMaskAndLeavesTheRecordStateAsItWas) {
    struct Case {
        bool armedBefore;
        std::string typed;
        std::string mask;
    };
    const Case cases[] = {
        {false, "Take #\r", "Take #"},
        {true, "Loop #\r", "Loop #"},
        {false, "ignored\x1b", "Loop #"}, // Escape cancels the entry
    };
    for (const Case& c : cases) {
        settings().setBool("RecordModeArmed", c.armedBefore, Sender::kSettings);
        pause();
        doubleClick(kRecord, c.typed);
        EXPECT_EQ(settings().getString("SampleRecordMask"), c.mask) << c.typed;
        EXPECT_EQ(settings().getBool("RecordModeArmed"), c.armedBefore) << c.typed;
    }
}

TEST_F(PanelButtons, TheRecordFolderIsChosenFromTheRecordButtonsMenuAfterItsOtherEntries) {
    EXPECT_EQ(menuTexts(kRecord).back(), "Record Folder...");
    Preferences& user = world.base.user;
    user.setString("RecordedSamplesPath", "/before");
    responder().queueMenuChoice({"Record Folder..."});
    responder().queueFolder(world.base.files / "takes");
    rightClick(kRecord.x, kRecord.y);
    std::string path;
    EXPECT_TRUE(user.getString("RecordedSamplesPath", path));
    EXPECT_EQ(path, world.base.files / "takes");
    // Cancelled: the folder stays.
    responder().queueMenuChoice({"Record Folder..."});
    responder().queueFolder("");
    rightClick(kRecord.x, kRecord.y);
    user.getString("RecordedSamplesPath", path);
    EXPECT_EQ(path, world.base.files / "takes");
}
