#pragma once

#include "engine/io/IOPin.h"
#include "engine/modules/EngineEvent.h"
#include "engine/modules/EngineSynth.h"
#include "engine/modules/Module.h"
#include "engine/modules/PluginServices.h"
#include "engine/notes/FrequencySource.h"
#include "engine/notes/Note.h"
#include "engine/notes/Tuning.h"
#include "engine/voices/ChoirDynamic.h"
#include "engine/voices/Voice.h"
#include "engine/zones/SampleManager.h"
#include "engine/zones/ZoneManager.h"
#include "framework/Dictionary.h"
#include "plugin/Settings.h"
#include "support/PluginTestSupport.h"
#include "support/TestHost.h"

#include <xmmintrin.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace trov::test {

// A module stand-in answering from its own tuning, equal-tempered unless a test changes it.
class TunedModule : public FrequencySource {
public:
    TunedModule() { tuning.setEqualTemperament(); }
    double getFrequency(int key, double cents) const noexcept override {
        return tuning.getFrequency(key, cents);
    }
    Tuning tuning;
};

// The plug-in instance as a module sees it: two programs with a zone manager each (distinct addresses,
// never dereferenced), the host a test gives it, and a tuning of equal steps (twelve to the octave unless a
// test changes them) with A4 (key 69 unless a test names another) at the master pitch (440 Hz unless a test
// moves it), and at 440 Hz at the reference pitch. Remembers what it was asked.
class PluginDouble : public PluginServices {
public:
    Program* getProgram(int moduleIndex) const override {
        askedIndex = moduleIndex;
        return moduleIndex >= 0 && moduleIndex < 2 ? reinterpret_cast<Program*>(&programs_[moduleIndex])
                                                   : nullptr;
    }
    ZoneManager* getZoneManager(int moduleIndex) const override {
        askedIndex = moduleIndex;
        return moduleIndex >= 0 && moduleIndex < 2 ? reinterpret_cast<ZoneManager*>(&managers_[moduleIndex])
                                                   : nullptr;
    }
    void withZoneManager(int moduleIndex, const std::function<void(ZoneManager*)>& work) const override {
        work(getZoneManager(moduleIndex));
    }
    HostInterface* getHost() const override { return host; }
    // Without a queue of its own: the event is applied at once.
    bool postEvent(const EngineEvent& event) noexcept override {
        if (event.engine != nullptr)
            event.engine->applyEvent(event);
        return true;
    }
    double getFrequency(int key, double cents) const noexcept override {
        askedKey = key;
        return tempered(pitch, key, cents);
    }
    double getFrequencyAtReferencePitch(int key, double cents) const noexcept override {
        return tempered(440.0, key, cents);
    }
    Program* program(int i) const { return reinterpret_cast<Program*>(&programs_[i]); }
    ZoneManager* zoneManager(int i) const { return reinterpret_cast<ZoneManager*>(&managers_[i]); }

    mutable int askedIndex = -1;
    mutable int askedKey = -1;
    HostInterface* host = nullptr; // none unless a test gives one
    int pitchKey = 69;
    double pitch = 440.0;
    double steps = 12.0;

private:
    double tempered(double a4, int key, double cents) const noexcept {
        return a4 * std::pow(2.0, (key - pitchKey + cents / 100.0 * (steps / 12.0)) / steps);
    }
    mutable char programs_[2] = {};
    mutable char managers_[2] = {};
};

// What the test descriptor's voices do.
enum class VoiceKind {
    Base,      // the base voice itself
    Tracing,   // base behaviour, every call written to the descriptor's trace
    Rendering, // borrows a temporary buffer of its module for its life and renders a constant
    Refusing,  // stays free when started
    Fading,    // renders a constant; stopped at once it fades out over a few frames
    None,      // the descriptor makes no voice
};

// A base voice that tells the descriptor what the pool does with it. Trace words: "<serial>+<key>"
// started, "<serial>~<key>" handed to another key, "<serial>-" released, "<serial>!" stopped at once.
class TracingVoice : public Voice {
public:
    TracingVoice(const Module* owner, int slot, const Note& note, int serial, std::vector<std::string>* trace,
                 std::atomic<int>& live)
        : Voice(owner, slot, note), serial_(serial), trace_(trace), live_(live) {
        live_.fetch_add(1);
    }
    ~TracingVoice() override { live_.fetch_sub(1); }
    void noteOn(const Note& note) noexcept override {
        Voice::noteOn(note);
        write('+', note.getKey());
    }
    void changeNote(const Note& note) noexcept override {
        Voice::changeNote(note);
        write('~', note.getKey());
    }
    void noteOff(const Note& note, bool immediate) noexcept override {
        Voice::noteOff(note, immediate);
        write(immediate ? '!' : '-');
    }

private:
    void write(char what, int key = kNoKey) {
        if (trace_ != nullptr)
            trace_->push_back(std::to_string(serial_) + what + (key == kNoKey ? "" : std::to_string(key)));
    }

