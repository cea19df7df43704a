#include "engine/zones/ZoneManager.h"
#include "framework/Dictionary.h"
#include "support/AllocationCounter.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

namespace trov {
namespace {

// One 64-frame block at 44.1 kHz, in nanoseconds; a key look-up may take 0.1% of it.
constexpr double kBlockNanoseconds = 64.0 / 44100.0 * 1e9;

// 61 one-key zones over the keyboard 36..96, the most a program holds.
Dictionary sixtyOneZones() {
    std::string zones;
    for (int key = 36; key <= 96; ++key)
        zones += "<zone><id value=\"Z" + std::to_string(key) + "\"/><min value=\"" + std::to_string(key) +
                 "\"/><max value=\"" + std::to_string(key) + "\"/></zone>";
    return Dictionary(std::string("<?xml version=\"1.0\"?><dict><file-format value=\"0.7.0\"/><zones>") +
                      zones + "</zones></dict>");
}

// Keys cycle through 0..127 (step 0) or stay on one key; pairs on or off.
void runLookUps(benchmark::State& state, int fixedKey, bool pairs) {
    ZoneManager manager(nullptr);
    manager.fromDictionary(sixtyOneZones());
    manager.setOscillatorMixMode(pairs);
    int key = fixedKey;
    long sum = 0;
    const std::uint64_t before = test::allocationsInProcess();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        sum += manager.findZoneForKey(key);
        if (fixedKey < 0)
            key = (key + 1) & 127;
    }
    const double elapsed =
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
    const std::uint64_t allocations = test::allocationsInProcess() - before;
    benchmark::DoNotOptimize(sum);
    state.counters["allocations"] = static_cast<double>(allocations);
    state.counters["block_share_percent"] =
        100.0 * elapsed / static_cast<double>(state.iterations()) / kBlockNanoseconds;
    if (allocations != 0)
        state.SkipWithError("the key look-up allocated");
    state.SetItemsProcessed(state.iterations());
}

void BM_FindZoneForKeyEveryKey(benchmark::State& state) {
    runLookUps(state, -1, false);
}
BENCHMARK(BM_FindZoneForKeyEveryKey);

// The longest walk: a key above the keyboard is matched by the last zone.
void BM_FindZoneForKeyWorstCase(benchmark::State& state) {
    runLookUps(state, 127, false);
}
BENCHMARK(BM_FindZoneForKeyWorstCase);

void BM_FindZoneForKeyWorstCasePairs(benchmark::State& state) {
    runLookUps(state, 127, true);
}
BENCHMARK(BM_FindZoneForKeyWorstCasePairs);

} // namespace
} // namespace trov
