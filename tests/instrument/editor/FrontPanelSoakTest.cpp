// A soak on the real clock, for the thread sanitizer's build above all: the host's audio thread plays
// notes and automates parameters block after block while, on this thread, the front panel opens, its
// displays flicker and its LED blinks on the timer thread, it is clicked and it closes, several times.
#include "framework/WindowTimer.h"
#include "platform/InputDriver.h"
#include "platform/WindowSystem.h"
#include "plugin/Parameter.h"
#include "plugin/Settings.h"
#include "support/FrontPanelWorld.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace trov;

namespace {

constexpr int kRounds = 4;
constexpr auto kRoundLength = std::chrono::milliseconds(600);

// Places on the panel that take clicks: a knob, a toggle, the layer button, the display's thumbnail, the
// keyboard, the wave section's display buttons.
constexpr int kClicks[][2] = {{40, 80}, {680, 72}, {573, 16}, {500, 158}, {200, 480}, {610, 72}, {648, 72}};

class FrontPanelSoak : public ::testing::Test {
protected:
    FrontPanelSoak() {
        panel.world.addSine("sine", 220.0, 44100 * 2, 57);
        test::InstrumentWorld::addZone(panel.instrument(), 0, 0, 127, "sine");
        auto& windows = platform::WindowSystem::instance();
        if (!windows.isClassRegistered("soak frame"))
            windows.registerClass("soak frame", 0);
        platform::WindowSystem::CreateParams params;
        params.className = "soak frame";
        params.style = platform::WindowSystem::kVisible;
        params.rect = {100, 50, 1100, 850};
        frame_ = windows.createWindow(params, [&windows](const platform::EventLoop::Event& event) {
            windows.defaultProcessing(event);
        });
    }
    ~FrontPanelSoak() override { platform::WindowSystem::instance().destroyWindow(frame_); }

    // The host's audio thread: a note every few blocks, released a few blocks later, and the filter's
    // cutoff and the master volume automated in every block.
    void render(std::atomic<bool>& running, std::atomic<int>& blocks) {
        Corvale& instrument = panel.instrument();
        Parameter* cutoff = test::InstrumentWorld::settingsOf(instrument, 0).getParameter("VCFCutoff");
        Parameter* volume = test::InstrumentWorld::settingsOf(instrument, 0).getParameter("MasterVolume");
        for (int block = 0; running.load(); ++block) {
            const int key = 48 + (block / 4) % 24;
            if (block % 4 == 0)
                panel.midi(0x90, key, 100);
            if (block % 4 == 3)
                panel.midi(0x80, key, 0);
            cutoff->setNormalized(static_cast<float>(block % 100) / 100.0f, Sender::kHost);
            volume->setNormalized(0.4f + static_cast<float>(block % 10) / 50.0f, Sender::kHost);
            panel.play(1);
            blocks.store(block + 1);
        }
    }

    test::FrontPanelWorld panel;
    platform::WindowHandle frame_ = platform::kNoWindow;
};

TEST_F(FrontPanelSoak, TheHostRendersWithAutomationWhileThePanelOpensFlickersIsClickedAndCloses) {
    std::atomic<bool> running{true};
    std::atomic<int> blocks{0};
    std::thread audio([&] { render(running, blocks); });
    auto& loop = platform::WindowSystem::instance().loop();
    platform::InputDriver driver;
    int painted = 0;
    for (int round = 0; round < kRounds; ++round) {
        std::unique_ptr<Editor> editor = panel.makeEditor();
        editor->open(frame_, editor->getSize());
        {
            const WindowTimer timer(editor->getWindow(), 50);
            const auto end = std::chrono::steady_clock::now() + kRoundLength;
            for (int step = 0; std::chrono::steady_clock::now() < end; ++step) {
                if (step % 10 == 0) {
                    const auto& [x, y] = kClicks[(step / 10 + round) % std::size(kClicks)];
                    driver.click(driver.clientPoint(editor->getEditorWindow()->getHandle(), x, y));
                }
                painted += static_cast<int>(loop.pump());
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        editor->close();
    }
    running.store(false);
    audio.join();
    EXPECT_GT(blocks.load(), kRounds);
    EXPECT_GT(painted, kRounds);
}

} // namespace
