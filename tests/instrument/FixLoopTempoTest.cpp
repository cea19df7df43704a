// Loop zones follow the host's tempo: the engine notices a change at a block start, without allocating,
// and its worker has the loops rendered anew, off the audio thread; a program made current at a preset
// switch follows at once, and a bank load never frees a zone manager the worker renders for.
#include "engine/io/IOChannel.h"
#include "engine/io/IOPinConfig.h"
#include "engine/samples/RexLibrary.h"
#include "engine/zones/Zone.h"
#include "engine/zones/ZoneManager.h"
#include "framework/Dictionary.h"
#include "framework/Message.h"
#include "instrument/CorvalePluginInfo.h"
#include "plugin/Parameter.h"
#include "plugin/Settings.h"
#include "support/AllocationGuard.h"
#include "support/RexStubFormat.h"
#include "support/TestTime.h"
#include "support/VoiceTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

namespace trov::test {
namespace {

constexpr std::int32_t kBlock = 512;

class FixLoopTempoTest : public ::testing::Test {
protected:
    FixLoopTempoTest() {
        // The stand-in REX library, found through the install folder while it loads.
        const std::filesystem::path install(world.files / "install");
        std::filesystem::create_directories(install);
        std::filesystem::copy_file(TROV_REXSTUB, install / "REX Shared Library.so.1.1.1");
        std::filesystem::create_symlink("REX Shared Library.so.1.1.1", install / "REX Shared Library.so");
        world.machine.setString("InstallPath", install.string());
        EXPECT_EQ(loadRexLibrary(), kRexOk);
        world.machine.setString("InstallPath", world.data());

        rexstub::Loop loop;
        loop.slices = {{0, 1000, 0.5f, false}, {15360, 1000, -0.5f, false}, {30720, 1000, 1.0f, false}};
        loopId = addLoopFile("beat.rx2", loop);
        InstrumentWorld::addZone(*plugin, 0, 36, 96, loopId);
    }
    ~FixLoopTempoTest() override {
        plugin->deactivate();
        plugin.reset();
        setPluginInfo(&world.info);
        while (isRexLibraryLoaded())
            unloadRexLibrary();
    }

    // The loop as a file in the resources; its id.
    std::string addLoopFile(const std::string& name, const rexstub::Loop& loop) {
        const std::vector<char> bytes = rexstub::encode(loop);
        const std::string path = world.files.write(name, std::string(bytes.begin(), bytes.end()));
        return world.resources->addSampleFile("", File(path));
    }
    void block(std::int32_t frames = kBlock) {
        for (int c = 0; c < outputs.getChannelCount(); ++c)
            outputs.getChannel(c)->clear();
        plugin->process(inputs, outputs, frames);
    }
    double renderedTempo() const {
        const ZoneManager* manager = plugin->getZoneManager(0);
        Zone* zone = manager != nullptr ? manager->getZone(0) : nullptr;
        const double tempo = zone != nullptr ? zone->getRenderedTempo() : 0.0;
        if (zone != nullptr)
            zone->release();
        return tempo;
    }
    // The worker renders on its own thread: the tempo it reaches, or the last one seen after a while.
    double waitForTempo(double tempo) const {
        pollUntil(std::chrono::seconds(5), [&] { return renderedTempo() == tempo; });
        return renderedTempo();
    }

    // The whole product: its plug-in class, zone manager and zones.
    std::unique_ptr<Plugin> makeProduct() {
        setPluginInfo(&product);
        product.init();
        std::unique_ptr<Plugin> made(product.createPlugin(&world.host, 1));
        made->init();
        made->setMaxBlockSize(kBlock);
        made->reset();
        // The active instance's host gives the loops their tempo.
        made->activate();
        return made;
    }

