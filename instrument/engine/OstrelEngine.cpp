#include "instrument/engine/OstrelEngine.h"

#include "engine/io/HostInterface.h"
#include "engine/io/IOPinConfig.h"
#include "engine/modules/EngineEvent.h"
#include "engine/notes/Note.h"
#include "engine/samples/Sample.h"
#include "engine/zones/Zone.h"
#include "engine/zones/ZoneManager.h"
#include "framework/File.h"
#include "framework/Folder.h"
#include "framework/Logger.h"
#include "framework/Message.h"
#include "framework/Preferences.h"
#include "framework/Thread.h"
#include "instance/Plugin.h"
#include "instrument/InstrumentGlobals.h"
#include "instrument/InstrumentKeys.h"
#include "instrument/ProductFactories.h"
#include "instrument/dsp/CorvaleVCFCutoffInfo.h"
#include "instrument/dsp/OstrelLFO.h"
#include "instrument/engine/OstrelModule.h"
#include "instrument/voice/OstrelVoice.h"
#include "plugin/Parameter.h"
#include "plugin/Settings.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace trov {

namespace {

// The names the engine follows, each delivered at once when tuned in.
constexpr const char* kFollowed[] = {
    keys::kInputLevel,          keys::kRecordMode,          keys::kRecordModeArmed,
    keys::kRecordModeEnabled,   keys::kStereoMode,          keys::kVCFCutoff,
    keys::kWaveMidiChannel,     keys::kOutputConfiguration, keys::kLFOOSCDepth,
    keys::kLFOVCADepth,         keys::kLFOVCFDepth,         keys::kModwheelLFOOSCDepth,
    keys::kModwheelLFOVCADepth, keys::kModwheelLFOVCFDepth, keys::kMidiModulation};

constexpr int kDocumentsFolder = 2;

} // namespace

OstrelEngine::OstrelEngine(Module* module)
    : EngineSynth(module), lfo_(std::make_unique<OstrelLFO>(module)),
      lfoBuffer_(module != nullptr ? module->getTempBuffer() : nullptr) {
    getMixer().setMode(Mixer::kModeSoftAdd);
    getMixer().setSaturation(0.75f);
    // The writer waits for its first take; it is made here so that no audio block ever makes a thread.
    writer_ = std::make_unique<Thread>(this, SystemMessage(this, Code::kWorkerData, 0), false);
}

OstrelEngine::~OstrelEngine() {
    endWorkers();
    for (const char* name : kFollowed)
        tuneOut(name);
    if (Module* module = getModule(); module != nullptr && lfoBuffer_ != nullptr)
        module->releaseTempBuffer(lfoBuffer_);
    lfo_.reset();
}

void OstrelEngine::init() {
    outputVoiceSlot_ = Zone::valueSlot(getSettings(), keys::kWaveOutputVoice);
    EngineSynth::init();
    relay_.start(*lfo_);
    for (const char* name : kFollowed)
        tuneIn(name);
}

OstrelModule* OstrelEngine::ostrelModule() const noexcept {
    return dynamic_cast<OstrelModule*>(getModule());
}

void OstrelEngine::routeFromChannels(int channels) noexcept {
    routing_.store(channels == 1   ? kMonoCentre
                   : channels == 8 ? kEightOutputs
                                   : kStereoPan,
                   std::memory_order_relaxed);
}

void OstrelEngine::reset() {
    EngineSynth::reset();
    const HostInterface* host = getModule() != nullptr ? getModule()->getHost() : nullptr;
    if (host != nullptr) {
        // The layout the host really gives: its output pins decide where voices go.
        routeFromChannels(const_cast<HostInterface*>(host)->getIOBridge().getOutputs().getChannelCount());
        takeRate_.store(host->getSampleRate() > 0 ? host->getSampleRate() : 44100);
    }
    // The voices' filters take the rate's cutoff table when they are made; it is built here, before notes.
    cutoffCoefficientTable(takeRate_.load());
    const std::int32_t frames = takeRate_.load() * kTakeSeconds;
    // Neither take may be resized while the writer reads one.
    waitForWriter(10000);
    for (IOChannel<float>& take : takes_) {
        if (take.getCapacity() < frames)
            take.allocate(frames);
        take.setSize(frames);
        take.setValidFrames(0);
    }
}

