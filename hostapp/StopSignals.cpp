#include "hostapp/StopSignals.h"

#include <atomic>
#include <csignal>

namespace corvale::hostapp {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];

// Lock-free, so the handler may set it, and seen by the thread that renders whichever thread took it.
std::atomic<int> gCaught{0};
static_assert(std::atomic<int>::is_always_lock_free);
struct sigaction gPrevious[kSignalCount];
bool gInstalled[kSignalCount] = {};

// Async-signal-safe: a flag and sigaction only.
void onStop(int signal) {
    int none = 0;
    gCaught.compare_exchange_strong(none, signal);
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    for (int i = 0; i < kSignalCount; ++i)
        if (gInstalled[i])
            ::sigaction(kSignals[i], &fallback, nullptr);
}

} // namespace

StopSignals::StopSignals() {
    gCaught.store(0);
    struct sigaction action {};
    action.sa_handler = onStop;
    // Interrupted system calls go on: the render stops where it checks, not inside a write.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
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
