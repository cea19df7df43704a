#include "engine/zones/ZoneState.h"
#include "engine/zones/Zone.h"
#include "engine/zones/ZoneManager.h"

#include "engine/samples/Sample.h"
#include "framework/File.h"
#include "framework/Message.h"
#include "plugin/Parameter.h"
#include "plugin/Settings.h"
#include "support/AllocationGuard.h"
#include "support/ZoneTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace trov;
using test::zoneItem;

namespace {

class ZoneStateTest : public testing::Test {
protected:
    std::string sampleFile(const std::string& name, int frames) {
        return world_.resources->addSampleFile("", File(world_.writeWav("Samples/" + name + ".wav", frames)));
    }
    SharedObjectPtr<Zone> makeZone() {
        return SharedObjectPtr<Zone>(
            new Zone(nullptr, world_.parent.get(), KeyRange(36, 59), sampleFile("first", 4000)));
    }

    // What the zone's own readers give, against what a note reads of it.
    static void expectStateMatchesTheZone(const Zone& zone, const Settings& settings,
                                          const std::string& step) {
        const ZoneState state = zone.readState();
        EXPECT_EQ(state.sample, zone.getSample()) << step;
        EXPECT_EQ(std::tuple(state.loop.mode, state.loop.start, state.loop.end),
                  std::tuple(zone.getLoop().mode, zone.getLoop().start, zone.getLoop().end))
            << step;
        EXPECT_EQ(state.range, zone.getKeyRange()) << step;
        EXPECT_EQ(state.sliceCount, zone.getSliceCount()) << step;
        // A note plays slice (key - low key): the first 128 are all a note can ask for.
        for (int i = 0; i < std::min(zone.getSliceCount(), ZoneState::kMaxSlices); ++i)
            EXPECT_EQ(std::pair(state.getSlice(i).start, state.getSlice(i).end),
                      std::pair(zone.getSlice(i).start, zone.getSlice(i).end))
                << step << " slice " << i;
        for (const char* name :
             {"SampleStart", "SampleEnd", "SampleLoopOn", "SampleNormalize", "SampleReverse",
              "SampleDetuneCoarse", "SampleRootNote", "SampleDetuneFine"}) {
            const int slot = Zone::valueSlot(&settings, name);
            ASSERT_GE(slot, 0) << name;
            EXPECT_EQ(state.getLong(slot), zone.getParameterLong(name)) << step << " " << name;
            EXPECT_EQ(state.getBool(slot), zone.getParameterBool(name)) << step << " " << name;
            EXPECT_EQ(state.getFloat(slot), zone.getParameterFloat(name)) << step << " " << name;
        }
    }

