#pragma once

#include "engine/samples/Sample.h"
#include "engine/zones/MissingSampleHandler.h"
#include "engine/zones/Resources.h"
#include "engine/zones/SampleManager.h"
#include "engine/zones/Zone.h"
#include "engine/zones/ZoneManager.h"
#include "framework/Dictionary.h"
#include "framework/File.h"
#include "framework/Preferences.h"
#include "plugin/PluginEnvironment.h"
#include "plugin/Settings.h"
#include "support/EngineTestSupport.h"
#include "support/FileTestFolder.h"
#include "support/PluginTestSupport.h"
#include "support/SampleTestSupport.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace trov::test {

// The engine layer's test descriptor: real modules, engines, voices, zone and sample managers.
using ZoneTestPluginInfo = EngineTestPluginInfo;

// A missing-sample handler that answers with a fixed file (or skips) and counts the questions.
class ScriptedMissingSample : public MissingSampleHandler {
public:
    bool askForSample(File& file) override {
        asked.push_back(file.getName());
        if (answer.empty())
            return false;
        file = File(answer);
        return true;
    }

    std::string answer;
    std::vector<std::string> asked;
};

// The zone-scope parameters a sampler's zones carry, a module-scope one and a plug-in text.
inline std::string zoneSettingsSpecification() {
    auto item = [](const std::string& id, const std::string& kind, const std::string& type,
                   const std::string& scope, const std::string& more = std::string()) {
        return "<dict name=\"" + id + "\"><string name=\"class\" value=\"" + kind +
               "\"/><string name=\"type\" value=\"" + type + "\"/><string name=\"scope\" value=\"" + scope +
               "\"/>" + more + "</dict>";
    };
    const std::string frames =
        "<integer name=\"minval\" value=\"0\"/><integer name=\"maxval\" value=\"10000000\"/>";
    return "<?xml version=\"1.0\"?><dict><array name=\"parameters\">" +
           item("SampleStart", "ParameterValue", "integer", "zone", frames) +
           item("SampleEnd", "ParameterValue", "integer", "zone", frames) +
           item("SampleLoopOn", "ParameterValue", "bool", "zone") +
           item("SampleNormalize", "ParameterValue", "bool", "zone") +
           item("SampleReverse", "ParameterValue", "bool", "zone") +
           item("SampleDetuneCoarse", "ParameterValue", "integer", "zone",
                "<integer name=\"minval\" value=\"-24\"/><integer name=\"maxval\" value=\"24\"/>") +
           item("Volume", "ParameterValue", "float", "module") +
           item("CurrentSample", "ParameterText", "", "plugin") + "</array></dict>";
}

// One process set up for zones: machine preferences naming an install folder (with "Samples" and "Images"
// below it), the plug-in environment with a descriptor that makes zone managers, the resources registered
// as the environment's, and a settings tree with zone-scope parameters for one module. Zones and managers
// a test makes must go before the world does.
class ZoneWorld {
public:
    ZoneWorld() {
        machine_.setString("InstallPath", files.path());
        machine_.setString("SamplesDir", "Samples");
        machine_.setString("ImagesDir", "Images");
        setProcessPreferences(&machine_, nullptr);
        installPluginEnvironment();
        setPluginInfo(&info);
        resources = std::make_unique<Resources>();
        PluginEnvironment::instance().setResources(resources.get());
        resources->setMissingSampleHandler(&missing);
        settings = std::make_unique<Settings>(module());
        settings->load(Dictionary(zoneSettingsSpecification()));
        parent = std::make_unique<Radio>(module());
        info.zoneParent = parent.get();
    }
    ~ZoneWorld() {
        parent.reset();
        settings.reset();
        resources.reset();
        setPluginInfo(nullptr);
        uninstallPluginEnvironment();
        setProcessPreferences(nullptr, nullptr);
    }
    ZoneWorld(const ZoneWorld&) = delete;
    ZoneWorld& operator=(const ZoneWorld&) = delete;

    static const Module* module() { return fakeModule(3); }

    // A mono 16-bit WAV file of the given length below the folder; its path.
    std::string writeWav(const std::string& name, int frames, int rootNote = 60) const {
        std::string path = files / name;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        EditableWav wav(makeRamp(frames), 16);
        wav.setRootNote(rootNote);
        File file(path);
        wav.save(file);
        return path;
    }

    // A manager made the way the product makes them.
    std::unique_ptr<ZoneManager> makeManager() {
        return std::unique_ptr<ZoneManager>(info.createZoneManager(nullptr));
    }

    FileTestFolder files; // first: it points the registry stand-in at its folder
    ZoneTestPluginInfo info;
    ScriptedMissingSample missing;
    std::unique_ptr<Resources> resources;
    std::unique_ptr<Settings> settings;
    std::unique_ptr<Radio> parent;

private:
    Preferences machine_{platform::RegistryRoot::Machine, "Software\\Maker\\Zones"};
};

// Loads a resource description naming a WAV file of the id below the folder, then purges it: the id is
// described and its file is there, but nothing has it loaded.
inline void describeUnloaded(Resources& resources, const FileTestFolder& files, const std::string& id) {
    const std::string path = files / (id + ".wav");
    EditableWav wav(makeRamp(2000), 16);
    File file(path);
    wav.save(file);
    Dictionary description;
    description.setString("file-format", "0.7.0");
    description.addArray("samples")->addDictionary(id)->setString("filename", path);
    const File descriptionFile(files / "resources.xml");
    description.save(descriptionFile);
    resources.load(descriptionFile);
    resources.purgeUnused();
}

// A zone document item as a program writes it.
inline Dictionary zoneItem(const std::string& body) {
    Dictionary document("<?xml version=\"1.0\"?><dict><file-format value=\"0.7.0\"/><zone>" + body +
                        "</zone></dict>");
    const Dictionary::View zone = document.getDictionary("zone");
    return zone ? Dictionary(*zone) : Dictionary();
}

inline std::string rangeText(int low, int high, const std::string& id) {
    return "<id value=\"" + id + "\"/><min value=\"" + std::to_string(low) + "\"/><max value=\"" +
           std::to_string(high) + "\"/>";
}

// A program document holding zones over the given ranges, each with its own sample id.
inline Dictionary zonesDocument(const std::vector<std::pair<int, int>>& ranges,
                                const std::string& idPrefix = "S") {
    std::string zones;
    int n = 0;
    for (const auto& [low, high] : ranges)
        zones += "<zone>" + rangeText(low, high, idPrefix + std::to_string(n++)) + "</zone>";
    return Dictionary("<?xml version=\"1.0\"?><dict><file-format value=\"0.7.0\"/><zones>" + zones +
                      "</zones></dict>");
}

// The key ranges of a manager's zones in list order.
inline std::vector<std::pair<int, int>> rangesOf(const ZoneManager& manager) {
    std::vector<std::pair<int, int>> ranges;
    for (int i = 0; i < manager.getZoneCount(); ++i) {
        const KeyRange range = manager.getZoneKeyRange(i);
        ranges.emplace_back(range.low, range.high);
    }
    return ranges;
}

} // namespace trov::test
