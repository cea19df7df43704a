#include "instrument/voice/VoiceComponents.h"

#include <algorithm>

namespace trov {

namespace {

constexpr int kSymmetric = 2;
constexpr std::array<const char*, VoiceComponents::kStages> kVCAStages = {
    "VCA Attack", "VCA Peak", "VCA Decay", "VCA Sustain", "VCA Release"};
constexpr std::array<const char*, VoiceComponents::kStages> kVCFStages = {
    "VCF Attack", "VCF Peak", "VCF Decay", "VCF Sustain", "VCF Release"};

} // namespace

VoiceComponents::VoiceComponents() : rows_(std::make_unique<Row[]>(kMaxSlots)) {}

VoiceComponents::Row VoiceComponents::unprepared(int slot) noexcept {
    Row row;
    for (std::size_t i = 0; i < kStages; ++i) {
        row.vca[i] = AnalogComponent{kVCAStages[i], slot, kSymmetric};
        row.vcf[i] = AnalogComponent{kVCFStages[i], slot, kSymmetric};
    }
    return row;
}

void VoiceComponents::prepare(AnalogTolerances* model, int count) {
    count = std::min(count, kMaxSlots);
    std::lock_guard guard(preparing_);
    for (int slot = prepared_.load(std::memory_order_relaxed); slot < count; ++slot) {
        Row row = unprepared(slot);
        if (model != nullptr)
            for (std::size_t i = 0; i < kStages; ++i) {
                model->prepareAnalogComponent(row.vca[i]);
                model->prepareAnalogComponent(row.vcf[i]);
            }
        rows_[static_cast<std::size_t>(slot)] = row;
        prepared_.store(slot + 1, std::memory_order_release);
    }
}

const VoiceComponents::Row* VoiceComponents::row(int slot) const noexcept {
    return slot >= 0 && slot < prepared_.load(std::memory_order_acquire)
               ? &rows_[static_cast<std::size_t>(slot)]
               : nullptr;
}

} // namespace trov
