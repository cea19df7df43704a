#pragma once

#include "framework/CriticalSection.h"
#include "framework/Dictionary.h"
#include "framework/Error.h"
#include "framework/File.h"
#include "framework/Folder.h"
#include "framework/Radio.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace trov {

class BitmapInterface;
class MissingSampleHandler;
class Sample;

// What reading a document's samples leaves its reader to tell the user.
struct SkippedSamples {
    // The files found nowhere that nobody could be asked for.
    std::vector<std::string> unasked;
    // The items whose audio could not be read: each one's name (its id, and its file when it names one)
    // and why.
    std::vector<std::pair<std::string, std::string>> unreadable;
};

// The process-wide resource manager: the resource description, the editor's skin bitmaps by name (loaded
// on first use through the editor services) and every sample any plug-in instance uses, by resource id,
// shared between instances. Created and loaded by the process-wide context and registered as the station
// environment's resources; zone managers listen to it (a ResourceMessage, code 0, names every sample
// added).
//
// Counting: the cache holds one reference of its own on every cached sample and bitmap; every acquire
// hands the caller one more. A sample whose last user gives it back through the resources leaves the
// cache; one that nobody took since it was loaded stays until the next purge. Resident samples of the
// description keep an extra reference until the resources end.
//
// Threads: any instance and the sample players reach the sample cache; one lock guards it and is never
// held over file loading or a dialog (files are loaded first, then the lock is taken to look up, insert or
// swap). Bitmaps are asked for by the editor thread.
class Resources : public Radio {
public:
    // While one exists on a thread, that thread's acquires only look in the cache: no file is read and
    // nobody is asked. Holders of a lock that note dispatch takes keep one for as long as they hold it.
    class CacheOnlyScope {
    public:
        CacheOnlyScope();
        ~CacheOnlyScope();
        CacheOnlyScope(const CacheOnlyScope&) = delete;
        CacheOnlyScope& operator=(const CacheOnlyScope&) = delete;
    };

    explicit Resources(Radio* parent = nullptr);
    Resources(const Resources&) = delete;
    Resources& operator=(const Resources&) = delete;
    ~Resources() override;

    // One more reference on every cached sample, held until the next purge (before a document load, so
    // that purgeUnused after it keeps exactly the samples still in use).
    virtual void retainAll();
    // The "samples" of a state document: embedded audio, or files found by their recorded names. A
    // relative name lies in the document's folder (empty for a document without a file, such as a host
    // chunk) or else in the installation's data folder, whichever holds the file, and the path found is
    // what the sample records, from the root; the search for a missing file looks in the document's
    // folder first. A sample that cannot be had is skipped, but its item is kept for the holder (see
    // holdKeptItems) and written again in its place, so a document it saves afterwards still names the
    // file; an item whose audio cannot be read is kept whole, its audio as it was. The files found nowhere
    // that nobody could be asked for, and the items whose audio could not be read, go into skipped, when
    // given, for the reader to tell the user.
    virtual void readDocumentSamples(const Dictionary& dictionary, const Folder& documentFolder = Folder(),
                                     SkippedSamples* skipped = nullptr, const void* holder = nullptr);
    // What a zone naming the id will play once a document is read whose item of the id is given (null when
    // it has none), told without decoding any audio and without asking anybody: the sample cached under the
    // id, or under the item's file; else the values a sample read from the item would hold (what its data
    // declares, `Sample::declaredHeldValues`, or its file's header, `sampleFileHeldValues`), with a name
    // telling that sample apart. A file found nowhere holds nothing.
    struct DocumentSample {
        const Sample* cached = nullptr;
        std::string name;
        std::uint64_t values = 0;
    };
    DocumentSample findDocumentSample(const std::string& id, const Dictionary* item,
                                      const Folder& documentFolder) const;
    // Gives back what retainAll took; samples no one else holds leave the cache.
    virtual void purgeUnused();
    // The kept items of skipped samples are each their holder's, the instance (by its address) whose
    // document they came from, so another instance's document never changes what one saves: after reading
    // a document the holder names every id its programs use (none when it goes), and its kept items of ids
    // it does not name are let go, among them those of the document just read that no program named. An
    // item read for no holder is taken by the first holder that names its id, and otherwise goes.
    void holdKeptItems(const void* holder, const std::set<std::string>& ids);
    // How many kept items of skipped samples there are, each holder's counted.
    std::size_t countKeptItems() const;
    virtual void saveSamples(Dictionary& dictionary) { saveSamples(dictionary, true); }

