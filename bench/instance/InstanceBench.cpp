// The instance's render path and its controller path against their budgets.
//
// BM_Process: one block through `process` with the null engine (two modules, meters bracketed as the host
// binding does), 2 and 8 output channels, at 32, 64 and 512 frames. BM_Memset clears the same buffers: the
// floor any block costs. Counters: budget_pct (time per block as a percentage of the block's real-time
// budget at 44.1 kHz; goal under 1 at 64 frames) and allocs (allocations per block; goal 0).
//
// BM_ControllerSweep: 1000 controller messages on a controller mapped to a parameter of both modules, with
// and without an editor that receives them. Counter: budget_pct per controller, against a 64-frame block's
// budget (goal under 1), and allocs per controller.

#include "engine/io/IOPinConfig.h"
#include "framework/CPUMeter.h"
#include "plugin/MidiMapper.h"
#include "support/AllocationCounter.h"
#include "support/InstanceTestSupport.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using namespace trov;
using namespace trov::test;

constexpr double kSampleRate = 44100.0;

// Seconds per iteration as a percentage of the budget.
double percentOf(double seconds, benchmark::IterationCount iterations, double budgetSeconds) {
    return iterations > 0 ? seconds / static_cast<double>(iterations) / budgetSeconds * 100.0 : 0.0;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct RenderSetUp {
    explicit RenderSetUp(int channels, std::int32_t frames) : outputs(1, channels), frames(frames) {
        world.info.engines = InstanceTestPluginInfo::Engines::Null;
        plugin = world.makePlugin();
        plugin->setMaxBlockSize(frames);
        for (int c = 0; c < outputs.getChannelCount(); ++c)
            outputs.getChannel(c)->allocate(frames);
        plugin->addCpuMeter(0, &meter);
    }
    ~RenderSetUp() { plugin->removeCpuMeter(0); }

    InstanceWorld world;
    std::unique_ptr<Plugin> plugin;
    IOPinConfig inputs{2, 1};
    IOPinConfig outputs;
    CPUMeter meter{8};
    std::int32_t frames;
};

void BM_Process(benchmark::State& state) {
    RenderSetUp setUp(static_cast<int>(state.range(0)), static_cast<std::int32_t>(state.range(1)));
    Plugin& plugin = *setUp.plugin;
    const std::uint64_t before = test::allocationsInProcess();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        plugin.beginCpuMeter(0);
        plugin.process(setUp.inputs, setUp.outputs, setUp.frames);
        plugin.endCpuMeter(0);
        benchmark::ClobberMemory();
    }
    const double seconds = secondsSince(start);
    const std::uint64_t allocations = test::allocationsInProcess() - before;
    state.counters["budget_pct"] = percentOf(seconds, state.iterations(), setUp.frames / kSampleRate);
    state.counters["allocs"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}

void BM_Memset(benchmark::State& state) {
    RenderSetUp setUp(static_cast<int>(state.range(0)), static_cast<std::int32_t>(state.range(1)));
    std::vector<float*> buffers;
    for (int c = 0; c < setUp.outputs.getChannelCount(); ++c)
        buffers.push_back(setUp.outputs.getChannel(c)->getData());
    const std::size_t bytes = sizeof(float) * static_cast<std::size_t>(setUp.frames);
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        for (float* buffer : buffers)
            std::memset(buffer, 0, bytes);
        benchmark::ClobberMemory();
    }
    state.counters["budget_pct"] =
        percentOf(secondsSince(start), state.iterations(), setUp.frames / kSampleRate);
}

void renderArguments(benchmark::internal::Benchmark* bench) {
    for (int channels : {2, 8})
        for (int frames : {32, 64, 512})
            bench->Args({channels, frames});
}

BENCHMARK(BM_Process)->Apply(renderArguments);
BENCHMARK(BM_Memset)->Apply(renderArguments);

constexpr int kControllers = 1000;

void BM_ControllerSweep(benchmark::State& state) {
    InstanceWorld world;
    world.info.engines = InstanceTestPluginInfo::Engines::Null;
    FakeEditor editor;
    if (state.range(0) != 0)
        world.host.setEditor(&editor);
    auto plugin = world.makePlugin();
    plugin->getMidiMapper()->assign(7, parameterOf(*plugin, 0, "Cutoff"));
    const std::uint64_t before = test::allocationsInProcess();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        for (int i = 0; i < kControllers; ++i) {
            const MidiEvent event = midi(0xB0, 7, i % 128);
            plugin->midiEvent(&event);
        }
        editor.controllers.clear();
        editor.values.clear();
    }
    const double seconds = secondsSince(start);
    // Per controller, against one 64-frame block.
    state.counters["budget_pct"] = percentOf(seconds / kControllers, state.iterations(), 64 / kSampleRate);
    state.counters["allocs"] =
        benchmark::Counter(static_cast<double>(test::allocationsInProcess() - before) / kControllers,
                           benchmark::Counter::kAvgIterations);
    world.host.setEditor(nullptr);
}

BENCHMARK(BM_ControllerSweep)->Arg(0)->Arg(1)->ArgName("editor");

} // namespace
