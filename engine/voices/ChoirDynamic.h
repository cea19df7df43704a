#pragma once

#include "engine/voices/Choir.h"
#include "engine/voices/Voice.h"

#include <cstdint>
#include <mutex>
#include <vector>

namespace trov {

// The voice pool of the synthesiser engine: makes voices on demand through the product descriptor
// (`createVoice`), plays free ones again, steals the oldest sounding note at the limit, and on a key
// release hands the voice over to a key that is still held but lost its voice.
//
// A voice that is playing or releasing holds a place within the limit. A stopped one (stolen, restarted
// on its key, on a reused fixed slot, over a lowered limit) fades out in `Voice::kStopping`: it holds no
// place, is not stopped again nor handed over, and is free when its fade has ended. The list never grows
// past twice the limit (`getVoiceBound`), whatever arrives between two blocks: at that bound a note takes
// a free voice, else the stopping voice furthest into its fade (stopped first), cutting what is left of
// that fade rather than losing the newest note.
//
// Voices join the list only when they start playing and leave it only through `reset` (and destruction),
// which detaches them under the lock and lets them go after it, on the calling (user-interface) thread.
// The render walk `forEachVoice` holds the lock, so no voice is appended or freed while it runs. Once
// the pool holds its voices, notes and the walk neither allocate nor free anything; a new voice is built
// outside the lock and appended under it, into room `setVoiceLimit` made beforehand.
class ChoirDynamic : public Choir {
public:
    explicit ChoirDynamic(const Module* owner);
    ~ChoirDynamic() override;

    // Stops every voice and lets them go; then every key up.
    void reset() override;
    // Stops the oldest sounding notes until no more than limit sound, and makes room for the voices the
    // limit allows (allocates: user-interface thread).
    int setVoiceLimit(int limit) override;
    Voice* noteOn(const Note& note) noexcept override;
    bool noteOff(const Note& note, bool immediate) noexcept override;
    // Voices that are not free, those fading out of a stop included.
    int getActiveVoiceCount() const override;
    int collectActiveVoices(std::vector<Voice*>& voices) const override;
    void releaseVoices(std::vector<Voice*>& voices) const override;

    // Voice i in creation order, null out of range; valid until the next reset.
    Voice* getVoice(int index) const;
    int getVoiceCount() const;
    // The most voices the pool makes for the current limit: as many stopping as sounding.
    int getVoiceBound() const;

    // Calls visit (Voice&) for every voice of the list in order, free ones included, under the pool's
    // lock: the audio thread's render walk. visit must not allocate, block or reset the pool.
    template <class Visit> void forEachVoice(Visit&& visit) const noexcept {
        std::lock_guard guard(poolLock());
        for (const Entry& entry : voices_)
            visit(*entry.voice);
    }

private:
    struct Entry {
        Voice* voice;              // one reference
        std::uint64_t started = 0; // note-start order: the oldest sounding note is stolen first
        std::uint64_t stopped = 0; // stop order: the first stopped is the furthest into its fade
    };

    // The following expect the pool's lock held.
    static bool holdsPlace(const Voice& voice) noexcept;
    int soundingCount() const noexcept;
    // Stops the voice at once; its key, if sounding, becomes held.
    void stop(Entry& entry, const Note& cause) noexcept;
    // Stops the oldest sounding note; false when none sounds.
    bool stealOldest() noexcept;
    // The voice the note plays on without making one: a free voice (any with reuse on; at the bound only
    // with reuse off), else at the bound the stopping voice furthest into its fade. Null: make one.
    Entry* voiceToTake() noexcept;
    void start(Entry& entry, const Note& note) noexcept;
    // Makes, starts and appends a voice for the note outside the lock; null when none could be made.
    Voice* startNewVoice(const Note& note) noexcept;

    int activeCount_ = 0; // voices holding a place within the limit, as of the last note
    int rotation_ = 0;
    std::uint64_t sequence_ = 0;
    std::vector<Entry> voices_; // in creation order
};

} // namespace trov
