#include "engine/io/HostInterface.h"
#include "engine/io/IOPinMono.h"
#include "engine/io/IOPinStereo.h"
#include "support/TestHost.h"

#include <gtest/gtest.h>

#include <vector>

using namespace trov;
using trov::test::TestHost;

namespace {

class SystemRecorder : public Radio {
public:
    bool receive(const Message& message) override {
        if (message.kind == kKindSystem)
            events.push_back({message.code, message.extra});
        return false;
    }
    std::vector<std::pair<std::int32_t, MessageWord>> events;
};

// A stereo input pin and two mono output pins.
IOConfig stereoInTwoMonoOut() {
    return IOConfig(IOPinConfig(2, 1), IOPinConfig(1, 2));
}

std::vector<std::int32_t> bufferSizes(HostInterface& host) {
    std::vector<std::int32_t> sizes;
    for (const IOPinConfig* side : {&host.getIOBridge().getInputs(), &host.getIOBridge().getOutputs()})
        for (int n = 0; n < side->getChannelCount(); ++n)
            sizes.push_back(side->getChannel(n)->getSize());
    return sizes;
}

} // namespace

TEST(HostInterface, BuffersFollowTheConfigurationAndTheBlockSize) {
    TestHost host;
    EXPECT_EQ(host.getBlockSize(), 0);
    EXPECT_EQ(host.getSampleRate(), 44100);

    ASSERT_TRUE(host.setIOConfig(stereoInTwoMonoOut()));
    EXPECT_EQ(bufferSizes(host), (std::vector<std::int32_t>{0, 0, 0, 0}));

    host.setBlockSize(512);
    EXPECT_EQ(bufferSizes(host), (std::vector<std::int32_t>{512, 512, 512, 512}));
    for (int n = 0; n < 2; ++n)
        EXPECT_GE(host.getIOBridge().getOutputs().getChannel(n)->getCapacity(), 512);

    // A new configuration takes the current block size at once; a smaller block keeps the memory.
    host.setIOConfig(IOConfig(IOPinConfig(1, 1), IOPinConfig(2, 1)));
    EXPECT_EQ(bufferSizes(host), (std::vector<std::int32_t>{512, 512, 512}));
    host.setBlockSize(64);
    EXPECT_EQ(bufferSizes(host), (std::vector<std::int32_t>{64, 64, 64}));
    EXPECT_GE(host.getIOBridge().getInputs().getChannel(0)->getCapacity(), 512);
}

TEST(HostInterface, EverySampleRateSetBroadcastsOneMessage) {
    TestHost host;
    SystemRecorder listener;
    host.addListener(&listener);
    host.setSampleRate(48000);
    host.setSampleRate(48000);
    EXPECT_EQ(host.getSampleRate(), 48000);
    using Event = std::pair<std::int32_t, MessageWord>;
    EXPECT_EQ(listener.events, (std::vector<Event>{{3004, 48000}, {3004, 48000}}));
    host.removeListener(&listener);
}
