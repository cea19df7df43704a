#pragma once

#include <string_view>

namespace trov {

class Radio;

// Where the instrument's blocks ask for the deviation of one of their analog components: the instrument
// plug-in answers from its analog model, so that each voice's filter and envelopes sound slightly
// different and the same component keeps its character. The component is named by its kind, a blank and
// an index ("VCF Cutoff 2"); the distribution is that of `trov::Analogics` (0 positive, 1 negative,
// 2 symmetric, 3 ideal).
//
// Asked at note start and when a block is reset, on the MIDI or user-interface thread; never per sample.
class AnalogTolerances {
public:
    virtual ~AnalogTolerances() = default;
    // A factor near 1.0.
    virtual float getAnalogTolerance(std::string_view component, int index, int distribution) = 0;
};

// The plug-in of the station's owner module when it answers tolerances; null otherwise.
AnalogTolerances* findAnalogTolerances(const Radio& station);

} // namespace trov
