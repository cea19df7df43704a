#pragma once

#include <string_view>

namespace trov {

class Radio;

// One analog component a block reads where nothing may allocate (a note start on the audio thread): named
// by its kind and index, with its distribution, and prepared beforehand by the model answering it.
struct AnalogComponent {
    std::string_view kind; // a name that outlives the component ("VCF Cutoff")
    int index = 0;
    int distribution = 2;
    void* place = nullptr; // the model's own, once prepared
};

// Where the instrument's blocks ask for the deviation of one of their analog components: the instrument
// plug-in answers from its analog model, so that each voice's filter and envelopes sound slightly
// different and the same component keeps its character. The component is named by its kind, a blank and
// an index ("VCF Cutoff 2"); the distribution is that of `trov::Analogics` (0 positive, 1 negative,
// 2 symmetric, 3 ideal).
//
// Threads: `getAnalogTolerance` and `prepareAnalogComponent` where allocating is allowed (they may);
// `readAnalogComponent` at note start on the audio thread, where a model that prepared the component
// answers without allocating, locking or logging. Never per sample.
class AnalogTolerances {
public:
    virtual ~AnalogTolerances() = default;
    // A factor near 1.0.
    virtual float getAnalogTolerance(std::string_view component, int index, int distribution) = 0;
    // Makes the component ready to be read; the default prepares nothing.
    virtual void prepareAnalogComponent(AnalogComponent& /*component*/) {}
    // The component's factor, as getAnalogTolerance gives it; the default asks getAnalogTolerance.
    virtual float readAnalogComponent(const AnalogComponent& component) {
        return getAnalogTolerance(component.kind, component.index, component.distribution);
    }
};

// The plug-in of the station's owner module when it answers tolerances; null otherwise.
AnalogTolerances* findAnalogTolerances(const Radio& station);

} // namespace trov
