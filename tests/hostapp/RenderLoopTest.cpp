#include "hostapp/RenderLoop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace corvale::hostapp {
namespace {

using namespace trov::hostsdk;

// A process that records what the host does and writes the frame position into its outputs, as the binding
// does: every event counts from the next block's start.
class RecordingProcess final : public Process {
public:
    struct Call {
        bool midi;
        std::int64_t position;
        std::int32_t frames;
        std::uint8_t key;
    };
    std::vector<Call> calls;
    std::int64_t position = 0;
    bool inputsSilent = true;
    // From this frame on every output is this value (a release that has died away, or a broken one).
    std::int64_t silentFrom = std::numeric_limits<std::int64_t>::max();
    float after = 0.0f;

    std::int32_t initialize() override { return kResultOk; }
    std::int32_t connect(const ConnectInfo&) override { return kResultOk; }
    std::int32_t setSampleRate(std::int32_t) override { return kResultOk; }
    void renderAudio(float** inputs, float** outputs, std::int32_t frames) noexcept override {
        for (std::int32_t f = 0; f < frames; ++f) {
            inputsSilent = inputsSilent && inputs[0][f] == 0.0f && inputs[1][f] == 0.0f;
            inputs[0][f] = 1.0f; // a module may scribble on its inputs
            const bool silent = position + f >= silentFrom;
            outputs[0][f] = silent ? after : static_cast<float>(position + f);
            outputs[1][f] = silent ? after : -static_cast<float>(position + f);
        }
        calls.push_back({false, position, frames, 0});
        position += frames;
    }
    void deliverMidi(std::uint8_t, std::uint8_t key, std::uint8_t) noexcept override {
        calls.push_back({true, position, 0, key});
    }
    bool hasMidiInput() const override { return true; }
    std::uint32_t getDroppedNotes() const override { return 0; }
    std::int32_t getControlCount() const override { return 0; }
    std::int32_t getControlName(std::int32_t, char*, std::int32_t) override { return kResultFailed; }
    std::int32_t getControlValueText(std::int32_t, char*, std::int32_t) override { return kResultFailed; }
    bool isControlAutomatable(std::int32_t) override { return false; }
    std::int32_t setControlValue(std::int32_t, std::int32_t) override { return kResultOk; }
    std::int32_t getControlValue(std::int32_t, std::int32_t&) override { return kResultOk; }
    std::int32_t setControlHighlight(std::int32_t, bool, std::int32_t) override { return kResultOk; }
    std::int32_t getChunkCount(std::int32_t&) override { return kResultOk; }
    std::int32_t getChunkId(std::int32_t, std::uint32_t&) override { return kResultOk; }
    std::int32_t getChunkName(std::uint32_t, std::uint8_t (&)[32]) override { return kResultOk; }
    std::int32_t getChunkSize(std::uint32_t, std::int32_t&) override { return kResultOk; }
    std::int32_t getChunk(std::uint32_t, std::uint8_t*, std::int32_t) override { return kResultOk; }
    std::int32_t setChunk(std::uint32_t, const std::uint8_t*, std::int32_t) override { return kResultOk; }
    std::int32_t compareChunk(const std::uint8_t*, std::int32_t, bool&) override { return kResultOk; }
    std::int32_t getChangeCounter(std::int32_t&) override { return kResultOk; }
    bool createView() override { return false; }
    bool hasView() const override { return false; }
    std::int32_t getViewRect(ViewRect&) override { return kResultOk; }
    std::int32_t setViewPort(const ViewPort*) override { return kResultOk; }
    void destroyView() override {}
    void idle() override {}
    void windowEvent(std::int32_t, std::int32_t, bool) override {}
    std::int32_t getControlAt(std::int32_t, std::int32_t, std::int32_t&) override { return kResultFailed; }
    std::int32_t dragItem(std::int32_t, const char*, bool&) override { return kResultOk; }
    std::int32_t drop(std::int32_t, std::int32_t) override { return kResultOk; }
    void release() override {}
};

MidiSchedule scheduleOf(const std::vector<std::int64_t>& frames) {
    MidiSchedule schedule;
    for (std::size_t i = 0; i < frames.size(); ++i)
        schedule.events.push_back({frames[i], 0x90, static_cast<std::uint8_t>(i + 1), 100});
    return schedule;
}

struct Written {
    std::vector<float> left;
    std::vector<float> right;
};

bool render(RecordingProcess& process, const MidiSchedule& schedule, std::int64_t total, std::int32_t block,
            Written& written, std::vector<std::int64_t>* observed = nullptr) {
    std::string error;
    return renderSchedule(
        process, schedule, total, RenderLayout{2, 2, block},
        [&written](const float* const* outputs, std::int32_t frames, std::string&) {
            written.left.insert(written.left.end(), outputs[0], outputs[0] + frames);
            written.right.insert(written.right.end(), outputs[1], outputs[1] + frames);
            return true;
        },
        [observed](std::int64_t done) {
            if (observed != nullptr)
                observed->push_back(done);
        },
        error);
}

TEST(RenderLoop, CutsBlocksWhereEventsFallSoEachEventStartsTheBlockAtItsFrame) {
    for (const std::int32_t block : {1, 7, 64, 512}) {
        SCOPED_TRACE(block);
        RecordingProcess process;
        Written written;
        // Two events on one frame, one on a block boundary, one on the last frame, one past the end.
        const MidiSchedule schedule = scheduleOf({0, 100, 100, 128, 999, 1000, 5000});
        ASSERT_TRUE(render(process, schedule, 1000, block, written));
        std::vector<std::int64_t> deliveredAt;
        std::int64_t rendered = 0;
        for (const RecordingProcess::Call& call : process.calls) {
            if (call.midi) {
                deliveredAt.push_back(call.position);
            } else {
                EXPECT_GE(call.frames, 1);
                EXPECT_LE(call.frames, block);
                rendered += call.frames;
            }
        }
        EXPECT_EQ(deliveredAt, (std::vector<std::int64_t>{0, 100, 100, 128, 999}))
            << "events at or after the end are not delivered";
        EXPECT_EQ(rendered, 1000);
        ASSERT_EQ(written.left.size(), 1000u);
        for (std::size_t i = 0; i < written.left.size(); ++i)
            ASSERT_EQ(written.left[i], static_cast<float>(i)) << "the output arrives in order, frame " << i;
        EXPECT_EQ(written.right[999], -999.0f);
        EXPECT_TRUE(process.inputsSilent) << "every block starts from silent inputs";
    }
}

TEST(RenderLoop, UsesWholeBlocksBetweenEventsAndReportsProgressAfterEachBlock) {
    RecordingProcess process;
    Written written;
    std::vector<std::int64_t> observed;
    ASSERT_TRUE(render(process, scheduleOf({300}), 1100, 256, written, &observed));
    std::vector<std::int32_t> sizes;
    for (const RecordingProcess::Call& call : process.calls)
        if (!call.midi)
            sizes.push_back(call.frames);
    EXPECT_EQ(sizes, (std::vector<std::int32_t>{256, 44, 256, 256, 256, 32}));
    EXPECT_EQ(observed, (std::vector<std::int64_t>{256, 300, 556, 812, 1068, 1100}));
}

TEST(RenderLoop, StopsWhenTheOutputRefusesABlockAndRefusesAnEmptyLayout) {
    RecordingProcess process;
    std::string error;
    int blocks = 0;
    EXPECT_FALSE(renderSchedule(
        process, MidiSchedule(), 10000, RenderLayout{2, 2, 100},
        [&blocks](const float* const*, std::int32_t, std::string& reason) {
            reason = "disk full";
            return ++blocks < 3;
        },
        nullptr, error));
    EXPECT_EQ(blocks, 3);
    EXPECT_EQ(error, "disk full");
    EXPECT_FALSE(renderSchedule(
        process, MidiSchedule(), 10, RenderLayout{2, 0, 100},
        [](const float* const*, std::int32_t, std::string&) { return true; }, nullptr, error));
    EXPECT_FALSE(renderSchedule(
        process, MidiSchedule(), 10, RenderLayout{2, 2, 0},
        [](const float* const*, std::int32_t, std::string&) { return true; }, nullptr, error));
}

// The frames a render with a quiet end gives, in blocks of block frames.
std::int64_t quietRender(RecordingProcess& process, const MidiSchedule& schedule, std::int64_t cap,
                         std::int32_t block, const QuietEnd& quiet) {
    std::string error;
    std::int64_t frames = 0;
    const bool rendered = renderSchedule(
        process, schedule, cap, RenderLayout{2, 2, block},
        [&frames](const float* const*, std::int32_t count, std::string&) {
            frames += count;
            return true;
        },
        nullptr, error, quiet);
    EXPECT_TRUE(rendered) << error;
    return frames;
}

TEST(RenderLoop, EndsOnTheFrameWhereTheOutputHasStayedQuietLongEnoughAfterTheLastEventWhateverTheBlock) {
    MidiSchedule schedule = scheduleOf({0, 400});
    schedule.endFrame = 1000;
    const QuietEnd quiet{0.5f, 100};
    for (const std::int32_t block : {1, 7, 64, 512}) {
        SCOPED_TRACE(block);
        // Sounding past the last event: quiet from frame 1200, so the render ends at 1300.
        RecordingProcess ringing;
        ringing.silentFrom = 1200;
        EXPECT_EQ(quietRender(ringing, schedule, 50000, block, quiet), 1300);
        // Quiet before the last event: the quiet span starts at the event's end, not earlier.
        RecordingProcess early;
        early.silentFrom = 300;
        EXPECT_EQ(quietRender(early, schedule, 50000, block, quiet), 1100);
        // Never quiet, or quiet only below a level it never reaches: the cap ends it.
        RecordingProcess endless;
        EXPECT_EQ(quietRender(endless, schedule, 3000, block, quiet), 3000);
        RecordingProcess humming;
        humming.silentFrom = 1200;
        humming.after = 0.5f;
        EXPECT_EQ(quietRender(humming, schedule, 3000, block, quiet), 3000);
        // Values that are not numbers are never quiet.
        RecordingProcess broken;
        broken.silentFrom = 1200;
        broken.after = std::numeric_limits<float>::quiet_NaN();
        EXPECT_EQ(quietRender(broken, schedule, 3000, block, quiet), 3000);
    }
    // Without a quiet span the render runs to its last frame.
    RecordingProcess silent;
    silent.silentFrom = 0;
    EXPECT_EQ(quietRender(silent, schedule, 3000, 64, QuietEnd()), 3000);
}

} // namespace
} // namespace corvale::hostapp
