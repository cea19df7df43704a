#include "engine/IOChannel.h"

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

} // namespace
} // namespace trov
