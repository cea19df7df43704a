#include "framework/Curves.h"
#include "framework/FloatArrays.h"
#include "framework/Random.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace trov {
namespace {

constexpr int kMillion = 1000000;

std::vector<float> ramp(float from, float to) {
    std::vector<float> values(kMillion);
    for (int i = 0; i < kMillion; ++i)
        values[i] = from + (to - from) * static_cast<float>(i) / kMillion;
    return values;
}

void BM_RandomDouble(benchmark::State& state) {
    setTwisterPath(static_cast<TwisterPath>(state.range(0)));
    seedMersenneTwister(1);
    for (auto _ : state) {
        double sum = 0.0;
        for (int i = 0; i < kMillion; ++i)
            sum += randomDouble();
        benchmark::DoNotOptimize(sum);
    }
    setTwisterPath(TwisterPath::Automatic);
    state.SetItemsProcessed(state.iterations() * kMillion);
}
BENCHMARK(BM_RandomDouble)
    ->Arg(static_cast<int>(TwisterPath::Scalar))
    ->Arg(static_cast<int>(TwisterPath::Vector));

void BM_RandomUnitLcg(benchmark::State& state) {
    seedRandom(1);
    for (auto _ : state) {
        double sum = 0.0;
        for (int i = 0; i < kMillion; ++i)
            sum += randomUnitLcg();
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kMillion);
}
BENCHMARK(BM_RandomUnitLcg);

void BM_Saturate(benchmark::State& state) {
    const std::vector<float> input = ramp(-4.0f, 4.0f);
    for (auto _ : state) {
        double sum = 0.0;
        for (float x : input)
            sum += saturate(x);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kMillion);
}
BENCHMARK(BM_Saturate);

void BM_FastExp2(benchmark::State& state) {
    const std::vector<float> input = ramp(-20.0f, 20.0f);
    std::vector<float> output(kMillion);
    for (auto _ : state) {
        for (int i = 0; i < kMillion; ++i)
            output[i] = fastExp2(input[i]);
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kMillion);
}
BENCHMARK(BM_FastExp2);

// The reference fastExp2 is measured against.
void BM_StdExp2(benchmark::State& state) {
    const std::vector<float> input = ramp(-20.0f, 20.0f);
    std::vector<float> output(kMillion);
    for (auto _ : state) {
        for (int i = 0; i < kMillion; ++i)
            output[i] = std::exp2(input[i]);
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kMillion);
}
BENCHMARK(BM_StdExp2);

// Multiplying a million floats (an odd count, so the tail runs too) by path, and a plain loop for reference.
void BM_MultiplyFloats(benchmark::State& state) {
    setFloatArrayPath(static_cast<FloatArrayPath>(state.range(0)));
    std::vector<float> dst = ramp(0.5f, 1.5f);
    const std::vector<float> src = ramp(1.0f, 1.0000001f);
    const std::size_t count = kMillion - 3;
    for (auto _ : state) {
        multiplyFloats(dst.data(), src.data(), count);
        benchmark::ClobberMemory();
    }
    setFloatArrayPath(FloatArrayPath::Automatic);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(count));
}
BENCHMARK(BM_MultiplyFloats)
    ->Arg(static_cast<int>(FloatArrayPath::Scalar))
    ->Arg(static_cast<int>(FloatArrayPath::Vector));

void BM_PlainLoopMultiply(benchmark::State& state) {
    std::vector<float> dst = ramp(0.5f, 1.5f);
    const std::vector<float> src = ramp(1.0f, 1.0000001f);
    const std::size_t count = kMillion - 3;
    for (auto _ : state) {
        float* d = dst.data();
        const float* s = src.data();
        for (std::size_t i = 0; i < count; ++i)
            d[i] *= s[i];
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(count));
}
BENCHMARK(BM_PlainLoopMultiply);

void BM_AddFloats(benchmark::State& state) {
    setFloatArrayPath(static_cast<FloatArrayPath>(state.range(0)));
    std::vector<float> dst(kMillion, 0.0f);
    const std::vector<float> src = ramp(-1e-6f, 1e-6f);
    for (auto _ : state) {
        addFloats(dst.data(), src.data(), kMillion);
        benchmark::ClobberMemory();
    }
    setFloatArrayPath(FloatArrayPath::Automatic);
    state.SetItemsProcessed(state.iterations() * kMillion);
}
BENCHMARK(BM_AddFloats)
    ->Arg(static_cast<int>(FloatArrayPath::Scalar))
    ->Arg(static_cast<int>(FloatArrayPath::Vector));

} // namespace
} // namespace trov
