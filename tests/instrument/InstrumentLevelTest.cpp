// The level a note reaches, from a sample file dropped on the whole product, against the gains of the
// stages it passes: with every stage that can be bypassed bypassed, the sample's own level times the
// VCA's sustain and the DC blocker's response; with each stage switched back on in turn, that stage's own
// gain.
#include "engine/zones/ZoneManager.h"
#include "framework/File.h"
#include "instrument/InstrumentKeys.h"
#include "instrument/dsp/Ostrel4PoleFilter.h"
#include "instrument/voice/OstrelPreamp.h"
#include "support/ProductTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

namespace trov::test {
namespace {

constexpr int kRate = 44100;
constexpr int kBlock = 512;
constexpr double kLevel = 0.8;
constexpr double kRootHz = 261.6255653005986; // key 60
// The first player's clock runs this much slow.
constexpr double kClockFactor = 0.9972475966332921;
constexpr double kPlayedHz = kRootHz * kClockFactor;
// The VCA's sustain at its control's top: the envelope table's last entry, in thousandths.
constexpr double kTopSustain = 0.957;

void putWord(std::string& bytes, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
        bytes += static_cast<char>((value >> (8 * i)) & 0xFFu);
}

// A mono 32-bit float WAV of a sine at key 60 (no sampler chunk: the root key comes from the file's
// default).
std::string sineWav(double level, int frames) {
    std::string bytes = "RIFF";
    putWord(bytes, 36 + 4 * static_cast<std::uint32_t>(frames), 4);
    bytes += "WAVEfmt ";
    putWord(bytes, 16, 4);
    putWord(bytes, 3, 2); // IEEE float
    putWord(bytes, 1, 2);
    putWord(bytes, kRate, 4);
    putWord(bytes, kRate * 4, 4);
    putWord(bytes, 4, 2);
    putWord(bytes, 32, 2);
    bytes += "data";
    putWord(bytes, 4 * static_cast<std::uint32_t>(frames), 4);
    for (int i = 0; i < frames; ++i) {
        const float value =
            static_cast<float>(level * std::sin(2.0 * std::numbers::pi * kRootHz * i / kRate));
        std::uint32_t word;
        std::memcpy(&word, &value, sizeof word);
        putWord(bytes, word, 4);
    }
    return bytes;
}

// The amplitude of the component at hz: a Hann-windowed correlation over the signal, scaled so a sine of
// amplitude a gives a.
double amplitudeAt(const std::vector<float>& signal, std::size_t from, std::size_t count, double hz) {
    EXPECT_LE(from + count, signal.size());
    count = std::min(count, signal.size() - std::min(from, signal.size()));
    std::complex<double> sum;
    double weights = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) /
                                              static_cast<double>(count));
        const double phase = 2.0 * std::numbers::pi * hz * static_cast<double>(from + i) / kRate;
        sum += w * static_cast<double>(signal[from + i]) * std::polar(1.0, -phase);
        weights += w;
    }
    return 2.0 * std::abs(sum) / weights;
}

// The DC blocker's gain at hz: |1 - z^-1| / |1 - 0.99 z^-1| on the unit circle.
double dcBlockerGain(double hz) {
    const std::complex<double> z = std::polar(1.0, -2.0 * std::numbers::pi * hz / kRate);
    return std::abs(1.0 - z) / std::abs(1.0 - 0.99 * z);
}

class InstrumentLevelTest : public ::testing::Test {
protected:
    void SetUp() override {
        plugin = world.makeCorvale(kBlock);
        const std::string path = world.base.files.write("sine.wav", sineWav(kLevel, kRate * 2));
        ASSERT_TRUE(plugin->loadFile(File(path)));
        // Analog drift off: every component at its nominal value.
        plugin->getSettings()->setFloat(keys::kAnalogCharacter, 0.0f, Sender::kSettings);
        Settings* layer = plugin->getModule(0)->getSettings();
        layer->setNormalizedValue(keys::kVCASustain, 1.0f, Sender::kSettings);
        layer->setNormalizedValue(keys::kVCAPeak, 1.0f, Sender::kSettings);
    }
    void TearDown() override { plugin.reset(); }

