#include "framework/Timer.h"

#include "support/Events.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

using trov::Message;
using trov::Timer;
using trov::TimerMessage;
using namespace std::chrono_literals;

namespace {

// What a tick carried (a copied message would lose its times).
struct Tick {
    std::int32_t timerId;
    double interval, secondsSinceStart, secondsSincePrevious;
};

// Records the timer messages it hears; a hook runs inside the tick after recording.
class Listener : public trov::Radio {
public:
    bool receive(const Message& message) override {
        const auto* tick = dynamic_cast<const TimerMessage*>(&message);
        if (tick == nullptr)
            return false;
        ticks.add({tick->timerId, tick->interval, tick->secondsSinceStart, tick->secondsSincePrevious});
        if (hook)
            hook();
        return true;
    }
    trov::test::Events<Tick> ticks;
    std::function<void()> hook; // set before tuning in
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
    ASSERT_TRUE(listener.ticks.waitFor(1));
    EXPECT_TRUE(waitUntilStopped(timer));
    std::this_thread::sleep_for(80ms);
    ASSERT_EQ(listener.ticks.size(), 1u);
    EXPECT_EQ(listener.ticks.all()[0].timerId, kId);
}

TEST(Timer, TicksReportTheIntervalAndWholeSecondsOnly) {
    Listener listener;
    Timer timer(nullptr, kTick, 50, false, false);
    timer.addListener(&listener);
    timer.start();
    ASSERT_TRUE(listener.ticks.waitFor(3));
    timer.stop(false);
    EXPECT_FALSE(timer.isRunning());
    for (const Tick& tick : listener.ticks.all()) {
        EXPECT_EQ(tick.interval, 50.0);
        EXPECT_EQ(tick.secondsSinceStart, 0.0);
        EXPECT_EQ(tick.secondsSincePrevious, 0.0);
    }
}

TEST(Timer, NewIntervalTakesEffectOnlyOnRestartAndStartWhileArmedKeepsTheTimer) {
    Listener listener;
    Timer timer(nullptr, kTick, 20, false, true);
    timer.addListener(&listener);
    ASSERT_TRUE(listener.ticks.waitFor(1));
    timer.setInterval(5000);
    timer.start();
    ASSERT_TRUE(listener.ticks.waitFor(listener.ticks.size() + 3)); // still every 20 ms
    timer.restart();
    EXPECT_TRUE(timer.isRunning());
    const std::size_t afterRestart = listener.ticks.size();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(listener.ticks.size(), afterRestart);
    EXPECT_EQ(listener.ticks.all().back().interval, 20.0);
}

TEST(Timer, BroadcastsTheMessageGivenLast) {
    Listener listener;
    Timer timer(nullptr, kTick, 10, false, false);
    timer.addListener(&listener);
    const std::int32_t otherId = trov::makeTimerId("OTHR");
    timer.setMessage(TimerMessage(nullptr, trov::Code::kTimerTick, otherId, 0));
    timer.start();
    ASSERT_TRUE(listener.ticks.waitFor(1));
    timer.stop(false);
    EXPECT_EQ(listener.ticks.all()[0].timerId, otherId);
}

TEST(Timer, StoppingFromInsideTheTickDoesNotDeadlock) {
    Listener listener;
    Timer timer(nullptr, kTick, 10, false, false);
    listener.hook = [&] { timer.stop(false); };
    timer.addListener(&listener);
    timer.start();
    ASSERT_TRUE(listener.ticks.waitFor(1));
    EXPECT_TRUE(waitUntilStopped(timer));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(listener.ticks.size(), 1u);
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
    ASSERT_TRUE(listener.ticks.waitFor(1));
    timer.reset();
    EXPECT_TRUE(tickEnded.load());
    const std::size_t seen = listener.ticks.size();
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(listener.ticks.size(), seen);
}

// Ticks slower than their period ran back to back, each taking the station's lock again before a stopping
// thread waiting for it ever got it: a tick that gets the lock once a stop is under way returns at once.
TEST(Timer, ATickThatGetsTheLockWhileAStopIsUnderWayReturnsWithoutTicking) {
    struct HeldTimer : Timer {
        using Timer::getLock;
        using Timer::Timer;
    };
    Listener listener;
    HeldTimer timer(nullptr, kTick, 60000, false, false);
    timer.addListener(&listener);
    timer.start();
    std::thread stopping;
    {
        const std::lock_guard held(timer.getLock());
        stopping = std::thread([&timer] { timer.stop(true); });
        while (!timer.isStopping())
            std::this_thread::yield();
        // As the service thread's next tick would, once the lock is its own.
        timer.tick();
    }
    stopping.join();
    EXPECT_EQ(listener.ticks.size(), 0u);
    EXPECT_FALSE(timer.isRunning());
}
