// Factories of classes not written yet. Each definition leaves this file when the class it names arrives
// with its own.
#include "instrument/ProductFactories.h"

namespace trov {

Plugin* createCorvale(HostInterface* /*host*/, int /*tag*/) {
    return nullptr;
}

ZoneManager* createCorvaleZoneManager(Program* /*program*/) {
    return nullptr;
}

} // namespace trov
