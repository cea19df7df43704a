#include "hostapp/RegistryFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace corvale::hostapp {

namespace {

// Limits of the store's reader: key names up to 255 bytes, value names up to 16383, values up to 1 MiB.
constexpr std::size_t kMaxKeyName = 255;
constexpr std::size_t kMaxValueName = 16383;
constexpr std::size_t kMaxValueSize = std::size_t(1) << 20;
constexpr std::uint8_t kMagic[4] = {'T', 'R', 'R', 'G'};

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

enum class StoreLook { Missing, Bytes, NotAStore };

// The first limit bytes of the file at path when it may be a store; else why it is none.
StoreLook lookAtStore(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& bytes,
                      std::string& why) {
    // Not blocking: the name may be a named pipe.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return StoreLook::Missing;
        why = std::string("it cannot be read: ") + std::strerror(errno);
        return StoreLook::NotAStore;
    }
    struct stat st;
    bytes.clear();
    if (::fstat(fd, &st) != 0)
        why = std::string("it cannot be read: ") + std::strerror(errno);
    else if (S_ISDIR(st.st_mode))
        why = "it is a folder";
    else if (!S_ISREG(st.st_mode))
        why = "it is not a regular file";
    else {
        bytes.resize(std::min<std::uint64_t>(static_cast<std::uint64_t>(st.st_size), limit));
        std::size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                why = std::string("it cannot be read: ") + std::strerror(errno);
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);
        if (why.empty() && got > 0 && std::memcmp(bytes.data(), kMagic, std::min(got, sizeof kMagic)) != 0)
            why = "it does not begin as a store does";
    }
    ::close(fd);
    return why.empty() ? StoreLook::Bytes : StoreLook::NotAStore;
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

std::string notAStoreReason(const std::string& path) {
    std::vector<std::uint8_t> head;
    std::string why;
    return lookAtStore(path, sizeof kMagic, head, why) == StoreLook::NotAStore ? why : std::string();
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
