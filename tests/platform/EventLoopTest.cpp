#include "platform/EventLoop.h"

#include "support/TestTime.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>
#include <vector>

using trov::platform::EventLoop;
using trov::platform::kNoWindow;
using trov::platform::WindowHandle;
using namespace std::chrono_literals;

namespace {

constexpr std::uint32_t kPing = EventLoop::kFirstUserEvent + 1;

// Runs the loop on a thread of its own; a loop that never quits fails the test instead of hanging it.
int runWithWatchdog(EventLoop& loop, std::thread::id* runner = nullptr) {
    auto result = std::async(std::launch::async, [&] {
        if (runner != nullptr)
            *runner = std::this_thread::get_id();
        return loop.run();
    });
    if (result.wait_for(trov::test::hangWait(5s)) != std::future_status::ready) {
        ADD_FAILURE() << "the loop did not quit";
        loop.postQuit(-1);
    }
    return result.get();
}

} // namespace

TEST(EventLoop, PumpDeliversPostedEventsInOrderOnlyToLiveWindows) {
    EventLoop loop;
    std::vector<std::intptr_t> first;
    std::vector<std::intptr_t> second;
    const WindowHandle a =
        loop.createWindow([&](const EventLoop::Event& event) { first.push_back(event.data); });
    const WindowHandle b =
        loop.createWindow([&](const EventLoop::Event& event) { second.push_back(event.data); });
    ASSERT_NE(a, kNoWindow);
    ASSERT_NE(a, b);
    EXPECT_TRUE(loop.post(a, kPing, 0, 1));
    EXPECT_TRUE(loop.post(b, kPing, 0, 2));
    EXPECT_TRUE(loop.post(a, kPing, 0, 3));
    EXPECT_FALSE(loop.post(kNoWindow, kPing));
    EXPECT_FALSE(loop.post(b + 100, kPing));
    EXPECT_EQ(loop.pump(), 3u);
    EXPECT_EQ(first, (std::vector<std::intptr_t>{1, 3}));
    EXPECT_EQ(second, (std::vector<std::intptr_t>{2}));
    EXPECT_EQ(loop.pump(), 0u);

    loop.post(b, kPing, 0, 4);
    loop.destroyWindow(b);
    EXPECT_FALSE(loop.isWindow(b));
    EXPECT_FALSE(loop.post(b, kPing));
    EXPECT_EQ(loop.pump(), 0u);
    EXPECT_EQ(second.size(), 1u);
}

TEST(EventLoop, EventsPostedByAHandlerWaitForTheNextPump) {
    EventLoop loop;
    int calls = 0;
    WindowHandle window = kNoWindow;
    window = loop.createWindow([&](const EventLoop::Event&) {
        ++calls;
        loop.post(window, kPing);
    });
    loop.post(window, kPing);
    EXPECT_EQ(loop.pump(), 1u);
    EXPECT_EQ(loop.pump(), 1u);
    EXPECT_EQ(calls, 2);
}

// A modal loop a handler starts takes the events queued behind the one being handled; the pump goes on
// with what the loop left, and what was posted meanwhile waits for the next pump.
TEST(EventLoop, AHandlerTakesTheEventsQueuedBehindItsOwnAndThePumpDeliversTheRest) {
    EventLoop loop;
    std::vector<std::intptr_t> handled;
    std::vector<std::intptr_t> taken;
    WindowHandle window = kNoWindow;
    window = loop.createWindow([&](const EventLoop::Event& event) {
        handled.push_back(event.data);
        if (event.data != 1)
            return;
        loop.post(window, kPing, 0, 9);
        EventLoop::Event next;
        while (taken.size() < 2 && loop.takeEvent(next))
            taken.push_back(next.data);
    });
    for (std::intptr_t data = 1; data <= 4; ++data)
        loop.post(window, kPing, 0, data);
    EXPECT_EQ(loop.pump(), 2u);
    EXPECT_EQ(taken, (std::vector<std::intptr_t>{2, 3}));
    EXPECT_EQ(handled, (std::vector<std::intptr_t>{1, 4}));
    EXPECT_EQ(loop.pump(), 1u);
    EXPECT_EQ(handled.back(), 9);
}

TEST(EventLoop, WindowTimerTicksArriveOnThePumpingThread) {
    EventLoop loop;
    std::vector<std::thread::id> threads;
    const WindowHandle window = loop.createWindow([&](const EventLoop::Event& event) {
        EXPECT_EQ(event.code, EventLoop::kTimerEvent);
        EXPECT_EQ(event.param, 275u);
        threads.push_back(std::this_thread::get_id());
        if (threads.size() == 3)
            loop.postQuit(7);
    });
    EXPECT_EQ(loop.setTimer(window, 275, 10), 275u);
    EXPECT_EQ(loop.setTimer(window + 1, 275, 10), 0u);
    EXPECT_EQ(loop.setTimer(window, 0, 10), 0u);
    std::thread::id runner;
    EXPECT_EQ(runWithWatchdog(loop, &runner), 7);
    EXPECT_EQ(threads, std::vector<std::thread::id>(3, runner));
    EXPECT_TRUE(loop.quitRequested());
    EXPECT_EQ(loop.quitCode(), 7);
}

TEST(EventLoop, KilledTimerOrWindowGetsNoTickEvenWhenAlreadyDue) {
    EventLoop loop;
    int ticksOfOther = 0;
    WindowHandle window = kNoWindow;
    window = loop.createWindow([&](const EventLoop::Event& event) {
        if (event.param == 1)
            loop.killTimer(window, 2); // both are due in the same pump
        else
            ++ticksOfOther;
    });
    loop.setTimer(window, 1, 10);
    loop.setTimer(window, 2, 10);
    std::this_thread::sleep_for(40ms);
    EXPECT_EQ(loop.pump(), 1u) << "a late pump delivers one tick per timer";
    EXPECT_EQ(ticksOfOther, 0);
    EXPECT_FALSE(loop.killTimer(window, 2));
    EXPECT_TRUE(loop.killTimer(window, 1));
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(loop.pump(), 0u);
    loop.setTimer(window, 3, 10);
    loop.destroyWindow(window); // takes its timers along
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(loop.pump(), 0u);
}

TEST(EventLoop, RunWakesForEventsPostedFromOtherThreadsAndEndsOnQuit) {
    EventLoop loop;
    std::vector<std::intptr_t> seen;
    const WindowHandle window = loop.createWindow([&](const EventLoop::Event& event) {
        seen.push_back(event.data);
        if (event.data == 3)
            loop.postQuit(42);
    });
    std::thread poster([&] {
        for (std::intptr_t i = 1; i <= 3; ++i) {
            std::this_thread::sleep_for(5ms);
            loop.post(window, kPing, 0, i);
        }
    });
    EXPECT_FALSE(loop.quitRequested());
    EXPECT_EQ(runWithWatchdog(loop), 42);
    poster.join();
    EXPECT_EQ(seen, (std::vector<std::intptr_t>{1, 2, 3}));
}

TEST(EventLoop, QuitRequestedBeforeRunEndsItAtOnceKeepingTheFirstCode) {
    EventLoop loop;
    loop.postQuit(3);
    loop.postQuit(4);
    EXPECT_EQ(runWithWatchdog(loop), 3);
}