void OstrelEngine::setBlockSize(std::int32_t frames) {
    EngineSynth::setBlockSize(frames);
    group_.reserve(frames);
}

std::int32_t OstrelEngine::getTakeFrames() const noexcept {
    return takes_[recordingIndex()].getValidFrames();
}

std::int32_t OstrelEngine::getTakeCapacity() const noexcept {
    return takes_[recordingIndex()].getSize();
}

std::size_t OstrelEngine::recordingIndex() const noexcept {
    return takeRoles_.load(std::memory_order_acquire) & kRecordingTake;
}

void OstrelEngine::handleEvent(const Note& note) noexcept {
    Note n(note);
    const OstrelModule* module = ostrelModule();
    Zone* zone = nullptr;
    if (module != nullptr) {
        zone = module->acquireZoneForNote(n, 0);
        if (zone == nullptr)
            zone = module->acquireZoneForNote(n, 1);
    }
    const bool zoned = zone != nullptr;
    if (zone != nullptr) {
        const std::int32_t fixed = zone->readState().getLong(outputVoiceSlot_);
        if (fixed > 0)
            n.setSlot(fixed - 1);
        releaseZone(zone);
    }
    const std::int32_t channel = midiChannel_.load(std::memory_order_relaxed);
    if (channel > 0 && n.getChannel() != channel - 1)
        return;
    // A note-on that no zone plays still reaches the keyboards.
    if (n.getType() == Note::kNoteOn && !zoned)
        announceNote(n);
    else
        EngineSynth::handleEvent(n);
}

void OstrelEngine::applyEvent(const EngineEvent& event) noexcept {
    applyChange(event.read<VoiceChange>());
}

void OstrelEngine::applyChange(const VoiceChange& change) noexcept {
    if (isLFOParameter(change.which)) {
        lfo_->receive(change.message());
        return;
    }
    const auto apply = [&change](Voice& voice) {
        if (auto* ostrel = dynamic_cast<OstrelVoice*>(&voice))
            ostrel->applyChange(change);
    };
    if (!isSharedScope(change.scope)) {
        getVoicePool().forEachVoice(apply);
        return;
    }
    // One parameter of every module: its change reaches every module's voices in the order they joined.
    std::array<const ChoirDynamic*, ChoirDynamic::kMaxPools> pools{};
    const Module* module = getModule();
    const Plugin* plugin = module != nullptr ? module->getPlugin() : nullptr;
    const int count =
        plugin != nullptr ? std::min<int>(plugin->getModuleCount(), ChoirDynamic::kMaxPools) : 0;
    for (int i = 0; i < count; ++i)
        if (const Module* each = plugin->getModule(i))
            if (const auto* engine = dynamic_cast<const OstrelEngine*>(each->getEngine()))
                pools[static_cast<std::size_t>(i)] = &engine->getVoicePool();
    if (count == 0)
        pools[0] = &getVoicePool();
    ChoirDynamic::forEachVoiceInJoinOrder(pools, apply);
}

void OstrelEngine::releaseZone(Zone* zone) noexcept {
    if (zone == nullptr)
        return;
    if (zone->getReferenceCount() > 1 || !writer_ || !zoneReleases_.push(zone)) {
        zone->release();
        return;
    }
    writer_->trigger();
}

void OstrelEngine::releaseWaitingZones() noexcept {
    Zone* zone = nullptr;
    while (zoneReleases_.pop(zone))
        zone->release();
}

IOChannel<float>* OstrelEngine::getModulationBuffer(int /*index*/) {
    return lfoBuffer_;
}

