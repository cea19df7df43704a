#pragma once

#include "engine/io/HostInterface.h"
#include "engine/modules/Engine.h"
#include "engine/modules/Module.h"
#include "engine/notes/Note.h"
#include "engine/notes/Tuning.h"
#include "engine/zones/Resources.h"
#include "engine/zones/SampleManager.h"
#include "engine/zones/ZoneManager.h"
#include "framework/EditorServices.h"
#include "framework/Message.h"
#include "framework/NativeWindow.h"
#include "framework/Preferences.h"
#include "instance/Plugin.h"
#include "instance/Preset.h"
#include "instance/Program.h"
#include "platform/Responder.h"
#include "platform/Shell.h"
#include "plugin/Parameter.h"
#include "plugin/PluginEnvironment.h"
#include "plugin/PluginInfo.h"
#include "plugin/Settings.h"
#include "support/FileTestFolder.h"
#include "support/PluginTestSupport.h"
#include "support/TestHost.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace trov::test {

// The test engine: counts note-ons and note-offs per key, looks each note's zone up through its module
// (-2 when the module has no zone manager) and writes a known signal, (module index + 1) * kLevel, into
// the output channel of its module's index.
class NoteCountingEngine : public Engine {
public:
    static constexpr float kLevel = 0.125f;

    explicit NoteCountingEngine(Module* module) : Engine(module), channel_(module->getIndex()) {
        for (std::atomic<int>& zone : zoneOfKey)
            zone.store(-3);
    }
    void handleEvent(const Note& note) noexcept override {
        const int key = note.getKey() & 0x7F;
        (note.getType() == Note::kNoteOn ? notesOn : notesOff)[static_cast<std::size_t>(key)].fetch_add(1);
        const ZoneManager* zones = getModule()->getZoneManager();
        zoneOfKey[static_cast<std::size_t>(key)].store(zones != nullptr ? zones->findZoneForKey(key) : -2);
        lastVelocity.store(note.getVelocity());
        lastFrequency.store(getModule()->getFrequency(key, note.getDetune()));
        Engine::handleEvent(note);
    }
    void process(IOPinConfig& /*inputs*/, IOPinConfig& outputs, std::int32_t frames) noexcept override {
        blocks.fetch_add(1);
        if (IOChannel<float>* out = outputs.getChannel(channel_)) {
            const std::int32_t n = std::min(frames, out->getSize());
            std::fill(out->getData(), out->getData() + std::max(n, 0), level());
            out->setValidFrames(n);
        }
    }
    void reset() override { resets.fetch_add(1); }
    int query() const override { return 7; }
    void setModulation(float value) override { modulation.store(value); }
    float level() const { return kLevel * static_cast<float>(channel_ + 1); }

    int ons(int key) const { return notesOn[static_cast<std::size_t>(key)].load(); }
    int offs(int key) const { return notesOff[static_cast<std::size_t>(key)].load(); }
    int zone(int key) const { return zoneOfKey[static_cast<std::size_t>(key)].load(); }

    std::array<std::atomic<int>, 128> notesOn{};
    std::array<std::atomic<int>, 128> notesOff{};
    std::array<std::atomic<int>, 128> zoneOfKey;
    std::atomic<int> blocks{0};
    std::atomic<int> resets{0};
    std::atomic<int> lastVelocity{-1};
    std::atomic<double> lastFrequency{0.0};
    std::atomic<float> modulation{-1.0f};

private:
    const int channel_;
};

// An engine that renders nothing: the render path's own cost.
class NullEngine : public Engine {
public:
    using Engine::Engine;
    void process(IOPinConfig&, IOPinConfig&, std::int32_t) noexcept override {}
};

// The product descriptor of the instance tests: the plug-in layer's test descriptor with real instances,
// modules and zone managers, and engines of the chosen kind (Custom: those `makeEngine` makes).
class InstanceTestPluginInfo : public TestPluginInfo {
public:
    enum class Engines { Counting, Null, None, Custom };

    InstanceTestPluginInfo() { name = "Corvale Test"; }

