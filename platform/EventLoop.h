#pragma once

#include "platform/ClockService.h"
#include "platform/WindowHandle.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace trov::platform {

// The in-process window system and message loop of the user-interface thread: windows with an event
// handler each, a queue of posted events, window timers and the quit request.
//
// Events are delivered only by `pump` and `run`, on the thread that calls them: handlers run there, never
// on the poster's thread. Posting, timers and the quit request are safe from any thread. Windows are
// created and destroyed on the pumping thread; during a handler, windows, timers and posts may be changed
// freely (a destroyed window or killed timer gets no further events, even ones already collected).
// Timers run on the installed clock (`clockService`); under a manual clock, advancing it delivers the
// window timers that fall due on the advancing thread, and `run` sleeps until an event is posted.
class EventLoop : private ClockClient {
public:
    struct Event {
        WindowHandle window = kNoWindow;
        std::uint32_t code = 0;
        std::uintptr_t param = 0; // the timer id of a timer event
        std::intptr_t data = 0;
        ClockTime time{}; // when posted (or fell due), on the installed clock
    };
    using Handler = std::function<void(const Event&)>;

    static constexpr std::uint32_t kTimerEvent = 0x0113;
    // A quit request as `takeEvent` hands it over; param holds the code.
    static constexpr std::uint32_t kQuitEvent = 0x0012;
    // Codes from here on are free for the windows' owners.
    static constexpr std::uint32_t kFirstUserEvent = 0x0400;
    // Shorter timer periods are raised to this.
    static constexpr unsigned kMinimumTimerPeriodMs = 10;

    EventLoop();
    ~EventLoop() override;
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    // The process-wide loop of the user-interface thread; it lives until the process ends.
    static EventLoop& instance();

    WindowHandle createWindow(Handler handler);
    // Drops the window's pending events and timers. Unknown handles are ignored.
    void destroyWindow(WindowHandle window);
    bool isWindow(WindowHandle window) const;

    // Queues an event for the window; false when there is no such window.
    bool post(WindowHandle window, std::uint32_t code, std::uintptr_t param = 0, std::intptr_t data = 0);

    // Starts (or, for an id the window already uses, re-periods) a timer that delivers a timer event with
    // the id every periodMs. At most one timer event per timer is delivered per pump, however late the
    // pump. Returns the id, or 0 for an unknown window or the id 0.
    std::uintptr_t setTimer(WindowHandle window, std::uintptr_t id, unsigned periodMs);
    // False when the window has no such timer.
    bool killTimer(WindowHandle window, std::uintptr_t id);

    // Delivers the events pending now (posted ones in order, then due timers) on the calling thread and
    // returns how many were delivered. Posted events are taken from the queue one at a time, so a modal
    // loop that a handler starts takes the input queued behind its event. Events posted after the pump
    // began (by the handlers, say) wait for the next pump.
    std::size_t pump();
    // Pumps, sleeping in between until an event is posted or a timer is due, until a quit is requested;
    // returns the quit code.
    int run();

    // For modal loops, which serve the queue themselves and end when it runs dry: takes the next posted
    // event without waiting; when none is queued, takes a pending quit request instead (clearing it, so a
    // loop that ends because of it posts it again). False when neither is pending. Timers are not taken.
    bool takeEvent(Event& event);
    // Hands an event to its window's handler on the calling thread (a synchronous send); false when the
    // window is gone.
    bool dispatch(const Event& event);
    std::size_t pendingCount() const;

    void postQuit(int code);
    bool quitRequested() const;
    int quitCode() const;

private:
    using Duration = std::chrono::steady_clock::duration;
    struct Window {
        std::shared_ptr<Handler> handler;
        std::map<std::uintptr_t, std::pair<Duration, ClockTime>> timers; // period, next due
    };

    ClockTime nextDue() override;
    bool fireDue(ClockTime now) override;
    void clockChanged() override;
    // Delivers a timer event unless an earlier handler has killed the timer or its window meanwhile.
    bool deliverTimer(const Event& event);

    std::shared_ptr<Handler> handlerFor(const Event& event) const;
    // Takes the queue's front event when it was posted before `end`; with its window's handler.
    bool takeFrontBefore(std::uint64_t end, Event& event, std::shared_ptr<Handler>& handler);

    struct Queued {
        Event event;
        std::uint64_t serial; // posting order, for telling what a pump found queued when it began
    };

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::map<WindowHandle, Window> windows_;
    std::deque<Queued> events_;
    std::uint64_t nextSerial_ = 0;
    WindowHandle nextHandle_ = 1;
    bool quit_ = false;
    int quitCode_ = 0;
};

} // namespace trov::platform