float OstrelEngine::getParameterValue(int index) const {
    if (index < 0 || index > 2)
        return 0.0f;
    const auto i = static_cast<std::size_t>(index);
    return depths_[i].load(std::memory_order_relaxed) +
           modulationWheel_.load(std::memory_order_relaxed) * wheelDepths_[i].load(std::memory_order_relaxed);
}

void OstrelEngine::setModulation(float value) {
    if (Settings* settings = getSettings())
        settings->setFloat(keys::kMidiModulation, value, Sender::kSettings);
}

void OstrelEngine::setSettingBool(const char* name, bool value, int sender) noexcept {
    if (Settings* settings = getSettings())
        settings->setBool(name, value, sender);
}

void OstrelEngine::armed(bool on) {
    switch (recordState_.load(std::memory_order_acquire)) {
    case kIdle: {
        if (!on)
            break;
        const Settings* settings = getSettings();
        const std::int32_t mode = settings != nullptr ? settings->getLong(keys::kRecordMode) : 0;
        if (mode == 0) {
            beginTake();
            setSettingBool(keys::kRecordModeEnabled, true, Sender::kSettings);
        } else if (mode == 1) {
            recordState_.store(kArmed, std::memory_order_release);
        }
        break;
    }
    case kArmed:
        if (on)
            break;
        recordState_.store(kIdle, std::memory_order_release);
        setSettingBool(keys::kRecordModeArmed, false, Sender::kSettings);
        break;
    // A stop while the take is starting ends it after its tail, as while it records. Ignored, it would leave
    // the take recording until full, and the stop a full take gives itself would then change nothing.
    case kStarting:
    case kRecording:
        if (on)
            break;
        countdown_ = kTailFrames;
        recordState_.store(kTail, std::memory_order_release);
        setSettingBool(keys::kRecordModeArmed, false, Sender::kSettings);
        setSettingBool(keys::kRecordModeEnabled, false, Sender::kSettings);
        break;
    default: // the tail: the take goes on
        break;
    }
}

void OstrelEngine::beginTake() noexcept {
    // The take is emptied by the audio thread when it starts, once the writer has let go of it.
    restartTake_.store(true, std::memory_order_release);
    recordState_.store(kStarting, std::memory_order_release);
}

void OstrelEngine::endWorkers() {
    writer_.reset();
    releaseWaitingZones();
}

