// The triangle/square LFO on blocks of 256 at 44.1 kHz: free running at 5 Hz, and retriggered from the
// song position every block. Counters: ns_per_sample (budget 3), allocs_per_block.

#include "engine/dsp/oscillators/TriangleSquareWaveLFO.h"
#include "support/AllocationCounter.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>

namespace {

using namespace trov;

constexpr std::int32_t kBlock = 256;
constexpr int kBlocksPerBatch = 64;

void BM_WavetableLFOBlock(benchmark::State& state) {
    const bool retrigger = state.range(0) != 0;
    TriangleSquareWaveLFO lfo(nullptr);
    lfo.setFrequency(5.0f);
    lfo.setShape(0.3f);
    lfo.setRetrigger(retrigger);
    IOChannel<float> out(kBlock);
    double seconds = 0.0;
    std::uint64_t allocations = 0;
    for (auto _ : state) {
        const std::uint64_t before = test::allocationsOnThisThread();
        const auto start = std::chrono::steady_clock::now();
        for (int block = 0; block < kBlocksPerBatch; ++block) {
            lfo.render(out);
            benchmark::DoNotOptimize(out.getData()[kBlock - 1]);
            benchmark::ClobberMemory();
        }
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        allocations += test::allocationsOnThisThread() - before;
        seconds += elapsed;
        state.SetIterationTime(elapsed);
    }
    const double blocks = static_cast<double>(state.iterations()) * kBlocksPerBatch;
    state.SetLabel(retrigger ? "retriggered" : "free running");
    state.counters["ns_per_sample"] = seconds * 1e9 / (blocks * kBlock);
    state.counters["allocs_per_block"] = static_cast<double>(allocations) / blocks;
}
BENCHMARK(BM_WavetableLFOBlock)
    ->ArgName("retrigger")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

} // namespace
