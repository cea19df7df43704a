#include "instrument/InstrumentGlobals.h"

#include "instrument/dsp/OstrelCurves.h"

namespace trov {

// Weak, so that the descriptor's definitions take their place once they are linked in.
[[gnu::weak]] void createProductGlobals() {}
[[gnu::weak]] void destroyProductGlobals() noexcept {}

InstrumentTables::InstrumentTables()
    : lfoRate(0.0f, 1.0f, 32, ostrelLFORate), cutoffLog2Min(ostrelCutoffLog2Min()),
      cutoffLog2Max(ostrelCutoffLog2Max()), cutoffCoefficient(0.0f, 1.1f, 1024, ostrelCutoffCoefficient),
      resonanceScale(0.0f, 1.1f, 1024, ostrelResonanceScale), ladderClip(-10.0, 10.0, 4096, ostrelLadderClip),
      attack(0.0f, 1.0f, 32, ostrelAttackTime), peak(0.0f, 1.0f, 32, ostrelPeakLevel),
      decay(0.0f, 1.0f, 32, ostrelDecayTime), sustain(0.0f, 1.0f, 32, ostrelSustainLevel),
      release(0.0f, 1.0f, 32, ostrelReleaseTime) {}

namespace {

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
};

InstrumentGlobals globals;

} // namespace

const InstrumentTables& instrumentTables() noexcept {
    return globals.tables;
}

} // namespace trov
