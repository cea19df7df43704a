// corvale-install-keys: writes a registry store file for the module's installation, so that a host can
// point TROV_MACHINE_REGISTRY at it.
//   corvale-install-keys STORE KEY NAME=VALUE...
//   corvale-install-keys build/install/machine.reg 'Software\Trovato\Corvale Test' InstallPath=/opt/x ...
#include "hostapp/RegistryFile.h"

#include <iostream>

namespace {

// What an installation of the module corvale needs, as tools/run.sh writes it.
constexpr const char* kUsage =
    "usage: corvale-install-keys STORE KEY NAME=VALUE...\n"
    "writes the registry store STORE (the file TROV_MACHINE_REGISTRY names) with the string values under\n"
    "KEY. The module corvale reads the key Software/Vennikt/Corvale and five values:\n"
    "  InstallPath       its data folder (share/corvale of the installation), an absolute path\n"
    "  ResourcesXmlFile  resources.xml, the resident samples' description in that folder\n"
    "  SettingsXmlFile   settings.xml, the plug-in specification in that folder\n"
    "  ControlsXmlFile   controls.xml, the editor's specification in that folder\n"
    "  ImagesDir         images, the folder of the editor's skins in that folder\n"
    "tools/run.sh runs, from the repository's root:\n"
    "  build/release/install/bin/corvale-install-keys build/release/install/machine.reg "
    "Software/Vennikt/Corvale \\\n"
    "      InstallPath=\"$PWD/build/release/install/share/corvale\" ResourcesXmlFile=resources.xml \\\n"
    "      SettingsXmlFile=settings.xml ControlsXmlFile=controls.xml ImagesDir=images\n";

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << kUsage;
        return 2;
    }
    std::vector<std::pair<std::string, std::string>> values;
    for (int i = 3; i < argc; ++i) {
        const std::string argument = argv[i];
        const std::size_t equals = argument.find('=');
        if (equals == std::string::npos || equals == 0) {
            std::cerr << "corvale-install-keys: '" << argument << "' is not NAME=VALUE\n";
            return 2;
        }
        values.emplace_back(argument.substr(0, equals), argument.substr(equals + 1));
    }
    std::string error;
    if (!corvale::hostapp::writeRegistryStore(argv[1], argv[2], values, error)) {
        std::cerr << "corvale-install-keys: " << error << "\n";
        return 1;
    }
    return 0;
}
