#include "platform/ClockService.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <new>
#include <thread>
#include <vector>

namespace trov::platform {

namespace {

std::atomic<ClockService*> gClock{nullptr};

// The registered clients, and the one whose timer a manual clock is firing. The lock is never held while
// a timer fires, so callbacks may take any lock and make or drop timer queues and event loops.
struct Clients {
    std::mutex mutex;
    std::condition_variable idle;
    std::vector<ClockClient*> list;
    ClockClient* firing = nullptr;
    std::thread::id firingThread;
};

// Never destroyed (clients may leave during static destruction), and kept in static storage: once the
// last client has left, a module unloaded with it leaves nothing on the heap.
Clients& clients() {
    alignas(Clients) static unsigned char storage[sizeof(Clients)];
    static Clients* const instance = new (storage) Clients;
    return *instance;
}

} // namespace

void addClockClient(ClockClient* client) {
    Clients& c = clients();
    std::lock_guard guard(c.mutex);
    c.list.push_back(client);
}

void removeClockClient(ClockClient* client) {
    Clients& c = clients();
    std::unique_lock lock(c.mutex);
    c.list.erase(std::remove(c.list.begin(), c.list.end(), client), c.list.end());
    if (c.list.empty())
        c.list.shrink_to_fit();
    // A timer of the client firing on another thread finishes before the client goes.
    if (c.firingThread != std::this_thread::get_id())
        c.idle.wait(lock, [&] { return c.firing != client; });
}

ClockService& clockService() {
    // Never destroyed, and not on the heap: objects torn down after it at exit or unload still ask the
    // time.
    alignas(RealClock) static unsigned char storage[sizeof(RealClock)];
    static RealClock* const real = new (storage) RealClock;
    ClockService* clock = gClock.load(std::memory_order_acquire);
    return clock != nullptr ? *clock : *real;
}

void setClockService(ClockService* clock) {
    Clients& c = clients();
    std::lock_guard guard(c.mutex);
    gClock.store(clock, std::memory_order_release);
    for (ClockClient* client : c.list)
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
    Clients& c = clients();
    const ClockTime target = now() + std::chrono::milliseconds(ms);
    for (;;) {
        ClockClient* earliest = nullptr;
        ClockTime due = ClockTime::max();
        {
            // Looked up afresh each time: a callback may have added or removed clients.
            std::lock_guard guard(c.mutex);
            for (ClockClient* client : c.list) {
                const ClockTime next = client->nextDue();
                if (next < due) {
                    due = next;
                    earliest = client;
                }
            }
            if (earliest == nullptr || due > target)
                break;
            c.firing = earliest;
            c.firingThread = std::this_thread::get_id();
        }
        ClockTime at;
        {
            std::lock_guard guard(mutex_);
            now_ = std::max(now_, due);
            at = now_;
        }
        earliest->fireDue(at);
        {
            std::lock_guard guard(c.mutex);
            c.firing = nullptr;
            c.firingThread = std::thread::id();
        }
        c.idle.notify_all();
    }
    std::lock_guard guard(mutex_);
    now_ = std::max(now_, target);
}

} // namespace trov::platform
