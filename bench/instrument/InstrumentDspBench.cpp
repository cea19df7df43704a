// The instrument's own blocks per frame at 44.1 kHz, in 512-frame host blocks split into the voice's
// 256-frame sub-blocks, under the flush-to-zero mode the engine renders in: the four-pole filter (with an
// envelope curve on its cutoff, low-pass and blended high-pass sides), the envelope (a note every 40
// blocks, released after 30) and the LFO. ns_per_frame is the figure that counts (one voice's share of the
// 88 ns voice-frame goal for the filter and envelope; the LFO runs once per engine, not per voice).
// The filter runs beside a plain linear four-stage ladder (the same recurrence without saturation, clip
// table or noise) measured in the same run: x_linear is its cost over that reference. allocs_per_block
// counts allocations while rendering (goal 0).
// BM_OstrelFilterGroup/<filters>/<vector>: that many filters (each its own cutoff, resonance and
// response) through a block in two sub-blocks, run side by side in a group (portable lanes or SSE2 pairs)
// and, in the same iteration, one after the other through processAt: ns_grouped and ns_one_by_one per
// filter-frame, speedup the ratio (the noise drawn in both).

#include "engine/dsp/FlushDenormals.h"
#include "instrument/AnalogTolerances.h"
#include "instrument/dsp/Ostrel4PoleFilter.h"
#include "instrument/dsp/Ostrel4PoleFilterGroup.h"
#include "instrument/dsp/OstrelEnvelope.h"
#include "instrument/dsp/OstrelLFO.h"
#include "support/AllocationCounter.h"

#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

using namespace trov;

constexpr std::int32_t kBlock = 512;
constexpr std::int32_t kSubBlock = 256;

class UnitTolerances : public AnalogTolerances {
public:
    float getAnalogTolerance(std::string_view, int, int) override { return 1.0f; }
};

// A 512-frame block of a sawtooth-like test signal.
IOChannel<float> signalBlock() {
    IOChannel<float> channel(kBlock);
    for (std::int32_t i = 0; i < kBlock; ++i)
        channel.getData()[i] = 0.5f * std::sin(0.031f * float(i)) + 0.2f * std::sin(0.173f * float(i));
    channel.setValidFrames(kBlock);
    return channel;
}

void reportPerFrame(benchmark::State& state, double seconds, std::uint64_t allocations, std::int64_t blocks) {
    const double frames = double(blocks) * kBlock;
    state.counters["ns_per_frame"] = seconds * 1e9 / frames;
    state.counters["allocs_per_block"] = double(allocations) / double(blocks);
    state.SetItemsProcessed(static_cast<std::int64_t>(frames));
}

