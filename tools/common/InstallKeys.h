#pragma once
// The values an installation's registry key holds beside "InstallPath" (the data folder): the files and
// the folder of the data folder the module reads, named relative to it.

#include "platform/Registry.h"

#include <filesystem>
#include <string>
#include <utility>

namespace trov::tools {

inline constexpr std::pair<const char*, const char*> kInstallFiles[] = {
    {"ResourcesXmlFile", "resources.xml"},
    {"SettingsXmlFile", "settings.xml"},
};
// An installation with an editor: its specification and the folder of its skins.
inline constexpr std::pair<const char*, const char*> kEditorFiles[] = {
    {"ControlsXmlFile", "controls.xml"},
    {"ImagesDir", "images"},
};

// Stores "InstallPath" and the values above as strings in the key, the editor's when the folder holds its
// specification; false when one cannot be stored.
inline bool storeInstall(platform::RegistryKey& key, const std::string& installPath) {
    const auto store = [&key](const char* name, const std::string& text) {
        return key.setValue(name, platform::RegistryType::String, text.c_str(), text.size() + 1);
    };
    if (!store("InstallPath", installPath))
        return false;
    for (const auto& [name, file] : kInstallFiles)
        if (!store(name, file))
            return false;
    if (std::filesystem::exists(std::filesystem::path(installPath) / kEditorFiles[0].second))
        for (const auto& [name, file] : kEditorFiles)
            if (!store(name, file))
                return false;
    return true;
}

} // namespace trov::tools
