// What the audio thread does with channels, pins, samples and notes today, each under the allocation and
// log-request guard. Everything is built and sized before the guard, as the set-up thread would.

#include "engine/io/IOChannel.h"
#include "engine/io/IOPinConfig.h"
#include "engine/io/IOPinMono.h"
#include "engine/io/IOPinStereo.h"
#include "engine/notes/FrequencySource.h"
#include "engine/notes/Note.h"
#include "engine/notes/Tuning.h"
#include "engine/samples/Sample.h"
#include "support/AllocationGuard.h"
#include "support/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace trov {
namespace {

using test::TunedModule;

using Channel = IOChannel<float>;
using test::AllocationGuard;

constexpr int kFrames = 64;

Channel filled(float value) {
    Channel channel(kFrames);
    std::fill(channel.getData(), channel.getData() + kFrames, value);
    channel.setValidFrames(kFrames);
    return channel;
}

TEST(AudioThreadChannels, CopyMixAppendAndClearOfSizedChannelsAllocateNothing) {
    Channel target = filled(0.5f);
    const Channel source = filled(0.25f);
    std::vector<float> hostBuffer(kFrames, -1.0f);
    Channel host(kFrames, hostBuffer.data());
    Channel secondHalf(target, kFrames / 2, kFrames / 2);
    secondHalf.setValidFrames(kFrames / 2);
    Channel record(kFrames);

    float peak = 0.0f;
    float screened = 0.0f;
    bool roomLeft = false;
    {
        AllocationGuard guard("channel copy and mix");
        target.mixFrom(source, true); // 0.75
        host.copyFrom(target);        // the host's buffer gets 0.75
        target.mixFrom(source, false);
        screened = target.getData()[0];
        target.clear(0, kFrames / 2);
        peak = target.getPeak();
        record.setValidFrames(0);
        record.appendFrom(secondHalf);
        roomLeft = record.appendFrom(secondHalf);
        record.setSize(kFrames / 2); // within the capacity
        record.setSize(kFrames);
    }
    EXPECT_EQ(hostBuffer[kFrames - 1], 0.75f);
    EXPECT_FLOAT_EQ(screened, 0.75f + 0.25f - 0.75f * 0.25f);
    EXPECT_FLOAT_EQ(peak, screened);
    EXPECT_EQ(
        std::tuple(roomLeft, record.getValidFrames(), record.getData()[0], record.getData()[kFrames - 1]),
        std::tuple(false, kFrames / 2, screened, screened));
}

TEST(AudioThreadChannels, PinsCopyMixAndAppendAcrossWidthsAndFindTheirChannelsWithoutAllocating) {
    const Channel one = filled(0.5f), left = filled(0.25f), right = filled(-0.125f);
    const IOPinMono monoSource(&one);
    const IOPinStereo stereoSource(&left, &right);
    IOPinConfig outputs(2, 2);
    for (int n = 0; n < outputs.getChannelCount(); ++n)
        outputs.setChannel(n, Channel(kFrames));
    IOPin& spread = *outputs.getPin(0);
    IOPin& summed = *outputs.getPin(1);
    IOPinMono folded(nullptr);
    folded.setChannel(0, Channel(kFrames));
    const Channel spare(kFrames);

    float* rightData = nullptr;
    float foldedValue = 0.0f;
    int channels = 0;
    {
        AllocationGuard guard("pin copy and mix");
        spread.copyFrom(monoSource);   // 0.5 | 0.5
        spread.mixFrom(stereoSource);  // 0.75 | 0.375
        folded.copyFrom(stereoSource); // 0.125
        folded.mixFrom(monoSource);    // 0.625
        foldedValue = folded.getChannel(0)->getData()[7];
        summed.setValidFrames(0);
        summed.appendFrom(monoSource); // 0.5 | 0.5
        rightData = spread.getChannelDataFor(IOPinStereo::kRightChannelId);
        channels = outputs.getChannelCount();
        outputs.getChannel(3)->setGain(0.5f);
        // Rebinding a slot to a channel made beforehand.
        folded.setChannel(0, spare);
        folded.setChannel(0, *outputs.getChannel(0));
    }
    EXPECT_EQ(channels, 4);
    EXPECT_EQ(rightData, outputs.getChannel(1)->getData());
    EXPECT_EQ(std::tuple(outputs.getChannel(0)->getData()[7], rightData[7], foldedValue),
              std::tuple(0.75f, 0.375f, 0.625f));
    EXPECT_EQ(folded.getChannel(0)->getData(), outputs.getChannel(0)->getData());
    EXPECT_EQ(std::tuple(summed.getChannel(0)->getValidFrames(), summed.getChannel(1)->getData()[kFrames - 1],
                         outputs.getChannel(3)->getGain()),
              std::tuple(kFrames, 0.5f, 0.5f));
}

// A sample whose interpolation a player may choose.
class PlayedSample : public Sample {
public:
    using Sample::Sample;
    void setInterpolation(std::int32_t mode) { interpolation_ = mode; }
};

TEST(AudioThreadSamples, APlayersReadsOfFramesPositionsAndTheRootAllocateNothing) {
    std::vector<float> values(2048);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<float>(i);
    SampleInfo info;
    info.channels = 1;
    info.frames = static_cast<std::int32_t>(values.size());
    info.data = values.data();
    info.rootNote = 71;
    // Texts past the small-string buffer: copying the block would allocate.
    info.creator = "A creator whose name is long enough";
    info.comment = "A comment that is much longer than any small-string buffer holds";
    PlayedSample sample(nullptr, info);
    sample.setLoop({Sample::kLoopOn, 1000, 1600});
    sample.setSlices(2);
    const TunedModule module;

    float read[3] = {};
    std::int32_t frames = 0;
    const float* data = nullptr;
    Sample::Loop loop;
    Sample::Slice slice{-1, -1};
    float root = 0.0f;
    bool looped = false;
    {
        AllocationGuard guard("sample reads");
        frames = sample.getInfo().frames;
        data = sample.getData();
        looped = sample.hasLoop();
        loop = sample.getLoop();
        slice = sample.getSlice(sample.getSliceCount() - 1);
        root = sample.getRootFrequency(module);
        read[0] = sample.getValue(0, 10.25f);
        sample.setInterpolation(Sample::kNearest);
        read[1] = sample.getValue(0, 10.75f);
        sample.setInterpolation(Sample::kRounded);
        read[2] = sample.getValue(0, static_cast<float>(frames) + 5.0f);
    }
    EXPECT_EQ(std::tuple(frames, data[frames], looped, loop.start, loop.end, slice.start, slice.end),
              std::tuple(2048, 0.0f, true, 1000, 1600, 0, 0));
    EXPECT_FLOAT_EQ(root, 440.0f); // the module's tuning: key 71 at 440 Hz
    EXPECT_EQ(std::tuple(read[0], read[1], read[2]), std::tuple(10.25f, 10.0f, 2047.0f));
}

TEST(AudioThreadNotes, NoteEventsCopiesAndPitchAllocateNothing) {
    const TunedModule module;
    Note incoming(&module);
    Note voiceNote(&module);
    float frequencies[3] = {};
    double octave = 0.0;
    float velocity = 0.0f;
    {
        AllocationGuard guard("note pitch");
        incoming.setMidiEvent(0x90, 0, 71, 127, 0, 12, 0);
        voiceNote = incoming;
        frequencies[0] = voiceNote.computeFrequency();
        voiceNote.transpose(12);
        frequencies[1] = voiceNote.computeFrequency();
        const Note copy(&module, voiceNote);
        Note detuned(copy);
        detuned.addDetune(-1200);
        frequencies[2] = detuned.computeFrequency();
        octave = pitchRatio(12.0f, 0.0f);
        velocity = incoming.getVelocityAmount();
    }
    EXPECT_EQ(std::tuple(voiceNote.getKey(), voiceNote.getOffset(), voiceNote.getType()),
              std::tuple(83, 12, Note::kNoteOn));
    EXPECT_FLOAT_EQ(frequencies[0], 440.0f);
    EXPECT_FLOAT_EQ(frequencies[1], 880.0f);
    EXPECT_FLOAT_EQ(frequencies[2], 440.0f);
    EXPECT_EQ(octave, 2.0);
    EXPECT_FLOAT_EQ(velocity, 1.0f);
}

} // namespace
} // namespace trov
