#pragma once
// The timing loop the block benchmarks share: each benchmark iteration runs one batch of blocks, timed by
// hand (the benchmark uses manual time) with the allocations of this thread counted around it.

#include "support/AllocationCounter.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>

namespace trov::test {

struct BlockBatchTotals {
    double seconds = 0.0;
    double blocks = 0.0; // blocks run over all iterations
    std::uint64_t allocations = 0;
};

// Runs `batch` (which processes `blocksPerBatch` blocks) once per iteration and sets "ns_per_sample"
// (over `framesPerBlock` frames a block) and "allocs_per_block"; the totals are returned for further
// counters.
template <class Batch>
BlockBatchTotals timeBlockBatches(benchmark::State& state, int blocksPerBatch, int framesPerBlock,
                                  Batch&& batch) {
    BlockBatchTotals totals;
    for (auto _ : state) {
        const std::uint64_t before = allocationsOnThisThread();
        const auto start = std::chrono::steady_clock::now();
        batch();
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        totals.allocations += allocationsOnThisThread() - before;
        totals.seconds += elapsed;
        state.SetIterationTime(elapsed);
    }
    totals.blocks = static_cast<double>(state.iterations()) * blocksPerBatch;
    state.counters["ns_per_sample"] = totals.seconds * 1e9 / (totals.blocks * framesPerBlock);
    state.counters["allocs_per_block"] = static_cast<double>(totals.allocations) / totals.blocks;
    return totals;
}

} // namespace trov::test
