// The spectrum display and the EQ controls: the spectrum's curve and scale against their formulas, data
// from a worker, spectra and frequencies that give nothing to draw; the EQ curve's handle, hover and
// busy lock; the section's scale chosen by the strongest band, its grids and combined response, bands
// whose response is no number; and the factory's rows for the four type names.
#include "engine/dsp/effects/EQ.h"
#include "framework/Thread.h"
#include "gui/controls/ControlEQCurve.h"
#include "gui/controls/ControlEQSection.h"
#include "gui/controls/ControlFFT.h"
#include "gui/controls/ControlKeyboard.h"
#include "platform/draw/Pixel.h"

#include "support/EditorHarness.h"
#include "support/KnownBand.h"
#include "support/PixelChecks.h"
#include "support/TestTime.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <thread>

using namespace trov;
using test::node;
using test::specification;

namespace {

using test::expectNearRgb;
using test::rgbOf;

int nearest(double v) {
    return static_cast<int>(std::nearbyint(v));
}

// Red laid over black at a constant alpha of trunc(opacity x 255).
std::array<int, 3> redOverBlack(float opacity) {
    return {static_cast<int>(opacity * 255.0f), 0, 0};
}

using test::KnownBand;

class Spectrum : public test::EditorHarness {
protected:
    static constexpr int kX = 10;
    static constexpr int kY = 10;
    static constexpr int kW = 200;
    static constexpr int kH = 101; // middle row (101 - 1) / 2 = 50

    void SetUp() override {
        build(specification({node("Panel")
                                 .id("special::background")
                                 .at(0, 0, 300, 200)
                                 .string("background", "#000000")
                                 .child(node("FFT").id("fft").at(kX, kY, kW, kH))}));
        open();
        tick();
    }
    ControlFFT* fft() const { return control<ControlFFT>("fft"); }
    void show(const std::vector<float>& input) {
        fft()->setInput(input.data(), input.size());
        fft()->receive(SystemMessage(nullptr, Code::kWorkerData, 0));
        tick();
    }
    std::array<int, 3> pixel(int x, int y) const { return rgbOf(snapshot()->pixel(kX + x, kY + y)); }
};

// Bins of (re, im) = (m / sqrt 2, m / sqrt 2): a magnitude of m, so log2(m / sqrt 2) octaves.
std::vector<float> spectrum(int bins, float magnitude) {
    return std::vector<float>(static_cast<std::size_t>(2 * bins), magnitude / std::sqrt(2.0f));
}

// The column's frequency and its bin: lowest + span^(column / width) Hz; bin k is k x span / bins Hz.
double binOfColumn(int column, int bins, double lowest = 10.0, double highest = 22050.0) {
    const double span = highest - lowest;
    return (lowest + std::pow(span, static_cast<double>(column) / 200.0)) * bins / span;
}

class Equaliser : public test::EditorHarness {
protected:
    static constexpr int kX = 10;
    static constexpr int kY = 10;
    static constexpr int kW = 200;
    static constexpr int kH = 101;
    static constexpr int kMid = 50;

    void buildSection(const std::string& more = "") {
        build(specification({node("Panel")
                                 .id("special::background")
                                 .at(0, 0, 300, 200)
                                 .string("background", "#000000")
                                 .child(node("EQSection")
                                            .id("eq")
                                            .at(kX, kY, kW, kH)
                                            .raw(more)
                                            .child(node("EQCurve").id("a").at(0, 0, kW, kH))
                                            .child(node("EQCurve").id("b").at(0, 0, kW, kH)))
                                 .child(node("EQCurve").id("alone").at(kX, 120, kW, 61))}));
        open();
        tick();
    }
    ControlEQSection* section() const { return control<ControlEQSection>("eq"); }
    ControlEQCurve* curve(const char* id) const { return control<ControlEQCurve>(id); }
    std::array<int, 3> pixel(int x, int y) const { return rgbOf(snapshot()->pixel(kX + x, kY + y)); }

    KnownBand a;
    KnownBand b;
};

} // namespace

TEST_F(Spectrum, WithoutNewDataTheMessageChangesNothing) {
    fft()->receive(SystemMessage(nullptr, Code::kWorkerData, 0));
    EXPECT_TRUE(fft()->getCurve().empty());
    show(spectrum(64, 8.0f));
    const std::vector<float> curve = fft()->getCurve();
    fft()->setInput(nullptr, 0); // not announced
    tick();
    EXPECT_EQ(fft()->getCurve(), curve);
}

