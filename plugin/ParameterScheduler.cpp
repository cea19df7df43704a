#include "plugin/ParameterScheduler.h"

#include "plugin/PluginInfo.h"

namespace trov {

namespace {
constexpr int kDefaultStepSize = 32;

int controlStepSize() {
    const PluginInfo* info = getPluginInfo();
    const int step = info != nullptr ? info->getControlStepSize() : kDefaultStepSize;
    return step > 0 ? step : kDefaultStepSize;
}
} // namespace

ParameterScheduler::ParameterScheduler(const Module* owner) : Radio(owner), stepSize_(controlStepSize()) {}

ParameterScheduler::~ParameterScheduler() = default;

std::size_t ParameterScheduler::slotsFor(int offset) const noexcept {
    return static_cast<std::size_t>(offset / stepSize_) + 4;
}

void ParameterScheduler::schedule(std::string_view name, int offset, float value) {
    if (offset < 0)
        return;
    auto it = schedules_.find(name);
    if (it == schedules_.end()) {
        it = schedules_.emplace(std::string(name), std::vector<float>()).first;
        it->second.reserve(reservedSlots_);
    }
    const std::size_t index = static_cast<std::size_t>(offset / stepSize_);
    it->second.resize(index + 4, 0.0f);
    it->second[index] = value;
}

bool ParameterScheduler::getScheduled(std::string_view name, int offset, float& value) const noexcept {
    if (offset < 0)
        return false;
    const auto it = schedules_.find(name);
    const std::size_t index = static_cast<std::size_t>(offset / stepSize_);
    if (it == schedules_.end() || index >= it->second.size())
        return false;
    value = it->second[index];
    return true;
}

void ParameterScheduler::clear() noexcept {
    for (auto& [name, slots] : schedules_)
        slots.clear();
}

void ParameterScheduler::reserve(const std::vector<std::string>& names, int maxFrames) {
    if (maxFrames > 0 && slotsFor(maxFrames) > reservedSlots_)
        reservedSlots_ = slotsFor(maxFrames);
    for (const std::string& name : names)
        schedules_[name].reserve(reservedSlots_);
    for (auto& [name, slots] : schedules_)
        slots.reserve(reservedSlots_);
}

} // namespace trov
