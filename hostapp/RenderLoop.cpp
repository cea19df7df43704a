#include "hostapp/RenderLoop.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace corvale::hostapp {

namespace {

// The last frame of the block (from position) where an output is not below level; -1 when none.
std::int64_t lastLoudFrame(const std::vector<float*>& outputs, std::int64_t position, std::int32_t frames,
                           float level) {
    for (std::int32_t frame = frames - 1; frame >= 0; --frame)
        for (const float* channel : outputs)
            if (!(std::fabs(channel[frame]) < level))
                return position + frame;
    return -1;
}

} // namespace

bool renderSchedule(trov::hostsdk::Process& process, const MidiSchedule& schedule, std::int64_t totalFrames,
                    const RenderLayout& layout, const BlockConsumer& consume, const BlockObserver& observe,
                    std::string& error, const QuietEnd& quiet) {
    if (layout.blockSize < 1 || layout.inputChannels < 0 || layout.outputChannels < 1) {
        error = "invalid render layout";
        return false;
    }
    const auto block = static_cast<std::size_t>(layout.blockSize);
    std::vector<std::vector<float>> inputBuffers(static_cast<std::size_t>(layout.inputChannels),
                                                 std::vector<float>(block, 0.0f));
    std::vector<std::vector<float>> outputBuffers(static_cast<std::size_t>(layout.outputChannels),
                                                  std::vector<float>(block, 0.0f));
    std::vector<float*> inputs;
    std::vector<float*> outputs;
    for (auto& buffer : inputBuffers)
        inputs.push_back(buffer.data());
    for (auto& buffer : outputBuffers)
        outputs.push_back(buffer.data());

    std::size_t next = 0;
    const std::vector<TimedMidiEvent>& events = schedule.events;
    // The quiet span runs from here: the schedule's end, or the frame after the last loud one past it.
    std::int64_t quietFrom = schedule.endFrame;
    for (std::int64_t position = 0; position < totalFrames;) {
        for (; next < events.size() && events[next].frame <= position; ++next)
            process.deliverMidi(events[next].status, events[next].data1, events[next].data2);
        std::int64_t end = std::min(position + layout.blockSize, totalFrames);
        if (next < events.size() && events[next].frame < end)
            end = events[next].frame;
        if (quiet.frames > 0 && quietFrom + quiet.frames > position)
            end = std::min(end, quietFrom + quiet.frames);
        const auto frames = static_cast<std::int32_t>(end - position);
        // The module may have written into its inputs; each block starts from silence again.
        for (auto& buffer : inputBuffers)
            std::fill_n(buffer.begin(), frames, 0.0f);
        process.renderAudio(inputs.data(), outputs.data(), frames);
        if (!consume(outputs.data(), frames, error))
            return false;
        if (quiet.frames > 0)
            quietFrom = std::max(quietFrom, lastLoudFrame(outputs, position, frames, quiet.level) + 1);
        position = end;
        if (observe)
            observe(position);
        if (quiet.frames > 0 && position >= quietFrom + quiet.frames)
            break;
    }
    return true;
}

} // namespace corvale::hostapp
