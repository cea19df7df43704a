// The instrument's full voice chain, as the engine runs it: voices rendered and mixed by the engines in
// 512-frame blocks at 44.1 kHz on one core (the module flushes subnormals). Every voice holds a note on a
// key of its own (a key that sounds again would take over its voice) over a 20-second sine zone, looped
// whole so that the highest keys sound for the whole run, whose playback clock runs at 27 kHz. Up to 128
// voices play on the lower layer; more take both layers, each voice of a key on each (256: every key on
// both). Costs are per voice that is sounding, counted after every block.
//
// VoiceChain/<voices>: ns_per_voice_frame is the time of a block over sounding voices x frames (goal
// <= 45 ns); realtime_voices is how many voices one core renders in real time at that cost (goal >= 500);
// sounding is the mean count of sounding voices; allocs_per_block counts allocations in the timed blocks
// (goal 0). The engines render their voices in groups whose filters run side by side, as they do by default.
//
// VoiceChainGrouping/<voices>: the same voices rendered block after block in turn grouped and one by one
// (the output is the same to the bit), each timed on its own: ns_grouped and ns_one_by_one per sounding
// voice-frame, speedup their ratio, realtime_voices at the grouped cost.
//
// VoiceChainStages/<voices>: the same voices rendered block after block in turn with the whole chain and
// with each stage group switched off, each timed on its own, so the split comes from one run:
// ns_chain (the whole chain), ns_grunge (preamp, click, crusher, crosstalk), ns_filters (input low-pass,
// four-pole), ns_dac (DAC ladder) and ns_rest (players, VCA and DC blocker: everything switched off), all
// per sounding voice-frame. A group's cost is the whole chain less the chain without it.
//
// NoteOnLatency: the audio thread's cost of a note-on delivered between blocks, from the instance's MIDI
// entry through the block start that applies it to the voice playing (zone look-up, players, envelopes,
// tolerances, tune-ins), in microseconds (goal: median and max <= 5), with a limit of one voice: each note
// steals the last one, still in its release, and plays on the voice the block before freed (a block is
// rendered between notes, untimed). median_us, p99_us, p999_us and max_us over every note, in the audio
// thread's CPU time (which on a loaded machine or a virtual one still takes in what the system does
// meanwhile: FixedWorkSpread's maximum is that floor); first_us: the costlier of the process's first two
// notes (code and data cold, each a voice's first note, which draws its random sequences); born_median_us and
// born_max_us: voices' first notes once warm (every 4096 notes the pool lets its played voices go for fresh
// ones, untimed); max_wall_us: the longest in wall time, which other threads lengthen;
// allocs_* count each kind of event on the audio thread (goal 0): note-ons, note-offs, the modulation wheel,
// the pitch wheel and a parameter's automation; voices is the count the pool holds at the end (2: one
// sounding, one fading).

#include "engine/io/IOPinConfig.h"
#include "engine/zones/Zone.h"
#include "support/AllocationCounter.h"
#include "support/VoiceTestSupport.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <ctime>
#include <memory>
#include <vector>

namespace {

using namespace trov;
using test::InstrumentWorld;

constexpr std::int32_t kBlock = 512;
constexpr double kRate = 44100.0;

struct Bench {
    static constexpr int kKeys = 128;
    static constexpr int kToneFrames = 44100 * 20;

