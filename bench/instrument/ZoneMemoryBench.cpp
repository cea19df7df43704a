// What the instrument's zones cost in memory: a bank the instrument wrote, its first program holding
// 1,000, 10,000 or the limit's 16,384 zones of one sample, all but the first the least a zone is read
// from (id and range), read by a fresh instance, as a hostile bank would be. A zone read from a document
// takes the stored values it lacks from its sample (positions, root, detune, switches), so it costs what a
// saved zone does.
// Counters: zones; bytes_per_zone, the heap the instance holds per zone once the bank is read (the zone,
// its values, the record notes read); document_bytes_per_zone, the heap the parsed document holds per zone
// while it is read, gone afterwards; ns_per_zone, the read (parse included) per zone. A load's peak holds
// about zones x (bytes_per_zone + document_bytes_per_zone), plus the allocator's own overhead.

#include "framework/Dictionary.h"
#include "instance/Plugin.h"
#include "support/CorvaleTestSupport.h"
#include "support/DocumentFolderTestSupport.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace {

using namespace trov;
using namespace trov::test;

// The heap in use, small blocks and mapped ones, whoever asked for it.
double heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

std::string bankWithZones(CorvaleWorld& world, int zones) {
    const std::string id =
        world.resources->addSampleFile("", File(writeRampWav(world.files / "zone.wav", 4000)));
    auto plugin = world.makeCorvale();
    plugin->getPreset(0)->getProgram(0)->getZoneManager()->createZone(KeyRange(36, 96), id);
    Dictionary bank;
    plugin->writeState(bank, false);
    const Dictionary least("<dict><zone><id value=\"" + id +
                           "\"/><min value=\"36\"/><max value=\"96\"/></zone></dict>");
    const Dictionary::View array =
        bank.getArrayItem("programs", 0)->getArrayItem("modules", 0)->getArray("zones");
    for (int i = 1; i < zones; ++i)
        array->appendChild(*least.getFirstChild("zone"));
    std::string text;
    bank.toText(text);
    return text;
}

void BM_ZoneMemory(benchmark::State& state) {
    const int zones = static_cast<int>(state.range(0));
    CorvaleWorld world;
    const std::string text = bankWithZones(world, zones);
    double held = 0.0;
    double parsed = 0.0;
    double seconds = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            auto plugin = world.makeCorvale();
            const double before = heapInUse();
            state.ResumeTiming();
            const auto start = std::chrono::steady_clock::now();
            {
                const Dictionary document(text);
                parsed += heapInUse() - before;
                if (!plugin->readState(document))
                    state.SkipWithError("the bank was refused");
            }
            seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            state.PauseTiming();
            held += heapInUse() - before;
        }
        state.ResumeTiming();
    }
    const double perZone =
        state.iterations() > 0 ? 1.0 / static_cast<double>(state.iterations()) / zones : 0.0;
    state.counters["zones"] = zones;
    state.counters["bytes_per_zone"] = held * perZone;
    state.counters["document_bytes_per_zone"] = parsed * perZone;
    state.counters["ns_per_zone"] = seconds * 1e9 * perZone;
}

BENCHMARK(BM_ZoneMemory)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(static_cast<std::int64_t>(Plugin::kMaxZones))
    ->ArgName("zones")
    ->Unit(benchmark::kMillisecond);

} // namespace
