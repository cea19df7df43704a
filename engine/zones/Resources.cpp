// The resources' sample cache: ids, look-ups, loading, counting and the search for missing files.
#include "engine/zones/Resources.h"

#include "engine/samples/Sample.h"
#include "engine/samples/SampleFiles.h"
#include "engine/zones/MissingSampleHandler.h"
#include "framework/EditorServices.h"
#include "framework/Logger.h"
#include "framework/Preferences.h"
#include "framework/Random.h"
#include "plugin/PluginEnvironment.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <iterator>
#include <mutex>
#include <optional>
#include <set>
#include <system_error>
#include <vector>

namespace trov {

namespace {

constexpr int kIdLetters = 32;
constexpr int kIdGroup = 4;
// The search looks at a search folder, its parent and its grandparent...
constexpr int kSearchLevels = 3;
// ...each followed by up to two of the missing file's own last folder names.
constexpr std::size_t kKeptFolderNames = 2;

thread_local int cacheOnlyDepth = 0;

// The machine preference "InstallPath" followed by the named folder preference (none when null).
Folder installFolder(const char* subfolder) {
    std::string install;
    std::string sub;
    if (const Preferences* machine = getMachinePreferences()) {
        machine->getString("InstallPath", install);
        if (subfolder != nullptr)
            machine->getString(subfolder, sub);
    }
    return Folder(install) + Folder(sub);
}

} // namespace

std::uint64_t Resources::visitedEntries() const {
    std::lock_guard guard(lock_);
    return visited_;
}

Resources::CacheOnlyScope::CacheOnlyScope() {
    ++cacheOnlyDepth;
}

Resources::CacheOnlyScope::~CacheOnlyScope() {
    --cacheOnlyDepth;
}

Resources::Resources(Radio* parent)
    : Radio(parent != nullptr ? parent->getOwner() : nullptr), samplesFolder_(installFolder("SamplesDir")),
      dataFolder_(installFolder(nullptr)) {
    logLine(2, "Resources::samplesPath = %s", samplesFolder_.getPath().c_str());
    addSampleFolder(getStandardFolder(1));
    addSampleFolder(getStandardFolder(2));
}

Resources::~Resources() {
    PluginEnvironment& environment = PluginEnvironment::instance();
    if (environment.getResources() == this)
        environment.setResources(nullptr);
    std::set<Sample*> cached;
    std::set<BitmapInterface*> bitmaps;
    {
        std::lock_guard guard(lock_);
        for (Sample* resident : residents_)
            resident->release();
        residents_.clear();
        for (Sample* retained : retainedForLoad_)
            retained->release();
        retainedForLoad_.clear();
        for (const auto& [id, entry] : samples_)
            cached.insert(entry.sample);
        samples_.clear();
        idsOfSample_.clear();
        idsOfPath_.clear();
    }
    {
        std::lock_guard guard(bitmapsMutex_);
        for (const auto& [name, bitmap] : bitmaps_)
            bitmaps.insert(bitmap);
        bitmaps_.clear();
    }
    // Only the cache's own references go: whoever still holds a sample or bitmap keeps it.
    for (Sample* sample : cached)
        sample->release();
    for (BitmapInterface* bitmap : bitmaps)
        bitmap->release();
}

File Resources::fromRoot(const File& file) {
    if (file.getName().empty() || !file.getFolder().isRelative())
        return file;
    const Folder current = Folder::getCurrent();
    if (current.isRelative()) // the current folder cannot be told
        return file;
    const File joined = current + file;
    std::string path;
    std::vector<std::string> kept;
    for (const std::string& part : joined.getFolder().getComponents()) {
        if (part == "..") {
            if (!kept.empty())
                kept.pop_back();
        } else if (part != ".") {
            kept.push_back(part);
        }
    }
    for (const std::string& part : kept)
        path += "/" + part;
    const File normal(path + "/" + joined.getName());
    // After a symbolic link, ".." leads to the parent of the link's target, not back to the folder the text
    // shows: a shorter path that names another file gives way to the file's own, links resolved.
    std::error_code error;
    if (joined.exists() && !std::filesystem::equivalent(joined.getPath(), normal.getPath(), error)) {
        const std::filesystem::path real = std::filesystem::weakly_canonical(joined.getPath(), error);
        return error ? joined : File(real.string());
    }
    return normal;
}

bool Resources::isSampleFile(const File& file) {
    return canLoadSampleFile(file);
}

std::string Resources::createId() {
    std::string id;
    id.reserve(kIdLetters + kIdLetters / kIdGroup - 1);
    for (int i = 0; i < kIdLetters; ++i) {
        if (i > 0 && i % kIdGroup == 0)
            id += '-';
        id += static_cast<char>('A' + randomInt(0, 25));
    }
    return id;
}

bool Resources::isCached(const Sample* sample) const {
    return idsOfSample_.count(sample) != 0;
}

void Resources::indexEntry(const std::string& id, const Entry& entry) {
    idsOfSample_[entry.sample].insert(id);
    if (!entry.file.getName().empty())
        idsOfPath_[entry.file.getPath()].insert(id);
}

void Resources::unindexEntry(const std::string& id, const Entry& entry) {
    if (const auto ids = idsOfSample_.find(entry.sample); ids != idsOfSample_.end()) {
        ids->second.erase(id);
        if (ids->second.empty())
            idsOfSample_.erase(ids);
    }
    if (entry.file.getName().empty())
        return;
    if (const auto ids = idsOfPath_.find(entry.file.getPath()); ids != idsOfPath_.end()) {
        ids->second.erase(id);
        if (ids->second.empty())
            idsOfPath_.erase(ids);
    }
}

const std::string* Resources::firstIdOfPath(const std::string& path) const {
    const auto ids = idsOfPath_.find(path);
    return ids != idsOfPath_.end() && !ids->second.empty() ? &*ids->second.begin() : nullptr;
}

void Resources::eraseEntriesOf(Sample* sample) {
    const auto found = idsOfSample_.find(sample);
    if (found == idsOfSample_.end())
        return;
    const std::set<std::string> ids = found->second;
    for (const std::string& id : ids)
        if (const auto it = samples_.find(id); it != samples_.end()) {
            unindexEntry(id, it->second);
            samples_.erase(it);
        }
}

Sample* Resources::retainCached(const std::string& id) {
    const auto it = samples_.find(id);
    if (it == samples_.end())
        return nullptr;
    it->second.sample->retain();
    return it->second.sample;
}

void Resources::forgetKept(const std::string& id, const void* holder) {
    if (const auto kept = skipped_.find(id); kept != skipped_.end()) {
        kept->second.erase(holder);
        if (kept->second.empty())
            skipped_.erase(kept);
    }
}

void Resources::cacheEntry(const std::string& id, Sample* sample, const File& file) {
    // An id that has a sample is written from it, no longer from an item kept for no holder; a holder's own
    // item stays until its own document names the id again (another instance's load is no reason to name
    // another file).
    forgetKept(id, nullptr);
    const auto it = samples_.find(id);
    Sample* previous = it != samples_.end() ? it->second.sample : nullptr;
    if (it != samples_.end() && previous == sample) {
        unindexEntry(id, it->second);
        it->second.file = file;
        indexEntry(id, it->second);
        return;
    }
    if (!isCached(sample))
        sample->retain();
    if (it != samples_.end()) {
        unindexEntry(id, it->second);
        it->second = Entry{sample, file};
        indexEntry(id, it->second);
    } else {
        indexEntry(id, samples_.emplace(id, Entry{sample, file}).first->second);
    }
    // A sample that lost its last id is no longer the cache's.
    if (previous != nullptr && !isCached(previous))
        previous->release();
}

void Resources::releaseLocked(Sample* sample) {
    if (!isCached(sample)) {
        sample->release();
        return;
    }
    // A release the cache's own reference would answer: the sample goes with its entries rather than
    // leaving them dangling.
    if (sample->getReferenceCount() <= 1) {
        eraseEntriesOf(sample);
        sample->release();
        return;
    }
    // The cache's reference keeps the count above zero, so this release never deletes; when it leaves
    // only that reference, nobody uses the sample any more.
    if (sample->release() == 1) {
        eraseEntriesOf(sample);
        sample->release();
    }
}

Sample* Resources::findSample(const std::string& id) const {
    if (id.empty())
        return nullptr;
    std::lock_guard guard(lock_);
    const auto it = samples_.find(id);
    return it != samples_.end() ? it->second.sample : nullptr;
}

File Resources::getSampleFile(const std::string& id) const {
    std::lock_guard guard(lock_);
    const auto it = samples_.find(id);
    return it != samples_.end() ? it->second.file : File();
}

Sample* Resources::acquireSample(const std::string& id, const File& given) {
    if (id.empty())
        return nullptr;
    // Entries are looked up by the path they record, which is named from the root.
    const File file = fromRoot(given);
    {
        std::lock_guard guard(lock_);
        if (Sample* cached = retainCached(id))
            return cached;
        if (const std::string* other = file.getName().empty() ? nullptr : firstIdOfPath(file.getPath())) {
            const Entry entry = samples_.at(*other);
            cacheEntry(id, entry.sample, entry.file);
            entry.sample->retain();
            return entry.sample;
        }
    }
    if (cacheOnlyDepth > 0)
        return nullptr;
    return loadSampleFile(id, file, true);
}

Sample* Resources::loadSample(const std::string& id, const File& file) {
    return acquireSample(id, file);
}

Sample* Resources::loadSampleFile(const std::string& id, const File& file, bool loadData) {
    if (cacheOnlyDepth > 0)
        return nullptr;
    File source(file);
    std::optional<Dictionary> item;
    if (source.getName().empty()) {
        // Without a file the description says where the id's sample lies; an id it does not know is
        // simply not found: no search, no question.
        item = descriptionItem(id);
        std::string filename;
        if (!item || !item->getString("filename", &filename) || filename.empty())
            return nullptr;
        source = descriptionFile(filename);
    }
    if (!source.exists() && !locateSampleFile(source))
        return nullptr;
    // What the entry records is named from the root: a document written from it (a host chunk, which
    // carries no audio) is read again by a process in another folder.
    source = fromRoot(source);
    Sample* sample = trov::loadSampleFile(this, source, loadData);
    if (sample == nullptr)
        return nullptr;
    if (item) {
        // The description's keys (positions, flags, the unmasking of resident data) go with every load.
        try {
            sample->fromDictionary(*item);
        } catch (const std::exception& exception) {
            logLine(3, "caught exception: %s", exception.what());
        }
        if (loadData && sample->getData() == nullptr) {
            sample->release();
            return nullptr;
        }
    }
    std::lock_guard guard(lock_);
    // Another thread may have loaded the id meanwhile: one object per id.
    if (Sample* cached = retainCached(id)) {
        sample->release();
        return cached;
    }
    cacheEntry(id, sample, source);
    return sample;
}

std::string Resources::addSample(const std::string& id, Sample* sample, const std::string& filename) {
    std::string key = id.empty() ? createId() : id;
    if (sample == nullptr)
        return key;
    const File file = filename.empty() ? File() : fromRoot(File(filename));
    {
        std::lock_guard guard(lock_);
        cacheEntry(key, sample, file);
    }
    announce(key);
    return key;
}

void Resources::announce(const std::string& id) {
    broadcast(ResourceMessage(this, Code::kResourceAdded, id, 0));
}

std::string Resources::addSampleFile(const std::string& id, const File& file) {
    std::string key = id.empty() ? createId() : id;
    // The cache keeps what loaded; whoever takes the id next holds it.
    if (Sample* sample = acquireSample(key, file))
        sample->release();
    announce(key);
    return key;
}

void Resources::releaseSample(Sample* sample) {
    if (sample == nullptr)
        return;
    std::lock_guard guard(lock_);
    releaseLocked(sample);
}

void Resources::releaseSampleById(const std::string& id) {
    std::lock_guard guard(lock_);
    const auto it = samples_.find(id);
    if (it != samples_.end())
        releaseLocked(it->second.sample);
}

void Resources::retainAll() {
    std::lock_guard guard(lock_);
    std::set<Sample*> cached;
    for (const auto& [id, entry] : samples_) {
        ++visited_;
        if (cached.insert(entry.sample).second) {
            entry.sample->retain();
            retainedForLoad_.push_back(entry.sample);
        }
    }
}

void Resources::purgeUnused() {
    std::lock_guard guard(lock_);
    // A retained sample may have left the cache meanwhile; this is then its last reference.
    for (Sample* retained : retainedForLoad_)
        retained->release();
    retainedForLoad_.clear();
    std::set<Sample*> unused;
    for (const auto& [id, entry] : samples_) {
        ++visited_;
        if (entry.sample->getReferenceCount() == 1)
            unused.insert(entry.sample);
    }
    for (Sample* sample : unused) {
        eraseEntriesOf(sample);
        sample->release();
    }
}

void Resources::holdKeptItems(const void* holder, const std::set<std::string>& ids) {
    std::lock_guard guard(lock_);
    for (auto it = skipped_.begin(); it != skipped_.end();) {
        ++visited_;
        std::map<const void*, Skipped>& kept = it->second;
        if (ids.count(it->first) == 0)
            kept.erase(holder);
        else if (const auto unheld = kept.find(nullptr); unheld != kept.end())
            kept.emplace(holder, unheld->second);
        kept.erase(nullptr);
        it = kept.empty() ? skipped_.erase(it) : std::next(it);
    }
}

std::size_t Resources::countKeptItems() const {
    std::lock_guard guard(lock_);
    std::size_t count = 0;
    for (const auto& [id, kept] : skipped_)
        count += kept.size();
    return count;
}

void Resources::addSampleFolder(const Folder& folder) {
    if (folder.isEmpty() || !folder.exists())
        return;
    logLine(2, "adding %s to resources", folder.getPath().c_str());
    std::lock_guard guard(lock_);
    if (std::find(searchFolders_.begin(), searchFolders_.end(), folder) == searchFolders_.end())
        searchFolders_.push_back(folder);
}

bool Resources::locateSampleFile(File& file, const Folder& firstFolder) {
    return locate(file, firstFolder, true);
}

bool Resources::locate(File& file, const Folder& firstFolder, bool logMissing) {
    if (search(file, firstFolder))
        return true;
    if (logMissing)
        logLine(3, "Unable to locate sample file %s", file.getPath().c_str());
    MissingSampleHandler* handler = missingSampleHandler_.load(std::memory_order_acquire);
    return handler != nullptr && handler->askForSample(file);
}

bool Resources::search(File& file, const Folder& firstFolder) const {
    if (file.exists())
        return true;
    std::vector<Folder> folders;
    if (!firstFolder.isEmpty())
        folders.push_back(firstFolder);
    {
        std::lock_guard guard(lock_);
        folders.insert(folders.end(), searchFolders_.begin(), searchFolders_.end());
    }
    const Folder recorded = file.getFolder();
    const File name = file.nameOnly();
    std::set<std::string> tried;
    for (const Folder& searchFolder : folders) {
        Folder level = searchFolder;
        for (int up = 0; up < kSearchLevels && !level.isEmpty(); ++up, level = level.getParent()) {
            for (std::size_t kept = 0; kept <= kKeptFolderNames; ++kept) {
                if (kept > recorded.getComponents().size())
                    break;
                const Folder candidate = level + recorded.getTail(kept);
                if (!tried.insert(candidate.getPath()).second)
                    continue;
                const File found(candidate, name);
                logLine(0, "candidate: %s", found.getPath().c_str());
                if (found.exists()) {
                    file = found;
                    return true;
                }
            }
        }
    }
    return false;
}

void Resources::setMissingSampleHandler(MissingSampleHandler* handler) {
    missingSampleHandler_.store(handler, std::memory_order_release);
}

} // namespace trov
