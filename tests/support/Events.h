#pragma once

#include "support/TestTime.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace trov::test {

// What callbacks on other threads recorded, in order. Tests wait for a count with a generous bound, so a
// slow machine is not a failure while a lost event still is one.
template <class T = int> class Events {
public:
    void add(T entry) {
        {
            std::lock_guard guard(mutex_);
            entries_.push_back(std::move(entry));
        }
        changed_.notify_all();
    }
    bool waitFor(std::size_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, hangWait(std::chrono::seconds(3)),
                                 [&] { return entries_.size() >= count; });
    }
    std::vector<T> all() {
        std::lock_guard guard(mutex_);
        return entries_;
    }
    std::size_t size() { return all().size(); }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<T> entries_;
};

} // namespace trov::test
