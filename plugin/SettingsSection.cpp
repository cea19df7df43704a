#include "plugin/SettingsSection.h"

namespace trov {

SettingsSection::SettingsSection(std::string name) : name_(std::move(name)) {}

SettingsSection::SettingsSection(const SettingsSection& other)
    : name_(other.name_), automatableNames_(other.automatableNames_) {
    subsections_.reserve(other.subsections_.size());
    for (const auto& section : other.subsections_)
        subsections_.push_back(std::make_unique<SettingsSection>(*section));
}

SettingsSection::~SettingsSection() = default;

const SettingsSection* SettingsSection::getSubsection(int index) const {
    return index >= 0 && index < getSubsectionCount() ? subsections_[static_cast<std::size_t>(index)].get()
                                                      : nullptr;
}

void SettingsSection::addSubsection(std::unique_ptr<SettingsSection> section) {
    subsections_.push_back(std::move(section));
}

} // namespace trov
