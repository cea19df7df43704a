#include "engine/dsp/Mixer.h"
#include "engine/io/IOPinMono.h"
#include "engine/io/IOPinStereo.h"
#include "support/AllocationGuard.h"
#include "support/ResponseTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <tuple>
#include <vector>

namespace trov {
namespace {

using Channel = IOChannel<float>;

// frames samples of value, validFrames of them valid.
Channel channelOf(int frames, float value, int validFrames) {
    Channel channel(frames);
    std::fill(channel.getData(), channel.getData() + channel.getSize(), value);
    channel.setValidFrames(validFrames);
    return channel;
}

TEST(Mixer, PanLawsSetThePanGain) {
    Mixer mixer;
    EXPECT_EQ(std::tuple(mixer.getMode(), mixer.getPanLaw(), mixer.getSaturation()), std::tuple(0, 1, 0.0f));
    EXPECT_FLOAT_EQ(mixer.getPanGain(), 0.58578644f);
    for (const auto& [law, gain] : {std::pair(0, 0.70710677f), std::pair(1, 0.58578644f), std::pair(2, 0.5f),
                                    std::pair(7, 0.58578644f), std::pair(-1, 0.58578644f)}) {
        mixer.setPanLaw(law);
        EXPECT_EQ(mixer.getPanLaw(), law);
        EXPECT_FLOAT_EQ(mixer.getPanGain(), gain) << "law " << law;
    }
}

TEST(Mixer, EachSummingModeCombinesOutputAndInputByItsLaw) {
    const struct {
        int mode;
        float saturation, a, b, gain, result;
    } kCases[] = {
        {0, 0.0f, 0.5f, 0.25f, 2.0f, 1.0f},  {0, 1.0f, -0.5f, 0.25f, 1.0f, -0.25f},
        {1, 1.0f, 0.5f, 0.5f, 1.0f, 0.75f},  {1, 0.5f, 0.5f, 0.5f, 2.0f, 1.75f},
        {1, 0.0f, 0.25f, 0.5f, 1.0f, 0.75f}, {2, 1.0f, 1.0f, 0.5f, 1.0f, 1.0f},
        {2, 1.0f, 0.5f, 0.5f, 1.0f, 0.75f},  {2, 0.5f, -0.5f, 1.0f, 2.0f, 1.0f},
        {2, 0.0f, 0.5f, 0.5f, 1.0f, 1.0f},   {3, 1.0f, 0.5f, 0.5f, 1.0f, 0.5f},
        {-1, 1.0f, 0.5f, 0.5f, 1.0f, 0.5f},
    };
    for (const auto& c : kCases) {
        Mixer mixer;
        mixer.setMode(c.mode);
        mixer.setSaturation(c.saturation);
        Channel out = channelOf(32, c.a, 32);
        const Channel in = channelOf(32, c.b, 32);
        mixer.mix(out, in, c.gain);
        EXPECT_FLOAT_EQ(out.getData()[0], c.result) << "mode " << c.mode << " s " << c.saturation;
        EXPECT_FLOAT_EQ(out.getData()[31], c.result) << "mode " << c.mode << " s " << c.saturation;
    }
}

TEST(Mixer, OnlyTheInputsValidFramesAreTouchedAndTheOutputCoversTheLargerCount) {
    Mixer mixer;
    for (const bool copying : {false, true}) {
        Channel out = channelOf(64, 1.0f, 8);
        const Channel in = channelOf(64, 2.0f, 20);
        copying ? mixer.copy(out, in, 0.5f) : mixer.mix(out, in, 0.5f);
        EXPECT_EQ(std::tuple(out.getValidFrames(), out.getData()[19], out.getData()[20]),
                  std::tuple(20, copying ? 1.0f : 2.0f, 1.0f))
            << (copying ? "copy" : "mix");
        // An output holding more valid frames than the input keeps its count.
        Channel longer = channelOf(64, 1.0f, 40);
        copying ? mixer.copy(longer, in, 1.0f) : mixer.mix(longer, in, 1.0f);
        EXPECT_EQ(std::tuple(longer.getValidFrames(), longer.getData()[0], longer.getData()[39]),
                  std::tuple(40, copying ? 2.0f : 3.0f, 1.0f));
    }
    // An unknown mode leaves the output as it was, valid frames included.
    mixer.setMode(9);
    Channel out = channelOf(64, 1.0f, 8);
    mixer.mix(out, channelOf(64, 2.0f, 20), 1.0f);
    EXPECT_EQ(std::pair(out.getValidFrames(), out.getData()[0]), std::pair(8, 1.0f));
}

// Past 1/saturation the soft add multiplied a loud total by each voice: a few voices of 10^4 overflowed it.
// Quiet frames and loud ones, on the vector kernel and the scalar form, which agree bit for bit.
TEST(Mixer, ASoftAddOfManyLoudVoicesStaysWithinItsLimitOnBothPaths) {
    constexpr int kFrames = 67; // vector blocks and a scalar tail
    const auto run = [] {
        Mixer mixer;
        mixer.setMode(Mixer::kModeSoftAdd);
        mixer.setSaturation(0.75f);
        Channel out = channelOf(kFrames, 0.0f, kFrames);
        Channel in = channelOf(kFrames, 0.0f, kFrames);
        for (int voice = 0; voice < 40; ++voice) {
            for (int i = 0; i < kFrames; ++i)
                in.getData()[i] =
                    static_cast<float>((voice * 7 + i * 3) % 11 - 5) * (i < 32 ? 0.03f : 2000.0f);
            test::AllocationGuard guard("soft add");
            mixer.mix(out, in, 0.9f);
        }
        return std::vector<float>(out.getData(), out.getData() + kFrames);
    };
    const std::vector<float> mixed = run();
    for (int i = 0; i < kFrames; ++i)
        ASSERT_LE(std::fabs(mixed[static_cast<std::size_t>(i)]), i < 32 ? 4.0f / 3.0f : Mixer::kSoftAddLimit)
            << "frame " << i;
    EXPECT_EQ(test::vectorScalarDifferences(run), 0u);
}

TEST(Mixer, NothingIsWrittenPastTheOutputChannelsSize) {
    Mixer mixer;
    const Channel in = channelOf(256, 1.0f, 256);
    for (int mode : {0, 1, 2, -1}) {
        mixer.setMode(mode);
        // Exactly 16 frames of memory: a write past them is a heap overflow the address sanitizer reports.
        std::vector<float> memory(16, 0.0f);
        Channel wrapped(16, memory.data());
        mixer.mix(wrapped, in, 1.0f);
        mixer.copy(wrapped, in, 1.0f);
        EXPECT_EQ(wrapped.getValidFrames(), 16);

        Channel shrunk = channelOf(64, 0.0f, 0);
        shrunk.setSize(16);
        mixer.mix(shrunk, in, 1.0f);
        mixer.copy(shrunk, in, 1.0f);
        EXPECT_EQ(std::pair(shrunk.getValidFrames(), shrunk.getData()[16]), std::pair(16, 0.0f))
            << "mode " << mode;
    }
    // An empty output or input takes part in nothing.
    Channel empty;
    mixer.setMode(0);
    mixer.mix(empty, in, 1.0f);
    Channel out = channelOf(16, 0.5f, 16);
    mixer.copy(out, Channel(), 1.0f);
    EXPECT_EQ(std::tuple(empty.getValidFrames(), out.getValidFrames(), out.getData()[0]),
              std::tuple(0, 16, 0.5f));
}

// A pin of a width the mixer does not know.
class WidePin : public IOPin {
public:
    WidePin() : IOPin(3) {
        for (int i = 0; i < 3; ++i)
            channels_.emplace_back(16);
    }
    IOPin* clone() const override { return new WidePin(*this); }
    int getChannelCount() const noexcept override { return 3; }
    void copyFrom(const IOPin&) noexcept override {}
    void mixFrom(const IOPin&) noexcept override {}
};

std::unique_ptr<IOPin> pinOf(int width) {
    std::unique_ptr<IOPin> pin;
    if (width == 1)
        pin = std::make_unique<IOPinMono>();
    else if (width == 2)
        pin = std::make_unique<IOPinStereo>();
    else
        return std::make_unique<WidePin>();
    pin->setSize(16);
    return pin;
}

// Every pin-width pair, by mix and by copy, with the input's left at 1 and right at 10, the output at
// 100 before, gain 2 and pan law 2 (pan gain 0.5).
TEST(Mixer, PinsOfEveryWidthPairSpreadFoldOrPassTheirChannelsByPan) {
    const struct {
        int outWidth, inWidth;
        float pan;
        float left, right; // the output channels after a mix; a copy has them without the 100
    } kCases[] = {
        {1, 1, 0.5f, 102.0f, 0.0f},    {1, 1, 0.0f, 102.0f, 0.0f},   {1, 2, 0.5f, 111.0f, 0.0f},
        {1, 2, 0.0f, 101.0f, 0.0f},    {1, 2, 1.0f, 110.0f, 0.0f},   {1, 2, 0.25f, 106.0f, 0.0f},
        {2, 1, 0.5f, 101.0f, 101.0f},  {2, 1, 0.0f, 101.0f, 100.0f}, {2, 1, 1.0f, 100.0f, 101.0f},
        {2, 2, 0.5f, 102.0f, 120.0f},  {2, 2, 0.0f, 102.0f, 100.0f}, {2, 2, 1.0f, 100.0f, 120.0f},
        {2, 2, 0.75f, 101.0f, 120.0f},
    };
    Mixer mixer;
    mixer.setPanLaw(2);
    for (const bool copying : {false, true})
        for (const auto& c : kCases) {
            std::unique_ptr<IOPin> out = pinOf(c.outWidth);
            std::unique_ptr<IOPin> in = pinOf(c.inWidth);
            for (int i = 0; i < out->getChannelCount(); ++i) {
                std::fill(out->getChannel(i)->getData(), out->getChannel(i)->getData() + 16, 100.0f);
                out->getChannel(i)->setValidFrames(16);
            }
            for (int i = 0; i < in->getChannelCount(); ++i) {
                std::fill(in->getChannel(i)->getData(), in->getChannel(i)->getData() + 16,
                          i == 0 ? 1.0f : 10.0f);
                in->getChannel(i)->setValidFrames(16);
            }
            copying ? mixer.copyPin(*out, *in, 2.0f, c.pan) : mixer.mixPin(*out, *in, 2.0f, c.pan);
            const float base = copying ? 100.0f : 0.0f;
            EXPECT_FLOAT_EQ(out->getChannel(0)->getData()[15], c.left - base)
                << (copying ? "copy " : "mix ") << c.outWidth << "<-" << c.inWidth << " pan " << c.pan;
            if (c.outWidth == 2) {
                EXPECT_FLOAT_EQ(out->getChannel(1)->getData()[15], c.right - base)
                    << (copying ? "copy " : "mix ") << c.outWidth << "<-" << c.inWidth << " pan " << c.pan;
            }
        }
}

TEST(Mixer, PinsOfUnknownWidthAreLeftAlone) {
    Mixer mixer;
    for (const auto& [outWidth, inWidth] :
         {std::pair(3, 1), std::pair(3, 2), std::pair(1, 3), std::pair(2, 3)}) {
        std::unique_ptr<IOPin> out = pinOf(outWidth);
        std::unique_ptr<IOPin> in = pinOf(inWidth);
        for (int i = 0; i < out->getChannelCount(); ++i)
            out->getChannel(i)->clear();
        for (int i = 0; i < in->getChannelCount(); ++i) {
            std::fill(in->getChannel(i)->getData(), in->getChannel(i)->getData() + 16, 1.0f);
            in->getChannel(i)->setValidFrames(16);
        }
        mixer.mixPin(*out, *in, 1.0f, 0.5f);
        mixer.copyPin(*out, *in, 1.0f, 0.5f);
        for (int i = 0; i < out->getChannelCount(); ++i)
            EXPECT_EQ(out->getChannel(i)->getData()[0], 0.0f) << outWidth << "<-" << inWidth;
    }
}

} // namespace
} // namespace trov
