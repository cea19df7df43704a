#include "engine/IOConfig.h"
#include "engine/IOPinMono.h"
#include "engine/IOPinStereo.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

namespace trov {
namespace {

using Channel = IOChannel<float>;

// A channel of 16 frames, all valid, holding value.
Channel filled(float value) {
    Channel channel(16);
    channel.clear();
    for (int i = 0; i < 16; ++i)
        channel.getData()[i] = value;
    return channel;
}

TEST(IOPin, MonoPinsFoldStereoSources) {
    Channel left = filled(0.25f), right = filled(0.5f), out = filled(0.0f), single = filled(0.125f);
    IOPinStereo stereo(&left, &right);
    IOPinMono mono(&out), source(&single);
    mono.copyFrom(stereo);
    EXPECT_FLOAT_EQ(out.getData()[3], 0.75f);
    mono.mixFrom(stereo);
    EXPECT_FLOAT_EQ(out.getData()[3], 1.5f);
    mono.copyFrom(source);
    EXPECT_FLOAT_EQ(out.getData()[3], 0.125f);
    mono.mixFrom(source);
    EXPECT_FLOAT_EQ(out.getData()[3], 0.25f);
}

TEST(IOPin, StereoPinsSpreadMonoSourcesAndPairStereoOnes) {
    Channel left = filled(0.0f), right = filled(0.0f), single = filled(0.5f), a = filled(0.1f),
            b = filled(0.2f);
    IOPinStereo stereo(&left, &right), source(&a, &b);
    IOPinMono mono(&single);
    stereo.copyFrom(mono);
    EXPECT_EQ(std::pair(left.getData()[0], right.getData()[0]), std::pair(0.5f, 0.5f));
    stereo.mixFrom(mono);
    EXPECT_FLOAT_EQ(right.getData()[0], 1.0f);
    stereo.copyFrom(source);
    EXPECT_EQ(std::pair(left.getData()[5], right.getData()[5]), std::pair(0.1f, 0.2f));
    stereo.mixFrom(source);
    EXPECT_FLOAT_EQ(right.getData()[5], 0.4f);
}

TEST(IOPin, AppendingReportsRoomOnlyWhileEveryChannelHasSome) {
    Channel left(32), right(32), single = filled(0.5f);
    IOPinStereo record(&left, &right);
    IOPinMono source(&single);
    EXPECT_TRUE(record.appendFrom(source));
    // The pin holds its own channel objects over the same memory.
    EXPECT_EQ(std::pair(record.getChannel(0)->getValidFrames(), record.getChannel(1)->getValidFrames()),
              std::pair(16, 16));
    EXPECT_FALSE(record.appendFrom(source));
    EXPECT_EQ(right.getData()[31], 0.5f);

    class WidePin : public IOPinMono {
    public:
        WidePin() { width_ = 8; }
    } wide;
    EXPECT_TRUE(record.appendFrom(wide));
}

TEST(IOPin, ChannelsAreFoundByIndexAndSpeakerId) {
    IOPinStereo stereo;
    EXPECT_EQ(stereo.getWidth(), 2);
    EXPECT_EQ(
        std::tuple(stereo.channelIndexForId(1), stereo.channelIndexForId(2), stereo.channelIndexForId(3)),
        std::tuple(0, 0, 1));
    EXPECT_EQ(stereo.getChannelFor(3), stereo.getChannel(1));
    EXPECT_EQ(stereo.getChannel(2), nullptr);
    EXPECT_EQ(stereo.getChannel(-1), nullptr);
    EXPECT_FALSE(stereo.setChannel(2, Channel(4)));

    IOPinMono mono;
    EXPECT_EQ(mono.channelIndexForId(3), 0);
    EXPECT_EQ(mono.getChannelDataFor(3), nullptr);
    Channel channel(16);
    EXPECT_TRUE(mono.setChannel(0, channel));
    EXPECT_EQ(mono.getChannelDataFor(3), channel.getData());
    mono.setSize(8);
    mono.setValidFrames(100);
    EXPECT_EQ(std::pair(mono.getChannel(0)->getSize(), mono.getChannel(0)->getValidFrames()),
              std::pair(8, 8));

    std::unique_ptr<IOPin> clone(stereo.clone());
    EXPECT_EQ(clone->getChannelCount(), 2);
    EXPECT_NE(dynamic_cast<IOPinStereo*>(clone.get()), nullptr);
}

TEST(IOPinConfig, PinSetsNumberChannelsAcrossPins) {
    EXPECT_EQ(IOPinConfig(3, 4).getPinCount(), 0);
    IOPinConfig stereoPair(2, 2);
    EXPECT_EQ(std::pair(stereoPair.getPinCount(), stereoPair.getChannelCount()), std::pair(2, 4));
    EXPECT_EQ(stereoPair.getChannel(5), nullptr);
    EXPECT_EQ(stereoPair.getChannel(-1), nullptr);
    EXPECT_EQ(stereoPair.getChannel(3), stereoPair.getPin(1)->getChannel(1));
    EXPECT_EQ(stereoPair.getPin(2), nullptr);
    Channel channel(32);
    EXPECT_TRUE(stereoPair.setChannel(2, channel));
    EXPECT_EQ(stereoPair.getPin(1)->getChannel(0)->getData(), channel.getData());
    EXPECT_FALSE(stereoPair.setChannel(4, channel));
}

TEST(IOPinConfig, CopiesShareThePinsUntilOneIsRefilledAndConfigsCountBothSides) {
    IOPinConfig outputs(1, 8);
    IOPinConfig copy(outputs);
    EXPECT_EQ(copy.getPin(3), outputs.getPin(3));
    EXPECT_EQ(copy.fill(IOPinStereo(), 2), 2);
    EXPECT_EQ(std::pair(copy.getChannelCount(), outputs.getChannelCount()), std::pair(4, 8));
    IOPinConfig assigned;
    assigned = outputs;
    EXPECT_EQ(assigned.getPin(7), outputs.getPin(7));

    IOConfig config(IOPinConfig(1, 1), IOPinConfig(1, 8));
    EXPECT_EQ(std::pair(config.getInputChannelCount(), config.getOutputChannelCount()), std::pair(1, 8));
    config.setOutputs(IOPinConfig(2, 1));
    EXPECT_EQ(config.getOutputChannelCount(), 2);
    EXPECT_EQ(IOConfig().getInputs().getPinCount(), 0);
}

} // namespace
} // namespace trov
