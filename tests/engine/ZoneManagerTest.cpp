#include "engine/zones/ZoneManager.h"

#include "engine/notes/Note.h"
#include "engine/samples/SampleFiles.h"
#include "engine/zones/Resources.h"
#include "engine/zones/SampleManager.h"
#include "engine/zones/Zone.h"
#include "framework/File.h"
#include "framework/Message.h"
#include "platform/Responder.h"
#include "plugin/Parameter.h"
#include "plugin/Settings.h"
#include "support/AllocationGuard.h"
#include "support/PipeTestSupport.h"
#include "support/TestTime.h"
#include "support/ZoneTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

using namespace trov;
using test::rangesOf;
using test::zonesDocument;
using Ranges = std::vector<std::pair<int, int>>;

namespace {

// Records the hooks in order as "event:low" entries.
struct Journal {
    std::vector<std::string> events;
    int destroyed = 0;
};

class RecordingZone : public Zone {
public:
    RecordingZone(Journal& journal, ZoneManager* manager, Radio* parent, const KeyRange& range,
                  const std::string& name)
        : Zone(manager, parent, range, name), journal_(journal) {}
    ~RecordingZone() override { ++journal_.destroyed; }
    void selected() override { note("selected"); }
    void deselected() override {
        // Still counted and listed when it is told.
        note(getReferenceCount() > 0 && getManager() != nullptr ? "deselected" : "deselected-late");
    }

private:
    void note(const std::string& what) {
        journal_.events.push_back(what + ":" + std::to_string(getKeyRange().low));
    }
    Journal& journal_;
};

class RecordingManager : public ZoneManager {
public:
    RecordingManager(Journal& journal, Radio* parent) : ZoneManager(parent), journal_(journal) {}
    Zone* createZoneObject(Radio* parent, const KeyRange& range, const std::string& name) override {
        return new RecordingZone(journal_, this, parent, range, name);
    }
    using ZoneManager::getZonesLock;

private:
    Journal& journal_;
};

class ZoneManagerTest : public testing::Test {
protected:
    std::unique_ptr<RecordingManager> managerWith(const Ranges& ranges) {
        auto manager = std::make_unique<RecordingManager>(journal_, world_.parent.get());
        manager->fromDictionary(zonesDocument(ranges));
        journal_.events.clear();
        return manager;
    }

