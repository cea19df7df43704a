// Samples that reach the instrument from files and banks: what they hold that cannot sound, and the
// positions they carry, come out of the state as they went in.
#include "engine/samples/Sample.h"
#include "engine/zones/ZoneManager.h"
#include "framework/Dictionary.h"
#include "framework/File.h"
#include "instrument/InstrumentKeys.h"
#include "support/ProductTestSupport.h"
#include "support/SampleFileBytes.h"
#include "support/SampleTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <regex>
#include <string>
#include <vector>

namespace trov::test {
namespace {

constexpr int kBlock = 256;

// Every value of the positions a state document holds (the zones' values and the samples' entries), in
// document order.
std::vector<long> positionsOf(const std::string& text) {
    static const std::regex kPosition(
        "<(SampleStart|SampleEnd|SampleLoopStart|SampleLoopEnd) index=\"0\" value=\"(-?[0-9]+)\"");
    std::vector<long> values;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), kPosition); it != std::sregex_iterator();
         ++it)
        values.push_back(std::stol((*it)[2]));
    return values;
}

std::string stateOf(Corvale& plugin) {
    Dictionary state;
    plugin.writeState(state, true);
    std::string text;
    state.toText(text);
    return text;
}

// A sample file of each kind the instrument takes, 64 frames long (shorter than the shortest loop the
// instrument plays), dropped on an instance: the state it gives names positions inside the sample, and a
// fresh instance restored from it gives the same state.
TEST(DroppedSampleFiles, PositionsStayInsideAShortSampleAndComeBackFromTheStateUnchanged) {
    ProductWorld world;
    FileTestFolder& files = world.base.files;
    constexpr int kFrames = 64;
    const std::vector<std::int16_t> values = rampValues(kFrames);
    ASSERT_TRUE(writeMonoWavPack16(files / "short.wv", values));
    struct Case {
        const char* name;
        std::string path;
    };
    const Case cases[] = {
        {"WAV", files.write("plain.wav", monoWav16(values))},
        {"WAV with a loop", files.write("looped.wav", monoWav16(values, 8, 40))},
        {"WAV with a loop of no length", files.write("empty.wav", monoWav16(values, 10, 10))},
        {"AIFF", files.write("plain.aif", aiffForm(aiffSound16(values)))},
        {"AIFF whose loop names missing markers",
         files.write("lost.aif", aiffForm(aiffSound16(values) + aiffInstrument(1, 2)))},
        {"AU", files.write("plain.au", monoAu16(values))},
        {"WavPack", files / "short.wv"},
    };
    for (const Case& c : cases) {
        std::string dropped;
        {
            std::unique_ptr<Corvale> first = world.makeCorvale(kBlock);
            ASSERT_TRUE(first->loadFile(File(c.path))) << c.name;
            dropped = stateOf(*first);
        }
        const std::vector<long> positions = positionsOf(dropped);
        ASSERT_EQ(positions.size(), 8u) << c.name; // the zone's and the sample's four
        for (const long position : positions)
            EXPECT_TRUE(position >= 0 && position < kFrames) << c.name << ": " << position;

        std::unique_ptr<Corvale> second = world.makeCorvale(kBlock);
        Dictionary state;
        ASSERT_TRUE(state.parse(dropped)) << c.name;
        ASSERT_TRUE(second->readState(state)) << c.name;
        EXPECT_EQ(positionsOf(stateOf(*second)), positions) << c.name;
    }
    EXPECT_TRUE(world.base.responder.questions().empty());
}

// One NaN sample value in a bank used to make the instrument sound NaN from the fifth frame on (with the
// grunge stages bypassed nothing on the way clears it), and to keep doing so after a clean bank.
TEST(DroppedSampleFiles, ABankWhoseSampleHoldsValuesThatAreNotFinitePlaysOnlyFiniteValues) {
    ProductWorld world;
    std::string bank;
    {
        std::unique_ptr<Corvale> first = world.makeCorvale(kBlock);
        std::vector<float> values(22050);
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] = 0.5f * static_cast<float>(std::sin(2.0 * std::numbers::pi * 261.63 *
                                                           static_cast<double>(i) / 44100.0));
        values[40] = std::numeric_limits<float>::quiet_NaN();
        values[1000] = std::numeric_limits<float>::infinity();
        world.base.add("poisoned", values, 60);
        ASSERT_TRUE(first->getModule(0)->getZoneManager()->setCurrentZoneSample(std::string("poisoned")));
        first->getModule(0)->getSettings()->setBool(keys::kGrungeBypass, true, Sender::kSettings);
        bank = stateOf(*first);
    }
    // Another process's resources, which know nothing of the sample but what the bank holds.
    world.base.resources = std::make_unique<Resources>();
    PluginEnvironment::instance().setResources(world.base.resources.get());
    std::unique_ptr<Corvale> second = world.makeCorvale(kBlock);
    ASSERT_TRUE(second->loadFile(File(world.base.files.write("poisoned.kmd", bank))));
    ASSERT_TRUE(second->getModule(0)->getSettings()->getBool(keys::kGrungeBypass));
    InstrumentWorld::midi(*second, 0x90, 60, 127);
    std::vector<float> left;
    ProductWorld::play(*second, 40, kBlock, left);
    std::size_t sounding = 0;
    for (const float value : left) {
        ASSERT_TRUE(std::isfinite(value));
        sounding += value != 0.0f ? 1 : 0;
    }
    EXPECT_GT(sounding, left.size() / 2);
}

