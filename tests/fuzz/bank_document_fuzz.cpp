// fuzz-links: trov_instance
// Reads arbitrary text as a bank document into a plug-in instance, as a host chunk or a dropped bank file
// arrives. Nothing may crash; the instance keeps sixteen presets of two programs, a current preset and a
// tuning in range; and the state it writes then must read back and be written the same again.
#include "engine/io/IOConfig.h"
#include "engine/modules/Module.h"
#include "engine/zones/Resources.h"
#include "engine/zones/SampleManager.h"
#include "engine/zones/ZoneManager.h"
#include "framework/Dictionary.h"
#include "framework/Font.h"
#include "framework/Preferences.h"
#include "instance/Plugin.h"
#include "instance/Preset.h"
#include "instance/Program.h"
#include "plugin/PluginEnvironment.h"
#include "plugin/PluginInfo.h"

#include "FuzzScratch.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

// Two modules, sixteen presets, real modules and zone managers, no engines.
class FuzzPluginInfo : public trov::PluginInfo {
public:
    std::string getMakerName() const override { return "Maker"; }
    std::uint32_t getMakerCode() const override { return 1; }
    std::string getName() const override { return "Corvale Test"; }
    std::string getCopyright() const override { return ""; }
    std::uint32_t getProductCode() const override { return 2; }
    std::string getRegistryPath() const override { return "Software\\Maker\\Corvale Test"; }
    std::int32_t getChunkVersion() const override { return 1; }
    std::string getVersionString() const override { return "1.2.7"; }
    int getBuildType() const override { return kBuildRelease; }
    int getCategory() const override { return 10; }
    int getModuleCount() const override { return 2; }
    int getPresetCount() const override { return 16; }
    int getControlStepSize() const override { return 32; }
    const std::vector<trov::IOConfig>& getIOConfigs() const override { return configs_; }
    trov::IOConfig getCurrentIOConfig(const trov::IOConfig& requested) const override { return requested; }
    bool supportsFeature(int) const override { return true; }
    trov::KeyRange getKeyRange() const override { return trov::KeyRange(36, 96); }
    const trov::Font* getFont(int) const override { return &font_; }
    void copyFont(int, const trov::Font& font) override { font_ = font; }
    trov::Plugin* createPlugin(trov::HostInterface* host, int tag) override {
        return new trov::Plugin(host, tag);
    }
    trov::Module* createModule(trov::Plugin* plugin, trov::Settings& settings) override {
        return new trov::Module(plugin, *plugin, settings);
    }
    trov::EditorInterface* createEditor(trov::Plugin*, const trov::Module*) override { return nullptr; }
    trov::Engine* createEngine(trov::Module*) override { return nullptr; }
    trov::Voice* createVoice(const trov::Module*, int, const trov::Note&) override { return nullptr; }
    trov::ControlManager* createControlManager(trov::EditorInterface*) override { return nullptr; }
    trov::SampleManager* createSampleManager(const trov::Module* owner) override {
        return new trov::SampleManager(owner);
    }
    trov::ZoneManager* createZoneManager(trov::Program* program) override {
        return new trov::ZoneManager(program);
    }

private:
    std::vector<trov::IOConfig> configs_;
    trov::Font font_;
};

const char* const kSpecification =
    "<?xml version=\"1.0\"?><dict><array name=\"parameters\">"
    "<dict name=\"Cutoff\"><string name=\"class\" value=\"ParameterValue\"/><string name=\"type\" "
    "value=\"float\"/>"
    "<string name=\"scope\" value=\"module\"/><float name=\"minval\" value=\"-12\"/></dict>"
    "<dict name=\"Volume\"><string name=\"class\" value=\"ParameterValue\"/><string name=\"type\" "
    "value=\"float\"/>"
    "<string name=\"scope\" value=\"plugin\"/></dict>"
    "<dict name=\"Steps\"><string name=\"class\" value=\"ParameterValue\"/><string name=\"type\" "
    "value=\"integer\"/>"
    "<string name=\"scope\" value=\"plugin\"/><integer name=\"minval\" value=\"0\"/>"
    "<integer name=\"maxval\" value=\"9\"/></dict></array></dict>";

// One process set up once: registry stores and the specification in a temporary folder, the plug-in
// environment, the resources and the descriptor.
trov::Plugin& plugin() {
    static trov::Plugin* const instance = [] {
        const std::string& pattern = trov::fuzz::ScratchFolder::path();
        ::setenv("TROV_USER_REGISTRY", (pattern + "/user.reg").c_str(), 1);
        ::setenv("TROV_MACHINE_REGISTRY", (pattern + "/machine.reg").c_str(), 1);
        std::ofstream(pattern + "/settings.xml") << kSpecification;
        auto* machine =
            new trov::Preferences(trov::platform::RegistryRoot::Machine, "Software\\Maker\\Corvale Test");
        machine->setString("InstallPath", pattern);
        machine->setString("SettingsXmlFile", "settings.xml");
        trov::setProcessPreferences(machine, nullptr);
        trov::installPluginEnvironment();
        auto* info = new FuzzPluginInfo();
        trov::setPluginInfo(info);
        info->init();
        trov::PluginEnvironment::instance().setResources(new trov::Resources());
        auto* made = new trov::Plugin(nullptr, 0);
        made->init();
        return made;
    }();
    return *instance;
}

// The part of a written state that reading must keep: programs and tunings.
std::string keptPart(trov::Plugin& instance) {
    trov::Dictionary written;
    instance.writeState(written, false);
    std::string text;
    for (const char* key : {"programs", "tunings"})
        if (const trov::Dictionary::View part = written.getArray(key))
            part->toText(text);
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    trov::Plugin& instance = plugin();
    const std::string text(reinterpret_cast<const char*>(data), size);
    instance.readState(trov::Dictionary(text));

    check(instance.getCurrentPresetIndex() >= 0 && instance.getCurrentPresetIndex() < 16);
    for (int i = 0; i < 16; ++i)
        check(instance.getPreset(i) != nullptr && instance.getPreset(i)->getProgramCount() == 2);
    check(instance.getCurrentTuningIndex() >= 0 &&
          instance.getCurrentTuningIndex() < instance.getTuningCount());

    // What the instance writes reads back to the same state.
    trov::Dictionary once;
    instance.writeState(once, false);
    check(instance.readState(trov::Dictionary(once.toDocumentText())));
    const std::string first = keptPart(instance);
    trov::Dictionary twice;
    instance.writeState(twice, false);
    check(instance.readState(trov::Dictionary(twice.toDocumentText())));
    check(keptPart(instance) == first);
    return 0;
}