    test::ZoneWorld world_;
    Journal journal_;
};

TEST_F(ZoneManagerTest, FindsTheZoneOfAKeyWithEdgeAndPairFallbacks) {
    struct Case {
        Ranges zones;
        bool pairs;
        int key;
        int expected;
    };
    const Case cases[] = {
        {{{36, 59}, {60, 96}}, false, 20, 0},  // below the keyboard: the zone holding its low key
        {{{36, 59}, {60, 96}}, false, 110, 1}, // above: the zone holding its high key
        {{{36, 59}, {60, 96}}, false, 59, 0},
        {{{36, 59}, {60, 96}}, false, 60, 1},
        {{{40, 50}, {60, 70}}, false, 55, -1}, // a gap plays nothing...
        {{{40, 50}, {60, 70}}, true, 55, 0},   // ...except between the two zones of a pair
        {{{40, 50}, {60, 70}}, true, 50, 0},
        {{{40, 50}, {60, 70}}, true, 60, 1},
        {{{40, 50}, {60, 70}}, false, 20, -1},                   // no zone holds key 36
        {{{40, 50}, {60, 70}, {72, 80}, {90, 96}}, true, 85, 2}, // second pair
        {{{40, 50}, {60, 70}, {72, 80}}, true, 71, -1},          // between pairs, not within one
        {{{36, 96}, {36, 96}}, false, 70, 0},                    // the first match wins
        {{}, false, 60, -1},
    };
    for (const Case& c : cases) {
        const auto manager = managerWith(c.zones);
        manager->setOscillatorMixMode(c.pairs);
        EXPECT_EQ(manager->findZoneForKey(c.key), c.expected)
            << "key " << c.key << " pairs " << c.pairs << " zones " << c.zones.size();
    }
}

TEST_F(ZoneManagerTest, FindingAZoneAllocatesNothing) {
    Ranges ranges;
    for (int key = 36; key <= 96; ++key)
        ranges.emplace_back(key, key);
    const auto manager = managerWith(ranges);
    manager->setOscillatorMixMode(true);
    int sum = 0;
    {
        test::AllocationGuard guard("findZoneForKey");
        for (int key = 0; key < 128; ++key)
            sum += manager->findZoneForKey(key);
    }
    EXPECT_EQ(sum, 36 * 0 + (60 * 61) / 2 + 31 * 60); // below: 0; 36..96: 0..60; above: 60
}

TEST_F(ZoneManagerTest, ReadingZonesKeepsTheFileOrderAndSelectsTheFirst) {
    const auto manager = managerWith({{60, 96}, {36, 47}, {48, 59}});
    EXPECT_EQ(rangesOf(*manager), (Ranges{{60, 96}, {36, 47}, {48, 59}}));
    EXPECT_EQ(manager->getCurrentZoneIndex(), 0);
    EXPECT_EQ(manager->getZoneSampleName(2), "S2");

    Dictionary written;
    written.setString("file-format", "0.7.0");
    manager->toDictionary(written);
    const auto reread = std::make_unique<ZoneManager>(world_.parent.get());
    reread->fromDictionary(Dictionary(written.toDocumentText()));
    EXPECT_EQ(rangesOf(*reread), rangesOf(*manager));
    EXPECT_EQ(reread->getZoneSampleName(1), "S1");
}

TEST_F(ZoneManagerTest, TheCurrentZoneIsAskedForWithoutWaitingWhileAnotherThreadHoldsTheList) {
    const auto manager = managerWith({{36, 59}, {60, 96}});
    const SharedObjectPtr<Zone> current(manager->tryGetCurrentZone());
    ASSERT_TRUE(current);
    EXPECT_EQ(current->getKeyRange().low, 36);
    std::promise<void> held;
    std::promise<void> done;
    std::thread other([&] {
        std::lock_guard guard(manager->getZonesLock());
        held.set_value();
        done.get_future().wait();
    });
    held.get_future().wait();
    EXPECT_EQ(manager->tryGetCurrentZone(), nullptr);
    done.set_value();
    other.join();
    const SharedObjectPtr<Zone> again(manager->tryGetCurrentZone());
    EXPECT_EQ(again.get(), current.get());
}

TEST_F(ZoneManagerTest, AddedAndCreatedZonesGoInKeyOrderAndBecomeCurrent) {
    const auto manager = managerWith({{36, 49}, {60, 96}});
    const SharedObjectPtr<Zone> middle(new Zone(nullptr, world_.parent.get(), KeyRange(50, 55), "m"));
    EXPECT_EQ(manager->addZone(middle.get()), 1);
    EXPECT_EQ(middle->getReferenceCount(), 2);
    EXPECT_EQ(rangesOf(*manager), (Ranges{{36, 49}, {50, 55}, {60, 96}}));
    EXPECT_EQ(manager->getCurrentZoneIndex(), 1);
    EXPECT_TRUE(middle->isCurrent());

    EXPECT_EQ(manager->createZone(KeyRange(20, 30), "low"), 0);
    EXPECT_EQ(manager->getCurrentZoneIndex(), 0);
    EXPECT_EQ(manager->getCurrentSampleName(), "low");
    EXPECT_EQ(manager->createZone(KeyRange(97, 110), "high"), 4);
    EXPECT_EQ(rangesOf(*manager), (Ranges{{20, 30}, {36, 49}, {50, 55}, {60, 96}, {97, 110}}));
    EXPECT_FALSE(middle->isCurrent());
}

TEST_F(ZoneManagerTest, SelectingTellsTheOldZoneBeforeTheNewOne) {
    const auto manager = managerWith({{36, 47}, {48, 59}, {60, 96}});
    EXPECT_EQ(manager->selectZone(2)->getKeyRange().low, 60);
    EXPECT_EQ(manager->selectZone(2)->getKeyRange().low, 60); // already current: no hooks
    EXPECT_EQ(manager->selectZone(7), nullptr);
    EXPECT_EQ(manager->getCurrentZoneIndex(), -1);
    EXPECT_EQ(journal_.events, (std::vector<std::string>{"deselected:36", "selected:60", "deselected:60"}));
}

TEST_F(ZoneManagerTest, RemovingTheCurrentZoneSelectsItsNeighbourBeforeReleasingIt) {
    struct Case {
        int current;
        int removed;
        int currentAfter;
        std::vector<std::string> events;
    };
    const Case cases[] = {
        {2, 2, 1, {"deselected:60", "selected:48"}},
        {0, 0, -1, {"deselected:36"}},
        {2, 0, 1, {}}, // the current zone moves down one place
        {0, 2, 0, {}},
    };
    for (const Case& c : cases) {
        const auto manager = managerWith({{36, 47}, {48, 59}, {60, 96}});
        manager->selectZone(c.current);
        journal_.events.clear();
        const int destroyedBefore = journal_.destroyed;
        manager->removeZone(c.removed);
        EXPECT_EQ(journal_.events, c.events) << "removing " << c.removed;
        EXPECT_EQ(manager->getCurrentZoneIndex(), c.currentAfter);
        EXPECT_EQ(manager->getZoneCount(), 2);
        EXPECT_EQ(journal_.destroyed, destroyedBefore + 1);
    }
}

TEST_F(ZoneManagerTest, ARemovedZoneHeldElsewhereOutlivesTheListButLeavesItsManager) {
    const auto manager = managerWith({{36, 47}, {48, 59}});
    const SharedObjectPtr<Zone> held(manager->getZone(1));
    manager->selectZone(1);
    manager->removeZone(1);
    EXPECT_EQ(held->getReferenceCount(), 1);
    EXPECT_EQ(held->getManager(), nullptr);
    EXPECT_FALSE(held->isCurrent());
    manager->removeZone(5);
    EXPECT_EQ(manager->getZoneCount(), 1);
}

TEST_F(ZoneManagerTest, QueriesOutOfRangeAnswerNothingAndAnInvalidZoneRangeIsIgnored) {
    const auto manager = managerWith({{36, 47}, {48, 59}});
    EXPECT_EQ(manager->getZone(2), nullptr);
    EXPECT_EQ(manager->getZone(-1), nullptr);
    EXPECT_EQ(std::pair(manager->getZoneKeyRange(3), manager->getZoneSampleName(3)),
              std::pair(KeyRange(0, 0), std::string()));
    manager->clearSelection();
    EXPECT_EQ(manager->getCurrentZone(), nullptr);
    EXPECT_EQ(manager->getCurrentSampleName(), "");

    manager->setZoneKeyRange(0, KeyRange(40, 30));
    manager->setZoneKeyRange(0, KeyRange(40, 200));
    EXPECT_EQ(manager->getZoneKeyRange(0), KeyRange(36, 47));
    manager->setZoneKeyRange(0, KeyRange(30, 40));
    EXPECT_EQ(manager->getZoneKeyRange(0), KeyRange(30, 40));
}

TEST_F(ZoneManagerTest, ImportingAFileReplacesTheCurrentZoneOverItsRangeWithoutAskingAnything) {
    const auto manager = managerWith({{36, 47}, {48, 59}, {60, 96}});
    manager->selectZone(1);
    const std::string path = world_.writeWav("import/pad.wav", 2500);
    EXPECT_NE(manager->importSample(File(path)), 0);
    EXPECT_EQ(rangesOf(*manager), (Ranges{{36, 47}, {48, 59}, {60, 96}}));
    EXPECT_EQ(manager->getCurrentZoneIndex(), 1);
    const SharedObjectPtr<Zone> zone(manager->getCurrentZone());
    ASSERT_NE(zone->getSample(), nullptr);
    EXPECT_EQ(world_.resources->getSampleFile(zone->getSampleName()).getPath(), path);
    EXPECT_TRUE(world_.missing.asked.empty());
}

TEST_F(ZoneManagerTest, ImportingIntoNoZonesCoversTheProductKeyboard) {
    const auto manager = managerWith({});
    EXPECT_NE(manager->importSample(File(world_.writeWav("one.wav", 2000))), 0);
    EXPECT_EQ(rangesOf(*manager), (Ranges{{36, 96}}));
    EXPECT_EQ(manager->getCurrentZoneIndex(), 0);
}

TEST_F(ZoneManagerTest, ARefusedImportChangesNothing) {
    const auto manager = managerWith({{36, 47}, {48, 59}});
    manager->selectZone(1);
    for (const std::string& path : {world_.files.write("text.wav", "RIFF but not really"),
                                    world_.files.write("notes.txt", "hello"), world_.files / "absent.wav"}) {
        EXPECT_EQ(manager->importSample(File(path)), 0) << path;
        EXPECT_EQ(rangesOf(*manager), (Ranges{{36, 47}, {48, 59}}));
        EXPECT_EQ(manager->getCurrentZoneIndex(), 1);
        EXPECT_EQ(manager->getZoneSampleName(1), "S1");
    }
    EXPECT_TRUE(world_.missing.asked.empty());
}

TEST_F(ZoneManagerTest, ActivatingMakesTheFirstZoneCurrentWhenNoneIsAndLoadsItsValues) {
    RecordingManager manager(journal_, world_.parent.get());
    manager.fromDictionary(Dictionary(
        "<?xml version=\"1.0\"?><dict><file-format value=\"0.7.0\"/><zones><zone>" +
        test::rangeText(36, 47, "A") + "<parameters><SampleStart value=\"250\"/></parameters></zone><zone>" +
        test::rangeText(48, 59, "B") + "</zone></zones></dict>"));
    manager.clearSelection();
    world_.settings->setLong("SampleStart", 3, Sender::kEditor);
    journal_.events.clear();
    manager.activate();
    EXPECT_TRUE(manager.isActive());
    EXPECT_EQ(manager.getCurrentZoneIndex(), 0);
    EXPECT_EQ(journal_.events, std::vector<std::string>{"selected:36"});
    // The zone's stored values went to the zone-scope parameters.
    EXPECT_EQ(world_.settings->getLong("SampleStart"), 250);
    manager.deactivate();
    EXPECT_FALSE(manager.isActive());
    EXPECT_EQ(journal_.events, (std::vector<std::string>{"selected:36", "deselected:36"}));
}

TEST_F(ZoneManagerTest, DropsAreImportedOnlyWhileActive) {
    const auto manager = managerWith({{36, 47}});
    const std::string path = world_.writeWav("drop.wav", 2000);
    const WindowMessage drop(nullptr, Code::kDropItem, 0, Point(), WindowMessage::DropItem{path, 0, 0});
    EXPECT_FALSE(manager->receive(drop));
    EXPECT_EQ(manager->getZoneSampleName(0), "S0");
    manager->activate();
    EXPECT_TRUE(manager->receive(drop));
    EXPECT_EQ(world_.resources->getSampleFile(manager->getZoneSampleName(0)).getPath(), path);
    const std::string text = world_.files.write("x.txt", "x");
    EXPECT_FALSE(manager->receive(WindowMessage(nullptr, 3021, 0, Point(), pointerToWord(text.c_str()))));
    manager->deactivate();
    EXPECT_FALSE(manager->isActive());
}

// A dropped sample file that is refused says why, once; a file of another kind is left to whoever tries it
// next without a word.
TEST_F(ZoneManagerTest, ARefusedDropOfASampleFileSaysWhyOnce) {
    platform::ScriptedResponder responder;
    const platform::ScopedResponder scoped(responder);
    const auto manager = managerWith({{36, 47}});
    manager->activate();
    auto drop = [&](const std::string& path) {
        return manager->receive(WindowMessage(nullptr, Code::kDropItem, 0, Point(), {path, 0, 0}));
    };
    const std::string broken = world_.files.write("broken.wav", std::string("RIFF\4\0\0\0WAVE", 12));
    EXPECT_FALSE(drop(broken));
    ASSERT_EQ(responder.questions().size(), 1u);
    EXPECT_EQ(responder.questions()[0].text,
              "The sample file " + broken + " could not be loaded: it has no complete format chunk.");
    EXPECT_FALSE(drop(world_.files.write("notes.txt", "no sound")));
    EXPECT_EQ(responder.questions().size(), 1u);

    const std::string pipe = world_.files / "pipe.wav";
    ASSERT_TRUE(test::makePipe(pipe));
    // A caller that tells the user itself keeps the reason (the scope is its thread's).
    std::string kept;
    test::loadWithoutWaitingOn(pipe, [&] {
        const SampleFileRefusals refusals;
        EXPECT_FALSE(drop(pipe));
        kept = refusals.first();
    });
    EXPECT_NE(kept.find(pipe + " is not a regular file"), std::string::npos) << kept;
    EXPECT_EQ(responder.questions().size(), 1u);
    EXPECT_EQ(manager->getZoneSampleName(0), "S0");
}

TEST_F(ZoneManagerTest, CurrentZoneSampleMakesAZoneWhenThereIsNoneAndNeedsACurrentOneOtherwise) {
    const auto manager = managerWith({});
    EXPECT_TRUE(manager->setCurrentZoneSample("first"));
    EXPECT_EQ(rangesOf(*manager), (Ranges{{36, 96}}));
    EXPECT_EQ(manager->getCurrentSampleName(), "first");

    manager->clearSelection();
    EXPECT_FALSE(manager->setCurrentZoneSample("second"));
    manager->selectZone(0);
    const SharedObjectPtr<Sample> recorded = test::makeSample(test::makeRamp(3000));
    EXPECT_TRUE(manager->setCurrentZoneSample(recorded.get()));
    EXPECT_EQ(world_.resources->findSample(manager->getCurrentSampleName()), recorded.get());
    const SharedObjectPtr<Zone> zone(manager->getCurrentZone());
    EXPECT_EQ(zone->getSample(), recorded.get());
}

TEST_F(ZoneManagerTest, ReadingZonesDoesNotHoldTheListWhileTheUserIsAskedForAFile) {
    // A description sample whose file is missing: reading a zone of it asks the user. Meanwhile note
    // dispatch on another thread must still find zones.
    Dictionary description;
    description.setString("file-format", "0.7.0");
    description.addArray("samples")->addDictionary("Lost")->setString("filename", "lost/lost.wav");
    const std::string descriptionPath = world_.files / "resources.xml";
    ASSERT_TRUE(description.save(File(descriptionPath)));
    world_.missing.asked.clear();
    ASSERT_FALSE(world_.resources->load(File(descriptionPath)).failed());
    ASSERT_EQ(world_.missing.asked.size(), 1u);

    const auto manager = managerWith({{36, 96}});
    class Probe : public MissingSampleHandler {
    public:
        explicit Probe(ZoneManager& manager) : manager_(manager) {}
        bool askForSample(File&) override {
            auto found = std::async(std::launch::async, [this] { return manager_.findZoneForKey(60); });
            answered = found.wait_for(test::hangWait(std::chrono::seconds(5))) == std::future_status::ready;
            return false;
        }
        bool answered = false;

    private:
        ZoneManager& manager_;
    } probe(*manager);
    world_.resources->setMissingSampleHandler(&probe);
    Dictionary document("<?xml version=\"1.0\"?><dict><file-format value=\"0.7.0\"/><zones><zone>" +
                        test::rangeText(40, 50, "Lost") + "</zone></zones></dict>");
    manager->fromDictionary(document);
    EXPECT_TRUE(probe.answered);
    EXPECT_EQ(rangesOf(*manager), (Ranges{{40, 50}}));
    EXPECT_EQ(manager->getZoneSampleName(0), "Lost");
    world_.resources->setMissingSampleHandler(&world_.missing);
}

TEST_F(ZoneManagerTest, DescriptorMakesManagersThatListenToTheResources) {
    const std::unique_ptr<ZoneManager> zones(world_.info.createZoneManager(nullptr));
    EXPECT_TRUE(world_.resources->hasListener(zones.get()));
    EXPECT_EQ(zones->getOwner(), test::ZoneWorld::module());
    EXPECT_EQ(zones->getKeyRange(), KeyRange(36, 96));
    zones->exit();
    EXPECT_FALSE(world_.resources->hasListener(zones.get()));
    const std::unique_ptr<SampleManager> samples(world_.info.createSampleManager(test::ZoneWorld::module()));
    EXPECT_EQ(samples->getOwner(), test::ZoneWorld::module());
}

TEST(SampleManagerTest, FindsTheFirstSampleInNameOrderWhoseRangesHoldTheNote) {
    SampleManager samples;
    samples.setEntry("b-low", {KeyRange(0, 59), Range<std::int16_t>(0, 127)});
    samples.setEntry("a-soft", {KeyRange(40, 80), Range<std::int16_t>(0, 63)});
    samples.setEntry("c-all", {KeyRange(0, 127), Range<std::int16_t>(0, 127)});
    struct Case {
        int key;
        int velocity;
        const char* expected;
    };
    for (const Case& c : {Case{50, 30, "a-soft"}, Case{50, 100, "b-low"}, Case{90, 100, "c-all"}}) {
        Note note;
        note.setMidiEvent(0x90, 0, c.key, c.velocity, 0, 0, 0);
        EXPECT_EQ(samples.getSampleForNote(note), c.expected) << c.key << "/" << c.velocity;
    }
    samples.setKeyRange("c-all", KeyRange(0, 10));
    Note high;
    high.setMidiEvent(0x90, 0, 90, 100, 0, 0, 0);
    EXPECT_EQ(samples.getSampleForNote(high), "");
}

TEST(SampleManagerTest, UnknownNamesAndInvalidRangesChangeNothing) {
    SampleManager samples;
    samples.setEntry("s", {KeyRange(10, 20), Range<std::int16_t>(5, 6)});
    EXPECT_EQ(samples.getKeyRange("t"), KeyRange(0, 0));
    EXPECT_EQ(samples.getVelocityRange("t"), Range<std::int16_t>(0, 0));
    EXPECT_FALSE(samples.setKeyRange("t", KeyRange(1, 2)));
    EXPECT_FALSE(samples.setVelocityRange("t", Range<std::int16_t>(1, 2)));
    EXPECT_FALSE(samples.setKeyRange("s", KeyRange(30, 20)));
    EXPECT_FALSE(samples.setKeyRange("s", KeyRange(0, 128)));
    EXPECT_EQ(samples.getKeyRange("s"), KeyRange(10, 20));
    EXPECT_TRUE(samples.setVelocityRange("s", Range<std::int16_t>(64, 127)));
    EXPECT_EQ(samples.getVelocityRange("s"), Range<std::int16_t>(64, 127));
}

} // namespace
