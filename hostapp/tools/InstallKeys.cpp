// corvale-install-keys: writes a registry store file for the module's installation, so that a host can
// point TROV_MACHINE_REGISTRY at it. It takes only the values the module reads, and an absolute data folder:
// a misspelt name, a relative folder or, in the product's key, a missing value would give a store the module
// cannot start from. An existing store keeps its other keys; a file that is no store is refused and left
// as it is. The store is read, merged and written under the lock the module takes for its own writes.
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

// The product's key, and the values the module reads there, as tools/run.sh writes them.
constexpr const char* kProductKey = "Software/Vennikt/Corvale";
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
                 "The module corvale reads the key "
              << kProductKey << " and these five values in it, all of which must be given:\n";
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

// The names as "A, B and C".
std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += std::string(i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    return text;
}

// Empty when the module reads the value and can use it; else why not.
std::string refusal(const std::string& name, const std::string& value) {
    const auto* known = std::find_if(std::begin(kValues), std::end(kValues),
                                     [&name](const auto& entry) { return name == entry.first; });
    if (known == std::end(kValues)) {
        std::vector<std::string> names;
        for (const auto& [read, meaning] : kValues)
            names.emplace_back(read);
        return "the module reads no value '" + name + "': it reads " + joined(names);
    }
    if (known == std::begin(kValues) && (value.empty() || value.front() != '/'))
        return "InstallPath '" + value + "' is not an absolute path: the module needs its data folder as one";
    return std::string();
}

// The key path as the store compares it: levels split at "\\" or "/", names ignoring ASCII case.
std::string comparable(const std::string& keyPath) {
    std::string result = keyPath;
    for (char& c : result)
        c = c == '\\' ? '/' : (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    return result;
}

// Empty when the key's values are enough; else why not (none, or some of the product's missing).
std::string incompleteness(const std::string& keyPath,
                           const std::vector<std::pair<std::string, std::string>>& values) {
    if (values.empty())
        return "no values given for " + keyPath + ": name at least one as NAME=VALUE";
    if (comparable(keyPath) != comparable(kProductKey))
        return std::string();
    std::vector<std::string> missing;
    for (const auto& entry : kValues)
        if (std::none_of(values.begin(), values.end(),
                         [&entry](const auto& value) { return value.first == entry.first; }))
            missing.emplace_back(entry.first);
    if (missing.empty())
        return std::string();
    return "the module needs all five values in " + keyPath + ", and " + joined(missing) +
           (missing.size() == 1 ? " is" : " are") + " missing";
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
    if (const std::string incomplete = incompleteness(argv[2], values); !incomplete.empty()) {
        std::cerr << "corvale-install-keys: " << incomplete << "; the store is left as it was\n";
        return 2;
    }
    std::string error;
    if (!corvale::hostapp::writeRegistryStore(argv[1], argv[2], values, error)) {
        std::cerr << "corvale-install-keys: " << error << "\n";
        return 1;
    }
    return 0;
}