    Bench() {
        world.addSine("BenchTone", 261.6255653, kToneFrames, 60);
        plugin = world.makeInstrument(kBlock);
        for (int layer = 0; layer < 2; ++layer) {
            Settings& s = InstrumentWorld::settingsOf(*plugin, layer);
            s.setNormalizedValue("VCASustain", 1.0f, Sender::kEditor);
            s.setNormalizedValue("VCFPeak", 0.5f, Sender::kEditor);
            s.setFloat("VCFCutoff", 0.6f, Sender::kEditor);
            s.setFloat("VCFResonance", 0.5f, Sender::kEditor);
            s.setFloat("LFO_VCFDepth", 0.2f, Sender::kEditor);
            s.setLong("SustainVoices", 0, Sender::kEditor);
        }
    }
    // 0 the whole chain, 1 without the grunge stages, 2 without the filters, 3 without the DAC ladder
    // (the envelope bypass keeps the VCA), 4 with all three off.
    void bypass(int which) {
        for (int layer = 0; layer < layers; ++layer) {
            Settings& s = InstrumentWorld::settingsOf(*plugin, layer);
            s.setBool("GrungeBypass", which == 1 || which == 4, Sender::kEditor);
            s.setBool("FilterBypass", which == 2 || which == 4, Sender::kEditor);
            s.setBool("EnvelopeBypass", which == 3 || which == 4, Sender::kEditor);
        }
    }
    // Voices on distinct keys around middle C, on one layer or, beyond 128, on both.
    void start(int voices) {
        layers = voices > kKeys ? 2 : 1;
        const int keys = std::min((voices + layers - 1) / layers, kKeys);
        for (int layer = 0; layer < layers; ++layer) {
            const int index =
                InstrumentWorld::addZone(*plugin, layer, 0, 127, "BenchTone",
                                         "<ResampleFreq value=\"27000\"/><SampleLoopOn value=\"true\"/>");
            const SharedObjectPtr<Zone> zone(plugin->getZoneManager(layer)->getZone(index));
            zone->activate(Zone::Loop{Sample::kLoopOn, 0, kToneFrames - 1});
            InstrumentWorld::engineOf(*plugin, layer)->getVoicePool().setVoiceLimit(keys);
        }
        const int first = std::clamp(60 - keys / 2, 0, kKeys - keys);
        for (int key = first; key < first + keys; ++key)
            InstrumentWorld::midi(*plugin, 0x90, key, 100);
    }
    // What the blocks of one kind took, and the sounding voice-frames they rendered.
    struct Timed {
        double seconds = 0.0;
        double voiceFrames = 0.0;
        double nsPerVoiceFrame() const { return voiceFrames > 0.0 ? seconds * 1e9 / voiceFrames : 0.0; }
    };
    // One block timed into `into`; returns its time.
    double timedBlock(Timed& into) {
        const int count = sounding();
        const auto begin = std::chrono::steady_clock::now();
        plugin->process(inputs, outputs, kBlock);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - begin;
        benchmark::DoNotOptimize(outputs.getChannel(0)->getData()[0]);
        into.seconds += took.count();
        into.voiceFrames += static_cast<double>(count) * kBlock;
        return took.count();
    }
    int sounding() const {
        int count = 0;
        for (int layer = 0; layer < 2; ++layer)
            count += InstrumentWorld::engineOf(*plugin, layer)->getActiveVoiceCount();
        return count;
    }

