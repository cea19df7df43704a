#pragma once

#include "engine/io/IOChannel.h"
#include "engine/modules/EngineSynth.h"
#include "framework/BoundedQueue.h"
#include "instrument/engine/ParameterRelay.h"
#include "instrument/engine/VoiceGroup.h"
#include "instrument/voice/VoiceChange.h"
#include "instrument/voice/VoiceComponents.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace trov {

class OstrelLFO;
class OstrelModule;
class Thread;
class Zone;

// The engine of each of the instrument's two layers. It hands notes to the voice pool by the zones that
// play them (a zone may fix the voice slot; "WaveMidiChannel" filters by MIDI channel), renders every voice
// into the module's outputs by the routing of the output layout (mono centre, stereo pan, or eight
// outputs by voice slot), runs the LFO whose block the voices' pitch, filter and the tremolo read, and
// records the input into a take that a worker writes as a WAV file and imports as a zone.
//
// The voices, their filters and the LFO follow their parameters through the engine's relay: each change is
// applied at the start of a block, on the audio thread, in arrival order with the notes (`applyEvent`).
//
// Made by the product descriptor for an `OstrelModule`, which owns it. Threads: notes, `applyEvent`,
// `process` and the record state machine on the audio thread (noexcept, no allocation, no log); the
// engine's own parameter messages on the thread that changes them; `reset` and `setBlockSize` on the user-
// interface thread while no block runs. A zone a voice lets go at a note start, when that voice held it
// last, is let go on the worker. When the host's tempo changes, the same worker has the current
// program's loop files rendered for it, and so it does for a program made current by a preset switch (at
// the tempo of the last block). The worker renders, and imports a take, as a reader of the instance
// (`Module::withZoneManager`): a bank load or memory reset that replaces the program waits for the
// re-render under way before it frees the zone manager, and the re-render never waits for them. Takes:
// two buffers of ten seconds at the host rate. The audio
// thread records into one and, at the end of a take, hands it to the writer (its own thread, made with the
// engine) and goes on in the other, so a new take never overwrites one being written; a take that ends
// while the writer is still busy waits for it, and so does the next recording's start.
class OstrelEngine : public EngineSynth {
public:
    // Record states.
    static constexpr std::int32_t kIdle = 0;
    static constexpr std::int32_t kArmed = 1;    // waits for the input level
    static constexpr std::int32_t kStarting = 2; // one block
    static constexpr std::int32_t kRecording = 3;
    static constexpr std::int32_t kTail = 4; // a little more after the stop
    // Routing modes.
    static constexpr std::int32_t kMonoCentre = 0;
    static constexpr std::int32_t kStereoPan = 1;
    static constexpr std::int32_t kEightOutputs = 2;

    static constexpr std::int32_t kTailFrames = 4096;
    static constexpr float kInputThreshold = 0.01f;
    static constexpr std::int32_t kTakeSeconds = 10;
    static constexpr int kRecordedRootNote = 54;

    explicit OstrelEngine(Module* module);
    ~OstrelEngine() override;

    // The voice pool, the LFO and the engine's parameters.
    void init() override;
    bool receive(const Message& message) override;
    // The pool, the routing by the host's output channels, and the take buffers for its rate.
    void reset() override;
    // Ends the recording and tempo worker; takes and tempo changes after it are not written or followed.
    void endWorkers() override;
    // The current program's loops follow the tempo of the last block, on the worker.
    void programActivated() override;
    void setBlockSize(std::int32_t frames) override;
    void handleEvent(const Note& note) noexcept override;
    // A change the relay posted: to the LFO, or to every voice in the order a broadcast reaches listeners.
    void applyEvent(const EngineEvent& event) noexcept override;
    void applyChange(const VoiceChange& change) noexcept;
    void process(IOPinConfig& inputs, IOPinConfig& outputs, std::int32_t frames) noexcept override;
    // The LFO's block, whatever the index.
    IOChannel<float>* getModulationBuffer(int index) override;
    // LFO depths with the mod wheel: 0 pitch, 1 amplitude (tremolo), 2 filter; 0 for any other index.
    float getParameterValue(int index) const override;
    // Sets "MidiModulation".
    void setModulation(float value) override;

