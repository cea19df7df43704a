// Samples that reach the instrument from files and banks: what they hold that cannot sound, and the
// positions they carry, come out of the state as they went in.
#include "engine/samples/Sample.h"
#include "engine/zones/ZoneManager.h"
#include "framework/Dictionary.h"
#include "framework/File.h"
#include "instrument/InstrumentKeys.h"
#include "support/ProductTestSupport.h"
#include "support/SampleFileBytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
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

} // namespace
} // namespace trov::test
