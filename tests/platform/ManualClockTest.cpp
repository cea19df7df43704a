#include "platform/ClockService.h"
#include "platform/EventLoop.h"
#include "platform/TimerQueue.h"

#include "support/TestTime.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

using trov::platform::ClockTime;
using trov::platform::EventLoop;
using trov::platform::ManualClock;
using trov::platform::ScopedClock;
using trov::platform::TimerQueue;
using namespace std::chrono_literals;

namespace {

// Milliseconds of the installed clock since a start.
long long msSince(ClockTime start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(trov::platform::clockNow() - start).count();
}

struct Fired {
    std::string what;
    long long atMs;
    std::thread::id thread;
};

} // namespace

TEST(ManualClock, AdvancingFiresWhatFallsDueInDueOrderAtItsTimeOnTheCallingThread) {
    ManualClock clock;
    ScopedClock installed(clock);
    const ClockTime start = trov::platform::clockNow();
    std::vector<Fired> fired;
    TimerQueue queue;
    EventLoop loop;
    auto record = [&](std::string what) {
        fired.push_back({std::move(what), msSince(start), std::this_thread::get_id()});
    };
    auto periodic = queue.createTimer(30, 30, [&] { record("periodic"); });
    auto once = queue.createTimer(45, 0, [&] { record("once"); });
    const auto window = loop.createWindow([&](const EventLoop::Event& event) {
        if (event.code == EventLoop::kTimerEvent)
            record("window");
    });
    loop.setTimer(window, 7, 40);

    clock.advance(29);
    EXPECT_TRUE(fired.empty());
    clock.advance(71); // to 100 ms
    std::vector<std::pair<std::string, long long>> seen;
    for (const Fired& f : fired) {
        seen.emplace_back(f.what, f.atMs);
        EXPECT_EQ(f.thread, std::this_thread::get_id());
    }
    const std::vector<std::pair<std::string, long long>> expected = {
        {"periodic", 30}, {"window", 40}, {"once", 45}, {"periodic", 60}, {"window", 80}, {"periodic", 90}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(msSince(start), 100);
    queue.deleteTimer(periodic);
    loop.destroyWindow(window);
}

TEST(ManualClock, TheServiceThreadLeavesTimersToTheManualClock) {
    ManualClock clock;
    ScopedClock installed(clock);
    int calls = 0;
    TimerQueue queue;
    auto timer = queue.createTimer(1, 1, [&] { ++calls; });
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(calls, 0);
    clock.advance(3);
    EXPECT_EQ(calls, 3);
    queue.deleteTimer(timer);
}

TEST(ManualClock, AStalledClockFiresEachLateTimerOnceAndPeriodicTimersSkipWhatTheyMissed) {
    ManualClock clock;
    ScopedClock installed(clock);
    const ClockTime start = trov::platform::clockNow();
    std::vector<long long> ticks;
    TimerQueue queue;
    auto timer = queue.createTimer(10, 10, [&] { ticks.push_back(msSince(start)); });
    clock.stall(35);
    EXPECT_TRUE(ticks.empty());
    clock.advance(0);
    ASSERT_EQ(ticks, (std::vector<long long>{35}));
    clock.advance(10);
    EXPECT_EQ(ticks, (std::vector<long long>{35, 45}));
    queue.deleteTimer(timer);
}

TEST(ManualClock, CallbacksMayDeleteTheirOwnTimerAndMakeNewOnes) {
    ManualClock clock;
    ScopedClock installed(clock);
    TimerQueue queue;
    int first = 0;
    int second = 0;
    std::shared_ptr<trov::platform::TimerQueueTimer> timer, follower;
    timer = queue.createTimer(5, 5, [&] {
        ++first;
        queue.deleteTimer(timer);
        follower = queue.createTimer(5, 0, [&] { ++second; });
    });
    clock.advance(100);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
}

TEST(ManualClock, WindowTimersKilledByAnEarlierHandlerDoNotFire) {
    ManualClock clock;
    ScopedClock installed(clock);
    EventLoop loop;
    std::vector<std::uintptr_t> ids;
    trov::platform::WindowHandle window = trov::platform::kNoWindow;
    window = loop.createWindow([&](const EventLoop::Event& event) {
        ids.push_back(event.param);
        loop.killTimer(window, 2);
    });
    loop.setTimer(window, 1, 20);
    loop.setTimer(window, 2, 20);
    clock.advance(100);
    EXPECT_EQ(ids, (std::vector<std::uintptr_t>(5, 1)));
    loop.destroyWindow(window);
}

TEST(ManualClock, RemovingTheManualClockHandsTimersBackToTheRealOne) {
    std::atomic<int> calls{0};
    TimerQueue queue;
    std::shared_ptr<trov::platform::TimerQueueTimer> timer;
    {
        ManualClock clock;
        ScopedClock installed(clock);
        timer = queue.createTimer(0, 5, [&] { ++calls; });
        EXPECT_DOUBLE_EQ(trov::platform::clockSeconds(),
                         std::chrono::duration<double>(clock.now().time_since_epoch()).count());
    }
    trov::test::pollUntil(2s, [&] { return calls.load() >= 2; });
    EXPECT_GE(calls.load(), 2);
    queue.deleteTimer(timer);
}