    InstrumentWorld world{TROV_BUILD_DATA};
    std::string loopId;
    ProductPluginInfo product;
    std::unique_ptr<Plugin> plugin = makeProduct();
    IOPinConfig inputs = makePins(1, 1, kBlock);
    IOPinConfig outputs = makePins(2, 1, kBlock);
};

TEST_F(FixLoopTempoTest, AHostTempoChangeRendersTheLoopZonesForItOffTheAudioThread) {
    ASSERT_EQ(renderedTempo(), 120.0);
    block();
    InstrumentWorld::midi(*plugin, 0x90, 60, 100);
    world.host.tempo = 90.0;
    {
        AllocationGuard guard("a block that notices a new tempo");
        block();
    }
    EXPECT_EQ(waitForTempo(90.0), 90.0);
    // The voice that took the zone before plays on.
    for (int i = 0; i < 4; ++i)
        block();
    world.host.tempo = 140.0;
    block();
    EXPECT_EQ(waitForTempo(140.0), 140.0);
}

TEST_F(FixLoopTempoTest, TransposingTheCurrentLoopZoneRendersItForTheTempoOverItsPitchRatio) {
    world.host.tempo = 100.0;
    block();
    EXPECT_EQ(waitForTempo(100.0), 100.0);
    // As the editor hands a zone value to the zone it shows.
    auto transpose = [&](int semitones) {
        Settings& settings = InstrumentWorld::settingsOf(*plugin, 0);
        settings.setLong("SampleDetuneCoarse", semitones, Sender::kEditor);
        Zone* zone = plugin->getZoneManager(0)->getZone(0);
        zone->receive(ParameterMessage(settings.getParameter("SampleDetuneCoarse"), Code::kParameterValue,
                                       "SampleDetuneCoarse", 0, static_cast<MessageWord>(semitones), 0.5f,
                                       Sender::kEditor));
        zone->release();
        return renderedTempo();
    };
    EXPECT_EQ(transpose(12), 50.0);
    EXPECT_EQ(transpose(-12), 200.0);
    EXPECT_EQ(transpose(0), 100.0);
}

TEST_F(FixLoopTempoTest, AProgramMadeCurrentByAPresetSwitchFollowsTheTempoOfThenAtOnce) {
    plugin->selectPreset(1);
    InstrumentWorld::addZone(*plugin, 0, 36, 96, loopId);
    plugin->selectPreset(0);
    world.host.tempo = 90.0;
    block();
    ASSERT_EQ(waitForTempo(90.0), 90.0);
    // No block runs after the switch, and the tempo does not change again: the worker renders anyway.
    plugin->selectPreset(1);
    EXPECT_EQ(waitForTempo(90.0), 90.0);
}

// Under AddressSanitizer or ThreadSanitizer: bank loads remake the current preset's programs while every
// block brings a new tempo, so the worker is re-rendering the zones of programs that are going.
TEST_F(FixLoopTempoTest, BankLoadsWhileTheWorkerReRendersLoopsFreeNothingItUses) {
    // A sixteenth of a beat: renders are short, so the worker starts many of them. It outlives every zone
    // that plays it, so each new zone finds it in the cache.
    rexstub::Loop tick;
    tick.ppqLength = 960;
    tick.slices = {{0, 200, 0.5f, false}};
    const std::string tickId = addLoopFile("tick.rx2", tick);
    const SharedObjectPtr<Sample> held(world.resources->acquireSample(tickId, File()));
    ASSERT_TRUE(held);
    // Empty programs for all presets but the last: that one, the current one, gets new programs.
    Dictionary bank;
    plugin->writeHeader(bank);
    const Dictionary::View programs = bank.addArray("programs");
    const int last = plugin->getPresetCount() - 1;
    for (int i = 0; i < last; ++i)
        programs->addDictionary("program");
    plugin->selectPreset(last);

    std::atomic<bool> done{false};
    std::thread audio([&] {
        for (int i = 0; !done.load(); ++i) {
            world.host.tempo = i % 2 == 0 ? 100.0 : 140.0;
            block(16);
        }
    });
    for (int i = 0; i < 800; ++i) {
        InstrumentWorld::addZone(*plugin, 0, 36, 96, tickId);
        ASSERT_TRUE(plugin->readState(bank));
        ASSERT_EQ(plugin->getCurrentPresetIndex(), last);
    }
    done.store(true);
    audio.join();
    // The worker still follows after all of it.
    InstrumentWorld::addZone(*plugin, 0, 36, 96, tickId);
    world.host.tempo = 75.0;
    block();
    EXPECT_EQ(waitForTempo(75.0), 75.0);
}

} // namespace
} // namespace trov::test
