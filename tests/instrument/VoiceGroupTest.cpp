#include "framework/Random.h"
#include "instrument/engine/OstrelEngine.h"
#include "support/AllocationGuard.h"
#include "support/VoiceTestSupport.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using namespace trov;
using test::InstrumentWorld;

namespace {

// Three sub-blocks, the last one short.
constexpr std::int32_t kBlock = 700;
constexpr int kBlocks = 12;
constexpr int kRate = 44100;

// Every generator the voices and shared stages draw from.
void seedGenerators() {
    seedMersenneTwister(21);
    seedRandom(21);
    seedCombinedRandom(21);
}

struct Variant {
    const char* name;
    const char* bypass[2]; // a bypass setting switched on per layer, or null
    float response;
};

// The instrument's output for a phrase that keeps more than a group of voices busy on both layers:
// notes starting inside blocks, resonance, a filter envelope and the LFO on the cutoff, releases that end
// within a block, and steals whose voices fade out; rendered with the engines' voices grouped or one by
// one, from the same seeds. Every sample's bits, both channels, block after block.
std::vector<std::uint32_t> play(const Variant& variant, bool grouping, int* largestGroup) {
    // What the instrument draws when it is made comes from the seeds too.
    seedGenerators();
    InstrumentWorld world(TROV_BUILD_DATA);
    world.addSine("Tone", 261.6255653, 2 * kRate, 60);
    std::unique_ptr<test::ToleranceInstrument> plugin = world.makeInstrument(kBlock);
    plugin->factor = 1.01f;
    IOPinConfig inputs = test::makePins(1, 1, kBlock);
    IOPinConfig outputs = test::makePins(2, 1, kBlock);
    for (int layer = 0; layer < 2; ++layer) {
        InstrumentWorld::addZone(*plugin, layer, 0, 127, "Tone");
        Settings& s = InstrumentWorld::settingsOf(*plugin, layer);
        s.setFloat("VCFCutoff", layer == 0 ? 0.45f : 0.6f, Sender::kEditor);
        s.setFloat("VCFResonance", 0.85f, Sender::kEditor);
        s.setFloat("VCFResponse", variant.response, Sender::kEditor);
        s.setNormalizedValue("VCFPeak", 0.6f, Sender::kEditor);
        s.setNormalizedValue("VCFDecay", 0.3f, Sender::kEditor);
        s.setNormalizedValue("VCARelease", 0.02f, Sender::kEditor);
        s.setFloat("LFO_VCFDepth", 0.4f, Sender::kEditor);
        s.setLong("SustainVoices", 0, Sender::kEditor);
        if (variant.bypass[layer] != nullptr)
            s.setBool(variant.bypass[layer], true, Sender::kEditor);
        OstrelEngine* engine = InstrumentWorld::engineOf(*plugin, layer);
        engine->getVoicePool().setVoiceLimit(11);
        engine->setVoiceGrouping(grouping);
    }
    seedGenerators();

    std::vector<std::uint32_t> bits;
    bits.reserve(static_cast<std::size_t>(kBlocks) * kBlock * 2);
    int largest = 0;
    {
        test::AllocationGuard guard(grouping ? "grouped voices" : "voices one by one");
        for (int b = 0; b < kBlocks; ++b) {
            if (b == 0)
                for (int n = 0; n < 14; ++n)
                    InstrumentWorld::midi(*plugin, 0x90, 40 + 2 * n, 30 + 7 * n, (n * 97) % kBlock);
            if (b == 3)
                for (int n = 0; n < 14; n += 3)
                    InstrumentWorld::midi(*plugin, 0x80, 40 + 2 * n, 0, 50 * n);
            if (b == 4) // past the limit: the oldest sounding notes are stolen and fade
                for (int n = 0; n < 6; ++n)
                    InstrumentWorld::midi(*plugin, 0x90, 75 + n, 100, 600 - 60 * n);
            for (int c = 0; c < outputs.getChannelCount(); ++c)
                outputs.getChannel(c)->clear();
            plugin->process(inputs, outputs, kBlock);
            for (int c = 0; c < outputs.getChannelCount(); ++c) {
                const float* data = outputs.getChannel(c)->getData();
                for (std::int32_t i = 0; i < kBlock; ++i)
                    bits.push_back(std::bit_cast<std::uint32_t>(data[i]));
            }
            for (int layer = 0; layer < 2; ++layer)
                largest = std::max(
                    largest, InstrumentWorld::engineOf(*plugin, layer)->getVoiceGroup().getLargestGroup());
        }
    }
    *largestGroup = largest;
    return bits;
}

TEST(VoiceGroups, AnEngineSoundsTheSameToTheBitWithItsVoicesGroupedAsOneByOne) {
    const Variant variants[] = {
        {"the whole chain, low-pass side", {nullptr, nullptr}, 0.2f},
        {"the whole chain, high-pass side", {nullptr, nullptr}, 0.8f},
        {"one layer without filters, the other without the DAC ladder",
         {"FilterBypass", "EnvelopeBypass"},
         0.0f},
        {"one layer without the grunge stages", {"GrungeBypass", nullptr}, 0.5f},
    };
    for (const Variant& variant : variants) {
        SCOPED_TRACE(variant.name);
        int largest = 0;
        int unused = 0;
        const std::vector<std::uint32_t> grouped = play(variant, true, &largest);
        const std::vector<std::uint32_t> single = play(variant, false, &unused);
        EXPECT_EQ(largest, 8);
        ASSERT_EQ(grouped.size(), single.size());
        std::size_t differing = 0;
        std::size_t sounding = 0;
        for (std::size_t i = 0; i < grouped.size(); ++i) {
            differing += grouped[i] != single[i] ? 1 : 0;
            sounding += std::fabs(std::bit_cast<float>(single[i])) > 1e-4f ? 1 : 0;
        }
        EXPECT_EQ(differing, 0u);
        EXPECT_GT(sounding, grouped.size() / 2);
    }
}

} // namespace
