#pragma once

#include "framework/CriticalSection.h"
#include "framework/Radio.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

namespace trov {

class Note;
class Voice;

// A voice pool: the voice limit, the allocation switches and the state of every MIDI key. Decides which
// voice plays a note; `ChoirDynamic` is the pool engines embed. Tuned in to the "SustainVoices" parameter
// of its owner module.
//
// Owned by its engine. Threads: notes arrive on the MIDI thread, rendering walks the voices on the audio
// thread, limits and resets come from the user-interface thread. Every pool operation holds the pool's
// lock (a recursive one: voices may ask the pool again from inside its calls); the lock is held only for
// short walks that neither allocate nor free once the pool has grown to its limit.
class Choir : public Radio {
public:
    // Key states.
    static constexpr std::int32_t kKeyUp = 0;
    static constexpr std::int32_t kKeyHeld = 1; // held, its voice taken by another note
    static constexpr std::int32_t kKeySounding = 2;
    static constexpr int kKeyCount = 128;

    // Hand-over rules: which held key a released key's voice goes to.
    static constexpr int kHandOverNone = 0;
    static constexpr int kHandOverAbove = 1;
    static constexpr int kHandOverBelow = 2;
    static constexpr int kHandOverAboveThenBelow = 3;
    static constexpr int kHandOverBelowThenAbove = 4;

    explicit Choir(const Module* owner);
    ~Choir() override;

    // "SustainVoices" sets the sustain switch; everything else goes to the station.
    bool receive(const Message& message) override;

    // Every key up, sustain off.
    virtual void reset();
    virtual int setVoiceLimit(int limit);
    virtual void setSustain(bool sustain);
    // The voice that plays the note, or null. Valid until the pool's next reset.
    virtual Voice* noteOn(const Note& note) noexcept = 0;
    // True when some voice was on the note's key.
    virtual bool noteOff(const Note& note, bool immediate) noexcept = 0;
    virtual int getActiveVoiceCount() const = 0;
    // Retains every voice that is not free and appends it; returns the vector's size. Not for the audio
    // thread: the caller gives the references back with `releaseVoices`.
    virtual int collectActiveVoices(std::vector<Voice*>& voices) const = 0;
    virtual void releaseVoices(std::vector<Voice*>& voices) const = 0;

    int getVoiceLimit() const;
    bool getSustain() const { return sustain_.load(std::memory_order_relaxed); }
    // Reuse on: free voices play again and the oldest sounding note is stolen at the limit. Off: every
    // note gets a new voice while the pool has room for one, and notes beyond the limit are dropped.
    void setReuse(bool reuse);
    bool getReuse() const;
    void setHandOver(int rule);
    int getHandOver() const;
    // kKeyUp for keys outside 0..127.
    std::int32_t getKeyState(int key) const;

protected:
    CriticalSection& poolLock() const { return poolLock_; }
    // The following expect the pool's lock held.
    std::int32_t keyState(int key) const;
    // Keys outside 0..127 keep no state.
    void setKeyState(int key, std::int32_t state);
    // The held key the released key's voice goes to by the hand-over rule, or -1.
    int handOverCandidate(int releasedKey) const;
    int voiceLimit() const { return voiceLimit_; }
    bool reuse() const { return reuse_; }

private:
    mutable CriticalSection poolLock_;
    int voiceLimit_ = 8;
    bool reuse_ = true;
    int handOver_ = kHandOverBelowThenAbove;
    // Atomic and outside the pool's lock: it arrives under the parameter's lock, which a pool operation
    // never needs.
    std::atomic<bool> sustain_{false};
    std::array<std::int32_t, kKeyCount> keyStates_{};
};

} // namespace trov
