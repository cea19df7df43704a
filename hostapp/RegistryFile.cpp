#include "hostapp/RegistryFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace corvale::hostapp {

namespace {

// Limits of the store's reader: key names up to 255 bytes, value names up to 16383, values up to 1 MiB.
constexpr std::size_t kMaxKeyName = 255;
constexpr std::size_t kMaxValueName = 16383;
constexpr std::size_t kMaxValueSize = std::size_t(1) << 20;

void put16(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    put16(bytes, value & 0xFFFFu);
    put16(bytes, value >> 16);
}

void putName(std::vector<std::uint8_t>& bytes, const std::string& name) {
    put16(bytes, static_cast<std::uint32_t>(name.size()));
    bytes.insert(bytes.end(), name.begin(), name.end());
}

} // namespace

bool buildRegistryStore(const std::string& keyPath,
                        const std::vector<std::pair<std::string, std::string>>& values,
                        std::vector<std::uint8_t>& bytes, std::string& error) {
    std::vector<std::string> levels(1);
    for (const char c : keyPath) {
        if (c == '\\' || c == '/')
            levels.emplace_back();
        else
            levels.back() += c;
    }
    for (const std::string& level : levels) {
        if (level.empty()) {
            error = "the key path '" + keyPath + "' has an empty level";
            return false;
        }
        if (level.size() > kMaxKeyName) {
            error = "the key name '" + level + "' is longer than 255 bytes";
            return false;
        }
    }
    for (const auto& [name, text] : values) {
        if (name.size() > kMaxValueName || text.size() + 1 > kMaxValueSize ||
            text.find('\0') != std::string::npos) {
            error = "the value '" + name.substr(0, 40) + "' does not fit a store";
            return false;
        }
    }
    bytes.assign({'T', 'R', 'R', 'G'});
    put32(bytes, 1);
    // The root: no name, no values, one child per level down to the key that holds the values.
    putName(bytes, std::string());
    put32(bytes, 0);
    put32(bytes, 1);
    for (std::size_t i = 0; i < levels.size(); ++i) {
        putName(bytes, levels[i]);
        const bool last = i + 1 == levels.size();
        put32(bytes, last ? static_cast<std::uint32_t>(values.size()) : 0);
        if (last)
            for (const auto& [name, text] : values) {
                putName(bytes, name);
                put32(bytes, 1);
                put32(bytes, static_cast<std::uint32_t>(text.size() + 1));
                bytes.insert(bytes.end(), text.begin(), text.end());
                bytes.push_back(0);
            }
        put32(bytes, last ? 0 : 1);
    }
    return true;
}

bool writeRegistryStore(const std::string& path, const std::string& keyPath,
                        const std::vector<std::pair<std::string, std::string>>& values, std::string& error) {
    std::vector<std::uint8_t> bytes;
    if (!buildRegistryStore(keyPath, values, bytes, error))
        return false;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out ||
        !out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())) ||
        !out.flush()) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string registryStoreFile(bool machine) {
    const char* variable = std::getenv(machine ? "TROV_MACHINE_REGISTRY" : "TROV_USER_REGISTRY");
    if (variable != nullptr && *variable != '\0')
        return variable;
    std::string config;
    if (const char* folder = std::getenv("XDG_CONFIG_HOME"); folder != nullptr && *folder != '\0')
        config = folder;
    else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        config = std::string(home) + "/.config";
    if (config.empty())
        return std::string();
    return config + (machine ? "/trov-registry/machine.reg" : "/trov-registry/user.reg");
}

std::string missingMachineStoreText() {
    const std::string file = registryStoreFile(true);
    std::error_code failed;
    if (!file.empty() && std::filesystem::exists(file, failed))
        return std::string();
    const char* variable = std::getenv("TROV_MACHINE_REGISTRY");
    if (variable != nullptr && *variable != '\0')
        return "TROV_MACHINE_REGISTRY names " + file +
               ", which does not exist; corvale-install-keys writes it";
    return "TROV_MACHINE_REGISTRY is not set and " +
           (file.empty() ? std::string("no configuration folder gives a default store")
                         : "the default store " + file + " does not exist") +
           "; corvale-install-keys writes a store to name in it";
}

} // namespace corvale::hostapp
