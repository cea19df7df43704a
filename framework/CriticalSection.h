#pragma once

#include <mutex>

namespace trov {

// Recursive lock: the owning thread may enter it again. Used by every station of the bus.
class CriticalSection {
public:
    CriticalSection() = default;
    explicit CriticalSection(unsigned long /*spinCount*/) {}
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void enter() { mutex_.lock(); }
    bool tryEnter() { return mutex_.try_lock(); }
    void leave() { mutex_.unlock(); }

    // BasicLockable, so std::lock_guard and std::scoped_lock work on it.
    void lock() { enter(); }
    bool try_lock() { return tryEnter(); }
    void unlock() { leave(); }

private:
    std::recursive_mutex mutex_;
};

} // namespace trov