bool OstrelEngine::receive(const Message& message) {
    if (message.kind == kKindSystem && message.code == Code::kWorkerData && message.extra == 0) {
        releaseWaitingZones();
        if (const double tempo = tempoToFollow_.exchange(0.0); tempo > 0.0)
            if (const Module* module = getModule())
                module->withZoneManager([tempo](ZoneManager* zones) {
                    if (zones != nullptr)
                        zones->followTempo(tempo);
                });
        // Only a take this cycle holds is let go: a cycle woken for a tempo or a zone that freed the slot
        // would drop a take handed over meanwhile. A take that ended while this one was written is taken
        // up at once.
        if ((takeRoles_.load(std::memory_order_acquire) & kWriting) != 0 || handOff()) {
            do {
                writeRecordedSample();
                takeRoles_.fetch_and(~kWriting, std::memory_order_acq_rel);
            } while (handOff());
        }
        return true; // the writer stays for the next take
    }
    if (message.kind != kKindParameter || message.code != Code::kParameterValue)
        return EngineSynth::receive(message);
    const auto* change = dynamic_cast<const ParameterMessage*>(&message);
    if (change == nullptr)
        return EngineSynth::receive(message);
    const std::string_view name = change->name;
    const float value = wordToFloat(change->extra);
    if (name == keys::kRecordModeArmed) {
        if (change->flags != Sender::kNewListener)
            armed(change->extra != 0);
        return true;
    }
    if (name == keys::kInputLevel) {
        if (recordState_.load(std::memory_order_acquire) == kArmed && value >= kInputThreshold) {
            beginTake();
            setSettingBool(keys::kRecordModeEnabled, true, Sender::kSettings);
        }
        return true;
    }
    if (name == keys::kVCFCutoff) {
        if (change->sender != nullptr)
            change->sender->receive(ParameterMessage(
                this, Code::kParameterSetFromExtra, change->name, change->index,
                floatToWord(CorvaleVCFCutoffInfo::getHertz(value)), change->value, change->flags));
        return true;
    }
    if (name == keys::kWaveMidiChannel) {
        midiChannel_.store(static_cast<std::int32_t>(change->extra), std::memory_order_relaxed);
        return true;
    }
    if (name == keys::kOutputConfiguration) {
        // Entries: 0 mono, 1 stereo, 2 eight outputs.
        const auto entry = static_cast<std::int32_t>(change->extra);
        routeFromChannels(entry == 0 ? 1 : entry == 2 ? 8 : 2);
        return true;
    }
    const char* const depthNames[3] = {keys::kLFOOSCDepth, keys::kLFOVCADepth, keys::kLFOVCFDepth};
    const char* const wheelNames[3] = {keys::kModwheelLFOOSCDepth, keys::kModwheelLFOVCADepth,
                                       keys::kModwheelLFOVCFDepth};
    for (std::size_t i = 0; i < 3; ++i) {
        if (name == depthNames[i]) {
            depths_[i].store(value, std::memory_order_relaxed);
            return true;
        }
        if (name == wheelNames[i]) {
            wheelDepths_[i].store(value, std::memory_order_relaxed);
            return true;
        }
    }
    if (name == keys::kMidiModulation) {
        modulationWheel_.store(value, std::memory_order_relaxed);
        return true;
    }
    if (name == keys::kRecordMode || name == keys::kRecordModeEnabled || name == keys::kStereoMode)
        return true;
    return EngineSynth::receive(message);
}

bool OstrelEngine::handOff() noexcept {
    // Whoever finds the writer free first (the audio thread at a block, the writer when it is done) hands
    // the waiting take over, and the audio thread goes on in the other take, in one step: no thread sees
    // the take handed over but still waiting, or the writer holding the take still recorded into.
    std::uint32_t roles = takeRoles_.load(std::memory_order_acquire);
    while ((roles & (kWaiting | kWriting)) == kWaiting)
        if (takeRoles_.compare_exchange_weak(roles, (roles ^ kRecordingTake ^ kWaiting) | kWriting,
                                             std::memory_order_acq_rel, std::memory_order_acquire))
            return true;
    return false;
}

void OstrelEngine::stepRecorder(const IOPinConfig& inputs, std::int32_t frames) noexcept {
    if (handOff())
        if (writer_)
            writer_->trigger();
    std::int32_t state = recordState_.load(std::memory_order_acquire);
    // A take stopped while starting is in its tail before it began.
    if (state == kStarting || (state == kTail && restartTake_.load(std::memory_order_acquire))) {
        // The last take still waits for the writer: this one starts when it has been handed over.
        if ((takeRoles_.load(std::memory_order_acquire) & kWaiting) != 0)
            return;
        if (restartTake_.exchange(false, std::memory_order_acq_rel))
            takes_[recordingIndex()].setValidFrames(0);
        // A stop may have come meanwhile: the take is in its tail then.
        if (std::int32_t expected = kStarting; state == kStarting)
            state = recordState_.compare_exchange_strong(expected, kRecording, std::memory_order_acq_rel)
                        ? kRecording
                        : expected;
    }
    if (state == kTail) {
        if (countdown_ > 0) {
            countdown_ -= frames;
        } else {
            recordState_.store(kIdle, std::memory_order_release);
            setSettingBool(keys::kRecordModeArmed, false, Sender::kSettings);
            if (takes_[recordingIndex()].getValidFrames() > 0) {
                takeRoles_.fetch_or(kWaiting, std::memory_order_acq_rel);
                if (handOff())
                    if (writer_)
                        writer_->trigger();
            }
            return;
        }
    }
    if (state != kRecording && state != kTail)
        return;
    const IOChannel<float>* in = inputs.getChannel(0);
    if (in == nullptr)
        return;
    IOChannel<float>& take = takes_[recordingIndex()];
    if (take.getSize() == 0)
        return;
    const bool room = take.appendFrom(*in);
    if (!room && state == kRecording)
        setSettingBool(keys::kRecordModeArmed, false, Sender::kEditor);
}

