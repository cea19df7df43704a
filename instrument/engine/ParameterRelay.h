#pragma once

#include "framework/Radio.h"
#include "instrument/voice/VoiceChange.h"

#include <array>
#include <atomic>

namespace trov {

class OstrelEngine;

// Follows the parameters an instrument engine's voices, their filters and its LFO follow, on whatever
// thread changes them, and posts each change for the engine to apply on the audio thread at the start of
// the next block, in arrival order with the notes (`Module::postEvent`). Storing an editor's edit of a
// zone-scope value in the current zone is the editor's own work.
//
// Owned by its engine; a station of the engine's module. Threads: `start` on the user-interface thread;
// `receive` on any thread, never blocking: when the instance's queue is full the newest change of each
// parameter is kept aside and `applyKept` (audio thread, at a block's start) hands those over.
class ParameterRelay : public Radio {
public:
    explicit ParameterRelay(OstrelEngine& engine);
    ~ParameterRelay() override;
    ParameterRelay(const ParameterRelay&) = delete;
    ParameterRelay& operator=(const ParameterRelay&) = delete;

    // Tunes in: first the LFO's parameters, whose current values go to the LFO at once, then the others.
    void start(Radio& lfo);
    bool receive(const Message& message) override;
    // The changes a full queue could not take, to the engine. Audio thread.
    void applyKept() noexcept;

private:
    // The newest change of one parameter that the queue could not take; its flag is held only while a
    // change is copied in or out.
    struct Kept {
        std::atomic<bool> busy{false};
        bool present = false;
        VoiceChange change;
    };

    void keep(const VoiceChange& change) noexcept;

    OstrelEngine& engine_;
    Radio* lfo_ = nullptr;
    std::array<Kept, static_cast<std::size_t>(Followed::kCount)> kept_;
    std::atomic<bool> anyKept_{false};
};

} // namespace trov
