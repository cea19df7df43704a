#pragma once

#include "engine/io/HostInterface.h"
#include "engine/io/IOConfig.h"
#include "engine/io/IOPinConfig.h"
#include "engine/modules/Module.h"
#include "engine/samples/Sample.h"
#include "engine/zones/Resources.h"
#include "engine/zones/ZoneManager.h"
#include "framework/File.h"
#include "framework/Preferences.h"
#include "instance/MidiEvent.h"
#include "instance/Plugin.h"
#include "instance/Program.h"
#include "instrument/AnalogTolerances.h"
#include "instrument/Corvale.h"
#include "instrument/CorvalePluginInfo.h"
#include "instrument/engine/OstrelEngine.h"
#include "instrument/engine/OstrelModule.h"
#include "platform/Responder.h"
#include "platform/Shell.h"
#include "plugin/Parameter.h"
#include "plugin/PluginEnvironment.h"
#include "plugin/Settings.h"
#include "support/FileTestFolder.h"
#include "support/MeasuredPitch.h"
#include "support/TestHost.h"
#include "support/ZoneTestSupport.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <numbers>
#include <string>
#include <string_view>
#include <vector>

namespace trov::test {

// The instrument's plug-in as its voices and filters see it: a plug-in instance that answers every
// analog tolerance with one factor and remembers what it was asked, and plays every tuning at the
// instrument's default master pitch.
class ToleranceInstrument : public Plugin, public AnalogTolerances {
public:
    using Plugin::Plugin;
    ~ToleranceInstrument() override { endWorkers(); }

    bool getMasterPitch(std::int32_t& key, double& frequency) const noexcept override {
        key = Tuning::kReferenceKey;
        frequency = Tuning::kReferenceFrequency;
        return true;
    }

    float getAnalogTolerance(std::string_view component, int index, int /*distribution*/) override {
        std::lock_guard guard(mutex_);
        asked.push_back(std::string(component) + " " + std::to_string(index));
        return factor;
    }
    // A prepared component is asked for here, and read without allocating (note starts).
    void prepareAnalogComponent(AnalogComponent& component) override {
        std::lock_guard guard(mutex_);
        asked.push_back(std::string(component.kind) + " " + std::to_string(component.index));
        component.place = this;
    }
    float readAnalogComponent(const AnalogComponent& component) override {
        return component.place != nullptr ? factor.load()
                                          : getAnalogTolerance(component.kind, component.index, 2);
    }
    bool wasAsked(const std::string& name) {
        std::lock_guard guard(mutex_);
        for (const std::string& a : asked)
            if (a == name)
                return true;
        return false;
    }

    std::atomic<float> factor{1.0f};
    std::vector<std::string> asked;

private:
    std::mutex mutex_;
};

// The product's descriptor with the test instrument in place of the plug-in class and the framework's
// zone manager.
class InstrumentTestInfo : public ProductPluginInfo {
public:
    Plugin* createPlugin(HostInterface* host, int tag) override { return new ToleranceInstrument(host, tag); }
    ZoneManager* createZoneManager(Program* program) override { return new ZoneManager(program); }
};

// One process set up for the instrument: registry stores and a documents folder in a temporary folder,
// the generated data folder as the install, its resident samples loaded, the product's descriptor and a
// host at the given rate with a stereo output. Instruments a test makes must go before the world.
class InstrumentWorld {
public:
    explicit InstrumentWorld(const std::string& data, int rate = 44100) : data_(data) {
        ::setenv("XDG_DOCUMENTS_DIR", (files.path() + "/Documents").c_str(), 1);
        machine.setString("InstallPath", data);
        machine.setString("SettingsXmlFile", "settings.xml");
        machine.setString("ResourcesXmlFile", "resources.xml");
        machine.setString("ControlsXmlFile", "controls.xml");
        machine.setString("ImagesDir", "images");
        setProcessPreferences(&machine, &user);
        installPluginEnvironment();
        setPluginInfo(&info);
        info.init();
        resources = std::make_unique<Resources>();
        resources->load(File(data + "/resources.xml"));
        PluginEnvironment::instance().setResources(resources.get());
        platform::setResponder(&responder);
        host.setSampleRate(rate);
        host.setIOConfig(IOConfig(IOPinConfig(1, 1), IOPinConfig(2, 1)));
    }
    ~InstrumentWorld() {
        platform::setResponder(nullptr);
        platform::resetQuitRequest();
        samples.clear();
        resources.reset();
        setPluginInfo(nullptr);
        uninstallPluginEnvironment();
        setProcessPreferences(nullptr, nullptr);
        ::unsetenv("XDG_DOCUMENTS_DIR");
    }
    InstrumentWorld(const InstrumentWorld&) = delete;
    InstrumentWorld& operator=(const InstrumentWorld&) = delete;

    // An initialised instrument sized for blocks of the given length.
    std::unique_ptr<ToleranceInstrument> makeInstrument(int blockFrames = 512) {
        std::unique_ptr<ToleranceInstrument> plugin(
            static_cast<ToleranceInstrument*>(info.createPlugin(&host, 1)));
        plugin->init();
        plugin->setMaxBlockSize(blockFrames);
        plugin->reset();
        return plugin;
    }

