#pragma once

#include "platform/hostsdk/HostSide.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace corvale::hostapp {

// The host's side of one process: a steady tempo, a song position the renderer advances, and the
// automation the module reported (kept for the checks). Automation arrives on the user-interface thread,
// position and tempo are read from any; every member is safe from any thread.
class HostedProcess : public trov::hostsdk::ProcessHost {
public:
    struct Automation {
        enum class Kind { Set, Touch, Release };
        Kind kind;
        std::int32_t control;
        std::int32_t value;
    };

    double getTempo() override { return 120.0; }
    std::int64_t getPosition() override { return position_.load(std::memory_order_relaxed); }
    void automationSet(std::int32_t control, std::int32_t value) override;
    void automationTouch(std::int32_t control) override;
    void automationRelease(std::int32_t control) override;

    void setPosition(std::int64_t frames) { position_.store(frames, std::memory_order_relaxed); }
    std::vector<Automation> takeAutomation();

private:
    std::atomic<std::int64_t> position_{0};
    std::mutex mutex_;
    std::vector<Automation> automation_;
};

// The channels of a stem format (0 for none).
int channelsOfStem(std::int32_t stem);

// The type a render uses: the first with a stereo output, else the first with any output; -1 when none.
std::int32_t chooseRenderType(trov::hostsdk::PlugInGroup& group);

// The instance's program as its state chunk holds it; empty when the process gives none. A drop that
// changes it gave the instance something to play; a tuning leaves it as it was.
std::vector<std::uint8_t> programChunk(trov::hostsdk::Process& process);

} // namespace corvale::hostapp
