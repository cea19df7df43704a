#pragma once

#include "engine/io/IOConfig.h" // the plug-in layer only declares it; every test program links the engine
#include "framework/Dictionary.h"
#include "framework/Error.h"
#include "framework/Font.h"
#include "framework/Message.h"
#include "framework/Preferences.h"
#include "framework/Radio.h"
#include "plugin/PluginEnvironment.h"
#include "plugin/PluginInfo.h"
#include "support/FileTestFolder.h"

#include <memory>
#include <string>
#include <vector>

namespace trov::test {

// A product descriptor answering every question with fixed values and creating no product objects.
class TestPluginInfo : public PluginInfo {
public:
    std::string getMakerName() const override { return "Maker"; }
    std::uint32_t getMakerCode() const override { return 0x4d6b7220; }
    std::string getName() const override { return name; }
    std::string getCopyright() const override { return "(c) Maker"; }
    std::uint32_t getProductCode() const override { return 0x54737431; }
    std::string getRegistryPath() const override { return "Software\\Maker\\" + name; }
    std::int32_t getChunkVersion() const override { return 1; }
    std::string getVersionString() const override { return "1.2.7"; }
    int getBuildType() const override { return buildType; }
    int getCategory() const override { return 10; }
    int getModuleCount() const override { return 2; }
    int getPresetCount() const override { return 16; }
    int getControlStepSize() const override { return controlStep; }
    const std::vector<IOConfig>& getIOConfigs() const override { return configs_; }
    IOConfig getCurrentIOConfig(const IOConfig& requested) const override { return requested; }
    bool supportsFeature(int feature) const override { return feature == kFeatureMidiInput; }
    KeyRange getKeyRange() const override { return KeyRange(36, 96); }
    const Font* getFont(int /*index*/) const override { return &font_; }
    void copyFont(int /*index*/, const Font& font) override { font_ = font; }
    Plugin* createPlugin(HostInterface*, int) override { return nullptr; }
    Module* createModule(Plugin*, Settings&) override { return nullptr; }
    EditorInterface* createEditor(Plugin*, const Module*) override { return nullptr; }
    Engine* createEngine(Module*) override { return nullptr; }
    Voice* createVoice(const Module*, int, const Note&) override { return nullptr; }
    ControlManager* createControlManager(EditorInterface*) override { return nullptr; }
    SampleManager* createSampleManager(const Module*) override { return nullptr; }
    ZoneManager* createZoneManager(Program*) override { return nullptr; }

    std::string name = "Test Product-1";
    int buildType = kBuildRelease;
    int controlStep = 32;

private:
    std::vector<IOConfig> configs_{IOConfig{}};
    Font font_;
};

// Installs the plug-in environment and a test descriptor for the scope.
class ScopedPluginInfo {
public:
    ScopedPluginInfo() {
        installPluginEnvironment();
        setPluginInfo(&info);
    }
    ~ScopedPluginInfo() {
        setPluginInfo(nullptr);
        uninstallPluginEnvironment();
    }
    ScopedPluginInfo(const ScopedPluginInfo&) = delete;
    ScopedPluginInfo& operator=(const ScopedPluginInfo&) = delete;

    TestPluginInfo info;
};

// Per-user preferences of the process in a temporary registry store, for the scope.
class ScopedUserPreferences {
public:
    ScopedUserPreferences() : user_(platform::RegistryRoot::User, "Software\\Maker\\Test") {
        setProcessPreferences(nullptr, &user_);
    }
    ~ScopedUserPreferences() { setProcessPreferences(nullptr, nullptr); }
    ScopedUserPreferences(const ScopedUserPreferences&) = delete;
    ScopedUserPreferences& operator=(const ScopedUserPreferences&) = delete;

    // The child key persistent parameters use, or null while it does not exist.
    std::unique_ptr<Preferences> stored() const {
        return std::unique_ptr<Preferences>(user_.openChild("Preferences"));
    }

private:
    FileTestFolder folder_; // first: it points the registry stand-in at its folder
    Preferences user_;
};

// A station that records every parameter message it receives.
class Recorder : public Radio {
public:
    bool receive(const Message& message) override {
        if (const auto* change = dynamic_cast<const ParameterMessage*>(&message))
            entries.push_back(*change);
        return false;
    }
    const ParameterMessage& last() const { return entries.back(); }
    // The sender codes of the messages heard, in order.
    std::vector<std::int32_t> flags() const {
        std::vector<std::int32_t> codes;
        for (const ParameterMessage& entry : entries)
            codes.push_back(entry.flags);
        return codes;
    }

    std::vector<ParameterMessage> entries;
};

// A distinct module identity for owners and look-ups; never dereferenced.
inline const Module* fakeModule(int n) {
    static char storage[16];
    return reinterpret_cast<const Module*>(&storage[n]);
}

// One specification item: an element named id holding typed-layout entries, as hand-written
// specifications are read.
inline Dictionary typedItem(const std::string& id, const std::string& entries) {
    Dictionary document(std::string("<?xml version=\"1.0\"?><dict><dict name=\"") + id + "\">" + entries +
                        "</dict></dict>");
    Dictionary::View item = document.getDictionary(id);
    return item ? Dictionary(*item) : Dictionary();
}

// The same in the key-named layout this system writes: entries are elements named after their keys.
inline Dictionary keyedItem(const std::string& id, const std::string& entries) {
    Dictionary document(std::string("<?xml version=\"1.0\"?><dict><file-format value=\"0.7.0\"/><") + id +
                        ">" + entries + "</" + id + "></dict>");
    Dictionary::View item = document.getDictionary(id);
    return item ? Dictionary(*item) : Dictionary();
}

// The error the call throws; one that has not failed when it throws none.
template <class Call> Error errorThrownBy(Call call) {
    try {
        call();
    } catch (const Error& error) {
        return error;
    }
    return NoError();
}

} // namespace trov::test
