// corvale-install-keys: writes a registry store file for the module's installation, so that a host can
// point TROV_MACHINE_REGISTRY at it.
//   corvale-install-keys STORE KEY NAME=VALUE...
//   corvale-install-keys build/install/machine.reg 'Software\Trovato\Corvale Test' InstallPath=/opt/x ...
#include "hostapp/RegistryFile.h"

#include <iostream>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: corvale-install-keys STORE KEY NAME=VALUE...\n";
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
