#include "platform/EventLoop.h"
#include "platform/LastingObjects.h"

#include <algorithm>
#include <vector>

namespace trov::platform {

EventLoop::EventLoop() {
    addClockClient(this);
}

EventLoop::~EventLoop() {
    removeClockClient(this);
}

// Ends after every other static object: windows and timers of other process-wide objects may still go
// during their teardown.
EventLoop& EventLoop::instance() {
    static EventLoop* const loop = keepToTheEnd(new EventLoop);
    return *loop;
}

WindowHandle EventLoop::createWindow(Handler handler) {
    std::lock_guard guard(mutex_);
    const WindowHandle window = nextHandle_++;
    windows_[window].handler = std::make_shared<Handler>(std::move(handler));
    return window;
}

void EventLoop::destroyWindow(WindowHandle window) {
    std::lock_guard guard(mutex_);
    if (windows_.erase(window) == 0)
        return;
    events_.erase(std::remove_if(events_.begin(), events_.end(),
                                 [window](const Queued& queued) { return queued.event.window == window; }),
                  events_.end());
}

bool EventLoop::isWindow(WindowHandle window) const {
    std::lock_guard guard(mutex_);
    return windows_.count(window) != 0;
}

bool EventLoop::post(WindowHandle window, std::uint32_t code, std::uintptr_t param, std::intptr_t data) {
    {
        std::lock_guard guard(mutex_);
        if (windows_.count(window) == 0)
            return false;
        events_.push_back(Queued{Event{window, code, param, data, clockNow()}, nextSerial_++});
    }
    wake_.notify_all();
    return true;
}

std::uintptr_t EventLoop::setTimer(WindowHandle window, std::uintptr_t id, unsigned periodMs) {
    if (id == 0)
        return 0;
    {
        std::lock_guard guard(mutex_);
        auto it = windows_.find(window);
        if (it == windows_.end())
            return 0;
        const Duration period = std::chrono::milliseconds(std::max(periodMs, kMinimumTimerPeriodMs));
        it->second.timers[id] = {period, clockNow() + period};
    }
    // A sleeping `run` must learn about the earlier deadline.
    wake_.notify_all();
    return id;
}

bool EventLoop::killTimer(WindowHandle window, std::uintptr_t id) {
    std::lock_guard guard(mutex_);
    auto it = windows_.find(window);
    return it != windows_.end() && it->second.timers.erase(id) != 0;
}

std::shared_ptr<EventLoop::Handler> EventLoop::handlerFor(const Event& event) const {
    auto it = windows_.find(event.window);
    return it != windows_.end() ? it->second.handler : nullptr;
}

bool EventLoop::takeFrontBefore(std::uint64_t end, Event& event, std::shared_ptr<Handler>& handler) {
    std::lock_guard guard(mutex_);
    if (events_.empty() || events_.front().serial >= end)
        return false;
    event = events_.front().event;
    events_.pop_front();
    handler = handlerFor(event);
    return true;
}

std::size_t EventLoop::pump() {
    std::uint64_t end = 0;
    std::vector<Event> timers;
    {
        std::lock_guard guard(mutex_);
        end = nextSerial_;
        const ClockTime now = clockNow();
        for (auto& [window, state] : windows_) {
            for (auto& [id, timer] : state.timers) {
                auto& [period, due] = timer;
                if (due > now)
                    continue;
                timers.push_back(Event{window, kTimerEvent, id, 0, now});
                due = now + period;
            }
        }
    }
    std::size_t delivered = 0;
    // Taken one at a time: a modal loop that a handler starts takes what follows itself, and the pump
    // goes on with what the loop leaves.
    for (;;) {
        Event event;
        std::shared_ptr<Handler> handler;
        if (!takeFrontBefore(end, event, handler))
            break;
        if (!handler || !*handler)
            continue;
        (*handler)(event);
        ++delivered;
    }
    for (const Event& timer : timers)
        delivered += deliverTimer(timer) ? 1 : 0;
    return delivered;
}

bool EventLoop::takeEvent(Event& event) {
    std::lock_guard guard(mutex_);
    if (!events_.empty()) {
        event = events_.front().event;
        events_.pop_front();
        return true;
    }
    if (!quit_)
        return false;
    quit_ = false;
    event = Event{kNoWindow, kQuitEvent, static_cast<std::uintptr_t>(quitCode_), 0, clockNow()};
    return true;
}

bool EventLoop::dispatch(const Event& event) {
    std::shared_ptr<Handler> handler;
    {
        std::lock_guard guard(mutex_);
        handler = handlerFor(event);
    }
    if (!handler || !*handler)
        return false;
    (*handler)(event);
    return true;
}

std::size_t EventLoop::pendingCount() const {
    std::lock_guard guard(mutex_);
    return events_.size();
}

bool EventLoop::deliverTimer(const Event& event) {
    std::shared_ptr<Handler> handler;
    {
        std::lock_guard guard(mutex_);
        handler = handlerFor(event);
        // A timer killed by an earlier handler delivers nothing more.
        if (handler && windows_.at(event.window).timers.count(event.param) == 0)
            handler.reset();
    }
    if (!handler || !*handler)
        return false;
    (*handler)(event);
    return true;
}

ClockTime EventLoop::nextDue() {
    std::lock_guard guard(mutex_);
    ClockTime earliest = ClockTime::max();
    for (const auto& [window, state] : windows_)
        for (const auto& [id, timer] : state.timers)
            earliest = std::min(earliest, timer.second);
    return earliest;
}

bool EventLoop::fireDue(ClockTime now) {
    Event event;
    {
        std::lock_guard guard(mutex_);
        ClockTime earliest = ClockTime::max();
        for (auto& [window, state] : windows_) {
            for (auto& [id, timer] : state.timers) {
                if (timer.second < earliest) {
                    earliest = timer.second;
                    event = Event{window, kTimerEvent, id, 0, timer.second};
                }
            }
        }
        if (earliest > now)
            return false;
        auto& [period, due] = windows_.at(event.window).timers.at(event.param);
        due = now + period;
    }
    deliverTimer(event);
    return true;
}

void EventLoop::clockChanged() {
    { std::lock_guard guard(mutex_); }
    wake_.notify_all();
}

int EventLoop::run() {
    for (;;) {
        pump();
        std::unique_lock lock(mutex_);
        if (quit_)
            return quitCode_;
        if (!events_.empty())
            continue;
        // Under a manual clock the timers are the clock's to deliver; only a post or a quit wakes us.
        ClockTime earliest = ClockTime::max();
        if (!clockService().isManual())
            for (const auto& [window, state] : windows_)
                for (const auto& [id, timer] : state.timers)
                    earliest = std::min(earliest, timer.second);
        if (earliest == ClockTime::max())
            wake_.wait(lock);
        else
            wake_.wait_until(lock, earliest);
    }
}

void EventLoop::postQuit(int code) {
    {
        std::lock_guard guard(mutex_);
        if (!quit_)
            quitCode_ = code;
        quit_ = true;
    }
    wake_.notify_all();
}

bool EventLoop::quitRequested() const {
    std::lock_guard guard(mutex_);
    return quit_;
}

int EventLoop::quitCode() const {
    std::lock_guard guard(mutex_);
    return quitCode_;
}

} // namespace trov::platform
