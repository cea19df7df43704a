#include "framework/StationEnvironment.h"

#include <atomic>

namespace trov {

namespace {
// Installed at start-up and read by stations on any thread.
std::atomic<const StationEnvironment*> gEnvironment{nullptr};
} // namespace

const StationEnvironment* getStationEnvironment() {
    return gEnvironment.load(std::memory_order_acquire);
}

void setStationEnvironment(const StationEnvironment* environment) {
    gEnvironment.store(environment, std::memory_order_release);
}

} // namespace trov