void OstrelEngine::watchTempo() noexcept {
    const Module* module = getModule();
    const HostInterface* host = module != nullptr ? module->getHost() : nullptr;
    const double tempo = host != nullptr ? host->getTempo() : 0.0;
    if (!(tempo > 0.0) || tempo == lastTempo_.load(std::memory_order_relaxed))
        return;
    lastTempo_.store(tempo, std::memory_order_relaxed);
    followTempo(tempo);
}

void OstrelEngine::followTempo(double tempo) noexcept {
    tempoToFollow_.store(tempo, std::memory_order_release);
    if (writer_)
        writer_->trigger();
}

void OstrelEngine::programActivated() {
    // Before the first block there is nothing to follow yet: that block sees a new tempo anyway.
    if (const double tempo = lastTempo_.load(std::memory_order_relaxed); tempo > 0.0)
        followTempo(tempo);
}

void OstrelEngine::process(IOPinConfig& inputs, IOPinConfig& outputs, std::int32_t frames) noexcept {
    render(inputs, outputs, frames);
    publishBlock();
}

// Plain stores of what other threads may read while the next block writes the pool and the LFO's buffer.
void OstrelEngine::publishBlock() noexcept {
    int sounding = 0;
    getVoicePool().forEachVoice([&sounding](const Voice& voice) noexcept {
        if (voice.getState() != Voice::kFree)
            ++sounding;
    });
    blockVoices_.store(sounding, std::memory_order_relaxed);
    const bool hasLFO = lfoBuffer_ != nullptr && lfoBuffer_->getValidFrames() > 0;
    blockLFO_.store(hasLFO ? lfoBuffer_->getData()[0] : 0.0f, std::memory_order_relaxed);
}

void OstrelEngine::render(IOPinConfig& inputs, IOPinConfig& outputs, std::int32_t frames) noexcept {
    relay_.applyKept();
    watchTempo();
    stepRecorder(inputs, frames);

    // The LFO first, so that the voices' pitch and filter and the tremolo all read this block's values.
    const float* lfo = nullptr;
    std::int32_t lfoFrames = 0;
    if (lfoBuffer_ != nullptr) {
        lfoFrames = std::clamp(frames, std::int32_t{0}, lfoBuffer_->getCapacity());
        lfoBuffer_->setSize(lfoFrames);
        lfoBuffer_->setValidFrames(0);
        lfo_->render(*lfoBuffer_);
        lfoFrames = lfoBuffer_->getValidFrames();
        lfo = lfoBuffer_->getData();
    }

    IOPin* first = outputs.getPin(0);
    if (first == nullptr)
        return;
    IOPinStereo& voiceOut = getOutput();
    if (const IOChannel<float>* target = first->getChannel(0)) {
        const IOChannel<float>* own = voiceOut.getChannel(0);
        const std::int32_t size =
            std::min(target->getSize(), own->getCapacity() > 0 ? own->getCapacity() : own->getSize());
        if (own->getSize() != size)
            voiceOut.setSize(size);
    }

    const Module* module = getModule();
    const float gain = module != nullptr ? module->getGain() : 0.0f;
    if (!(gain > 0.0f))
        return;
    const float tremolo = getParameterValue(1);
    const std::int32_t routing = routing_.load(std::memory_order_relaxed);
    const IOPin* input = inputs.getPin(0);
    const Mixer& mixer = getMixer();
    const auto mix = [&](Voice& voice, IOPinStereo& out) noexcept {
        // The tremolo belongs to this engine's voices only, not to what other layers put in the outputs.
        if (tremolo != 0.0f && lfo != nullptr)
            for (int c = 0; c < out.getChannelCount(); ++c) {
                IOChannel<float>* channel = out.getChannel(c);
                float* data = channel->getData();
                const std::int32_t n = std::min(channel->getValidFrames(), lfoFrames);
                for (std::int32_t i = 0; i < n; ++i)
                    data[i] *= 1.0f + tremolo * lfo[i];
            }
        const auto* ostrel = dynamic_cast<const OstrelVoice*>(&voice);
        switch (routing) {
        case kMonoCentre:
            mixer.mixPin(*first, out, gain, 0.5f);
            break;
        case kEightOutputs: {
            const std::int32_t slot = ostrel != nullptr ? ostrel->getOutputSlot() : voice.getSlot();
            if (IOPin* pin = outputs.getPin(slot & 7))
                mixer.mixPin(*pin, out, gain, 1.0f);
            break;
        }
        default:
            mixer.mixPin(*first, out, gain, ostrel != nullptr ? ostrel->getPan() : 0.5f);
            break;
        }
    };
    if (grouping_.load(std::memory_order_relaxed) && group_.begin(voiceOut.getChannel(0)->getSize())) {
        getVoicePool().forEachVoice(
            [&](Voice& voice) noexcept { group_.render(voice, input, voiceOut, mix); },
            [&]() noexcept { group_.flush(mix); });
        return;
    }
    getVoicePool().forEachVoice([&](Voice& voice) noexcept {
        voiceOut.setValidFrames(0);
        voice.render(input, voiceOut);
        mix(voice, voiceOut);
    });
}

