#include "engine/zones/ZoneManager.h"

#include "engine/samples/Sample.h"
#include "engine/samples/SampleFiles.h"
#include "engine/zones/Resources.h"
#include "engine/zones/Zone.h"
#include "framework/Dictionary.h"
#include "framework/File.h"
#include "framework/Message.h"
#include "framework/SharedObject.h"
#include "plugin/PluginInfo.h"

#include <mutex>

namespace trov {

namespace {

// A file dropped on the instrument: the extra word points to its path text.
constexpr std::int32_t kDropFile = 3021;

// Zone order: a comes before b when both of its bounds are lower.
bool comesBefore(const KeyRange& a, const KeyRange& b) {
    return a.low < b.low && a.high < b.high;
}

// The resources' sample of the id, loaded now (no lock of ours held) and held for the scope, so that a
// zone taking it under the lock only finds it in the cache.
SharedObjectPtr<Sample> preload(Resources* resources, const std::string& id) {
    return SharedObjectPtr<Sample>(resources != nullptr && !id.empty() ? resources->acquireSample(id, File())
                                                                       : nullptr);
}

} // namespace

ZoneManager::ZoneManager(Radio* parent) : Radio(parent != nullptr ? parent->getOwner() : nullptr) {
    tuneInTo(getResources());
}

ZoneManager::~ZoneManager() {
    std::vector<Zone*> zones;
    {
        std::lock_guard guard(zonesLock_);
        zones = takeAllZones();
    }
    releaseZones(zones);
}

void ZoneManager::exit() {
    std::vector<Zone*> zones;
    {
        std::lock_guard guard(zonesLock_);
        zones = takeAllZones();
    }
    releaseZones(zones);
    tuneOutOf(getResources());
}

std::vector<Zone*> ZoneManager::takeAllZones() {
    std::vector<Zone*> zones;
    zones.swap(zones_);
    current_ = -1;
    publishList();
    for (Zone* zone : zones)
        zone->setManager(nullptr);
    return zones;
}

void ZoneManager::publishList() {
    // Made outside noteMutex_, so that a note waits for the swap alone.
    std::vector<Zone*> copy = zones_;
    {
        std::lock_guard guard(noteMutex_);
        noteZones_.swap(copy);
    }
    publishCurrent();
}

void ZoneManager::publishCurrent() noexcept {
    const Zone* current = current_ >= 0 && current_ < static_cast<int>(zones_.size())
                              ? zones_[static_cast<std::size_t>(current_)]
                              : nullptr;
    currentZone_.store(current, std::memory_order_release);
}

void ZoneManager::releaseZones(const std::vector<Zone*>& zones) {
    for (Zone* zone : zones)
        zone->release();
}

bool ZoneManager::receive(const Message& message) {
    if (!isActive())
        return false;
    if (message.kind == kKindWindow && message.code == Code::kDropItem) {
        const auto* window = dynamic_cast<const WindowMessage*>(&message);
        return window != nullptr && importDropped(File(window->drop.text));
    }
    if (message.kind == kKindWindow && message.code == kDropFile) {
        const char* path = wordToPointer<const char>(message.extra);
        return path != nullptr && importDropped(File(std::string(path)));
    }
    return Radio::receive(message);
}

bool ZoneManager::importDropped(const File& file) {
    std::string refusal;
    {
        const SampleFileRefusals refusals;
        if (importSample(file) != 0)
            return true;
        refusal = refusals.first();
    }
    // A file of another kind is left to whoever tries it next, without a word.
    if (isMeantAsSampleFile(file))
        SampleFileRefusals::refuse(
            !refusal.empty() ? refusal : "The sample file " + file.getPath() + " could not be loaded.");
    return false;
}

void ZoneManager::clearSelection() {
    std::lock_guard guard(zonesLock_);
    selectIndex(-1, false);
}

void ZoneManager::activate() {
    std::lock_guard guard(zonesLock_);
    if (current_ < 0 && !zones_.empty())
        selectIndex(0, false);
    else if (current_ >= 0)
        zones_[static_cast<std::size_t>(current_)]->updateParameters();
    zonesChanged();
    active_.store(true, std::memory_order_relaxed);
}

void ZoneManager::deactivate() {
    std::lock_guard guard(zonesLock_);
    if (current_ >= 0)
        zones_[static_cast<std::size_t>(current_)]->deselected();
    active_.store(false, std::memory_order_relaxed);
}

void ZoneManager::fromDictionary(const Dictionary& dictionary) {
    // The zones are read, and their samples loaded, before the lock is taken: note dispatch keeps
    // finding the old zones meanwhile. A zone being read is no listed zone of the manager: it tells the
    // manager nothing, which would look for it through the whole list once per zone.
    std::vector<Zone*> fresh;
    try {
        if (const Dictionary::View array = dictionary.getArray("zones"))
            array->forEachChild("", [&](const Dictionary& item) {
                if (!item.hasElement())
                    return;
                fresh.push_back(createZoneObject(this, KeyRange(0, 0), ""));
                fresh.back()->setManager(nullptr);
                fresh.back()->fromDictionary(item);
            });
    } catch (...) {
        releaseZones(fresh);
        throw;
    }
    std::vector<Zone*> old;
    {
        std::lock_guard guard(zonesLock_);
        listWillChange();
        deselectCurrent();
        old = takeAllZones();
        for (Zone* zone : fresh)
            zone->setManager(this);
        zones_.swap(fresh);
        publishList();
        zonesChanged();
        selectIndex(0, false);
    }
    releaseZones(old);
}

ZoneManager::ZoneCount ZoneManager::countZones(const Dictionary& dictionary) {
    ZoneCount count;
    if (const Dictionary::View array = dictionary.getArray("zones"))
        array->forEachChild("", [&count](const Dictionary& item) {
            if (!item.hasElement())
                return;
            ++count.zones;
            // The values child a zone reads: "parameters", or "settings" in older documents.
            Dictionary::View values = item.getDictionary("parameters");
            if (!values)
                values = item.getDictionary("settings");
            if (!values)
                return;
            values->forEachChild("", [&count](const Dictionary& entry) {
                if (entry.hasElement())
                    ++count.values;
            });
            std::string id;
            if (const std::uint32_t processing = Sample::processingOf(*values);
                processing != 0 && item.getString("id", &id))
                count.processed.emplace(std::move(id), processing);
        });
    return count;
}

void ZoneManager::toDictionary(Dictionary& dictionary) const {
    std::lock_guard guard(zonesLock_);
    const Dictionary::View array = dictionary.addArray("zones");
    if (!array)
        return;
    for (const Zone* zone : zones_)
        if (const Dictionary::View item = array->addDictionary("zone"))
            zone->toDictionary(*item);
}

Zone* ZoneManager::selectZone(int index) {
    std::lock_guard guard(zonesLock_);
    selectIndex(index, false);
    return current_ >= 0 ? zones_[static_cast<std::size_t>(current_)] : nullptr;
}

bool ZoneManager::trySelectZone(int index) {
    std::unique_lock guard(zonesLock_, std::try_to_lock);
    if (!guard.owns_lock())
        return false;
    selectZone(index);
    return true;
}

void ZoneManager::deselectCurrent() {
    if (current_ < 0)
        return;
    Zone* zone = zones_[static_cast<std::size_t>(current_)];
    if (Sample* sample = zone->getSample())
        sampleDeselected(sample);
    zone->deselected();
}

void ZoneManager::selectIndex(int index, bool force) {
    if (index < 0 || index >= static_cast<int>(zones_.size()))
        index = -1;
    if (index == current_ && !force)
        return;
    deselectCurrent();
    current_ = index;
    publishCurrent();
    if (index < 0)
        return;
    Zone* zone = zones_[static_cast<std::size_t>(index)];
    zone->selected();
    if (Sample* sample = zone->getSample())
        sampleSelected(sample);
    zone->updateParameters();
}

Zone* ZoneManager::createZoneObject(Radio* parent, const KeyRange& range, const std::string& sampleName) {
    return new Zone(this, parent, range, sampleName);
}

int ZoneManager::getZoneCount() const {
    std::lock_guard guard(zonesLock_);
    return static_cast<int>(zones_.size());
}

int ZoneManager::findZoneForKey(int key) const noexcept {
    std::lock_guard guard(noteMutex_);
    return findInNoteList(key);
}

Zone* ZoneManager::acquireZoneForKey(int key, int pairSide) const noexcept {
    std::lock_guard guard(noteMutex_);
    int index = findInNoteList(key);
    if (index >= 0 && pairSide >= 0)
        index = pairSide == 0 ? (index & ~1) : (index | 1);
    if (index < 0 || index >= static_cast<int>(noteZones_.size()))
        return nullptr;
    Zone* zone = noteZones_[static_cast<std::size_t>(index)];
    zone->retain();
    return zone;
}

int ZoneManager::findInNoteList(int key) const noexcept {
    const bool pairs = getOscillatorMixMode();
    bool second = false; // the zone is the second of a pair
    KeyRange previous;
    const int count = static_cast<int>(noteZones_.size());
    for (int i = 0; i < count; ++i) {
        const KeyRange range = noteZones_[static_cast<std::size_t>(i)]->getKeyRange();
        if (range.low <= key && key <= range.high)
            return i;
        // Keys beyond the keyboard play the zone at its edge.
        if (key < keyRange_.low && range.contains(keyRange_.low))
            return i;
        if (key > keyRange_.high && range.contains(keyRange_.high))
            return i;
        // In pairs, a key in the gap between the two zones of a pair plays the first.
        if (pairs && second && previous.high < key && key < range.low)
            return i - 1;
        second = !second;
        previous = range;
    }
    return -1;
}

int ZoneManager::getCurrentZoneIndex() const {
    std::lock_guard guard(zonesLock_);
    return current_;
}

KeyRange ZoneManager::getZoneKeyRange(int index) const {
    std::lock_guard guard(zonesLock_);
    if (index < 0 || index >= static_cast<int>(zones_.size()))
        return KeyRange(0, 0);
    return zones_[static_cast<std::size_t>(index)]->getKeyRange();
}

void ZoneManager::setZoneKeyRange(int index, const KeyRange& range) {
    if (!Zone::isValidKeyRange(range))
        return;
    std::lock_guard guard(zonesLock_);
    if (index >= 0 && index < static_cast<int>(zones_.size()))
        zones_[static_cast<std::size_t>(index)]->setKeyRange(range);
}

int ZoneManager::followTempo(double tempo) {
    std::vector<Zone*> zones;
    {
        std::lock_guard guard(zonesLock_);
        zones.reserve(zones_.size());
        for (Zone* zone : zones_) {
            zone->retain();
            zones.push_back(zone);
        }
    }
    // Rendered without the lock: note look-ups go on meanwhile.
    int swapped = 0;
    for (Zone* zone : zones)
        if (zone->followTempo(tempo))
            ++swapped;
    releaseZones(zones);
    return swapped;
}

Zone* ZoneManager::getZone(int index) const {
    std::lock_guard guard(zonesLock_);
    if (index < 0 || index >= static_cast<int>(zones_.size()))
        return nullptr;
    Zone* zone = zones_[static_cast<std::size_t>(index)];
    zone->retain();
    return zone;
}

Zone* ZoneManager::getCurrentZone() const {
    std::lock_guard guard(zonesLock_);
    return getZone(current_);
}

Zone* ZoneManager::tryGetCurrentZone() const {
    std::unique_lock guard(zonesLock_, std::try_to_lock);
    if (!guard.owns_lock() || current_ < 0 || current_ >= static_cast<int>(zones_.size()))
        return nullptr;
    Zone* zone = zones_[static_cast<std::size_t>(current_)];
    zone->retain();
    return zone;
}

void ZoneManager::zoneChanged(Zone* zone) {
    std::lock_guard guard(zonesLock_);
    for (std::size_t i = 0; i < zones_.size(); ++i)
        if (zones_[i] == zone) {
            selectIndex(static_cast<int>(i), true);
            return;
        }
}

int ZoneManager::insertionIndex(const KeyRange& range) const {
    int index = 0;
    for (const Zone* zone : zones_) {
        if (!comesBefore(zone->getKeyRange(), range))
            break;
        ++index;
    }
    return index;
}

int ZoneManager::addZone(Zone* zone) {
    if (zone == nullptr)
        return -1;
    std::lock_guard guard(zonesLock_);
    listWillChange();
    zone->retain();
    zone->setManager(this);
    const int index = insertionIndex(zone->getKeyRange());
    zones_.insert(zones_.begin() + index, zone);
    if (current_ >= index)
        ++current_;
    publishList();
    selectIndex(index, false);
    zonesChanged();
    return index;
}

int ZoneManager::createZone(const KeyRange& range, const std::string& sampleName) {
    const SharedObjectPtr<Sample> loaded = preload(getResources(), sampleName);
    Zone* zone = createZoneObject(this, range, "");
    std::lock_guard guard(zonesLock_);
    const Resources::CacheOnlyScope cacheOnly;
    listWillChange();
    const int index = insertionIndex(range);
    zones_.insert(zones_.begin() + index, zone);
    if (current_ >= index)
        ++current_;
    publishList();
    selectIndex(index, false);
    zone->setKeyRange(range);
    zone->setSample(sampleName);
    zone->updateParameters();
    zonesChanged();
    return index;
}

void ZoneManager::removeZone(int index) {
    Zone* removed = nullptr;
    {
        std::lock_guard guard(zonesLock_);
        if (index < 0 || index >= static_cast<int>(zones_.size()))
            return;
        listWillChange();
        removed = zones_[static_cast<std::size_t>(index)];
        // The zone is unlinked, and its neighbour selected, while it is still alive; it is released last.
        if (current_ == index && index == 0) {
            deselectCurrent();
            current_ = -1;
            zones_.erase(zones_.begin());
            clearSelection();
        } else {
            if (current_ == index)
                selectIndex(index - 1, false);
            zones_.erase(zones_.begin() + index);
            if (current_ > index)
                --current_;
        }
        publishList();
        removed->setManager(nullptr);
        zonesChanged();
    }
    removed->release();
}

void ZoneManager::removeAllZones() {
    std::vector<Zone*> zones;
    {
        std::lock_guard guard(zonesLock_);
        listWillChange();
        deselectCurrent();
        zones = takeAllZones();
        zonesChanged();
    }
    releaseZones(zones);
}

std::string ZoneManager::getZoneSampleName(int index) const {
    std::lock_guard guard(zonesLock_);
    if (index < 0 || index >= static_cast<int>(zones_.size()))
        return {};
    return zones_[static_cast<std::size_t>(index)]->getSampleName();
}

std::string ZoneManager::getCurrentSampleName() const {
    std::lock_guard guard(zonesLock_);
    return getZoneSampleName(current_);
}

bool ZoneManager::setCurrentZoneSample(const std::string& sampleName) {
    const SharedObjectPtr<Sample> loaded = preload(getResources(), sampleName);
    std::lock_guard guard(zonesLock_);
    const Resources::CacheOnlyScope cacheOnly;
    if (zones_.empty()) {
        createZone(productKeyRange(), sampleName);
        selectZone(0);
        return true;
    }
    if (current_ < 0)
        return false;
    Zone* zone = zones_[static_cast<std::size_t>(current_)];
    zone->setSample(sampleName);
    zone->updateParameters();
    return true;
}

bool ZoneManager::setCurrentZoneSample(Sample* sample) {
    Resources* resources = getResources();
    if (sample == nullptr || resources == nullptr)
        return false;
    return setCurrentZoneSample(resources->addSample("", sample, ""));
}

int ZoneManager::importSample(const File& file) {
    Resources* resources = getResources();
    if (resources == nullptr)
        return 0;
    // Everything that reads the file (and may show an error) runs before the lock is taken.
    Sample* probe = loadSampleFile(this, file, false);
    if (probe == nullptr)
        return 0;
    probe->release();
    const std::string id = resources->addSampleFile("", file);
    const SharedObjectPtr<Sample> loaded = preload(resources, id);
    if (!loaded)
        return 0;

    std::lock_guard guard(zonesLock_);
    const Resources::CacheOnlyScope cacheOnly;
    const KeyRange range =
        current_ >= 0 ? zones_[static_cast<std::size_t>(current_)]->getKeyRange() : productKeyRange();
    if (current_ >= 0)
        removeZone(current_);
    // A fresh id that names nothing yet: the resources find no sample for it and ask nobody.
    const int index = createZone(range, Resources::createId());
    if (Zone* zone = selectZone(index))
        zone->setSample(id);
    return 1;
}

KeyRange ZoneManager::productKeyRange() const {
    const PluginInfo* info = getPluginInfo();
    return info != nullptr ? info->getKeyRange() : keyRange_;
}

} // namespace trov
