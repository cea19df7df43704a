#include "platform/TimerQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

using trov::platform::TimerQueue;
using trov::platform::TimerQueueTimer;
using namespace std::chrono_literals;

namespace {

// Callbacks record here; tests wait on it with generous bounds.
struct Log {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<int> entries;

    void add(int entry) {
        {
            std::lock_guard guard(mutex);
            entries.push_back(entry);
        }
        changed.notify_all();
    }
    bool waitForCount(std::size_t count, std::chrono::milliseconds bound = 3000ms) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, bound, [&] { return entries.size() >= count; });
    }
    std::vector<int> snapshot() {
        std::lock_guard guard(mutex);
        return entries;
    }
};

} // namespace

TEST(TimerQueue, FiresTimersInDueOrderNotCreationOrder) {
    Log log;
    TimerQueue queue;
    auto late = queue.createTimer(90, 0, [&] { log.add(3); });
    auto early = queue.createTimer(30, 0, [&] { log.add(1); });
    auto middle = queue.createTimer(60, 0, [&] { log.add(2); });
    ASSERT_TRUE(log.waitForCount(3));
    EXPECT_EQ(log.snapshot(), (std::vector<int>{1, 2, 3}));
}

TEST(TimerQueue, OneShotTimerFiresOnceAndPeriodicKeepsFiringUntilDeleted) {
    Log once;
    Log periodic;
    TimerQueue queue;
    auto single = queue.createTimer(5, 0, [&] { once.add(0); });
    auto repeating = queue.createTimer(5, 5, [&] { periodic.add(0); });
    ASSERT_TRUE(periodic.waitForCount(5));
    queue.deleteTimer(repeating);
    const std::size_t afterDelete = periodic.snapshot().size();
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(periodic.snapshot().size(), afterDelete);
    EXPECT_EQ(once.snapshot().size(), 1u);
    queue.deleteTimer(single); // an expired one-shot timer may still be deleted
}

TEST(TimerQueue, DeletedTimerNeverFires) {
    std::atomic<int> calls{0};
    TimerQueue queue;
    auto timer = queue.createTimer(60, 10, [&] { ++calls; });
    std::this_thread::sleep_for(20ms); // the service thread now sleeps until this timer is due
    queue.deleteTimer(timer);
    queue.deleteTimer(timer);
    queue.deleteTimer(nullptr);
    timer.reset(); // freed while the service thread still sleeps on its due time
    std::this_thread::sleep_for(120ms);
    EXPECT_EQ(calls.load(), 0);
}

TEST(TimerQueue, DeletingWaitsForTheCallbackUnderWay) {
    Log entered;
    std::atomic<bool> finished{false};
    TimerQueue queue;
    auto timer = queue.createTimer(1, 0, [&] {
        entered.add(0);
        std::this_thread::sleep_for(100ms);
        finished = true;
    });
    ASSERT_TRUE(entered.waitForCount(1));
    queue.deleteTimer(timer);
    EXPECT_TRUE(finished.load());
}

TEST(TimerQueue, CallbackMayDeleteItsOwnTimerWithoutDeadlock) {
    Log log;
    TimerQueue queue;
    std::mutex handleMutex;
    std::shared_ptr<TimerQueueTimer> self;
    std::unique_lock hold(handleMutex); // the callback waits until the handle is stored
    self = queue.createTimer(1, 1, [&] {
        EXPECT_TRUE(queue.isServiceThread());
        std::lock_guard guard(handleMutex);
        queue.deleteTimer(self);
        log.add(0);
    });
    EXPECT_FALSE(queue.isServiceThread());
    hold.unlock();
    ASSERT_TRUE(log.waitForCount(1));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(log.snapshot().size(), 1u);
}

TEST(TimerQueue, DestroyingTheQueueWithLiveTimersEndsItsThread) {
    Log log;
    {
        TimerQueue queue;
        auto timer = queue.createTimer(1, 1, [&] { log.add(0); });
        ASSERT_TRUE(log.waitForCount(2));
    }
    const std::size_t count = log.snapshot().size();
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(log.snapshot().size(), count);
}
