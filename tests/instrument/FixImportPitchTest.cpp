// A WAV file built here byte by byte, dropped on a fresh instance of the whole product (its descriptor,
// plug-in class, zone manager, voices and installed data), sounds at the pitch it was recorded at.
#include "engine/io/IOChannel.h"
#include "engine/io/IOPinConfig.h"
#include "engine/zones/ZoneManager.h"
#include "framework/File.h"
#include "instrument/CorvalePluginInfo.h"
#include "support/VoiceTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace trov::test {
namespace {

constexpr int kRate = 44100;
constexpr int kBlock = 512;

void putWord(std::string& bytes, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
        bytes += static_cast<char>((value >> (8 * i)) & 0xFFu);
}

// A mono 16-bit PCM WAV of a sine, half scale.
std::string sineWav(double hz, int frames) {
    std::string bytes = "RIFF";
    putWord(bytes, 36 + 2 * static_cast<std::uint32_t>(frames), 4);
    bytes += "WAVEfmt ";
    putWord(bytes, 16, 4);
    putWord(bytes, 1, 2); // PCM
    putWord(bytes, 1, 2); // mono
    putWord(bytes, kRate, 4);
    putWord(bytes, kRate * 2, 4);
    putWord(bytes, 2, 2);
    putWord(bytes, 16, 2);
    bytes += "data";
    putWord(bytes, 2 * static_cast<std::uint32_t>(frames), 4);
    for (int i = 0; i < frames; ++i) {
        const double value = 0.5 * std::sin(2.0 * std::numbers::pi * hz * i / kRate);
        putWord(bytes, static_cast<std::uint32_t>(static_cast<std::int16_t>(std::lround(value * 32767.0))),
                2);
    }
    return bytes;
}

class FixImportPitchTest : public ::testing::TestWithParam<double> {
protected:
    InstrumentWorld world{TROV_BUILD_DATA};
    ProductInstrument product{world, kBlock};
    Corvale* plugin = product.plugin.get();
};

TEST_P(FixImportPitchTest, ADroppedWavPlaysAtItsRootKeyAtItsOwnPitch) {
    const double hz = GetParam();
    const std::string path = world.files.write("tone.wav", sineWav(hz, kRate * 2));
    ASSERT_TRUE(plugin->loadFile(File(path)));
    ZoneManager* zones = plugin->getZoneManager(0);
    ASSERT_NE(zones, nullptr);
    ASSERT_EQ(zones->getZoneCount(), 1);
    const SharedObjectPtr<Zone> zone(zones->getZone(0));
    ASSERT_TRUE(zone && zone->getSample() != nullptr);
    const int root = zone->getSample()->getRootNote();

    IOPinConfig inputs = makePins(1, 1, kBlock);
    IOPinConfig outputs = makePins(2, 1, kBlock);
    InstrumentWorld::midi(*plugin, 0x90, root, 127);
    std::vector<float> left;
    for (int block = 0; block < 60; ++block) {
        // The engine adds its voices into the outputs, which the host hands over cleared.
        for (int c = 0; c < outputs.getChannelCount(); ++c)
            outputs.getChannel(c)->clear();
        plugin->process(inputs, outputs, kBlock);
        const float* data = outputs.getChannel(0)->getData();
        left.insert(left.end(), data, data + kBlock);
    }
    // The attack and the DC blocker have settled after the first blocks.
    const std::vector<float> steady(left.begin() + 4 * kBlock, left.end());
    float peak = 0.0f;
    for (float value : steady)
        peak = std::max(peak, std::fabs(value));
    EXPECT_GT(peak, 0.05f);
    // Within 9 cents: the emulated clock runs 4.8 cents slow, and the analog drift adds a little.
    EXPECT_NEAR(measuredFrequency(steady, kRate), hz, hz * 0.005) << "root key " << root;
}

INSTANTIATE_TEST_SUITE_P(Tones, FixImportPitchTest, ::testing::Values(220.0, 440.0, 523.2511));

} // namespace
} // namespace trov::test
