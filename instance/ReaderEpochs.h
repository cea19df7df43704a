#pragma once

#include <atomic>
#include <mutex>

namespace trov {

// Lets threads that must never block (audio, MIDI) read objects that the user-interface thread replaces.
// A reader brackets its use of published pointers with a `Read` (two atomic operations, no lock, no
// allocation); a writer first publishes the replacement, then calls `synchronize`, which returns once
// every read that might still hold the old object has ended, and only then frees the old object.
// Readers entering after the publication see the new object, so a writer never waits for more than the
// reads already under way (one audio block, or a worker's one job, such as a loop re-render).
//
// Threads: reads on any thread, nested reads too. Writers on any thread but never inside a read of the
// same thread (it would wait for itself) and never while holding a lock that a reader waits for.
class ReaderEpochs {
public:
    class Read {
    public:
        explicit Read(ReaderEpochs& epochs) noexcept : epochs_(epochs), slot_(epochs.enter()) {}
        ~Read() { epochs_.leave(slot_); }
        Read(const Read&) = delete;
        Read& operator=(const Read&) = delete;

    private:
        ReaderEpochs& epochs_;
        unsigned slot_;
    };

    ReaderEpochs() = default;
    ReaderEpochs(const ReaderEpochs&) = delete;
    ReaderEpochs& operator=(const ReaderEpochs&) = delete;

    // The slot to hand back to `leave`.
    unsigned enter() noexcept;
    void leave(unsigned slot) noexcept;
    // Waits until every read begun before this call has ended.
    void synchronize();

private:
    std::atomic<unsigned> epoch_{0};
    std::atomic<int> readers_[2] = {0, 0};
    std::mutex writers_; // one flip at a time
};

} // namespace trov
