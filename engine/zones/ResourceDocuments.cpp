// The resources' documents: the resource description, the "samples" of state documents read and written.
#include "engine/samples/Sample.h"
#include "engine/samples/SampleFiles.h"
#include "engine/zones/MissingSampleHandler.h"
#include "engine/zones/Resources.h"
#include "framework/Logger.h"

#include <algorithm>
#include <exception>
#include <mutex>
#include <optional>
#include <set>

namespace trov {

namespace {

const char* const kSamplesKey = "samples";
// The skipped samples of one document the log names; the rest it counts (a bank may name many thousands).
constexpr std::size_t kLoggedSkips = 20;

// The element items of an array.
template <class Visit> void forEachItem(const Dictionary& dictionary, const std::string& key, Visit visit) {
    if (const Dictionary::View array = dictionary.getArray(key))
        array->forEachChild("", [&visit](const Dictionary& item) {
            if (item.hasElement())
                visit(item);
        });
}

// The entries of a sample item that a kept item gets afresh ("id", "filename") or never carries (the
// audio and its format).
bool isWrittenApart(const std::string& key) {
    static const std::set<std::string> keys = {"id",         "filename", "channels",  "samples",
                                               "samplerate", "bitdepth", "sampledata"};
    return keys.count(key) != 0;
}

// The name a skipped sample keeps: a relative name found nowhere in the document's folder names the file
// there, from the root; any other as the document gave it (a host chunk's relative name, which only the
// data folder or the current folder make sense of, and every name from the root).
std::string namedFile(const std::string& filename, const File& recorded) {
    return isRelativePath(filename) && !recorded.getFolder().isRelative() ? recorded.getPath() : filename;
}

// Reads a sample dictionary into the sample; a broken embedded sample is logged and leaves it empty. Why
// it could not be read; empty when it was.
std::string readInto(Sample& sample, const Dictionary& item) {
    try {
        sample.fromDictionary(item);
    } catch (const std::exception& exception) {
        logLine(3, "caught exception: %s", exception.what());
        return exception.what();
    }
    return std::string();
}

} // namespace

Error Resources::load(const File& file) {
    Dictionary description;
    if (!description.load(file))
        return ErrorImportFailed("Resources::load", file);
    {
        std::lock_guard guard(lock_);
        description_ = description;
    }
    readSamples();
    return NoError();
}

std::optional<Dictionary> Resources::descriptionItem(const std::string& id) const {
    std::lock_guard guard(lock_);
    const Dictionary::View item = description_.getArrayDictionary(kSamplesKey, id);
    if (!item)
        return std::nullopt;
    Dictionary copy;
    copy.copyFrom(*item);
    return copy;
}

File Resources::descriptionFile(const std::string& filename) const {
    if (!isRelativePath(filename))
        return File(filename);
    return samplesFolder_ + File(filename);
}

void Resources::readSamples() {
    // A document of its own, so that loading (which looks items up again) never shares one.
    Dictionary description;
    {
        std::lock_guard guard(lock_);
        description.copyFrom(description_);
    }
    forEachItem(description, kSamplesKey, [this](const Dictionary& item) {
        const std::string name = item.getName();
        if (name.empty())
            return;
        Sample* sample = acquireSample(name, File());
        if (sample == nullptr) {
            sample = new Sample(this);
            readInto(*sample, item);
            if (sample->getData() == nullptr) {
                sample->release();
                logLine(3, "Resources: sample %s of the description did not load, skipped", name.c_str());
                return;
            }
            std::lock_guard guard(lock_);
            if (Sample* cached = retainCached(name)) {
                sample->release();
                sample = cached;
            } else {
                cacheEntry(name, sample, File());
            }
        }
        // Resident samples hold one more reference for good; the others are the cache's until the next
        // purge finds them unused.
        if (sample->testFlags(Sample::kFlagResident)) {
            std::lock_guard guard(lock_);
            if (residents_.insert(sample).second)
                sample->retain();
        }
        sample->release();
    });
}

void Resources::readDocumentSamples(const Dictionary& dictionary, const Folder& documentFolder,
                                    SkippedSamples* skipped, const void* holder) {
    DocumentRead read{holder, skipped};
    forEachItem(dictionary, kSamplesKey,
                [&](const Dictionary& item) { readSampleItem(item, documentFolder, read); });
    if (read.skipped > kLoggedSkips)
        logLine(3, "Resources: %zu more samples of the document not found or not read, skipped",
                read.skipped - kLoggedSkips);
}

void Resources::readSampleItem(const Dictionary& item, const Folder& documentFolder, DocumentRead& read) {
    std::string id;
    std::string filename;
    item.getString("id", &id);
    item.getFileName("filename", &filename);
    if (id.empty())
        return;
    {
        // What this document says of the id replaces what the holder kept of it from an earlier one.
        std::lock_guard guard(lock_);
        forgetKept(id, read.holder);
    }
    // A known id names the sample already in use: its data is never replaced under its players.
    if (findSample(id) != nullptr)
        return;
    const bool embedded = item.findEntry("sampledata") != nullptr;
    // What is recorded is what a document written from this one names (a host chunk carries no audio):
    // a file that exists, wherever the relative name was found.
    const File recorded = resolveSampleName(filename, documentFolder);
    if (!filename.empty() && !embedded) {
        File file(recorded);
        bool shared = false;
        {
            std::lock_guard guard(lock_);
            shared = firstIdOfPath(file.getPath()) != nullptr;
        }
        // Searched here, the document's folder first, so a file found nowhere is asked for once.
        const bool found = shared || locate(file, documentFolder, false);
        Sample* sample = found ? acquireSample(id, file) : nullptr;
        if (sample == nullptr) {
            keepSkipped(id, namedFile(filename, recorded), item, !found, read);
            return;
        }
        // The document's positions and flags go to a sample loaded for it (resident data is unmasked
        // once); a sample another id already uses is taken as it is.
        if (!shared)
            readInto(*sample, item);
        sample->release(); // the cache keeps it
        announce(id);
        return;
    }
    Sample* sample = new Sample(this);
    const std::string unread = readInto(*sample, item);
    if (sample->getData() != nullptr) {
        // Under the same path as the file's other ids of the document, which share this audio.
        addSample(id, sample, filename.empty() ? filename : recorded.getPath());
        sample->release(); // the cache keeps it
        return;
    }
    sample->release();
    // Without usable embedded audio the recorded file may still do (a patch file's samples have none).
    const bool named = !filename.empty() && filename.find("kpr") == std::string::npos;
    File file(recorded);
    const bool found = named && locate(file, documentFolder, false);
    if (Sample* located = found ? acquireSample(id, file) : nullptr) {
        located->release(); // the cache keeps it
        announce(id);
        return;
    }
    // Audio that could not be read is the only copy there may be: the item goes back as it came.
    if (!unread.empty())
        keepUnread(id, filename, item, unread, read);
    else if (named)
        keepSkipped(id, namedFile(filename, recorded), item, !found, read);
}

Resources::DocumentSample Resources::findDocumentSample(const std::string& id, const Dictionary* item,
                                                        const Folder& documentFolder) const {
    // As readSampleItem finds it.
    DocumentSample found;
    const auto cachedUnder = [&](const std::string& path) {
        std::lock_guard guard(lock_);
        const std::string* other = path.empty() ? &id : firstIdOfPath(path);
        const auto entry = other != nullptr ? samples_.find(*other) : samples_.end();
        found.cached = entry != samples_.end() ? entry->second.sample : nullptr;
        return found.cached != nullptr;
    };
    if (id.empty() || cachedUnder(std::string()) || item == nullptr)
        return found;
    std::string filename;
    item->getFileName("filename", &filename);
    // Embedded audio that reads gives the sample; without any, the recorded file may still do.
    found.values = Sample::declaredHeldValues(*item);
    found.name = "item " + id;
    if (found.values > 0 || filename.empty())
        return found;
    File file = resolveSampleName(filename, documentFolder);
    if (cachedUnder(file.getPath()) || !search(file, documentFolder) || cachedUnder(fromRoot(file).getPath()))
        return found;
    found.name = "file " + fromRoot(file).getPath();
    found.values = sampleFileHeldValues(file);
    return found;
}

void Resources::keepSkipped(const std::string& id, const std::string& filename, const Dictionary& item,
                            bool notFound, DocumentRead& read) {
    if (++read.skipped <= kLoggedSkips)
        logLine(3, "Resources: sample %s (%s) not found, skipped", id.c_str(), filename.c_str());
    Dictionary entries;
    item.forEachChild("", [&entries](const Dictionary& entry) {
        if (entry.hasElement() && !isWrittenApart(entry.getName()))
            entries.appendChild(entry);
    });
    {
        std::lock_guard guard(lock_);
        skipped_[id][read.holder] = Skipped{filename, entries, false};
    }
    const MissingSampleHandler* handler = missingSampleHandler_.load(std::memory_order_acquire);
    if (notFound && read.told != nullptr && (handler == nullptr || !handler->canAskForSample()))
        read.told->unasked.push_back(filename);
}

void Resources::keepUnread(const std::string& id, const std::string& filename, const Dictionary& item,
                           const std::string& reason, DocumentRead& read) {
    if (++read.skipped <= kLoggedSkips)
        logLine(3, "Resources: sample %s (%s) not read, kept as it came: %s", id.c_str(), filename.c_str(),
                reason.c_str());
    Dictionary whole;
    whole.copyFrom(item);
    {
        std::lock_guard guard(lock_);
        skipped_[id][read.holder] = Skipped{std::string(), whole, true};
    }
    if (read.told != nullptr)
        read.told->unreadable.emplace_back(filename.empty() ? id : id + " (" + filename + ")", reason);
}

File Resources::resolveSampleName(const std::string& filename, const Folder& documentFolder) const {
    if (filename.empty() || !isRelativePath(filename))
        return File(filename);
    // Never the process's current folder: a plug-in's is its host's. The demo bank names its sample
    // within the data folder, wherever the bank itself lies. A document dropped by a relative path has a
    // relative folder, which only this process's current folder makes sense of: what is recorded is named
    // from the root.
    for (const Folder* folder : {&documentFolder, &dataFolder_})
        if (!folder->isEmpty())
            if (File file = *folder + File(filename); file.exists())
                return fromRoot(file);
    return documentFolder.isEmpty() ? File(filename) : fromRoot(documentFolder + File(filename));
}

void Resources::saveSamples(Dictionary& dictionary, bool withData) {
    writeSamples(dictionary, nullptr, withData, nullptr);
}

void Resources::saveSamplesOf(Dictionary& dictionary, const std::set<std::string>& ids, bool withData,
                              const void* holder) {
    writeSamples(dictionary, &ids, withData, holder);
}

void Resources::writeSamples(Dictionary& dictionary, const std::set<std::string>* ids, bool withData,
                             const void* holder) {
    struct Item {
        std::string id;
        std::string filename;
        Sample* sample;                    // null for a skipped sample's kept item
        std::optional<Dictionary> entries; // a copy of the kept item's entries, or of the whole item
        bool whole = false;
    };
    // Taken under the lock, written (and the audio encoded) after it.
    std::vector<Item> items;
    {
        std::lock_guard guard(lock_);
        // The holder's own kept item of an id is what its document named, whatever sample the id has since.
        const auto ownKept = [&](const std::map<const void*, Skipped>& kept) {
            return holder != nullptr ? kept.find(holder) : kept.end();
        };
        for (const auto& [id, entry] : samples_) {
            ++visited_;
            if ((ids != nullptr && ids->count(id) == 0) || !entry.sample->testFlags(Sample::kFlagExport))
                continue;
            if (const auto kept = skipped_.find(id);
                kept != skipped_.end() && ownKept(kept->second) != kept->second.end())
                continue;
            entry.sample->retain();
            items.push_back({id, entry.file.getName().empty() ? std::string() : entry.file.getPath(),
                             entry.sample, std::nullopt});
        }
        for (const auto& [id, kept] : skipped_) {
            ++visited_;
            const auto own = ownKept(kept);
            if ((ids != nullptr && ids->count(id) == 0) || (own == kept.end() && samples_.count(id) != 0))
                continue;
            const Skipped& item = own != kept.end() ? own->second : kept.begin()->second;
            items.push_back({id, item.filename, nullptr, std::nullopt, item.whole});
            items.back().entries.emplace().copyFrom(item.entries);
        }
    }
    // In id order, whether a sample was had or skipped: a document read and written again keeps its order.
    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.id < b.id; });
    const Dictionary::View array = dictionary.addArray(kSamplesKey);
    std::set<std::string> filesWritten;
    for (const Item& item : items) {
        // An item whose audio could not be read goes back whole, as it came.
        if (item.whole && array) {
            array->appendChild(*item.entries);
            continue;
        }
        if (const Dictionary::View entry = array ? array->addDictionary("sample") : nullptr) {
            entry->setString("id", item.id);
            entry->setFileName("filename", item.filename);
            if (item.sample == nullptr) {
                item.entries->forEachChild("",
                                           [&entry](const Dictionary& kept) { entry->appendChild(kept); });
                continue;
            }
            item.sample->writePositions(*entry);
            // A file's audio once; samples without a file each keep their own.
            const bool written = !item.filename.empty() && !filesWritten.insert(item.filename).second;
            if (withData && !written)
                item.sample->toDictionary(*entry);
        }
    }
    // Only the hold taken above goes: a sample nobody took yet stays for the next purge to judge.
    for (const Item& item : items)
        if (item.sample != nullptr)
            item.sample->release();
}

} // namespace trov
