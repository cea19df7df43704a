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

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <cstdio>

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
        std::string pattern =
            (std::filesystem::temp_directory_path() / "trov-instrument-fuzz-XXXXXX").string();
        check(::mkdtemp(pattern.data()) != nullptr);
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
    if (!instance.readState(trov::Dictionary(once))) { fprintf(stderr, "ONCE NOT READ\n%s\n", once.c_str()); std::abort(); }
    const std::string twice = written(instance);
    if (!instance.readState(trov::Dictionary(twice))) { fprintf(stderr, "TWICE NOT READ\n"); std::abort(); }
    const std::string thrice = written(instance);
    if (thrice != twice) { size_t i=0; while (i<twice.size() && twice[i]==thrice[i]) ++i; fprintf(stderr, "DIFF at %zu:\n%s\n---\n%s\n", i, twice.substr(i>300?i-300:0, 600).c_str(), thrice.substr(i>300?i-300:0,600).c_str()); std::abort(); }
    return 0;
}
