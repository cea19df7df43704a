#pragma once

#include "engine/io/IOChannel.h"
#include "instance/Plugin.h"
#include "instance/ReaderEpochs.h"
#include "instrument/AnalogTolerances.h"
#include "instrument/link/IOBridge.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace trov {

class Analogics;
class Dictionary;
class InstrumentEditorLink;
template <class T> class ParameterValue;

// The instrument's plug-in instance: the emulated machine's analog model (whose component tolerances its
// voices and filters ask for), the Tapwire link reader, the record-source routing of its own output back
// into its input, the names of its two layers, and the command parameters (load, save, memory reset,
// output configuration, master tuning, keyboard balance and the others) from the editor or the host.
// Banks, patches, tunings and samples are loaded and saved here.
//
// Made by the product descriptor, initialised once by the host binding, which owns it. Threads:
// - audio: `process` (noexcept, no allocation, no lock): reads the link, the record channel and the
//   editor link that the user-interface thread publishes; each is replaced aside and let go only once no
//   block reads it.
// - audio: `readAnalogComponent` too (note starts), for components prepared when voices were made.
// - user interface: everything else, command parameters included.
class Corvale : public Plugin, public AnalogTolerances {
public:
    // Record sources: 0 the host's input, 1 the own stereo output (left + right), 2..9 own output 1..8,
    // 10 the Tapwire link.
    static constexpr std::int32_t kRecordHostInput = 0;
    static constexpr std::int32_t kRecordStereoOutput = 1;
    static constexpr std::int32_t kRecordLink = 10;

    Corvale(HostInterface* host, int tag);
    ~Corvale() override;

    void init() override;
    bool receive(const Message& message) override;
    void setMaxBlockSize(int frames) override;
    bool acceptsFile(const File& file) const override;
    bool loadFile(const File& file) override;
    bool importFile(const File& file) override;
    void writeState(Dictionary& document, bool withData) override;
    bool readState(const Dictionary& document) override;
    void process(IOPinConfig& inputs, IOPinConfig& outputs, std::int32_t frames) noexcept override;

    std::int32_t getRecordSource() const noexcept { return recordSource_.load(std::memory_order_relaxed); }
    void setRecordSource(std::int32_t source) noexcept {
        recordSource_.store(source, std::memory_order_relaxed);
    }
    // Kilobytes of sample memory of every module.
    float getMemoryUsage() const;
    // 0.0 before the analog model exists.
    float getComponentTolerance(const std::string& name, int number, int distribution);
    float getAnalogTolerance(std::string_view component, int index, int distribution) override;
    // The component's place in the analog model; without a model it stays unprepared.
    void prepareAnalogComponent(AnalogComponent& component) override;
    // A prepared component is read without allocating, locking or logging (note starts on the audio
    // thread); an unprepared one as getAnalogTolerance.
    float readAnalogComponent(const AnalogComponent& component) override;
    // 0 mono, 1 stereo, 2 eight outputs: by the descriptor's output channel count.
    int getDefaultOutputMode() const;
    // Opens the slot aside and hands it to the next block; false (and the link closed) when the slot has
    // no active sender.
    bool openLink(int slot);
    bool isLinkOpen() const;
    // The open editor's link: the block's input peak goes to it and "SoloZone" processes the module it
    // shows. Detaching one that is attached waits for a block in flight, so the editor may then go.
    // User-interface thread.
    void attachEditorLink(InstrumentEditorLink* link);
    void detachEditorLink(InstrumentEditorLink* link);
    InstrumentEditorLink* getEditorLink() const noexcept {
        return editorLink_.load(std::memory_order_acquire);
    }
    Analogics* getAnalogics() const { return analogics_.load(std::memory_order_acquire); }

    // A patch document (one program) into the current preset: refused like a bank when another product
    // wrote it or its format is too new or too old; older formats are converted. False when refused.
    bool readPatch(const Dictionary& document);
    // One program of a bank or patch file read as a patch is (the patch's own for index 0), samples named
    // by relative paths taken from beside the file. False when the file does not load or is refused; the
    // user is told why.
    bool readProgramFile(const File& file, int programIndex);
    // Envelope stages of documents written before format 0.7 moved their velocity share.
    void convertOldFormat(const Dictionary& document);

protected:
    bool processesModule(const Module& module) const noexcept override;
    // Key 57 at the "MasterTune" frequency, in every tuning.
    bool getMasterPitch(std::int32_t& key, double& frequency) const noexcept override;

private:
    bool handleCommand(const ParameterMessage& change);
    bool readPatchProgram(const Dictionary& document, int programIndex);
    void applyOutputConfiguration(std::int32_t mode);
    void applyKeyboardBalance(float balance);
    void applyPitchBendRange(float semitones);
    void applyDisplayFontSize(std::int32_t size);
    void recalibrate();
    bool runLoadDialog();
    bool runSaveDialog();
    void captureOutput(const IOPinConfig& outputs, std::int32_t frames) noexcept;
    template <class T>
    void publish(std::atomic<T*>& slot, std::vector<std::unique_ptr<T>>& owned, std::unique_ptr<T> fresh);

    std::atomic<Analogics*> analogics_{nullptr};
    std::unique_ptr<Analogics> ownedAnalogics_;
    // What the audio thread reads, replaced by the user-interface thread: the newest of each list is
    // current, older ones are freed once no block reads them.
    std::atomic<IOBridge<float>*> link_{nullptr};
    std::vector<std::unique_ptr<IOBridge<float>>> links_;
    std::atomic<IOChannel<float>*> recordChannel_{nullptr};
    std::vector<std::unique_ptr<IOChannel<float>>> recordChannels_;
    ReaderEpochs readers_;
    ParameterValue<float>* masterVolume_ = nullptr;
    // Read by notes on the MIDI and audio threads; set once by init.
    std::atomic<const ParameterValue<float>*> masterTune_{nullptr};
    std::atomic<InstrumentEditorLink*> editorLink_{nullptr};
    std::atomic<bool> soloZone_{false};
    std::atomic<std::int32_t> recordSource_{kRecordHostInput};
    bool dialogOpen_ = false;
    bool tunedIn_ = false;
};

} // namespace trov
