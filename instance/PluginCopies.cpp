// The copies zones share when they normalize, reverse or invert a sample: counted against their budget
// before a document is read and again once its samples are, and made before its programs change.
#include "engine/samples/Sample.h"
#include "engine/zones/Resources.h"
#include "engine/zones/Zone.h"
#include "framework/Dictionary.h"
#include "framework/SharedObject.h"
#include "instance/Plugin.h"
#include "instance/Preset.h"
#include "instance/Program.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace trov {

namespace {

// The references the zones of these presets hold on each shared copy they play.
std::map<const Sample*, std::int32_t> copyHolds(const std::vector<const Preset*>& presets) {
    std::map<const Sample*, std::int32_t> holds;
    for (const Preset* preset : presets)
        for (int p = 0; p < preset->getProgramCount(); ++p) {
            const Program* program = preset->getProgram(p);
            const ZoneManager* zones = program != nullptr ? program->getZoneManager() : nullptr;
            for (int z = 0; zones != nullptr && z < zones->getZoneCount(); ++z)
                if (const SharedObjectPtr<Zone> zone(zones->getZone(z)); zone && zone->holdsPrivateCopy())
                    ++holds[zone->getSample()];
        }
    return holds;
}

// Empty when the copies the counted zones need, each told by find(id) (the sample it copies, else a name
// telling that sample apart and the values it holds), with those held already, stay within the budget once
// the replaced presets' programs let theirs go; else what the user is told.
template <class Find>
std::string copiesRefusal(const ZoneManager::ZoneCount& count, const std::vector<const Preset*>& replaced,
                          Find find) {
    // What is held once the document is read: the copies living now that anybody besides the programs
    // it replaces holds, and each copy its zones need that is not among them.
    const std::map<const Sample*, std::int32_t> letGo = copyHolds(replaced);
    std::uint64_t kept = 0;
    std::set<std::pair<const Sample*, std::uint32_t>> keptCopies;
    for (const Zone::SharedCopy& copy : Zone::sharedCopies()) {
        const auto replacedHolds = letGo.find(copy.copy);
        if (copy.holders > (replacedHolds != letGo.end() ? replacedHolds->second : 0)) {
            kept += copy.values;
            keptCopies.emplace(copy.source, copy.processing);
        }
    }
    std::uint64_t added = 0;
    std::set<std::tuple<const Sample*, std::string, std::uint32_t>> needed;
    for (const auto& [id, processing] : count.processed) {
        const Resources::DocumentSample sample = find(id);
        if (sample.cached != nullptr && keptCopies.count({sample.cached, processing}) != 0)
            continue;
        if (needed.emplace(sample.cached, sample.name, processing).second)
            added += sample.cached != nullptr ? Zone::sharedCopyValues(*sample.cached) : sample.values;
    }
    if (kept + added <= Plugin::kMaxProcessedValues)
        return std::string();
    return "These settings hold " + std::to_string(kept + added) +
           " values of sample data in the copies their zones normalize, reverse or invert" +
           (kept > 0 ? " (" + std::to_string(kept) + " of them in copies already held)" : std::string()) +
           " and cannot be loaded: the copies of a bank or patch hold at most " +
           std::to_string(Plugin::kMaxProcessedValues) + " values, one for each sample and processing.";
}

} // namespace

std::vector<const Preset*> Plugin::allPresets() const {
    std::vector<const Preset*> presets;
    for (const std::unique_ptr<Preset>& preset : presets_)
        presets.push_back(preset.get());
    return presets;
}

std::string Plugin::copyRefusal(const ZoneManager::ZoneCount& count, const Dictionary& document,
                                const std::vector<const Preset*>& replaced) const {
    const Resources* resources = getResources();
    if (count.processed.empty() || resources == nullptr)
        return std::string();
    // The first item of each id the zones process is the one read.
    std::set<std::string> ids;
    for (const auto& [id, processing] : count.processed)
        ids.insert(id);
    std::map<std::string, Dictionary> items;
    if (const Dictionary::View resourceItems = document.getDictionary("resources"))
        if (const Dictionary::View samples = resourceItems->getArray("samples"))
            samples->forEachChild("", [&](const Dictionary& item) {
                std::string id;
                if (item.hasElement() && item.getString("id", &id) && ids.count(id) != 0)
                    items.emplace(id, item);
            });
    const Folder folder = documentFolder_.value_or(Folder());
    return copiesRefusal(count, replaced, [&](const std::string& id) {
        const auto item = items.find(id);
        return resources->findDocumentSample(id, item != items.end() ? &item->second : nullptr, folder);
    });
}

std::string Plugin::copyRefusal(const ZoneManager::ZoneCount& count,
                                const std::vector<const Preset*>& replaced) const {
    const Resources* resources = getResources();
    if (count.processed.empty() || resources == nullptr)
        return std::string();
    return copiesRefusal(count, replaced, [&](const std::string& id) {
        Resources::DocumentSample read;
        read.cached = resources->findSample(id);
        return read;
    });
}

} // namespace trov