    // A sine of the frequency at the rate, cached under the name with its root key.
    Sample* addSine(const std::string& name, double hz, int frames, int rootNote, int rate = 44100,
                    float level = 0.5f) {
        std::vector<float> values(static_cast<std::size_t>(frames));
        for (int i = 0; i < frames; ++i)
            values[static_cast<std::size_t>(i)] =
                level * static_cast<float>(std::sin(2.0 * std::numbers::pi * hz * i / rate));
        return add(name, values, rootNote, rate);
    }
    Sample* add(const std::string& name, const std::vector<float>& values, int rootNote, int rate = 44100) {
        SampleInfo sampleInfo;
        sampleInfo.channels = 1;
        sampleInfo.frames = static_cast<std::int32_t>(values.size());
        sampleInfo.sampleRate = rate;
        sampleInfo.rootNote = rootNote;
        sampleInfo.data = const_cast<float*>(values.data());
        samples.emplace_back(new Sample(nullptr, sampleInfo));
        resources->addSample(name, samples.back().get(), "");
        return samples.back().get();
    }

    // A zone of the module's current program over the keys, playing the cached sample, with the zone
    // values a fresh zone needs to sound (level 1, a 44.1 kHz clock, open input filter, no loop) and
    // any more given as document text, which win over those (a zone reads the first of equal names). Its
    // index.
    static int addZone(const Plugin& plugin, int module, int low, int high, const std::string& sample,
                       const std::string& more = std::string()) {
        ZoneManager* manager = plugin.getZoneManager(module);
        const std::string values = more + "<WaveLevel value=\"1\"/><ResampleFreq value=\"44100\"/>"
                                          "<PreampFilterCutoff value=\"1\"/><PreampGain value=\"0\"/>"
                                          "<WaveRootNote value=\"60\"/><SampleLoopOn value=\"false\"/>";
        Zone* zone = manager->createZoneObject(
            manager, KeyRange(static_cast<std::int16_t>(low), static_cast<std::int16_t>(high)), "");
        zone->fromDictionary(
            zoneItem(rangeText(low, high, sample) + "<parameters>" + values + "</parameters>"));
        const int index = manager->addZone(zone);
        zone->release();
        return index;
    }

    static OstrelModule* moduleOf(const Plugin& plugin, int module) {
        return dynamic_cast<OstrelModule*>(plugin.getModule(module));
    }
    static OstrelEngine* engineOf(const Plugin& plugin, int module) {
        const Module* m = plugin.getModule(module);
        return m != nullptr ? dynamic_cast<OstrelEngine*>(m->getEngine()) : nullptr;
    }
    static Settings& settingsOf(const Plugin& plugin, int module) {
        return *plugin.getModule(module)->getSettings();
    }

    // One MIDI event, then what is queued applied as the next block's start applies it (the instance takes
    // notes and its voices' parameter changes at a block's start). Not while another thread renders.
    static void midi(Plugin& plugin, int status, int key, int velocity, std::int32_t offset = 0) {
        MidiEvent event;
        event.status = static_cast<std::uint8_t>(status);
        event.data1 = static_cast<std::uint8_t>(key);
        event.data2 = static_cast<std::uint8_t>(velocity);
        event.offset = offset;
        plugin.midiEvent(&event);
        plugin.applyEvents();
    }

    const std::string& data() const { return data_; }

    FileTestFolder files; // first: it points the registry stand-in at its folder
    InstrumentTestInfo info;
    Preferences machine{platform::RegistryRoot::Machine, "Software\\Vennikt\\Corvale"};
    Preferences user{platform::RegistryRoot::User, "Software\\Vennikt\\Corvale"};
    std::unique_ptr<Resources> resources;
    std::vector<SharedObjectPtr<Sample>> samples;
    platform::ScriptedResponder responder;
    TestHost host;

private:
    std::string data_;
};

// The product's own plug-in class over a world: the instrument with its master tuning, pitch-bend range
// and analog model, made through the product's descriptor, which stands in for the world's while this
// lives. Make it after the world and let it go first.
class ProductInstrument {
public:
    explicit ProductInstrument(InstrumentWorld& world, int blockFrames = 512) : world_(world) {
        setPluginInfo(&product_);
        product_.init();
        plugin.reset(static_cast<Corvale*>(product_.createPlugin(&world.host, 1)));
        plugin->init();
        plugin->setMaxBlockSize(blockFrames);
        plugin->reset();
    }
    ~ProductInstrument() {
        plugin.reset();
        setPluginInfo(&world_.info);
    }
    ProductInstrument(const ProductInstrument&) = delete;
    ProductInstrument& operator=(const ProductInstrument&) = delete;

    std::unique_ptr<Corvale> plugin;

private:
    InstrumentWorld& world_;
    ProductPluginInfo product_;
};

// Output pins of one configuration with buffers of the block's length.
inline IOPinConfig makePins(int width, int count, std::int32_t frames) {
    IOPinConfig pins(width, count);
    for (int c = 0; c < pins.getChannelCount(); ++c)
        pins.getChannel(c)->allocate(frames);
    return pins;
}

} // namespace trov::test
