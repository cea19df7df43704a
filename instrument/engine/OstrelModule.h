#pragma once

#include "engine/modules/Module.h"
#include "framework/Range.h"

#include <atomic>

namespace trov {

class Note;
class Zone;

// The instrument's module: one layer of the emulated machine ("Lower" or "Upper") with its settings, its
// engine and its zones. It finds the zone a note plays in each of the two oscillator layers: the same zone
// for both, or, in oscillator-mix mode ("OscMixMode"), the pair of zones around it (even index for layer 0,
// odd for layer 1).
//
// Made by the product descriptor and owned by its plug-in instance. The zone look-ups run on the audio
// thread at note starts and neither allocate nor block for long; "SoloWave" arrives on the thread that
// changes it.
class OstrelModule : public Module {
public:
    OstrelModule(Plugin* plugin, PluginServices& services, const Settings& specification);
    ~OstrelModule() override;

    // The module's own set-up, then tunes in to "SoloWave".
    void init() override;
    bool receive(const Message& message) override;

    // The zone index of the note's key for the layer (0 or 1), or a negative value when none plays it.
    int zoneIndexForNote(const Note& note, int layer) const noexcept;
    // That zone's key range; (0, 0) without one.
    KeyRange zoneKeyRangeForNote(const Note& note, int layer) const;
    // The zone itself, with one reference added for the caller; null when none plays the note. The note
    // path: no allocation, no lock but the zone manager's look-up.
    Zone* acquireZoneForNote(const Note& note, int layer) const noexcept;
    bool isSoloWave() const noexcept { return soloWave_.load(std::memory_order_relaxed); }
    bool isOscMixMode() const noexcept { return oscMixMode_.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> soloWave_{false};
    std::atomic<bool> oscMixMode_{false};
};

} // namespace trov
