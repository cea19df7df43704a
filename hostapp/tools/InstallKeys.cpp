// corvale-install-keys: writes a registry store file for the module's installation, so that a host can
// point TROV_MACHINE_REGISTRY at it. It takes only the values the module reads, and an absolute data folder:
// a misspelt name or a relative folder would give a store the module cannot start from. An existing store
// keeps its other keys; a file that is no store is refused and left as it is.
//   corvale-install-keys STORE KEY NAME=VALUE...
//   corvale-install-keys build/install/machine.reg 'Software\Trovato\Corvale Test' InstallPath=/opt/x ...
#include "hostapp/RegistryFile.h"

#include <algorithm>
#include <iostream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

// The values the module reads, as tools/run.sh writes them.
constexpr std::pair<const char*, const char*> kValues[] = {
    {"InstallPath", "its data folder (share/corvale of the installation), an absolute path"},
    {"ResourcesXmlFile", "resources.xml, the resident samples' description in that folder"},
    {"SettingsXmlFile", "settings.xml, the plug-in specification in that folder"},
    {"ControlsXmlFile", "controls.xml, the editor's specification in that folder"},
    {"ImagesDir", "images, the folder of the editor's skins in that folder"},
};

void printUsage() {
    std::cerr << "usage: corvale-install-keys STORE KEY NAME=VALUE...\n"
                 "writes the string values under KEY into the registry store STORE (the file "
                 "TROV_MACHINE_REGISTRY names),\n"
                 "made when missing; an existing store keeps its other keys and KEY's values become those "
                 "given, and\n"
                 "any other file (a WAV file, a folder, a damaged store) is refused and left as it is.\n"
                 "The module corvale reads the key Software/Vennikt/Corvale and five values:\n";
    for (const auto& [name, meaning] : kValues)
        std::cerr << "  " << name << std::string(18 - std::string(name).size(), ' ') << meaning << "\n";
    std::cerr
        << "tools/run.sh runs, from the repository's root:\n"
           "  build/release/install/bin/corvale-install-keys build/release/install/machine.reg "
           "Software/Vennikt/Corvale \\\n"
           "      InstallPath=\"$PWD/build/release/install/share/corvale\" ResourcesXmlFile=resources.xml "
           "\\\n"
           "      SettingsXmlFile=settings.xml ControlsXmlFile=controls.xml ImagesDir=images\n";
}

// Empty when the module reads the value and can use it; else why not.
std::string refusal(const std::string& name, const std::string& value) {
    const auto* known = std::find_if(std::begin(kValues), std::end(kValues),
                                     [&name](const auto& entry) { return name == entry.first; });
    if (known == std::end(kValues)) {
        std::string names;
        for (std::size_t i = 0; i < std::size(kValues); ++i)
            names += std::string(i == 0                        ? ""
                                 : i + 1 == std::size(kValues) ? " and "
                                                               : ", ") +
                     kValues[i].first;
        return "the module reads no value '" + name + "': it reads " + names;
    }
    if (known == std::begin(kValues) && (value.empty() || value.front() != '/'))
        return "InstallPath '" + value + "' is not an absolute path: the module needs its data folder as one";
    return std::string();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        printUsage();
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
        if (const std::string refused = refusal(values.back().first, values.back().second);
            !refused.empty()) {
            std::cerr << "corvale-install-keys: " << refused << "\n";
            return 2;
        }
    }
    std::string error;
    if (!corvale::hostapp::writeRegistryStore(argv[1], argv[2], values, error)) {
        std::cerr << "corvale-install-keys: " << error << "\n";
        return 1;
    }
    return 0;
}
