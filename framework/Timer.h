#pragma once

#include "framework/Radio.h"

#include <atomic>
#include <memory>

namespace trov {

namespace platform {
class TimerQueueTimer;
}

// A periodic or one-shot clock on the platform's timer queue: a station that broadcasts a copy of its
// message to its listeners at every tick. Ticks run on the timer-service thread, under this station's
// lock; listeners hand work to their own thread. Stopping or destroying a timer waits for a tick in flight
// (unless called from inside a tick), so no tick ever runs on a dead timer; no tick starts once a stop is
// under way, so a tick slower than its period cannot keep a stop waiting for the lock. Hence a timer must not
// be stopped or destroyed by a thread that holds its lock, nor destroyed from inside its own tick; a derived
// timer whose tick uses its own members stops the timer in its own destructor.
// Owner thread: any one thread starts, stops and configures a timer; `tick` runs on the service thread.
class Timer : public Radio {
public:
    Timer(const Module* owner, const Message& message, int intervalMs, bool oneShot, bool startNow);
    ~Timer() override;

    virtual void start();
    virtual void restart();
    virtual void stop(bool final);
    virtual bool isRunning() const;
    // Whether a stop is under way, on any thread; without the lock, so a long tick may end early.
    bool isStopping() const noexcept { return stopsUnderWay_.load(std::memory_order_acquire) > 0; }
    virtual void tick();

    // The period used from the next start; a period under 1 ms runs at 1 ms.
    void setInterval(int intervalMs);
    void setMessage(const Message& message);

protected:
    // For derived timers' ticks, under the station's lock.
    double getPeriod() const { return period_; }
    double getLastTickTime() const { return lastTickTime_; }
    Message* getMessage() { return message_.get(); }

private:
    // All guarded by the station's lock, which a tick holds throughout.
    const double reportedInterval_;
    double secondsSinceStart_ = 0.0;
    double secondsSincePrevious_ = 0.0;
    double startTime_ = 0.0;
    double lastTickTime_ = 0.0;
    double period_;
    std::unique_ptr<Message> message_;
    bool oneShot_;
    bool running_ = false;
    // Stops under way, made known without the lock: a tick that sees one returns at once, so a stopping
    // thread gets the lock after at most the tick in flight.
    std::atomic<int> stopsUnderWay_{0};
    std::shared_ptr<platform::TimerQueueTimer> platformTimer_;
};

} // namespace trov