TEST_F(Spectrum, EachColumnShowsItsBinInOctavesScaledToTheNextWholeOctaveAboveThePeak) {
    std::vector<float> input = spectrum(64, 1.0f); // -0.5 octave everywhere
    for (std::size_t k = 18; k <= 22; ++k)         // a plateau of 16 x sqrt 2: 4 octaves
        input[2 * k] = input[2 * k + 1] = 16.0f;
    show(input);
    EXPECT_FLOAT_EQ(fft()->getScale(), 1.0f / 4.0f);
    EXPECT_EQ(fft()->getDisplayRange(), 24);
    ASSERT_EQ(fft()->getCurve().size(), static_cast<std::size_t>(kW));
    int peakColumn = -1;
    for (int i = 0; i < kW; ++i) {
        const double bin = binOfColumn(i, 64);
        if (bin >= 18.0 && bin <= 22.0) {
            EXPECT_FLOAT_EQ(fft()->getCurve()[static_cast<std::size_t>(i)], 4.0f) << i;
            peakColumn = i;
        } else if (bin <= 17.0 || (bin >= 23.0 && bin <= 63.0)) {
            EXPECT_FLOAT_EQ(fft()->getCurve()[static_cast<std::size_t>(i)], -0.5f) << i;
        }
    }
    ASSERT_GE(peakColumn, 0);
    // A line from the middle row to nearest((1 - 4 / 4) x 50) = 0, half opaque over black.
    expectNearRgb(pixel(peakColumn, 1), redOverBlack(ControlFFT::kOpacity), "the peak's column near the top");
    // -0.5 octave reaches nearest((1 + 0.5 / 4) x 50) = 56.
    const int low = 5;
    expectNearRgb(pixel(low, 56), redOverBlack(ControlFFT::kOpacity), "a quiet column's end");
    expectNearRgb(pixel(low, 57), {0, 0, 0}, "below a quiet column's end");
    expectNearRgb(pixel(low, 49), {0, 0, 0}, "above the middle row of a quiet column");
}

TEST_F(Spectrum, QuietSpectraKeepHalfScaleAndZeroColumnsDrawNothing) {
    show(spectrum(64, std::sqrt(2.0f))); // 0 octaves
    EXPECT_FLOAT_EQ(fft()->getScale(), 0.5f);
    EXPECT_EQ(fft()->getDisplayRange(), 12);
    for (int y = 0; y < kH; ++y)
        expectNearRgb(pixel(100, y), {0, 0, 0}, "a column of value 0 at row " + std::to_string(y));
    show(spectrum(64, 2.0f)); // 0.5 octave, under the least peak
    EXPECT_FLOAT_EQ(fft()->getScale(), 0.5f);
}

TEST_F(Spectrum, NoBinsSilentOrBrokenBinsAndFrequenciesAtOrBelowZeroDrawNothingThere) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const std::vector<float>& input :
         {std::vector<float>{}, std::vector<float>{1.0f}, spectrum(64, 0.0f), std::vector<float>(128, nan),
          std::vector<float>(128, std::numeric_limits<float>::infinity())}) {
        show(input);
        EXPECT_FLOAT_EQ(fft()->getScale(), 0.5f) << input.size();
        for (const float v : fft()->getCurve())
            EXPECT_EQ(v, 0.0f);
    }
    fft()->setFrequencyRange(-100, 22050);
    show(spectrum(64, 8.0f));
    // Columns whose frequency -100 + 22150^(i / 200) is not above zero hold nothing.
    for (int i = 0; i < kW; ++i) {
        if (-100.0 + std::pow(22150.0, i / 200.0) <= 0.0) {
            EXPECT_EQ(fft()->getCurve()[static_cast<std::size_t>(i)], 0.0f) << i;
        }
    }
    EXPECT_EQ(fft()->getCurve()[kW - 1], 2.5f);
    fft()->setFrequencyRange(100, 100); // no span
    show(spectrum(64, 8.0f));
    for (const float v : fft()->getCurve())
        EXPECT_EQ(v, 0.0f);
}