bool OstrelEngine::waitForWriter(unsigned milliseconds) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while ((takeRoles_.load(std::memory_order_acquire) & (kWaiting | kWriting)) != 0) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::string OstrelEngine::getLastRecording() const {
    std::lock_guard guard(lastMutex_);
    return lastRecording_;
}

void OstrelEngine::writeRecordedSample() {
    const std::uint32_t roles = takeRoles_.load(std::memory_order_acquire);
    if ((roles & kWriting) == 0)
        return;
    const IOChannel<float>& take = takes_[(roles & kRecordingTake) ^ 1];
    if (take.getValidFrames() <= 0)
        return;
    try {
        SampleInfo info;
        info.channels = 1;
        info.frames = take.getValidFrames();
        info.data = take.getData();
        info.rootNote = kRecordedRootNote;
        info.sampleRate = takeRate_.load();
        Sample sample(this, info);

        Folder folder = getStandardFolder(kDocumentsFolder);
        std::string own;
        if (const Preferences* user = getUserPreferences();
            user != nullptr && user->getString("RecordedSamplesPath", own) && !own.empty())
            folder = folder + Folder(own);
        logLine(0, "trov::OstrelEngine: recording into %s", folder.getPath().c_str());
        folder.create();

        const Settings* settings = getSettings();
        std::string pattern =
            settings != nullptr ? settings->getString(keys::kSampleRecordMask) : std::string();
        if (pattern.empty())
            pattern = "Recording #";
        File file(folder, File("recording.wav"));
        file.makeUnique(pattern);
        const Error saved = sample.save(file);
        if (saved.failed()) {
            logLine(4, "trov::OstrelEngine: the recording was not written to %s: %s", file.getPath().c_str(),
                    saved.getMessage().c_str());
            return;
        }
        {
            std::lock_guard guard(lastMutex_);
            lastRecording_ = file.getPath();
        }
        if (const Module* module = getModule())
            module->withZoneManager([&file](ZoneManager* manager) {
                if (manager != nullptr)
                    manager->importSample(file);
            });
    } catch (const std::exception& e) {
        logLine(4, "trov::OstrelEngine: the recording was not written: %s", e.what());
    }
}

Engine* createOstrelEngine(Module* module) {
    return new OstrelEngine(module);
}

} // namespace trov
