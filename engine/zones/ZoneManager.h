#pragma once

#include "framework/CriticalSection.h"
#include "framework/Radio.h"
#include "framework/Range.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace trov {

class Dictionary;
class File;
class Resources;
class Sample;
class Zone;

// The zones of one program: an ordered list (by key range when zones are added, in file order when read
// from a document), the current zone whose values the zone-scope parameters carry, and the keyboard range
// 36..96. It reads and writes the program's "zones", imports dropped sample files into zones, and finds
// the zone that plays a key. Made by the product descriptor and owned by its program; the instrument's
// manager derives from it.
//
// Threads: the editor, the host's state calls and the audio thread's note starts reach it. One lock guards
// the list and the current position; it is never held over file loading or a dialog (samples are loaded
// first, then the lock is taken to look up, insert or swap). The hooks run under it on the calling thread.
// Notes never take that lock: after every change of the list the manager publishes a copy of it for them
// under a lock of its own, held only while a look-up or that copy's swap runs (`findZoneForKey`,
// `acquireZoneForKey`: no allocation, no throw), and the current zone as one atomic word
// (`isCurrentZone`).
class ZoneManager : public Radio {
public:
    // The owner module is the parent's. Listens to the process-wide resources.
    explicit ZoneManager(Radio* parent);
    ZoneManager(const ZoneManager&) = delete;
    ZoneManager& operator=(const ZoneManager&) = delete;
    ~ZoneManager() override;

    // Detaches and releases every zone and stops listening to the resources.
    void exit() override;
    // While active: a dropped file (window messages 3021 and 3022) is imported, and when a file meant as a
    // sample file is refused the user is told why, once (`SampleFileRefusals`). Inactive: nothing is
    // handled.
    bool receive(const Message& message) override;

    // No zone current.
    virtual void clearSelection();
    // The first zone becomes current when none is; the current zone's values go to the parameters.
    virtual void activate();
    virtual void deactivate();
    // Called under the lock before every change of the list.
    virtual void listWillChange() {}
    // Replaces the list by the document's "zones", in file order; zone 0 becomes current.
    virtual void fromDictionary(const Dictionary& dictionary);
    // What fromDictionary would make of the document, counted without making anything: the zones, the
    // value entries they would keep (each zone keeps its document's entries, whatever their names), and the
    // samples they would play processed, by id with the processing (`Sample::processingOf`): zones
    // processing one sample alike share one copy of it.
    struct ZoneCount {
        std::size_t zones = 0;
        std::size_t values = 0;
        std::set<std::pair<std::string, std::uint32_t>> processed;
        ZoneCount& operator+=(const ZoneCount& other) {
            zones += other.zones;
            values += other.values;
            processed.insert(other.processed.begin(), other.processed.end());
            return *this;
        }
    };
    static ZoneCount countZones(const Dictionary& dictionary);
    virtual void toDictionary(Dictionary& dictionary) const;
    // Makes zone i current (none when out of range); the zone or null.
    virtual Zone* selectZone(int index);
    // The same when the list's lock can be taken at once (it is free, or this thread holds it); false,
    // selecting nothing, while another thread holds it. For listeners inside a parameter's broadcast, which
    // must not wait for the lock (a selection publishes under it).
    bool trySelectZone(int index);
    virtual void sampleSelected(Sample* /*sample*/) {}
    virtual void sampleDeselected(Sample* /*sample*/) {}
    // Called under the lock after every change of the list.
    virtual void zonesChanged() {}
    // A new zone with one reference (the instrument's manager makes its own kind).
    virtual Zone* createZoneObject(Radio* parent, const KeyRange& range, const std::string& sampleName);

