#include "instance/Program.h"

#include "engine/modules/Engine.h"
#include "engine/modules/Module.h"
#include "engine/zones/Zone.h"
#include "engine/zones/ZoneManager.h"
#include "framework/Logger.h"
#include "plugin/Parameter.h"
#include "plugin/PluginInfo.h"
#include "plugin/Settings.h"

#include <mutex>

namespace trov {

namespace {
const char* const kParametersKey = "parameters";
}

Program::Program(const Module* owner) : Radio(owner), zoneManager_(nullptr) {
    if (PluginInfo* info = getPluginInfo())
        zoneManager_ = info->createZoneManager(this);
}

Program::~Program() {
    delete zoneManager_;
}

void Program::init() {
    Settings* settings = getSettings();
    if (settings == nullptr)
        return;
    Dictionary values;
    settings->saveParameters(values, Parameter::kScopeModule);
    std::lock_guard guard(getLock());
    values_ = values;
}

void Program::exit() {
    ZoneManager* manager = zoneManager_;
    zoneManager_ = nullptr;
    if (manager != nullptr) {
        manager->exit();
        delete manager;
    }
}

bool Program::receive(const Message& message) {
    if (message.kind != kKindParameter)
        return Radio::receive(message);
    const auto* change = dynamic_cast<const ParameterMessage*>(&message);
    Settings* settings = getSettings();
    Parameter* parameter = change != nullptr && settings != nullptr
                               ? settings->getParameter(change->name, change->index)
                               : nullptr;
    if (parameter == nullptr)
        return true;
    std::lock_guard guard(getLock());
    Dictionary::View stored = values_.getDictionary(kParametersKey);
    if (!stored)
        stored = values_.addDictionary(kParametersKey);
    if (stored)
        parameter->write(*stored);
    return true;
}

void Program::activate() {
    if (Settings* settings = getSettings()) {
        settings->resetModuleParameters();
        // A copy, so that the parameters' broadcasts run without the program's lock.
        const Dictionary values = getValues();
        settings->loadParameters(values, Parameter::kScopeModule);
    }
    if (zoneManager_ != nullptr)
        zoneManager_->activate();
    live_.store(true);
    if (const Module* module = getOwner())
        if (Engine* engine = module->getEngine())
            engine->programActivated();
}

void Program::deactivate() {
    storeLiveValues();
    live_.store(false);
    if (zoneManager_ != nullptr)
        zoneManager_->deactivate();
}

void Program::storeLiveValues() {
    if (!live_.load())
        return;
    init();
    if (zoneManager_ == nullptr)
        return;
    if (Zone* zone = zoneManager_->getCurrentZone()) {
        zone->storeParameters();
        zone->release();
    }
}

void Program::clear() {
    if (zoneManager_ != nullptr)
        zoneManager_->removeAllZones();
}

bool Program::isEmpty() const {
    if (zoneManager_ == nullptr)
        return true;
    const int count = zoneManager_->getZoneCount();
    for (int i = 0; i < count; ++i)
        if (!zoneManager_->getZoneSampleName(i).empty())
            return false;
    return true;
}

void Program::getSampleIds(std::set<std::string>& ids) const {
    ids.clear();
    if (zoneManager_ == nullptr)
        return;
    const int count = zoneManager_->getZoneCount();
    for (int i = 0; i < count; ++i) {
        std::string name = zoneManager_->getZoneSampleName(i);
        if (!name.empty())
            ids.insert(std::move(name));
    }
}

bool Program::write(Dictionary& dictionary) const {
    {
        std::lock_guard guard(getLock());
        if (const Dictionary::View stored = values_.getDictionary(kParametersKey))
            dictionary.appendChild(*stored);
    }
    if (zoneManager_ != nullptr)
        zoneManager_->toDictionary(dictionary);
    return true;
}

bool Program::read(const Dictionary& dictionary) {
    live_.store(false);
    Dictionary values;
    if (const Dictionary::View stored = dictionary.getDictionary(kParametersKey))
        values.appendChild(*stored);
    {
        std::lock_guard guard(getLock());
        values_ = values;
    }
    if (zoneManager_ != nullptr)
        zoneManager_->fromDictionary(dictionary);
    return true;
}

Dictionary Program::getValues() const {
    Dictionary copy;
    std::lock_guard guard(getLock());
    copy.copyFrom(values_);
    return copy;
}

} // namespace trov
