#include "instance/Mission.h"

#include "engine/samples/RexApi.h"
#include "engine/samples/RexLibrary.h"
#include "engine/zones/Resources.h"
#include "framework/Error.h"
#include "framework/File.h"
#include "framework/Logger.h"
#include "framework/MessageText.h"
#include "framework/Minidumper.h"
#include "framework/Preferences.h"
#include "framework/Random.h"
#include "framework/System.h"
#include "instance/Plugin.h"
#include "platform/Registry.h"
#include "platform/StartupSeed.h"
#include "plugin/PluginEnvironment.h"
#include "plugin/PluginInfo.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace trov {

namespace {

// The build date as "Mon d yyyy" (the compiler pads a one-digit day with a blank).
std::string buildDate() {
    std::string date = __DATE__;
    if (const std::size_t doubled = date.find("  "); doubled != std::string::npos)
        date.erase(doubled, 1);
    return date;
}

unsigned long addressOf(const void* object) {
    return static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(object));
}

// The values the start reads from the installation's key that it lacks, as "A, B and C".
std::string lackingValues(const Preferences& machine) {
    std::vector<std::string> missing;
    for (const char* name : {"InstallPath", "ResourcesXmlFile", "SettingsXmlFile"})
        if (!machine.exists(name))
            missing.emplace_back(name);
    std::string names;
    for (std::size_t i = 0; i < missing.size(); ++i)
        names += (i == 0 ? "" : i + 1 == missing.size() ? " and " : ", ") + missing[i];
    return names;
}

// Built when the module loads, torn down when it unloads.
[[maybe_unused]] Mission& gLoadTime = Mission::instance();

} // namespace

Mission::Mission() = default;

Mission::~Mission() {
    tearDown();
}

Mission& Mission::instance() {
    static Mission mission;
    return mission;
}

void Mission::start() {
    // Once: a failed start has asked the host to quit and is not tried again.
    PluginInfo* info = getPluginInfo();
    if (started_ || startCalled_ || info == nullptr)
        return;
    startCalled_ = true;

    logger_ = new Logger(2);
    setLog(logger_);
    logger_->log(4, "%s %s (built @ %s %s)", info->getName().c_str(), info->getVersionString().c_str(),
                 __TIME__, buildDate().c_str());
    std::string report;
    info->getSystemReport(report);
    logger_->log(4, report);
    initSystem();
    info->init();
    if (const std::string problem = storeProblem(*info); !problem.empty()) {
        exitWithError(problem, NoError());
        return;
    }

    machinePreferences_ = new Preferences(info->getRegistryRoot(0), info->getRegistryPath());
    userPreferences_ = new Preferences(info->getRegistryRoot(1), info->getRegistryPath());
    setProcessPreferences(machinePreferences_, userPreferences_);
    // The library lies in the install folder that the machine preferences name.
    const std::int32_t rex = loadRexLibrary();
    rexLoaded_ = rex == kRexOk || rex == kRexLibraryAlreadyLoaded;
    if (!rexLoaded_)
        logger_->log(3, "REX initialization failed!");

    std::int32_t level = 0;
    if (userPreferences_->getLong("LogLevel", level))
        logger_->setLevel(level);
    installPluginEnvironment();
    // 0 (the time) unless fixed from outside for a render that must repeat.
    seedRandomGenerators(platform::startupSeed());
    minidumper_ = new Minidumper();
    loadResources();
}

std::string Mission::storeProblem(const PluginInfo& info) {
    using State = platform::RegistryStoreCheck::State;
    const platform::RegistryRoot machine = info.getRegistryRoot(0);
    const platform::RegistryStoreCheck machineStore = platform::checkRegistryStore(machine);
    const platform::RegistryStoreCheck userStore = platform::checkRegistryStore(info.getRegistryRoot(1));
    if (machineStore.state == State::Refused)
        return machineStore.problem;
    if (userStore.state == State::Refused)
        return userStore.problem;
    if (machineStore.state == State::Damaged)
        return errorTextRegistryKeyMissing + "\n" + machineStore.problem;
    // Looked up without the preferences, whose opening would add the key to the installation's store.
    if (platform::RegistryKey::open(machine, info.getRegistryPath(), false))
        return std::string();
    if (machineStore.state != State::Readable)
        return errorTextRegistryKeyMissing;
    return errorTextRegistryKeyMissing + "\nNo key " + info.getRegistryPath() + " in the store " +
           platform::registryStoreFile(machine) + ".";
}

