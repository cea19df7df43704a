// The instrument's full voice chain, as the engine runs it: voices of one layer rendered and mixed by the
// engine in 512-frame blocks at 44.1 kHz on one core (the module flushes subnormals).
// Every voice holds a note on a key of two octaves over a 20-second sine zone whose playback clock runs at 27
// kHz.
//
// VoiceChain/<voices>/<bypass>: ns_per_voice_frame is the time of a block over voices x frames (goal
// <= 88 ns); realtime_voices is how many voices one core renders in real time at that cost (goal >= 256).
// The bypass argument splits the chain by stage group: 0 the whole chain, 1 without the grunge stages
// (preamp, click, crusher, crosstalk), 2 without the filters (input low-pass, four-pole), 3 without the
// DAC ladder, 4 with all three off (players, VCA and DC blocker only); the difference to 0 is the group's
// share. allocs_per_block counts allocations in the timed blocks (goal 0).
//
// NoteOnLatency: from the instance's MIDI entry to the voice playing, the whole note start (zone look-up,
// players, envelopes, tolerances, tune-ins), in microseconds.

#include "engine/io/IOPinConfig.h"
#include "support/AllocationCounter.h"
#include "support/VoiceTestSupport.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace {

using namespace trov;
using test::InstrumentWorld;

constexpr std::int32_t kBlock = 512;
constexpr double kRate = 44100.0;

struct Bench {
    Bench() {
        world.addSine("BenchTone", 261.6255653, 44100 * 20, 60);
        plugin = world.makeInstrument(kBlock);
        InstrumentWorld::addZone(*plugin, 0, 0, 127, "BenchTone",
                                 "<ResampleFreq value=\"27000\"/><SampleLoopOn value=\"false\"/>");
        Settings& s = InstrumentWorld::settingsOf(*plugin, 0);
        s.setNormalizedValue("VCASustain", 1.0f, Sender::kEditor);
        s.setNormalizedValue("VCFPeak", 0.5f, Sender::kEditor);
        s.setFloat("VCFCutoff", 0.6f, Sender::kEditor);
        s.setFloat("VCFResonance", 0.5f, Sender::kEditor);
        s.setFloat("LFO_VCFDepth", 0.2f, Sender::kEditor);
        s.setLong("SustainVoices", 0, Sender::kEditor);
    }
    void bypass(int which) {
        Settings& s = InstrumentWorld::settingsOf(*plugin, 0);
        s.setBool("GrungeBypass", which == 1 || which == 4, Sender::kEditor);
        s.setBool("FilterBypass", which == 2 || which == 4, Sender::kEditor);
        s.setBool("EnvelopeBypass", which == 3 || which == 4, Sender::kEditor);
    }
    void start(int voices) {
        OstrelEngine& engine = *InstrumentWorld::engineOf(*plugin, 0);
        engine.getVoicePool().setVoiceLimit(voices);
        for (int v = 0; v < voices; ++v)
            InstrumentWorld::midi(*plugin, 0x90, 48 + v % 24, 100);
    }

    InstrumentWorld world{TROV_BUILD_DATA};
    std::unique_ptr<test::ToleranceInstrument> plugin;
    IOPinConfig inputs = test::makePins(1, 1, kBlock);
    IOPinConfig outputs = test::makePins(2, 1, kBlock);
};

void VoiceChain(benchmark::State& state) {
    const int voices = static_cast<int>(state.range(0));
    Bench bench;
    bench.bypass(static_cast<int>(state.range(1)));
    bench.start(voices);
    std::int64_t blocks = 0;
    const std::uint64_t allocationsBefore = test::allocationsOnThisThread();
    for (auto _ : state) {
        bench.plugin->process(bench.inputs, bench.outputs, kBlock);
        benchmark::DoNotOptimize(bench.outputs.getChannel(0)->getData()[0]);
        ++blocks;
    }
    const std::uint64_t allocations = test::allocationsOnThisThread() - allocationsBefore;
    const double voiceFrames = static_cast<double>(blocks) * kBlock * voices;
    state.counters["ns_per_voice_frame"] =
        benchmark::Counter(voiceFrames * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    // Real-time voices: a second of audio holds kRate frames, so a voice-frame cost c gives 1e9 / (c kRate).
    state.counters["realtime_voices"] = benchmark::Counter(voiceFrames / kRate, benchmark::Counter::kIsRate);
    state.counters["allocs_per_block"] = static_cast<double>(allocations) / static_cast<double>(blocks);
    state.counters["sounding"] = InstrumentWorld::engineOf(*bench.plugin, 0)->getActiveVoiceCount();
}
BENCHMARK(VoiceChain)
    ->ArgsProduct({{1, 16, 64, 256}, {0}})
    ->ArgsProduct({{64}, {1, 2, 3, 4}})
    ->Unit(benchmark::kMicrosecond);

void NoteOnLatency(benchmark::State& state) {
    Bench bench;
    bench.start(1);
    OstrelEngine& engine = *InstrumentWorld::engineOf(*bench.plugin, 0);
    int key = 40;
    for (auto _ : state) {
        InstrumentWorld::midi(*bench.plugin, 0x90, key, 100);
        state.PauseTiming();
        benchmark::DoNotOptimize(engine.getActiveVoiceCount());
        InstrumentWorld::midi(*bench.plugin, 0x80, key, 0);
        key = key == 80 ? 40 : key + 1;
        state.ResumeTiming();
    }
}
BENCHMARK(NoteOnLatency)->Unit(benchmark::kMicrosecond);

} // namespace
