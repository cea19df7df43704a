#pragma once

#include "instrument/AnalogTolerances.h"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>

namespace trov {

// The analog components of the voices' envelopes, by voice slot ("VCA Attack 3" ... "VCF Release 3"),
// prepared in the instrument's model where allocating is allowed, so that a note start on the audio thread
// reads them without a look-up. Rows are only ever added, never moved.
//
// Owned by an instrument engine. Threads: `prepare` where voices are made (it allocates in the model);
// `row` on any thread.
class VoiceComponents {
public:
    static constexpr int kMaxSlots = 256;
    static constexpr int kStages = 5;
    struct Row {
        std::array<AnalogComponent, kStages> vca;
        std::array<AnalogComponent, kStages> vcf;
    };

    VoiceComponents();
    VoiceComponents(const VoiceComponents&) = delete;
    VoiceComponents& operator=(const VoiceComponents&) = delete;

    // Rows for slots 0 .. count - 1 (at most kMaxSlots), prepared in the model.
    void prepare(AnalogTolerances* model, int count);
    // The slot's row; null when it was not prepared.
    const Row* row(int slot) const noexcept;
    // The row of a slot that was not prepared, for the model's ordinary (allocating) answer.
    static Row unprepared(int slot) noexcept;

private:
    std::unique_ptr<Row[]> rows_;
    std::atomic<int> prepared_{0};
    std::mutex preparing_;
};

} // namespace trov
