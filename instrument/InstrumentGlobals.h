#pragma once

#include "engine/dsp/FunctionTable.h"

namespace trov {

// The function tables of the emulated machine, sampled from its curves (OstrelCurves.h) when the module
// is loaded, in this order, and freed in the reverse order when it is unloaded.
struct InstrumentTables {
    InstrumentTables();

    FunctionTable<float> lfoRate; // 32 points on [0, 1]
    // log2 bounds of the cutoff curve, computed before its table.
    double cutoffLog2Min;
    double cutoffLog2Max;
    FunctionTable<float> cutoffCoefficient; // 1024 points on [0, 1.1]
    FunctionTable<float> resonanceScale;    // 1024 points on [0, 1.1]
    FunctionTable<double> ladderClip;       // 4096 points on [-10, 10]
    FunctionTable<float> attack;            // the five envelope curves, 32 points on [0, 1] each
    FunctionTable<float> peak;
    FunctionTable<float> decay;
    FunctionTable<float> sustain;
    FunctionTable<float> release;
};

// The process's tables: read-only once loaded, so any thread may read them, the audio thread included.
const InstrumentTables& instrumentTables() noexcept;

// The cutoff coefficient table for a host rate: the load-time table at 44.1 kHz (and for a rate that is not
// positive); for any other rate one sampled from that rate's curve the first time it is asked for and kept,
// read-only, until unload. Asking may build a table (it allocates and takes a lock), so it is asked when
// the rate becomes known or changes, never on the audio thread; what it returns may be read anywhere.
const FunctionTable<float>& cutoffCoefficientTable(int sampleRate);

// The product's share of the load-time globals: the product descriptor and its eight fonts, built after
// the tables' predecessors and before the tables, and destroyed after them. Defined beside the
// descriptor; until it is linked in, a default that builds nothing stands in.
void createProductGlobals();
void destroyProductGlobals() noexcept;

} // namespace trov
