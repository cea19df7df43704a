#include "platform/TimerQueue.h"

#include "platform/ClockService.h"

#include "support/Events.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

using trov::platform::ManualClock;
using trov::platform::ScopedClock;
using trov::platform::TimerQueue;
using trov::platform::TimerQueueTimer;
using trov::test::Events;
using namespace std::chrono_literals;

TEST(TimerQueue, FiresTimersInDueOrderNotCreationOrder) {
    Events<> fired;
    TimerQueue queue;
    auto late = queue.createTimer(90, 0, [&] { fired.add(3); });
    auto early = queue.createTimer(30, 0, [&] { fired.add(1); });
    auto middle = queue.createTimer(60, 0, [&] { fired.add(2); });
    ASSERT_TRUE(fired.waitFor(3));
    EXPECT_EQ(fired.all(), (std::vector<int>{1, 2, 3}));
}

TEST(TimerQueue, OneShotTimerFiresOnceAndPeriodicKeepsFiringUntilDeleted) {
    Events<> fired;
    TimerQueue queue;
    auto single = queue.createTimer(5, 0, [&] { fired.add(1); });
    auto repeating = queue.createTimer(5, 5, [&] { fired.add(0); });
    ASSERT_TRUE(fired.waitFor(6));
    queue.deleteTimer(repeating);
    const std::size_t afterDelete = fired.size();
    std::this_thread::sleep_for(60ms);
    const std::vector<int> all = fired.all();
    EXPECT_EQ(all.size(), afterDelete);
    EXPECT_EQ(std::count(all.begin(), all.end(), 1), 1);
    queue.deleteTimer(single); // an expired one-shot timer may still be deleted
}

TEST(TimerQueue, DeletedTimerNeverFires) {
    // On the manual clock: a sleep racing the due time fails whenever the test thread is held up.
    ManualClock clock;
    ScopedClock installed(clock);
    int calls = 0;
    TimerQueue queue;
    auto timer = queue.createTimer(60, 10, [&] { ++calls; });
    clock.advance(20);
    queue.deleteTimer(timer);
    queue.deleteTimer(timer);
    queue.deleteTimer(nullptr);
    timer.reset(); // freed before its due time
    clock.advance(120);
    EXPECT_EQ(calls, 0);

    // A timer deleted after its first tick stops there.
    auto ticking = queue.createTimer(60, 10, [&] { ++calls; });
    clock.advance(60);
    EXPECT_EQ(calls, 1);
    queue.deleteTimer(ticking);
    clock.advance(100);
    EXPECT_EQ(calls, 1);
}

TEST(TimerQueue, DeletingWaitsForTheCallbackUnderWay) {
    Events<> entered;
    std::atomic<bool> finished{false};
    TimerQueue queue;
    auto timer = queue.createTimer(1, 0, [&] {
        entered.add(0);
        std::this_thread::sleep_for(100ms);
        finished = true;
    });
    ASSERT_TRUE(entered.waitFor(1));
    queue.deleteTimer(timer);
    EXPECT_TRUE(finished.load());
}

TEST(TimerQueue, CallbackMayDeleteItsOwnTimerWithoutDeadlock) {
    Events<> fired;
    TimerQueue queue;
    std::mutex handleMutex;
    std::shared_ptr<TimerQueueTimer> self;
    std::unique_lock hold(handleMutex); // the callback waits until the handle is stored
    self = queue.createTimer(1, 1, [&] {
        EXPECT_TRUE(queue.isServiceThread());
        std::lock_guard guard(handleMutex);
        queue.deleteTimer(self);
        fired.add(0);
    });
    EXPECT_FALSE(queue.isServiceThread());
    hold.unlock();
    ASSERT_TRUE(fired.waitFor(1));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(fired.size(), 1u);
}

TEST(TimerQueue, DestroyingTheQueueWithLiveTimersEndsItsThread) {
    Events<> fired;
    {
        TimerQueue queue;
        auto timer = queue.createTimer(1, 1, [&] { fired.add(0); });
        ASSERT_TRUE(fired.waitFor(2));
    }
    const std::size_t count = fired.size();
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(fired.size(), count);
}
