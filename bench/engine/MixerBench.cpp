// The mixer's channel work against plain scaled-add loops doing the same work, measured in the same run
// on 64- and 512-frame channels. Counters: ns per call, x_plain (time relative to the plain loops; goal:
// mode 0 within 1.25, mode 2 and the mono-into-stereo pin within 2.5) and allocations per call.

#include "engine/dsp/Mixer.h"
#include "engine/io/IOPinMono.h"
#include "engine/io/IOPinStereo.h"
#include "support/AllocationCounter.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <random>

namespace {

using namespace trov;

constexpr int kCallsPerBatch = 256;

enum Case { kMixMode0, kMixMode2, kMixPinMonoIntoStereo };

// The reference: what a hand-written voice sum would do, out of line like the mixer's calls.
__attribute__((noinline)) void plainScaledAdd(float* out, const float* in, std::int32_t frames, float gain) {
    for (std::int32_t i = 0; i < frames; ++i)
        out[i] += in[i] * gain;
}

void fillNoise(IOChannel<float>& channel, std::int32_t frames, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    for (std::int32_t i = 0; i < frames; ++i)
        channel.getData()[i] = noise(random);
    channel.setValidFrames(frames);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_MixerAgainstPlainLoops(benchmark::State& state) {
    const auto which = static_cast<Case>(state.range(0));
    const auto frames = static_cast<std::int32_t>(state.range(1));
    Mixer mixer;
    mixer.setMode(which == kMixMode2 ? Mixer::kModeSoftAdd : Mixer::kModeAdd);
    mixer.setSaturation(0.75f);
    IOChannel<float> source(frames);
    fillNoise(source, frames, 1);
    IOPinMono in(&source);
    IOPinStereo out;
    out.setSize(frames);
    fillNoise(*out.getChannel(0), frames, 2);
    fillNoise(*out.getChannel(1), frames, 3);
    IOChannel<float>& left = *out.getChannel(0);
    IOChannel<float>& right = *out.getChannel(1);
    // Small gains keep the sums bounded over millions of calls.
    const float gain = 1e-4f;
    const float sideGain = 0.5f * gain * mixer.getPanGain();

    auto mixBatch = [&] {
        for (int call = 0; call < kCallsPerBatch; ++call) {
            if (which == kMixPinMonoIntoStereo)
                mixer.mixPin(out, in, gain, 0.5f);
            else
                mixer.mix(left, source, gain);
            benchmark::ClobberMemory();
        }
    };
    auto plainBatch = [&] {
        for (int call = 0; call < kCallsPerBatch; ++call) {
            if (which == kMixPinMonoIntoStereo) {
                plainScaledAdd(left.getData(), source.getData(), frames, sideGain);
                plainScaledAdd(right.getData(), source.getData(), frames, sideGain);
            } else {
                plainScaledAdd(left.getData(), source.getData(), frames, gain);
            }
            benchmark::ClobberMemory();
        }
    };
    auto timed = [](auto&& batch) {
        const auto start = std::chrono::steady_clock::now();
        batch();
        return secondsSince(start);
    };

    double mixerSeconds = 0.0;
    double plainSeconds = 0.0;
    std::uint64_t allocations = 0;
    bool mixerFirst = true;
    for (auto _ : state) {
        // Alternate which goes first, so neither always finds the caches the other left.
        if (!mixerFirst)
            plainSeconds += timed(plainBatch);
        const std::uint64_t before = test::allocationsOnThisThread();
        const double mixed = timed(mixBatch);
        allocations += test::allocationsOnThisThread() - before;
        if (mixerFirst)
            plainSeconds += timed(plainBatch);
        mixerFirst = !mixerFirst;
        mixerSeconds += mixed;
        state.SetIterationTime(mixed);
    }
    const double calls = static_cast<double>(state.iterations()) * kCallsPerBatch;
    state.counters["ns_per_call"] = mixerSeconds * 1e9 / calls;
    state.counters["plain_ns"] = plainSeconds * 1e9 / calls;
    state.counters["x_plain"] = mixerSeconds / plainSeconds;
    state.counters["allocs_per_call"] = static_cast<double>(allocations) / calls;
    state.SetItemsProcessed(static_cast<std::int64_t>(calls) * frames);
}

BENCHMARK(BM_MixerAgainstPlainLoops)
    ->ArgNames({"case", "frames"})
    ->ArgsProduct({{kMixMode0, kMixMode2, kMixPinMonoIntoStereo}, {64, 512}})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

} // namespace