TEST_F(Spectrum, AWorkersAnnouncementIsWorkedOutAtTheNextTick) {
    std::vector<float> input = spectrum(64, 8.0f);
    fft()->setInput(input.data(), input.size());
    fft()->setWorker(std::make_unique<Thread>(fft(), SystemMessage(nullptr, Code::kWorkerData, 0), true));
    test::pollUntil(std::chrono::seconds(3), [&] {
        tick();
        return !fft()->getCurve().empty();
    });
    ASSERT_EQ(fft()->getCurve().size(), static_cast<std::size_t>(kW));
    EXPECT_FLOAT_EQ(fft()->getCurve()[100], 2.5f);
}

TEST_F(Equaliser, TheHandleLiesAtTheBandsFrequencyAndGainAndOnlyItIsHitOrHovered) {
    buildSection();
    ControlEQCurve* alone = curve("alone"); // 200 x 61, gain range -1..1
    EXPECT_FALSE(alone->hitTest(Point(5, 5)));
    EXPECT_FALSE(alone->receive(WindowMessage(nullptr, 3013, 0, Point(5, 5), 0)));
    struct Case {
        float hz, gain;
    };
    for (const Case c : {Case{1000.0f, 0.0f}, Case{100.0f, 1.5f}, Case{10000.0f, -3.0f}, Case{10.0f, 3.0f}}) {
        a.setType(0);
        a.setFrequency(c.hz);
        a.setGain(c.gain);
        alone->setBand(&a);
        const int x = nearest(200.0 * std::log(a.getFrequency() / 10.0) / std::log(22050.0 / 10.0));
        const int y = nearest(61.0 - 61.0 * (c.gain / 3.0 + 1.0) * 0.5);
        Point handle;
        ASSERT_TRUE(alone->getHandle(handle));
        EXPECT_EQ(handle, Point(x, y)) << c.hz << " Hz, " << c.gain;
        EXPECT_TRUE(alone->hitTest(Point(x + 3, y + 3))); // 4.2 pixels away
        EXPECT_FALSE(alone->hitTest(Point(x + 5, y)));    // 5 pixels: not closer than 5
        EXPECT_TRUE(alone->receive(WindowMessage(nullptr, 3013, 0, Point(x + 5, y), 0))); // within 5
        EXPECT_TRUE(alone->isHovered());
        EXPECT_FALSE(alone->receive(WindowMessage(nullptr, 3013, 0, Point(x + 4, y + 4), 0)));
        EXPECT_FALSE(alone->isHovered());
    }
    // v = 3 x g puts the handle on the top edge, its middle row for 0.
    a.setGain(0.0f);
    alone->updateResponse();
    Point handle;
    alone->getHandle(handle);
    EXPECT_EQ(handle.y, nearest(61.0 * 0.5));
}

TEST_F(Equaliser, TheStrongestBandWithAGainChoosesTheScaleHandedToEveryCurve) {
    buildSection();
    struct Case {
        float factor;
        int level;
    };
    // The first of 6, 20, 40, 60, 80 dB that holds 20 log10 of the factor (or of its reciprocal).
    for (const Case c : {Case{1.0f, 6}, Case{1.99f, 6}, Case{2.0f, 20}, Case{0.05f, 40}, Case{1000.0f, 60},
                         Case{1.0e5f, 80}}) {
        a.setType(0);
        a.factor = [&c](int i) { return i == 7 ? c.factor : 1.0f; };
        b.setType(1); // no gain: its factor does not count
        b.factor = [](int) { return 1.0e6f; };
        curve("a")->setBand(&a);
        curve("b")->setBand(&b);
        tick();
        EXPECT_EQ(section()->getLevel(), c.level) << c.factor;
        EXPECT_FLOAT_EQ(section()->getScale(), 6.0f / static_cast<float>(c.level));
        for (const char* id : {"a", "b"}) {
            EXPECT_FLOAT_EQ(curve(id)->getGainRange().second, static_cast<float>(c.level) / 3.0f) << id;
            EXPECT_FLOAT_EQ(curve(id)->getGainRange().first, -static_cast<float>(c.level) / 3.0f) << id;
        }
    }
}

