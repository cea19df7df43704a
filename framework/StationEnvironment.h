#pragma once

#include <string>

namespace trov {

class EditorInterface;
class Module;
class Plugin;
class Radio;
class Resources;
class Settings;

// What a station needs of the layers above the framework: the plug-in and settings of the module that owns
// it, parameter look-up by name and instance, and the shared resources. The plug-in layer installs the real
// one at start-up; without one, stations have no plug-in, no settings and find no parameters.
class StationEnvironment {
public:
    virtual ~StationEnvironment() = default;
    virtual Plugin* getPlugin(const Module* owner) const = 0;
    virtual EditorInterface* getEditor(const Plugin* plugin) const = 0;
    // The module the plug-in's open editor edits, or null. Asked while the editor's registration is held, so
    // an editor closing on another thread is gone only once the answer is given: unlike asking the editor
    // that getEditor returned, this is safe on any thread, the audio thread included (no allocation).
    virtual const Module* getEditedModule(const Plugin* plugin) const = 0;
    virtual Settings* getSettings(const Module* owner) const = 0;
    // The parameter station of that name and instance, or null.
    virtual Radio* findParameter(Settings* settings, const std::string& name, int index) const = 0;
    virtual bool isModuleScope(const Radio* parameter) const = 0;
    virtual Resources* getResources() const = 0;
};

const StationEnvironment* getStationEnvironment();
// Installs the environment (not owned); null removes it.
void setStationEnvironment(const StationEnvironment* environment);

} // namespace trov
