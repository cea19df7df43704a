// The sample drag button: the current zone's sample written to a temporary WAV file and dragged out.
#include "engine/samples/SampleWav.h"
#include "framework/File.h"
#include "instrument/editor/InstrumentEditor.h"
#include "instrument/editor/OstrelSampleDrag.h"
#include "instrument/editor/SampleDragFiles.h"
#include "platform/DragDrop.h"
#include "platform/WindowSystem.h"

#include "support/InstrumentEditorHarness.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

using namespace trov;
using test::node;

namespace {

class SampleDrag : public test::InstrumentEditorHarness {
protected:
    SampleDrag() {
        buildAndOpen(
            node("Container").at(0, 0, 200, 60).child(node("SampleDrag").id("drag").at(20, 20, 30, 20)));
        button = control<OstrelSampleDrag>("drag");
        platform::setDropSink(&desktop);
    }
    ~SampleDrag() override {
        platform::setDropSink(nullptr);
        SampleDragFiles::instance().removeAll();
    }

    // A zone over a ramp of frames, made current.
    std::vector<float> zoneWithRamp(int frames) {
        std::vector<float> values(static_cast<std::size_t>(frames));
        for (int i = 0; i < frames; ++i)
            values[static_cast<std::size_t>(i)] = static_cast<float>(i % 200) / 200.0f - 0.5f;
        world.base.add("ramp", values, 64);
        zones()->selectZone(addZone(48, 59, "ramp"));
        tick();
        return values;
    }
    // The press on the button, with what the drag's own loop takes from the queue when it starts: the
    // pointer leaving the window and the button's release over the desktop.
    void pressAndDragOut() {
        move(30, 30);
        driver.move({5, 5});
        driver.release({5, 5});
        editor->receive(WindowMessage(nullptr, Code::kLeftDown, 0, Point(30, 30), 0));
        flush();
        tick();
    }
    int temporaryWavFiles() const {
        int count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(world.base.files.path()))
            count += entry.path().extension() == ".wav" ? 1 : 0;
        return count;
    }

    OstrelSampleDrag* button = nullptr;
    platform::RecordingDropSink desktop;
};

TEST_F(SampleDrag, TheDroppedFileIsAWavOfTheZonesSampleThatReadsBackValueForValue) {
    ASSERT_NE(button, nullptr);
    const std::vector<float> values = zoneWithRamp(2000);
    pressAndDragOut();
    ASSERT_EQ(desktop.files.size(), 1u);
    EXPECT_EQ(std::filesystem::path(desktop.files[0]).extension(), ".wav");
    SampleWav read;
    ASSERT_FALSE(read.load(File(desktop.files[0]), true).failed());
    ASSERT_EQ(read.getInfo().frames, 2000);
    EXPECT_EQ(read.getRootNote(), 64);
    // Written at the sample's own depth: every value within one step of 16 bits.
    double worst = 0.0;
    for (int i = 0; i < 2000; ++i)
        worst = std::max(worst, std::fabs(double{read.getData()[i]} - values[static_cast<std::size_t>(i)]));
    EXPECT_LE(worst, 1.0 / 32768.0);
}

TEST_F(SampleDrag, AfterTheDragTheEditorHasTheButtonsReleaseAndTheFileStaysUntilUnload) {
    zoneWithRamp(500);
    pressAndDragOut();
    ASSERT_EQ(desktop.files.size(), 1u);
    // The drag loop took the real release: the one the button sent the editor ended the press.
    EXPECT_FALSE(button->isPressed());
    EXPECT_EQ(editor->getPressed(), nullptr);
    EXPECT_TRUE(std::filesystem::exists(desktop.files[0]));
    uninstallInstrumentEditor();
    EXPECT_FALSE(std::filesystem::exists(desktop.files[0]));
    installInstrumentEditor();
}

// The press, the way out of the window and the release queued at once, as a quick hand gives them: the
// drag that the press starts takes the rest and drops on the desktop.
TEST_F(SampleDrag, ADragOutQueuedWithItsPressTakesItsReleaseAndDropsOutside) {
    zoneWithRamp(500);
    driver.move(at(30, 30));
    driver.press(at(30, 30));
    driver.move({5, 5});
    driver.release({5, 5});
    flush();
    tick();
    ASSERT_EQ(desktop.files.size(), 1u);
    EXPECT_EQ(std::filesystem::path(desktop.files[0]).extension(), ".wav");
    EXPECT_FALSE(button->isPressed());
    EXPECT_EQ(editor->getPressed(), nullptr);
    EXPECT_EQ(platform::WindowSystem::instance().getCapture(), platform::kNoWindow);
}

TEST_F(SampleDrag, WithoutASampleThePressIsRefusedAndNoFileIsWritten) {
    zones()->selectZone(addZone(48, 59, ""));
    tick();
    const int before = temporaryWavFiles();
    EXPECT_FALSE(button->receive(WindowMessage(nullptr, Code::kLeftDown, 0, Point(5, 5), 0)));
    EXPECT_EQ(temporaryWavFiles(), before);
    EXPECT_EQ(desktop.drops, 0);
}

TEST_F(SampleDrag, AFileThatCannotBeWrittenIsLoggedAndNotDraggedAndTheReleaseStillComes) {
    zoneWithRamp(500);
    test::LogCapture log(0);
    const std::string folder = world.base.files.path();
    ::setenv("TMPDIR", (folder + "/no such folder").c_str(), 1);
    pressAndDragOut();
    ::setenv("TMPDIR", folder.c_str(), 1);
    EXPECT_EQ(desktop.drops, 0);
    EXPECT_TRUE(desktop.files.empty());
    EXPECT_FALSE(button->isPressed());
    EXPECT_EQ(log.count("the sample was not dragged"), 1);
}

} // namespace