    static constexpr int kNoKey = -1000;

    int serial_;
    std::vector<std::string>* trace_;
    std::atomic<int>& live_;
};

// Renders kLevel into every channel of the output pin while it plays, through a borrowed buffer.
class RenderingVoice : public Voice {
public:
    static constexpr float kLevel = 0.125f;

    RenderingVoice(const Module* owner, int slot, const Note& note, std::atomic<int>& live)
        : Voice(owner, slot, note), module_(owner), live_(live) {
        buffer_ = module_ != nullptr ? module_->getTempBuffer() : nullptr;
        live_.fetch_add(1);
    }
    ~RenderingVoice() override {
        if (buffer_ != nullptr)
            module_->releaseTempBuffer(buffer_);
        live_.fetch_sub(1);
    }
    bool render(const IOPin* /*input*/, IOPin& output) noexcept override {
        if (getState() == kFree || buffer_ == nullptr)
            return Voice::render(nullptr, output);
        const std::int32_t frames = std::min(output.getChannel(0)->getSize(), buffer_->getSize());
        std::fill(buffer_->getData(), buffer_->getData() + frames, kLevel);
        buffer_->setValidFrames(frames);
        for (int i = 0; i < output.getChannelCount(); ++i)
            output.getChannel(i)->copyFrom(*buffer_);
        return true;
    }

private:
    const Module* module_;
    IOChannel<float>* buffer_ = nullptr;
    std::atomic<int>& live_;
};

// Renders kLevel into every channel of the output pin while it plays. Stopped at once it fades linearly
// from kLevel to 0 in kFadeFrames rendered frames and is free at the end of the block the fade ends in,
// as the instrument's voice does; released, it ends at once.
class FadingVoice : public Voice {
public:
    static constexpr float kLevel = 0.25f;
    static constexpr std::int32_t kFadeFrames = 64;

    FadingVoice(const Module* owner, int slot, const Note& note, std::atomic<int>& live)
        : Voice(owner, slot, note), live_(live) {
        live_.fetch_add(1);
    }
    ~FadingVoice() override { live_.fetch_sub(1); }
    void noteOff(const Note& note, bool immediate) noexcept override {
        if (!immediate || getState() == kFree)
            Voice::noteOff(note, immediate);
        else if (getState() != kStopping) {
            setState(kStopping);
            fadeLeft_ = kFadeFrames;
        }
    }
    bool render(const IOPin* /*input*/, IOPin& output) noexcept override {
        if (getState() == kFree)
            return Voice::render(nullptr, output);
        IOChannel<float>& first = *output.getChannel(0);
        float* data = first.getData();
        const bool stopping = getState() == kStopping;
        for (std::int32_t i = 0; i < first.getSize(); ++i) {
            if (stopping && fadeLeft_ > 0)
                --fadeLeft_;
            data[i] = stopping ? kLevel * static_cast<float>(fadeLeft_) / kFadeFrames : kLevel;
        }
        first.setValidFrames(first.getSize());
        for (int i = 1; i < output.getChannelCount(); ++i)
            output.getChannel(i)->copyFrom(first);
        if (stopping && fadeLeft_ == 0)
            setState(kFree);
        return true;
    }

private:
    std::atomic<int>& live_;
    std::int32_t fadeLeft_ = 0;
};

// Refuses to start: the pool must let it go.
class RefusingVoice : public TracingVoice {
public:
    using TracingVoice::TracingVoice;
    void noteOn(const Note& /*note*/) noexcept override {}
};

// An engine that counts what its module forwards.
class CountingEngine : public EngineSynth {
public:
    using EngineSynth::EngineSynth;
    void process(IOPinConfig& /*inputs*/, IOPinConfig& /*outputs*/, std::int32_t frames) noexcept override {
        ++processed;
        lastFrames = frames;
        controlWord = _mm_getcsr();
    }
    void reset() override {
        ++resets;
        EngineSynth::reset();
    }
    int query() const override { return 7; }

    int processed = 0;
    int resets = 0;
    std::int32_t lastFrames = 0;
    unsigned controlWord = 0; // the floating-point control word the last block ran under
};

