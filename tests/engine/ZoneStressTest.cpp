// Note dispatch against list edits: run under ThreadSanitizer (build/tsan) to prove the zone list's locking.
#include "engine/zones/Resources.h"
#include "engine/zones/Zone.h"
#include "engine/zones/ZoneManager.h"
#include "support/ZoneTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace trov;

namespace {

TEST(ZoneStressTest, KeyLookUpsStayInsideTheListWhileItIsReloadedSelectedAndCutOnAnotherThread) {
    test::ZoneWorld world;
    // Zones of the documents play samples already in the resources, so loads take them from the cache.
    std::vector<SharedObjectPtr<Sample>> samples;
    for (int i = 0; i < 4; ++i) {
        samples.push_back(test::makeSample(test::makeRamp(600 + 100 * i)));
        world.resources->addSample("S" + std::to_string(i), samples.back().get(), "");
    }
    const Dictionary wide = test::zonesDocument({{36, 47}, {48, 59}, {60, 71}, {72, 96}});
    const Dictionary narrow = test::zonesDocument({{60, 62}, {30, 40}, {50, 55}});
    const std::unique_ptr<ZoneManager> manager = world.makeManager();
    manager->fromDictionary(wide);

    std::atomic<bool> done{false};
    std::atomic<int> lookUps{0};
    std::atomic<int> outside{0};
    std::thread notes([&] {
        int key = 0;
        while (!done.load(std::memory_order_relaxed)) {
            const int index = manager->findZoneForKey(key);
            if (index < -1 || index >= 4)
                outside.fetch_add(1, std::memory_order_relaxed);
            key = (key + 7) % 128;
            lookUps.fetch_add(1, std::memory_order_relaxed);
            if (key == 0)
                manager->setOscillatorMixMode(!manager->getOscillatorMixMode());
        }
    });
    for (int round = 0; round < 150; ++round) {
        manager->fromDictionary(round % 2 == 0 ? narrow : wide);
        manager->selectZone(round % 3);
        manager->setZoneKeyRange(0, KeyRange(static_cast<std::int16_t>(20 + round % 10), 90));
        manager->removeZone(round % 2);
        if (round % 5 == 0)
            manager->createZone(KeyRange(100, 110), "S1");
    }
    // Make sure the reader ran alongside at least a little.
    while (lookUps.load() < 100)
        std::this_thread::yield();
    done = true;
    notes.join();
    EXPECT_EQ(outside.load(), 0);
    manager->removeAllZones();
}

} // namespace
