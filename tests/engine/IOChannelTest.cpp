#include "engine/IOChannel.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace trov {
namespace {

using Channel = IOChannel<float>;

TEST(IOChannel, OwnedBuffersRoundUpToSixteenFrames) {
    Channel empty(0);
    EXPECT_EQ(empty.getData(), nullptr);
    EXPECT_EQ(empty.getSize(), 0);
    empty.setSize(1000);
    EXPECT_EQ(empty.getSize(), 1008);
    EXPECT_EQ(empty.getCapacity(), 1008);
    EXPECT_TRUE(empty.ownsData());

    Channel sized(1024, nullptr);
    EXPECT_EQ(sized.getCapacity(), 1024);
    EXPECT_EQ(sized.getSize(), 1024);
    EXPECT_EQ(sized.getValidFrames(), 0);
    EXPECT_EQ(sized.getGain(), 1.0f);
    EXPECT_EQ(sized.getLevel(), 0.0f);

    sized.setSize(100);
    EXPECT_EQ(sized.getSize(), 100);
    EXPECT_EQ(sized.getCapacity(), 1024);
}

TEST(IOChannel, WrapsExternalMemoryWithoutOwningIt) {
    std::vector<float> host(64, 0.25f);
    Channel channel(64, host.data());
    EXPECT_EQ(channel.getData(), host.data());
    EXPECT_EQ(channel.getSize(), 64);
    EXPECT_EQ(channel.getValidFrames(), 64);
    EXPECT_EQ(channel.getCapacity(), 0);
    EXPECT_FALSE(channel.ownsData());
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
    EXPECT_EQ(host[19], 1.0f);
    EXPECT_EQ(host[31], 0.0f);
    EXPECT_EQ(host[32], 1.0f);
    wrapped.clear(-10, 5);
    EXPECT_EQ(host[0], 0.0f);
    EXPECT_EQ(host[5], 1.0f);
    wrapped.clear(40);
    EXPECT_EQ(host[40], 1.0f);
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
    Channel beyond(wrapped, 50, 10);
    EXPECT_EQ(beyond.getSize(), 0);
    EXPECT_EQ(beyond.getCapacity(), 0);
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
    Channel a(16), b(32);
    a.clear();
    b.clear();
    for (int i = 0; i < 16; ++i)
        a.getData()[i] = 0.5f;
    for (int i = 0; i < 32; ++i)
        b.getData()[i] = 0.5f;
    a.mixFrom(b, false);
    EXPECT_FLOAT_EQ(a.getData()[0], 0.75f);
    EXPECT_EQ(a.getValidFrames(), 16);
    for (int i = 0; i < 16; ++i)
        a.getData()[i] = 0.5f;
    a.mixFrom(b, true);
    EXPECT_FLOAT_EQ(a.getData()[15], 1.0f);
}

TEST(IOChannel, CopyingAndAppendingFollowTheValidFrames) {
    Channel source(16), target(32);
    source.clear();
    for (int i = 0; i < 16; ++i)
        source.getData()[i] = static_cast<float>(i);
    source.setValidFrames(10);
    target.copyFrom(source);
    EXPECT_EQ(target.getValidFrames(), 10);
    EXPECT_EQ(target.getData()[9], 9.0f);

    Channel record(32);
    EXPECT_TRUE(record.appendFrom(source));
    EXPECT_TRUE(record.appendFrom(source));
    EXPECT_EQ(record.getValidFrames(), 20);
    EXPECT_EQ(record.getData()[19], 9.0f);
    EXPECT_TRUE(record.appendFrom(source));
    EXPECT_FALSE(record.appendFrom(source));
    EXPECT_EQ(record.getValidFrames(), 32);
    EXPECT_EQ(record.getData()[31], 1.0f);
    EXPECT_FALSE(record.appendFrom(source));
}

TEST(IOChannel, PeakCoversOnlyValidFrames) {
    Channel channel(16);
    channel.clear();
    channel.setValidFrames(0);
    channel.getData()[2] = -0.75f;
    EXPECT_EQ(channel.getPeak(), 0.0f);
    channel.setValidFrames(4);
    EXPECT_EQ(channel.getPeak(), 0.75f);
}

TEST(IOChannel, AssignmentSharesTheMemoryAndFreeingLeavesOthersAlone) {
    Channel a(32);
    a.clear();
    Channel b;
    b = a;
    EXPECT_EQ(b.getData(), a.getData());
    EXPECT_EQ(b.getValidFrames(), 32);
    a.freeData();
    EXPECT_EQ(a.getData(), nullptr);
    EXPECT_EQ(a.getSize(), 0);
    b.getData()[31] = 1.0f;
    EXPECT_EQ(b.getPeak(), 1.0f);
}

} // namespace
} // namespace trov
