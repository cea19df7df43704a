#include "framework/Thread.h"
#include "framework/CriticalSection.h"
#include "framework/Radio.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

using trov::Message;
using trov::Thread;
using namespace std::chrono_literals;

namespace {

// A client that counts its cycles and can hold a cycle until released.
class Client : public trov::Radio {
public:
    bool receive(const Message& message) override {
        std::unique_lock lock(mutex_);
        ++cycles_;
        code_ = message.code;
        worker_ = std::this_thread::get_id();
        changed_.notify_all();
        changed_.wait(lock, [&] { return !holding_; });
        if (slowMs_ > 0) {
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(slowMs_));
            lock.lock();
        }
        ++finished_;
        return keepGoing_;
    }

    bool waitForCycles(int count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 3s, [&] { return cycles_ >= count; });
    }
    void hold() {
        std::lock_guard guard(mutex_);
        holding_ = true;
    }
    void release() {
        {
            std::lock_guard guard(mutex_);
            holding_ = false;
        }
        changed_.notify_all();
    }
    void endAfterNextCycle() {
        std::lock_guard guard(mutex_);
        keepGoing_ = false;
    }
    void beSlow(int ms) {
        std::lock_guard guard(mutex_);
        slowMs_ = ms;
    }
    int cycles() {
        std::lock_guard guard(mutex_);
        return cycles_;
    }
    int finished() {
        std::lock_guard guard(mutex_);
        return finished_;
    }
    std::int32_t code() {
        std::lock_guard guard(mutex_);
        return code_;
    }
    std::thread::id worker() {
        std::lock_guard guard(mutex_);
        return worker_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int cycles_ = 0;
    int finished_ = 0;
    std::int32_t code_ = 0;
    std::thread::id worker_;
    bool holding_ = false;
    bool keepGoing_ = true;
    int slowMs_ = 0;
};

const Message kWork(nullptr, trov::kKindSystem, trov::Code::kWorkerData, 0);

} // namespace

TEST(Thread, WorkerBuiltRunningCallsItsClientOnceWithoutTrigger) {
    Client client;
    Thread worker(&client, kWork, true);
    ASSERT_TRUE(client.waitForCycles(1));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(client.cycles(), 1);
    EXPECT_EQ(client.code(), trov::Code::kWorkerData);
    EXPECT_NE(client.worker(), std::this_thread::get_id());
    EXPECT_FALSE(worker.isPaused());
}

TEST(Thread, PausedWorkerCallsItsClientOnlyAfterTrigger) {
    Client client;
    Thread worker(&client, kWork, false);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(client.cycles(), 0);
    EXPECT_TRUE(worker.isPaused());
    worker.trigger();
    EXPECT_FALSE(worker.isPaused());
    ASSERT_TRUE(client.waitForCycles(1));
    worker.trigger();
    ASSERT_TRUE(client.waitForCycles(2));
}

TEST(Thread, TriggersBeforeTheWorkerWakesCoalesceIntoOneCycle) {
    Client client;
    client.hold();
    Thread worker(&client, kWork, true);
    ASSERT_TRUE(client.waitForCycles(1));
    EXPECT_TRUE(worker.isBusy());
    worker.trigger();
    worker.trigger();
    worker.trigger();
    client.release();
    ASSERT_TRUE(client.waitForCycles(2));
    std::this_thread::sleep_for(80ms);
    EXPECT_EQ(client.cycles(), 2);
}

TEST(Thread, ClientReturningFalseEndsTheWorker) {
    Client client;
    client.endAfterNextCycle();
    Thread worker(&client, kWork, true);
    ASSERT_TRUE(client.waitForCycles(1));
    worker.trigger();
    std::this_thread::sleep_for(80ms);
    EXPECT_EQ(client.cycles(), 1);
}

TEST(Thread, StoppedWorkerRunsNoFurtherCycle) {
    Client client;
    Thread worker(&client, kWork, false);
    worker.stop();
    EXPECT_TRUE(worker.isPaused());
    worker.trigger();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(client.cycles(), 0);
}

TEST(Thread, PauseOnAPausedWorkerWaitsForTheCycleUnderWay) {
    Client client;
    client.hold();
    Thread worker(&client, kWork, true);
    ASSERT_TRUE(client.waitForCycles(1));
    worker.pause(); // was running: only marks it paused
    EXPECT_TRUE(worker.isPaused());
    auto waiting = std::async(std::launch::async, [&] { worker.pause(); });
    EXPECT_EQ(waiting.wait_for(50ms), std::future_status::timeout);
    client.release();
    EXPECT_EQ(waiting.wait_for(3s), std::future_status::ready);
    EXPECT_EQ(client.finished(), 1);
    EXPECT_FALSE(worker.isBusy());
}

TEST(Thread, PriorityLevelsOutsideTheRangeMeanNormal) {
    Client client;
    Thread worker(&client, kWork, false);
    EXPECT_EQ(worker.getPriority(), Thread::kNormal);
    worker.setPriority(Thread::kLowest);
    EXPECT_EQ(worker.getPriority(), Thread::kLowest);
    worker.setPriority(7);
    EXPECT_EQ(worker.getPriority(), Thread::kNormal);
    worker.setPriority(-1);
    EXPECT_EQ(worker.getPriority(), Thread::kNormal);
    worker.setPriority(Thread::kTimeCritical); // may be refused by the system; kept all the same
    EXPECT_EQ(worker.getPriority(), Thread::kTimeCritical);
}

TEST(Thread, DestructionWaitsForTheCycleUnderWay) {
    Client client;
    client.beSlow(100);
    auto worker = std::make_unique<Thread>(&client, kWork, true);
    ASSERT_TRUE(client.waitForCycles(1));
    worker.reset();
    EXPECT_EQ(client.finished(), 1);
}

TEST(Thread, WorkerWithoutClientStillSignalsEachCycle) {
    Thread worker(nullptr, kWork, false);
    EXPECT_TRUE(worker.waitDone(0)); // built paused: signalled from the start
    EXPECT_FALSE(worker.waitDone(0));
    worker.trigger();
    EXPECT_TRUE(worker.waitDone(3000));
}

TEST(CriticalSection, TryEnterFailsWhileAnotherThreadHoldsItAndNestsOnTheSameThread) {
    trov::CriticalSection lock;
    lock.enter();
    EXPECT_TRUE(lock.tryEnter());
    lock.leave();
    EXPECT_FALSE(std::async(std::launch::async, [&] { return lock.tryEnter(); }).get());
    lock.leave();
    auto other = std::async(std::launch::async, [&] {
        const bool taken = lock.tryEnter();
        if (taken)
            lock.leave();
        return taken;
    });
    EXPECT_TRUE(other.get());
}
