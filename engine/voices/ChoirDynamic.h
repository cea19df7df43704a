#pragma once

#include "engine/voices/Choir.h"
#include "engine/voices/Voice.h"

#include <mutex>
#include <vector>

namespace trov {

// The voice pool of the synthesiser engine: makes voices on demand through the product descriptor
// (`createVoice`), plays free ones again, steals the oldest sounding voice at the limit, and on a key
// release hands the voice over to a key that is still held but lost its voice.
//
// Voices join the list only when they start playing and leave it only through `reset` (and destruction),
// which detaches them under the lock and lets them go after it, on the calling (user-interface) thread.
// The render walk `forEachVoice` holds the lock, so no voice is appended or freed while it runs. Once
// the pool has made as many voices as its limit, notes and the walk neither allocate nor free anything; a
// new voice is built outside the lock and appended under it.
class ChoirDynamic : public Choir {
public:
    explicit ChoirDynamic(const Module* owner);
    ~ChoirDynamic() override;

    // Stops every voice and lets them go; then every key up.
    void reset() override;
    // Stops the first sounding voices in list order until no more than limit sound.
    int setVoiceLimit(int limit) override;
    Voice* noteOn(const Note& note) noexcept override;
    bool noteOff(const Note& note, bool immediate) noexcept override;
    int getActiveVoiceCount() const override;
    int collectActiveVoices(std::vector<Voice*>& voices) const override;
    void releaseVoices(std::vector<Voice*>& voices) const override;

    // Voice i in creation order, null out of range; valid until the next reset.
    Voice* getVoice(int index) const;
    int getVoiceCount() const;

    // Calls visit (Voice&) for every voice of the list in order, free ones included, under the pool's
    // lock: the audio thread's render walk. visit must not allocate, block or reset the pool.
    template <class Visit> void forEachVoice(Visit&& visit) const noexcept {
        std::lock_guard guard(poolLock());
        for (Voice* voice : voices_)
            visit(*voice);
    }

private:
    // Under the lock: stops the first voice that is not free (its key, if sounding, becomes held).
    void stealFirstActive();
    void advanceRotation();
    // Makes, starts and appends a voice for the note outside the lock; null when none could be made.
    Voice* startNewVoice(const Note& note) noexcept;

    int activeCount_ = 0;
    int rotation_ = 0;
    std::vector<Voice*> voices_; // one reference each, in creation order
};

} // namespace trov
