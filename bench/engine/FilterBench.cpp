// The one-pole low-pass, the DC blocker and the 2x decimator on blocks of 256 at 44.1 kHz.
// Counters: ns_per_sample (budgets: LP1Filter and DCBlocker 5, the decimator 2 per output sample; its
// ns_per_input beside it), allocs_per_block. The tail benchmarks process 2^21 samples of an impulse's
// decay and the same count of noise in one run, flushing off as the processor starts: x_signal is the
// tail's time over the noise's (goal: within 1.2), so subnormal states would show here.

#include "engine/dsp/effects/DCBlocker.h"
#include "engine/dsp/effects/LP1Filter.h"
#include "engine/dsp/effects/OversamplingFilter.h"
#include "support/BlockBench.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

namespace {

using namespace trov;

constexpr std::int32_t kBlock = 256;
constexpr int kBlocksPerBatch = 64;
constexpr std::int64_t kTailSamples = std::int64_t{1} << 21;

enum Kind { kLowPassOpen, kLowPassClosed, kDCBlocker, kDecimator };

const char* nameOf(Kind kind) {
    switch (kind) {
    case kLowPassOpen:
        return "LP1Filter cutoff 0.99";
    case kLowPassClosed:
        return "LP1Filter cutoff 0.01";
    case kDCBlocker:
        return "DCBlocker";
    case kDecimator:
        return "decimator";
    }
    return "";
}

std::vector<float> noise(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::vector<float> values(count);
    for (float& value : values)
        value = uniform(random);
    return values;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One block of the chosen block: 256 frames in and out (the decimator takes 512 in).
class Runner {
public:
    explicit Runner(Kind kind) : kind_(kind), in_(2 * kBlock), out_(kBlock) {
        if (kind == kLowPassOpen || kind == kLowPassClosed) {
            auto lowPass = std::make_unique<LP1Filter>(nullptr);
            lowPass->setCutoff(kind == kLowPassOpen ? 0.99f : 0.01f);
            effect_ = std::move(lowPass);
        } else if (kind == kDCBlocker) {
            effect_ = std::make_unique<DCBlocker>(nullptr);
        } else {
            decimator_.design();
        }
        in_.setValidFrames(kBlock);
    }

    float* input() { return in_.getData(); }
    std::int32_t inputFrames() const { return kind_ == kDecimator ? 2 * kBlock : kBlock; }

    void reset() {
        if (effect_)
            effect_->reset();
        else
            decimator_.reset();
    }

    void run() {
        if (effect_)
            effect_->process(in_, out_);
        else
            decimator_.decimate(out_.getData(), in_.getData(), kBlock);
        benchmark::DoNotOptimize(out_.getData()[kBlock - 1]);
        benchmark::ClobberMemory();
    }

private:
    Kind kind_;
    std::unique_ptr<Effect> effect_;
    OversamplingFilter decimator_;
    IOChannel<float> in_;
    IOChannel<float> out_;
};

void BM_FilterBlock(benchmark::State& state) {
    const auto kind = static_cast<Kind>(state.range(0));
    Runner runner(kind);
    const std::vector<float> signal = noise(2 * kBlock * kBlocksPerBatch, 1);
    const test::BlockBatchTotals totals = test::timeBlockBatches(state, kBlocksPerBatch, kBlock, [&] {
        for (int block = 0; block < kBlocksPerBatch; ++block) {
            std::copy_n(signal.begin() + std::ptrdiff_t{block} * runner.inputFrames(), runner.inputFrames(),
                        runner.input());
            runner.run();
        }
    });
    state.SetLabel(nameOf(kind));
    if (kind == kDecimator)
        state.counters["ns_per_input"] = totals.seconds * 1e9 / (totals.blocks * 2 * kBlock);
}
BENCHMARK(BM_FilterBlock)
    ->ArgName("kind")
    ->DenseRange(kLowPassOpen, kDecimator)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// 2^21 samples through the filter in blocks: an impulse and its decay, or noise throughout.
double timeSpan(Runner& runner, const std::vector<float>& signal, bool impulse) {
    runner.reset();
    const std::int32_t frames = runner.inputFrames();
    const auto start = std::chrono::steady_clock::now();
    for (std::int64_t done = 0; done < kTailSamples; done += frames) {
        if (impulse) {
            std::fill_n(runner.input(), frames, 0.0f);
            if (done == 0)
                runner.input()[0] = runner.input()[1] = 1.0f;
        } else {
            std::copy_n(signal.begin() + (done % std::ssize(signal)), frames, runner.input());
        }
        runner.run();
    }
    return secondsSince(start);
}

void BM_FilterTailAgainstSignal(benchmark::State& state) {
    const auto kind = static_cast<Kind>(state.range(0));
    Runner runner(kind);
    const std::vector<float> signal = noise(std::size_t{1} << 16, 2);
    double tailSeconds = 0.0;
    double signalSeconds = 0.0;
    bool tailFirst = true;
    for (auto _ : state) {
        // Alternate the order, so that neither always finds the caches the other left.
        if (!tailFirst)
            signalSeconds += timeSpan(runner, signal, false);
        const double tail = timeSpan(runner, signal, true);
        if (tailFirst)
            signalSeconds += timeSpan(runner, signal, false);
        tailFirst = !tailFirst;
        tailSeconds += tail;
        state.SetIterationTime(tail);
    }
    const double samples = static_cast<double>(state.iterations()) * static_cast<double>(kTailSamples);
    state.SetLabel(nameOf(kind));
    state.counters["tail_ns_per_input"] = tailSeconds * 1e9 / samples;
    state.counters["signal_ns_per_input"] = signalSeconds * 1e9 / samples;
    state.counters["x_signal"] = tailSeconds / signalSeconds;
}
BENCHMARK(BM_FilterTailAgainstSignal)
    ->ArgName("kind")
    ->DenseRange(kLowPassOpen, kDecimator)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