    InstrumentWorld world{TROV_BUILD_DATA};
    std::unique_ptr<test::ToleranceInstrument> plugin;
    IOPinConfig inputs = test::makePins(1, 1, kBlock);
    IOPinConfig outputs = test::makePins(2, 1, kBlock);
    int layers = 1;
};

// The stage groups a bypass setting switches off.
enum Stages { kWholeChain, kNoGrunge, kNoFilters, kNoDac, kRestOnly, kStageRuns };

void VoiceChain(benchmark::State& state) {
    const int voices = static_cast<int>(state.range(0));
    Bench bench;
    bench.bypass(kWholeChain);
    bench.start(voices);
    std::int64_t blocks = 0;
    std::int64_t soundingVoiceBlocks = 0;
    std::uint64_t allocations = 0;
    for (auto _ : state) {
        const std::uint64_t before = test::allocationsOnThisThread();
        bench.plugin->process(bench.inputs, bench.outputs, kBlock);
        allocations += test::allocationsOnThisThread() - before;
        benchmark::DoNotOptimize(bench.outputs.getChannel(0)->getData()[0]);
        state.PauseTiming();
        soundingVoiceBlocks += bench.sounding();
        ++blocks;
        state.ResumeTiming();
    }
    const double voiceFrames = static_cast<double>(soundingVoiceBlocks) * kBlock;
    state.counters["ns_per_voice_frame"] =
        benchmark::Counter(voiceFrames * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    // Real-time voices: a second of audio holds kRate frames, so a voice-frame cost c gives 1e9 / (c kRate).
    state.counters["realtime_voices"] = benchmark::Counter(voiceFrames / kRate, benchmark::Counter::kIsRate);
    state.counters["allocs_per_block"] = static_cast<double>(allocations) / static_cast<double>(blocks);
    state.counters["sounding"] = static_cast<double>(soundingVoiceBlocks) / static_cast<double>(blocks);
}
BENCHMARK(VoiceChain)->Arg(1)->Arg(16)->Arg(64)->Arg(256)->Unit(benchmark::kMicrosecond);

void VoiceChainGrouping(benchmark::State& state) {
    const int voices = static_cast<int>(state.range(0));
    Bench bench;
    bench.bypass(kWholeChain);
    bench.start(voices);
    std::array<Bench::Timed, 2> timed{}; // one by one, grouped
    for (auto _ : state) {
        double iteration = 0.0;
        for (int grouped = 0; grouped < 2; ++grouped) {
            for (int layer = 0; layer < 2; ++layer)
                InstrumentWorld::engineOf(*bench.plugin, layer)->setVoiceGrouping(grouped != 0);
            iteration += bench.timedBlock(timed[static_cast<std::size_t>(grouped)]);
        }
        state.SetIterationTime(iteration);
    }
    const double single = timed[0].nsPerVoiceFrame();
    const double grouped = timed[1].nsPerVoiceFrame();
    state.counters["ns_one_by_one"] = single;
    state.counters["ns_grouped"] = grouped;
    state.counters["speedup"] = grouped > 0.0 ? single / grouped : 0.0;
    state.counters["realtime_voices"] = grouped > 0.0 ? 1e9 / (grouped * kRate) : 0.0;
    state.counters["sounding"] = timed[1].voiceFrames / kBlock / static_cast<double>(state.iterations());
}
BENCHMARK(VoiceChainGrouping)
    ->Arg(1)
    ->Arg(2)
    ->Arg(16)
    ->Arg(64)
    ->Arg(256)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

void VoiceChainStages(benchmark::State& state) {
    const int voices = static_cast<int>(state.range(0));
    Bench bench;
    bench.start(voices);
    std::array<Bench::Timed, kStageRuns> timed{};
    for (auto _ : state) {
        double iteration = 0.0;
        for (int run = 0; run < kStageRuns; ++run) {
            bench.bypass(run);
            iteration += bench.timedBlock(timed[static_cast<std::size_t>(run)]);
        }
        state.SetIterationTime(iteration);
    }
    std::array<double, kStageRuns> ns{};
    for (std::size_t run = 0; run < ns.size(); ++run)
        ns[run] = timed[run].nsPerVoiceFrame();
    state.counters["ns_chain"] = ns[kWholeChain];
    state.counters["ns_grunge"] = ns[kWholeChain] - ns[kNoGrunge];
    state.counters["ns_filters"] = ns[kWholeChain] - ns[kNoFilters];
    state.counters["ns_dac"] = ns[kWholeChain] - ns[kNoDac];
    state.counters["ns_rest"] = ns[kRestOnly];
    state.counters["sounding"] =
        timed[kWholeChain].voiceFrames / kBlock / static_cast<double>(state.iterations());
}
BENCHMARK(VoiceChainStages)->Arg(64)->Arg(256)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The calling thread's CPU time: what the audio thread spends, without the time the system gives other
// threads meanwhile.
double threadCpuMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) * 1e-3;
}

// One MIDI event delivered on the audio thread between blocks and the block start that applies it.
void deliver(Bench& bench, int status, int data1, int data2) {
    MidiEvent event;
    event.status = static_cast<std::uint8_t>(status);
    event.data1 = static_cast<std::uint8_t>(data1);
    event.data2 = static_cast<std::uint8_t>(data2);
    bench.plugin->midiEvent(&event);
    bench.plugin->applyEvents();
}

// The median, p99, p999 and maximum of the times, in microseconds.
void reportSpread(benchmark::State& state, std::vector<double>& times) {
    if (times.empty())
        return;
    std::sort(times.begin(), times.end());
    state.counters["median_us"] = times[times.size() / 2];
    state.counters["p99_us"] = times[times.size() * 99 / 100];
    state.counters["p999_us"] = times[times.size() * 999 / 1000];
    state.counters["max_us"] = times.back();
}

