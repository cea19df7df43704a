#include "instrument/InstrumentGlobals.h"
#include "instrument/InstrumentKeys.h"
#include "instrument/dsp/CorvaleLFORateInfo.h"
#include "instrument/dsp/CorvaleVCFCutoffInfo.h"
#include "instrument/dsp/OstrelCurves.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <string>

using namespace trov;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(InstrumentTables, HaveTheirDomainsSizesAndGuardEntries) {
    const InstrumentTables& t = instrumentTables();
    struct Shape {
        const char* name;
        const FunctionTable<float>& table;
        float lo, hi;
        std::uint32_t size;
    };
    const Shape shapes[] = {{"lfo rate", t.lfoRate, 0.0f, 1.0f, 32},
                            {"cutoff", t.cutoffCoefficient, 0.0f, 1.1f, 1024},
                            {"resonance", t.resonanceScale, 0.0f, 1.1f, 1024},
                            {"attack", t.attack, 0.0f, 1.0f, 32},
                            {"peak", t.peak, 0.0f, 1.0f, 32},
                            {"decay", t.decay, 0.0f, 1.0f, 32},
                            {"sustain", t.sustain, 0.0f, 1.0f, 32},
                            {"release", t.release, 0.0f, 1.0f, 32}};
    for (const Shape& s : shapes) {
        SCOPED_TRACE(s.name);
        EXPECT_EQ(s.table.getLo(), s.lo);
        EXPECT_EQ(s.table.getHi(), s.hi);
        ASSERT_EQ(s.table.getSize(), s.size);
        const float* data = s.table.getData();
        EXPECT_EQ(data[s.size], data[s.size - 1]);
        EXPECT_EQ(data[s.size + 1], data[s.size - 1]);
    }
    EXPECT_EQ(t.ladderClip.getSize(), 4096u);
    EXPECT_EQ(t.ladderClip.getLo(), -10.0);
    EXPECT_EQ(t.ladderClip.getHi(), 10.0);
    EXPECT_DOUBLE_EQ(t.cutoffLog2Min, std::log2(5.0));
    EXPECT_DOUBLE_EQ(t.cutoffLog2Max, std::log2(20000.0 * double(1.035f)));
}

TEST(InstrumentTables, EnvelopeTablesHoldTheMeasuredValuesAndReadAheadAsLookupsDo) {
    const InstrumentTables& t = instrumentTables();
    // Each sampled point is the measured entry of the same index.
    EXPECT_EQ(t.attack.getData()[0], 2.0f);
    EXPECT_EQ(t.attack.getData()[31], 12305.0f);
    EXPECT_EQ(t.peak.getData()[17], 476.0f); // not monotonic, as measured
    EXPECT_EQ(t.decay.getData()[29], 13922.0f);
    EXPECT_EQ(t.sustain.getData()[0], 0.0f);
    EXPECT_EQ(t.sustain.getData()[1], 8.0f);
    EXPECT_EQ(t.release.getData()[28], 21474.0f);
    // x = 0 gives the first point; x = 1 reads the guard entries: the last point.
    EXPECT_EQ(t.attack.lookup(0.0f), 2.0f);
    EXPECT_EQ(t.attack.lookup(1.0f), 12305.0f);
    // u = 2.75 lies between points 2 and 3 (2 and 4 ms) with weight 0.75.
    EXPECT_FLOAT_EQ(t.attack.lookup(2.75f / 32.0f), 3.5f);
    // u = 3.2: points 3 and 4 (4 and 7 ms), weight 0.2.
    EXPECT_FLOAT_EQ(t.attack.lookup(0.1f), 4.6f);
}

TEST(InstrumentCurves, LFORateFollowsTheMeasuredPeriodsToTheNearestEntry) {
    EXPECT_FLOAT_EQ(ostrelLFORate(0.0f), 1000.0f / 2873.0f);
    EXPECT_FLOAT_EQ(ostrelLFORate(1.0f), 62.5f);
    EXPECT_FLOAT_EQ(ostrelLFORate(0.5f), 1000.0f / 156.0f);         // rint(17.5) = 18, ties to even
    EXPECT_FLOAT_EQ(ostrelLFORate(1.5f / 35.0f), 1000.0f / 964.0f); // rint(1.5) = 2
    EXPECT_FLOAT_EQ(ostrelLFORate(-3.0f), ostrelLFORate(0.0f));
    EXPECT_FLOAT_EQ(ostrelLFORate(kNaN), ostrelLFORate(0.0f));
    // The table's points are the curve at i / 31; the last control gives the guard value.
    const InstrumentTables& t = instrumentTables();
    for (int i = 0; i < 32; ++i)
        EXPECT_FLOAT_EQ(t.lfoRate.getData()[i], ostrelLFORate(float(i) / 31.0f)) << i;
    EXPECT_FLOAT_EQ(t.lfoRate.lookup(0.0f), 1000.0f / 2873.0f);
    EXPECT_FLOAT_EQ(t.lfoRate.lookup(1.0f), 62.5f);
}