    // Reads the description and loads its own samples; ErrorImportFailed when it cannot be read.
    Error load(const File& file);

    // With one reference for the caller (releaseBitmap gives it back); null when the description has no
    // such bitmap or its file does not load. Editor thread.
    BitmapInterface* getBitmap(const std::string& name);
    void releaseBitmap(BitmapInterface* bitmap);
    // The files of the described bitmaps asked for whose file did not load (nor has since), each once, in
    // the order first asked for: the skins a painting lacks. Editor thread.
    std::vector<std::string> getUnloadedBitmapFiles();

    static bool isSampleFile(const File& file);
    // 32 letters in 8 groups of 4 joined by "-".
    static std::string createId();

    // The cached sample of the id, no reference added; null for an empty or unknown id.
    Sample* findSample(const std::string& id) const;
    // The sample of the id with one reference for the caller: cached, already cached under another id
    // for the same file, or loaded from the file (the description's file when the file has no name).
    // Null for an empty id, and for an id with neither a file nor a description entry.
    Sample* acquireSample(const std::string& id, const File& file);
    // The same; the caller owns the returned reference.
    Sample* loadSample(const std::string& id, const File& file);
    // Loads the file (or the description's file of the id) and caches it under the id; one reference for
    // the caller, null when nothing loads.
    Sample* loadSampleFile(const std::string& id, const File& file, bool loadData);
    // Caches the sample under the id (a new id when empty) with the file it came from; the caller keeps
    // its own reference. Returns the id.
    std::string addSample(const std::string& id, Sample* sample, const std::string& filename);
    // Loads the file into the cache under the id (a new id when empty); the id, whether or not it loaded.
    std::string addSampleFile(const std::string& id, const File& file);
    // The file the id's sample came from; an empty file when unknown.
    File getSampleFile(const std::string& id) const;
    // One reference back; a sample no one else holds leaves the cache.
    void releaseSample(Sample* sample);
    void releaseSampleById(const std::string& id);

    // Adds an existing folder to the folders searched for missing sample files.
    void addSampleFolder(const Folder& folder);
    // True when the file exists or was found (the file then names it) in a search folder, its parent or
    // its grandparent, under up to two of its own last folder names; otherwise the missing-sample
    // handler decides.
    bool locateSampleFile(File& file) { return locateSampleFile(file, Folder()); }
    // The same, trying the folder first (when not empty), before the search folders.
    bool locateSampleFile(File& file, const Folder& firstFolder);
    // Who answers for a missing sample file (not owned; null: skip it).
    void setMissingSampleHandler(MissingSampleHandler* handler);

    // A "samples" array with every exported sample ("id", "filename", positions) and, with data, the
    // format and audio of each, a file's audio only once; in id order, among them the items kept for
    // document samples that were skipped (without audio, unless theirs could not be read).
    void saveSamples(Dictionary& dictionary, bool withData);
    // The same for the samples of the given ids, as the holder's documents named them: its own kept item of
    // an id comes before the id's sample.
    void saveSamplesOf(Dictionary& dictionary, const std::set<std::string>& ids, bool withData,
                       const void* holder = nullptr);

    const Folder& getSamplesFolder() const { return samplesFolder_; }

    // How many cache entries the walks over the whole cache have visited so far: reading a document's
    // samples walks it a bounded number of times, however many samples there are.
    std::uint64_t visitedEntries() const;

private:
    struct Entry {
        Sample* sample = nullptr;
        File file; // no name for samples that came from a document
    };

