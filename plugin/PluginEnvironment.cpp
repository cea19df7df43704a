#include "plugin/PluginEnvironment.h"

#include "framework/EditorServices.h"
#include "plugin/Parameter.h"
#include "plugin/Settings.h"

#include <algorithm>
#include <new>

namespace trov {

PluginEnvironment& PluginEnvironment::instance() {
    // Never destroyed, so trees that outlive static destruction can still leave it; kept in static storage
    // rather than on the heap, so that a module unloaded with it leaks nothing.
    alignas(PluginEnvironment) static unsigned char storage[sizeof(PluginEnvironment)];
    static PluginEnvironment* const environment = new (storage) PluginEnvironment();
    return *environment;
}

Plugin* PluginEnvironment::getPlugin(const Module* owner) const {
    std::lock_guard guard(mutex_);
    const auto it = plugins_.find(owner);
    return it != plugins_.end() ? it->second : nullptr;
}

EditorInterface* PluginEnvironment::getEditor(const Plugin* plugin) const {
    std::lock_guard guard(mutex_);
    const auto it = editors_.find(plugin);
    return it != editors_.end() ? it->second : nullptr;
}

const Module* PluginEnvironment::getEditedModule(const Plugin* plugin) const {
    std::lock_guard guard(mutex_);
    const auto it = editors_.find(plugin);
    return it != editors_.end() ? it->second->getEditedModule() : nullptr;
}

Settings* PluginEnvironment::getSettings(const Module* owner) const {
    std::lock_guard guard(mutex_);
    const auto it = settings_.find(owner);
    return it != settings_.end() && !it->second.empty() ? it->second.front() : nullptr;
}

Radio* PluginEnvironment::findParameter(Settings* settings, const std::string& name, int index) const {
    return settings != nullptr ? settings->getParameter(name, index) : nullptr;
}

bool PluginEnvironment::isModuleScope(const Radio* parameter) const {
    const auto* p = dynamic_cast<const Parameter*>(parameter);
    return p != nullptr && p->getScope() == Parameter::kScopeModule;
}

Resources* PluginEnvironment::getResources() const {
    return resources_.load(std::memory_order_acquire);
}

void PluginEnvironment::addSettings(const Module* owner, Settings* settings) {
    if (owner == nullptr || settings == nullptr)
        return;
    std::lock_guard guard(mutex_);
    std::vector<Settings*>& trees = settings_[owner];
    if (std::find(trees.begin(), trees.end(), settings) == trees.end())
        trees.push_back(settings);
}

void PluginEnvironment::removeSettings(const Module* owner, Settings* settings) {
    std::lock_guard guard(mutex_);
    const auto it = settings_.find(owner);
    if (it == settings_.end())
        return;
    std::erase(it->second, settings);
    if (it->second.empty())
        settings_.erase(it);
}

void PluginEnvironment::addModule(const Module* module, Plugin* plugin) {
    std::lock_guard guard(mutex_);
    plugins_[module] = plugin;
}

void PluginEnvironment::removeModule(const Module* module) {
    std::lock_guard guard(mutex_);
    plugins_.erase(module);
}

void PluginEnvironment::setEditor(const Plugin* plugin, EditorInterface* editor) {
    std::lock_guard guard(mutex_);
    if (editor != nullptr)
        editors_[plugin] = editor;
    else
        editors_.erase(plugin);
}

void PluginEnvironment::setResources(Resources* resources) {
    resources_.store(resources, std::memory_order_release);
}

void installPluginEnvironment() {
    setStationEnvironment(&PluginEnvironment::instance());
}

void uninstallPluginEnvironment() {
    if (getStationEnvironment() == &PluginEnvironment::instance())
        setStationEnvironment(nullptr);
}

} // namespace trov