void NoteOnLatency(benchmark::State& state) {
    Bench bench;
    bench.start(1);
    OstrelEngine& engine = *InstrumentWorld::engineOf(*bench.plugin, 0);
    Parameter* cutoff = InstrumentWorld::settingsOf(*bench.plugin, 0).getParameter("VCFCutoff");
    std::vector<double> noteOns;
    noteOns.reserve(1 << 20);
    // Allocations of each kind of event, note-ons, note-offs, controllers, the wheel, automation.
    std::array<std::uint64_t, 5> allocations{};
    std::int64_t rounds = 0;
    int key = 40;
    const auto counted = [](std::uint64_t& count, auto&& event) {
        const std::uint64_t before = test::allocationsOnThisThread();
        event();
        count += test::allocationsOnThisThread() - before;
    };
    double maxWall = 0.0;
    std::vector<double> bornNotes;
    bornNotes.reserve(1 << 12);
    constexpr std::int64_t kResetEvery = 4096;
    for (auto _ : state) {
        // Now and then the pool lets its played voices go for fresh ones made ahead (untimed, as the
        // user-interface thread does it), so that the next two notes are each a voice's first.
        const bool born = rounds % kResetEvery < 2;
        if (rounds > 0 && rounds % kResetEvery == 0)
            engine.getVoicePool().reset();
        const std::uint64_t before = test::allocationsOnThisThread();
        const double cpuBegin = threadCpuMicroseconds();
        const auto begin = std::chrono::steady_clock::now();
        deliver(bench, 0x90, key, 100);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - begin;
        const double cpu = threadCpuMicroseconds() - cpuBegin;
        allocations[0] += test::allocationsOnThisThread() - before;
        noteOns.push_back(cpu);
        if (born && rounds > 1)
            bornNotes.push_back(cpu);
        state.SetIterationTime(took.count());
        maxWall = std::max(maxWall, took.count() * 1e6);
        benchmark::DoNotOptimize(engine.getActiveVoiceCount());
        counted(allocations[2], [&] { deliver(bench, 0xB0, 1, key); });
        counted(allocations[3], [&] { deliver(bench, 0xE0, 0, key); });
        counted(allocations[4], [&] {
            cutoff->setNormalized(static_cast<float>(key) / 127.0f, Sender::kHost);
            bench.plugin->applyEvents();
        });
        counted(allocations[1], [&] { deliver(bench, 0x80, key, 0); });
        // The block frees the voice the note stole.
        bench.plugin->process(bench.inputs, bench.outputs, kBlock);
        key = key == 80 ? 40 : key + 1;
        ++rounds;
    }
    if (noteOns.size() >= 2)
        state.counters["first_us"] = std::max(noteOns[0], noteOns[1]);
    if (!bornNotes.empty()) {
        std::sort(bornNotes.begin(), bornNotes.end());
        state.counters["born_median_us"] = bornNotes[bornNotes.size() / 2];
        state.counters["born_max_us"] = bornNotes.back();
    }
    reportSpread(state, noteOns);
    state.counters["max_wall_us"] = maxWall;
    const double n = static_cast<double>(std::max<std::int64_t>(rounds, 1));
    state.counters["allocs_note_on"] = static_cast<double>(allocations[0]) / n;
    state.counters["allocs_note_off"] = static_cast<double>(allocations[1]) / n;
    state.counters["allocs_controller"] = static_cast<double>(allocations[2]) / n;
    state.counters["allocs_wheel"] = static_cast<double>(allocations[3]) / n;
    state.counters["allocs_automation"] = static_cast<double>(allocations[4]) / n;
    state.counters["voices"] = engine.getVoicePool().getVoiceCount();
}
BENCHMARK(NoteOnLatency)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The same timing around a fixed computation of about a note-on's length: its spread is the machine's, the
// floor under NoteOnLatency's maximum.
void FixedWorkSpread(benchmark::State& state) {
    std::vector<double> times;
    times.reserve(1 << 20);
    double sum = 0.0;
    for (auto _ : state) {
        const double begin = threadCpuMicroseconds();
        for (int i = 0; i < 200; ++i)
            sum += std::sqrt(static_cast<double>(i) + sum * 1e-9);
        benchmark::DoNotOptimize(sum);
        const double took = threadCpuMicroseconds() - begin;
        times.push_back(took);
        state.SetIterationTime(took * 1e-6);
    }
    reportSpread(state, times);
}
BENCHMARK(FixedWorkSpread)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace
