// The instrument's front panel as installed (the data folder's editor specification and skins over the
// real instrument), against the 50 ms tick of the host view's window timer:
// - the first full paint of the opened editor, its skins loaded by the build before; counters ms per paint
//   and x_tick (the paint's share of one tick);
// - one tick's repaint while eight voices sound: the LCDs' flicker ticks and the LED's tick on the clock
//   (each flickering display queues its area), then the editor's repaint of what they queued; counters ms,
//   x_tick and the voices the engine reported.

#include "instrument/engine/OstrelEngine.h"
#include "platform/ClockService.h"
#include "support/FrontPanelWorld.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace {

using namespace trov;

template <class Work> double timed(Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void reportAgainstTheTick(benchmark::State& state, double seconds) {
    const double each = seconds / static_cast<double>(state.iterations());
    state.counters["ms"] = each * 1e3;
    state.counters["x_tick"] = each / 0.050;
}

void BM_FirstFullPaintAgainstTheTick(benchmark::State& state) {
    test::FrontPanelWorld panel;
    double seconds = 0.0;
    for (auto _ : state) {
        std::unique_ptr<Editor> editor = panel.makeEditor();
        seconds += timed([&] {
            editor->open(platform::kNoWindow, editor->getSize());
            editor->invalidateAll();
            editor->idle();
        });
        editor->close();
    }
    reportAgainstTheTick(state, seconds);
}
BENCHMARK(BM_FirstFullPaintAgainstTheTick)->Unit(benchmark::kMillisecond);

void BM_FlickerTickRepaintWithEightVoices(benchmark::State& state) {
    // The displays' timers run on this clock, so each iteration is exactly one flicker tick.
    platform::ManualClock clock;
    platform::ScopedClock installed(clock);
    test::FrontPanelWorld panel;
    panel.world.addSine("sine", 440.0, 44100 * 8, 60);
    test::InstrumentWorld::addZone(panel.instrument(), 0, 0, 127, "sine");
    std::unique_ptr<Editor> editor = panel.makeEditor();
    editor->open(platform::kNoWindow, editor->getSize());
    editor->idle();
    for (int key = 60; key < 68; ++key)
        panel.midi(0x90, key, 100);
    panel.play(1);
    const int voices = test::InstrumentWorld::engineOf(panel.instrument(), 0)->getBlockVoiceCount();
    double seconds = 0.0;
    double area = 0.0;
    for (auto _ : state)
        seconds += timed([&] {
            clock.advance(100);
            for (const Rect& r : editor->getDirtyRects())
                area += static_cast<double>(r.getWidth()) * r.getHeight();
            editor->idle();
        });
    editor->close();
    reportAgainstTheTick(state, seconds);
    state.counters["voices"] = voices;
    // The pixels one tick repaints, to tell a repaint from an idle that found nothing to paint.
    state.counters["pixels"] = area / static_cast<double>(state.iterations());
}
BENCHMARK(BM_FlickerTickRepaintWithEightVoices)->Unit(benchmark::kMillisecond);

} // namespace
