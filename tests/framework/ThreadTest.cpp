#include "framework/Thread.h"
#include "framework/CriticalSection.h"
#include "framework/Radio.h"

#include "support/Events.h"
#include "support/TestTime.h"

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <thread>

using trov::Message;
using trov::Thread;
using namespace std::chrono_literals;

namespace {

// A client that records the code of each cycle, checks the cycle runs on the worker, and can hold a cycle
// until a gate opens. Everything but the records is set before the worker starts.
class Client : public trov::Radio {
public:
    bool receive(const Message& message) override {
        EXPECT_NE(std::this_thread::get_id(), owner_);
        cycles.add(message.code);
        if (gate.valid())
            gate.wait();
        std::this_thread::sleep_for(slow);
        ++finished;
        return keepGoing;
    }
    trov::test::Events<std::int32_t> cycles;
    std::atomic<int> finished{0};
    std::shared_future<void> gate;
    std::chrono::milliseconds slow{0};
    bool keepGoing = true;

private:
    const std::thread::id owner_ = std::this_thread::get_id();
};

const Message kWork(nullptr, trov::kKindSystem, trov::Code::kWorkerData, 0);

} // namespace

TEST(Thread, BuiltRunningItCallsItsClientOnceAndBuiltPausedOnlyAfterATrigger) {
    Client running;
    Thread first(&running, kWork, true);
    Client paused;
    Thread second(&paused, kWork, false);
    ASSERT_TRUE(running.cycles.waitFor(1));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(running.cycles.all(), std::vector<std::int32_t>{trov::Code::kWorkerData});
    EXPECT_FALSE(first.isPaused());
    EXPECT_EQ(paused.cycles.size(), 0u);
    EXPECT_TRUE(second.isPaused());
    second.trigger();
    EXPECT_FALSE(second.isPaused());
    ASSERT_TRUE(paused.cycles.waitFor(1));
    second.trigger();
    ASSERT_TRUE(paused.cycles.waitFor(2));
}

TEST(Thread, TriggersBeforeTheWorkerWakesCoalesceIntoOneCycle) {
    std::promise<void> open;
    Client client;
    client.gate = open.get_future().share();
    Thread worker(&client, kWork, true);
    ASSERT_TRUE(client.cycles.waitFor(1));
    EXPECT_TRUE(worker.isBusy());
    for (int i = 0; i < 3; ++i)
        worker.trigger();
    open.set_value();
    ASSERT_TRUE(client.cycles.waitFor(2));
    std::this_thread::sleep_for(80ms);
    EXPECT_EQ(client.cycles.size(), 2u);
}

TEST(Thread, WorkerEndsWhenItsClientReturnsFalseOrWhenStopped) {
    Client ending;
    ending.keepGoing = false;
    Thread first(&ending, kWork, true);
    ASSERT_TRUE(ending.cycles.waitFor(1));
    first.trigger();

    Client client;
    Thread stopped(&client, kWork, false);
    stopped.stop();
    EXPECT_TRUE(stopped.isPaused());
    stopped.trigger();
    std::this_thread::sleep_for(80ms);
    EXPECT_EQ(ending.cycles.size(), 1u);
    EXPECT_EQ(client.cycles.size(), 0u);
}

TEST(Thread, PauseOnAPausedWorkerWaitsForTheCycleUnderWay) {
    std::promise<void> open;
    Client client;
    client.gate = open.get_future().share();
    Thread worker(&client, kWork, true);
    ASSERT_TRUE(client.cycles.waitFor(1));
    worker.pause(); // was running: only marks it paused
    EXPECT_TRUE(worker.isPaused());
    auto waiting = std::async(std::launch::async, [&] { worker.pause(); });
    EXPECT_EQ(waiting.wait_for(50ms), std::future_status::timeout);
    open.set_value();
    EXPECT_EQ(waiting.wait_for(trov::test::hangWait(3s)), std::future_status::ready);
    EXPECT_EQ(client.finished, 1);
    EXPECT_FALSE(worker.isBusy());
}

TEST(Thread, PriorityLevelsOutsideTheRangeMeanNormal) {
    Thread worker(nullptr, kWork, false);
    EXPECT_EQ(worker.getPriority(), Thread::kNormal);
    // The time-critical level may be refused by the system; it is kept all the same.
    const std::pair<int, int> cases[] = {{Thread::kLowest, Thread::kLowest},
                                         {7, Thread::kNormal},
                                         {-1, Thread::kNormal},
                                         {Thread::kTimeCritical, Thread::kTimeCritical}};
    for (const auto& [level, kept] : cases) {
        worker.setPriority(level);
        EXPECT_EQ(worker.getPriority(), kept) << level;
    }
}

TEST(Thread, DestructionWaitsForTheCycleUnderWay) {
    Client client;
    client.slow = 100ms;
    auto worker = std::make_unique<Thread>(&client, kWork, true);
    ASSERT_TRUE(client.cycles.waitFor(1));
    worker.reset();
    EXPECT_EQ(client.finished, 1);
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
