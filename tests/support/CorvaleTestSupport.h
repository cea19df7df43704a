#pragma once

#include "instrument/Corvale.h"
#include "instrument/InstrumentKeys.h"
#include "instrument/zones/CorvaleZoneManager.h"
#include "support/InstanceTestSupport.h"

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace trov::test {

// The instance tests' descriptor making the instrument's plug-in and zone managers (engines count notes
// and write a known level per module).
class CorvaleTestPluginInfo : public InstanceTestPluginInfo {
public:
    Plugin* createPlugin(HostInterface* host, int tag) override { return new Corvale(host, tag); }
    ZoneManager* createZoneManager(Program* program) override { return new CorvaleZoneManager(program); }
};

// The installed plug-in specification of the instrument.
inline std::string instrumentSpecification() {
    std::ifstream in(std::string(TROV_BUILD_DATA) + "/settings.xml");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// One process set up for instrument instances, as InstanceWorld with the instrument's specification.
class CorvaleWorld {
public:
    CorvaleWorld() {
        files.write("settings.xml", instrumentSpecification());
        machine.setString("InstallPath", files.path());
        machine.setString("SettingsXmlFile", "settings.xml");
        machine.setString("SamplesDir", "Samples");
        setProcessPreferences(&machine, &user);
        installPluginEnvironment();
        setPluginInfo(&info);
        info.init();
        resources = std::make_unique<Resources>();
        PluginEnvironment::instance().setResources(resources.get());
        platform::setResponder(&responder);
        host.setBlockSize(64);
    }
    ~CorvaleWorld() {
        platform::setResponder(nullptr);
        platform::resetQuitRequest();
        resources.reset();
        setPluginInfo(nullptr);
        uninstallPluginEnvironment();
        setProcessPreferences(nullptr, nullptr);
    }
    CorvaleWorld(const CorvaleWorld&) = delete;
    CorvaleWorld& operator=(const CorvaleWorld&) = delete;

    std::unique_ptr<Corvale> makeCorvale() {
        std::unique_ptr<Corvale> plugin(static_cast<Corvale*>(info.createPlugin(&host, 3)));
        plugin->init();
        return plugin;
    }

    // Chooses path in the instrument's load dialog under the entry given (0 banks, 1 patches), as the
    // editor's load button asks for it; how many questions the responder was asked meanwhile (the dialog,
    // then any message box).
    std::size_t chooseInLoadDialog(Settings& settings, const std::string& path, int entry) {
        platform::FileDialogAnswer answer;
        answer.accepted = true;
        answer.path = path;
        answer.filterIndex = entry;
        responder.queueFile(answer);
        const std::size_t before = responder.questions().size();
        settings.setBool(keys::kLoad, true, Sender::kEditor);
        return responder.questions().size() - before;
    }

    FileTestFolder files; // first: it points the registry stand-in at its folder
    CorvaleTestPluginInfo info;
    Preferences machine{platform::RegistryRoot::Machine, "Software\\Maker\\Corvale Test"};
    Preferences user{platform::RegistryRoot::User, "Software\\Maker\\Corvale Test"};
    std::unique_ptr<Resources> resources;
    platform::ScriptedResponder responder;
    TestHost host;
};

} // namespace trov::test