// The reference: the ladder's linear recurrence alone.
double linearLadderSeconds(std::int64_t blocks) {
    const IOChannel<float> source = signalBlock();
    std::vector<float> out(kBlock);
    const double k = -0.6, p = (k + 1.0) * 0.5;
    double x1 = 0, y1 = 0, y2 = 0, y3 = 0, y4 = 0;
    const auto start = std::chrono::steady_clock::now();
    for (std::int64_t b = 0; b < blocks; ++b) {
        for (std::int32_t i = 0; i < kBlock; ++i) {
            const double x = source.getData()[i] - 0.5 * y4;
            const double a1 = (x + x1) * p - k * y1;
            const double a2 = (y1 + a1) * p - k * y2;
            const double a3 = (y2 + a2) * p - k * y3;
            const double a4 = (y3 + a3) * p - k * y4;
            out[static_cast<std::size_t>(i)] = static_cast<float>(a4);
            x1 = x;
            y1 = a1;
            y2 = a2;
            y3 = a3;
            y4 = a4;
        }
        benchmark::DoNotOptimize(out.data());
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_OstrelFilter(benchmark::State& state) {
    const ScopedFlushDenormals flush;
    UnitTolerances tolerances;
    Ostrel4PoleFilter filter(nullptr, &tolerances);
    filter.setResonance(0.7f);
    filter.setResponse(static_cast<float>(state.range(0)) / 2.0f);
    filter.setBaseCutoff(0.4f);
    IOChannel<float> envelope(kBlock);
    for (std::int32_t i = 0; i < kBlock; ++i)
        envelope.getData()[i] = 0.4f * float(kBlock - i) / float(kBlock);
    envelope.setValidFrames(kBlock);
    filter.setInput(0, &envelope);
    const IOChannel<float> source = signalBlock();
    IOChannel<float> block(kBlock);

    std::int64_t blocks = 0;
    double seconds = 0.0;
    std::uint64_t allocations = 0;
    for (auto _ : state) {
        block.copyFrom(source);
        const std::uint64_t before = test::allocationsOnThisThread();
        const auto start = std::chrono::steady_clock::now();
        for (std::int32_t at = 0; at < kBlock; at += kSubBlock) {
            IOChannel<float> view(block, at, kSubBlock); // a window into the block, as the voice's
            view.setValidFrames(kSubBlock);
            filter.processAt(view, view, at);
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        allocations += test::allocationsOnThisThread() - before;
        benchmark::DoNotOptimize(block.getData());
        ++blocks;
    }
    reportPerFrame(state, seconds, allocations, blocks);
    state.counters["x_linear"] = seconds / linearLadderSeconds(blocks);
}
BENCHMARK(BM_OstrelFilter)->Arg(0)->Arg(3)->ArgName("response_x2");

void BM_OstrelFilterGroup(benchmark::State& state) {
    const ScopedFlushDenormals flush;
    const auto count = static_cast<std::size_t>(state.range(0));
    Ostrel4PoleFilterGroup::setPath(state.range(1) != 0 ? Ostrel4PoleFilterGroup::Path::Vector
                                                        : Ostrel4PoleFilterGroup::Path::Portable);
    UnitTolerances tolerances;
    IOChannel<float> envelope(kBlock);
    for (std::int32_t i = 0; i < kBlock; ++i)
        envelope.getData()[i] = 0.4f * float(kBlock - i) / float(kBlock);
    envelope.setValidFrames(kBlock);
    std::vector<std::unique_ptr<Ostrel4PoleFilter>> filters;
    std::vector<IOChannel<float>> blocks;
    for (std::size_t f = 0; f < count; ++f) {
        filters.push_back(std::make_unique<Ostrel4PoleFilter>(nullptr, &tolerances, false));
        filters.back()->setResonance(0.5f + 0.05f * float(f));
        filters.back()->setResponse(0.2f * float(f % 3));
        filters.back()->setBaseCutoff(0.3f + 0.05f * float(f));
        filters.back()->setInput(0, &envelope);
        blocks.emplace_back(kBlock);
    }
    const IOChannel<float> source = signalBlock();
    Ostrel4PoleFilterGroup group;
    group.reserve(kBlock, kBlock / kSubBlock);

    double grouped = 0.0;
    double single = 0.0;
    std::int64_t rounds = 0;
    for (auto _ : state) {
        for (IOChannel<float>& block : blocks)
            block.copyFrom(source);
        auto start = std::chrono::steady_clock::now();
        for (std::size_t f = 0; f < count; ++f)
            for (std::int32_t at = 0; at < kBlock; at += kSubBlock)
                group.queue(*filters[f], blocks[f].getData() + at, kSubBlock, at);
        group.process();
        group.clear();
        grouped += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        benchmark::DoNotOptimize(blocks.front().getData());

        for (IOChannel<float>& block : blocks)
            block.copyFrom(source);
        start = std::chrono::steady_clock::now();
        for (std::size_t f = 0; f < count; ++f)
            for (std::int32_t at = 0; at < kBlock; at += kSubBlock) {
                IOChannel<float> view(blocks[f], at, kSubBlock);
                view.setValidFrames(kSubBlock);
                filters[f]->processAt(view, view, at);
            }
        single += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        benchmark::DoNotOptimize(blocks.front().getData());
        ++rounds;
    }
    Ostrel4PoleFilterGroup::setPath(Ostrel4PoleFilterGroup::Path::Automatic);
    const double frames = double(rounds) * double(count) * kBlock;
    state.counters["ns_grouped"] = grouped * 1e9 / frames;
    state.counters["ns_one_by_one"] = single * 1e9 / frames;
    state.counters["speedup"] = single / grouped;
}
BENCHMARK(BM_OstrelFilterGroup)
    ->ArgsProduct({{1, 2, 5, 8}, {0, 1}})
    ->ArgNames({"filters", "vector"})
    ->Unit(benchmark::kMicrosecond);

void BM_OstrelEnvelope(benchmark::State& state) {
    const ScopedFlushDenormals flush;
    OstrelEnvelope envelope(nullptr);
    const IOChannel<float> source = signalBlock();
    IOChannel<float> block(kBlock);
    std::int64_t blocks = 0;
    double seconds = 0.0;
    std::uint64_t allocations = 0;
    for (auto _ : state) {
        block.copyFrom(source);
        const std::uint64_t before = test::allocationsOnThisThread();
        const auto start = std::chrono::steady_clock::now();
        const std::int64_t step = blocks % 40;
        if (step == 0) {
            const float x = float(blocks % 400) / 400.0f;
            envelope.setStages(0.1f + 0.1f * x, 0.8f, 0.3f + x * 0.2f, 0.6f, 0.2f);
            envelope.trigger();
        } else if (step == 30) {
            envelope.release();
        }
        envelope.processInPlace(block);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        allocations += test::allocationsOnThisThread() - before;
        benchmark::DoNotOptimize(block.getData());
        ++blocks;
    }
    reportPerFrame(state, seconds, allocations, blocks);
}
BENCHMARK(BM_OstrelEnvelope);

void BM_OstrelLFO(benchmark::State& state) {
    const ScopedFlushDenormals flush;
    OstrelLFO lfo(nullptr);
    lfo.setFrequency(5.0f);
    lfo.getShapeSource().setShape(0.3f);
    IOChannel<float> block(kBlock);
    std::int64_t blocks = 0;
    double seconds = 0.0;
    std::uint64_t allocations = 0;
    for (auto _ : state) {
        const std::uint64_t before = test::allocationsOnThisThread();
        const auto start = std::chrono::steady_clock::now();
        lfo.render(block);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        allocations += test::allocationsOnThisThread() - before;
        benchmark::DoNotOptimize(block.getData());
        ++blocks;
    }
    reportPerFrame(state, seconds, allocations, blocks);
}
BENCHMARK(BM_OstrelLFO);

} // namespace
