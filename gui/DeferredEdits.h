#pragma once

#include <array>
#include <atomic>
#include <cstddef>

namespace trov {

class Parameter;

// Edits made on the editor off the user-interface thread, waiting for the editor's next tick to be stored
// in a program's document or the current zone, which allocates: a MIDI controller paired with a knob moves
// its parameter on the MIDI thread, which may be the audio thread. Each parameter is kept once, with the
// module it was edited in; the tick stores its value then, which is the newest edit's.
//
// Owned by the editor. Threads: `add` on any thread, without a lock or an allocation; `take` on the
// user-interface thread.
class DeferredEdits {
public:
    // A controller pairs with one control, so the editor's MIDI controllers keep at most this many.
    static constexpr std::size_t kCapacity = 128;

    // False, keeping nothing, when every place is taken by other parameters.
    bool add(const Parameter* parameter, int module) noexcept {
        // The edit's value is stored before its parameter is looked for here, and `take` lets a slot go
        // before it reads the value; both meet on one word, so either this finds no slot or the tick reads
        // this edit's value.
        order_.fetch_add(1, std::memory_order_acq_rel);
        for (Slot& slot : slots_)
            if (slot.parameter.load() == parameter && slot.module.load() == module)
                return true;
        for (Slot& slot : slots_) {
            const Parameter* empty = nullptr;
            if (slot.parameter.load() == nullptr && slot.claimed.compare_exchange_strong(empty, parameter)) {
                slot.module.store(module);
                slot.parameter.store(parameter);
                return true;
            }
        }
        return false;
    }

    // Calls store(parameter, module) for every kept edit, each let go before it is stored: an edit that
    // arrives meanwhile is kept again for the next tick.
    template <class Store> void take(Store&& store) {
        for (Slot& slot : slots_) {
            const Parameter* parameter = slot.parameter.load();
            if (parameter == nullptr)
                continue;
            const int module = slot.module.load();
            slot.parameter.store(nullptr);
            slot.claimed.store(nullptr);
            order_.fetch_add(1, std::memory_order_acq_rel);
            store(*parameter, module);
        }
    }

private:
    struct Slot {
        std::atomic<const Parameter*> claimed{nullptr};   // taken by a writer
        std::atomic<const Parameter*> parameter{nullptr}; // published once the module is written
        std::atomic<int> module{0};
    };

    std::array<Slot, kCapacity> slots_{};
    std::atomic<unsigned> order_{0};
};

} // namespace trov