    // A relative path names a file from the process's current folder, which is the host's and may change:
    // the same file named from the root, without "." and ".." (links resolved where ".." follows one). Any
    // other file as it is.
    static File fromRoot(const File& file);
    // The description's own samples, in order; one that does not load is logged and skipped.
    void readSamples();
    // The reading of one document's samples: whose kept items they become, what goes to the reader, and
    // how many were skipped (the log names the first few, kLoggedSkips).
    struct DocumentRead {
        const void* holder;
        SkippedSamples* told;
        std::size_t skipped = 0;
    };
    void readSampleItem(const Dictionary& item, const Folder& documentFolder, DocumentRead& read);
    // Keeps a skipped sample's item for the holder's documents written later; a file not found that nobody
    // could be asked for is told.
    void keepSkipped(const std::string& id, const std::string& filename, const Dictionary& item,
                     bool notFound, DocumentRead& read);
    // Keeps an item whose audio could not be read, whole, for the holder's documents written later; the
    // reason is told.
    void keepUnread(const std::string& id, const std::string& filename, const Dictionary& item,
                    const std::string& reason, DocumentRead& read);
    // locateSampleFile, with the line naming a file found nowhere left to the caller when not logMissing.
    bool locate(File& file, const Folder& firstFolder, bool logMissing);
    // Its search, which asks nobody.
    bool search(File& file, const Folder& firstFolder) const;
    // A document's file name as a file: a relative one in the first of the document's folder and the data
    // folder that holds it (in the document's folder when neither does).
    File resolveSampleName(const std::string& filename, const Folder& documentFolder) const;
    void announce(const std::string& id);
    // Under the lock: one more reference on the id's sample, or null.
    Sample* retainCached(const std::string& id);
    // Under the lock: caches the sample under the id; the cache takes its reference when the sample is new
    // to it. A sample that loses its last entry gives the cache's reference back.
    void cacheEntry(const std::string& id, Sample* sample, const File& file);
    // Under the lock: the holder's kept item of the id goes.
    void forgetKept(const std::string& id, const void* holder);
    // Under the lock: the look-ups by sample and by file of an entry, added or taken away with it.
    void indexEntry(const std::string& id, const Entry& entry);
    void unindexEntry(const std::string& id, const Entry& entry);
    // Under the lock: the first id (in id order) of an entry from the file at that path, or null.
    const std::string* firstIdOfPath(const std::string& path) const;
    // Under the lock: one reference back; entries go when only the cache still holds the sample.
    void releaseLocked(Sample* sample);
    void eraseEntriesOf(Sample* sample);
    bool isCached(const Sample* sample) const;
    // A copy of the description's item of the id, if it has one.
    std::optional<Dictionary> descriptionItem(const std::string& id) const;
    // A relative description file name lies in the samples folder.
    File descriptionFile(const std::string& filename) const;
    void writeSamples(Dictionary& dictionary, const std::set<std::string>* ids, bool withData,
                      const void* holder);
    const Folder& bitmapsFolder();

    Dictionary description_;
    std::map<std::string, BitmapInterface*> bitmaps_;
    std::map<std::string, Entry> samples_;
    // The ids of each cached sample, and of the entries from each file (by path): a document of many
    // samples looks each up, never walking the cache per sample.
    std::map<const Sample*, std::set<std::string>> idsOfSample_;
    std::map<std::string, std::set<std::string>> idsOfPath_;
    // The items of skipped document samples by id and by holder (see holdKeptItems; null for an item read
    // for none): their "filename" and the entries besides the audio, written again as they came; or, for an
    // item whose audio could not be read, the whole item.
    struct Skipped {
        std::string filename;
        Dictionary entries;
        bool whole = false;
    };
    std::map<std::string, std::map<const void*, Skipped>> skipped_;
    std::uint64_t visited_ = 0; // under the lock
    Folder samplesFolder_;
    Folder dataFolder_; // the installation's folder ("InstallPath")
    Folder bitmapsFolder_;
    bool bitmapsFolderKnown_ = false;
    mutable CriticalSection lock_; // the sample cache and the description
    std::mutex bitmapsMutex_;
    std::vector<std::string> unloadedBitmapFiles_; // under bitmapsMutex_
    std::vector<Folder> searchFolders_;
    std::set<Sample*> residents_;          // each holds one extra reference
    std::vector<Sample*> retainedForLoad_; // references taken by retainAll
    std::atomic<MissingSampleHandler*> missingSampleHandler_{nullptr};
};

} // namespace trov
