#include "hostapp/HostedProcess.h"

namespace corvale::hostapp {

void HostedProcess::automationSet(std::int32_t control, std::int32_t value) {
    std::lock_guard guard(mutex_);
    automation_.push_back({Automation::Kind::Set, control, value});
}

void HostedProcess::automationTouch(std::int32_t control) {
    std::lock_guard guard(mutex_);
    automation_.push_back({Automation::Kind::Touch, control, 0});
}

void HostedProcess::automationRelease(std::int32_t control) {
    std::lock_guard guard(mutex_);
    automation_.push_back({Automation::Kind::Release, control, 0});
}

std::vector<HostedProcess::Automation> HostedProcess::takeAutomation() {
    std::lock_guard guard(mutex_);
    std::vector<Automation> taken;
    taken.swap(automation_);
    return taken;
}

int channelsOfStem(std::int32_t stem) {
    return stem == trov::hostsdk::kStemStereo ? 2 : stem == trov::hostsdk::kStemMono ? 1 : 0;
}

std::int32_t chooseRenderType(trov::hostsdk::PlugInGroup& group) {
    std::int32_t anyOutput = -1;
    const std::int32_t count = group.getTypeCount();
    for (std::int32_t i = 0; i < count; ++i) {
        trov::hostsdk::EffectTypeInfo info;
        if (!group.getTypeInfo(i, info))
            continue;
        if (info.outputStem == trov::hostsdk::kStemStereo)
            return i;
        if (anyOutput < 0 && channelsOfStem(info.outputStem) > 0)
            anyOutput = i;
    }
    return anyOutput;
}

std::vector<std::uint8_t> programChunk(trov::hostsdk::Process& process) {
    std::int32_t size = 0;
    if (process.getChunkSize(trov::hostsdk::kStateChunkId, size) != trov::hostsdk::kResultOk ||
        size < trov::hostsdk::kChunkHeaderSize)
        return {};
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(size));
    if (process.getChunk(trov::hostsdk::kStateChunkId, chunk.data(), size) != trov::hostsdk::kResultOk)
        return {};
    return chunk;
}

} // namespace corvale::hostapp
