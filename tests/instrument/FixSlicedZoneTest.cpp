// A sliced zone's note start: the key picks the slice (key - the zone's low key), which plays at the
// sample's own rate from its start and, without the loop, ends with it.
#include "engine/io/IOChannel.h"
#include "engine/io/IOPinConfig.h"
#include "engine/zones/ZoneManager.h"
#include "support/VoiceTestSupport.h"
#include "support/ZoneTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace trov::test {
namespace {

constexpr std::int32_t kBlock = 512;
constexpr int kLowKey = 48;

struct Slice {
    int start, end;
    float level;
};
// Three slices of different lengths and levels, silence after them.
constexpr Slice kSlices[] = {{0, 2999, 0.1f}, {3000, 8999, 0.2f}, {9000, 20999, 0.3f}};

class FixSlicedZoneTest : public ::testing::TestWithParam<int> {
protected:
    FixSlicedZoneTest() {
        std::vector<float> values(26000, 0.0f);
        for (const Slice& slice : kSlices)
            for (int i = slice.start; i <= slice.end; ++i)
                values[static_cast<std::size_t>(i)] =
                    slice.level * static_cast<float>(std::sin(2.0 * std::numbers::pi * 441.0 * i / 44100.0));
        world.add("Sliced", values, 60);
        std::string slices;
        for (const Slice& slice : kSlices)
            slices += "<slice><start value=\"" + std::to_string(slice.start) + "\"/><end value=\"" +
                      std::to_string(slice.end) + "\"/></slice>";
        ZoneManager* manager = plugin->getZoneManager(0);
        Zone* zone = manager->createZoneObject(manager, KeyRange(kLowKey, kLowKey + 24), "");
        zone->fromDictionary(zoneItem(rangeText(kLowKey, kLowKey + 24, "Sliced") +
                                      "<parameters><WaveLevel value=\"1\"/><ResampleFreq value=\"44100\"/>"
                                      "<PreampFilterCutoff value=\"1\"/><WaveRootNote value=\"60\"/>"
                                      "<SampleSliced value=\"true\"/><SampleLoopOn value=\"false\"/>"
                                      "</parameters><slices>" +
                                      slices + "</slices>"));
        manager->addZone(zone);
        zone->release();
        // Only the players, the VCA and the DC blocker: levels stay linear.
        Settings& settings = InstrumentWorld::settingsOf(*plugin, 0);
        settings.setBool("GrungeBypass", true, Sender::kEditor);
        settings.setBool("FilterBypass", true, Sender::kEditor);
        settings.setBool("EnvelopeBypass", true, Sender::kEditor);
    }

    // The first module's left output of a note on the key, block after block until it has ended.
    std::vector<float> play(int key) {
        InstrumentWorld::midi(*plugin, 0x90, key, 127);
        std::vector<float> left;
        for (int block = 0; block < 60; ++block) {
            for (int c = 0; c < outputs.getChannelCount(); ++c)
                outputs.getChannel(c)->clear();
            plugin->process(inputs, outputs, kBlock);
            const float* data = outputs.getChannel(0)->getData();
            left.insert(left.end(), data, data + kBlock);
        }
        InstrumentWorld::midi(*plugin, 0x80, key, 0);
        return left;
    }
    static double rms(const std::vector<float>& signal, std::size_t from, std::size_t to) {
        double sum = 0.0;
        for (std::size_t i = from; i < to; ++i)
            sum += static_cast<double>(signal[i]) * signal[i];
        return std::sqrt(sum / static_cast<double>(to - from));
    }
    static std::size_t soundingFrames(const std::vector<float>& signal) {
        std::size_t last = 0;
        for (std::size_t i = 0; i < signal.size(); ++i)
            if (std::fabs(signal[i]) > 0.01f)
                last = i + 1;
        return last;
    }

    InstrumentWorld world{TROV_BUILD_DATA};
    std::unique_ptr<ToleranceInstrument> plugin = world.makeInstrument(kBlock);
    IOPinConfig inputs = makePins(1, 1, kBlock);
    IOPinConfig outputs = makePins(2, 1, kBlock);
};

TEST_P(FixSlicedZoneTest, TheKeyAboveTheZonesLowKeyPicksTheSliceWhichPlaysToItsEnd) {
    const int index = GetParam();
    const Slice& slice = kSlices[index];
    const std::vector<float> reference = play(kLowKey);
    const std::vector<float> played = play(kLowKey + index);

    // The slice's own length at the sample's rate whatever the key (the emulated clock runs 0.3 % slow).
    const double length = (slice.end - slice.start + 1) / 0.9972475966332921;
    EXPECT_NEAR(static_cast<double>(soundingFrames(played)), length, length * 0.01 + 64.0);
    // Its own level, against the first slice's.
    const double level = rms(played, 256, 2500) / rms(reference, 256, 2500);
    EXPECT_NEAR(level, slice.level / kSlices[0].level, 0.05) << "slice " << index;
}

TEST_F(FixSlicedZoneTest, AKeyPastTheLastSliceStartsNothingAudible) {
    const std::vector<float> played = play(kLowKey + 5);
    // Slice 5 does not exist: {0, 0}, a slice without frames.
    EXPECT_LT(soundingFrames(played), 64u);
}

INSTANTIATE_TEST_SUITE_P(Slices, FixSlicedZoneTest, ::testing::Values(0, 1, 2));

} // namespace
} // namespace trov::test
