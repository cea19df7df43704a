#include "platform/TimerQueue.h"
#include "platform/LastingObjects.h"

#include "platform/Diagnostics.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <system_error>

namespace trov::platform {

class TimerQueueTimer {
public:
    TimerQueueTimer(const TimerQueue* queue, TimerQueue::Callback callback, ClockTime due,
                    std::chrono::steady_clock::duration period, unsigned long long sequence)
        : queue(queue), callback(std::move(callback)), due(due), period(period), sequence(sequence) {}

    const TimerQueue* const queue;
    const TimerQueue::Callback callback;
    // The rest is guarded by the queue's mutex.
    ClockTime due;
    const std::chrono::steady_clock::duration period; // zero for a one-shot timer
    unsigned long long sequence; // breaks ties between equal due times: first come, first served
};

namespace {

bool firesBefore(const std::shared_ptr<TimerQueueTimer>& a, const std::shared_ptr<TimerQueueTimer>& b) {
    return a->due != b->due ? a->due < b->due : a->sequence < b->sequence;
}

} // namespace

TimerQueue::TimerQueue() {
    addClockClient(this);
}

TimerQueue::~TimerQueue() {
    removeClockClient(this);
    {
        std::lock_guard guard(mutex_);
        ending_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

TimerQueue& TimerQueue::defaultQueue() {
    // Kept to the end: timers owned by other process-wide objects may be deleted during their teardown.
    static TimerQueue* const queue = keepToTheEnd(new TimerQueue);
    return *queue;
}

std::shared_ptr<TimerQueueTimer> TimerQueue::createTimer(unsigned dueMs, unsigned periodMs,
                                                         Callback callback) {
    std::shared_ptr<TimerQueueTimer> timer;
    {
        std::lock_guard guard(mutex_);
        if (!thread_.joinable()) {
            try {
                thread_ = std::thread([this] { serve(); });
            } catch (const std::system_error& error) {
                report(3, std::string("timer queue: cannot start the service thread: ") + error.what());
                return nullptr;
            }
            serviceId_ = thread_.get_id();
        }
        timer = std::make_shared<TimerQueueTimer>(this, std::move(callback),
                                                  clockNow() + std::chrono::milliseconds(dueMs),
                                                  std::chrono::milliseconds(periodMs), nextSequence_++);
        timers_.push_back(timer);
    }
    wake_.notify_all();
    return timer;
}

void TimerQueue::deleteTimer(const std::shared_ptr<TimerQueueTimer>& timer) {
    if (!timer || timer->queue != this)
        return;
    std::unique_lock lock(mutex_);
    auto it = std::find(timers_.begin(), timers_.end(), timer);
    if (it != timers_.end())
        timers_.erase(it);
    // Only one callback runs at a time, so on the thread running one no callback of another timer is under
    // way.
    if (inFlight_ && std::this_thread::get_id() == inFlightThread_)
        return;
    finished_.wait(lock, [&] { return inFlight_ != timer; });
}

bool TimerQueue::isServiceThread() const {
    std::lock_guard guard(mutex_);
    return std::this_thread::get_id() == serviceId_;
}

void TimerQueue::runEarliest(std::unique_lock<std::mutex>& lock, ClockTime now) {
    auto next = std::min_element(timers_.begin(), timers_.end(), firesBefore);
    std::shared_ptr<TimerQueueTimer> timer = *next;
    if (timer->period == std::chrono::steady_clock::duration::zero()) {
        timers_.erase(next);
    } else {
        timer->due += timer->period;
        // A late service thread skips the ticks it missed rather than firing them in a burst.
        if (timer->due <= now)
            timer->due = now + timer->period;
        timer->sequence = nextSequence_++;
    }
    inFlight_ = timer;
    inFlightThread_ = std::this_thread::get_id();
    lock.unlock();
    try {
        timer->callback();
    } catch (const std::exception& error) {
        report(3, std::string("timer queue: a timer callback failed: ") + error.what());
    } catch (...) {
        report(3, "timer queue: a timer callback failed");
    }
    lock.lock();
    inFlight_.reset();
    inFlightThread_ = std::thread::id();
    finished_.notify_all();
    // The last reference may go here; whatever the callback captured is released without the lock.
    lock.unlock();
    timer.reset();
    lock.lock();
}

void TimerQueue::serve() {
    std::unique_lock lock(mutex_);
    while (!ending_) {
        // Under a manual clock the timers are the clock's to fire; a clock change wakes us.
        if (timers_.empty() || clockService().isManual()) {
            wake_.wait(lock);
            continue;
        }
        auto next = std::min_element(timers_.begin(), timers_.end(), firesBefore);
        const ClockTime now = clockNow();
        if (now < (*next)->due) {
            // A copy: the timer may be deleted and freed while we sleep.
            const ClockTime due = (*next)->due;
            wake_.wait_until(lock, due);
            continue;
        }
        runEarliest(lock, now);
    }
}

ClockTime TimerQueue::nextDue() {
    std::lock_guard guard(mutex_);
    if (timers_.empty())
        return ClockTime::max();
    return (*std::min_element(timers_.begin(), timers_.end(), firesBefore))->due;
}

bool TimerQueue::fireDue(ClockTime now) {
    std::unique_lock lock(mutex_);
    if (timers_.empty() || (*std::min_element(timers_.begin(), timers_.end(), firesBefore))->due > now)
        return false;
    runEarliest(lock, now);
    return true;
}

void TimerQueue::clockChanged() {
    { std::lock_guard guard(mutex_); }
    wake_.notify_all();
}

} // namespace trov::platform
