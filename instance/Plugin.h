#pragma once

#include "engine/modules/EngineEvent.h"
#include "engine/modules/PluginServices.h"
#include "engine/notes/Tuning.h"
#include "engine/samples/RexTempoSource.h"
#include "engine/zones/MissingSampleHandler.h"
#include "engine/zones/ZoneManager.h"
#include "framework/BoundedQueue.h"
#include "framework/CriticalSection.h"
#include "framework/Folder.h"
#include "framework/Radio.h"
#include "framework/SharedObject.h"
#include "instance/MidiEvent.h"
#include "instance/ReaderEpochs.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trov {

class CPUMeter;
class Dictionary;
class File;
class HostInterface;
class IOPinConfig;
class Parameter;
class Preset;
class RefusedValues;
class Resources;
class Sample;
struct SkippedSamples;
template <class T> class MidiMapper;

// One plug-in instance: loads the plug-in specification into a bank of presets with one program per
// module, owns the modules, the tunings, the controller mapper and the table of CPU meters the editor
// registers, turns MIDI into notes and controller values, runs every module for each block and counts the
// frames, and writes and reads its state as documents. A station whose owner is its first module; the
// modules reach it as their PluginServices, the resources as their missing-sample question.
//
// Made by the host binding (through the product descriptor), which calls `init` right after construction
// and owns it. Threads:
// - audio: `process` (which first applies the queued events, `applyEvents`), `beginCpuMeter`,
//   `endCpuMeter`, `getFrequency`, `getFrequencyAtReferencePitch`, `getProgram`, `getZoneManager`,
//   `postEvent`; never blocks, allocates or logs.
// - MIDI, which may be any thread, the audio thread included: `midiEvent`, `applyController` and the MIDI
//   branch of `receive`. A note is queued, never handed over at once: every note and every event an engine
//   posts (its parameters' changes for its voices) waits in one bounded queue, without a lock or an
//   allocation, for the start of the next block, which applies them in arrival order. A full queue drops
//   the note-on; a note-off is never lost (it is kept by key and applied after the queue).
// - user interface: everything else. Switching presets, remaking programs, changing tunings and swapping
//   modules take the instance's lock only to publish the change; what the audio and MIDI threads (and
//   workers inside `withZoneManager`) may still read is freed only after their reads have ended
//   (`ReaderEpochs`), never under a lock and never over file loading. Parameter changes arrive under the
//   sending parameter's station lock.
class Plugin : public Radio, public PluginServices, public MissingSampleHandler {
public:
    // Ids of the table of CPU meters the editor registers (0 engine, 1 MIDI, ...).
    static constexpr int kCpuMeterSlots = 16;
    // Notes and engine events the queue holds for the next block (a few blocks' worth of a dense stream).
    static constexpr std::size_t kEventCapacity = 4096;
    // Plug-in message codes broadcast by the instance.
    static constexpr std::int32_t kPresetSelected = Code::kPluginNotice;
    static constexpr std::int32_t kPresetChanged = Code::kPluginStateChanged;
    // MIDI controller numbers beyond the 128 MIDI controllers.
    static constexpr int kPitchBend = 128;
    static constexpr int kChannelPressure = 129;
    static constexpr int kModulationWheel = 1;
    static constexpr int kProgramSelect = 192;
    // Window codes a drag and drop brings.
    static constexpr std::int32_t kDropFile = 3021;

    Plugin(HostInterface* host, int tag);
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;
    ~Plugin() override;

    // Loads the specification named by the machine preferences "InstallPath" and "SettingsXmlFile", fills
    // the bank, makes the modules, programs, mapper and tunings. A specification that does not load ends
    // the host application (fatal message) and is thrown as its load error.
    void init() override;
    void exit() override;
    // Ends the engines' own threads (they read programs and call the instance). The destructor of the most
    // derived class calls it first, so that no worker reaches an instance being destroyed; again is
    // harmless. User-interface thread, no block under way.
    void endWorkers();
    // The host's open editor; null without host or editor.
    EditorInterface* getEditor() const override;
    // Notes, preset selection by controller 192 and "CurrentProgram", drags and drops.
    bool receive(const Message& message) override;

