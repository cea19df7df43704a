// The controls that draw the engine's material, against the 50 ms tick of the host view's window timer:
// - a 10-second sample (441,000 frames at 44.1 kHz) in a 600-pixel sample editor: the first paint of a
//   view, which takes every column's extremes from the sample, and a repaint from the column cache;
//   counters ms per paint and x_tick (its share of one tick);
// - a 10-million-frame sample in the same editor, its start point dragged one pixel per step: each step
//   writes the zone's points and redraws the waveform; counters ms per step, x_tick and x_goal (its share
//   of the 5 ms a drag step may take); then its view panned a pixel per step, which takes every column
//   from the sample again; and the first paint of the whole 10-million-frame view;
// - a 60-bin spectrum worked out and redrawn over an EQ section with one band's curve; the same counters;
// - a full repaint of a file browser pane over a folder of 10,000 entries, open; counters ms and x_tick.

#include "engine/zones/Resources.h"
#include "engine/zones/Zone.h"
#include "engine/zones/ZoneManager.h"
#include "gui/controls/ControlEQCurve.h"
#include "gui/controls/ControlFFT.h"
#include "gui/controls/ControlFileBrowser.h"
#include "gui/controls/ControlSampleEditor.h"

#include "support/EditorSpec.h"
#include "support/EditorWorld.h"
#include "support/KnownBand.h"
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

// A sample editor of 600 x 150 showing the whole of a sample of that many frames (10 seconds at
// 44.1 kHz unless said), its start at frame 1000.
struct SampleView : OpenEditor {
    explicit SampleView(std::int32_t frames = 441000)
        : OpenEditor(test::specification(
              {node("Panel")
                   .id("special::background")
                   .at(0, 0, 620, 170)
                   .child(node("SampleEditor").id("se").at(10, 10, 600, 150).flag("editable", true))})) {
        values.resize(static_cast<std::size_t>(frames));
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
            "<SampleEnd value=\"" +
            std::to_string(frames * 9 / 10) +
            "\"/><SampleDisplayStart value=\"0\"/><SampleDisplayEnd value=\"" + std::to_string(frames - 1) +
            "\"/></parameters><loops><loop><start value=\"" + std::to_string(frames / 4) +
            "\"/><end value=\"" + std::to_string(frames * 3 / 4) +
            "\"/><mode value=\"until-release\"/></loop></loops></zone></dict>");
        zone->fromDictionary(Dictionary(*document.getDictionary("zone")));
        view = dynamic_cast<ControlSampleEditor*>(editor->findControl("se", 0));
        view->loadZoneView();
        editor->idle();
    }
    ControlSampleEditor* view = nullptr;
    std::vector<float> values;
};

// Every paint takes each column's extremes from the sample again.
void firstPaint(benchmark::State& state, std::int32_t frames) {
    SampleView open(frames);
    double seconds = 0.0;
    for (auto _ : state) {
        open.view->invalidateCache();
        open.editor->invalidateAll();
        seconds += timed([&] { open.editor->idle(); });
    }
    report(state, seconds);
    state.counters["frames"] = frames;
    state.counters["builds"] = open.view->getCacheBuilds();
}

void BM_SampleEditorFirstPaintOfATenSecondSample(benchmark::State& state) {
    firstPaint(state, 441000);
}
BENCHMARK(BM_SampleEditorFirstPaintOfATenSecondSample)->Unit(benchmark::kMillisecond);

void BM_SampleEditorFirstPaintOfTenMillionFrames(benchmark::State& state) {
    firstPaint(state, 10000000);
}
BENCHMARK(BM_SampleEditorFirstPaintOfTenMillionFrames)->Unit(benchmark::kMillisecond);

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

