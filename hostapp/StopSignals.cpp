#include "hostapp/StopSignals.h"

#include <atomic>
#include <csignal>
#include <ctime>

namespace corvale::hostapp {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];

// Lock-free, so the handler may set it, and seen by the thread that renders whichever thread took it.
std::atomic<int> gCaught{0};
static_assert(std::atomic<int>::is_always_lock_free);
// When the first signal came, on the monotonic clock.
std::atomic<long long> gCaughtAt{0};
static_assert(std::atomic<long long>::is_always_lock_free);
// A repeat this soon after the first is the same request delivered twice: `timeout`, for one, signals the
// program and then its whole process group.
constexpr long long kRepeatNanoseconds = 1000000000;
struct sigaction gPrevious[kSignalCount];
bool gInstalled[kSignalCount] = {};

long long monotonicNanoseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Async-signal-safe: atomics, the clock, sigaction and raise only. The three signals are blocked while it
// runs, so it never interrupts itself.
void onStop(int signal) {
    const long long at = monotonicNanoseconds();
    int none = 0;
    if (gCaught.compare_exchange_strong(none, signal)) {
        gCaughtAt.store(at);
        return;
    }
    if (at - gCaughtAt.load() < kRepeatNanoseconds)
        return;
    // A second request ends the program at once, as the signal does by default; it is delivered when the
    // handler returns.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    ::sigaction(signal, &fallback, nullptr);
    ::raise(signal);
}

} // namespace

StopSignals::StopSignals() {
    gCaught.store(0);
    gCaughtAt.store(0);
    struct sigaction action {};
    action.sa_handler = onStop;
    // Interrupted system calls go on: the render stops where it checks, not inside a write.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signal : kSignals)
        sigaddset(&action.sa_mask, signal);
    for (int i = 0; i < kSignalCount; ++i) {
        gInstalled[i] = false;
        if (::sigaction(kSignals[i], nullptr, &gPrevious[i]) != 0 || gPrevious[i].sa_handler == SIG_IGN)
            continue;
        gInstalled[i] = ::sigaction(kSignals[i], &action, nullptr) == 0;
    }
}

StopSignals::~StopSignals() {
    for (int i = 0; i < kSignalCount; ++i)
        if (gInstalled[i]) {
            gInstalled[i] = false;
            ::sigaction(kSignals[i], &gPrevious[i], nullptr);
        }
}

int StopSignals::caught() {
    return gCaught.load();
}

std::string StopSignals::name(int signal) {
    switch (signal) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    default:
        return "signal " + std::to_string(signal);
    }
}

} // namespace corvale::hostapp