    // The shared resources follow the active instance: their owner becomes its first module, it answers
    // their missing-sample question and its host their loops' tempo.
    virtual void activate();
    virtual void deactivate();
    // New programs for every preset, modules reset, the current preset activated again.
    virtual void resetMemory();
    virtual void reset();
    // The host's largest block; engines and parameter schedules are sized for it.
    virtual void setMaxBlockSize(int frames);
    // A settings document or a sample file the sample readers take.
    virtual bool acceptsFile(const File& file) const;
    // The instrument loads banks, patches, samples and tunings; the base loads nothing.
    virtual bool loadFile(const File& file);
    // Reads the bank file; samples it names by relative paths lie beside it. False when it does not load.
    virtual bool importFile(const File& file);
    virtual void beginCpuMeter(int id) noexcept;
    virtual void endCpuMeter(int id) noexcept;
    virtual int getPresetCount() const;
    // Ignored out of range; otherwise switches and announces (plug-in message 0, display flicker).
    virtual void selectPreset(int index);
    virtual void midiEvent(const MidiEvent* event) noexcept;
    // The queued events, then every module in index order, then the frame counter. Audio thread.
    virtual void process(IOPinConfig& inputs, IOPinConfig& outputs, std::int32_t frames) noexcept;
    // Applies the notes and engine events queued since the last block, in arrival order: notes to every
    // module's engine, engine events to the engine that posted them; then the note-offs a full queue kept.
    // At most kEventCapacity events, so that a sender as fast as this drain (a MIDI flood) cannot hold the
    // block here; the rest waits for the next block. The start of every block (audio thread); tests and
    // benchmarks call it to apply what is queued without rendering. Not while another thread renders.
    void applyEvents() noexcept;
    // Any thread; false when the queue is full.
    bool postEvent(const EngineEvent& event) noexcept override;
    // Note-ons a full queue dropped since the instance was made.
    std::uint32_t getDroppedNotes() const noexcept { return droppedNotes_.load(std::memory_order_relaxed); }

    HostInterface* getHost() const override { return host_.load(std::memory_order_acquire); }
    void setHost(HostInterface* host) { host_.store(host, std::memory_order_release); }
    MidiMapper<Parameter*>* getMidiMapper() const { return midiMapper_.get(); }
    int getTag() const { return tag_; }

    // Modules.
    int getModuleCount() const noexcept;
    // Null out of range.
    Module* getModule(int index) const noexcept;
    Module* getFirstModule() const noexcept { return getModule(0); }
    // 0 when the module is not one of this instance's.
    int getModuleIndex(const Module* module) const;
    void swapModules(int a, int b);

    // Automatable parameters, numbered across the modules.
    int getAutomatableCount() const;
    // Null out of range; stores the parameter's module when asked.
    Parameter* getAutomatableParameter(int index, Module** module = nullptr) const;
    // -1 when the module is not this instance's or the parameter is not automatable.
    int getAutomatableIndex(const Module* module, std::string_view name, int instance) const;

    // Presets.
    Preset* getCurrentPreset() const;
    // -1 when none is current.
    int getCurrentPresetIndex() const { return currentPreset_.load(std::memory_order_acquire); }
    // Null out of range.
    Preset* getPreset(int index) const;
    std::string getCurrentPresetName() const;
    // The current preset's program for the module, null when none. Any thread; what it returns stays
    // valid for the block (audio thread, inside `process`) or the note hand-off (MIDI thread) that asked,
    // and on the user-interface thread until that thread changes the presets.
    Program* getProgram(int moduleIndex) const override;
    ZoneManager* getZoneManager(int moduleIndex) const override;
    // A read of the instance for the work's whole length: programs that go meanwhile are freed after it.
    void withZoneManager(int moduleIndex, const std::function<void(ZoneManager*)>& work) const override;
    // Makes the preset current and activates it; no preset is current for an index out of range.
    void switchPreset(int index);
    void notifyPresetChanged();

