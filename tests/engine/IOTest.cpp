#include "engine/io/IOChannel.h"
#include "engine/io/IOConfig.h"
#include "engine/io/IOPinMono.h"
#include "engine/io/IOPinStereo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <tuple>
#include <vector>

namespace trov {
namespace {

using Channel = IOChannel<float>;

// Size, capacity and valid frames.
std::tuple<int, int, int> shape(const Channel& channel) {
    return {channel.getSize(), channel.getCapacity(), channel.getValidFrames()};
}

// An owned channel of frames values, all valid.
Channel filled(int frames, float value) {
    Channel channel(frames);
    channel.clear();
    std::fill(channel.getData(), channel.getData() + frames, value);
    return channel;
}

TEST(IOChannel, OwnedBuffersRoundUpToSixteenFramesAndWrappedMemoryIsNotOwned) {
    Channel empty(0);
    EXPECT_EQ(empty.getData(), nullptr);
    empty.setSize(1000);
    EXPECT_EQ(std::pair(empty.getSize(), empty.getCapacity()), std::pair(1008, 1008));
    EXPECT_TRUE(empty.ownsData());
    Channel sized(1024, nullptr);
    EXPECT_EQ(shape(sized), std::tuple(1024, 1024, 0));
    sized.setSize(100);
    EXPECT_EQ(shape(sized), std::tuple(100, 1024, 0));

    std::vector<float> host(64, 0.25f);
    Channel wrapped(64, host.data());
    EXPECT_EQ(wrapped.getData(), host.data());
    EXPECT_EQ(shape(wrapped), std::tuple(64, 0, 64));
    EXPECT_FALSE(wrapped.ownsData());
}

TEST(IOChannel, ValidFramesAndClearingStayInsideTheChannel) {
    Channel channel(32);
    EXPECT_EQ(channel.setValidFrames(1000), 32);
    EXPECT_EQ(channel.setValidFrames(-4), 0);

    std::vector<float> host(48, 1.0f);
    Channel wrapped(32, host.data());
    wrapped.setValidFrames(0);
    wrapped.clear(20, 1000);
    EXPECT_EQ(wrapped.getValidFrames(), 32);
    EXPECT_EQ(std::tuple(host[19], host[31], host[32]), std::tuple(1.0f, 0.0f, 1.0f));
    wrapped.clear(-10, 5);
    wrapped.clear(40);
    EXPECT_EQ(std::tuple(host[0], host[5], host[40]), std::tuple(0.0f, 1.0f, 1.0f));
}

TEST(IOChannel, ViewsNeverFreeOrOutreachTheirSourcesMemory) {
    auto source = std::make_unique<Channel>(64);
    source->clear();
    auto view = std::make_unique<Channel>(*source, 16, 1000);
    EXPECT_EQ(view->getData(), source->getData() + 16);
    EXPECT_EQ(view->getSize(), 48);
    EXPECT_LE(view->getCapacity(), 48);
    EXPECT_EQ(view->getValidFrames(), 0);

    // The view going first leaves the source intact; the source going first leaves the view's memory alive.
    Channel second(*source, 60, 4);
    view.reset();
    source->getData()[63] = 0.5f;
    source.reset();
    EXPECT_EQ(second.getData()[3], 0.5f);
    second.clear();
    EXPECT_EQ(second.getValidFrames(), 4);

    std::vector<float> host(10, 0.0f);
    Channel wrapped(10, host.data());
    EXPECT_EQ(shape(Channel(wrapped, 50, 10)), std::tuple(0, 0, 0));
}

TEST(IOChannel, GrowingAViewGivesItABufferOfItsOwn) {
    Channel source(32);
    source.clear();
    Channel view(source, 0, 8);
    view.setSize(100);
    EXPECT_NE(view.getData(), source.getData());
    EXPECT_EQ(view.getCapacity(), 112);
    view.clear();
    EXPECT_EQ(source.getValidFrames(), 32);
}

TEST(IOChannel, MixingAddsOrBlendsOverTheCommonSize) {
    Channel a = filled(16, 0.5f), b = filled(32, 0.5f);
    a.mixFrom(b, false);
    EXPECT_FLOAT_EQ(a.getData()[0], 0.75f);
    EXPECT_EQ(a.getValidFrames(), 16);
    std::fill(a.getData(), a.getData() + 16, 0.5f);
    a.mixFrom(b, true);
    EXPECT_FLOAT_EQ(a.getData()[15], 1.0f);
}

TEST(IOChannel, CopyingAndAppendingFollowTheValidFrames) {
    Channel source = filled(16, 0.0f), target(32);
    for (int i = 0; i < 16; ++i)
        source.getData()[i] = static_cast<float>(i);
    source.setValidFrames(10);
    target.copyFrom(source);
    EXPECT_EQ(std::pair(target.getValidFrames(), target.getData()[9]), std::pair(10, 9.0f));

    Channel record(32);
    EXPECT_TRUE(record.appendFrom(source));
    EXPECT_TRUE(record.appendFrom(source));
    EXPECT_EQ(std::pair(record.getValidFrames(), record.getData()[19]), std::pair(20, 9.0f));
    EXPECT_TRUE(record.appendFrom(source));
    EXPECT_FALSE(record.appendFrom(source));
    EXPECT_EQ(std::pair(record.getValidFrames(), record.getData()[31]), std::pair(32, 1.0f));
    EXPECT_FALSE(record.appendFrom(source));
}

TEST(IOChannel, PeakCoversOnlyValidFrames) {
    Channel channel = filled(16, 0.0f);
    channel.setValidFrames(0);
    channel.getData()[2] = -0.75f;
    EXPECT_EQ(channel.getPeak(), 0.0f);
    channel.setValidFrames(4);
    EXPECT_EQ(channel.getPeak(), 0.75f);
}

TEST(IOChannel, AssignmentSharesTheMemoryAndFreeingLeavesOthersAlone) {
    Channel a = filled(32, 0.0f), b;
    b = a;
    EXPECT_EQ(b.getData(), a.getData());
    EXPECT_EQ(b.getValidFrames(), 32);
    a.freeData();
    EXPECT_EQ(std::pair(a.getData(), a.getSize()), std::pair(static_cast<float*>(nullptr), 0));
    b.getData()[31] = 1.0f;
    EXPECT_EQ(b.getPeak(), 1.0f);
}

TEST(IOPin, MonoPinsFoldStereoSourcesAndStereoPinsSpreadMonoOnesAndPairStereoOnes) {
    Channel left = filled(16, 0.0f), right = filled(16, 0.0f), out = filled(16, 0.0f), one = filled(16, 0.5f),
            a = filled(16, 0.1f), b = filled(16, 0.2f);
    IOPinStereo stereo(&left, &right), stereoSource(&a, &b);
    IOPinMono mono(&out), monoSource(&one);
    struct Case {
        IOPin& to;
        const IOPin& from;
        bool mix;
        std::pair<float, float> expected; // the target's first and last channel
    };
    const Case cases[] = {
        {mono, stereoSource, false, {0.3f, 0.3f}},   {mono, stereoSource, true, {0.6f, 0.6f}},
        {mono, monoSource, false, {0.5f, 0.5f}},     {mono, monoSource, true, {1.0f, 1.0f}},
        {stereo, monoSource, false, {0.5f, 0.5f}},   {stereo, monoSource, true, {1.0f, 1.0f}},
        {stereo, stereoSource, false, {0.1f, 0.2f}}, {stereo, stereoSource, true, {0.2f, 0.4f}}};
    int n = 0;
    for (const Case& c : cases) {
        if (c.mix)
            c.to.mixFrom(c.from);
        else
            c.to.copyFrom(c.from);
        const int last = c.to.getChannelCount() - 1;
        EXPECT_FLOAT_EQ(c.to.getChannel(0)->getData()[5], c.expected.first) << "case " << n;
        EXPECT_FLOAT_EQ(c.to.getChannel(last)->getData()[5], c.expected.second) << "case " << n++;
    }
}

TEST(IOPin, AppendingReportsRoomOnlyWhileEveryChannelHasSome) {
    Channel left(32), right(32), single = filled(16, 0.5f);
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
