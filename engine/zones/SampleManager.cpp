#include "engine/zones/SampleManager.h"

#include "engine/notes/Note.h"
#include "engine/zones/Zone.h"

namespace trov {

SampleManager::SampleManager(const Module* owner) : Radio(owner) {}

void SampleManager::setEntry(const std::string& name, const Entry& entry) {
    std::lock_guard guard(mutex_);
    entries_[name] = entry;
}

KeyRange SampleManager::getKeyRange(const std::string& name) const {
    std::lock_guard guard(mutex_);
    const auto it = entries_.find(name);
    return it != entries_.end() ? it->second.keys : KeyRange(0, 0);
}

bool SampleManager::setKeyRange(const std::string& name, const KeyRange& range) {
    if (!Zone::isValidKeyRange(range))
        return false;
    std::lock_guard guard(mutex_);
    const auto it = entries_.find(name);
    if (it == entries_.end())
        return false;
    it->second.keys = range;
    return true;
}

Range<std::int16_t> SampleManager::getVelocityRange(const std::string& name) const {
    std::lock_guard guard(mutex_);
    const auto it = entries_.find(name);
    return it != entries_.end() ? it->second.velocities : Range<std::int16_t>(0, 0);
}

bool SampleManager::setVelocityRange(const std::string& name, const Range<std::int16_t>& range) {
    std::lock_guard guard(mutex_);
    const auto it = entries_.find(name);
    if (it == entries_.end())
        return false;
    it->second.velocities = range;
    return true;
}

std::string SampleManager::getSampleForNote(const Note& note) const {
    std::lock_guard guard(mutex_);
    for (const auto& [name, entry] : entries_)
        if (entry.keys.low <= note.getKey() && note.getKey() <= entry.keys.high &&
            entry.velocities.low <= note.getVelocity() && note.getVelocity() <= entry.velocities.high)
            return name;
    return {};
}

} // namespace trov
