#include "engine/io/IOChannel.h"
#include "engine/samples/Sample.h"
#include "framework/Dictionary.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace trov {
namespace {

constexpr int kTenSeconds = 441000;

std::vector<float> tone(int frames) {
    std::vector<float> values(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i)
        values[static_cast<std::size_t>(i)] = 0.5f * std::sin(0.0625f * static_cast<float>(i));
    return values;
}

Sample* makeSample(const std::vector<float>& values, int channels) {
    SampleInfo info;
    info.layout = SampleInfo::kInterleaved;
    info.channels = channels;
    info.frames = static_cast<std::int32_t>(values.size()) / channels;
    info.data = const_cast<float*>(values.data());
    return new Sample(nullptr, info);
}

// Writing ten seconds of audio into a document: the byte packing and the gzip+Base64 codec.
void BM_SampleToDictionary(benchmark::State& state) {
    const std::vector<float> values = tone(kTenSeconds);
    SharedObjectPtr<Sample> sample(makeSample(values, 1));
    for (auto _ : state) {
        Dictionary document;
        sample->toDictionary(document);
        benchmark::DoNotOptimize(document);
    }
    state.SetItemsProcessed(state.iterations() * kTenSeconds);
}
BENCHMARK(BM_SampleToDictionary)->Unit(benchmark::kMillisecond);

void BM_SampleFromDictionary(benchmark::State& state) {
    const std::vector<float> values = tone(kTenSeconds);
    SharedObjectPtr<Sample> sample(makeSample(values, 1));
    Dictionary document;
    sample->toDictionary(document);
    for (auto _ : state) {
        Sample read;
        read.fromDictionary(document);
        benchmark::DoNotOptimize(read.getData());
    }
    state.SetItemsProcessed(state.iterations() * kTenSeconds);
}
BENCHMARK(BM_SampleFromDictionary)->Unit(benchmark::kMillisecond);

void BM_SampleMixToMono(benchmark::State& state) {
    const std::vector<float> stereo = tone(2 * kTenSeconds);
    for (auto _ : state) {
        state.PauseTiming();
        SharedObjectPtr<Sample> sample(makeSample(stereo, 2));
        state.ResumeTiming();
        sample->mixToMono();
        benchmark::DoNotOptimize(sample->getData());
    }
    state.SetItemsProcessed(state.iterations() * kTenSeconds);
}
BENCHMARK(BM_SampleMixToMono)->Unit(benchmark::kMillisecond);

// What a voice's read costs per output sample at a non-integer step.
void BM_SampleGetValue(benchmark::State& state) {
    const std::vector<float> values = tone(kTenSeconds);
    SharedObjectPtr<Sample> sample(makeSample(values, 1));
    for (auto _ : state) {
        float sum = 0.0f;
        float position = 0.0f;
        for (int i = 0; i < 4096; ++i, position += 1.4983f)
            sum += sample->getValue(0, position);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * 4096);
}
BENCHMARK(BM_SampleGetValue);

void BM_ChannelMix(benchmark::State& state) {
    IOChannel<float> a(static_cast<std::int32_t>(state.range(0))),
        b(static_cast<std::int32_t>(state.range(0)));
    a.clear();
    b.clear();
    const bool add = state.range(1) != 0;
    for (auto _ : state) {
        a.mixFrom(b, add);
        benchmark::DoNotOptimize(a.getData());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ChannelMix)->Args({512, 1})->Args({512, 0})->Args({4099, 1});

} // namespace
} // namespace trov
