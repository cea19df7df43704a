#pragma once

#include "engine/io/IOConfig.h"
#include "plugin/PluginInfo.h"

#include <vector>

namespace trov {

// The emulated instrument's answers to the framework's product questions (identity, versions, registry
// location, keyboard, fonts, input/output configurations) and its factories. The concrete descriptor is
// CorvalePluginInfo, which adds the counts. Owned by the process-wide context once installed.
// Threads: as PluginInfo: answers from any thread; factories and copyFont on the user-interface thread.
class OstrelPluginInfo : public PluginInfo {
public:
    OstrelPluginInfo();

    std::string getMakerName() const override { return "Vennikt"; }
    std::uint32_t getMakerCode() const override;
    std::string getName() const override { return "Corvale"; }
    std::string getCopyright() const override;
    std::uint32_t getProductCode() const override;
    std::string getRegistryPath() const override;
    std::int32_t getChunkVersion() const override { return 1; }
    // The text ends at its last digit: a terminator inside the string would travel into every file name,
    // log line and comparison built from it.
    std::string getVersionString() const override { return "1.2.7"; }
    int getBuildType() const override { return kBuildRelease; }
    int getCategory() const override { return 10; }
    int getPresetCount() const override { return 16; }
    int getControlStepSize() const override { return 32; }
    const std::vector<IOConfig>& getIOConfigs() const override { return configs_; }
    IOConfig getCurrentIOConfig(const IOConfig& requested) const override;
    bool supportsFeature(int feature) const override { return feature == kFeatureMidiInput; }
    KeyRange getKeyRange() const override { return KeyRange(36, 96); }
    const Font* getFont(int index) const override;
    void copyFont(int index, const Font& font) override;

    Plugin* createPlugin(HostInterface* host, int tag) override;
    Module* createModule(Plugin* plugin, Settings& settings) override;
    // The installed instrument editor factory's (InstrumentEditorFactory.h); none without one.
    EditorInterface* createEditor(Plugin* plugin, const Module* module) override;
    Engine* createEngine(Module* module) override;
    Voice* createVoice(const Module* owner, int slot, const Note& note) override;
    ParameterManager* createParameterManager(const Module* owner) override;
    ControlManager* createControlManager(EditorInterface* editor) override;
    SampleManager* createSampleManager(const Module* owner) override;
    ZoneManager* createZoneManager(Program* program) override;

    // Output channels of the product's own layout; the engines route by it.
    virtual int getOutputChannelCount() const = 0;

private:
    std::vector<IOConfig> configs_;
};

// Makes the product's descriptor and installs it as the process's; null (and nothing installed) when it
// cannot be made. The process-wide context deletes it at unload.
PluginInfo* createProductDescriptor();

} // namespace trov