TEST(InstrumentCurves, FilterCurvesMatchTheirClosedForms) {
    const double lo = std::log2(5.0);
    const double hi = std::log2(20000.0 * double(1.035f));
    for (float x : {0.0f, 0.25f, 0.615f, 1.0f}) {
        const double f = std::exp2(lo + (hi - lo) * x) * 2.0 / 44100.0;
        EXPECT_NEAR(ostrelCutoffCoefficient(x), 3.6 * f - 1.6 * f * f - 1.0, 1e-6) << x;
    }
    EXPECT_NEAR(ostrelCutoffCoefficient(0.0f), -1.0, 1e-3);
    EXPECT_FLOAT_EQ(ostrelResonanceScale(1.0f), 1.0f);
    EXPECT_FLOAT_EQ(ostrelResonanceScale(0.0f), std::exp(1.386249f));
    // The clip's pieces meet at +-1 (at +-1/3), it is odd and tends to +-1.
    EXPECT_NEAR(ostrelLadderClip(1.0), 1.0 / 3.0, 1e-11);
    EXPECT_NEAR(ostrelLadderClip(1.0 + 1e-12), 1.0 / 3.0, 1e-11);
    EXPECT_DOUBLE_EQ(ostrelLadderClip(-0.4), -ostrelLadderClip(0.4));
    EXPECT_DOUBLE_EQ(ostrelLadderClip(0.5), 0.5 - 0.666666666668 * 0.125);
    EXPECT_DOUBLE_EQ(ostrelLadderClip(-4.0), -1.0 + 2.0 / 12.0);
    EXPECT_NEAR(ostrelLadderClip(1e9), 1.0, 1e-8);
}

TEST(InstrumentCurves, CutoffPositionsGoToHertzAndBack) {
    // The ends of the display.
    EXPECT_NEAR(CorvaleVCFCutoffInfo::getHertz(0.0f), 5.0f + (ostrelCutoffCoefficient(0.0f) + 1.0f) * 9997.5f,
                1e-3);
    EXPECT_LT(CorvaleVCFCutoffInfo::getHertz(0.0f), 20.0f);
    EXPECT_NEAR(CorvaleVCFCutoffInfo::getHertz(1.0f) / 20000.0f, 0.98, 0.02);
    float previous = 0.0f;
    for (int i = 1; i < 100; ++i) {
        const float x = float(i) / 100.0f;
        const float hz = CorvaleVCFCutoffInfo::getHertz(x);
        EXPECT_GT(hz, previous) << x;
        previous = hz;
        EXPECT_NEAR(CorvaleVCFCutoffInfo::getPosition(hz), x, 5e-5f) << hz;
        EXPECT_NEAR(CorvaleVCFCutoffInfo().getNormalized(hz), x, 5e-5f);
    }
    // Outside the display, and nonsense, stay within the position range.
    EXPECT_EQ(CorvaleVCFCutoffInfo::getPosition(-100.0f), 0.0f);
    EXPECT_EQ(CorvaleVCFCutoffInfo::getPosition(kNaN), 0.0f);
    EXPECT_EQ(CorvaleVCFCutoffInfo::getPosition(1e30f), 1.0f);
    EXPECT_EQ(CorvaleVCFCutoffInfo::getPosition(std::numeric_limits<float>::infinity()), 1.0f);
}

TEST(InstrumentCurves, LFORatePositionsGoToHertzAndBack) {
    const InstrumentTables& t = instrumentTables();
    for (float x : {0.0f, 0.1f, 0.33f, 0.5f, 0.77f, 0.9f}) {
        const float hz = t.lfoRate.lookup(x);
        EXPECT_NEAR(CorvaleLFORateInfo::getPosition(hz), x, 1e-5f) << x;
    }
    EXPECT_FLOAT_EQ(CorvaleLFORateInfo::getHertz(0.5f), 1000.0f / 156.0f);
    EXPECT_EQ(CorvaleLFORateInfo::getPosition(0.01f), 0.0f);
    EXPECT_EQ(CorvaleLFORateInfo::getPosition(1000.0f), 1.0f);
    EXPECT_EQ(CorvaleLFORateInfo().getNormalized(kNaN), 0.0f);
    EXPECT_NEAR(CorvaleLFORateInfo::getPosition(62.5f), 31.0f / 32.0f, 1e-6f);
}

TEST(InstrumentKeys, SharedKeysKeepTheirOrderAndEveryKeyIsDeclaredOnce) {
    ASSERT_EQ(keys::kSharedKeys.size(), 33u);
    EXPECT_EQ(keys::kSharedKeys.front(), "CurrentModule");
    EXPECT_EQ(keys::kSharedKeys[7], "TapwireChannel");
    EXPECT_EQ(keys::kSharedKeys[31], "SustainVoices");
    EXPECT_EQ(keys::kSharedKeys.back(), "");
    std::set<std::string_view> all(keys::kInstrumentKeys.begin(), keys::kInstrumentKeys.end());
    EXPECT_EQ(all.size(), keys::kInstrumentKeys.size());
    for (std::size_t i = 0; i + 1 < keys::kSharedKeys.size(); ++i)
        EXPECT_EQ(keys::kInstrumentKeys[i], keys::kSharedKeys[i]);
    for (std::string_view key : {"Velocity_VCAAttack", "Modwheel_LFO_VCFDepth", "LFORatePPQ", "VCFResponse",
                                 "SampleUnload", "AnalogRecalibrate", "DisplayEditor", "MasterTune"})
        EXPECT_EQ(all.count(key), 1u) << key;
    EXPECT_EQ(std::string_view(keys::kVelocityVCAAttack), "Velocity_VCAAttack");
    EXPECT_EQ(std::string_view(keys::kLFOVCFDepth), "LFO_VCFDepth");
}

} // namespace
