// Documents with long arrays: every item is read, in order, and reading costs node visits in proportion to
// the items (documents come from outside, and may hold up to a million of them).
#include "engine/samples/Sample.h"
#include "engine/zones/Resources.h"
#include "engine/zones/Zone.h"
#include "engine/zones/ZoneManager.h"
#include "framework/DictionaryNodes.h"
#include "support/SampleTestSupport.h"
#include "support/ZoneTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

using namespace trov;

namespace {

using dictionary_nodes::visitedNodes;

const char* const kModes[] = {"off", "until-release", "in-release"};

// A zone's loops (start i, end i + 1000, the modes in turn) and slices (start 2i, end 2i + 1), n of each,
// with stray text between the items.
std::string loopsAndSlices(int n) {
    std::string loops = "<loops>";
    std::string slices = "<slices>";
    for (int i = 0; i < n; ++i) {
        loops += "<loop><start value=\"" + std::to_string(i) + "\"/><end value=\"" +
                 std::to_string(i + 1000) + "\"/><mode value=\"" + kModes[i % 3] + "\"/></loop> ";
        slices += "<slice><start value=\"" + std::to_string(2 * i) + "\"/><end value=\"" +
                  std::to_string(2 * i + 1) + "\"/></slice>";
    }
    return loops + "</loops>" + slices + "</slices>";
}

// Values that no parameter has, then as many entries of one zone parameter: a look-up of that name walks
// past all the others.
std::string crowdedValues(int n) {
    std::string values = "<parameters>";
    for (int i = 0; i < n; ++i)
        values += "<Unknown" + std::to_string(i) + " value=\"1\"/>";
    for (int i = 0; i < n; ++i)
        values += "<SampleStart value=\"" + std::to_string(i) + "\"/>";
    return values + "</parameters>";
}

// A manager whose zones count the ones that belonged to a manager while they were read.
class CountingManager : public ZoneManager {
public:
    class CountingZone : public Zone {
    public:
        CountingZone(int& managed, ZoneManager* manager, Radio* parent, const KeyRange& range)
            : Zone(manager, parent, range, ""), managed_(managed) {}
        void fromDictionary(const Dictionary& dictionary) override {
            managed_ += getManager() != nullptr ? 1 : 0;
            Zone::fromDictionary(dictionary);
        }

    private:
        int& managed_;
    };

    using ZoneManager::ZoneManager;
    Zone* createZoneObject(Radio* parent, const KeyRange& range, const std::string&) override {
        return new CountingZone(managedWhileRead, this, parent, range);
    }
    int managedWhileRead = 0;
};

class LongDocumentTest : public testing::Test {
protected:
    SharedObjectPtr<Zone> newZone() {
        return SharedObjectPtr<Zone>(new Zone(nullptr, world_.parent.get(), KeyRange(0, 0), ""));
    }

    // Node visits to read a zone of n loops, n slices and 2n values.
    std::uint64_t visitsToReadZone(int n) {
        const Dictionary item =
            test::zoneItem(test::rangeText(36, 96, "Z") + crowdedValues(n) + loopsAndSlices(n));
        const SharedObjectPtr<Zone> zone = newZone();
        const std::uint64_t before = visitedNodes();
        zone->fromDictionary(item);
        const std::uint64_t visits = visitedNodes() - before;
        EXPECT_EQ(zone->getLoopCount(), n);
        return visits;
    }

