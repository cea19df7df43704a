#include "framework/Timer.h"

#include "framework/System.h"
#include "platform/TimerQueue.h"

#include <cmath>
#include <mutex>

namespace trov {

Timer::Timer(const Module* owner, const Message& message, int intervalMs, bool oneShot, bool startNow)
    : Radio(owner), reportedInterval_(intervalMs), period_(intervalMs), message_(message.clone()),
      oneShot_(oneShot) {
    if (startNow)
        start();
}

Timer::~Timer() {
    stop(true);
    std::lock_guard guard(getLock());
    message_.reset();
}

void Timer::setInterval(int intervalMs) {
    std::lock_guard guard(getLock());
    period_ = intervalMs;
}

void Timer::setMessage(const Message& message) {
    std::unique_ptr<Message> copy(message.clone());
    std::lock_guard guard(getLock());
    message_.swap(copy);
}

void Timer::start() {
    std::lock_guard guard(getLock());
    if (platformTimer_)
        return;
    // The lock keeps even an immediate first tick waiting until the times below are set.
    // A period that truncates to 0 ms would make a periodic timer a one-shot one: it runs at 1 ms instead.
    const unsigned periodMs = period_ >= 1.0 ? static_cast<unsigned>(period_) : 1u;
    platformTimer_ =
        platform::TimerQueue::defaultQueue().createTimer(periodMs, oneShot_ ? 0u : periodMs, [this] {
            if (!isStopping())
                tick();
        });
    if (platformTimer_)
        startTime_ = lastTickTime_ = getTime();
    running_ = true;
}

void Timer::stop(bool final) {
    // Made known before the lock is asked for: ticks that come meanwhile return without taking it.
    stopsUnderWay_.fetch_add(1, std::memory_order_acq_rel);
    struct StopEnds {
        std::atomic<int>& count;
        ~StopEnds() { count.fetch_sub(1, std::memory_order_acq_rel); }
    } const ends{stopsUnderWay_};
    std::shared_ptr<platform::TimerQueueTimer> platformTimer;
    {
        std::lock_guard guard(getLock());
        if (!platformTimer_)
            return;
        if (final)
            oneShot_ = true;
        else
            running_ = false;
        platformTimer.swap(platformTimer_);
    }
    // Without the lock: the wait for a tick in flight must let that tick take it.
    platform::TimerQueue::defaultQueue().deleteTimer(platformTimer);
}

void Timer::restart() {
    stop(false);
    start();
}

bool Timer::isRunning() const {
    std::lock_guard guard(getLock());
    return platformTimer_ != nullptr;
}

void Timer::tick() {
    if (isStopping())
        return;
    bool stopNow = false;
    {
        std::lock_guard guard(getLock());
        // A stop may have begun while this tick waited for the lock.
        if (!running_ || isStopping())
            return;
        const double now = getTime();
        secondsSincePrevious_ = std::trunc(now - lastTickTime_);
        secondsSinceStart_ = std::trunc(now - startTime_);
        lastTickTime_ = now;
        if (auto* timerMessage = dynamic_cast<TimerMessage*>(message_.get())) {
            timerMessage->interval = reportedInterval_;
            timerMessage->secondsSinceStart = secondsSinceStart_;
            timerMessage->secondsSincePrevious = secondsSincePrevious_;
        }
        if (platformTimer_ && message_) {
            broadcast(*message_);
            stopNow = oneShot_;
        } else {
            stopNow = true;
        }
        // A timer that stops here has ticked for the last time: an overriding stop may tick once more (an
        // animation jumping to its end), and that tick must find it not running, or the two call each
        // other for ever (a one-shot animation, or a late tick after a final stop).
        if (stopNow)
            running_ = false;
    }
    // Outside the lock, since stopping from another thread than the timer's own waits for its tick.
    if (stopNow)
        stop(false);
}

} // namespace trov