    // Tunings.
    Tuning getCurrentTuning() const;
    int getCurrentTuningIndex() const;
    std::string getCurrentTuningName() const;
    // Empty out of range.
    std::string getTuningName(int index) const;
    int getTuningCount() const;
    // Ignored out of range; otherwise announced (MIDI message 3).
    void selectTuning(int index);
    // A tuning of the same description becomes current instead of a copy; the current index.
    int addTuning(const Tuning& tuning);
    // In the current tuning, at the product's master pitch when it names one (whichever tuning is current).
    // Any thread; never blocks.
    double getFrequency(int key, double cents) const noexcept override;
    // In the current tuning at the reference pitch (key 57 at 440 Hz) when the product has a master pitch,
    // so that a sample's root key plays as recorded and the master pitch moves every key alike; without
    // one, getFrequency's answer. Any thread; never blocks.
    double getFrequencyAtReferencePitch(int key, double cents) const noexcept override;

    // The editor's CPU meters by id (0..kCpuMeterSlots-1; others are ignored). Once removeCpuMeter
    // returns, no block uses the meter any more.
    void addCpuMeter(int id, CPUMeter* meter);
    void removeCpuMeter(int id);

    // Frames processed divided by the host's rate; 0.0 without host.
    double getElapsedSeconds() const;
    // Wraps from INT32_MAX to INT32_MIN.
    std::int32_t getFramesProcessed() const;
    int queryFirstEngine() const;
    bool isRunning() const { return running_.load(std::memory_order_relaxed); }

    // MIDI input. Controllers 0-127, kPitchBend, kChannelPressure; value 0..1.
    void applyController(int controller, float value, int offset) noexcept;
    // Held while the MIDI thread writes the modules' parameter schedules; a block that reads them takes
    // it too, briefly.
    std::mutex& getScheduleLock() const { return scheduleMutex_; }

    // Documents. The programs read from one bank or patch make at most kMaxZones zones together, whatever
    // programs and modules hold them, and those zones keep at most kMaxZoneValues value entries (a zone
    // keeps a copy of every entry of its document's values, whatever their names, at about 450 bytes
    // each). Besides its sample data a document holds at most kMaxDocumentText bytes of names, values and
    // texts (Dictionary::textSize: about 8 MB in a bank of 10,000 zones as the instrument writes them), and
    // the data of all its samples, played or not, decodes into at most kMaxSampleDataValues values
    // (Sample::declaredDataValues; 128 MiB, over 12 minutes at 44.1 kHz). These are counted before anything
    // is read; a text larger than kMaxDocumentBytes is refused before it is parsed.
    //
    // The copies zones play normalized, reversed or inverted are process-wide, one for each sample and
    // processing however many zones of whichever instances share it, and hold at most kMaxProcessedValues
    // values together once a document is read. Counted before anything is read, each as its sample's mono
    // values (a document's item: Sample::declaredHeldValues; a sample file: the header of the reader that
    // takes its content, sampleFileHeldValues; a sample already loaded, whatever document brought it: what
    // it holds): every copy living now that anybody besides the programs the document replaces holds (other
    // presets and instances, zones kept for voices), plus each copy its zones need that is not among those,
    // living now or not. So a bank read again, or another in its place, costs no more than it does alone:
    // copies held only by what it replaces are not counted, though they go only once its zones are read. A
    // file found nowhere counts nothing then. Once the document's samples are read they are counted again as
    // read (an item whose data does not decode falls back to the file it names; a file the user locates
    // counts), and the copies are made before any program changes: past the budget, or one that memory is
    // short for, refuses the document, leaving the instance as it was.
    //
    // A document past a limit is refused, naming it. The sample files it names are bounded one by one
    // (Sample::kMaxDataValues). The worst bank measured within the limits peaks at about 1.1 GB, 1.5 GB
    // loaded twice (1.2 GB and 1.6 GB with its copy made of a sample file); a bank of 10,000 zones as the
    // instrument writes them (22 values each) loads.
    static constexpr std::size_t kMaxZones = 16384;
    static constexpr std::size_t kMaxZoneValues = 262144;
    static constexpr std::uint64_t kMaxDocumentText = std::uint64_t{64} << 20;
    static constexpr std::uint64_t kMaxSampleDataValues = std::uint64_t{32} << 20;
    static constexpr std::uint64_t kMaxProcessedValues = std::uint64_t{32} << 20;
    static constexpr std::uint64_t kMaxDocumentBytes = std::uint64_t{256} << 20;
    // Empty for a text of no more than kMaxDocumentBytes; else what the user is told.
    static std::string documentSizeRefusal(std::uint64_t bytes);
    // Empty when readState takes the document within the limits above; else what the user is told.
    std::string stateLimitRefusal(const Dictionary& document) const;

