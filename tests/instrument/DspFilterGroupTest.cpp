#include "framework/Message.h"
#include "framework/Random.h"
#include "instrument/AnalogTolerances.h"
#include "instrument/dsp/Ostrel4PoleFilter.h"
#include "instrument/dsp/Ostrel4PoleFilterGroup.h"
#include "support/AllocationGuard.h"
#include "support/ResponseTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

using namespace trov;
using namespace trov::test;

namespace {

// Every component its own factor, different from filter to filter.
class SpreadTolerances : public AnalogTolerances {
public:
    explicit SpreadTolerances(float spread) : spread(spread) {}
    float getAnalogTolerance(std::string_view component, int index, int /*distribution*/) override {
        return 1.0f + spread * static_cast<float>(component.size() % 7 + static_cast<std::size_t>(index) - 3);
    }
    float spread;
};

// One voice's filter as a test plays it: its setting, its modulation ramp and the parts of the block
// it is asked to filter (offset, frames), as a voice's sub-blocks are.
struct Lane {
    float spread;
    float cutoff;
    float resonance;
    float response;
    float rampFrom; // the modulation ramps from here to -rampFrom over the block
    std::vector<std::pair<std::int32_t, std::int32_t>> runs;
    bool poisoned = false; // a NaN in the first run's input
};

constexpr std::int32_t kBlock = 512;

struct Played {
    std::unique_ptr<SpreadTolerances> tolerances;
    std::unique_ptr<IOChannel<float>> modulation;
    std::unique_ptr<Ostrel4PoleFilter> filter;
    std::vector<float> signal; // the block, filtered in place run by run
};

Played prepare(const Lane& lane, std::size_t index) {
    Played played;
    played.tolerances = std::make_unique<SpreadTolerances>(lane.spread);
    played.filter = std::make_unique<Ostrel4PoleFilter>(nullptr, played.tolerances.get(), false);
    played.filter->setResonance(lane.resonance);
    played.filter->setResponse(lane.response);
    played.filter->setBaseCutoff(lane.cutoff);
    played.modulation = std::make_unique<IOChannel<float>>(kBlock);
    for (std::int32_t i = 0; i < kBlock; ++i)
        played.modulation->getData()[i] = lane.rampFrom * (1.0f - 2.0f * static_cast<float>(i) / kBlock);
    played.modulation->setValidFrames(kBlock);
    played.filter->setInput(0, played.modulation.get());
    played.signal = sine(kBlock, 0.03 + 0.02 * static_cast<double>(index), 0.6);
    if (lane.poisoned)
        played.signal[static_cast<std::size_t>(lane.runs.front().first) + 10] =
            std::numeric_limits<float>::quiet_NaN();
    return played;
}

std::vector<std::uint32_t> bitsOf(const std::vector<float>& values) {
    std::vector<std::uint32_t> bits;
    for (float v : values)
        bits.push_back(std::bit_cast<std::uint32_t>(v));
    return bits;
}

// Each filter in turn, run by run through processAt, from one noise seed: the one-voice path.
std::vector<Played> oneByOne(const std::vector<Lane>& lanes) {
    std::vector<Played> played;
    for (std::size_t i = 0; i < lanes.size(); ++i)
        played.push_back(prepare(lanes[i], i));
    seedMersenneTwister(11);
    for (std::size_t i = 0; i < lanes.size(); ++i)
        for (const auto& [offset, frames] : lanes[i].runs) {
            IOChannel<float> view(frames, played[i].signal.data() + offset);
            played[i].filter->processAt(view, view, offset);
        }
    return played;
}

// The same filters queued in a group in the same order, then processed together, as the audio thread
// does: without allocating or logging.
std::vector<Played> grouped(const std::vector<Lane>& lanes, Ostrel4PoleFilterGroup& group) {
    std::vector<Played> played;
    for (std::size_t i = 0; i < lanes.size(); ++i)
        played.push_back(prepare(lanes[i], i));
    seedMersenneTwister(11);
    bool queued = true;
    {
        AllocationGuard guard("the grouped four-pole filters");
        for (std::size_t i = 0; i < lanes.size(); ++i)
            for (const auto& [offset, frames] : lanes[i].runs)
                queued = group.queue(*played[i].filter, played[i].signal.data() + offset, frames, offset) &&
                         queued;
        group.process();
    }
    EXPECT_TRUE(queued);
    return played;
}

// A second block through every filter alone: the same only when the group left each ladder, cutoff and
// coefficients as processAt does.
std::vector<std::vector<std::uint32_t>> nextBlock(std::vector<Played>& played) {
    std::vector<std::vector<std::uint32_t>> out;
    seedMersenneTwister(12);
    for (Played& p : played) {
        IOChannel<float> channel = channelOf(sine(kBlock, 0.05, 0.4));
        p.filter->processAt(channel, channel, 0);
        out.push_back(bitsOf(std::vector<float>(channel.getData(), channel.getData() + kBlock)));
    }
    return out;
}

const std::vector<std::pair<std::int32_t, std::int32_t>> kWhole{{0, 256}, {256, 256}};
const std::vector<std::pair<std::int32_t, std::int32_t>> kLateStart{{100, 256}, {356, 156}};
const std::vector<std::pair<std::int32_t, std::int32_t>> kEndsEarly{{0, 256}};
const std::vector<std::pair<std::int32_t, std::int32_t>> kShortRuns{{0, 77}, {256, 19}};

struct Case {
    const char* name;
    std::vector<Lane> lanes;
};

std::vector<Case> cases() {
    return {
        {"one filter", {{0.01f, 0.5f, 0.7f, 0.0f, 0.2f, kWhole}}},
        {"eight low-pass lanes with their own coefficients",
         {{0.00f, 0.20f, 0.0f, 0.0f, 0.0f, kWhole},
          {0.01f, 0.30f, 0.3f, 0.2f, 0.1f, kWhole},
          {0.02f, 0.45f, 0.6f, 0.5f, 0.3f, kWhole},
          {0.03f, 0.55f, 0.9f, 0.9f, -0.2f, kWhole},
          {0.01f, 0.615f, 1.0f, 1.0f, 0.05f, kWhole},
          {0.02f, 0.70f, 0.5f, 0.3f, 0.4f, kWhole},
          {0.03f, 0.85f, 0.8f, 0.1f, -0.4f, kWhole},
          {0.04f, 0.95f, 0.95f, 0.7f, 0.0f, kWhole}}},
        {"high-pass side only",
         {{0.01f, 0.4f, 0.8f, 1.5f, 0.2f, kWhole}, {0.02f, 0.6f, 0.4f, 2.0f, 0.1f, kWhole}}},
        {"mixed sides, odd count, runs of every layout",
         {{0.01f, 0.5f, 0.9f, 0.0f, 0.3f, kLateStart},
          {0.02f, 0.3f, 0.6f, 1.7f, 0.2f, kWhole},
          {0.03f, 0.7f, 0.2f, 1.0f, -0.3f, kEndsEarly},
          {0.01f, 0.6f, 0.99f, 1.2f, 0.1f, kShortRuns},
          {0.02f, 0.4f, 0.5f, 0.6f, 0.2f, kWhole}}},
        {"a lane that blows up recovers after its run, the others untouched",
         {{0.01f, 0.7f, 0.9f, 0.0f, 0.1f, kWhole, true},
          {0.02f, 0.5f, 0.5f, 1.5f, 0.2f, kWhole},
          {0.03f, 0.6f, 0.8f, 0.4f, 0.0f, kLateStart, true}}},
    };
}

class FilterGroupPaths : public ::testing::TestWithParam<Ostrel4PoleFilterGroup::Path> {
protected:
    void SetUp() override { Ostrel4PoleFilterGroup::setPath(GetParam()); }
    void TearDown() override { Ostrel4PoleFilterGroup::setPath(Ostrel4PoleFilterGroup::Path::Automatic); }
};

TEST_P(FilterGroupPaths, FiltersRunSideBySideGiveTheBitsOfEachFilterRunAlone) {
    Ostrel4PoleFilterGroup group;
    group.reserve(kBlock, 2);
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        std::vector<Played> expected = oneByOne(c.lanes);
        group.clear();
        std::vector<Played> got = grouped(c.lanes, group);
        EXPECT_EQ(group.getLaneCount(), static_cast<int>(c.lanes.size()));
        for (std::size_t i = 0; i < c.lanes.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(bitsOf(got[i].signal), bitsOf(expected[i].signal));
            EXPECT_EQ(got[i].filter->getCutoff(), expected[i].filter->getCutoff());
            EXPECT_EQ(group.runsOf(*got[i].filter).size(), c.lanes[i].runs.size());
        }
        // Both from the same point in the generator's sequence, the next draw is the same too.
        const double afterGroup = randomDouble();
        oneByOne(c.lanes);
        EXPECT_EQ(afterGroup, randomDouble());
        EXPECT_EQ(nextBlock(got), nextBlock(expected));
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPath, FilterGroupPaths,
                         ::testing::Values(Ostrel4PoleFilterGroup::Path::Portable,
                                           Ostrel4PoleFilterGroup::Path::Vector));

TEST(OstrelFilterGroup, ARunWithoutRoomIsRefusedBeforeItDrawsAnything) {
    SpreadTolerances tolerances(0.01f);
    std::vector<std::unique_ptr<Ostrel4PoleFilter>> filters;
    for (int i = 0; i <= Ostrel4PoleFilterGroup::kLanes; ++i)
        filters.push_back(std::make_unique<Ostrel4PoleFilter>(nullptr, &tolerances, false));
    std::vector<float> data(64, 0.1f);
    Ostrel4PoleFilterGroup group;
    group.reserve(32, 1);
    EXPECT_TRUE(group.hasRoom(32, 1));
    EXPECT_FALSE(group.hasRoom(33, 1));
    EXPECT_FALSE(group.hasRoom(32, 2));

    seedMersenneTwister(3);
    std::vector<double> sequence;
    for (int i = 0; i < 33; ++i)
        sequence.push_back(randomDouble());
    seedMersenneTwister(3);
    EXPECT_TRUE(group.queue(*filters[0], data.data(), 32, 0));
    EXPECT_FALSE(group.queue(*filters[0], data.data() + 32, 1, 32)); // a second run: no room
    EXPECT_TRUE(group.queue(*filters[1], data.data(), 0, 0));        // nothing to filter
    EXPECT_EQ(group.getLaneCount(), 1);
    EXPECT_EQ(randomDouble(), sequence[32]);

    group.clear();
    for (int i = 0; i < Ostrel4PoleFilterGroup::kLanes; ++i)
        EXPECT_TRUE(group.queue(*filters[static_cast<std::size_t>(i)], data.data(), 1, 0));
    EXPECT_FALSE(group.hasRoom(1, 1));
    EXPECT_FALSE(group.queue(*filters.back(), data.data(), 1, 0));
    EXPECT_TRUE(group.runsOf(*filters.back()).empty());
}

} // namespace
