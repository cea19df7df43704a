// The sample players in blocks of 256 at 44.1 kHz. Counters: ns per output sample (goals: SampleOsc with
// jitter at a 27 kHz clock 6, shown beside the same player without jitter; GranularNoiseOsc 3) and
// allocations per block (goal 0). A plain linearly interpolated read at a fractional position, the least
// any player does per sample, runs beside them as the machine's yardstick.

#include "engine/dsp/oscillators/GranularNoiseOsc.h"
#include "engine/dsp/oscillators/SampleOsc.h"
#include "support/AllocationCounter.h"
#include "support/PlayerTestSupport.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using namespace trov;

constexpr std::int32_t kBlock = 256;
constexpr int kBlocksPerBatch = 64;

// A second of noise, the kind of material both players read.
std::vector<float> noiseSeconds(int seconds) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    std::vector<float> values(static_cast<std::size_t>(44100 * seconds));
    for (float& v : values)
        v = noise(random);
    return values;
}

template <class Player> void runBlocks(benchmark::State& state, Player& player) {
    IOChannel<float> block = test::emptyBlock(kBlock);
    const std::uint64_t allocationsBefore = test::allocationsOnThisThread();
    std::int64_t blocks = 0;
    for (auto _ : state) {
        for (int b = 0; b < kBlocksPerBatch; ++b) {
            block.setValidFrames(0);
            benchmark::DoNotOptimize(player.render(block));
            benchmark::ClobberMemory();
        }
        blocks += kBlocksPerBatch;
    }
    const double samples = static_cast<double>(blocks) * kBlock;
    state.counters["ns_per_sample"] =
        benchmark::Counter(samples * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["allocs_per_block"] =
        static_cast<double>(test::allocationsOnThisThread() - allocationsBefore) /
        static_cast<double>(blocks);
}

// The yardstick, out of line like a player's render.
__attribute__((noinline)) double plainRead(float* out, std::int32_t frames, const float* data,
                                           double position, double step) {
    for (std::int32_t k = 0; k < frames; ++k) {
        const auto i = static_cast<std::int32_t>(position);
        const float weight = static_cast<float>(position - i);
        out[k] += data[i] + weight * (data[i + 1] - data[i]);
        position += step;
    }
    return position;
}

class PlainReader {
public:
    explicit PlainReader(const std::vector<float>& data) : data_(data) {}
    std::int32_t render(IOChannel<float>& out) {
        const double end = static_cast<double>(data_.size()) - 2000.0;
        position_ =
            plainRead(out.getData(), out.getSize(), data_.data(), position_ < end ? position_ : 0.0, 1.37);
        return out.setValidFrames(out.getSize());
    }

private:
    const std::vector<float>& data_;
    double position_ = 0.0;
};

void BM_PlainInterpolatedRead(benchmark::State& state) {
    const std::vector<float> data = noiseSeconds(4);
    PlainReader reader(data);
    runBlocks(state, reader);
}
BENCHMARK(BM_PlainInterpolatedRead);

// range(0): 1 with the voice's jitter of 0.25 frames, 0 without.
void BM_SampleOsc27kHzClock(benchmark::State& state) {
    test::PlayerWorld world;
    Sample* sample = world.add("Wave", noiseSeconds(4));
    SampleOsc player(world.module.get(), "Wave");
    player.setFrequency(world.rootOf(*sample) * 1.5f);
    player.setClockRate(27000.0);
    player.setJitter(state.range(0) != 0 ? 0.25f : 0.0f);
    player.setLoop(2, 1000, 150000); // loops forever, wrapping every few blocks
    runBlocks(state, player);
}
BENCHMARK(BM_SampleOsc27kHzClock)->Arg(1)->Arg(0)->ArgNames({"jitter"});

void BM_GranularNoiseOsc(benchmark::State& state) {
    test::PlayerWorld world;
    Sample* sample = world.add("Noise", noiseSeconds(2));
    GranularNoiseOsc player(world.module.get(), "Noise");
    player.setFrequency(world.rootOf(*sample) * 1.3f);
    runBlocks(state, player);
}
BENCHMARK(BM_GranularNoiseOsc);

} // namespace
