#include "instrument/engine/OstrelModule.h"

#include "engine/notes/Note.h"
#include "engine/zones/ZoneManager.h"
#include "framework/Message.h"
#include "instance/Plugin.h"
#include "instrument/InstrumentKeys.h"
#include "instrument/ProductFactories.h"

namespace trov {

OstrelModule::OstrelModule(Plugin* plugin, PluginServices& services, const Settings& specification)
    : Module(plugin, services, specification) {}

OstrelModule::~OstrelModule() {
    tuneOut(keys::kSoloWave);
    tuneOut(keys::kOscMixMode);
}

void OstrelModule::init() {
    Module::init();
    tuneIn(keys::kSoloWave);
    // Kept here as well, so that the note path reads a flag instead of the settings tree.
    tuneIn(keys::kOscMixMode);
}

bool OstrelModule::receive(const Message& message) {
    if (message.kind == kKindParameter && message.code == Code::kParameterValue) {
        if (const auto* change = dynamic_cast<const ParameterMessage*>(&message)) {
            if (change->name == keys::kSoloWave) {
                soloWave_.store(change->extra != 0, std::memory_order_relaxed);
                return true;
            }
            if (change->name == keys::kOscMixMode) {
                oscMixMode_.store(change->extra != 0, std::memory_order_relaxed);
                return true;
            }
        }
    }
    return Module::receive(message);
}

int OstrelModule::zoneIndexForNote(const Note& note, int layer) const noexcept {
    const ZoneManager* zones = getZoneManager();
    if (zones == nullptr)
        return -1;
    int index = zones->findZoneForKey(note.getKey());
    if (index >= 0 && isOscMixMode())
        index = layer == 0 ? (index & ~1) : (index | 1);
    return index;
}

Zone* OstrelModule::acquireZoneForNote(const Note& note, int layer) const noexcept {
    const ZoneManager* zones = getZoneManager();
    return zones != nullptr ? zones->acquireZoneForKey(note.getKey(), isOscMixMode() ? layer : -1) : nullptr;
}

KeyRange OstrelModule::zoneKeyRangeForNote(const Note& note, int layer) const {
    const ZoneManager* zones = getZoneManager();
    const int index = zoneIndexForNote(note, layer);
    return zones != nullptr && index >= 0 ? zones->getZoneKeyRange(index) : KeyRange(0, 0);
}

Module* createOstrelModule(Plugin* plugin, Settings& settings) {
    return new OstrelModule(plugin, *plugin, settings);
}

} // namespace trov
