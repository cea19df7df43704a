#include "framework/Thread.h"

#include "framework/Logger.h"
#include "framework/Radio.h"

#include <chrono>
#include <system_error>

#include <sys/resource.h>
#include <unistd.h>

namespace trov {

namespace {

// Nice values for the levels; raising above normal needs privileges and then fails quietly.
int niceFor(int level) {
    static constexpr int kNice[] = {19, 10, 5, 0, -5, -10, -20};
    return kNice[level];
}

} // namespace

bool Thread::Gate::release() {
    if (signalled_.exchange(true))
        return false;
    semaphore_.release();
    return true;
}

bool Thread::Gate::acquireFor(unsigned milliseconds) {
    if (!semaphore_.try_acquire_for(std::chrono::milliseconds(milliseconds)))
        return false;
    // Cleared only after the count is taken, so a release in between is refused and the count stays <= 1.
    signalled_.store(false);
    return true;
}

Thread::Thread(Radio* client, const Message& message, bool runAtOnce)
    : client_(client), startPaused_(!runAtOnce), message_(message) {
    start();
}

Thread::~Thread() {
    stop();
    if (thread_.joinable())
        thread_.join();
}

void Thread::start() {
    if (thread_.joinable()) {
        if (!ended_.load())
            return;
        thread_.join();
    }
    go_ = std::make_unique<Gate>(false);
    done_ = std::make_unique<Gate>(startPaused_);
    paused_.store(true);
    stopRequested_.store(false);
    ended_.store(false);
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error& error) {
        logLine(3, "trov::Thread::start : cannot start the worker thread: %s", error.what());
        return;
    }
    if (!startPaused_)
        trigger();
}

void Thread::trigger() {
    paused_.store(false);
    if (go_ && go_->release() && done_)
        done_->release();
}

void Thread::setPaused() {
    paused_.store(true);
}

void Thread::pause() {
    if (!paused_.exchange(true))
        return;
    if (std::this_thread::get_id() == thread_.get_id())
        return; // from inside the cycle: it cannot finish while we wait for it
    while (busy_.load())
        busy_.wait(true);
}

bool Thread::isPaused() const {
    return paused_.load();
}

bool Thread::isBusy() const {
    return busy_.load();
}

void Thread::stop() {
    if (!thread_.joinable())
        return;
    stopRequested_.store(true);
    setPaused();
    go_->release();
}

void Thread::setPriority(int level) {
    if (level < kIdle || level > kTimeCritical)
        level = kNormal;
    priority_.store(level);
    applyPriority();
}

void Thread::applyPriority() {
    const long id = workerId_.load();
    if (id != 0)
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(id), niceFor(priority_.load()));
}

bool Thread::waitDone(unsigned milliseconds) {
    return done_ && done_->acquireFor(milliseconds);
}

void Thread::run() {
    workerId_.store(static_cast<long>(::gettid()));
    if (priority_.load() != kNormal)
        applyPriority();
    bool leaving = false;
    while (!leaving) {
        // The time-out only lets the loop look at the stop flag again.
        const bool signalled = go_->acquireFor(kWaitMs);
        if (stopRequested_.load()) {
            leaving = true;
        } else if (signalled) {
            busy_.store(true);
            if (client_ != nullptr && !client_->receive(message_)) {
                stopRequested_.store(true);
                leaving = true;
            }
            done_->release();
        }
        busy_.store(false);
        busy_.notify_all();
    }
    workerId_.store(0);
    ended_.store(true);
}

} // namespace trov