    int getZoneCount() const;
    // The index of the zone that plays the key, or -1. Note path: allocates nothing.
    int findZoneForKey(int key) const noexcept;
    // The zone that plays the key, with one reference added for the caller, or null. In pairs (pairSide 0
    // or 1, for oscillator mix mode) the first or the second zone of the pair the key's zone belongs to;
    // pairSide -1 takes the key's zone itself. Note path: allocates nothing.
    Zone* acquireZoneForKey(int key, int pairSide) const noexcept;
    // -1 when none is current.
    int getCurrentZoneIndex() const;
    // {0, 0} when there is no zone i.
    KeyRange getZoneKeyRange(int index) const;
    // An invalid range is ignored.
    void setZoneKeyRange(int index, const KeyRange& range);
    // With one reference added for the caller; null when none.
    Zone* getZone(int index) const;
    // Every loop-file zone follows the tempo (beats per minute, `Zone::followTempo`); how many rendered
    // anew. Off the audio path; the lock is not held while they render.
    int followTempo(double tempo);
    Zone* getCurrentZone() const;
    // The same without waiting: null also while another thread holds the zone list. For listeners of the
    // parameters that a selection publishes under that lock, which must not wait for it.
    Zone* tryGetCurrentZone() const;
    // The current zone, for comparison only: no reference is added, so it may go at any time. Any thread,
    // without a lock.
    const Zone* peekCurrentZone() const noexcept { return currentZone_.load(std::memory_order_acquire); }
    // Any thread, without a lock.
    bool isCurrentZone(const Zone* zone) const noexcept {
        return zone != nullptr && currentZone_.load(std::memory_order_acquire) == zone;
    }
    // A zone tells that its sample changed: it is selected again (when it is listed).
    void zoneChanged(Zone* zone);
    // Inserts the zone (one reference added) before the first zone that does not come before its range
    // and makes it current; its index.
    int addZone(Zone* zone);
    // A new zone over the range with that sample, inserted by range and made current; its index.
    int createZone(const KeyRange& range, const std::string& sampleName);
    // The zone's neighbour before it becomes current when it was current (none for the first zone).
    void removeZone(int index);
    void removeAllZones();
    std::string getZoneSampleName(int index) const;
    std::string getCurrentSampleName() const;
    // Gives the current zone that sample, making a zone over the product's keyboard first when there is
    // none; false when zones exist but none is current.
    bool setCurrentZoneSample(const std::string& sampleName);
    // The same for a sample not yet in the resources: it is added under a new id first.
    bool setCurrentZoneSample(Sample* sample);
    // A sample file becomes a new zone over the current zone's range, replacing it (over the product's
    // keyboard when there are no zones). Non-zero on success; a file no reader takes changes nothing.
    int importSample(const File& file);

    KeyRange getKeyRange() const { return keyRange_; }
    bool isActive() const { return active_.load(std::memory_order_relaxed); }
    // Zones count in pairs in oscillator mix mode: a key between the two of a pair plays the first.
    bool getOscillatorMixMode() const { return mixMode_.load(std::memory_order_relaxed); }
    void setOscillatorMixMode(bool on) { mixMode_.store(on, std::memory_order_relaxed); }

protected:
    CriticalSection& getZonesLock() const { return zonesLock_; }

private:
    // A dropped file imported as receive says.
    bool importDropped(const File& file);
    // Under the lock. Makes the index current (-1 none); with force also when it is current already.
    void selectIndex(int index, bool force);
    // Under the lock: the current zone's deselection hooks, if one is current.
    void deselectCurrent();
    // Under the lock: where a zone over the range goes.
    int insertionIndex(const KeyRange& range) const;
    // Under the lock: the list emptied, its zones detached and returned for releasing after the lock.
    std::vector<Zone*> takeAllZones();
    static void releaseZones(const std::vector<Zone*>& zones);
    // The product's keyboard range, or the manager's own without a descriptor.
    KeyRange productKeyRange() const;
    // Under the lock, after every change of the list or the current position: what notes read.
    void publishList();
    void publishCurrent() noexcept;
    // Under noteMutex_: findZoneForKey over the notes' copy.
    int findInNoteList(int key) const noexcept;

    const KeyRange keyRange_{36, 96};
    std::vector<Zone*> zones_; // one reference each
    int current_ = -1;
    mutable CriticalSection zonesLock_;
    // The list as notes see it: the same zones (no references of its own: a zone leaves it before the
    // manager lets it go), swapped whole under noteMutex_.
    std::vector<Zone*> noteZones_;
    mutable std::mutex noteMutex_;
    std::atomic<const Zone*> currentZone_{nullptr};
    std::atomic<bool> active_{false};
    std::atomic<bool> mixMode_{false};
};

} // namespace trov
