#pragma once

#include "engine/samples/Sample.h"
#include "engine/zones/ZoneState.h"
#include "framework/Dictionary.h"
#include "framework/Published.h"
#include "framework/Radio.h"
#include "framework/Range.h"
#include "framework/SharedObject.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace trov {

class Settings;
class ZoneManager;

// A key range of the keyboard mapped to one sample, with the zone-scope parameter values that go with it
// (start and end points, loop switch, processing switches, transposition) in the child "parameters" of its
// dictionary, its loops and its slices. The zone holds its sample by resource id through the process-wide
// resources; when its settings ask for processed data (normalize, reverse, invert, loop-file
// transposition) it plays a processed copy and keeps its hold on the shared sample, so that switching the
// processing off finds the shared one again. A loop file's copy is the zone's own; any other sample's is
// shared by every zone processing that sample alike, process-wide, and never changed once made. Sample
// data among the zone's values is kept as read but never decoded.
//
// A loop file (REX) is rendered for the host's tempo over the zone's transposition: when either changes, a
// copy is rendered off the audio path and swapped in. The zone never changes or frees a sample it has
// played while a voice may still read it: such a sample is retired, and retired samples go only once
// the zone is held by nobody but its owners (a voice keeps its zone until its next note).
//
// What a note reads (the sample played, loop 0, the key range, the first slices and the stored zone-scope
// values) is published afresh after every change as one `ZoneState`, which `readState` copies on any
// thread without a lock, so a note start reads no document and never half of a change.
//
// Reference-counted: a zone manager holds one reference per listed zone, voices hold theirs while they
// play it. Threads: built, read from documents, edited and released on the user-interface thread (the
// manager calls its hooks under the manager's lock); `followTempo` on a worker. Only `readState`,
// `getKeyRange` and `isCurrent` may run on the audio thread.
class Zone : public Radio, public SharedObject {
public:
    using Loop = Sample::Loop;
    using Slice = Sample::Slice;

    // Loop modes of a zone (and their words in documents: "off", "until-release", "in-release").
    static constexpr std::int32_t kLoopOff = 0;
    static constexpr std::int32_t kLoopUntilRelease = 1;
    static constexpr std::int32_t kLoopInRelease = 2;

    // The zone-scope parameter values of the owner module's settings become the zone's "parameters";
    // then the sample of that id is taken from the resources.
    Zone(ZoneManager* manager, Radio* parent, const KeyRange& range, const std::string& sampleName);
    // A new zone with its own count: same manager, range, values, loops, slices and sample; a processed
    // copy held by the other zone is shared with it.
    Zone(const Zone& other);
    Zone& operator=(const Zone& other);
    ~Zone() override;

    // A parameter change of the owner's settings is stored in "parameters"; a dropped sample file becomes
    // the zone's sample.
    bool receive(const Message& message) override;

    // Loads the stored values into the owner's zone-scope parameters.
    virtual void updateParameters();
    // The reverse, for the current zone: the owner's zone-scope values, edits included, become the
    // zone's stored ones.
    void storeParameters();
    // Called by the manager when the zone stops being current.
    virtual void deselected() {}
    // Reads "id", "min", "max", "parameters" (older documents: "settings"), "loops" and "slices"; without
    // all of "id", "min" and "max" the zone stays cleared under a new random id.
    virtual void fromDictionary(const Dictionary& dictionary);
    virtual void toDictionary(Dictionary& dictionary) const;
    // Releases the current sample, then holds the resources' sample of that id (none when it is unknown;
    // the zone keeps the id and plays nothing).
    virtual void setSample(const std::string& name);
    // Gives the sample back and takes a new random id.
    virtual void releaseSample();
    // The loop becomes loop 0; "CurrentSample" and "SampleLoopOn" are published.
    virtual void activate(const Loop& loop);
    // Sets loop 0's mode (when the zone has loops) and publishes as activate does.
    virtual void setLoopEnabled(int mode);
    // Called by the manager when the zone becomes current.
    virtual void selected() {}

