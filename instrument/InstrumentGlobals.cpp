#include "instrument/InstrumentGlobals.h"

#include "instrument/dsp/OstrelCurves.h"

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace trov {

namespace {

// The cutoff curve's table at every rate: 1024 points on [0, 1.1].
constexpr float kCutoffTableHi = 1.1f;
constexpr std::uint32_t kCutoffTablePoints = 1024;

} // namespace

// Weak, so that the descriptor's definitions take their place once they are linked in.
[[gnu::weak]] void createProductGlobals() {}
[[gnu::weak]] void destroyProductGlobals() noexcept {}

InstrumentTables::InstrumentTables()
    : lfoRate(0.0f, 1.0f, 32, ostrelLFORate), cutoffLog2Min(ostrelCutoffLog2Min()),
      cutoffLog2Max(ostrelCutoffLog2Max()),
      cutoffCoefficient(0.0f, kCutoffTableHi, kCutoffTablePoints, ostrelCutoffCoefficient),
      resonanceScale(0.0f, 1.1f, 1024, ostrelResonanceScale), ladderClip(-10.0, 10.0, 4096, ostrelLadderClip),
      attack(0.0f, 1.0f, 32, ostrelAttackTime), peak(0.0f, 1.0f, 32, ostrelPeakLevel),
      decay(0.0f, 1.0f, 32, ostrelDecayTime), sustain(0.0f, 1.0f, 32, ostrelSustainLevel),
      release(0.0f, 1.0f, 32, ostrelReleaseTime) {}

namespace {

constexpr int kTableRate = 44100;

// The cutoff tables of the host rates met so far beside 44.1 kHz, each built once and never changed.
class RateCutoffTables {
public:
    const FunctionTable<float>& forRate(int sampleRate) {
        std::lock_guard guard(mutex_);
        for (const auto& [rate, table] : tables_)
            if (rate == sampleRate)
                return *table;
        auto table = std::make_unique<FunctionTable<float>>(
            0.0f, kCutoffTableHi, kCutoffTablePoints,
            [sampleRate](float x) { return ostrelCutoffCoefficientAt(x, sampleRate); });
        tables_.emplace_back(sampleRate, std::move(table));
        return *tables_.back().second;
    }

private:
    std::mutex mutex_;
    std::vector<std::pair<int, std::unique_ptr<FunctionTable<float>>>> tables_;
};

// The globals with a lifetime, in load order: the keys are constants and need no building. Members are
// built in declaration order and destroyed in reverse, which is the order the module promises.
class InstrumentGlobals {
public:
    InstrumentGlobals() = default;
    InstrumentGlobals(const InstrumentGlobals&) = delete;
    InstrumentGlobals& operator=(const InstrumentGlobals&) = delete;

    struct ProductStage {
        ProductStage() { createProductGlobals(); }
        ~ProductStage() { destroyProductGlobals(); }
        ProductStage(const ProductStage&) = delete;
        ProductStage& operator=(const ProductStage&) = delete;
    };

    ProductStage product;
    InstrumentTables tables;
    RateCutoffTables cutoffTables;
};

InstrumentGlobals globals;

} // namespace

const InstrumentTables& instrumentTables() noexcept {
    return globals.tables;
}

const FunctionTable<float>& cutoffCoefficientTable(int sampleRate) {
    if (sampleRate <= 0 || sampleRate == kTableRate)
        return globals.tables.cutoffCoefficient;
    return globals.cutoffTables.forRate(sampleRate);
}

} // namespace trov
