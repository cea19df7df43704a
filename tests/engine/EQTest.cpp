#include "engine/dsp/effects/EQ.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>
#include <vector>

using namespace trov;

namespace {

// A band that counts its updates and fills its responses with markers.
class Band : public EQ {
public:
    Band(float minHz = 20.0f, float maxHz = 20020.0f) : EQ(nullptr, minHz, maxHz) {}
    std::int32_t render(IOChannel<float>& out) noexcept override { return out.setValidFrames(0); }
    std::int32_t process(const IOChannel<float>& /*in*/, IOChannel<float>& out) noexcept override {
        return out.setValidFrames(0);
    }
    void update() noexcept override { ++updates; }
    void fillPrimaryResponse(std::vector<float>& values) const override {
        values.assign(values.size(), 1.0f);
    }
    void fillSecondaryResponse(std::vector<float>& values) const override {
        values.assign(values.size(), 2.0f);
    }
    int updates = 0;
};

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

} // namespace

TEST(EQ, FrequencyIsKeptNormalisedBetweenTheBounds) {
    Band band;
    band.setFrequency(20.0f);
    EXPECT_EQ(band.getFrequencyNormalized(), 0.0f);
    band.setFrequency(20020.0f);
    EXPECT_EQ(band.getFrequencyNormalized(), 1.0f);
    band.setFrequency(10020.0f);
    EXPECT_FLOAT_EQ(band.getFrequencyNormalized(), 0.5f);
    EXPECT_FLOAT_EQ(band.getFrequency(), 10020.0f);
    // Outside the bounds the frequency stays at them; NaN changes nothing.
    band.setFrequency(1e6f);
    EXPECT_EQ(band.getFrequencyNormalized(), 1.0f);
    band.setFrequencyNormalized(-0.5f);
    EXPECT_EQ(band.getFrequencyNormalized(), 0.0f);
    band.setFrequencyNormalized(kNaN);
    EXPECT_EQ(band.getFrequencyNormalized(), 0.0f);
    EXPECT_EQ(band.getFrequency(), 20.0f);
}

TEST(EQ, AnEmptyOrNonFiniteRangeIsRefused) {
    EXPECT_THROW(Band(440.0f, 440.0f), std::invalid_argument);
    EXPECT_THROW(Band(kNaN, 440.0f), std::invalid_argument);
    Band band(100.0f, 200.0f);
    EXPECT_FALSE(band.setFrequencyRange(300.0f, 300.0f));
    EXPECT_FALSE(band.setFrequencyRange(0.0f, std::numeric_limits<float>::infinity()));
    EXPECT_EQ(std::pair(band.getMinFrequency(), band.getMaxFrequency()), std::pair(100.0f, 200.0f));
    band.setFrequency(150.0f);
    EXPECT_FLOAT_EQ(band.getFrequencyNormalized(), 0.5f);
    EXPECT_TRUE(band.setFrequencyRange(1000.0f, 2000.0f));
    EXPECT_FLOAT_EQ(band.getFrequency(), 1500.0f);
}

TEST(EQ, SettersUpdateOnlyOnChangeAndGainlessTypesKeepGainZero) {
    Band band;
    band.setGain(6.0f);
    EXPECT_EQ(band.getGain(), 6.0f);
    EXPECT_EQ(band.updates, 1);
    band.setType(2); // a type without gain drops it
    EXPECT_EQ(std::pair(band.getType(), band.getGain()), std::pair(2, 0.0f));
    EXPECT_EQ(band.updates, 2);
    band.setGain(6.0f); // stored as 0, which it already is: no update
    band.setType(2);
    EXPECT_EQ(band.getGain(), 0.0f);
    EXPECT_EQ(band.updates, 2);
    for (const int type : {1, 3}) {
        band.setType(type);
        band.setGain(-3.0f);
        EXPECT_EQ(band.getGain(), 0.0f) << type;
    }
    band.setType(4);
    band.setGain(-3.0f);
    EXPECT_EQ(band.getGain(), -3.0f);
    const int before = band.updates;
    band.setShape1(0.5f);
    band.setShape2(0.25f);
    band.setShape3(0.125f);
    band.setShape3(0.125f);
    band.setShape1(kNaN);
    band.setExtra(9.0f); // stored without recomputation
    EXPECT_EQ(band.updates - before, 3);
    EXPECT_EQ(std::pair(band.getShape3(), band.getExtra()), std::pair(0.125f, 9.0f));
}
