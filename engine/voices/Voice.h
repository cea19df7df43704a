#pragma once

#include "engine/notes/Note.h"
#include "framework/Radio.h"
#include "framework/SharedObject.h"

#include <atomic>
#include <cstdint>

namespace trov {

class IOPin;

// One sounding unit of a voice pool: its slot, its state and the note it plays. The pool drives it through
// `noteOn`, `changeNote`, `noteOff` and renders it through `render`; the instrument's voice derives from it
// and makes the sound. The base plays silence and stops at once.
//
// Made by the product descriptor's `createVoice` ahead of its first note (the pool gives it its slot then)
// and counted: the pool holds one reference and lets it go only on the thread that resets the pool (never
// the audio thread); an editor may hold another. Threads: the pool calls every operation under its lock,
// notes and rendering on the audio thread, so a voice's operations never overlap; `getState` and `getSlot`
// may be read from anywhere.
class Voice : public Radio, public SharedObject {
public:
    static constexpr std::int32_t kPlaying = 1;
    static constexpr std::int32_t kReleasing = 2;
    // Stopped at once (stolen, restarted, over a lowered limit): a short fade that no longer holds a place
    // within the pool's limit and ends free.
    static constexpr std::int32_t kStopping = 3;
    static constexpr std::int32_t kFree = 4;

    // Free until its first `noteOn`; its note belongs to the owner module.
    Voice(const Module* owner, int slot, const Note& note);
    ~Voice() override;

    // Takes the note's data and starts playing.
    virtual void noteOn(const Note& note) noexcept;
    // Takes the note's data and keeps its state (a voice handed over to another key).
    virtual void changeNote(const Note& note) noexcept;
    // Renders this block into output (input may be null); true while the voice made sound. Subclasses
    // move the state to kReleasing while a release sounds, to kStopping while an immediate stop fades and
    // to kFree when either has ended.
    virtual bool render(const IOPin* input, IOPin& output) noexcept;
    // Immediate: ends the note within a few milliseconds (the base at once), never with a click.
    virtual void noteOff(const Note& note, bool immediate) noexcept;
    // The pool keeps a voice whose first note did not start for the next note that needs a new voice: it
    // is to be as if newly made. The base has nothing to forget.
    virtual void discarded() noexcept {}
    // The pool gives a voice made ahead of its first note the slot that note plays in.
    void assignSlot(int slot) noexcept { slot_.store(slot, std::memory_order_relaxed); }

    std::int32_t getState() const noexcept { return state_.load(std::memory_order_relaxed); }
    int getSlot() const noexcept { return slot_.load(std::memory_order_relaxed); }
    const Note& getNote() const { return note_; }

protected:
    void setState(std::int32_t state) noexcept { state_.store(state, std::memory_order_relaxed); }
    Note& note() { return note_; }

private:
    std::atomic<std::int32_t> slot_;
    std::atomic<std::int32_t> state_{kFree};
    Note note_;
};

} // namespace trov
