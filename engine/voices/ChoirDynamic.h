#pragma once

#include "engine/voices/Choir.h"
#include "engine/voices/Voice.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

namespace trov {

// The voice pool of the synthesiser engine: plays notes on voices the product descriptor makes
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
// Voices are made ahead, up to the bound, where allocating is allowed: when the pool is initialised, when
// the limit changes and when a reset lets go the voices that played (fresh ones take their place). A note
// that needs a new voice takes the next one made ahead and gives it its slot; it joins the list when it
// starts playing (a voice whose first note does not start stays aside for the next new note). Voices leave
// the list only through `reset` (and destruction), which detaches them under the lock and lets them go
// after it, on the calling (user-interface) thread.
//
// Threads: notes and the render walk on the audio thread, limits and resets on the user-interface thread.
// Every operation holds the pool's lock; the audio thread holds it for a block's walk, the other threads
// only for short walks that neither allocate nor free (voices are made and let go outside it), so notes
// and the walk never allocate, and never wait for more than such a walk.
class ChoirDynamic : public Choir {
public:
    explicit ChoirDynamic(const Module* owner);
    ~ChoirDynamic() override;

    // Makes the voices of the limit's bound ahead (allocates: user-interface thread).
    void init() override;
    // Stops every voice and lets go those that played, made again ahead once the pool is initialised;
    // then every key up.
    void reset() override;
    // Makes the voices the limit allows ahead (allocates: user-interface thread), then stops the oldest
    // sounding notes until no more than limit sound.
    int setVoiceLimit(int limit) override;
    Voice* noteOn(const Note& note) noexcept override;
    bool noteOff(const Note& note, bool immediate) noexcept override;
    // Voices that are not free, those fading out of a stop included.
    int getActiveVoiceCount() const override;
    int collectActiveVoices(std::vector<Voice*>& voices) const override;
    void releaseVoices(std::vector<Voice*>& voices) const override;

    // Voice i of the list (in the order they first played), null out of range; valid until the next reset.
    Voice* getVoice(int index) const;
    // The voices of the list: those that have played since the last reset.
    int getVoiceCount() const;
    // Every voice the pool holds, those made ahead included.
    int getMadeVoiceCount() const;
    // The most voices the pool makes for the current limit: as many stopping as sounding.
    int getVoiceBound() const;

    // Calls visit (Voice&) for every voice of the list in order, free ones included, under the pool's
    // lock: the audio thread's render walk. visit must not allocate, block or reset the pool.
    template <class Visit> void forEachVoice(Visit&& visit) const noexcept {
        std::lock_guard guard(poolLock());
        for (int i = 0; i < used_; ++i)
            visit(*voices_[static_cast<std::size_t>(i)].voice);
    }
    // The same, then done () once after the last voice, still under the lock: a walk that defers part of
    // its voices' work to the end finishes it while the voices are certain to be there.
    template <class Visit, class Done> void forEachVoice(Visit&& visit, Done&& done) const noexcept {
        std::lock_guard guard(poolLock());
        for (int i = 0; i < used_; ++i)
            visit(*voices_[static_cast<std::size_t>(i)].voice);
        done();
    }
    // Calls visit (Voice&) for every voice of the pools' lists in the order they joined their lists, the
    // pools' voices interleaved (as a change that every module shares reaches them), under every pool's
    // lock, taken in the order given (at most kMaxPools; null pools are skipped). Audio thread.
    static constexpr std::size_t kMaxPools = 4;
    template <class Visit>
    static void forEachVoiceInJoinOrder(const std::array<const ChoirDynamic*, kMaxPools>& pools,
                                        Visit&& visit) noexcept {
        std::array<std::unique_lock<CriticalSection>, kMaxPools> locks;
        std::array<int, kMaxPools> next{};
        for (std::size_t p = 0; p < kMaxPools; ++p)
            if (pools[p] != nullptr)
                locks[p] = std::unique_lock<CriticalSection>(pools[p]->poolLock());
        for (;;) {
            std::size_t first = kMaxPools;
            for (std::size_t p = 0; p < kMaxPools; ++p)
                if (pools[p] != nullptr && next[p] < pools[p]->used_ &&
                    (first == kMaxPools || pools[p]->joinedAt(next[p]) < pools[first]->joinedAt(next[first])))
                    first = p;
            if (first == kMaxPools)
                break;
            visit(*pools[first]->voices_[static_cast<std::size_t>(next[first]++)].voice);
        }
    }

private:
    struct Entry {
        Voice* voice;              // one reference
        std::uint64_t started = 0; // note-start order: the oldest sounding note is stolen first
        std::uint64_t stopped = 0; // stop order: the first stopped is the furthest into its fade
        std::uint64_t joined = 0;  // when it joined the list, counted across every pool of the process
    };

    std::uint64_t joinedAt(int index) const noexcept {
        return voices_[static_cast<std::size_t>(index)].joined;
    }

    // The following expect the pool's lock held.
    std::span<Entry> list() noexcept { return {voices_.data(), static_cast<std::size_t>(used_)}; }
    std::span<const Entry> list() const noexcept { return {voices_.data(), static_cast<std::size_t>(used_)}; }
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
    // Starts the next voice made ahead on the note; it joins the list when it plays. Null when none is left
    // or it does not start.
    Voice* startNewVoice(const Note& note) noexcept;
    // Makes voices for the current limit's bound ahead, besides those that played (`used`). Not under the
    // lock; the voices are returned, ready to be appended.
    std::vector<Voice*> makeVoices(std::size_t count) const;
    // Under the lock: appends voices made ahead (into room made beforehand).
    void appendMade(std::vector<Voice*>& made, std::vector<Entry>& room);
    // How many voices the pool still needs to hold `bound` voices made ahead beside those that played.
    std::size_t missingVoices() const;
    // Lets every voice go (destruction).
    void releaseAll() noexcept;

    int activeCount_ = 0; // voices holding a place within the limit, as of the last note
    int rotation_ = 0;
    std::uint64_t sequence_ = 0;
    std::vector<Entry> voices_; // the list (the first used_, in the order they first played), then voices
                                // made ahead
    int used_ = 0;
    bool initialized_ = false;
};

} // namespace trov