    Plugin* createPlugin(HostInterface* host, int tag) override { return new Plugin(host, tag); }
    Module* createModule(Plugin* plugin, Settings& settings) override {
        return new Module(plugin, *plugin, settings);
    }
    Engine* createEngine(Module* module) override {
        switch (engines) {
        case Engines::Counting:
            return new NoteCountingEngine(module);
        case Engines::Null:
            return new NullEngine(module);
        case Engines::Custom:
            return makeEngine(module);
        case Engines::None:
            break;
        }
        return nullptr;
    }
    SampleManager* createSampleManager(const Module* owner) override { return new SampleManager(owner); }
    ZoneManager* createZoneManager(Program* program) override { return new ZoneManager(program); }

    Engines engines = Engines::Counting;
    std::function<Engine*(Module*)> makeEngine;
};

// An open editor with a window, recording what the instance asks of it.
class FakeEditor : public EditorInterface, public NativeWindow {
public:
    static constexpr platform::WindowHandle kWindow = 77;

    void draw(void* deviceContext) override {
        if (deviceContext == nullptr)
            ++redraws;
    }
    Radio* findControl(const std::string&, int) override { return nullptr; }
    Radio* getControlAt(const Point&) override { return nullptr; }
    const Module* getEditedModule() const override { return edited; }
    Rect getSize() const override { return Rect(); }
    const NativeWindow* getWindow() const override { return this; }
    platform::WindowHandle getHandle() const override { return kWindow; }
    void idle() override {}
    bool open(platform::WindowHandle, const Rect&) override { return true; }
    void close() override {}
    bool receiveMessage(const Message& message) override {
        if (const auto* midi = dynamic_cast<const MidiMessage*>(&message);
            midi != nullptr && midi->code == 2) {
            controllers.push_back(midi->number);
            values.push_back(midi->value);
        }
        return true;
    }
    void selectModule(int index) override { selected.push_back(index); }
    void setBounds(const Rect&) override {}
    void setHighlight(Radio*, const Color&) override {}
    void showInfo(const void*, const std::string&, int) override {}
    void clearInfo(const void*) override {}
    void showModule(int index) override { shown.push_back(index); }

    const Module* edited = nullptr;
    int redraws = 0;
    std::vector<int> shown;
    std::vector<int> selected;
    std::vector<int> controllers;
    std::vector<float> values;
};

// A station that records the messages it hears: kind, code and extra word.
class MessageRecorder : public Radio {
public:
    struct Heard {
        std::int32_t kind;
        std::int32_t code;
        MessageWord extra;
    };
    bool receive(const Message& message) override {
        heard.push_back({message.kind, message.code, message.extra});
        return false;
    }
    int count(std::int32_t kind, std::int32_t code) const {
        return static_cast<int>(std::count_if(
            heard.begin(), heard.end(), [&](const Heard& h) { return h.kind == kind && h.code == code; }));
    }

    std::vector<Heard> heard;
};

// One specification item.
inline std::string specItem(const std::string& id, const std::string& type, const std::string& scope,
                            const std::string& more = std::string()) {
    return "<dict name=\"" + id +
           "\"><string name=\"class\" value=\"ParameterValue\"/><string name=\"type\" value=\"" + type +
           "\"/><string name=\"scope\" value=\"" + scope + "\"/>" + more + "</dict>";
}
inline const std::string kAutomatable = "<bool name=\"automatable\" value=\"true\"/>";

