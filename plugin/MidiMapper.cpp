#include "plugin/MidiMapper.h"

#include "framework/Logger.h"
#include "framework/Preferences.h"
#include "framework/StationEnvironment.h"
#include "plugin/Parameter.h"

#include <vector>

namespace trov {

namespace {

const char* const kStoreKey = "MIDI Controllers";

constexpr std::int32_t kControllerBits = 0xFF;
constexpr std::int32_t kInvertBit = 0x100;
constexpr std::int32_t kRangePositiveBit = 0x200;
constexpr std::int32_t kRangeNegativeBit = 0x400;
constexpr std::int32_t kRangeBits = kRangePositiveBit | kRangeNegativeBit;
constexpr std::int32_t kEntryBits = kControllerBits | kInvertBit | kRangeBits;

struct StoredEntry {
    int controller;
    Parameter* parameter;
    std::int32_t data;
};

} // namespace

template <class T> void MidiMapper<T>::save() requires std::same_as<T, Parameter*> {
    Preferences* user = getUserPreferences();
    if (user == nullptr)
        return;
    // Replaces the key's values: pairings dropped since the last save must not come back.
    if (!user->clearChild(kStoreKey)) {
        logLine(3, "MIDI controller assignments not saved: the key %s cannot be written", kStoreKey);
        return;
    }
    const std::unique_ptr<Preferences> store(user->openChild(kStoreKey));
    if (!store)
        return;

    // Only numbers below 0x100 fit beside the flags; each appears once, so the list never outgrows this.
    std::vector<StoredEntry> entries;
    entries.reserve(kControllerBits + 1);
    {
        std::lock_guard guard(mapsMutex_);
        for (const auto& [controller, parameter] : controllerToTarget_) {
            if (parameter == nullptr || controller < 0 || controller > kControllerBits)
                continue;
            std::int32_t data = controller;
            if (modeOf(inverts_, controller, 0) == 1)
                data |= kInvertBit;
            const int range = modeOf(ranges_, controller, kRangeFull);
            if (range == kRangePositive)
                data |= kRangePositiveBit;
            else if (range == kRangeNegative)
                data |= kRangeNegativeBit;
            entries.push_back({controller, parameter, data});
        }
    }
    for (const StoredEntry& entry : entries) {
        const Error error = store->setLong(entry.parameter->getName(), entry.data);
        if (error.failed())
            logErrorLine(3, error);
    }
}

template <class T> void MidiMapper<T>::load() requires std::same_as<T, Parameter*> {
    Preferences* user = getUserPreferences();
    const StationEnvironment* environment = getStationEnvironment();
    if (user == nullptr || environment == nullptr)
        return;
    const std::unique_ptr<Preferences> store(user->createChild(kStoreKey));
    Settings* settings = getSettings();
    if (!store || settings == nullptr)
        return;
    for (const std::string& name : store->getKeys()) {
        auto* parameter = dynamic_cast<Parameter*>(environment->findParameter(settings, name, 0));
        std::int32_t data = 0;
        // A name that no longer names a parameter, or a value that is not a number of this store's form
        // (another type, a negative number, bits beyond the flags), is skipped.
        if (parameter == nullptr || !store->getLong(name, data) || (data & ~kEntryBits) != 0)
            continue;
        const int controller = data & kControllerBits;
        int range = kRangeFull;
        if ((data & kRangeBits) == kRangePositiveBit)
            range = kRangePositive;
        else if ((data & kRangeBits) == kRangeNegativeBit)
            range = kRangeNegative;
        assign(controller, parameter);
        setInvert(controller, (data & kInvertBit) != 0 ? 1 : 0);
        setRange(controller, range);
    }
}

template class MidiMapper<Parameter*>;

} // namespace trov