    test::ZoneWorld world_;
};

TEST_F(LongDocumentTest, AZoneReadsEveryLoopAndSliceInOrderAndWritesThemBack) {
    constexpr int kItems = 20000;
    const SharedObjectPtr<Zone> zone = newZone();
    zone->fromDictionary(test::zoneItem(test::rangeText(36, 96, "Z") + loopsAndSlices(kItems)));
    ASSERT_EQ(zone->getLoopCount(), kItems);
    ASSERT_EQ(zone->getSliceCount(), kItems);
    for (int i = 0; i < kItems; i += 1001)
        EXPECT_EQ(std::pair(zone->getSlice(i).start, zone->getSlice(i).end), std::pair(2 * i, 2 * i + 1));

    Dictionary written;
    zone->toDictionary(written);
    int index = 0;
    bool inOrder = true;
    written.getArray("loops")->forEachChild("loop", [&](const Dictionary& loop) {
        int start = -1;
        int end = -1;
        std::string mode;
        loop.getInteger("start", &start);
        loop.getInteger("end", &end);
        loop.getString("mode", &mode);
        inOrder =
            inOrder && std::tuple(start, end, mode) == std::tuple(index, index + 1000, kModes[index % 3]);
        ++index;
    });
    EXPECT_EQ(index, kItems);
    EXPECT_TRUE(inOrder);
}

TEST_F(LongDocumentTest, ReadingAZoneVisitsNodesInProportionToItsItems) {
    // Linear reading visits a + b n nodes, so twice the items cost at most twice the visits; a walk per
    // item costs four times as many.
    const std::uint64_t single = visitsToReadZone(1500);
    const std::uint64_t twice = visitsToReadZone(3000);
    EXPECT_LE(twice, 2 * single) << single;
}

TEST_F(LongDocumentTest, ReadingZonesVisitsNodesInProportionToTheirNumber) {
    const auto visitsToRead = [this](int zones) {
        std::vector<std::pair<int, int>> ranges(static_cast<std::size_t>(zones), {36, 96});
        const Dictionary document = test::zonesDocument(ranges);
        const std::unique_ptr<ZoneManager> manager = world_.makeManager();
        const std::uint64_t before = visitedNodes();
        manager->fromDictionary(document);
        const std::uint64_t visits = visitedNodes() - before;
        EXPECT_EQ(manager->getZoneCount(), zones);
        EXPECT_EQ(manager->getZoneSampleName(zones - 1), "S" + std::to_string(zones - 1));
        return visits;
    };
    const std::uint64_t single = visitsToRead(300);
    EXPECT_LE(visitsToRead(600), 2 * single) << single;
}

TEST_F(LongDocumentTest, ReadingSamplesVisitsNodesAndCacheEntriesInProportionToTheirNumber) {
    // A document load: the cache is held, the samples read, and what nobody took goes again.
    const auto visitsToLoad = [this](int samples) {
        Dictionary document;
        document.setString("file-format", "0.7.0");
        const Dictionary::View array = document.addArray("samples");
        for (int i = 0; i < samples; ++i) {
            const Dictionary::View item = array->addDictionary("sample");
            item->setString("id", "E" + std::to_string(i));
            test::makeSample(test::makeRamp(4 + i % 5))->toDictionary(*item);
        }
        const Dictionary reread(document.toDocumentText());
        Resources& resources = *world_.resources;
        const std::uint64_t nodesBefore = visitedNodes();
        const std::uint64_t entriesBefore = resources.visitedEntries();
        resources.retainAll();
        resources.readDocumentSamples(reread);
        const Sample* last = resources.findSample("E" + std::to_string(samples - 1));
        EXPECT_TRUE(last != nullptr && last->getInfo().frames == 4 + (samples - 1) % 5);
        resources.purgeUnused();
        EXPECT_EQ(resources.findSample("E0"), nullptr);
        return std::pair(visitedNodes() - nodesBefore, resources.visitedEntries() - entriesBefore);
    };
    const auto [nodes, entries] = visitsToLoad(1000);
    const auto [nodesTwice, entriesTwice] = visitsToLoad(2000);
    EXPECT_LE(nodesTwice, 2 * nodes) << nodes;
    EXPECT_LE(entriesTwice, 2 * entries) << entries;
}

TEST_F(LongDocumentTest, ZonesBeingReadTellTheManagerNothingUntilItListsThem) {
    // A zone whose sample changes tells its manager, which looks for it through the whole list: zones being
    // read are not listed yet, and telling would cost a walk of the old list per zone read.
    const std::string id = world_.resources->addSampleFile("", File(world_.writeWav("Samples/z.wav", 500)));
    const Dictionary document("<?xml version=\"1.0\"?><dict><file-format value=\"0.7.0\"/><zones><zone>" +
                              test::rangeText(36, 50, id) + "</zone><zone>" + test::rangeText(51, 96, id) +
                              "</zone></zones></dict>");
    CountingManager manager(world_.parent.get());
    for (int round = 0; round < 2; ++round)
        manager.fromDictionary(document);
    EXPECT_EQ(manager.managedWhileRead, 0);
    ASSERT_EQ(manager.getZoneCount(), 2);
    for (int i = 0; i < 2; ++i) {
        const SharedObjectPtr<Zone> zone(manager.getZone(i));
        EXPECT_EQ(zone->getManager(), &manager);
        EXPECT_NE(zone->getSample(), nullptr);
    }
    manager.exit();
}

} // namespace