    // What a note reads, as one consistent copy. Any thread: no lock, no allocation.
    ZoneState readState() const noexcept { return state_.load(); }
    // The slot of a value in a ZoneState: a fixed one (ZoneState::kFixedNames), else the position among the
    // other zone-scope parameters of the settings (the owner module's, the same for every zone of the
    // module); -1 for any other name, or one beyond the values a state keeps.
    static int valueSlot(const Settings* settings, std::string_view name);

    // The sample played, shared or processed; null without one. No reference is added.
    Sample* getSample() const { return sample_; }
    // Whether it plays a processed copy (its own, or one shared with zones processing the sample alike).
    bool holdsPrivateCopy() const { return ownsPrivateCopy_; }
    // Any thread.
    KeyRange getKeyRange() const noexcept { return unpack(range_.load(std::memory_order_relaxed)); }
    // Taken when valid (0 <= low <= high <= 127).
    void setKeyRange(const KeyRange& range);
    int getSliceCount() const { return static_cast<int>(slices_.size()); }
    // {0, 0} out of range.
    Slice getSlice(int index) const;
    int getLoopCount() const { return static_cast<int>(loops_.size()); }
    // Loop 0; all zero without loops.
    Loop getLoop() const;
    std::string getSampleName() const { return sampleName_; }
    // The sample's root frequency in the tuning of the zone's module (its owner); 0 without a sample or
    // module.
    float getRootFrequency() const;
    // Whether the manager's current zone is this one. Any thread, without a lock.
    bool isCurrent() const noexcept;
    // Applies the zone's values to its sample: a processed copy when the values ask for processing, the
    // shared sample otherwise, which keeps its own loop (the zones of every program may play it, each with
    // its own loops). "parameters" receives the clamped positions; the sample keeps its own root note and
    // detune. False when memory is short for the copy: the zone keeps playing what it played, and the user
    // is told (and the log).
    bool prepareSample();

    // A copy zones share (one for each sample and processing, process-wide) as it is now: the copy, the
    // sample it was made from, its processing, the values it holds and the references held on it (one for
    // each zone playing it, besides those a zone keeps for voices that may still read it).
    struct SharedCopy {
        const Sample* copy = nullptr;
        const Sample* source = nullptr;
        std::uint32_t processing = 0;
        std::uint64_t values = 0;
        std::int32_t holders = 0;
    };
    static std::vector<SharedCopy> sharedCopies();
    // Holds the copy that zones processing the sample so share, made now unless it lives: false, holding
    // nothing, when memory is short for it. No processing, and a loop file (whose zones render copies of
    // their own), need none: true, holding nothing.
    static bool holdSharedCopy(Sample& source, std::uint32_t processing, SharedObjectPtr<Sample>& held);
    // The values such a copy of the sample holds: none for a loop file, which needs none.
    static std::uint64_t sharedCopyValues(const Sample& source);
    // Why such a copy of the sample, named so, was not made, as a clause.
    static std::string copyRefusal(const Sample& source, const std::string& name);

    // Loop files follow the tempo (beats per minute): when the played loop was rendered for another tempo
    // than this one over the zone's transposition, a copy is rendered for it, without any lock a note
    // takes, and swapped in. True when a copy was swapped in; false for other samples.
    bool followTempo(double tempo);
    // The tempo the played loop was rendered for; 0 when the zone plays no loop file.
    double getRenderedTempo() const;
    // How many samples the zone keeps for voices that may still read them.
    int getRetiredCount() const;

    // Values of "parameters": 0, false and 0.0 when absent or not readable as that type.
    std::int32_t getParameterLong(const std::string& name) const;
    bool getParameterBool(const std::string& name) const;
    float getParameterFloat(const std::string& name) const;
    // Only while the zone is current: the owner's parameter of that name takes the value; its change
    // message, handed back to the zone, stores it. A zone that is not current changes nothing.
    void setParameterLong(const std::string& name, std::int32_t value, int sender);
    void setParameterBool(const std::string& name, bool value, int sender);

    // The dictionary holding "parameters" (and "SampleStart"/"SampleEnd" after a dropped region).
    const Dictionary& getDictionary() const { return dictionary_; }
    ZoneManager* getManager() const { return manager_.load(std::memory_order_acquire); }
    // The manager detaches its zones when it ends.
    void setManager(ZoneManager* manager) { manager_.store(manager, std::memory_order_release); }

