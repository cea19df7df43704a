#pragma once

#include "hostapp/MidiSchedule.h"
#include "platform/hostsdk/HostSide.h"

#include <cstdint>
#include <functional>
#include <string>

namespace corvale::hostapp {

// The channels of a connected process and the largest block the host renders.
struct RenderLayout {
    int inputChannels = 2;
    int outputChannels = 2;
    std::int32_t blockSize = 512;
};

// Receives each rendered block's output channels; false (with a reason) stops the render.
using BlockConsumer =
    std::function<bool(const float* const* outputs, std::int32_t frames, std::string& error)>;
// Called after each block with the frames rendered so far (progress, the host's idle).
using BlockObserver = std::function<void(std::int64_t framesDone)>;

// An earlier end: the render stops once every output has stayed below level (in absolute value; a value
// that is not a finite number is never below) for frames frames after the schedule's end. frames 0: the
// render runs to its last frame.
struct QuietEnd {
    float level = 0.0f;
    std::int64_t frames = 0;
};

// Plays the schedule's events through process for totalFrames frames with silent inputs, or until quiet
// ends it. The process takes every event at the start of the next block, so blocks (at most
// layout.blockSize frames) are cut where an event falls and every event is delivered right before the
// block that starts at its frame; a quiet end is cut the same way, so the render stops on the frame where
// the quiet span is complete, whatever the block size. Events at or after the end are not delivered. The
// calling thread acts as the host's MIDI and audio thread in turn.
bool renderSchedule(trov::hostsdk::Process& process, const MidiSchedule& schedule, std::int64_t totalFrames,
                    const RenderLayout& layout, const BlockConsumer& consume, const BlockObserver& observe,
                    std::string& error, const QuietEnd& quiet = QuietEnd());

} // namespace corvale::hostapp
