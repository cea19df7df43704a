#pragma once

#include "platform/ClockService.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace trov::platform {

// One timer of a queue; opaque to its holders, who only pass it back to `TimerQueue::deleteTimer`.
class TimerQueueTimer;

// A set of one-shot and periodic timers served by one timer-service thread, which runs every callback in
// due-time order. The thread starts with the first timer and ends with the queue.
//
// Due times are on the installed clock (`clockService`). Under a manual clock the service thread stays idle
// and the clock's `advance` runs the callbacks on the advancing thread instead.
//
// Any thread may create and delete timers. Deleting a timer guarantees that its callback does not start
// again and waits for a callback already under way, except when called from inside a callback (on the
// thread running it): then the timer is only marked dead, since waiting would never end. Callbacks may
// create and delete timers of their own queue; they must not destroy the queue.
class TimerQueue : private ClockClient {
public:
    using Callback = std::function<void()>;

    TimerQueue();
    TimerQueue(const TimerQueue&) = delete;
    TimerQueue& operator=(const TimerQueue&) = delete;
    // Ends the service thread after the callback under way, if any; timers not deleted never fire again.
    ~TimerQueue() override;

    // The process-wide queue; it lives until the process ends.
    static TimerQueue& defaultQueue();

    // First call after dueMs milliseconds, then every periodMs (0: once). Null when the service thread
    // could not be started.
    std::shared_ptr<TimerQueueTimer> createTimer(unsigned dueMs, unsigned periodMs, Callback callback);
    // Stops the timer for good; null is ignored, and so is a timer already deleted or of another queue.
    void deleteTimer(const std::shared_ptr<TimerQueueTimer>& timer);

    // True on this queue's service thread.
    bool isServiceThread() const;

private:
    ClockTime nextDue() override;
    bool fireDue(ClockTime now) override;
    void clockChanged() override;

    void serve();
    // Runs the earliest timer, due at or before now, with the lock released around its callback.
    void runEarliest(std::unique_lock<std::mutex>& lock, ClockTime now);

    mutable std::mutex mutex_;
    std::condition_variable wake_;     // the service thread: a new timer, or the end
    std::condition_variable finished_; // deleters: the callback under way has returned
    std::vector<std::shared_ptr<TimerQueueTimer>> timers_;
    std::shared_ptr<TimerQueueTimer> inFlight_;
    std::thread::id inFlightThread_; // the thread running inFlight_'s callback
    unsigned long long nextSequence_ = 0;
    bool ending_ = false;
    std::thread thread_;
    std::thread::id serviceId_;
};

} // namespace trov::platform
