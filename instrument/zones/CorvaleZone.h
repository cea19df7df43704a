#pragma once

#include "engine/zones/Zone.h"

#include <string>

namespace trov {

class ZoneManager;

// The instrument's zone: fills its zone values from its sample (start and end points, detune, root key,
// loop and slice switches) and turns the sample switches (loop, normalize, invert, reverse) into sample
// processing. Made by the instrument's zone manager; counted like every zone.
// Threads: as Zone: the user-interface thread, under its manager's lock when the manager calls it.
class CorvaleZone : public Zone {
public:
    CorvaleZone(ZoneManager* manager, Radio* parent, const KeyRange& range, const std::string& sampleName);

    bool receive(const Message& message) override;
    void updateParameters() override;
    void setSample(const std::string& name) override;
    void releaseSample() override;
    void activate(const Loop& loop) override;
    void setLoopEnabled(int mode) override;

    // Rewrites the zone's values, loop and slices from its sample (or clears the switches without one).
    void fillFromSample();

private:
    // Stored in the zone's own values, and shown through the parameter while the zone is current, so a
    // zone filled while another is current keeps what it was filled with.
    void storeLong(const char* name, std::int32_t value);
    void storeBool(const char* name, bool value);
    void publishSample();
    void reverse();
};

} // namespace trov
