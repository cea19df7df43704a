#pragma once

#include "framework/Message.h"

#include <atomic>
#include <memory>
#include <semaphore>
#include <thread>

namespace trov {

class Radio;

// A worker thread that, once per trigger, hands one stored message to its client's `receive` on the
// worker's own thread; used to take slow work off the audio and user-interface threads. Triggers that
// arrive before the worker picks up the previous one coalesce into one cycle. The worker ends when stopped
// or when its client's `receive` returns false.
//
// The owner (one thread: audio or user interface) calls every operation but `trigger`, which only sets
// atomics and may come from any thread between `start` and destruction; the client must guard the data
// its `receive` shares with them. Destroying the worker stops it and waits for the cycle under way, so it
// must not be destroyed from inside its own cycle.
class Thread {
public:
    // Priority levels.
    enum : int {
        kIdle = 0,
        kLowest = 1,
        kBelowNormal = 2,
        kNormal = 3,
        kAboveNormal = 4,
        kHighest = 5,
        kTimeCritical = 6,
    };
    static constexpr unsigned kWaitMs = 1000;

    // Keeps only the base part of the message. Built running, the first cycle runs at once.
    Thread(Radio* client, const Message& message, bool runAtOnce);
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    virtual ~Thread();

    // Best effort: a level the system refuses (raising needs privileges) is kept but not applied.
    virtual void setPriority(int level);
    virtual void trigger();
    virtual void setPaused();
    // Marks the worker paused; when it already was, waits for the cycle under way, if any, to finish.
    virtual void pause();
    virtual bool isPaused() const;
    virtual bool isBusy() const;
    // Starts the thread unless one is still running.
    virtual void start();
    // Asks the thread to end; it does so without running another cycle.
    virtual void stop();

    int getPriority() const { return priority_.load(); }
    // Waits at most ms for the signal given after each cycle (and by each trigger that got through).
    bool waitDone(unsigned milliseconds);

private:
    // A semaphore with maximum count 1 whose release reports whether it was taken up.
    class Gate {
    public:
        explicit Gate(bool signalled) : semaphore_(signalled ? 1 : 0), signalled_(signalled) {}
        bool release();
        bool acquireFor(unsigned milliseconds);

    private:
        std::binary_semaphore semaphore_;
        std::atomic<bool> signalled_;
    };

    void run();
    void applyPriority();

    Radio* client_;
    std::thread thread_;
    std::unique_ptr<Gate> go_;
    std::atomic<bool> paused_{false};
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> busy_{false};
    std::unique_ptr<Gate> done_;
    bool startPaused_;
    Message message_;
    std::atomic<bool> ended_{false};
    std::atomic<int> priority_{kNormal};
    std::atomic<long> workerId_{0}; // the kernel's id of the worker thread, 0 until it runs
};

} // namespace trov