TEST_F(Equaliser, CurvesTheCombinedResponseAndTheGridsLieWhereTheirGainsAndFrequenciesSay) {
    buildSection();
    // A at +6.02 dB from column 100 on; B at -6.02 dB from column 150 on: the product is 1 there.
    a.setType(0);
    a.factor = [](int i) { return i >= 100 ? 2.0f : 1.0f; };
    b.setType(4);
    b.factor = [](int i) { return i >= 150 ? 0.5f : 1.0f; };
    curve("a")->setBand(&a);
    curve("b")->setBand(&b);
    tick();
    ASSERT_EQ(section()->getLevel(), 20);
    const double top = 20.0;
    const auto rowOf = [&](double factor) { return nearest(kMid * (1.0 - 20.0 * std::log10(factor) / top)); };
    const int boosted = rowOf(2.0); // 35
    // The combined response, white, through (x - 1, row).
    expectNearRgb(pixel(120, boosted), {255, 255, 255}, "the combined response at +6 dB");
    expectNearRgb(pixel(170, kMid), {255, 255, 255},
                  "the combined response back at 0 dB, over the centre line");
    expectNearRgb(pixel(170, kMid - 3), redOverBlack(ControlEQCurve::kOpacity), "curve a's column above it");
    expectNearRgb(pixel(170, rowOf(0.5) - 1), redOverBlack(ControlEQCurve::kOpacity),
                  "curve b's column below it");
    expectNearRgb(pixel(170, rowOf(0.5) + 2), {0, 0, 0}, "below curve b's column");
    // Curve a's column from the middle row up to its row, 35 % red over what lies under it.
    expectNearRgb(pixel(125, boosted + 5), redOverBlack(ControlEQCurve::kOpacity), "curve a's column");
    expectNearRgb(pixel(125, boosted - 2), {0, 0, 0}, "above curve a's column");
    expectNearRgb(pixel(70, boosted + 5), {0, 0, 0}, "no column where a is flat");

    // Without curves: the level grid every 3 dB of a 6 dB span, bright at multiples of 12.
    buildSection();
    tick();
    ASSERT_EQ(section()->getLevel(), 6);
    const int quarter = nearest(kMid * 3.0 / 6.0);
    // Between frequency lines: 150 Hz lies between 100 and 200.
    int between = 0;
    ASSERT_TRUE(section()->frequencyColumn(150.0, between));
    expectNearRgb(pixel(between, quarter), {40, 40, 40}, "the 3 dB line");
    expectNearRgb(pixel(between, kMid + quarter), {40, 40, 40}, "the -3 dB line");
    expectNearRgb(pixel(between, quarter + 3), {0, 0, 0}, "between level lines");
    // Frequency lines: decades in (60, 60, 60), the others in (40, 40, 40), at
    // nearest((log10 f - 1) x 199 / (log10 22050 - 1)).
    const auto columnOf = [](double hz) {
        return nearest((std::log10(hz) - 1.0) * 199.0 / (std::log10(22050.0) - 1.0));
    };
    expectNearRgb(pixel(columnOf(100.0), 40), {60, 60, 60}, "the 100 Hz line");
    expectNearRgb(pixel(columnOf(1000.0), 40), {60, 60, 60}, "the 1 kHz line");
    expectNearRgb(pixel(columnOf(300.0), 40), {40, 40, 40}, "the 300 Hz line");
    int column = 0;
    ASSERT_TRUE(section()->frequencyColumn(300.0, column));
    EXPECT_EQ(column, columnOf(300.0));
}

TEST_F(Equaliser, AMissingRangeSpansTheAudibleBandAndFrequenciesAtOrBelowZeroDrawNoGrid) {
    buildSection();
    EXPECT_FLOAT_EQ(section()->getLowest(), 10.0f);
    EXPECT_FLOAT_EQ(section()->getHighest(), 22050.0f);
    buildSection("<integer name=\"minfreq\" value=\"0\"/><integer name=\"maxfreq\" value=\"20000\"/>");
    EXPECT_FLOAT_EQ(section()->getLowest(), 0.0f);
    int column = 0;
    EXPECT_FALSE(section()->frequencyColumn(100.0, column));
    EXPECT_FALSE(section()->frequencyColumn(-5.0, column));
    tick();
    section()->setFrequencyRange(20.0f, 20000.0f);
    ASSERT_TRUE(section()->frequencyColumn(20.0, column));
    EXPECT_EQ(column, 0);
}

TEST_F(Equaliser, ResponsesThatAreNoNumberAboveZeroDrawNothingThereAndDoNotSetTheScale) {
    buildSection();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    a.setType(5);
    a.factor = [&](int i) {
        switch (i % 4) {
        case 0:
            return nan;
        case 1:
            return inf;
        case 2:
            return 0.0f;
        default:
            return -1.0f;
        }
    };
    curve("a")->setBand(&a);
    curve("b")->setBand(nullptr);
    editor->invalidateAll();
    tick();
    EXPECT_EQ(section()->getLevel(), 6);
    for (int x = 40; x < kW - 2; x += 7)
        for (const int y : {5, 20, 45, 80})
            EXPECT_LE(pixel(x, y)[0], 70) << x << ", " << y; // grid grey at the most, never the curve's red
}

