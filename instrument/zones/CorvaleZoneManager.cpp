#include "instrument/zones/CorvaleZoneManager.h"

#include "engine/modules/Module.h"
#include "framework/Message.h"
#include "instance/Plugin.h"
#include "instance/Program.h"
#include "instrument/InstrumentKeys.h"
#include "instrument/ProductFactories.h"
#include "instrument/zones/CorvaleZone.h"
#include "plugin/Parameter.h"
#include "plugin/ParameterValue.h"
#include "plugin/Settings.h"

#include <algorithm>
#include <string_view>

namespace trov {

ZoneManager* createCorvaleZoneManager(Program* program) {
    return new CorvaleZoneManager(program);
}

CorvaleZoneManager::CorvaleZoneManager(Program* program) : ZoneManager(program) {
    for (const char* name : {keys::kCurrentZone, keys::kOscMixMode, keys::kSampleUnload,
                             keys::kSampleNormalize, keys::kSampleReverse})
        tuneIn(name);
}

void CorvaleZoneManager::clearSelection() {
    ZoneManager::clearSelection();
    if (Settings* settings = getSettings())
        settings->setLong(keys::kCurrentZone, -1, Sender::kSettings);
}

Zone* CorvaleZoneManager::createZoneObject(Radio* parent, const KeyRange& range,
                                           const std::string& sampleName) {
    return new CorvaleZone(this, parent, range, sampleName);
}

void CorvaleZoneManager::zonesChanged() {
    Settings* settings = getSettings();
    auto* current = settings != nullptr
                        ? dynamic_cast<ParameterValue<long>*>(settings->getParameter(keys::kCurrentZone))
                        : nullptr;
    // Never below the lowest index, which names no zone: an empty list keeps a valid range.
    if (current != nullptr)
        current->setMax(std::max<long>(getZoneCount() - 1, current->getMin()));
    ZoneManager::zonesChanged();
}

bool CorvaleZoneManager::receive(const Message& message) {
    if (!isActive())
        return false;
    const auto* change = message.kind == kKindParameter && message.code == Code::kParameterValue
                             ? dynamic_cast<const ParameterMessage*>(&message)
                             : nullptr;
    if (change == nullptr)
        return ZoneManager::receive(message);
    const std::string_view name = change->name;
    if (name == keys::kCurrentModule) {
        const Plugin* plugin = getPlugin();
        const Module* shown =
            plugin != nullptr ? plugin->getModule(static_cast<int>(static_cast<std::intptr_t>(message.extra)))
                              : nullptr;
        if (shown != nullptr && shown == getOwner()) {
            if (getCurrentZoneIndex() < 0) {
                selectZone(0);
            } else if (Zone* zone = getCurrentZone()) {
                if (Sample* sample = zone->getSample())
                    sampleDeselected(sample);
                zone->release();
            }
        }
        return true;
    }
    if (name == keys::kOscMixMode) {
        setOscillatorMixMode(message.extra != 0);
        return true;
    }
    if (name == keys::kSampleUnload) {
        if (message.extra != 0 && (change->flags == Sender::kEditor || change->flags == Sender::kSettings)) {
            if (Zone* zone = getCurrentZone()) {
                if (zone->getSample() != nullptr)
                    zone->releaseSample();
                zone->release();
            }
            if (Settings* settings = getSettings())
                settings->setBool(keys::kSampleUnload, false, Sender::kSettings);
        }
        return true;
    }
    return ZoneManager::receive(message);
}

} // namespace trov
