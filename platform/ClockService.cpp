#include "platform/ClockService.h"

#include <algorithm>
#include <atomic>
#include <vector>

namespace trov::platform {

namespace {

std::atomic<ClockService*> gClock{nullptr};

// Recursive: a timer fired by `ManualClock::advance` may make or destroy a timer queue of its own.
std::recursive_mutex& clientsMutex() {
    static auto* mutex = new std::recursive_mutex;
    return *mutex;
}

std::vector<ClockClient*>& clients() {
    static auto* list = new std::vector<ClockClient*>;
    return *list;
}

} // namespace

void addClockClient(ClockClient* client) {
    std::lock_guard guard(clientsMutex());
    clients().push_back(client);
}

void removeClockClient(ClockClient* client) {
    std::lock_guard guard(clientsMutex());
    auto& list = clients();
    list.erase(std::remove(list.begin(), list.end(), client), list.end());
}

ClockService& clockService() {
    static RealClock real;
    ClockService* clock = gClock.load(std::memory_order_acquire);
    return clock != nullptr ? *clock : real;
}

void setClockService(ClockService* clock) {
    std::lock_guard guard(clientsMutex());
    gClock.store(clock, std::memory_order_release);
    for (ClockClient* client : clients())
        client->clockChanged();
}

ClockTime clockNow() {
    return clockService().now();
}

double clockSeconds() {
    return std::chrono::duration<double>(clockNow().time_since_epoch()).count();
}

ManualClock::ManualClock() : now_(std::chrono::steady_clock::now()) {}

ClockTime ManualClock::now() const {
    std::lock_guard guard(mutex_);
    return now_;
}

void ManualClock::stall(unsigned ms) {
    std::lock_guard guard(mutex_);
    now_ += std::chrono::milliseconds(ms);
}

void ManualClock::advance(unsigned ms) {
    std::lock_guard clientsGuard(clientsMutex());
    const ClockTime target = now() + std::chrono::milliseconds(ms);
    for (;;) {
        // Looked up afresh each time: a callback may have added or removed clients.
        ClockClient* earliest = nullptr;
        ClockTime due = ClockTime::max();
        for (ClockClient* client : clients()) {
            const ClockTime next = client->nextDue();
            if (next < due) {
                due = next;
                earliest = client;
            }
        }
        if (earliest == nullptr || due > target)
            break;
        ClockTime at;
        {
            std::lock_guard guard(mutex_);
            now_ = std::max(now_, due);
            at = now_;
        }
        earliest->fireDue(at);
    }
    std::lock_guard guard(mutex_);
    now_ = std::max(now_, target);
}

} // namespace trov::platform
