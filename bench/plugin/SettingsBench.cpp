#include "framework/Dictionary.h"
#include "plugin/Parameter.h"
#include "plugin/ParameterScheduler.h"
#include "plugin/PluginEnvironment.h"
#include "plugin/Settings.h"
#include "support/AllocationCounter.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

using namespace trov;

namespace {

constexpr int kParameterCount = 120;

std::string nameOf(int i) {
    return "ParameterNumber" + std::to_string(i);
}

// 120 parameters of the four value kinds, a quarter of them automatable.
std::string specification() {
    static const char* const types[] = {"float", "integer", "bool", "float"};
    std::string xml = "<?xml version=\"1.0\"?><dict><array name=\"parameters\">";
    for (int i = 0; i < kParameterCount; ++i) {
        xml += "<dict name=\"" + nameOf(i) + "\"><string name=\"class\" value=\"ParameterValue\"/>";
        xml += std::string("<string name=\"type\" value=\"") + types[i % 4] + "\"/>";
        if (i % 4 == 0)
            xml += "<bool name=\"automatable\" value=\"true\"/>";
        xml += "</dict>";
    }
    return xml + "</array></dict>";
}

struct Tree {
    Tree() {
        installPluginEnvironment();
        settings.load(Dictionary(specification()));
        for (int i = 0; i < kParameterCount; ++i)
            names.push_back(nameOf(i));
    }
    Settings settings;
    std::vector<std::string> names;
};

// Looks the names up in turn, one per iteration.
template <class Lookup> void runLookups(benchmark::State& state, Lookup lookup) {
    Tree tree;
    std::size_t i = 0;
    float sum = 0.0f;
    for (auto _ : state) {
        sum += lookup(tree.settings, tree.names[i], i % 4);
        i = i + 1 == tree.names.size() ? 0 : i + 1;
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations());
}

void BM_TypedLookupByName(benchmark::State& state) {
    runLookups(state, [](const Settings& settings, const std::string& name, std::size_t kind) {
        switch (kind) {
        case 1:
            return static_cast<float>(settings.getLong(name));
        case 2:
            return settings.getBool(name) ? 1.0f : 0.0f;
        default:
            return settings.getFloat(name);
        }
    });
}
BENCHMARK(BM_TypedLookupByName)->Iterations(1000000);

// The reference: walking the parameters and comparing names, as a tree without an index would.
void BM_LinearScanLookupReference(benchmark::State& state) {
    runLookups(state, [](const Settings& settings, const std::string& name, std::size_t) {
        for (int p = 0; p < settings.getParameterCount(); ++p) {
            const Parameter* parameter = settings.getParameterAt(p);
            if (parameter->getName() == name)
                return parameter->getNormalized();
        }
        return 0.0f;
    });
}
BENCHMARK(BM_LinearScanLookupReference)->Iterations(1000000);

// One block: 20 parameters scheduled at 16 control steps, every value read back, the schedule cleared.
void BM_ScheduleAndReadBlock(benchmark::State& state) {
    constexpr int kNames = 20;
    constexpr int kSteps = 16;
    ParameterScheduler scheduler;
    std::vector<std::string> names;
    for (int n = 0; n < kNames; ++n)
        names.push_back(nameOf(n));
    const int step = scheduler.getStepSize();
    auto block = [&] {
        float sum = 0.0f;
        for (int s = 0; s < kSteps; ++s)
            for (int n = 0; n < kNames; ++n)
                scheduler.schedule(names[static_cast<std::size_t>(n)], s * step, static_cast<float>(s + n));
        for (int s = 0; s < kSteps; ++s)
            for (int n = 0; n < kNames; ++n) {
                float value = 0.0f;
                if (scheduler.getScheduled(names[static_cast<std::size_t>(n)], s * step + 5, value))
                    sum += value;
            }
        scheduler.clear();
        return sum;
    };
    benchmark::DoNotOptimize(block()); // the first block sizes the storage
    const std::uint64_t before = trov::test::allocationsInProcess();
    for (auto _ : state)
        benchmark::DoNotOptimize(block());
    const std::uint64_t allocations = trov::test::allocationsInProcess() - before;
    state.counters["allocations"] = static_cast<double>(allocations);
    if (allocations != 0)
        state.SkipWithError("the scheduling path allocated after the first block");
    state.SetItemsProcessed(state.iterations() * kNames * kSteps);
}
BENCHMARK(BM_ScheduleAndReadBlock);

} // namespace
