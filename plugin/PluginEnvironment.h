#pragma once

#include "framework/StationEnvironment.h"

#include <atomic>
#include <map>
#include <mutex>
#include <vector>

namespace trov {

// What stations find through their owner module: the module's plug-in and settings tree, the editor of
// a plug-in, parameters by name and instance, and the shared resources. Settings trees register
// themselves for their owner module, modules for their plug-in; editors and the resource manager are
// registered by their makers. The first tree registered for a module is its settings until it leaves.
// Threads: any; one short lock guards the tables (look-ups allocate nothing).
class PluginEnvironment : public StationEnvironment {
public:
    // The process's one environment; it lives until the process ends.
    static PluginEnvironment& instance();

    Plugin* getPlugin(const Module* owner) const override;
    EditorInterface* getEditor(const Plugin* plugin) const override;
    const Module* getEditedModule(const Plugin* plugin) const override;
    Settings* getSettings(const Module* owner) const override;
    Radio* findParameter(Settings* settings, const std::string& name, int index) const override;
    bool isModuleScope(const Radio* parameter) const override;
    Resources* getResources() const override;

    // Null owners are not registered.
    void addSettings(const Module* owner, Settings* settings);
    void removeSettings(const Module* owner, Settings* settings);
    void addModule(const Module* module, Plugin* plugin);
    void removeModule(const Module* module);
    // Removing an editor waits for a getEditedModule asking it.
    void setEditor(const Plugin* plugin, EditorInterface* editor);
    void setResources(Resources* resources);

private:
    PluginEnvironment() = default;

    mutable std::mutex mutex_;
    std::map<const Module*, std::vector<Settings*>> settings_;
    std::map<const Module*, Plugin*> plugins_;
    std::map<const Plugin*, EditorInterface*> editors_;
    std::atomic<Resources*> resources_{nullptr};
};

// Makes the plug-in layer's environment the one every station uses. The process-wide context calls it
// at start-up; tests call it before they build settings trees.
void installPluginEnvironment();
void uninstallPluginEnvironment();

} // namespace trov
