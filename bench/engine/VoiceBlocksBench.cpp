// One emulated voice's blocks chained (tests/support/VoiceChain.h: two sample players, waveshaper, LP1,
// log crusher, granular noise, amplitude and filter envelopes, DAC ladder, DC blocker) in blocks of 256 at
// 44.1 kHz, under the flush-to-zero mode the engine renders in. A note starts every 100 blocks (keys
// cycling over an octave) and is released after 70, so the loop wraps, grains change and segments end as
// they do in play; the envelopes never fall silent. click:1 restarts the click whenever it ends, so every
// block runs both players (the busiest case); click:0 plays it once per note.
//
// Each iteration runs a note's 100 blocks twice: once timed as a whole (chain_ns, the figure that counts,
// goal <= 40 ns per frame; of_88_pct is its share of the 88 ns voice-frame goal, goal <= 45; x_8ns its
// multiple of the ~8 ns moonshot) and once with a clock read after every stage, whose shares are each
// block's own ns per frame (main, click, shaper, lp1, crush, noise, ampenv, filtenv, dac, dcblock), less
// the cost of a clock read measured beforehand (clock_ns, per stage and frame); sum_ns adds them up.
// allocs_per_block counts both passes (goal 0).

#include "engine/dsp/FlushDenormals.h"
#include "support/AllocationCounter.h"
#include "support/PlayerTestSupport.h"
#include "support/VoiceChain.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <iterator>

namespace {

using namespace trov;
using test::VoiceChain;

using Clock = std::chrono::steady_clock;

constexpr int kBlocksPerNote = 100;
constexpr int kReleaseBlock = 70;
constexpr double kVoiceFrameGoalNs = 88.0;
constexpr double kMoonshotNs = 8.0;
constexpr int kKeys[] = {0, 7, -5, 12, 3, -2, 9};

double secondsBetween(Clock::time_point start, Clock::time_point end) {
    return std::chrono::duration<double>(end - start).count();
}

// The cost of one clock read, the least of a few runs.
double clockReadSeconds() {
    constexpr int kReads = 4096;
    double best = 1.0;
    for (int run = 0; run < 8; ++run) {
        const Clock::time_point start = Clock::now();
        Clock::time_point last = start;
        for (int i = 0; i < kReads; ++i) {
            last = Clock::now();
            benchmark::DoNotOptimize(last);
        }
        best = std::min(best, secondsBetween(start, last) / kReads);
    }
    return best;
}

// Plays the chain's notes: starts, releases and (with the click on every block) click restarts.
class NotePlayer {
public:
    NotePlayer(VoiceChain& chain, bool clickEveryBlock) : chain_(chain), clickEveryBlock_(clickEveryBlock) {}

    // Before each block.
    void advance() noexcept {
        if (block_ == 0)
            chain_.noteOn(kKeys[note_++ % std::size(kKeys)]);
        else if (block_ == kReleaseBlock)
            chain_.noteOff();
        if (clickEveryBlock_ && !chain_.clickPlayer().isActive())
            chain_.clickPlayer().restart();
        block_ = (block_ + 1) % kBlocksPerNote;
    }

private:
    VoiceChain& chain_;
    bool clickEveryBlock_;
    int block_ = 0;
    std::size_t note_ = 0;
};

void BM_VoiceBlocks(benchmark::State& state) {
    test::PlayerWorld world;
    VoiceChain chain(world);
    NotePlayer notes(chain, state.range(0) != 0);
    const ScopedFlushDenormals flush;
    const double clockRead = clockReadSeconds();

    auto chainPass = [&] {
        const Clock::time_point start = Clock::now();
        for (int b = 0; b < kBlocksPerNote; ++b) {
            notes.advance();
            benchmark::DoNotOptimize(chain.renderBlock().getData()[VoiceChain::kBlock - 1]);
            benchmark::ClobberMemory();
        }
        return secondsBetween(start, Clock::now());
    };
    std::array<double, VoiceChain::kStageCount> stageSeconds{};
    auto stagePass = [&] {
        for (int b = 0; b < kBlocksPerNote; ++b) {
            notes.advance();
            Clock::time_point last = Clock::now();
            const IOChannel<float>& out = chain.renderBlock([&](int stage) noexcept {
                const Clock::time_point now = Clock::now();
                stageSeconds[static_cast<std::size_t>(stage)] += secondsBetween(last, now) - clockRead;
                last = now;
            });
            benchmark::DoNotOptimize(out.getData()[VoiceChain::kBlock - 1]);
            benchmark::ClobberMemory();
        }
    };

    double chainSeconds = 0.0;
    std::uint64_t allocations = 0;
    bool chainFirst = true;
    for (auto _ : state) {
        const std::uint64_t before = test::allocationsOnThisThread();
        if (!chainFirst)
            stagePass();
        const double seconds = chainPass();
        if (chainFirst)
            stagePass();
        allocations += test::allocationsOnThisThread() - before;
        chainFirst = !chainFirst;
        chainSeconds += seconds;
        state.SetIterationTime(seconds);
    }

    const double frames = static_cast<double>(state.iterations()) * kBlocksPerNote * VoiceChain::kBlock;
    const double chainNs = chainSeconds * 1e9 / frames;
    state.counters["chain_ns"] = chainNs;
    state.counters["of_88_pct"] = 100.0 * chainNs / kVoiceFrameGoalNs;
    state.counters["x_8ns"] = chainNs / kMoonshotNs;
    double sum = 0.0;
    for (int stage = 0; stage < VoiceChain::kStageCount; ++stage) {
        const double ns = stageSeconds[static_cast<std::size_t>(stage)] * 1e9 / frames;
        state.counters[VoiceChain::stageName(stage)] = ns;
        sum += ns;
    }
    state.counters["sum_ns"] = sum;
    state.counters["clock_ns"] = clockRead * 1e9 / VoiceChain::kBlock;
    state.counters["allocs_per_block"] =
        static_cast<double>(allocations) / (2.0 * frames / VoiceChain::kBlock);
}
BENCHMARK(BM_VoiceBlocks)->ArgName("click")->Arg(1)->Arg(0)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