TEST_F(Equaliser, ABusyLockKeepsThePreviousResponseAndStillAsksForARedraw) {
    buildSection();
    a.factor = [](int) { return 2.0f; };
    curve("a")->setBand(&a);
    tick();
    a.factor = [](int) { return 4.0f; };
    ControlEQCurve* busy = curve("a");
    std::atomic<bool> held{false};
    std::atomic<bool> done{false};
    std::thread band([&] {
        std::lock_guard guard(busy->getResponseLock());
        held = true;
        while (!done)
            std::this_thread::yield();
    });
    while (!held)
        std::this_thread::yield();
    curve("a")->updateResponse();
    const bool redraw = curve("a")->needsRedraw();
    const float kept = curve("a")->getResponse()[10];
    done = true;
    band.join();
    EXPECT_TRUE(redraw);
    EXPECT_FLOAT_EQ(kept, 2.0f);
    curve("a")->updateResponse();
    EXPECT_FLOAT_EQ(curve("a")->getResponse()[10], 4.0f);
}

TEST_F(Equaliser, TheFactoryBuildsTheFourTypeNamesForAnyParameter) {
    build(specification({node("Panel")
                             .id("special::background")
                             .at(0, 0, 300, 200)
                             .child(node("EQCurve").id("c").parameter("Level"))
                             .child(node("EQSection").id("s"))
                             .child(node("FFT").id("f").parameter("Mode"))
                             .child(node("Keyboard").id("k"))}));
    EXPECT_NE(control<ControlEQCurve>("c"), nullptr);
    EXPECT_NE(control<ControlEQSection>("s"), nullptr);
    EXPECT_NE(control<ControlFFT>("f"), nullptr);
    EXPECT_NE(control<ControlKeyboard>("k"), nullptr);
}

TEST_F(Equaliser, ABoundCurvesHandleDragsItsParameterAsOneEditAndAPressBesideItDragsNothing) {
    build(specification({node("Panel")
                             .id("special::background")
                             .at(0, 0, 300, 200)
                             .child(node("EQCurve").id("bound").parameter("Level").at(kX, kY, kW, kH))}));
    open();
    tick();
    a.setType(0);
    a.setFrequency(1000.0f);
    a.setGain(0.0f);
    curve("bound")->setBand(&a);
    Point handle;
    ASSERT_TRUE(curve("bound")->getHandle(handle));
    test::MessageRecorder edits;
    edits.tuneInTo(editor.get());
    test::Recorder level;
    level.tuneInTo(parameter("Level"));
    const float start = parameter("Level")->getNormalized();
    drag(kX + handle.x, kY + handle.y, kX + handle.x, kY + handle.y - 30);
    const float moved = parameter("Level")->getNormalized();
    EXPECT_GT(moved, start);
    EXPECT_EQ(edits.count(kKindControl, 6), 1);
    EXPECT_EQ(edits.count(kKindControl, 7), 1);
    ASSERT_GT(level.entries.size(), 1u);
    for (std::size_t i = 1; i < level.entries.size(); ++i)
        EXPECT_EQ(level.entries[i].flags, Sender::kEditor);
    // Away from the handle the curve is not there to be pressed.
    drag(kX + handle.x + 40, kY + handle.y, kX + handle.x + 40, kY + handle.y - 30);
    EXPECT_FLOAT_EQ(parameter("Level")->getNormalized(), moved);
    EXPECT_EQ(edits.count(kKindControl, 6), 1);
}

TEST_F(Equaliser, AnEmptyRangeDrawsNoFrequencyGridAndPlacesNoHandle) {
    buildSection();
    a.setType(0);
    a.setFrequency(500.0f);
    curve("a")->setBand(&a);
    section()->setFrequencyRange(500.0f, 500.0f);
    tick(); // paints the grids over no span
    int column = 0;
    EXPECT_FALSE(section()->frequencyColumn(500.0, column));
    Point handle;
    EXPECT_FALSE(curve("a")->getHandle(handle));
    EXPECT_FALSE(curve("a")->hitTest(Point(0, 0)));
}
