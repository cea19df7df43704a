#include "plugin/PluginInfo.h"

#include "framework/MessageText.h"
#include "framework/StringUtils.h"
#include "framework/System.h"
#include "plugin/ParameterManager.h"

#include <atomic>

namespace trov {

namespace {
std::atomic<PluginInfo*> gPluginInfo{nullptr};

const char* buildTypeName(int type) {
    static const char* const names[] = {"Development", "Alpha", "Beta", "Release", "Demo"};
    return type >= 0 && type < 5 ? names[type] : "";
}

const char* osName(int code) {
    static const char* const names[] = {
        "Windows NT",           "Windows 2000",           "Windows XP",
        "Windows XP/64",        "Windows Vista",          "Mac OSX 10.3 (Panther)",
        "Mac OSX 10.4 (Tiger)", "Mac OSX 10.5 (Leopard)", "Linux"};
    return code >= 0 && code <= kOSLinux ? names[code] : "(unknown)";
}
} // namespace

PluginInfo::~PluginInfo() = default;

void PluginInfo::init() {
    if (initialized_)
        return;
    initMessageCatalogue();
    initErrorTexts();
    initialized_ = true;
}

void PluginInfo::getSystemReport(std::string& report) const {
    report = "Build type: ";
    report += buildTypeName(getBuildType());
    report += " (i386)\n";
    report += "Operating system: ";
    report += osName(getOSVersion());
    report += "\n";
    report += "CPU: " + getCPUDescription() + " (x" + std::to_string(getProcessorCount()) + ")\n";
}

platform::RegistryRoot PluginInfo::getRegistryRoot(int user) const {
    return user == 0 ? platform::RegistryRoot::Machine : platform::RegistryRoot::User;
}

Version PluginInfo::getVersion() const {
    return Version(getVersionString());
}

Version PluginInfo::getFileFormatVersion() const {
    return Version("0.7.0");
}

bool PluginInfo::matchesName(const std::string& name) const {
    return name == filterCharacters(getName(), kFilterAlphanumeric);
}

ParameterManager* PluginInfo::createParameterManager(const Module* owner) {
    return new ParameterManager(owner);
}

PluginInfo* getPluginInfo() {
    return gPluginInfo.load(std::memory_order_acquire);
}

void setPluginInfo(PluginInfo* info) {
    gPluginInfo.store(info, std::memory_order_release);
    setProductIdentity(info);
}

} // namespace trov