// A float file of +-10^10 (2^16 once read), played under random extreme settings of every automatable
// control: loud voices multiplied each other's total in the mix until it overflowed.
TEST(DroppedSampleFiles, HugeValuesPlayFiniteUnderRandomExtremeSettingsOfEveryControl) {
    ProductWorld world;
    std::unique_ptr<Corvale> plugin = world.makeCorvale(kBlock);
    std::vector<float> values(44100);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = (i / 7) % 2 == 0 ? 1e10f : -1e10f;
    File file(world.base.files / "huge.wav");
    ASSERT_EQ(EditableWav(values, 32).save(file).getCode(), "EAOK");
    ASSERT_TRUE(plugin->loadFile(file));
    std::mt19937 random(5);
    for (int round = 0; round < 80; ++round) {
        for (int p = 0; p < plugin->getAutomatableCount(); ++p)
            if (random() % 3 != 0)
                plugin->getAutomatableParameter(p)->setNormalized(static_cast<float>(random() % 2),
                                                                  Sender::kHost);
        for (int note = 0; note < 12; ++note)
            InstrumentWorld::midi(*plugin, 0x90, 36 + static_cast<int>(random() % 60), 127);
        std::vector<float> left;
        ProductWorld::play(*plugin, 8, kBlock, left);
        ASSERT_EQ(std::count_if(left.begin(), left.end(), [](float v) { return !std::isfinite(v); }), 0)
            << "round " << round;
        for (int key = 36; key < 96; key += 2)
            InstrumentWorld::midi(*plugin, 0x80, key, 0);
    }
}

// A voice whose sample overflowed its chain kept NaN in its filters through its release: the demo bank
// dropped after it sounded NaN for seconds. The sample reaches the instance here without a reader, which
// would have held its values.
TEST(DroppedSampleFiles, TheDemoBankPlaysFiniteFromItsFirstBlockAfterAPoisonedSound) {
    ProductWorld world;
    std::unique_ptr<Corvale> plugin = world.makeCorvale(kBlock);
    std::vector<float> values(44100, 0.25f);
    values[1000] = 3e38f;
    values[1001] = -3e38f;
    world.base.add("poisoned", values, 60);
    ASSERT_TRUE(plugin->getModule(0)->getZoneManager()->setCurrentZoneSample(std::string("poisoned")));
    plugin->getModule(0)->getSettings()->setBool(keys::kGrungeBypass, true, Sender::kSettings);
    for (const int key : {48, 60, 72})
        InstrumentWorld::midi(*plugin, 0x90, key, 127);
    std::vector<float> poisoned;
    ProductWorld::play(*plugin, 20, kBlock, poisoned);
    for (const int key : {48, 60, 72})
        InstrumentWorld::midi(*plugin, 0x80, key, 0);
    ASSERT_TRUE(std::any_of(poisoned.begin(), poisoned.end(), [](float v) { return !std::isfinite(v); }));

    ASSERT_TRUE(plugin->loadFile(File(std::string(TROV_BUILD_DATA) + "/demo/demo.kmd")));
    InstrumentWorld::midi(*plugin, 0x90, 64, 100);
    std::vector<float> left;
    ProductWorld::play(*plugin, 200, kBlock, left);
    EXPECT_EQ(std::count_if(left.begin(), left.end(), [](float v) { return !std::isfinite(v); }), 0);
    EXPECT_GT(*std::max_element(left.begin(), left.end()), 0.01f) << "the demo bank plays";
}

} // namespace
} // namespace trov::test
