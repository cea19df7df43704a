#include "instrument/voice/SharedStages.h"

#include "engine/dsp/effects/BitcrusherLin.h"
#include "engine/dsp/effects/BitcrusherLog.h"
#include "engine/dsp/effects/DACLadder.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace trov {

namespace {

constexpr int kBits = 8;
constexpr float kCrusherAmount = 0.3f;
constexpr float kLadderTolerance = 0.004f;

// Whether the ladder has drawn its bit errors.
enum : int { kUndrawn, kDrawing, kDrawn };

struct Stages {
    std::unique_ptr<BitcrusherLog> logCrusher;
    std::unique_ptr<BitcrusherLin> linCrusher;
    std::unique_ptr<DACLadder> ladder;
    SharedStages view{};
    int references = 0;
    std::atomic<int> drawn{kUndrawn};
};

std::mutex& stagesMutex() {
    static std::mutex mutex;
    return mutex;
}

Stages& stages() {
    static Stages instance;
    return instance;
}

} // namespace

const SharedStages& acquireSharedStages() {
    std::lock_guard guard(stagesMutex());
    Stages& s = stages();
    if (s.references == 0) {
        s.logCrusher = std::make_unique<BitcrusherLog>(nullptr, kBits);
        s.logCrusher->setAmount(kCrusherAmount);
        s.linCrusher = std::make_unique<BitcrusherLin>(nullptr, kBits);
        s.ladder = std::make_unique<DACLadder>(nullptr, DACLadder::DeferDraw{});
        s.ladder->setTolerance(kLadderTolerance, false);
        s.drawn.store(kUndrawn, std::memory_order_release);
        s.view = SharedStages{s.logCrusher.get(), s.linCrusher.get(), s.ladder.get()};
    }
    ++s.references;
    return s.view;
}

void releaseSharedStages() noexcept {
    std::lock_guard guard(stagesMutex());
    Stages& s = stages();
    if (s.references == 0 || --s.references > 0)
        return;
    s.view = SharedStages{};
    s.ladder.reset();
    s.linCrusher.reset();
    s.logCrusher.reset();
}

void drawSharedStages() noexcept {
    Stages& s = stages();
    int state = s.drawn.load(std::memory_order_acquire);
    if (state == kUndrawn && s.drawn.compare_exchange_strong(state, kDrawing, std::memory_order_acq_rel)) {
        // Two draws, as a ladder made at the default tolerance and then set to the machine's drew them.
        if (DACLadder* ladder = s.view.ladder) {
            ladder->drawErrors();
            ladder->drawErrors();
        }
        s.drawn.store(kDrawn, std::memory_order_release);
        return;
    }
    while (s.drawn.load(std::memory_order_acquire) != kDrawn) {
    }
}

int sharedStagesReferenceCount() noexcept {
    std::lock_guard guard(stagesMutex());
    return stages().references;
}

} // namespace trov
