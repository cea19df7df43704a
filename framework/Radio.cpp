#include "framework/Radio.h"

#include "framework/Logger.h"
#include "framework/StationEnvironment.h"

#include <algorithm>

namespace trov {

Radio::Radio(const Module* owner) : owner_(owner) {}

Radio::Radio(const Radio& other) : owner_(other.owner_.load(std::memory_order_acquire)) {
    std::vector<Radio*> listeners;
    {
        std::lock_guard guard(other.lock_);
        for (const Entry& entry : other.listeners_)
            listeners.push_back(entry.station);
    }
    for (Radio* listener : listeners)
        addListener(listener);
}

Radio::~Radio() {
    {
        std::lock_guard guard(lock_);
        while (!listeners_.empty()) {
            Radio* listener = listeners_.front().station;
            logLine(0, "Radio::0x%lx : forced tuning out of listener 0x%lx",
                    reinterpret_cast<unsigned long>(this), reinterpret_cast<unsigned long>(listener));
            listener->tuneOutOf(this);
        }
    }
    tuneOutOfAll();
}

void Radio::tuneOutOfAll() {
    std::vector<Radio*> sources;
    {
        std::lock_guard guard(sourcesMutex_);
        sources.swap(sources_);
    }
    for (Radio* source : sources)
        source->removeListener(this);
}

Plugin* Radio::getPlugin() const {
    const Module* owner = getOwner();
    const StationEnvironment* environment = getStationEnvironment();
    if (owner == nullptr || environment == nullptr)
        return nullptr;
    return environment->getPlugin(owner);
}

EditorInterface* Radio::getEditor() const {
    Plugin* plugin = getPlugin();
    const StationEnvironment* environment = getStationEnvironment();
    if (plugin == nullptr || environment == nullptr)
        return nullptr;
    return environment->getEditor(plugin);
}

const Module* Radio::getEditedModule() const {
    Plugin* plugin = getPlugin();
    const StationEnvironment* environment = getStationEnvironment();
    if (plugin == nullptr || environment == nullptr)
        return nullptr;
    return environment->getEditedModule(plugin);
}

Settings* Radio::getSettings() const {
    const Module* owner = getOwner();
    const StationEnvironment* environment = getStationEnvironment();
    if (owner == nullptr || environment == nullptr)
        return nullptr;
    return environment->getSettings(owner);
}

Resources* Radio::getResources() const {
    const StationEnvironment* environment = getStationEnvironment();
    return environment != nullptr ? environment->getResources() : nullptr;
}

void Radio::setOwner(const Module* owner) {
    if (owner == owner_.load(std::memory_order_acquire))
        return;
    const StationEnvironment* environment = getStationEnvironment();
    auto moduleScoped = [&](Settings* settings, const std::string& name) -> Radio* {
        if (environment == nullptr || settings == nullptr)
            return nullptr;
        Radio* parameter = environment->findParameter(settings, name, 0);
        return parameter != nullptr && environment->isModuleScope(parameter) ? parameter : nullptr;
    };
    const std::set<std::string> names = getTunedNames();
    if (Settings* old = getSettings())
        for (const std::string& name : names)
            if (Radio* parameter = moduleScoped(old, name))
                tuneOutOf(parameter);
    owner_.store(owner, std::memory_order_release);
    if (Settings* now = getSettings())
        for (const std::string& name : names)
            if (Radio* parameter = moduleScoped(now, name))
                tuneInTo(parameter);
}

void Radio::tuneIn(const std::string& name) {
    if (name.empty())
        return;
    {
        std::lock_guard guard(lock_);
        names_.insert(name);
    }
    const StationEnvironment* environment = getStationEnvironment();
    Settings* settings = getSettings();
    if (environment == nullptr || settings == nullptr)
        return;
    // Instances are numbered from 0 without gaps: stop at the first one missing.
    for (int index = 0;; ++index) {
        Radio* parameter = environment->findParameter(settings, name, index);
        if (parameter == nullptr)
            break;
        tuneInTo(parameter);
    }
}

void Radio::tuneInTo(Radio* station) {
    if (station != nullptr)
        station->addListener(this);
}

Error Radio::tuneOut(const std::string& name) const {
    if (name.empty())
        return NoError();
    {
        std::lock_guard guard(lock_);
        names_.erase(name);
    }
    const StationEnvironment* environment = getStationEnvironment();
    Settings* settings = getSettings();
    Radio* parameter = environment != nullptr && settings != nullptr
                           ? environment->findParameter(settings, name, 0)
                           : nullptr;
    if (parameter == nullptr)
        return ErrorNoSuchParameter("trov::Error trov::Radio::tuneOut(std::string) const", name);
    return const_cast<Radio*>(this)->tuneOutOf(parameter);
}

Error Radio::tuneOutOf(Radio* station) {
    if (station == nullptr)
        return NoError();
    return station->removeListener(this);
}

bool Radio::receive(const Message& message) {
    return message.kind == kKindParameter && message.code == Code::kParameterValue;
}

std::vector<Radio::Entry>::iterator Radio::findEntry(Radio* station) {
    auto it = std::lower_bound(listeners_.begin(), listeners_.end(), station,
                               [](const Entry& entry, Radio* key) { return entry.station < key; });
    return it != listeners_.end() && it->station == station ? it : listeners_.end();
}

Error Radio::addListener(Radio* listener) {
    if (listener == nullptr)
        return NoError();
    // Removal and insertion under one hold of the lock, so two threads adding the same listener at once
    // cannot both insert it.
    {
        std::lock_guard guard(lock_);
        removeListener(listener);
        auto at = std::lower_bound(listeners_.begin(), listeners_.end(), listener,
                                   [](const Entry& entry, Radio* key) { return entry.station < key; });
        listeners_.insert(at, Entry{listener, nextSerial_++});
        ++changes_;
        listener->noteSource(this);
        listenerAdded(listener);
    }
    return NoError();
}

Error Radio::removeListener(Radio* listener) {
    std::lock_guard guard(lock_);
    listenerRemoved(listener);
    auto it = findEntry(listener);
    if (it != listeners_.end()) {
        listeners_.erase(it);
        ++changes_;
        listener->forgetSource(this);
    }
    return NoError();
}

bool Radio::hasListener(Radio* station) {
    std::lock_guard guard(lock_);
    return findEntry(station) != listeners_.end();
}

std::size_t Radio::getListenerCount() {
    std::lock_guard guard(lock_);
    return listeners_.size();
}

std::set<std::string> Radio::getTunedNames() const {
    std::lock_guard guard(lock_);
    return names_;
}

Error Radio::broadcast(const Message& message) {
    std::lock_guard guard(lock_);
    // Walk the set as it was when the broadcast began without copying it: listeners that joined since
    // are skipped, and after any change the walk resumes behind the last listener called.
    const std::uint64_t joinedBefore = nextSerial_;
    std::uint64_t seenChanges = changes_;
    std::size_t i = 0;
    Radio* last = nullptr;
    for (;;) {
        if (changes_ != seenChanges) {
            seenChanges = changes_;
            i = last == nullptr
                    ? 0
                    : static_cast<std::size_t>(std::upper_bound(listeners_.begin(), listeners_.end(), last,
                                                                [](Radio* key, const Entry& entry) {
                                                                    return key < entry.station;
                                                                }) -
                                               listeners_.begin());
        }
        if (i >= listeners_.size())
            break;
        const Entry entry = listeners_[i++];
        last = entry.station;
        if (entry.serial >= joinedBefore)
            continue;
        entry.station->receive(message);
    }
    return NoError();
}

void Radio::noteSource(Radio* source) {
    std::lock_guard guard(sourcesMutex_);
    if (std::find(sources_.begin(), sources_.end(), source) == sources_.end())
        sources_.push_back(source);
}

void Radio::forgetSource(Radio* source) {
    std::lock_guard guard(sourcesMutex_);
    auto it = std::find(sources_.begin(), sources_.end(), source);
    if (it != sources_.end())
        sources_.erase(it);
}

} // namespace trov
