#pragma once

#include "framework/ProductIdentity.h"
#include "framework/Range.h"
#include "framework/Version.h"
#include "platform/RegistryRoot.h"

#include <cstdint>
#include <string>
#include <vector>

namespace trov {

class ControlManager;
class EditorInterface;
class Engine;
class Font;
class HostInterface;
class IOConfig;
class Module;
class Note;
class ParameterManager;
class Plugin;
class Program;
class SampleManager;
class Settings;
class Voice;
class ZoneManager;

// The product descriptor: everything product-specific the framework asks for (identity texts, versions,
// registry location, input/output configurations, fonts, counts) and the factories of the product's
// objects. One exists per process, installed with setPluginInfo; it is not a station. Factories return
// new objects that the caller owns.
// Threads: answers may be asked from any thread; init and the factories run on the user-interface
// thread (createVoice on the thread that allocates voices).
class PluginInfo : public ProductIdentity {
public:
    static constexpr int kBuildDevelopment = 0;
    static constexpr int kBuildAlpha = 1;
    static constexpr int kBuildBeta = 2;
    static constexpr int kBuildRelease = 3;
    static constexpr int kBuildDemo = 4;
    // supportsFeature: MIDI input.
    static constexpr int kFeatureMidiInput = 1;

    PluginInfo() = default;
    PluginInfo(const PluginInfo&) = delete;
    PluginInfo& operator=(const PluginInfo&) = delete;
    ~PluginInfo() override;

    // Once per object: fills the message catalogue and the error texts with the registered product's name.
    virtual void init();
    bool isInitialized() const { return initialized_; }
    // Three lines: build type, operating system, processor.
    virtual void getSystemReport(std::string& report) const;

    std::string getMakerName() const override = 0;
    // Four-character codes, first character in the most significant byte.
    virtual std::uint32_t getMakerCode() const = 0;
    std::string getName() const override = 0;
    virtual std::string getCopyright() const = 0;
    virtual std::uint32_t getProductCode() const = 0;
    // The machine-wide root for 0, the per-user root for anything else.
    virtual platform::RegistryRoot getRegistryRoot(int user) const;
    virtual std::string getRegistryPath() const = 0;
    Version getVersion() const override;
    virtual std::int32_t getChunkVersion() const = 0;
    std::string getVersionString() const override = 0;
    Version getFileFormatVersion() const override;
    virtual int getBuildType() const = 0;
    // Whether name is the product name reduced to its letters and digits.
    virtual bool matchesName(const std::string& name) const;
    // Host category code 0..13.
    virtual int getCategory() const = 0;
    virtual int getModuleCount() const = 0;
    virtual int getPresetCount() const = 0;
    // Frames per control step of the parameter scheduler.
    virtual int getControlStepSize() const = 0;
    virtual const std::vector<IOConfig>& getIOConfigs() const = 0;
    // The supported configuration nearest to the requested one.
    virtual IOConfig getCurrentIOConfig(const IOConfig& requested) const = 0;
    virtual bool supportsFeature(int feature) const = 0;
    // Lowest and highest key of the keyboard.
    virtual KeyRange getKeyRange() const = 0;
    virtual const Font* getFont(int index) const = 0;
    // Replaces the font of the index with a copy of font.
    virtual void copyFont(int index, const Font& font) = 0;

    virtual Plugin* createPlugin(HostInterface* host, int tag) = 0;
    virtual Module* createModule(Plugin* plugin, Settings& settings) = 0;
    virtual EditorInterface* createEditor(Plugin* plugin, const Module* module) = 0;
    virtual Engine* createEngine(Module* module) = 0;
    virtual Voice* createVoice(const Module* owner, int slot, const Note& note) = 0;
    // A plain ParameterManager unless the product has its own.
    virtual ParameterManager* createParameterManager(const Module* owner);
    virtual ControlManager* createControlManager(EditorInterface* editor) = 0;
    virtual SampleManager* createSampleManager(const Module* owner) = 0;
    virtual ZoneManager* createZoneManager(Program* program) = 0;

private:
    bool initialized_ = false;
};

// The process's descriptor, or null before one is installed. Installing it also registers it as the
// product identity of the framework's lower layers; null removes both. Not owned here: the process-wide
// context deletes it at unload.
PluginInfo* getPluginInfo();
void setPluginInfo(PluginInfo* info);

} // namespace trov
