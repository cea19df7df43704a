#include "framework/WindowTimer.h"
#include "framework/NativeWindow.h"
#include "platform/EventLoop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

using trov::WindowTimer;
using trov::platform::EventLoop;
using namespace std::chrono_literals;

namespace {

class TestWindow : public trov::NativeWindow {
public:
    TestWindow()
        : handle_(EventLoop::instance().createWindow([this](const EventLoop::Event& event) {
              if (event.code == EventLoop::kTimerEvent)
                  timerIds.push_back(event.param);
          })) {}
    ~TestWindow() override { EventLoop::instance().destroyWindow(handle_); }
    trov::platform::WindowHandle getHandle() const override { return handle_; }

    std::vector<std::uintptr_t> timerIds;

private:
    trov::platform::WindowHandle handle_;
};

// Pumps on this thread until the window has seen count timer events or a generous bound has passed.
void pumpUntil(const TestWindow& window, std::size_t count) {
    for (int i = 0; i < 600 && window.timerIds.size() < count; ++i) {
        EventLoop::instance().pump();
        std::this_thread::sleep_for(5ms);
    }
}

} // namespace

TEST(WindowTimer, WindowReceivesTimerEventsWithItsIdUntilTheTimerGoes) {
    TestWindow window;
    auto timer = std::make_unique<WindowTimer>(&window, 10);
    EXPECT_EQ(timer->getId(), WindowTimer::kTimerId);
    pumpUntil(window, 3);
    ASSERT_GE(window.timerIds.size(), 3u);
    for (std::uintptr_t id : window.timerIds)
        EXPECT_EQ(id, 275u);

    timer.reset();
    const std::size_t seen = window.timerIds.size();
    std::this_thread::sleep_for(30ms);
    EventLoop::instance().pump();
    EXPECT_EQ(window.timerIds.size(), seen);
}

TEST(WindowTimer, TimerWithoutAWindowFailsWithIdZero) {
    WindowTimer timer(nullptr, 50);
    EXPECT_EQ(timer.getId(), 0u);
}