    test::ZoneWorld world_;
};

TEST_F(ZoneStateTest, EveryChangeOfAZoneIsPublishedWholeForNotes) {
    const SharedObjectPtr<Zone> zone = makeZone();
    const std::string second = sampleFile("second", 3000);
    const struct {
        const char* step;
        std::function<void(Zone&)> change;
    } kChanges[] = {
        {"made", [](Zone&) {}},
        {"a value handed over",
         [&](Zone& z) {
             world_.settings->setLong("SampleDetuneCoarse", 7, Sender::kEditor);
             z.receive(ParameterMessage(world_.settings->getParameter("SampleDetuneCoarse"),
                                        Code::kParameterValue, "SampleDetuneCoarse", 0, 7, 0.6f,
                                        Sender::kEditor));
         }},
        {"values stored from the settings",
         [&](Zone& z) {
             world_.settings->setLong("SampleEnd", 2500, Sender::kEditor);
             z.storeParameters();
         }},
        {"a loop activated",
         [](Zone& z) {
             z.activate(Zone::Loop{Zone::kLoopInRelease, 100, 900});
         }},
        {"the loop switched off", [](Zone& z) { z.setLoopEnabled(Zone::kLoopOff); }},
        {"a new key range", [](Zone& z) { z.setKeyRange(KeyRange(40, 41)); }},
        {"normalized into a private copy",
         [&](Zone& z) {
             world_.settings->setBool("SampleNormalize", true, Sender::kEditor);
             z.receive(ParameterMessage(world_.settings->getParameter("SampleNormalize"),
                                        Code::kParameterValue, "SampleNormalize", 0, 1, 1.0f,
                                        Sender::kEditor));
             z.prepareSample();
         }},
        {"another sample", [&](Zone& z) { z.setSample(second); }},
        {"read from a document with slices",
         [&](Zone& z) {
             std::string slices;
             for (int i = 0; i < 140; ++i)
                 slices += "<slice><start value=\"" + std::to_string(i * 10) + "\"/><end value=\"" +
                           std::to_string(i * 10 + 9) + "\"/></slice>";
             z.fromDictionary(
                 zoneItem(test::rangeText(50, 70, second) +
                          "<parameters><SampleStart value=\"12\"/><SampleLoopOn value=\"true\"/>"
                          "<SampleRootNote value=\"48\"/></parameters><loops><loop><start "
                          "value=\"5\"/><end value=\"50\"/><mode value=\"in-release\"/></loop></loops>"
                          "<slices>" +
                          slices + "</slices>"));
         }},
        {"the sample given back", [](Zone& z) { z.releaseSample(); }},
    };
    for (const auto& c : kChanges) {
        c.change(*zone);
        expectStateMatchesTheZone(*zone, *world_.settings, c.step);
    }
}

TEST_F(ZoneStateTest, FixedValuesComeFirstThenTheOtherZoneScopeParametersAndReadingAllocatesNothing) {
    const Settings& settings = *world_.settings;
    const std::vector<std::pair<const char*, int>> kSlots = {
        {"SampleStart", 0},      {"SampleEnd", 1},      {"SampleRootNote", 2},  {"SampleDetuneCoarse", 3},
        {"SampleDetuneFine", 4}, {"SampleLoopOn", 5},   {"SampleNormalize", 6}, {"SampleReverse", 7},
        {"Volume", -1},          {"CurrentSample", -1}, {"NoSuchThing", -1}};
    for (const auto& [name, slot] : kSlots)
        EXPECT_EQ(Zone::valueSlot(&settings, name), slot) << name;
    const SharedObjectPtr<Zone> zone = makeZone();
    int seen = 0;
    {
        test::AllocationGuard guard("a note reading a zone");
        for (int i = 0; i < 100; ++i)
            seen += zone->readState().sample != nullptr ? 1 : 0;
    }
    EXPECT_EQ(seen, 100);
    // A slot that names nothing reads as a value the zone lacks.
    const ZoneState state = zone->readState();
    EXPECT_FALSE(state.has(-1));
    EXPECT_FALSE(state.has(ZoneState::kMaxValues));
}

TEST_F(ZoneStateTest, NotesFindTheListedZonesAndTheCurrentOneWithoutTheManagersLock) {
    const std::unique_ptr<ZoneManager> manager = world_.makeManager();
    const std::string id = sampleFile("keys", 1000);
    manager->fromDictionary(test::zonesDocument({{36, 47}, {48, 59}, {60, 71}, {72, 83}}, "unused"));
    const auto zoneAt = [&](int index) {
        Zone* zone = manager->getZone(index);
        zone->release();
        return zone;
    };
    struct Case {
        int key;
        int side;  // -1 the key's zone; 0, 1 the first or second of its pair
        int index; // -1: none
    };
    for (const Case c : {Case{50, -1, 1}, Case{50, 0, 0}, Case{50, 1, 1}, Case{62, 0, 2}, Case{62, 1, 3},
                         Case{20, -1, 0}, Case{90, -1, -1}}) {
        Zone* found = nullptr;
        {
            test::AllocationGuard guard("a note's zone look-up");
            found = manager->acquireZoneForKey(c.key, c.side);
        }
        EXPECT_EQ(found, c.index >= 0 ? zoneAt(c.index) : nullptr) << "key " << c.key << " side " << c.side;
        if (found == nullptr)
            continue;
        // The caller holds a reference of its own.
        EXPECT_GE(found->getReferenceCount(), 2);
        found->release();
    }
    manager->selectZone(2);
    EXPECT_EQ(manager->peekCurrentZone(), zoneAt(2));
    EXPECT_TRUE(zoneAt(2)->isCurrent());
    Zone* removed = zoneAt(2);
    removed->retain();
    manager->removeZone(2);
    EXPECT_FALSE(manager->isCurrentZone(removed));
    Zone* now = manager->acquireZoneForKey(65, -1);
    EXPECT_NE(now, removed);
    if (now != nullptr)
        now->release();
    removed->release();
    manager->removeAllZones();
    EXPECT_EQ(std::pair(manager->acquireZoneForKey(50, -1), manager->peekCurrentZone()),
              std::pair(static_cast<Zone*>(nullptr), static_cast<const Zone*>(nullptr)));
    (void)id;
}

} // namespace
