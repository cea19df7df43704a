#include "engine/zones/Zone.h"
#include "framework/Message.h"
#include "instrument/InstrumentKeys.h"
#include "instrument/zones/CorvaleZone.h"
#include "plugin/ParameterValue.h"
#include "support/CorvaleTestSupport.h"
#include "support/SampleTestSupport.h"

#include <gtest/gtest.h>

namespace trov::test {
namespace {

class CorvaleZoneTest : public ::testing::Test {
protected:
    void SetUp() override {
        plugin = world.makeCorvale();
        zones = plugin->getZoneManager(0);
        ASSERT_NE(zones, nullptr);
        ASSERT_NE(dynamic_cast<CorvaleZoneManager*>(zones), nullptr);
        settings = plugin->getModule(0)->getSettings();
    }
    void TearDown() override { plugin.reset(); }

    // A resident sample of that many frames; its id.
    std::string addSample(int frames, int rootNote = 60, std::int32_t detune = 0) {
        SharedObjectPtr<Sample> sample = makeSample(makeRamp(frames));
        sample->setRootNote(rootNote);
        sample->setDetune(detune);
        return add(std::move(sample));
    }
    // Kept for the test; its id in the resources.
    std::string add(SharedObjectPtr<Sample> sample) {
        samples.push_back(std::move(sample));
        return world.resources->addSample("", samples.back().get(), "");
    }
    // The manager's zone i, its reference given back at the end of the test.
    Zone* zone(int index) {
        Zone* z = zones->getZone(index);
        held.emplace_back(z);
        return z;
    }
    // A zone-scope change as the editor sends it, after the setting took the value.
    void send(Zone& z, const char* name, bool value, int sender) {
        settings->setBool(name, value, Sender::kSettings);
        z.receive(ParameterMessage(nullptr, Code::kParameterValue, name, 0, value ? 1 : 0,
                                   value ? 1.0f : 0.0f, sender));
    }