    static bool isValidKeyRange(const KeyRange& range) noexcept {
        return 0 <= range.low && range.low <= range.high && range.high <= 127;
    }

protected:
    // True while fromDictionary takes the document's sample: the zone's values, loops and slices are the
    // document's, and a derived zone that fills itself from its sample supplies only what they lack.
    bool isReadingDocument() const noexcept { return readingDocument_; }
    // For a derived zone that fills itself from its sample: loop 0 (added when there is none) and the
    // slices, changed without publishing anything.
    void setFirstLoop(const Loop& loop);
    void setSlices(std::vector<Slice> slices);
    // Publishes the stored values afresh (`readState`); a derived zone that writes "parameters" itself
    // calls it after writing.
    void publishValues();

private:
    struct DocumentScope {
        explicit DocumentScope(bool& flag) : flag_(flag) { flag_ = true; }
        ~DocumentScope() { flag_ = false; }
        DocumentScope(const DocumentScope&) = delete;
        DocumentScope& operator=(const DocumentScope&) = delete;
        bool& flag_;
    };

    // The range travels as one word, so a look-up on another thread never sees half of a change.
    static std::uint32_t pack(const KeyRange& range) noexcept {
        return static_cast<std::uint32_t>(static_cast<std::uint16_t>(range.low)) << 16 |
               static_cast<std::uint16_t>(range.high);
    }
    static KeyRange unpack(std::uint32_t word) noexcept {
        return KeyRange(static_cast<std::int16_t>(word >> 16), static_cast<std::int16_t>(word & 0xFFFF));
    }
    void storeKeyRange(const KeyRange& range) noexcept {
        range_.store(pack(range), std::memory_order_relaxed);
    }

    // Publishes what a note reads once the scope ends, whichever way it ends: every change of the zone's
    // sample, loops, slices, range or values opens one.
    class PublishOnExit {
    public:
        explicit PublishOnExit(Zone& zone) : zone_(zone) {}
        ~PublishOnExit() { zone_.publish(); }
        PublishOnExit(const PublishOnExit&) = delete;
        PublishOnExit& operator=(const PublishOnExit&) = delete;

    private:
        Zone& zone_;
    };

    // Both halves of the state below, each under sampleMutex_.
    void publish();
    // The sample, loop 0, the slices and the key range as they are now, with the values last published.
    void publishSample();
    // Under sampleMutex_, with a sample: the work of prepareSample, false changing nothing when memory is
    // short for the copy.
    bool prepareSampleLocked();
    // Gives both held samples back (the zone's own copy retired, not freed); the id stays.
    void dropSample();
    // Under sampleMutex_: keeps a sample the zone stops playing, with its reference, for the voices that
    // may still read it.
    void retire(Sample* sample);
    // Under sampleMutex_: retired samples go when no more than that many holders hold the zone.
    void pruneRetired(std::int32_t holders);
    void takeSampleOf(const Zone& other);
    void publishLoopState();
    // Under sampleMutex_: the "parameters" child, added when a document left it out.
    Dictionary::View storedValues();
    // Copies the values child of a document into "parameters", in the key-named layout.
    void readParameters(const Dictionary& values);
    // Holds every stored value of a zone-scope parameter within that parameter's range (a value that is
    // no number becomes its default): documents come from outside.
    void clampStoredValues();
    bool takeDroppedFile(const std::string& path, std::int32_t first, std::int32_t second, bool region);

    std::atomic<ZoneManager*> manager_;
    std::atomic<std::uint32_t> range_;
    Dictionary dictionary_;
    std::string sampleName_;
    Sample* sample_ = nullptr; // the sample played: shared_ or a processed copy
    Sample* shared_ = nullptr; // the resources' sample, one reference held
    bool ownsPrivateCopy_ = false;
    bool readingDocument_ = false;
    std::vector<Loop> loops_;
    std::vector<Slice> slices_;
    // Orders the changes of the played sample among the threads that make them (never a note's).
    mutable std::recursive_mutex sampleMutex_;
    std::vector<Sample*> retired_; // one reference each
    // Under sampleMutex_: the values last published, kept for a publication of the sample alone.
    std::array<ZoneState::Value, ZoneState::kMaxValues> values_{};
    Published<ZoneState> state_;
};

} // namespace trov