// The instance tests' plug-in specification. Automatable first: "Cutoff" (float, -12..12), "Resonance"
// (float 0..1), "Transpose" (integer -24..24), "Sustain" (bool), all module scope; "Volume" (plug-in scope,
// exported) and "CurrentProgram" (the preset index, not exported). Not automatable: "Drive" (module),
// "Secret" (plug-in, persistent) and "Hidden" (plug-in, not exported).
inline std::string instanceSpecification(bool automatable = true) {
    const std::string a = automatable ? kAutomatable : std::string();
    const std::string notExported = "<bool name=\"export\" value=\"false\"/>";
    return "<?xml version=\"1.0\"?><dict><array name=\"parameters\">" +
           specItem("Cutoff", "float", "module",
                    a + "<float name=\"minval\" value=\"-12\"/><float name=\"defval\" value=\"0\"/>"
                        "<float name=\"maxval\" value=\"12\"/>") +
           specItem("Resonance", "float", "module", a) +
           specItem("Transpose", "integer", "module",
                    a + "<integer name=\"minval\" value=\"-24\"/><integer name=\"maxval\" value=\"24\"/>") +
           specItem("Sustain", "bool", "module", a) + specItem("Volume", "float", "plugin", a) +
           specItem("CurrentProgram", "integer", "plugin",
                    a + notExported +
                        "<integer name=\"minval\" value=\"0\"/><integer name=\"maxval\" value=\"15\"/>") +
           specItem("Drive", "float", "module") +
           specItem("Secret", "float", "plugin", "<bool name=\"persistent\" value=\"true\"/>") +
           specItem("Hidden", "float", "plugin", notExported) + "</array></dict>";
}

// One process set up for instances: registry stores in a temporary folder with the install folder, the
// specification file and a samples folder named by the machine preferences, the plug-in environment with
// the test descriptor, the shared resources, a scripted responder and a host. Instances a test makes must
// go before the world does.
class InstanceWorld {
public:
    explicit InstanceWorld(const std::string& specification = instanceSpecification()) {
        files.write("settings.xml", specification);
        machine.setString("InstallPath", files.path());
        machine.setString("SettingsXmlFile", "settings.xml");
        machine.setString("SamplesDir", "Samples");
        setProcessPreferences(&machine, &user);
        installPluginEnvironment();
        setPluginInfo(&info);
        info.init(); // the message catalogue, as the process-wide context's start makes it
        resources = std::make_unique<Resources>();
        PluginEnvironment::instance().setResources(resources.get());
        platform::setResponder(&responder);
    }
    ~InstanceWorld() {
        platform::setResponder(nullptr);
        platform::resetQuitRequest();
        resources.reset();
        setPluginInfo(nullptr);
        uninstallPluginEnvironment();
        setProcessPreferences(nullptr, nullptr);
    }
    InstanceWorld(const InstanceWorld&) = delete;
    InstanceWorld& operator=(const InstanceWorld&) = delete;

    // An instance of the test host, initialised unless asked otherwise.
    std::unique_ptr<Plugin> makePlugin(bool initialise = true) {
        std::unique_ptr<Plugin> plugin(info.createPlugin(&host, 5));
        if (initialise)
            plugin->init();
        return plugin;
    }

    static NoteCountingEngine* engineOf(const Plugin& plugin, int module) {
        const Module* m = plugin.getModule(module);
        return m != nullptr ? dynamic_cast<NoteCountingEngine*>(m->getEngine()) : nullptr;
    }

    FileTestFolder files; // first: it points the registry stand-in at its folder
    InstanceTestPluginInfo info;
    Preferences machine{platform::RegistryRoot::Machine, "Software\\Maker\\Corvale Test"};
    Preferences user{platform::RegistryRoot::User, "Software\\Maker\\Corvale Test"};
    std::unique_ptr<Resources> resources;
    platform::ScriptedResponder responder;
    TestHost host;
};

// Hz of the key in equal temperament, as the instance's first tuning answers.
inline double equalTempered(int key, double cents = 0.0) {
    Tuning tuning;
    tuning.setEqualTemperament();
    return tuning.getFrequency(key, cents);
}

// A MIDI event of three bytes.
inline MidiEvent midi(int status, int data1, int data2, std::int32_t offset = 0) {
    MidiEvent event;
    event.status = static_cast<std::uint8_t>(status);
    event.data1 = static_cast<std::uint8_t>(data1);
    event.data2 = static_cast<std::uint8_t>(data2);
    event.offset = offset;
    return event;
}

// The module's parameter of that name.
inline Parameter* parameterOf(const Plugin& plugin, int module, const std::string& name) {
    const Module* m = plugin.getModule(module);
    return m != nullptr && m->getSettings() != nullptr ? m->getSettings()->getParameter(name) : nullptr;
}

} // namespace trov::test