    void writeHeader(Dictionary& document) const;
    void writeParameters(Dictionary& document) const;
    void writeTunings(Dictionary& document) const;
    // The samples of every preset; with data their audio too.
    void writeResources(Dictionary& document, bool withData) const;
    // The samples of the current preset, without audio.
    void writeProgramResources(Dictionary& document) const;
    virtual void writeState(Dictionary& document, bool withData);
    void writeProgram(Dictionary& document) const;
    // False when the document is refused or reading fails (the user is told). A state read outside a
    // DocumentFolderScope has no file (a host's saved state). The sample files it names that are found
    // nowhere, and that nobody could be asked for (no editor was open), are named to the user in one
    // message.
    virtual bool readState(const Dictionary& document);
    // What the user is shown of a document's refusal: the compatibility check quotes a foreign creator's
    // whole document after a blank line, which is left out; the rest is cut to a few hundred characters.
    static std::string refusalText(const std::string& refusal);
    // Reads that program of the document into the current preset; the host restores its saved state so.
    // Sample files found nowhere are told as readState tells them. False when the document is refused
    // (the user is told).
    bool readProgram(const Dictionary& document, int programIndex = 0);
    void readTunings(const Dictionary& document);
    int selectFirstNonEmptyPreset();
    // True when the document lists a sample of that id (it is then loaded into the resources). The file
    // and that item are held to a document's limits (false, the user told which, past one).
    bool loadSampleFromFile(const File& file, const std::string& id);
    // The missing-sample dialog: true when the user located the file.
    bool askForSample(File& file) override;
    // Only an open editor asks.
    bool canAskForSample() const override;

protected:
    // While one lives, the documents the instance reads take the samples they name by relative paths from
    // that folder (the folder of the document's file), and the search for a missing sample looks there
    // first: the process's current folder is the host's and is never changed. A document read while none
    // lives has no file. User-interface thread.
    class DocumentFolderScope {
    public:
        DocumentFolderScope(Plugin& plugin, const Folder& folder)
            : plugin_(plugin), previous_(plugin.documentFolder_) {
            plugin.documentFolder_ = folder;
        }
        ~DocumentFolderScope() { plugin_.documentFolder_ = previous_; }
        DocumentFolderScope(const DocumentFolderScope&) = delete;
        DocumentFolderScope& operator=(const DocumentFolderScope&) = delete;

    private:
        Plugin& plugin_;
        std::optional<Folder> previous_;
    };

    // Whether `process` runs the module this block (every module unless a product solos one). Audio
    // thread.
    virtual bool processesModule(const Module& /*module*/) const noexcept { return true; }
    // The key and frequency every tuning plays that key at, when the product has a master tuning; without
    // one (false) each tuning keeps its own anchor. Asked for every frequency, on any thread: noexcept, no
    // allocation, no lock.
    virtual bool getMasterPitch(std::int32_t& /*key*/, double& /*frequency*/) const noexcept { return false; }

private:
    friend class Preset;
    using ModuleList = std::vector<Module*>;
    using TuningList = std::vector<std::unique_ptr<Tuning>>;
    using ProgramItems = std::vector<std::unique_ptr<Dictionary>>; // views on a document's programs

    // The active instance's host as the loops' tempo source.
    class HostTempo : public RexTempoSource {
    public:
        explicit HostTempo(const Plugin& plugin) : plugin_(plugin) {}
        double getTempo() const override;

    private:
        const Plugin& plugin_;
    };

