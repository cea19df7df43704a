#pragma once

#include "framework/Radio.h"
#include "framework/StationEnvironment.h"

#include <list>
#include <map>
#include <set>
#include <string>
#include <utility>

namespace trov::test {

// Modules, settings and parameters for stations, without the plug-in layer: each fake module has one
// settings table of named, numbered parameter stations. Installed for the life of the object.
class FakeStationEnvironment : public StationEnvironment {
public:
    struct Table {
        std::map<std::pair<std::string, int>, Radio*> parameters;
    };

    FakeStationEnvironment() { setStationEnvironment(this); }
    ~FakeStationEnvironment() override { setStationEnvironment(nullptr); }

    // A distinct module identity; the module type is never dereferenced.
    const Module* makeModule() {
        tables_.emplace_back();
        const Module* module = reinterpret_cast<const Module*>(&tables_.back());
        settingsOf_[module] = &tables_.back();
        return module;
    }
    void addParameter(const Module* module, const std::string& name, int index, Radio* station,
                      bool moduleScope = true) {
        settingsOf_.at(module)->parameters[{name, index}] = station;
        if (moduleScope)
            moduleScoped_.insert(station);
    }

    Plugin* getPlugin(const Module*) const override { return nullptr; }
    EditorInterface* getEditor(const Plugin*) const override { return nullptr; }
    const Module* getEditedModule(const Plugin*) const override { return nullptr; }
    Settings* getSettings(const Module* owner) const override {
        auto it = settingsOf_.find(owner);
        return it == settingsOf_.end() ? nullptr : reinterpret_cast<Settings*>(it->second);
    }
    Radio* findParameter(Settings* settings, const std::string& name, int index) const override {
        const auto* table = reinterpret_cast<const Table*>(settings);
        auto it = table->parameters.find({name, index});
        return it == table->parameters.end() ? nullptr : it->second;
    }
    bool isModuleScope(const Radio* parameter) const override { return moduleScoped_.count(parameter) != 0; }
    Resources* getResources() const override { return nullptr; }

private:
    std::list<Table> tables_;
    std::map<const Module*, Table*> settingsOf_;
    std::set<const Radio*> moduleScoped_;
};

} // namespace trov::test
