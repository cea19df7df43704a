#include "platform/UserFolders.h"

#include <cstdlib>

namespace trov::platform {

namespace {
std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string underHome(const char* sub) {
    const std::string home = env("HOME");
    return home.empty() ? std::string() : home + "/" + sub;
}
} // namespace

std::string applicationDataFolder() {
    std::string folder = env("XDG_STATE_HOME");
    if (folder.empty())
        folder = env("XDG_DATA_HOME");
    return folder.empty() ? underHome(".local/state") : folder;
}

std::string documentsFolder() {
    const std::string folder = env("XDG_DOCUMENTS_DIR");
    return folder.empty() ? underHome("Documents") : folder;
}

std::string configFolder() {
    const std::string folder = env("XDG_CONFIG_HOME");
    return folder.empty() ? underHome(".config") : folder;
}

std::string temporaryFolder() {
    const std::string folder = env("TMPDIR");
    return folder.empty() ? std::string("/tmp") : folder;
}

} // namespace trov::platform
