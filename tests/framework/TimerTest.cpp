#include "framework/Timer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using trov::Message;
using trov::Timer;
using trov::TimerMessage;
using namespace std::chrono_literals;

namespace {

struct Tick {
    std::int32_t timerId;
    double interval;
    double secondsSinceStart;
    double secondsSincePrevious;
};

// Records the timer messages it hears; a hook runs inside the tick after recording.
class Listener : public trov::Radio {
public:
    bool receive(const Message& message) override {
        const auto* timerMessage = dynamic_cast<const TimerMessage*>(&message);
        if (timerMessage == nullptr)
            return false;
        {
            std::lock_guard guard(mutex_);
            ticks_.push_back({timerMessage->timerId, timerMessage->interval, timerMessage->secondsSinceStart,
                              timerMessage->secondsSincePrevious});
        }
        changed_.notify_all();
        if (hook)
            hook();
        return true;
    }

    bool waitForTicks(std::size_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 3s, [&] { return ticks_.size() >= count; });
    }
    std::vector<Tick> ticks() {
        std::lock_guard guard(mutex_);
        return ticks_;
    }

    std::function<void()> hook; // set before tuning in

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Tick> ticks_;
};

bool waitUntilStopped(const Timer& timer) {
    for (int i = 0; i < 300 && timer.isRunning(); ++i)
        std::this_thread::sleep_for(10ms);
    return !timer.isRunning();
}

const std::int32_t kId = trov::makeTimerId("TEST");
const TimerMessage kTick(nullptr, trov::Code::kTimerTick, kId, 0);

} // namespace

TEST(Timer, OneShotTimerBroadcastsOnceThenStops) {
    Listener listener;
    Timer timer(nullptr, kTick, 30, true, false);
    timer.addListener(&listener);
    EXPECT_FALSE(timer.isRunning());
    timer.start();
    EXPECT_TRUE(timer.isRunning());
    ASSERT_TRUE(listener.waitForTicks(1));
    EXPECT_TRUE(waitUntilStopped(timer));
    std::this_thread::sleep_for(80ms);
    ASSERT_EQ(listener.ticks().size(), 1u);
    EXPECT_EQ(listener.ticks()[0].timerId, kId);
    EXPECT_EQ(listener.ticks()[0].interval, 30.0);
}

TEST(Timer, TicksReportTheIntervalAndWholeSecondsOnly) {
    Listener listener;
    Timer timer(nullptr, kTick, 50, false, false);
    timer.addListener(&listener);
    timer.start();
    ASSERT_TRUE(listener.waitForTicks(3));
    timer.stop(false);
    EXPECT_FALSE(timer.isRunning());
    for (const Tick& tick : listener.ticks()) {
        EXPECT_EQ(tick.interval, 50.0);
        EXPECT_EQ(tick.secondsSinceStart, 0.0);
        EXPECT_EQ(tick.secondsSincePrevious, 0.0);
    }
}

TEST(Timer, NewIntervalTakesEffectOnlyOnRestart) {
    Listener listener;
    Timer timer(nullptr, kTick, 20, false, true);
    timer.addListener(&listener);
    ASSERT_TRUE(listener.waitForTicks(1));
    timer.setInterval(5000);
    const std::size_t before = listener.ticks().size();
    ASSERT_TRUE(listener.waitForTicks(before + 3)); // still every 20 ms
    timer.restart();
    EXPECT_TRUE(timer.isRunning());
    const std::size_t afterRestart = listener.ticks().size();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(listener.ticks().size(), afterRestart);
    EXPECT_EQ(listener.ticks().back().interval, 20.0);
}

TEST(Timer, StartWhileArmedKeepsTheRunningTimer) {
    Listener listener;
    Timer timer(nullptr, kTick, 20, true, true);
    timer.addListener(&listener);
    timer.start();
    ASSERT_TRUE(listener.waitForTicks(1));
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(listener.ticks().size(), 1u);
}

TEST(Timer, BroadcastsTheMessageGivenLast) {
    Listener listener;
    Timer timer(nullptr, kTick, 10, false, false);
    timer.addListener(&listener);
    const std::int32_t otherId = trov::makeTimerId("OTHR");
    timer.setMessage(TimerMessage(nullptr, trov::Code::kTimerTick, otherId, 0));
    timer.start();
    ASSERT_TRUE(listener.waitForTicks(1));
    timer.stop(false);
    EXPECT_EQ(listener.ticks()[0].timerId, otherId);
}

TEST(Timer, StoppingFromInsideTheTickDoesNotDeadlock) {
    Listener listener;
    Timer timer(nullptr, kTick, 10, false, false);
    listener.hook = [&] { timer.stop(false); };
    timer.addListener(&listener);
    timer.start();
    ASSERT_TRUE(listener.waitForTicks(1));
    EXPECT_TRUE(waitUntilStopped(timer));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(listener.ticks().size(), 1u);
}

TEST(Timer, DestroyingATimerWaitsForItsTickInFlight) {
    Listener listener;
    std::atomic<bool> tickEnded{false};
    listener.hook = [&] {
        std::this_thread::sleep_for(100ms);
        tickEnded = true;
    };
    auto timer = std::make_unique<Timer>(nullptr, kTick, 5, false, false);
    timer->addListener(&listener);
    timer->start();
    ASSERT_TRUE(listener.waitForTicks(1));
    timer.reset();
    EXPECT_TRUE(tickEnded.load());
    const std::size_t seen = listener.ticks().size();
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(listener.ticks().size(), seen);
}
