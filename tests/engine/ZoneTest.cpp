#include "engine/zones/Zone.h"

#include "engine/modules/Module.h"
#include "engine/samples/Sample.h"
#include "engine/samples/SampleBuffer.h"
#include "engine/zones/Resources.h"
#include "framework/File.h"
#include "framework/Message.h"
#include "platform/Responder.h"
#include "plugin/Parameter.h"
#include "plugin/Settings.h"
#include "support/EngineTestSupport.h"
#include "support/SampleTestSupport.h"
#include "support/ZoneTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <tuple>
#include <vector>

using namespace trov;
using test::zoneItem;

namespace {

class ZoneTest : public testing::Test {
protected:
    // A zone over keys 36..59 playing a 4000-frame file under a new id.
    SharedObjectPtr<Zone> zoneWithSample(std::string* id = nullptr, int rootNote = 60) {
        const std::string path = world_.writeWav("Samples/ramp.wav", 4000, rootNote);
        const std::string added = world_.resources->addSampleFile("", File(path));
        if (id != nullptr)
            *id = added;
        return SharedObjectPtr<Zone>(new Zone(nullptr, world_.parent.get(), KeyRange(36, 59), added));
    }

    // Sets a zone-scope parameter and hands its change to the zone, as a voice does for the current zone.
    void change(Zone& zone, const std::string& name, bool on) {
        world_.settings->setBool(name, on, Sender::kEditor);
        zone.receive(
            ParameterMessage(nullptr, Code::kParameterValue, name, 0, on, on ? 1.0f : 0.0f, Sender::kEditor));
    }

    static float peakOf(const Sample& sample) {
        float peak = 0.0f;
        for (float value : test::valuesOf(sample))
            peak = std::max(peak, std::fabs(value));
        return peak;
    }

