#include "support/HostTestSupport.h"

#include "framework/Color.h"
#include "host/RTASEditor.h"
#include "platform/ClockService.h"
#include "plugin/Parameter.h"

#include <gtest/gtest.h>

using namespace trov;
using namespace trov::test;

namespace {

class ViewTest : public HostTest {
protected:
    RTASProcess* withView() {
        RTASProcess* process = makeProcess();
        if (process != nullptr) {
            EXPECT_TRUE(process->createView());
        }
        return process;
    }
};

TEST_F(ViewTest, BoundsSitBelowTheHostsHeaderTallerWithMidi) {
    for (const bool midi : {true, false}) {
        hostproduct::product()->midiInput = midi;
        RTASProcess* process = withView();
        ASSERT_NE(process, nullptr);
        const Rect bounds = editorOf(*process)->bounds;
        const int top = midi ? 72 : 56;
        EXPECT_EQ(bounds, Rect(Point(0, top), Point(600, top + 400))) << midi;
        hostsdk::ViewRect rect;
        ASSERT_EQ(process->getViewRect(rect), hostsdk::kResultOk);
        EXPECT_EQ(rect.top, 0);
        EXPECT_EQ(rect.left, 0);
        EXPECT_EQ(rect.bottom, 400);
        EXPECT_EQ(rect.right, 600);
    }
}

TEST_F(ViewTest, WithoutAnEditorThereIsNoViewAndTheFailureIsLogged) {
    hostproduct::product()->withEditor = false;
    RTASProcess* process = makeProcess();
    ASSERT_NE(process, nullptr);
    ModuleLogCapture log;
    EXPECT_FALSE(process->createView());
    EXPECT_FALSE(process->hasView());
    EXPECT_EQ(process->getEditor(), nullptr);
    EXPECT_EQ(log.count("CreateCPluginView::OOPS"), 1);
    hostsdk::ViewRect rect;
    EXPECT_NE(process->getViewRect(rect), hostsdk::kResultOk);
    std::int32_t control = 9;
    EXPECT_NE(process->getControlAt(5, 5, control), hostsdk::kResultOk);
    EXPECT_EQ(control, 0);
    process->windowEvent(1, 1, true); // nothing to tell
    process->idle();
}

TEST_F(ViewTest, AttachingOpensTheEditorAtThePortWithATimerThatTicksOnIdle) {
    platform::ManualClock clock;
    platform::setClockService(&clock);
    RTASProcess* process = withView();
    ASSERT_NE(process, nullptr);
    hostproduct::FixtureEditor* editor = editorOf(*process);
    hostsdk::ViewPort port;
    port.originX = 20;
    port.originY = 30;
    port.nativeWindow = 0;
    ASSERT_EQ(process->setViewPort(&port), hostsdk::kResultOk);
    EXPECT_EQ(editor->openedAt, Rect(Point(-20, -30), Point(580, 370)));
    ASSERT_TRUE(process->getView()->hasTimer());
    clock.advance(120);
    group->idle();
    EXPECT_GE(editor->ticks.load(), 1);
    process->idle();
    EXPECT_EQ(editor->idles, 1);
    process->setViewPort(nullptr);
    EXPECT_FALSE(process->getView()->hasTimer());
    EXPECT_EQ(editor->getWindow(), nullptr);
    const int ticks = editor->ticks.load();
    clock.advance(200);
    group->idle();
    EXPECT_EQ(editor->ticks.load(), ticks);
    platform::setClockService(nullptr);
}

TEST_F(ViewTest, TheControlUnderAPointIsItsParametersControlNumber) {
    RTASProcess* process = withView();
    ASSERT_NE(process, nullptr);
    struct Case {
        int x, y, control;
    };
    for (const Case& c : {Case{20, 20, 1}, Case{20, 60, 2}, Case{300, 300, 0}}) {
        std::int32_t control = -7;
        EXPECT_EQ(process->getControlAt(c.x, c.y, control), hostsdk::kResultOk);
        EXPECT_EQ(control, c.control) << c.x << "," << c.y;
    }
}

TEST_F(ViewTest, HighlightsColourTheControlsOfTheParameter) {
    RTASProcess* process = withView();
    ASSERT_NE(process, nullptr);
    hostproduct::FixtureEditor* editor = editorOf(*process);
    Parameter* detune = process->getPlugin()->getAutomatableParameter(1);
    process->setControlHighlight(2, true, 3);
    EXPECT_EQ(editor->highlights[detune], Color(255, 255, 0, 255));
    process->setControlHighlight(2, true, 7);
    EXPECT_EQ(editor->highlights[detune], colorNone);
    process->setControlHighlight(2, true, 1);
    process->setControlHighlight(2, false, 1);
    EXPECT_EQ(editor->highlights[detune], colorNone);
}

TEST_F(ViewTest, MouseEventsReachTheEditor) {
    RTASProcess* process = withView();
    ASSERT_NE(process, nullptr);
    hostproduct::FixtureEditor* editor = editorOf(*process);
    process->windowEvent(5, 6, true);
    process->windowEvent(5, 6, false);
    const std::vector<std::int32_t> codes = {3018, 3019, 3020};
    const std::vector<std::int32_t> extras = {0, 5, 0};
    EXPECT_EQ(editor->windowCodes, codes);
    EXPECT_EQ(editor->windowExtras, extras);
}

TEST_F(ViewTest, DropsLoadOnlyTheLastAcceptedDrag) {
    RTASProcess* process = withView();
    ASSERT_NE(process, nullptr);
    auto* plugin = dynamic_cast<hostproduct::TestProductPlugin*>(process->getPlugin());
    ASSERT_NE(plugin, nullptr);
    // A drop before any accepted drag loads nothing.
    process->drop(10, 10);
    EXPECT_TRUE(plugin->loadedFiles.empty());
    bool accepted = false;
    {
        ModuleLogCapture log;
        process->dragItem(1, "/tmp/bank.kmd", accepted);
        EXPECT_TRUE(accepted);
        process->dragItem(3, "/tmp/other.wav", accepted);
        EXPECT_FALSE(accepted);
        EXPECT_EQ(log.count("DnD flavor=1 filename=/tmp/bank.kmd"), 1);
        EXPECT_EQ(log.count("DnD with unknown flavor 3"), 1);
    }
    process->drop(-1, 10);
    process->drop(10, -1);
    EXPECT_TRUE(plugin->loadedFiles.empty());
    process->drop(0, 0);
    ASSERT_EQ(plugin->loadedFiles.size(), 1u);
    EXPECT_EQ(plugin->loadedFiles[0], "/tmp/bank.kmd");
}

TEST_F(ViewTest, ADroppedStateDocumentIsLoadedAndABrokenOneRefused) {
    RTASProcess* source = makeProcess();
    RTASProcess* process = withView();
    ASSERT_NE(source, nullptr);
    ASSERT_NE(process, nullptr);
    source->setControlValue(1, 0x40000000);
    const FileTestFolder& files = HostInstallation::instance().files();
    const std::string text = source->buildChunkText();
    files.write("state.xml", text);
    files.write("broken.xml", text.substr(0, text.size() / 2));
    bool accepted = false;
    process->dragItem(0, (files / "broken.xml").c_str(), accepted);
    process->drop(1, 1);
    EXPECT_NE(process->getPlugin()->getAutomatableParameter(0)->getNormalized(),
              source->getPlugin()->getAutomatableParameter(0)->getNormalized());
    process->dragItem(0, (files / "state.xml").c_str(), accepted);
    process->drop(1, 1);
    EXPECT_FLOAT_EQ(process->getPlugin()->getAutomatableParameter(0)->getNormalized(),
                    source->getPlugin()->getAutomatableParameter(0)->getNormalized());
}

TEST_F(ViewTest, ADropAnswersWhetherTheInstanceTookTheFile) {
    RTASProcess* source = makeProcess();
    RTASProcess* process = withView();
    ASSERT_NE(source, nullptr);
    ASSERT_NE(process, nullptr);
    const FileTestFolder& files = HostInstallation::instance().files();
    const std::string text = source->buildChunkText();
    files.write("taken.xml", text);
    files.write("cut.xml", text.substr(0, text.size() / 3));
    files.write("other.kmd", text);
    EXPECT_EQ(process->drop(3, 3), hostsdk::kResultFailed) << "nothing was offered";
    struct Case {
        const char* file;
        std::int32_t x;
        std::int32_t result;
    };
    // The test product loads only documents named .xml; a negative coordinate drops nothing.
    for (const Case& c :
         {Case{"cut.xml", 1, hostsdk::kResultFailed}, Case{"other.kmd", 1, hostsdk::kResultFailed},
          Case{"taken.xml", -1, hostsdk::kResultFailed}, Case{"taken.xml", 1, hostsdk::kResultOk}}) {
        bool accepted = false;
        process->dragItem(0, (files / c.file).c_str(), accepted);
        ASSERT_TRUE(accepted);
        EXPECT_EQ(process->drop(c.x, 1), c.result) << c.file << " at x " << c.x;
    }
}

TEST_F(ViewTest, ClosingAndReopeningTheViewLeavesNoEditorBehind) {
    RTASProcess* process = withView();
    ASSERT_NE(process, nullptr);
    hostsdk::ViewPort port;
    process->setViewPort(&port);
    process->destroyView();
    EXPECT_FALSE(process->hasView());
    EXPECT_EQ(process->getEditor(), nullptr);
    EXPECT_TRUE(process->createView());
    process->setViewPort(&port);
    // Released with its view open.
}

} // namespace
