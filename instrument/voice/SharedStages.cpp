#include "instrument/voice/SharedStages.h"

#include "engine/dsp/effects/BitcrusherLin.h"
#include "engine/dsp/effects/BitcrusherLog.h"
#include "engine/dsp/effects/DACLadder.h"

#include <memory>
#include <mutex>

namespace trov {

namespace {

constexpr int kBits = 8;
constexpr float kCrusherAmount = 0.3f;
constexpr float kLadderTolerance = 0.004f;

struct Stages {
    std::unique_ptr<BitcrusherLog> logCrusher;
    std::unique_ptr<BitcrusherLin> linCrusher;
    std::unique_ptr<DACLadder> ladder;
    SharedStages view{};
    int references = 0;
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
        s.ladder = std::make_unique<DACLadder>(nullptr);
        s.ladder->setTolerance(kLadderTolerance);
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

int sharedStagesReferenceCount() noexcept {
    std::lock_guard guard(stagesMutex());
    return stages().references;
}

} // namespace trov
