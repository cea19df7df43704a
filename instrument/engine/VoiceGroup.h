#pragma once

#include "engine/io/IOPinStereo.h"
#include "instrument/dsp/Ostrel4PoleFilterGroup.h"
#include "instrument/voice/OstrelVoice.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace trov {

class IOPin;
class Voice;

// Renders an engine's voices in groups of up to eight so that their four-pole filters run side by side
// (`Ostrel4PoleFilterGroup`): each voice's chain up to the filter in the walk's order, then the group's
// filters, then each voice's rest of the chain and its mix in the walk's order. Every random draw and
// every mix happens in the order of rendering the voices one by one, so the outputs are the same to the
// bit. A free voice renders nothing and is passed over; a voice of another kind ends the group first and
// renders on its own.
//
// Owned by the instrument engine. `reserve` on the set-up thread (it allocates); `begin`, `render` and
// `flush` on the audio thread inside the pool's walk (noexcept, no allocation, lock or log): the voices
// of a group must stay in the pool until `flush`, which the walk's end calls.
class VoiceGroup {
public:
    static constexpr int kSize = Ostrel4PoleFilterGroup::kLanes;

    // Room for blocks of up to `frames` frames.
    void reserve(std::int32_t frames);
    // A block of `frames` frames starts; false when the group cannot hold it (render one by one then).
    bool begin(std::int32_t frames) noexcept;
    // The voice joins the group (the group is flushed first when full); `single` is where a voice of
    // another kind renders. mix (voice, pin) puts a rendered voice into the outputs.
    template <class Mix>
    void render(Voice& voice, const IOPin* input, IOPinStereo& single, Mix&& mix) noexcept;
    // Runs the group's filters, finishes and mixes its voices in order, and empties it.
    template <class Mix> void flush(Mix&& mix) noexcept;
    int getVoiceCount() const noexcept { return count_; }
    // For inspection: the most voices a group of the last block held.
    int getLargestGroup() const noexcept { return largest_; }

private:
    Ostrel4PoleFilterGroup filters_;
    std::array<IOPinStereo, kSize> pins_;
    std::array<OstrelVoice*, kSize> voices_{};
    std::array<bool, kSize> pending_{}; // rendered up to the filter, to be finished
    std::int32_t capacity_ = 0;
    int count_ = 0;
    int largest_ = 0;
};

template <class Mix>
void VoiceGroup::render(Voice& voice, const IOPin* input, IOPinStereo& single, Mix&& mix) noexcept {
    auto* ostrel = dynamic_cast<OstrelVoice*>(&voice);
    if (ostrel == nullptr) {
        flush(mix);
        single.setValidFrames(0);
        voice.render(input, single);
        mix(voice, single);
        return;
    }
    // A free voice's render only empties its output, which mixes as nothing.
    if (ostrel->getState() == Voice::kFree)
        return;
    if (count_ == kSize)
        flush(mix);
    const auto at = static_cast<std::size_t>(count_++);
    pins_[at].setValidFrames(0);
    voices_[at] = ostrel;
    pending_[at] = ostrel->renderToFilters(pins_[at], filters_);
}

template <class Mix> void VoiceGroup::flush(Mix&& mix) noexcept {
    if (count_ == 0)
        return;
    filters_.process();
    largest_ = std::max(largest_, count_);
    for (std::size_t i = 0; i < static_cast<std::size_t>(count_); ++i) {
        if (pending_[i])
            voices_[i]->finishRender(pins_[i], filters_);
        mix(static_cast<Voice&>(*voices_[i]), pins_[i]);
    }
    filters_.clear();
    count_ = 0;
}

} // namespace trov
