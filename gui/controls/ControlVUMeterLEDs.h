#pragma once

#include "gui/controls/ControlVUMeter.h"

#include <vector>

namespace trov {

// An LED level meter ("VUMeterLED"): a row of LEDs lit by decibel thresholds, quietest first. Its
// "handle" holds 2 × n frames of one LED each, the unlit row and the lit row: for a horizontal meter
// (a skin wider than high) frames 0..n-1 unlit and n..2n-1 lit, LEDs lit from the left; for a vertical
// one frames 0..n-1 lit and n..2n-1 unlit, LEDs lit from the bottom. The thresholds are 0, -3, -6 ... dB
// loudest first, or the node's "values", continued along the line through their last two (one value
// continues 3 dB apart).
//
// Owned by its parent control; threads as `ControlVUMeter`.
class ControlVUMeterLEDs : public ControlVUMeter {
public:
    explicit ControlVUMeterLEDs(Editor* editor);
    ~ControlVUMeterLEDs() override;

    bool fromDictionary(const Dictionary& spec) override;
    void paint(Canvas& canvas, const Rect& area) override;

    int getLedCount() const { return static_cast<int>(thresholds_.size()); }
    const std::vector<float>& getThresholds() const { return thresholds_; }
    // The LEDs a level lights: from the quietest, each whose threshold is at most the level in whole dB
    // (-6 dB per halving, -144 dB for silence), up to the first that is not.
    int litCount(float level) const;

private:
    std::vector<float> thresholds_;
};

} // namespace trov
