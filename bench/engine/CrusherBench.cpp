// The digital stages of the emulated voice (linear and log bit crushers, DAC ladder, two-curve waveshaper)
// and function-table lookups, each over 1M samples in blocks of 256, against a plain out = in * g loop
// measured in the same run; the ladder and the waveshaper in their scalar (vector:0) and vector (vector:1)
// forms. Counters: ns_per_sample (goals: crushers, DAC and table lookup 2, waveshaper 5), plain_ns,
// x_plain and allocations per block.

#include "engine/dsp/FunctionTable.h"
#include "engine/dsp/VectorPath.h"
#include "engine/dsp/effects/BitcrusherLin.h"
#include "engine/dsp/effects/BitcrusherLog.h"
#include "engine/dsp/effects/DACLadder.h"
#include "engine/dsp/effects/Waveshaper.h"
#include "engine/samples/Sample.h"
#include "engine/zones/Resources.h"
#include "plugin/PluginEnvironment.h"
#include "support/AllocationCounter.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

namespace {

using namespace trov;

constexpr std::int32_t kBlock = 256;
constexpr std::int32_t kBlocks = 4096; // 1M samples a pass

enum Case { kLinear, kLog, kLadder, kWaveshaper, kTable };

__attribute__((noinline)) void plainGain(float* out, const float* in, std::int32_t frames, float gain) {
    for (std::int32_t i = 0; i < frames; ++i)
        out[i] = in[i] * gain;
}

__attribute__((noinline)) void tableBlock(const FunctionTable<float>& table, float* out, const float* in,
                                          std::int32_t frames) {
    for (std::int32_t i = 0; i < frames; ++i)
        out[i] = table.lookup(in[i]);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The resources the waveshaper takes its curves from, with two curves cached.
Resources& curveResources() {
    static Resources* const resources = [] {
        installPluginEnvironment();
        auto* made = new Resources();
        PluginEnvironment::instance().setResources(made);
        for (const auto& [name, drive] : {std::pair("Clean", 1.0), std::pair("Driven", 4.0)}) {
            std::vector<float> values;
            for (int k = 0; k <= 4096; ++k)
                values.push_back(static_cast<float>(std::tanh(drive * (-1.0 + 2.0 * k / 4095.0))));
            SampleInfo info;
            info.channels = 1;
            info.frames = static_cast<std::int32_t>(values.size());
            info.data = values.data();
            // Held for the run: a sample given back by its last user leaves the cache.
            auto* curve = new Sample(nullptr, info);
            made->addSample(name, curve, "");
        }
        return made;
    }();
    return *resources;
}

void BM_DigitalStage(benchmark::State& state) {
    const auto which = static_cast<Case>(state.range(0));
    setVectorPath(state.range(1) != 0 ? VectorPath::Vector : VectorPath::Scalar);
    static const char* const kLabels[] = {"BitcrusherLin 8", "BitcrusherLog 8", "DACLadder 8",
                                          "Waveshaper two curves", "FunctionTable<float> lookup"};
    state.SetLabel(kLabels[which]);
    curveResources();
    // A 1M-sample signal: a sweep with noise, a little beyond -1..1 at its peaks.
    std::vector<IOChannel<float>> inputs;
    std::mt19937 random(5);
    std::uniform_real_distribution<float> noise(-0.1f, 0.1f);
    for (std::int32_t b = 0; b < kBlocks; ++b) {
        IOChannel<float>& in = inputs.emplace_back(kBlock);
        for (std::int32_t i = 0; i < kBlock; ++i) {
            const float x = std::sin(static_cast<float>(b * kBlock + i) * 0.0007f) + noise(random);
            // Table arguments sweep the table's domain [0, 1.1] as a modulated cutoff would.
            in.getData()[i] = which == kTable ? 0.55f + 0.5f * x : x;
        }
        in.setValidFrames(kBlock);
    }
    IOChannel<float> out(kBlock);

    BitcrusherLin linear(nullptr, 8);
    BitcrusherLog logarithmic(nullptr, 8);
    logarithmic.setAmount(0.3f);
    DACLadder ladder(nullptr);
    Waveshaper shaper(nullptr, "Clean", "Driven");
    shaper.setAmount(0.6f);
    shaper.setGain(0.4f);
    const FunctionTable<float> table(0.0f, 1.1f, 1024, [](float x) { return std::exp2(10.0f * x); });
    if (which == kWaveshaper && !(shaper.hasCurveA() && shaper.hasCurveB())) {
        state.SkipWithError("the curves are not cached");
        return;
    }

    auto stageBlock = [&](const IOChannel<float>& in) {
        switch (which) {
        case kLinear:
            linear.process(in, out);
            break;
        case kLog:
            logarithmic.process(in, out);
            break;
        case kLadder:
            ladder.process(in, out);
            break;
        case kWaveshaper:
            shaper.process(in, out);
            break;
        case kTable:
            tableBlock(table, out.getData(), in.getData(), kBlock);
            break;
        }
    };
    auto stagePass = [&] {
        for (const IOChannel<float>& in : inputs) {
            stageBlock(in);
            benchmark::ClobberMemory();
        }
    };
    auto plainPass = [&] {
        for (const IOChannel<float>& in : inputs) {
            plainGain(out.getData(), in.getData(), kBlock, 0.5f);
            benchmark::ClobberMemory();
        }
    };
    auto timed = [](auto&& pass) {
        const auto start = std::chrono::steady_clock::now();
        pass();
        return secondsSince(start);
    };

    double stageSeconds = 0.0;
    double plainSeconds = 0.0;
    std::uint64_t allocations = 0;
    bool stageFirst = true;
    for (auto _ : state) {
        if (!stageFirst)
            plainSeconds += timed(plainPass);
        const std::uint64_t before = test::allocationsOnThisThread();
        const double staged = timed(stagePass);
        allocations += test::allocationsOnThisThread() - before;
        if (stageFirst)
            plainSeconds += timed(plainPass);
        stageFirst = !stageFirst;
        stageSeconds += staged;
        state.SetIterationTime(staged);
    }
    const double samples = static_cast<double>(state.iterations()) * kBlocks * kBlock;
    state.counters["ns_per_sample"] = stageSeconds * 1e9 / samples;
    state.counters["plain_ns"] = plainSeconds * 1e9 / samples;
    state.counters["x_plain"] = stageSeconds / plainSeconds;
    state.counters["allocs_per_block"] = static_cast<double>(allocations) / (samples / kBlock);
    state.SetItemsProcessed(static_cast<std::int64_t>(samples));
    setVectorPath(VectorPath::Automatic);
}

BENCHMARK(BM_DigitalStage)
    ->ArgNames({"case", "vector"})
    ->Args({kLinear, 0})
    ->Args({kLog, 0})
    ->Args({kLadder, 0})
    ->Args({kLadder, 1})
    ->Args({kWaveshaper, 0})
    ->Args({kWaveshaper, 1})
    ->Args({kTable, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