    CorvaleWorld world;
    std::unique_ptr<Corvale> plugin;
    ZoneManager* zones = nullptr;
    Settings* settings = nullptr;
    std::vector<SharedObjectPtr<Sample>> samples;
    std::vector<SharedObjectPtr<Zone>> held;
};

TEST_F(CorvaleZoneTest, ZoneTakesItsSamplesPositionsRootAndDetuneWithCoarseDetuneInSemitonesAtZero) {
    const int index = zones->createZone(KeyRange(36, 47), addSample(2000, 0, 37));
    Zone* z = zone(index);
    EXPECT_EQ(z->getParameterLong(keys::kSampleStart), 0);
    EXPECT_EQ(z->getParameterLong(keys::kSampleEnd), 1999);
    EXPECT_EQ(z->getParameterLong(keys::kSampleDisplayEnd), 1999);
    // Root note 0 plays from the middle of the zone.
    EXPECT_EQ(z->getParameterLong(keys::kWaveRootNote), 41);
    EXPECT_EQ(z->getParameterLong(keys::kSampleDetuneCoarse), 0);
    EXPECT_EQ(z->getParameterLong(keys::kSampleDetuneFine), 37);
    EXPECT_FALSE(z->getParameterBool(keys::kSampleLoopOn));
    EXPECT_FALSE(z->getParameterBool(keys::kSampleSliced));
    // The current zone shows its values.
    EXPECT_EQ(settings->getLong(keys::kSampleEnd), 1999);
    EXPECT_EQ(settings->getString(keys::kCurrentSample), z->getSampleName());
}

TEST_F(CorvaleZoneTest, ZoneSemitonesNeverRetuneItsSampleWhenTheSampleIsProcessed) {
    const int index = zones->createZone(KeyRange(36, 96), addSample(2000, 62, 15));
    Zone* z = zone(index);
    settings->setLong(keys::kSampleDetuneCoarse, 7, Sender::kEditor);
    z->receive(ParameterMessage(nullptr, Code::kParameterValue, keys::kSampleDetuneCoarse, 0, 7, 0.0f,
                                Sender::kEditor));
    EXPECT_EQ(z->getParameterLong(keys::kSampleDetuneCoarse), 7);
    send(*z, keys::kSampleInvertPhase, true, Sender::kEditor);
    ASSERT_TRUE(z->holdsPrivateCopy());
    EXPECT_EQ(z->getSample()->getDetune(), 15);
    EXPECT_EQ(z->getSample()->getRootNote(), 62);
}

TEST_F(CorvaleZoneTest, LoopSwitchFollowsTheSampleLoopAndKeepsAZoneThatHadItOn) {
    SharedObjectPtr<Sample> looped = makeSample(makeRamp(4000));
    looped->setLoop(Sample::Loop{Sample::kLoopOff, 1000, 3000});
    const std::string id = add(std::move(looped));
    Zone* off = zone(zones->createZone(KeyRange(36, 96), id));
    EXPECT_FALSE(off->getParameterBool(keys::kSampleLoopOn));
    EXPECT_EQ(off->getLoop().mode, Zone::kLoopOff);
    EXPECT_EQ(off->getLoop().start, 1000);

    // A zone that had its loop on keeps it on and loops in release.
    send(*off, keys::kSampleLoopOn, true, Sender::kEditor);
    EXPECT_EQ(off->getLoop().mode, Zone::kLoopInRelease);
    off->setSample(id);
    EXPECT_TRUE(off->getParameterBool(keys::kSampleLoopOn));
    EXPECT_EQ(off->getLoop().mode, Zone::kLoopInRelease);
    EXPECT_EQ(off->getLoop().end, 3000);
}

TEST_F(CorvaleZoneTest, OneSliceNeverSetsSlicedAndManySlicesKeepASlicedZoneSliced) {
    SharedObjectPtr<Sample> one = makeSample(makeRamp(4000));
    one->setSlices(1);
    SharedObjectPtr<Sample> four = makeSample(makeRamp(4000));
    four->setSlices(4);
    const std::string oneId = add(std::move(one));
    const std::string fourId = add(std::move(four));
    Zone* z = zone(zones->createZone(KeyRange(36, 96), oneId));
    send(*z, keys::kSampleSliced, true, Sender::kEditor);
    z->setSample(oneId);
    EXPECT_FALSE(z->getParameterBool(keys::kSampleSliced));
    EXPECT_EQ(z->getSliceCount(), 1);

    send(*z, keys::kSampleSliced, true, Sender::kEditor);
    z->setSample(fourId);
    EXPECT_TRUE(z->getParameterBool(keys::kSampleSliced));
    EXPECT_EQ(z->getSliceCount(), 4);
}

TEST_F(CorvaleZoneTest, ReversingMirrorsStartAndEndInTheSample) {
    struct Case {
        std::int32_t start, end, reversedStart, reversedEnd;
    };
    for (const Case& c : {Case{100, 900, 100, 900}, Case{0, 600, 400, 1000}}) {
        Zone* z = zone(zones->createZone(KeyRange(36, 96), addSample(1000)));
        const Dictionary::View values = z->getDictionary().getDictionary("parameters");
        ASSERT_TRUE(values);
        values->setInteger(keys::kSampleStart, c.start);
        values->setInteger(keys::kSampleEnd, c.end);
        send(*z, keys::kSampleReverse, true, Sender::kEditor);
        EXPECT_EQ(z->getParameterLong(keys::kSampleStart), c.reversedStart) << c.start << ".." << c.end;
        EXPECT_EQ(z->getParameterLong(keys::kSampleEnd), c.reversedEnd) << c.start << ".." << c.end;
        settings->setBool(keys::kSampleReverse, false, Sender::kSettings);
    }
}

TEST_F(CorvaleZoneTest, AZoneFilledWhileAnotherIsCurrentKeepsItsOwnValues) {
    zone(zones->createZone(KeyRange(36, 59), addSample(3000)));
    auto* other = new CorvaleZone(zones, zones, KeyRange(60, 96), addSample(1500, 64, 5));
    held.emplace_back(other);
    ASSERT_FALSE(other->isCurrent());
    EXPECT_EQ(other->getParameterLong(keys::kSampleEnd), 1499);
    EXPECT_EQ(other->getParameterLong(keys::kWaveRootNote), 64);
    EXPECT_EQ(other->getParameterLong(keys::kSampleDetuneFine), 5);
    // The current zone's values shown in the settings stay its own.
    EXPECT_EQ(settings->getLong(keys::kSampleEnd), 2999);
}

TEST_F(CorvaleZoneTest, UnloadComesOnlyFromTheEditorOrTheSettings) {
    Zone* z = zone(zones->createZone(KeyRange(36, 96), addSample(2000)));
    auto unload = [&](int sender) {
        return zones->receive(
            ParameterMessage(nullptr, Code::kParameterValue, keys::kSampleUnload, 0, 1, 1.0f, sender));
    };
    EXPECT_TRUE(unload(Sender::kHost));
    EXPECT_NE(z->getSample(), nullptr);
    EXPECT_TRUE(unload(Sender::kEditor));
    EXPECT_EQ(z->getSample(), nullptr);
    EXPECT_FALSE(settings->getBool(keys::kSampleUnload));
    EXPECT_TRUE(settings->getString(keys::kCurrentSample).empty());
}

TEST_F(CorvaleZoneTest, CurrentZoneRangeFollowsTheZoneCountAndClearingSelectsNone) {
    auto* current = dynamic_cast<ParameterValue<long>*>(settings->getParameter(keys::kCurrentZone));
    ASSERT_NE(current, nullptr);
    zones->createZone(KeyRange(36, 47), addSample(1000));
    zones->createZone(KeyRange(48, 59), addSample(1000));
    zones->createZone(KeyRange(60, 71), addSample(1000));
    EXPECT_EQ(current->getMax(), 2);
    zones->removeAllZones();
    EXPECT_EQ(current->getMax(), current->getMin());
    zones->createZone(KeyRange(36, 47), addSample(1000));
    zones->clearSelection();
    EXPECT_EQ(settings->getLong(keys::kCurrentZone), -1);
    EXPECT_EQ(zones->getCurrentZoneIndex(), -1);
}

TEST_F(CorvaleZoneTest, MixModeFollowsItsSwitchAndAnInactiveManagerTakesNothing) {
    EXPECT_TRUE(
        zones->receive(ParameterMessage(nullptr, Code::kParameterValue, keys::kOscMixMode, 0, 1, 1.0f, 3)));
    EXPECT_TRUE(zones->getOscillatorMixMode());
    zones->deactivate();
    EXPECT_FALSE(
        zones->receive(ParameterMessage(nullptr, Code::kParameterValue, keys::kOscMixMode, 0, 0, 0.0f, 3)));
    EXPECT_TRUE(zones->getOscillatorMixMode());
}

} // namespace
} // namespace trov::test