    const ModuleList* modules() const noexcept { return modules_.load(std::memory_order_acquire); }
    // Publishes the list; lists are kept until destruction, as the MIDI thread reads them without a lock.
    void publishModules(ModuleList list);
    // Under tuningsLock_: the current tuning's pointer for readers.
    void publishTuning();
    // The current tuning's frequency at the master pitch, or at the reference pitch in its place.
    double tunedFrequency(int key, double cents, bool atReferencePitch) const noexcept;
    // Queues the message's note for the next block.
    void handNoteToEngines(const Message& message);
    // Audio thread: the note to every module's engine.
    void dispatchNote(const EngineEvent::NoteFields& fields) noexcept;
    void activateCurrentPreset();
    void loadSpecification(Settings& specification);
    void reserveSchedules(int frames);
    // The items of the document's "programs" that the presets take, in order, in one walk: one per preset,
    // fewer when the document holds fewer.
    ProgramItems bankPrograms(const Dictionary& document) const;
    // Builds the bank's programs from them; presets beyond them get fresh programs.
    void readPrograms(const ProgramItems& programs);
    // How many zones, and values in them, readPrograms would make of them.
    ZoneManager::ZoneCount countZones(const ProgramItems& programs) const;
    // Empty when the document and its zones (counted by countZones) are within the limits; else what the
    // user is told.
    static std::string limitRefusal(const ZoneManager::ZoneCount& count, const Dictionary& document);
    // Every preset, as a bank read replaces them.
    std::vector<const Preset*> allPresets() const;
    // Empty when the copies the counted zones share, with those held already, stay within
    // kMaxProcessedValues once the document is read in place of the replaced presets' programs; else what
    // the user is told.
    std::string copyRefusal(const ZoneManager::ZoneCount& count, const Dictionary& document,
                            const std::vector<const Preset*>& replaced) const;
    // The same once the document's samples are read, each copy counted as the sample read holds (an item
    // whose data did not decode may have fallen back to the file it names).
    std::string copyRefusal(const ZoneManager::ZoneCount& count,
                            const std::vector<const Preset*>& replaced) const;
    // limitRefusal, then copyRefusal.
    std::string documentRefusal(const ZoneManager::ZoneCount& count, const Dictionary& document,
                                const std::vector<const Preset*>& replaced) const;
    // Once the document's samples are read: holds the copies the counted zones will share, made now, in place
    // of the replaced presets' programs. False when they hold more than kMaxProcessedValues as read, or
    // memory is short for one: the user is told, nothing is held, and the samples the document brought that
    // nobody holds go again.
    bool holdSharedCopies(const ZoneManager::ZoneCount& count, const std::vector<const Preset*>& replaced,
                          std::vector<SharedObjectPtr<Sample>>& held, Resources* resources);
    void readPluginParameters(const Dictionary& document);
    // The document's samples into the resources, their skipped items kept for this instance; the files
    // found nowhere that nobody was asked for (no editor was open) and the items whose audio could not be
    // read are added to skipped.
    void readDocumentResources(Resources& resources, const Dictionary& document, SkippedSamples& skipped);
    // One message naming them, when there are any.
    void tellSkippedSamples(const SkippedSamples& skipped);
    // One message naming the document's values that parameters refused, when there are any.
    void tellRefusedValues(const RefusedValues& refused);
    void refreshEditor();

    std::atomic<bool> running_{true};
    mutable CriticalSection lock_;
    mutable ReaderEpochs readers_;
    const int tag_;
    std::atomic<HostInterface*> host_;
    std::atomic<ModuleList*> modules_{nullptr};
    std::vector<std::unique_ptr<ModuleList>> moduleLists_; // every list published, the current last
    std::vector<std::unique_ptr<Preset>> presets_;         // made by init, never resized after
    std::atomic<int> currentPreset_{-1};
    std::recursive_mutex presetMutex_; // one switch at a time (the UI and a MIDI controller may both switch)
    // A leaf lock of its own, apart from lock_, which a note start holds while it asks for frequencies.
    mutable std::mutex tuningsLock_;
    TuningList tunings_;    // under tuningsLock_
    int currentTuning_ = 0; // under tuningsLock_
    std::atomic<const Tuning*> frequencyTuning_{nullptr};
    std::array<std::atomic<CPUMeter*>, kCpuMeterSlots> cpuMeters_{};
    std::unique_ptr<MidiMapper<Parameter*>> midiMapper_;
    BoundedQueue<EngineEvent> events_{kEventCapacity};
    // Note-offs a full queue could not take, counted per channel and key.
    std::array<std::atomic<std::uint16_t>, 16 * 128> pendingReleases_{};
    std::atomic<bool> releasesPending_{false};
    std::atomic<std::uint32_t> droppedNotes_{0};
    std::atomic<std::uint32_t> framesProcessed_{0};
    mutable std::mutex scheduleMutex_;
    HostTempo hostTempo_{*this};
    std::optional<Folder> documentFolder_; // see DocumentFolderScope; none for a document without a file
    bool active_ = false;
};

} // namespace trov