    void bypass(bool envelope, bool filter, bool grunge) {
        Settings* layer = plugin->getModule(0)->getSettings();
        layer->setBool(keys::kEnvelopeBypass, envelope, Sender::kSettings);
        layer->setBool(keys::kFilterBypass, filter, Sender::kSettings);
        layer->setBool(keys::kGrungeBypass, grunge, Sender::kSettings);
    }
    // The fundamental's amplitude in the sustain of a held root key at full velocity.
    double sustainLevel() {
        InstrumentWorld::midi(*plugin, 0x90, 60, 127);
        std::vector<float> left;
        ProductWorld::play(*plugin, 60, kBlock, left);
        InstrumentWorld::midi(*plugin, 0x80, 60, 0);
        ProductWorld::play(*plugin, 40, kBlock, left);
        return amplitudeAt(left, kRate / 4, kRate / 2, kPlayedHz);
    }

    // A block of the voice's, built on the layer as the voice builds it.
    std::unique_ptr<Effect> filter() const {
        auto block = std::make_unique<Ostrel4PoleFilter>(plugin->getModule(0));
        block->setBaseCutoff(plugin->getModule(0)->getSettings()->getFloat(keys::kVCFCutoff));
        block->setResonance(plugin->getModule(0)->getSettings()->getFloat(keys::kVCFResonance));
        return block;
    }
    std::unique_ptr<Effect> preamp() const {
        auto block = std::make_unique<OstrelPreamp>(plugin->getModule(0), "OstrelLineInputResponseNormal",
                                                    "OstrelLineInputResponseSaturated");
        const SharedObjectPtr<Zone> zone(plugin->getModule(0)->getZoneManager()->getZone(0));
        block->setGain(zone->getParameterFloat(keys::kPreampGain));
        return block;
    }
    // The block's gain for the fundamental of a sine of that amplitude, after it settled.
    static double blockGain(std::unique_ptr<Effect> block, double amplitude) {
        std::vector<float> signal;
        IOChannel<float> channel(kBlock);
        // Half a second: the measured quarter second starts a quarter second in.
        for (int b = 0; b < kRate / 2 / kBlock + 1; ++b) {
            channel.setSize(kBlock);
            for (int i = 0; i < kBlock; ++i)
                channel.getData()[i] = static_cast<float>(
                    amplitude * std::sin(2.0 * std::numbers::pi * kPlayedHz * (b * kBlock + i) / kRate));
            channel.setValidFrames(kBlock);
            block->processInPlace(channel);
            signal.insert(signal.end(), channel.getData(), channel.getData() + kBlock);
        }
        return amplitudeAt(signal, kRate / 4, kRate / 4, kPlayedHz) / amplitude;
    }

    ProductWorld world{kRate};
    std::unique_ptr<Corvale> plugin;
};

TEST_F(InstrumentLevelTest, WithEveryStageBypassedANoteHasTheSamplesLevelTimesTheVCAAndDCBlocker) {
    bypass(true, true, true);
    const double expected = kLevel * kTopSustain * dcBlockerGain(kPlayedHz);
    EXPECT_NEAR(sustainLevel(), expected, expected * 0.02);
}

TEST_F(InstrumentLevelTest, EachStageSwitchedOnAddsItsOwnGainAndTheWholeChainTheirProduct) {
    bypass(true, true, true);
    const double bare = sustainLevel();
    // The filter works on the sample after the VCA; the preamp on the sample as it is.
    const double filterGain = blockGain(filter(), bare / dcBlockerGain(kPlayedHz));
    const double preampGain = blockGain(preamp(), kLevel);
    bypass(false, true, true);
    const double ladder = sustainLevel() / bare;
    bypass(true, false, true);
    const double filtered = sustainLevel() / bare;
    bypass(true, true, false);
    const double grunge = sustainLevel() / bare;
    bypass(false, false, false);
    const double whole = sustainLevel() / bare;
    // The DAC ladder's rungs are within 0.4 % of their values: it passes the level.
    EXPECT_NEAR(ladder, 1.0, 0.01);
    // Its last stage's clipping makes the filter lose level at any cutoff; the preamp's curves lift it.
    EXPECT_NEAR(filtered, filterGain, 0.03 * filterGain);
    EXPECT_NEAR(grunge, preampGain, 0.03 * preampGain);
    // The filter's clipping depends on its level: in the whole chain it takes what the preamp lifted.
    const double lifted = blockGain(filter(), preampGain * bare / dcBlockerGain(kPlayedHz));
    EXPECT_NEAR(whole, ladder * lifted * preampGain, 0.03 * whole);
    EXPECT_GT(whole, 0.3);
}

} // namespace
} // namespace trov::test