void Mission::loadResources() {
    std::string install;
    if (!machinePreferences_->getString("InstallPath", install)) {
        const ErrorPrefsKeyNotFound error("void __thiscall trov::Mission::start(void)", "InstallPath");
        logger_->logError(3, error);
        // The key is there (the stores were checked), but not the values.
        exitWithError(errorTextRegistryKeyMissing + "\nThe key " + machinePreferences_->getPath() +
                          " in the store " +
                          platform::registryStoreFile(getPluginInfo()->getRegistryRoot(0)) + " lacks " +
                          lackingValues(*machinePreferences_) + ".",
                      NoError());
        return;
    }
    std::string description;
    machinePreferences_->getString("ResourcesXmlFile", description);
    resources_ = new Resources();
    PluginEnvironment::instance().setResources(resources_);
    const File file = Folder(install) + File(description);
    const Error result = resources_->load(file);
    if (result.ok())
        started_ = true;
    else
        exitWithError(errorTextLoadingResources + "\n" +
                          installedFileProblem(result, file, "ResourcesXmlFile"),
                      result);
}

std::string installedFileProblem(const Error& error, const File& file, const std::string& valueName) {
    std::string text = error.getMessage();
    // A specification's own errors (an unknown parameter type, for one) name no file.
    if (text.find(file.getPath()) == std::string::npos)
        text = file.getPath() + ": " + text;
    std::string install;
    std::string name;
    const Preferences* machine = getMachinePreferences();
    text += machine != nullptr && machine->getString("InstallPath", install)
                ? " (InstallPath \"" + install + "\""
                : " (no InstallPath";
    if (machine == nullptr || !machine->getString(valueName, name))
        text += ", no " + valueName;
    const PluginInfo* info = getPluginInfo();
    const std::string store =
        info != nullptr ? platform::registryStoreFile(info->getRegistryRoot(0)) : std::string();
    return text +
           (store.empty() ? std::string(" in the machine-wide store).") : " in the store " + store + ").");
}

void Mission::tearDown() {
    instances_.clear();
    active_ = nullptr;
    if (resources_ != nullptr) {
        PluginEnvironment& environment = PluginEnvironment::instance();
        if (environment.getResources() == resources_)
            environment.setResources(nullptr);
        delete resources_;
        resources_ = nullptr;
    }
    if (machinePreferences_ != nullptr || userPreferences_ != nullptr) {
        setProcessPreferences(nullptr, nullptr);
        delete machinePreferences_;
        delete userPreferences_;
        machinePreferences_ = userPreferences_ = nullptr;
    }
    if (logger_ != nullptr) {
        if (getLog() == logger_)
            setLog(nullptr);
        delete logger_; // writes the log's closing line
        logger_ = nullptr;
    }
    if (startCalled_) {
        // The descriptor is the module's; it goes with the context that started it.
        PluginInfo* info = getPluginInfo();
        setPluginInfo(nullptr);
        delete info;
        uninstallPluginEnvironment();
    }
    if (rexLoaded_) {
        rexLoaded_ = false;
        unloadRexLibrary();
    }
    // The crash handler must not outlive the module.
    delete minidumper_;
    minidumper_ = nullptr;
    started_ = false;
    startCalled_ = false;
}

void Mission::signIn(Plugin* plugin) {
    if (plugin == nullptr)
        return;
    if (instances_.empty()) {
        plugin->activate();
        active_ = plugin;
    }
    instances_.push_back(plugin);
    logLine(2, "plugin 0x%lx signed in", addressOf(plugin));
}

void Mission::signOut(Plugin* plugin) {
    if (plugin == nullptr)
        return;
    if (plugin == active_) {
        plugin->deactivate();
        active_ = nullptr;
    }
    std::erase(instances_, plugin);
    logLine(2, "plugin 0x%lx signed out", addressOf(plugin));
    if (!instances_.empty()) {
        active_ = instances_.front();
        active_->activate();
    }
}

} // namespace trov
