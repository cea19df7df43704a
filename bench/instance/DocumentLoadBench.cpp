// Loading banks with long arrays: a bank is parsed and read by an instance, its one long array holding
// 15,000, 30,000 or 60,000 items of one kind: loops or slices of a zone, zones of a program (4,000, 8,000
// or 16,000: a bank holds at most Plugin::kMaxZones), sample ids of one file, stored values of a program,
// tunings, or programs beyond those the instance holds.
// Reading is linear, so the time per item stays flat as the items double; the goal is well under a second
// for 60,000 items. Counters: items, and ns_per_item (the whole load, parse included, per item).

#include "framework/Dictionary.h"
#include "support/DocumentFolderTestSupport.h"
#include "support/InstanceTestSupport.h"

#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <string>

namespace {

using namespace trov;
using namespace trov::test;

enum Kind { kLoops, kSlices, kZones, kSamples, kValues, kTunings, kPrograms };
const char* const kKindNames[] = {"loops", "slices", "zones", "samples", "values", "tunings", "programs"};

Dictionary::View firstModule(const Dictionary& bank) {
    return bank.getArray("programs")->getFirstChild("program")->getArray("modules")->getFirstChild("module");
}

Dictionary::View firstZone(const Dictionary& bank) {
    return firstModule(bank)->getArray("zones")->getFirstChild("zone");
}

// A bank the instance wrote, with one zone in its first program, grown by `items` items of the kind.
std::string bankWith(InstanceWorld& world, Kind kind, int items) {
    auto plugin = world.makePlugin();
    plugin->getPreset(0)->getProgram(0)->getZoneManager()->createZone(KeyRange(36, 96), "Z");
    Dictionary bank;
    plugin->writeState(bank, true);
    const Dictionary::View zone = firstZone(bank);
    Dictionary::View array;
    switch (kind) {
    case kLoops:
        array = zone->getArray("loops");
        for (int i = 0; i < items; ++i)
            if (const Dictionary::View loop = array->addDictionary("loop")) {
                loop->setInteger("start", i);
                loop->setInteger("end", i + 100);
                loop->setString("mode", "off");
            }
        break;
    case kSlices:
        array = zone->getArray("slices");
        for (int i = 0; i < items; ++i)
            if (const Dictionary::View slice = array->addDictionary("slice")) {
                slice->setInteger("start", 2 * i);
                slice->setInteger("end", 2 * i + 1);
            }
        break;
    case kZones: {
        // The least a zone is read from, so that the bank stays within the parser's million items.
        const Dictionary least(std::string("<dict><zone><id value=\"Z\"/><min value=\"36\"/>"
                                           "<max value=\"96\"/></zone></dict>"));
        array = firstModule(bank)->getArray("zones");
        for (int i = 0; i < items; ++i)
            array->appendChild(*least.getFirstChild("zone"));
        break;
    }
    case kSamples: {
        // Ids of one file, each found through the ids before it.
        const std::string file = writeRampWav(world.files / "shared.wav", 64);
        array = bank.getDictionary("resources")->addArray("samples");
        for (int i = 0; i < items; ++i)
            if (const Dictionary::View sample = array->addDictionary("sample")) {
                sample->setString("id", "E" + std::to_string(i));
                sample->setString("filename", file);
            }
        break;
    }
    case kValues:
        array = firstModule(bank)->getDictionary("parameters");
        if (!array)
            array = firstModule(bank)->addDictionary("parameters");
        for (int i = 0; i < items; ++i)
            array->setFloat("Stored" + std::to_string(i), 0.5f);
        break;
    case kTunings:
        array = bank.getArray("tunings");
        for (int i = 0; i < items; ++i)
            if (const Dictionary::View tuning = array->addDictionary("tuning")) {
                tuning->setString("description", "Scale " + std::to_string(i));
                tuning->setDouble("factor", 2.0, 0, false);
            }
        break;
    case kPrograms:
        array = bank.getArray("programs");
        for (int i = 0; i < items; ++i)
            array->addDictionary("program")->setString("name", "Extra " + std::to_string(i));
        break;
    }
    // Without indentation: the white space between items would count as items of the parser's limit.
    std::string text;
    bank.toText(text);
    return text;
}

void BM_LoadBank(benchmark::State& state) {
    const auto kind = static_cast<Kind>(state.range(0));
    const int items = static_cast<int>(state.range(1));
    InstanceWorld world;
    world.info.engines = InstanceTestPluginInfo::Engines::Null;
    const std::string text = bankWith(world, kind, items);
    auto plugin = world.makePlugin();
    double seconds = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const Dictionary document(text);
        if (!plugin->readState(document))
            state.SkipWithError("the bank was refused");
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.SetLabel(kKindNames[kind]);
    state.counters["items"] = items;
    state.counters["ns_per_item"] =
        state.iterations() > 0 ? seconds * 1e9 / static_cast<double>(state.iterations()) / items : 0.0;
}

void loadArguments(benchmark::internal::Benchmark* benchmark) {
    for (int kind = kLoops; kind <= kPrograms; ++kind)
        for (int items : kind == kZones ? std::array{4000, 8000, 16000} : std::array{15000, 30000, 60000})
            benchmark->Args({kind, items});
}

BENCHMARK(BM_LoadBank)->Apply(loadArguments)->ArgNames({"kind", "items"})->Unit(benchmark::kMillisecond);

} // namespace