// Grabs at column x, then drags a pixel by step and back, alternately, redrawing after each step.
void dragSteps(benchmark::State& state, SampleView& open, int x, int by) {
    open.view->receive(WindowMessage(nullptr, 3000, 0, Point(x, 75), 0));
    double seconds = 0.0;
    int step = 0;
    for (auto _ : state) {
        const Point to(x + by * (++step % 2), 75);
        seconds += timed([&] {
            open.view->receive(WindowMessage(nullptr, 3009, 0, to, 0));
            open.editor->idle();
        });
    }
    open.view->receive(WindowMessage(nullptr, 3002, 0, Point(x, 75), 0));
    report(state, seconds);
    state.counters["x_goal"] = seconds / static_cast<double>(state.iterations()) / 0.005;
}

void BM_TenMillionFrameWaveformPerDragStep(benchmark::State& state) {
    constexpr std::int32_t kFrames = 10000000;
    SampleView open(kFrames);
    // The start point's column.
    dragSteps(state, open, open.view->frameToPixel(1000), 1);
    state.counters["frames"] = kFrames;
}
BENCHMARK(BM_TenMillionFrameWaveformPerDragStep)->Unit(benchmark::kMillisecond);

// The same sample's view dragged a pixel left or back per step: every step shows other frames, so the
// waveform's columns are taken from the sample again.
void BM_TenMillionFrameViewPanPerDragStep(benchmark::State& state) {
    SampleView open(10000000);
    // A wheel turn of -240 narrows each end by 240 x 10,000,000 / 600 frames: 2,000,000 remain shown.
    open.view->receive(WindowMessage(nullptr, 3011, 0, Point(300, 75), static_cast<MessageWord>(-240)));
    open.editor->idle();
    dragSteps(state, open, 300, -1); // between the points: the view is grabbed
    state.counters["shown"] = open.view->getDisplayEnd() - open.view->getDisplayStart();
}
BENCHMARK(BM_TenMillionFrameViewPanPerDragStep)->Unit(benchmark::kMillisecond);

void BM_SixtyBinSpectrumWithItsCurve(benchmark::State& state) {
    OpenEditor open(test::specification({node("Panel")
                                             .id("special::background")
                                             .at(0, 0, 620, 170)
                                             .child(node("EQSection")
                                                        .id("eq")
                                                        .at(10, 10, 600, 150)
                                                        .child(node("EQCurve").id("curve").at(0, 0, 600, 150))
                                                        .child(node("FFT").id("fft").at(0, 0, 600, 150)))}));
    // A band that boosts around the middle column.
    test::KnownBand band;
    band.factor = [](int i) {
        const double d = (static_cast<double>(i) - 300.0) / 40.0;
        return static_cast<float>(1.0 + 3.0 * std::exp(-d * d));
    };
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

void BM_BrowserRepaintOverTenThousandEntries(benchmark::State& state) {
    constexpr int kEntries = 10000;
    OpenEditor open(test::specification({node("Panel")
                                             .id("special::background")
                                             .at(0, 0, 320, 620)
                                             .child(node("FileBrowser").id("fb").at(10, 10, 300, 600))}));
    auto* browser = dynamic_cast<ControlFileBrowser*>(open.editor->findControl("fb", 0));
    // A folder listed and open, its entries made here rather than read from a disk.
    std::unique_ptr<FileBrowserNode> folder = browser->createNode();
    folder->setFolder(Folder("/library/Samples"));
    folder->setKind(FileBrowserNode::kKindFolder);
    folder->setListed(true);
    for (int i = 0; i < kEntries; ++i) {
        std::unique_ptr<FileBrowserNode> entry = browser->createNode();
        entry->setFile(File("/library/Samples/take " + std::to_string(i) + ".wav"));
        folder->addChild(std::move(entry));
    }
    folder->setOpenState(FileBrowserNode::kOpen);
    browser->addRoot(std::move(folder), 0);
    open.editor->invalidateAll();
    open.editor->idle();
    double seconds = 0.0;
    for (auto _ : state) {
        open.editor->invalidateAll();
        seconds += timed([&] { open.editor->idle(); });
    }
    report(state, seconds);
    state.counters["entries"] = kEntries;
}
BENCHMARK(BM_BrowserRepaintOverTenThousandEntries)->Unit(benchmark::kMillisecond);

} // namespace