    std::int32_t getRecordState() const noexcept { return recordState_.load(std::memory_order_acquire); }
    std::int32_t getRoutingMode() const noexcept { return routing_.load(std::memory_order_relaxed); }
    std::int32_t getMidiChannel() const noexcept { return midiChannel_.load(std::memory_order_relaxed); }
    // What the last block ended with, for readers on other threads (the editor's displays): the voices
    // that were not free and the LFO's first value (0.0 for a block without LFO frames). Both 0 before
    // the first block. Any thread.
    int getBlockVoiceCount() const noexcept { return blockVoices_.load(std::memory_order_relaxed); }
    float getBlockLFOValue() const noexcept { return blockLFO_.load(std::memory_order_relaxed); }
    OstrelLFO& getLFO() const { return *lfo_; }
    // Frames the take being recorded holds, and what it can hold.
    std::int32_t getTakeFrames() const noexcept;
    std::int32_t getTakeCapacity() const noexcept;
    // Waits until no take is waiting to be written or being written; false after the time-out.
    bool waitForWriter(unsigned milliseconds) const;
    // The file the writer wrote last; empty before the first.
    std::string getLastRecording() const;
    // The voices' envelope components by slot.
    VoiceComponents& getVoiceComponents() noexcept { return components_; }
    // Whether the voices render in groups whose filters run side by side (the default) or one by one; the
    // output is the same. For tests and benchmarks; any thread, taking effect at the next block.
    void setVoiceGrouping(bool on) noexcept { grouping_.store(on, std::memory_order_relaxed); }
    const VoiceGroup& getVoiceGroup() const noexcept { return group_; }
    // Lets a zone go: at once when another holds it, else on the worker (its destruction takes locks and
    // frees memory). Audio thread.
    void releaseZone(Zone* zone) noexcept;

private:
    OstrelModule* ostrelModule() const noexcept;
    void routeFromChannels(int channels) noexcept;
    void armed(bool on);
    void beginTake() noexcept;
    void stepRecorder(const IOPinConfig& inputs, std::int32_t frames) noexcept;
    // Gives the finished take waiting for the writer to it when it is free; true when handed over.
    bool handOff() noexcept;
    // The take the audio thread records into.
    std::size_t recordingIndex() const noexcept;
    void writeRecordedSample();
    // Audio thread: a changed host tempo goes to the worker.
    void watchTempo() noexcept;
    // Hands the tempo to the worker; any thread.
    void followTempo(double tempo) noexcept;
    void setSettingBool(const char* name, bool value, int sender) noexcept;
    // The block itself; `process` publishes what it ended with.
    void render(IOPinConfig& inputs, IOPinConfig& outputs, std::int32_t frames) noexcept;
    void publishBlock() noexcept;
    void releaseWaitingZones() noexcept;

    std::atomic<std::int32_t> midiChannel_{0};
    std::unique_ptr<OstrelLFO> lfo_;
    IOChannel<float>* lfoBuffer_;
    std::atomic<std::int32_t> recordState_{kIdle};
    std::int32_t countdown_ = 0;
    std::array<IOChannel<float>, 2> takes_;
    // Which take does what, in one word so that a hand-over is one step for every thread that looks: the
    // take the audio thread records into (kRecordingTake), whether it has ended and waits for the writer
    // (kWaiting), and whether the writer has the other (kWriting).
    static constexpr std::uint32_t kRecordingTake = 1;
    static constexpr std::uint32_t kWaiting = 2;
    static constexpr std::uint32_t kWriting = 4;
    std::atomic<std::uint32_t> takeRoles_{0};
    std::atomic<bool> restartTake_{false};
    std::atomic<int> takeRate_{44100};
    std::atomic<std::int32_t> routing_{kStereoPan};
    // The values behind getParameterValue, kept as they change.
    std::atomic<float> depths_[3] = {0.0f, 0.0f, 0.0f};
    std::atomic<float> wheelDepths_[3] = {0.0f, 0.0f, 0.0f};
    std::atomic<float> modulationWheel_{0.0f};
    std::unique_ptr<Thread> writer_;
    // Written by the audio thread only; 0 before the first block.
    std::atomic<double> lastTempo_{0.0};
    std::atomic<double> tempoToFollow_{0.0}; // 0 when the worker has taken it
    // Stored at the end of each block by the audio thread.
    std::atomic<int> blockVoices_{0};
    std::atomic<float> blockLFO_{0.0f};
    mutable std::mutex lastMutex_;
    std::string lastRecording_;
    VoiceComponents components_;
    BoundedQueue<Zone*> zoneReleases_{256};
    int outputVoiceSlot_ = -1; // "WaveOutputVoice" in a zone's state
    ParameterRelay relay_{*this};
    VoiceGroup group_;
    std::atomic<bool> grouping_{true};
};

} // namespace trov
