// The triangle/square LFO on blocks of 256 at 44.1 kHz: free running at 5 Hz, and retriggered from the
// song position every block. Counters: ns_per_sample (budget 3), allocs_per_block.

#include "engine/dsp/oscillators/TriangleSquareWaveLFO.h"
#include "support/BlockBench.h"

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
    test::timeBlockBatches(state, kBlocksPerBatch, kBlock, [&] {
        for (int block = 0; block < kBlocksPerBatch; ++block) {
            lfo.render(out);
            benchmark::DoNotOptimize(out.getData()[kBlock - 1]);
            benchmark::ClobberMemory();
        }
    });
    state.SetLabel(retrigger ? "retriggered" : "free running");
}
BENCHMARK(BM_WavetableLFOBlock)
    ->ArgName("retrigger")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

} // namespace