    test::ZoneWorld world_;
};

TEST_F(ZoneTest, NewZoneCarriesTheZoneScopeValuesOfItsModuleAndOneEmptyLoop) {
    world_.settings->setLong("SampleStart", 1234, Sender::kEditor);
    const SharedObjectPtr<Zone> zone(new Zone(nullptr, world_.parent.get(), KeyRange(40, 50), "unknown id"));
    EXPECT_EQ(zone->getParameterLong("SampleStart"), 1234);
    // Module- and plug-in-scope values are not the zone's.
    EXPECT_EQ(zone->getDictionary().getDictionary("parameters")->findEntry("Volume"), nullptr);
    EXPECT_EQ(zone->getLoopCount(), 1);
    EXPECT_EQ(std::tuple(zone->getLoop().mode, zone->getLoop().start, zone->getLoop().end),
              std::tuple(0, 0, 0));
    EXPECT_EQ(zone->getSampleName(), "unknown id");
    EXPECT_EQ(zone->getSample(), nullptr);
    EXPECT_EQ(zone->getKeyRange(), KeyRange(40, 50));
}

TEST_F(ZoneTest, DocumentRoundTripKeepsRangeValuesLoopWordsAndSlices) {
    const SharedObjectPtr<Zone> zone(new Zone(nullptr, world_.parent.get(), KeyRange(0, 0), ""));
    zone->fromDictionary(
        zoneItem(test::rangeText(48, 71, "NOT-LOADED") +
                 "<parameters><SampleStart value=\"100\"/><SampleLoopOn value=\"true\"/>"
                 "</parameters><loops>"
                 "<loop><start value=\"10\"/><end value=\"900\"/><mode value=\"in-release\"/></loop>"
                 "<loop><start value=\"20\"/><end value=\"800\"/><mode value=\"until-release\"/></loop>"
                 "<loop><start value=\"30\"/><end value=\"700\"/><mode value=\"sideways\"/></loop>"
                 "<!-- not a loop --></loops>"
                 "<slices><slice><start value=\"0\"/><end value=\"499\"/></slice>"
                 "<slice><start value=\"500\"/><end value=\"999\"/></slice></slices>"));
    auto check = [](const Zone& read) {
        EXPECT_EQ(read.getSampleName(), "NOT-LOADED");
        EXPECT_EQ(read.getKeyRange(), KeyRange(48, 71));
        EXPECT_EQ(read.getParameterLong("SampleStart"), 100);
        EXPECT_TRUE(read.getParameterBool("SampleLoopOn"));
        ASSERT_EQ(read.getLoopCount(), 3);
        EXPECT_EQ(std::tuple(read.getLoop().mode, read.getLoop().start, read.getLoop().end),
                  std::tuple(Zone::kLoopInRelease, 10, 900));
        ASSERT_EQ(read.getSliceCount(), 2);
        EXPECT_EQ(std::pair(read.getSlice(1).start, read.getSlice(1).end), std::pair(500, 999));
        EXPECT_EQ(std::pair(read.getSlice(2).start, read.getSlice(2).end), std::pair(0, 0));
    };
    check(*zone);

    Dictionary written;
    written.setString("file-format", "0.7.0");
    const Dictionary::View item = written.addDictionary("zone");
    zone->toDictionary(*item);
    std::string modes;
    for (int i = 0; i < 3; ++i) {
        std::string word;
        written.getDictionary("zone/loops")->getChild(i, "")->getString("mode", &word);
        modes += word + ";";
    }
    // An unknown word read as off is written back as "off".
    EXPECT_EQ(modes, "in-release;until-release;off;");

    const SharedObjectPtr<Zone> again(new Zone(nullptr, world_.parent.get(), KeyRange(0, 0), ""));
    const Dictionary reread(written.toDocumentText());
    ASSERT_TRUE(reread.getDictionary("zone"));
    again->fromDictionary(*reread.getDictionary("zone"));
    check(*again);
}

TEST_F(ZoneTest, OlderDocumentsWithSettingsReadTheSameValuesInEitherLayoutAndSaveThemKeyNamed) {
    const std::string keyed =
        test::rangeText(36, 40, "A") + "<settings><SampleStart value=\"77\"/></settings>";
    const Dictionary typed(
        std::string("<?xml version=\"1.0\"?><dict><array name=\"zones\"><dict name=\"zone\">"
                    "<string name=\"id\" value=\"A\"/><integer name=\"min\" value=\"36\"/>"
                    "<integer name=\"max\" value=\"40\"/><dict name=\"settings\">"
                    "<integer name=\"SampleStart\" value=\"77\"/><bool name=\"SampleLoopOn\" value=\"true\"/>"
                    "</dict></dict></array></dict>"));
    ASSERT_TRUE(typed.getArrayItem("zones", 0)->readsTypedLayout());
    for (const Dictionary& item : {zoneItem(keyed), Dictionary(*typed.getArrayItem("zones", 0))}) {
        const SharedObjectPtr<Zone> zone(new Zone(nullptr, world_.parent.get(), KeyRange(0, 0), ""));
        zone->fromDictionary(item);
        EXPECT_EQ(zone->getParameterLong("SampleStart"), 77);
        EXPECT_EQ(zone->getKeyRange(), KeyRange(36, 40));

        Dictionary saved;
        saved.setString("file-format", "0.7.0");
        zone->toDictionary(*saved.addDictionary("zone"));
        const Dictionary reread(saved.toDocumentText());
        const SharedObjectPtr<Zone> copy(new Zone(nullptr, world_.parent.get(), KeyRange(0, 0), ""));
        copy->fromDictionary(*reread.getDictionary("zone"));
        EXPECT_EQ(copy->getParameterLong("SampleStart"), 77);
    }
}

TEST_F(ZoneTest, DocumentWithoutIdLeavesTheZoneClearedUnderANewRandomName) {
    std::string id;
    const SharedObjectPtr<Zone> zone = zoneWithSample(&id);
    ASSERT_NE(zone->getSample(), nullptr);
    zone->fromDictionary(
        zoneItem("<min value=\"40\"/><max value=\"50\"/><parameters><SampleStart value=\"5\"/>"
                 "</parameters>"));
    EXPECT_EQ(zone->getSample(), nullptr);
    EXPECT_NE(zone->getSampleName(), id);
    EXPECT_EQ(zone->getSampleName().size(), 39u);
    EXPECT_EQ(zone->getParameterLong("SampleStart"), 0);
    EXPECT_EQ(zone->getKeyRange(), KeyRange(36, 59));
    // The sample went back to the resources; with no user left the next purge takes it.
    world_.resources->purgeUnused();
    EXPECT_EQ(world_.resources->findSample(id), nullptr);
}

TEST_F(ZoneTest, ProcessingSwitchedOnPlaysAPrivateCopyAndSwitchedOffTheSharedSampleAgain) {
    std::string id;
    const SharedObjectPtr<Zone> zone = zoneWithSample(&id);
    Sample* shared = world_.resources->findSample(id);
    ASSERT_NE(shared, nullptr);
    const float sharedPeak = peakOf(*shared);

    change(*zone, "SampleNormalize", true);
    zone->prepareSample();
    EXPECT_TRUE(zone->holdsPrivateCopy());
    ASSERT_NE(zone->getSample(), shared);
    EXPECT_NEAR(peakOf(*zone->getSample()), 1.0f, 1e-5f);
    EXPECT_EQ(peakOf(*shared), sharedPeak);

    change(*zone, "SampleNormalize", false);
    zone->prepareSample();
    EXPECT_FALSE(zone->holdsPrivateCopy());
    EXPECT_EQ(zone->getSample(), shared);
    EXPECT_EQ(world_.resources->findSample(id), shared);
}

TEST_F(ZoneTest, TheOnlyUserOfASampleFindsItAgainAfterProcessing) {
    // The zone's hold on the shared sample survives the private copy, so the resources keep the sample.
    std::string id;
    const SharedObjectPtr<Zone> zone = zoneWithSample(&id);
    change(*zone, "SampleReverse", true);
    zone->prepareSample();
    EXPECT_NE(world_.resources->findSample(id), nullptr);
    change(*zone, "SampleReverse", false);
    zone->prepareSample();
    EXPECT_NE(zone->getSample(), nullptr);
    EXPECT_EQ(zone->getSample(), world_.resources->findSample(id));
}

TEST_F(ZoneTest, NamingTheSampleAZonePlaysAgainKeepsASampleThatHasNoFile) {
    // A sample from a document has no file to be loaded again from: dropping it in between would lose it.
    std::string id;
    {
        const SharedObjectPtr<Sample> recorded = test::makeSample(test::makeRamp(2000));
        id = world_.resources->addSample("", recorded.get(), "");
    }
    const SharedObjectPtr<Zone> zone(new Zone(nullptr, world_.parent.get(), KeyRange(36, 40), id));
    Sample* sample = zone->getSample();
    ASSERT_NE(sample, nullptr);
    zone->setSample(id);
    EXPECT_EQ(zone->getSample(), sample);
    zone->fromDictionary(zoneItem(test::rangeText(36, 40, id)));
    EXPECT_EQ(zone->getSample(), sample);
    EXPECT_EQ(world_.resources->findSample(id), sample);
}

TEST_F(ZoneTest, PreparingKeepsTheSamplesRootNoteAndDetuneApartFromTheZonesSemitones) {
    std::string id;
    const SharedObjectPtr<Zone> zone = zoneWithSample(&id, 48);
    Sample* shared = world_.resources->findSample(id);
    shared->setDetune(-30);
    world_.settings->setLong("SampleDetuneCoarse", 7, Sender::kEditor);
    zone->receive(ParameterMessage(nullptr, Code::kParameterValue, "SampleDetuneCoarse", 0, 7, 0.6f, 2));
    change(*zone, "SampleNormalize", true);
    zone->prepareSample();
    ASSERT_TRUE(zone->holdsPrivateCopy());
    EXPECT_EQ(zone->getSample()->getRootNote(), 48);
    EXPECT_EQ(zone->getSample()->getDetune(), -30);
    EXPECT_EQ(zone->getParameterLong("SampleDetuneCoarse"), 7);
    EXPECT_EQ(shared->getDetune(), -30);
}

TEST_F(ZoneTest, RootFrequencyIsTheSamplesRootNoteInItsModulesTuning) {
    test::PluginDouble plugin;
    Module module(nullptr, plugin, *world_.settings);
    const std::string path = world_.writeWav("Samples/low.wav", 2000, 48);
    const std::string id = world_.resources->addSampleFile("", File(path));
    const SharedObjectPtr<Zone> zone(new Zone(nullptr, &module, KeyRange(36, 59), id));
    EXPECT_EQ(zone->getOwner(), &module);
    EXPECT_NEAR(zone->getRootFrequency(), 440.0 * std::pow(2.0, (48 - 69) / 12.0), 1e-3);
    EXPECT_EQ(plugin.askedKey, 48);
    const SharedObjectPtr<Zone> silent(new Zone(nullptr, &module, KeyRange(36, 59), "nothing"));
    EXPECT_EQ(silent->getRootFrequency(), 0.0f);
}

TEST_F(ZoneTest, PreparingWritesTheSamplesClampedPositionsIntoTheValues) {
    const SharedObjectPtr<Zone> zone = zoneWithSample();
    world_.settings->setLong("SampleEnd", 999999, Sender::kEditor);
    zone->receive(ParameterMessage(nullptr, Code::kParameterValue, "SampleEnd", 0, 999999, 0.1f, 2));
    zone->prepareSample();
    EXPECT_EQ(zone->getParameterLong("SampleEnd"), 3999);
}

TEST_F(ZoneTest, CopyOfAProcessedZoneSharesItsCopyUntilEitherChangesIt) {
    std::string id;
    const SharedObjectPtr<Zone> zone = zoneWithSample(&id);
    change(*zone, "SampleNormalize", true);
    zone->prepareSample();
    const SharedObjectPtr<Zone> copy(new Zone(*zone));
    EXPECT_EQ(copy->getSample(), zone->getSample());
    EXPECT_TRUE(copy->holdsPrivateCopy());
    EXPECT_EQ(copy->getSampleName(), id);

    // Switching the copy's processing off must not undo the original's normalize.
    change(*copy, "SampleNormalize", false);
    copy->prepareSample();
    EXPECT_EQ(copy->getSample(), world_.resources->findSample(id));
    EXPECT_NEAR(peakOf(*zone->getSample()), 1.0f, 1e-5f);
}

TEST_F(ZoneTest, ZonesProcessingOneSampleAlikeShareOneCopyOfIt) {
    // A bank of many zones normalizing slices of one long sample holds one such copy, not one a zone.
    std::string id;
    const SharedObjectPtr<Zone> first = zoneWithSample(&id);
    const SharedObjectPtr<Zone> second(new Zone(nullptr, world_.parent.get(), KeyRange(60, 70), id));
    const SharedObjectPtr<Zone> reversed(new Zone(nullptr, world_.parent.get(), KeyRange(71, 80), id));
    for (Zone* zone : {first.get(), second.get()}) {
        change(*zone, "SampleNormalize", true);
        zone->prepareSample();
    }
    change(*reversed, "SampleReverse", true);
    reversed->prepareSample();
    ASSERT_TRUE(first->holdsPrivateCopy());
    EXPECT_EQ(second->getSample(), first->getSample());
    EXPECT_NE(reversed->getSample(), first->getSample());
    EXPECT_NEAR(peakOf(*first->getSample()), 1.0f, 1e-5f);
}

TEST_F(ZoneTest, ACopyThatDoesNotFitInMemoryLeavesTheZonePlayingWhatItPlayedAndIsTold) {
    std::string id;
    const SharedObjectPtr<Zone> zone = zoneWithSample(&id);
    Sample* shared = world_.resources->findSample(id);
    platform::ScriptedResponder responder;
    platform::setResponder(&responder);
    {
        const SampleBuffer::ShortMemory noRoom(4000);
        change(*zone, "SampleNormalize", true);
        EXPECT_FALSE(zone->prepareSample());
    }
    platform::setResponder(nullptr);
    EXPECT_EQ(zone->getSample(), shared);
    EXPECT_FALSE(zone->holdsPrivateCopy());
    ASSERT_EQ(responder.questions().size(), 1u);
    EXPECT_EQ(
        responder.questions()[0].text,
        "The zone keeps playing what it played: the copy of the sample " +
            world_.resources->getSampleFile(id).getPath() +
            " that its zones play normalized, reversed or inverted (4000 values) does not fit in memory.");
}

TEST_F(ZoneTest, SampleDataAmongAZonesValuesIsKeptAsReadAndNeverDecoded) {
    std::string id;
    const SharedObjectPtr<Zone> zone = zoneWithSample(&id);
    Dictionary item = zoneItem(test::rangeText(36, 59, id) +
                               "<parameters><SampleInvertPhase value=\"true\"/><samples value=\"600\"/>"
                               "</parameters>");
    const std::vector<std::uint8_t> bytes(4 * 600, 0);
    item.getDictionary("parameters")->setData(Sample::kDataKey, bytes.data(), bytes.size());
    zone->fromDictionary(item);
    ASSERT_TRUE(zone->holdsPrivateCopy());
    EXPECT_EQ(zone->getSample()->getInfo().frames, 4000);
    EXPECT_EQ(zone->getParameterLong("SampleEnd"), 3999);
    EXPECT_TRUE(zone->getDictionary().getDictionary("parameters")->findEntry(Sample::kDataKey));
}

TEST_F(ZoneTest, ParameterChangesOfTheSettingsAreStoredAndUnknownNamesIgnored) {
    const SharedObjectPtr<Zone> zone(new Zone(nullptr, world_.parent.get(), KeyRange(36, 40), "x"));
    world_.settings->setLong("SampleStart", 640, Sender::kEditor);
    EXPECT_TRUE(
        zone->receive(ParameterMessage(nullptr, Code::kParameterValue, "SampleStart", 0, 640, 0.f, 2)));
    EXPECT_EQ(zone->getParameterLong("SampleStart"), 640);

    const std::string before = zone->getDictionary().toDocumentText();
    EXPECT_FALSE(
        zone->receive(ParameterMessage(nullptr, Code::kParameterValue, "NoSuchThing", 0, 1, 1.f, 2)));
    EXPECT_FALSE(
        zone->receive(ParameterMessage(nullptr, Code::kParameterValue, "SampleStart", 5, 1, 1.f, 2)));
    EXPECT_EQ(zone->getDictionary().toDocumentText(), before);
}

TEST_F(ZoneTest, DroppedFileBecomesTheSampleWithItsRegionOnlyWhenOneIsGiven) {
    const std::string path = world_.writeWav("drops/kick.wav", 3000);
    struct Case {
        WindowMessage::DropItem item;
        bool region;
    };
    for (const Case& c :
         {Case{{path, 100, 2000}, true}, Case{{path, 0, 0}, false}, Case{{path, 0, 700}, true}}) {
        const SharedObjectPtr<Zone> zone(new Zone(nullptr, world_.parent.get(), KeyRange(36, 40), "old"));
        EXPECT_TRUE(zone->receive(WindowMessage(nullptr, Code::kDropItem, 0, Point(), c.item)));
        ASSERT_NE(zone->getSample(), nullptr);
        EXPECT_EQ(world_.resources->getSampleFile(zone->getSampleName()).getPath(), path);
        int start = -1;
        int end = -1;
        const bool written = zone->getDictionary().getInteger("SampleStart", &start) &&
                             zone->getDictionary().getInteger("SampleEnd", &end);
        EXPECT_EQ(written, c.region);
        if (c.region) {
            EXPECT_EQ(std::pair(start, end), std::pair(c.item.first, c.item.second));
        }
    }
    const SharedObjectPtr<Zone> zone(new Zone(nullptr, world_.parent.get(), KeyRange(36, 40), "old"));
    WindowMessage byPath(nullptr, 3021, 0, Point(), pointerToWord(path.c_str()));
    EXPECT_TRUE(zone->receive(byPath));
    EXPECT_EQ(zone->getSample()->getInfo().frames, 3000);
}

TEST_F(ZoneTest, DroppedFileThatDoesNotLoadLeavesTheZoneAsItWas) {
    std::string id;
    const SharedObjectPtr<Zone> zone = zoneWithSample(&id);
    Sample* before = zone->getSample();
    const std::string text = world_.files.write("notes.txt", "not audio");
    EXPECT_FALSE(zone->receive(WindowMessage(nullptr, Code::kDropItem, 0, Point(), {text, 0, 0})));
    const std::string missing = world_.files / "missing.wav";
    EXPECT_FALSE(zone->receive(WindowMessage(nullptr, 3021, 0, Point(), pointerToWord(missing.c_str()))));
    EXPECT_EQ(zone->getSampleName(), id);
    EXPECT_EQ(zone->getSample(), before);
}

TEST_F(ZoneTest, KeyRangeIsTakenOnlyWhenValid) {
    const SharedObjectPtr<Zone> zone(new Zone(nullptr, world_.parent.get(), KeyRange(36, 40), "x"));
    for (const KeyRange& refused : {KeyRange(50, 49), KeyRange(-1, 10), KeyRange(100, 128)}) {
        zone->setKeyRange(refused);
        EXPECT_EQ(zone->getKeyRange(), KeyRange(36, 40));
    }
    zone->setKeyRange(KeyRange(0, 127));
    EXPECT_EQ(zone->getKeyRange(), KeyRange(0, 127));
    zone->setKeyRange(KeyRange(64, 64));
    EXPECT_EQ(zone->getKeyRange(), KeyRange(64, 64));
}

TEST_F(ZoneTest, ActivatingALoopPublishesTheSampleAndTheLoopSwitch) {
    const SharedObjectPtr<Zone> zone(new Zone(nullptr, world_.parent.get(), KeyRange(36, 40), "the-id"));
    zone->activate(Zone::Loop{Zone::kLoopInRelease, 100, 900});
    EXPECT_EQ(world_.settings->getString("CurrentSample"), "the-id");
    EXPECT_TRUE(world_.settings->getBool("SampleLoopOn"));
    EXPECT_EQ(zone->getLoop().start, 100);
    zone->setLoopEnabled(Zone::kLoopOff);
    EXPECT_FALSE(world_.settings->getBool("SampleLoopOn"));
    EXPECT_EQ(zone->getLoop().mode, Zone::kLoopOff);
}

TEST_F(ZoneTest, ParameterWritersActOnlyOnTheCurrentZone) {
    const SharedObjectPtr<Zone> loose(new Zone(nullptr, world_.parent.get(), KeyRange(36, 40), "x"));
    world_.settings->setLong("SampleStart", 5, Sender::kEditor);
    loose->setParameterLong("SampleStart", 900, Sender::kDocument);
    EXPECT_EQ(world_.settings->getLong("SampleStart"), 5);

    const std::unique_ptr<ZoneManager> manager = world_.makeManager();
    manager->createZone(KeyRange(36, 40), "x");
    const SharedObjectPtr<Zone> current(manager->getCurrentZone());
    current->setParameterLong("SampleStart", 900, Sender::kDocument);
    EXPECT_EQ(world_.settings->getLong("SampleStart"), 900);
}

} // namespace
