// fuzz-links: trov_instrument
// Reads arbitrary text the three ways the instrument takes its own documents: as a bank (a dropped or
// loaded bank file), as a patch (the load dialog's patch entry) and as the program of a host chunk, into a
// real instance of the instrument with its installed data (zones, samples, tunings, the analog model).
// Nothing may crash; what the instance then writes reads back, and written again it is the same text.
#include "engine/io/HostInterface.h"
#include "engine/zones/Resources.h"
#include "framework/Dictionary.h"
#include "framework/File.h"
#include "framework/Preferences.h"
#include "instrument/Corvale.h"
#include "instrument/CorvalePluginInfo.h"
#include "plugin/PluginEnvironment.h"

#include "FuzzScratch.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

class FuzzHost : public trov::HostInterface {
public:
    double getTempo() const override { return 120.0; }
    double getSongPosition() const override { return 0.0; }
    std::string getHostName() const override { return "fuzz"; }
};

// One process set up once: registry stores in a temporary folder naming the build's data folder as the
// installation, its resources loaded, the product's descriptor and one instance.
trov::Corvale& instrument() {
    static trov::Corvale* const instance = [] {
        const std::string& pattern = trov::fuzz::ScratchFolder::path();
        ::setenv("TROV_USER_REGISTRY", (pattern + "/user.reg").c_str(), 1);
        ::setenv("TROV_MACHINE_REGISTRY", (pattern + "/machine.reg").c_str(), 1);
        ::setenv("XDG_DOCUMENTS_DIR", (pattern + "/Documents").c_str(), 1);
        auto* machine =
            new trov::Preferences(trov::platform::RegistryRoot::Machine, "Software\\Vennikt\\Corvale");
        machine->setString("InstallPath", TROV_BUILD_DATA);
        machine->setString("SettingsXmlFile", "settings.xml");
        machine->setString("ResourcesXmlFile", "resources.xml");
        auto* user = new trov::Preferences(trov::platform::RegistryRoot::User, "Software\\Vennikt\\Corvale");
        trov::setProcessPreferences(machine, user);
        trov::installPluginEnvironment();
        auto* info = new trov::ProductPluginInfo();
        trov::setPluginInfo(info);
        info->init();
        auto* resources = new trov::Resources();
        resources->load(trov::File(std::string(TROV_BUILD_DATA) + "/resources.xml"));
        trov::PluginEnvironment::instance().setResources(resources);
        auto* host = new FuzzHost();
        host->setSampleRate(44100);
        auto* made = dynamic_cast<trov::Corvale*>(info->createPlugin(host, 1));
        check(made != nullptr);
        made->init();
        made->setMaxBlockSize(256);
        made->reset();
        return made;
    }();
    return *instance;
}

// Aborts showing where two written states part.
void checkSame(const std::string& again, const std::string& before) {
    if (again == before)
        return;
    std::size_t at = 0;
    while (at < again.size() && at < before.size() && again[at] == before[at])
        ++at;
    const std::size_t from = at > 200 ? at - 200 : 0;
    std::fprintf(stderr, "written states part at byte %zu:\n%s\n----\n%s\n", at,
                 before.substr(from, 400).c_str(), again.substr(from, 400).c_str());
    std::abort();
}

std::string written(trov::Corvale& instance) {
    trov::Dictionary state;
    instance.writeState(state, true);
    return state.toDocumentText();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    trov::Corvale& instance = instrument();
    const std::string text(reinterpret_cast<const char*>(data), size);
    instance.readState(trov::Dictionary(text));
    instance.readPatch(trov::Dictionary(text));
    trov::Dictionary chunk(text);
    std::string refusal;
    if (chunk.checkCompatibility(refusal))
        instance.readProgram(chunk);

    // What the instance holds now is written, read back and written again the same.
    const std::string once = written(instance);
    check(instance.readState(trov::Dictionary(once)));
    const std::string twice = written(instance);
    check(instance.readState(trov::Dictionary(twice)));
    checkSame(written(instance), twice);
    return 0;
}
