#pragma once

#include <chrono>
#include <mutex>

namespace trov::platform {

using ClockTime = std::chrono::steady_clock::time_point;

// Where timers and the framework's time (`trov::getTime`) take the present from. Production keeps the real
// monotonic clock. Tests install a `ManualClock`: its time moves only when advanced, and advancing fires the
// timers that fall due on the way (timer-queue timers and the event loop's window timers), in due order, on
// the advancing thread. Install and remove a clock while no timer is firing (at the start and the end of a
// test); `now` may be called from any thread.
class ClockService {
public:
    virtual ~ClockService() = default;
    virtual ClockTime now() const = 0;
    // True when time moves only when told; timer-service threads then leave every timer to the clock.
    virtual bool isManual() const = 0;
};

class RealClock : public ClockService {
public:
    ClockTime now() const override { return std::chrono::steady_clock::now(); }
    bool isManual() const override { return false; }
};

// What holds timers on the installed clock. Timer queues and event loops register while they live, so that
// a manual clock can fire their timers and a clock change can wake their waiting threads.
class ClockClient {
public:
    virtual ~ClockClient() = default;
    // The due time of the earliest timer, or ClockTime::max() without one.
    virtual ClockTime nextDue() = 0;
    // Fires the earliest timer due at or before now on the calling thread; false when none is due.
    virtual bool fireDue(ClockTime now) = 0;
    // The installed clock changed; threads that sleep until a due time look again.
    virtual void clockChanged() = 0;
};

void addClockClient(ClockClient* client);
void removeClockClient(ClockClient* client);

// A clock that stands still until told. It starts at the real clock's present, so times taken before and
// after installing it stay ordered. Advance it from one thread at a time.
class ManualClock : public ClockService {
public:
    ManualClock();
    ClockTime now() const override;
    bool isManual() const override { return true; }

    // Moves the time forward by ms, stopping at each due time on the way to fire what falls due there, in
    // due order (ties: the clients' own order), on this thread. Callbacks may create and delete timers.
    void advance(unsigned ms);
    // Moves the time forward without firing anything, as if the timer thread had been held up; the next
    // `advance` fires every late timer once (periodic timers skip the ticks they missed).
    void stall(unsigned ms);

private:
    mutable std::mutex mutex_;
    ClockTime now_;
};

// The installed clock; the real one when none is installed.
ClockService& clockService();
// Installs a clock (not owned); null restores the real one.
void setClockService(ClockService* clock);
// The installed clock's present, and the same as seconds (on the monotonic clock's scale).
ClockTime clockNow();
double clockSeconds();

// Installs a clock for a scope.
class ScopedClock {
public:
    explicit ScopedClock(ClockService& clock) { setClockService(&clock); }
    ~ScopedClock() { setClockService(nullptr); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;
};

} // namespace trov::platform
