#pragma once

#include "framework/Radio.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace trov {

// Values of parameters scheduled at sample offsets inside the current audio block, one slot per control
// step (the product descriptor's control-step size; 32 frames when no descriptor is installed).
// Threads: the thread that processes the block, and only that one. Once a name has been scheduled and its
// slots have been sized (by a first block, or up front by reserve), scheduling, reading and clearing
// allocate nothing.
class ParameterScheduler : public Radio {
public:
    explicit ParameterScheduler(const Module* owner = nullptr);
    ~ParameterScheduler() override;

    // Slot offset / step is set to value; the name's slots end 4 behind it.
    virtual void schedule(std::string_view name, int offset, float value);
    // False, leaving value untouched, when nothing is scheduled for the name at that offset.
    virtual bool getScheduled(std::string_view name, int offset, float& value) const noexcept;
    // Empties every name's slots; the names stay.
    virtual void clear() noexcept;

    // Sizes the slots of the names given, and of every name scheduled later, for blocks of up to
    // maxFrames frames.
    void reserve(const std::vector<std::string>& names, int maxFrames);
    int getStepSize() const noexcept { return stepSize_; }

private:
    std::size_t slotsFor(int offset) const noexcept;

    std::map<std::string, std::vector<float>, std::less<>> schedules_;
    int stepSize_;
    std::size_t reservedSlots_ = 0;
};

} // namespace trov
