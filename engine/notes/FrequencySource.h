#pragma once

namespace trov {

// What notes and samples ask of their module: the frequency of a key in the current tuning. Modules
// implement it; tests and tools may answer from a plain `trov::Tuning`. Called on the thread that owns
// the note or sample (the audio or MIDI thread for notes), so an answer never throws, blocks or allocates.
class FrequencySource {
public:
    virtual ~FrequencySource() = default;
    // Hz of the key detuned by cents.
    virtual double getFrequency(int key, double cents) const noexcept = 0;
    // Hz of the key detuned by cents in the same tuning at the reference pitch (Tuning::kReferenceKey at
    // Tuning::kReferenceFrequency), which a master pitch does not move: what a sample's root key is heard
    // against, so the root key plays the sample as recorded in every tuning and a master pitch moves every
    // key by one interval. A source without a master pitch plays each tuning where it is anchored, so its
    // answer is getFrequency's.
    virtual double getFrequencyAtReferencePitch(int key, double cents) const noexcept {
        return getFrequency(key, cents);
    }
};

} // namespace trov
