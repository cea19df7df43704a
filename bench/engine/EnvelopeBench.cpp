// The stepped segment envelope on blocks of 256 at 44.1 kHz, rendering its curve and multiplying a
// signal by it, through segment ends (a note of 300 ms attack, 200 ms decay, sustain, 400 ms release,
// retriggered whenever it ends). Counters: ns_per_sample (budget 2.5), allocs_per_block.

#include "engine/dsp/EnvelopeDiscreteSloped.h"
#include "support/BlockBench.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>

namespace {

using namespace trov;

constexpr std::int32_t kBlock = 256;
constexpr int kBlocksPerBatch = 64;
constexpr int kBlocksPerNote = 200; // about 1.2 s: attack, decay, a short sustain, release and end

void BM_EnvelopeBlock(benchmark::State& state) {
    const bool multiply = state.range(0) != 0;
    EnvelopeDiscreteSloped envelope(nullptr, 128);
    envelope.addSegment(0.9f, 300, 1.0f, false);
    envelope.addSegment(0.5f, 200, 1.0f, true);
    envelope.addSegment(0.0f, 400, 1.0f, false);
    IOChannel<float> in(kBlock);
    std::fill_n(in.getData(), kBlock, 0.5f);
    in.setValidFrames(kBlock);
    IOChannel<float> out(kBlock);
    int blockOfNote = 0;
    test::timeBlockBatches(state, kBlocksPerBatch, kBlock, [&] {
        for (int block = 0; block < kBlocksPerBatch; ++block) {
            if (blockOfNote == 0)
                envelope.trigger();
            else if (blockOfNote == 110)
                envelope.release();
            blockOfNote = (blockOfNote + 1) % kBlocksPerNote;
            if (multiply)
                envelope.process(in, out);
            else
                envelope.render(out);
            benchmark::DoNotOptimize(out.getData()[kBlock - 1]);
            benchmark::ClobberMemory();
        }
    });
    state.SetLabel(multiply ? "process" : "render");
}
BENCHMARK(BM_EnvelopeBlock)
    ->ArgName("process")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

} // namespace
