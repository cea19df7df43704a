#pragma once

#include "engine/zones/ZoneManager.h"

namespace trov {

class Program;

// The instrument's zone manager: makes CorvaleZone objects, keeps the "CurrentZone" range at the zone
// count, follows the shown layer ("CurrentModule") and the oscillator-mix switch, and unloads the current
// zone's sample on "SampleUnload" from the editor or the settings. One per program of each module.
// Threads: as ZoneManager; parameter changes arrive on the thread of the change.
class CorvaleZoneManager : public ZoneManager {
public:
    explicit CorvaleZoneManager(Program* program);

    bool receive(const Message& message) override;
    void clearSelection() override;
    Zone* createZoneObject(Radio* parent, const KeyRange& range, const std::string& sampleName) override;
    void zonesChanged() override;
};

} // namespace trov
