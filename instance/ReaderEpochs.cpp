#include "instance/ReaderEpochs.h"

#include <thread>

namespace trov {

// Two reader counts, by the parity of the epoch a read entered in. A writer flips the epoch, so new reads
// count in the other slot, and waits for the slot of the old epoch to drain. A reader that entered while a
// flip happened finds the epoch changed and enters again, so no read of the old epoch starts after a
// writer has seen its slot empty. Every operation is sequentially consistent: that total order is what
// the argument rests on.

unsigned ReaderEpochs::enter() noexcept {
    for (;;) {
        const unsigned epoch = epoch_.load();
        const unsigned slot = epoch & 1u;
        readers_[slot].fetch_add(1);
        if (epoch_.load() == epoch)
            return slot;
        readers_[slot].fetch_sub(1);
    }
}

void ReaderEpochs::leave(unsigned slot) noexcept {
    readers_[slot & 1u].fetch_sub(1);
}

void ReaderEpochs::synchronize() {
    std::lock_guard guard(writers_);
    const unsigned epoch = epoch_.load();
    epoch_.store(epoch + 1);
    while (readers_[epoch & 1u].load() != 0)
        std::this_thread::yield();
}

} // namespace trov
