// The controls that draw the engine's material, against the 50 ms tick of the host view's window timer:
// - a 10-second sample (441,000 frames at 44.1 kHz) in a 600-pixel sample editor: the first paint of a
//   view, which takes every column's extremes from the sample, and a repaint from the column cache;
//   counters ms per paint and x_tick (its share of one tick);
// - a 60-bin spectrum worked out and redrawn over an EQ section with one band's curve; the same counters.

#include "engine/dsp/effects/EQ.h"
#include "engine/zones/Resources.h"
#include "engine/zones/Zone.h"
#include "engine/zones/ZoneManager.h"
#include "gui/controls/ControlEQCurve.h"
#include "gui/controls/ControlFFT.h"
#include "gui/controls/ControlSampleEditor.h"

#include "support/EditorSpec.h"
#include "support/EditorWorld.h"
#include "support/SampleTestSupport.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <vector>

namespace {

using namespace trov;
using test::node;

constexpr double kTick = 0.050;

template <class Work> double timed(Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

using OpenEditor = test::OpenedEditor;

void report(benchmark::State& state, double seconds) {
    const double perPaint = seconds / static_cast<double>(state.iterations());
    state.counters["ms"] = perPaint * 1e3;
    state.counters["x_tick"] = perPaint / kTick;
}

// A sample editor of 600 x 150 showing the whole of a 10-second sample.
struct SampleView : OpenEditor {
    SampleView()
        : OpenEditor(test::specification({node("Panel")
                                              .id("special::background")
                                              .at(0, 0, 620, 170)
                                              .child(node("SampleEditor").id("se").at(10, 10, 600, 150))})) {
        std::vector<float> values(441000);
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] = static_cast<float>(0.8 * std::sin(0.0628 * static_cast<double>(i)) *
                                           std::exp(-static_cast<double>(i) / 200000.0));
        SharedObjectPtr<Sample> sample = test::makeSample(values);
        const std::string id = world.instances.resources->addSample("", sample.get(), "");
        ZoneManager* zones = world.plugin->getModule(0)->getZoneManager();
        zones->createZone(KeyRange(36, 96), id);
        SharedObjectPtr<Zone> zone(zones->getCurrentZone());
        const Dictionary document(
            "<?xml version=\"1.0\"?><dict><file-format value=\"0.7.0\"/><zone><id value=\"" + id +
            "\"/><min value=\"36\"/><max value=\"96\"/><parameters><SampleStart value=\"1000\"/>"
            "<SampleEnd value=\"400000\"/><SampleDisplayStart value=\"0\"/><SampleDisplayEnd "
            "value=\"440999\"/>"
            "</parameters><loops><loop><start value=\"100000\"/><end value=\"300000\"/><mode "
            "value=\"until-release\"/></loop></loops></zone></dict>");
        zone->fromDictionary(Dictionary(*document.getDictionary("zone")));
        view = dynamic_cast<ControlSampleEditor*>(editor->findControl("se", 0));
        view->loadZoneView();
        editor->idle();
    }
    ControlSampleEditor* view = nullptr;
};

void BM_SampleEditorFirstPaintOfATenSecondSample(benchmark::State& state) {
    SampleView open;
    double seconds = 0.0;
    for (auto _ : state) {
        open.view->invalidateCache();
        open.editor->invalidateAll();
        seconds += timed([&] { open.editor->idle(); });
    }
    report(state, seconds);
    state.counters["frames"] = 441000;
    state.counters["builds"] = open.view->getCacheBuilds();
}
BENCHMARK(BM_SampleEditorFirstPaintOfATenSecondSample)->Unit(benchmark::kMillisecond);

void BM_SampleEditorRepaintFromTheCache(benchmark::State& state) {
    SampleView open;
    double seconds = 0.0;
    for (auto _ : state) {
        open.editor->invalidateAll();
        seconds += timed([&] { open.editor->idle(); });
    }
    report(state, seconds);
}
BENCHMARK(BM_SampleEditorRepaintFromTheCache)->Unit(benchmark::kMillisecond);

// A band that boosts around a middle column.
class BellBand : public EQ {
public:
    BellBand() : EQ(nullptr, 10.0f, 22050.0f) {}
    std::int32_t render(IOChannel<float>&) noexcept override { return 0; }
    std::int32_t process(const IOChannel<float>&, IOChannel<float>&) noexcept override { return 0; }
    void fillPrimaryResponse(std::vector<float>& values) const override {
        const double middle = static_cast<double>(values.size()) / 2.0;
        for (std::size_t i = 0; i < values.size(); ++i) {
            const double d = (static_cast<double>(i) - middle) / 40.0;
            values[i] = static_cast<float>(1.0 + 3.0 * std::exp(-d * d));
        }
    }
    void fillSecondaryResponse(std::vector<float>& values) const override {
        std::fill(values.begin(), values.end(), 1.0f);
    }
};

void BM_SixtyBinSpectrumWithItsCurve(benchmark::State& state) {
    OpenEditor open(test::specification({node("Panel")
                                             .id("special::background")
                                             .at(0, 0, 620, 170)
                                             .child(node("EQSection")
                                                        .id("eq")
                                                        .at(10, 10, 600, 150)
                                                        .child(node("EQCurve").id("curve").at(0, 0, 600, 150))
                                                        .child(node("FFT").id("fft").at(0, 0, 600, 150)))}));
    BellBand band;
    dynamic_cast<ControlEQCurve*>(open.editor->findControl("curve", 0))->setBand(&band);
    auto* fft = dynamic_cast<ControlFFT*>(open.editor->findControl("fft", 0));
    std::vector<float> bins(120);
    double seconds = 0.0;
    int frame = 0;
    for (auto _ : state) {
        for (std::size_t k = 0; k < 60; ++k) {
            const float magnitude = 1.0f + 8.0f * std::fabs(std::sin(0.1f * static_cast<float>(k + frame)));
            bins[2 * k] = magnitude;
            bins[2 * k + 1] = 0.5f * magnitude;
        }
        ++frame;
        fft->setInput(bins.data(), bins.size());
        seconds += timed([&] {
            fft->receive(SystemMessage(nullptr, Code::kWorkerData, 0));
            open.editor->idle();
        });
    }
    report(state, seconds);
}
BENCHMARK(BM_SixtyBinSpectrumWithItsCurve)->Unit(benchmark::kMillisecond);

} // namespace