// The test descriptor of the engine layer: real modules (with the plug-in double), synthesiser engines
// (or counting ones), voices of the chosen kind, zone and sample managers.
class EngineTestPluginInfo : public TestPluginInfo {
public:
    SampleManager* createSampleManager(const Module* owner) override { return new SampleManager(owner); }
    // Without programs, zone managers take this station as their parent (and its module).
    ZoneManager* createZoneManager(Program*) override { return new ZoneManager(zoneParent); }
    Module* createModule(Plugin* plugin, Settings& settings) override {
        return new Module(plugin, services, settings);
    }
    Engine* createEngine(Module* module) override {
        if (!makeEngines)
            return nullptr;
        return countingEngines ? new CountingEngine(module) : new EngineSynth(module);
    }
    Voice* createVoice(const Module* owner, int slot, const Note& note) override {
        voicesMade.fetch_add(1);
        switch (voiceKind) {
        case VoiceKind::Base:
            return new Voice(owner, slot, note);
        case VoiceKind::Tracing:
            return new TracingVoice(owner, slot, note, voicesMade.load() - 1, trace, liveVoices);
        case VoiceKind::Rendering:
            return new RenderingVoice(owner, slot, note, liveVoices);
        case VoiceKind::Refusing:
            return new RefusingVoice(owner, slot, note, voicesMade.load() - 1, trace, liveVoices);
        case VoiceKind::Fading:
            return new FadingVoice(owner, slot, note, liveVoices);
        case VoiceKind::None:
            break;
        }
        return nullptr;
    }

    PluginDouble services;
    Radio* zoneParent = nullptr;
    bool makeEngines = true;
    bool countingEngines = false;
    VoiceKind voiceKind = VoiceKind::Tracing;
    std::vector<std::string>* trace = nullptr; // written by tracing voices when set
    std::atomic<int> voicesMade{0};
    std::atomic<int> liveVoices{0};
};

// The module-parameter specification: "SustainVoices" and "Cutoff" per module, "Volume" per plug-in.
inline std::string moduleSpecification() {
    const std::string value = "<string name=\"class\" value=\"ParameterValue\"/><string name=\"type\" value=";
    return "<?xml version=\"1.0\"?><dict><array name=\"parameters\">"
           "<dict name=\"SustainVoices\">" +
           value + "\"bool\"/><string name=\"scope\" value=\"module\"/></dict><dict name=\"Cutoff\">" +
           value + "\"float\"/><string name=\"scope\" value=\"module\"/></dict><dict name=\"Volume\">" +
           value + "\"float\"/><string name=\"scope\" value=\"plugin\"/></dict></array></dict>";
}

// A module is counted; this gives its reference back.
struct ModuleRelease {
    void operator()(Module* module) const { module->release(); }
};
using ModulePtr = std::unique_ptr<Module, ModuleRelease>;

// Installs the plug-in environment and the engine test descriptor for the scope; makes modules with it.
class ScopedEngineDescriptor {
public:
    ScopedEngineDescriptor() {
        installPluginEnvironment();
        setPluginInfo(&info);
        specification.load(Dictionary(moduleSpecification()));
    }
    ~ScopedEngineDescriptor() {
        setPluginInfo(nullptr);
        uninstallPluginEnvironment();
    }
    ScopedEngineDescriptor(const ScopedEngineDescriptor&) = delete;
    ScopedEngineDescriptor& operator=(const ScopedEngineDescriptor&) = delete;

    // A module of the given plug-in identity, initialised unless asked otherwise.
    ModulePtr makeModule(Plugin* plugin = nullptr, bool initialise = true) {
        ModulePtr module(info.createModule(plugin, specification));
        if (initialise)
            module->init();
        return module;
    }

    EngineTestPluginInfo info;
    Settings specification; // modules copy it; made after the environment is installed
};

// A module whose plug-in answers with a test host at the given rate: what the blocks that follow the
// host's sample rate are built over.
class HostedModule {
public:
    explicit HostedModule(std::int32_t sampleRate = 44100) {
        descriptor.info.services.host = &host;
        host.setSampleRate(sampleRate);
        module = descriptor.makeModule();
    }

    TestHost host;
    ScopedEngineDescriptor descriptor;
    ModulePtr module;
};

// A note of the module: on (status 0x90) or off (0x80) for the key, with an optional fixed slot.
inline Note makeNote(const Module* module, int type, int key, int slot = Note::kAnySlot, int velocity = 100) {
    Note note(module);
    note.setMidiEvent(type == Note::kNoteOn    ? 0x90
                      : type == Note::kNoteOff ? 0x80
                                               : 0xB0,
                      0, key, velocity, 0, 0, 0);
    note.setSlot(slot);
    return note;
}

// The keys of the pool's voices that hold a place within its limit (playing or releasing), ascending.
inline std::vector<int> soundingKeys(const ChoirDynamic& pool) {
    std::vector<int> keys;
    for (int i = 0; const Voice* voice = pool.getVoice(i); ++i)
        if (voice->getState() == Voice::kPlaying || voice->getState() == Voice::kReleasing)
            keys.push_back(voice->getNote().getKey());
    std::sort(keys.begin(), keys.end());
    return keys;
}

// Keys first to last.
inline std::vector<int> keyRange(int first, int last) {
    std::vector<int> keys;
    for (int key = first; key <= last; ++key)
        keys.push_back(key);
    return keys;
}

} // namespace trov::test
