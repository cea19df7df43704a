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
};

} // namespace trov
