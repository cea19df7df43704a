#pragma once

#include "framework/Logger.h"

#include <atomic>

namespace trov {

// Deletes the object a slot holds when no other path has changed the slot since it was read: the slot is
// emptied with a compare-exchange, so of two paths deleting through one slot exactly one deletes, and an
// object another path put there meanwhile stays in the slot for whoever empties it next (it is neither
// deleted nor lost). The deleted pointer, for comparison only; null when the slot was empty or changed
// ("failed to delete object" is logged then). Any thread.
template <class T> T* safeDelete(std::atomic<T*>& slot) {
    T* seen = slot.load(std::memory_order_acquire);
    if (seen == nullptr)
        return nullptr;
    if (!slot.compare_exchange_strong(seen, nullptr, std::memory_order_acq_rel)) {
        // seen now holds what the slot holds instead.
        logLine(3, "failed to delete object 0x%lx", reinterpret_cast<unsigned long>(seen));
        return nullptr;
    }
    delete seen;
    return seen;
}

} // namespace trov
