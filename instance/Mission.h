#pragma once

#include <string>
#include <vector>

namespace trov {

class Error;
class File;
class Logger;
class Minidumper;
class Plugin;
class PluginInfo;
class Preferences;
class Resources;

// The process-wide context of the module: the log, the machine-wide and per-user preferences, the shared
// resources and the crash handler, made by `start` and installed process-wide (`setLog`,
// `setProcessPreferences`, the plug-in environment with the resources as its own, the REX library), plus the
// registry of signed-in plug-in instances with the one active instance, which the shared resources follow.
//
// The process has one (`instance`), built at load time and torn down at unload; a test may build its own
// in a child process. Threads: the host's user-interface thread (group creation, instance initialisation
// and destruction); the registry has no lock.
class Mission {
public:
    Mission();
    Mission(const Mission&) = delete;
    Mission& operator=(const Mission&) = delete;
    // Uninstalls and frees whatever start made, also after a failed start, and always removes the crash
    // handler.
    virtual ~Mission();

    static Mission& instance();

    // Builds and installs everything once; a failure shows the fatal message and asks the host to quit,
    // leaving the context not started.
    void start();
    bool isStarted() const { return started_; }
    bool isRexLoaded() const { return rexLoaded_; }

    // Null before start.
    Logger* getLogger() const { return logger_; }
    Preferences* getMachinePreferences() const { return machinePreferences_; }
    Preferences* getUserPreferences() const { return userPreferences_; }
    Resources* getResources() const { return resources_; }

    // The first instance signed in becomes active; when the active one signs out, the first remaining one
    // is activated.
    void signIn(Plugin* plugin);
    void signOut(Plugin* plugin);
    Plugin* getActive() const { return active_; }
    const std::vector<Plugin*>& getInstances() const { return instances_; }

private:
    void tearDown();
    // Why the stores cannot be used (either is no store, the machine-wide one is missing, damaged or lacks
    // the product's key), found before either is written, so that such a start writes no store; empty
    // when they can.
    static std::string storeProblem(const PluginInfo& info);
    // The "InstallPath" step of start: the resources, or the fatal message.
    void loadResources();

    bool started_ = false;
    bool startCalled_ = false;
    bool rexLoaded_ = false;
    Logger* logger_ = nullptr;
    Preferences* machinePreferences_ = nullptr;
    Preferences* userPreferences_ = nullptr;
    Resources* resources_ = nullptr;
    Minidumper* minidumper_ = nullptr;
    std::vector<Plugin*> instances_;
    Plugin* active_ = nullptr;
};

// What the fatal message of a start-up that could not read an installed file adds to its words: the load
// error, naming the file, and the machine-wide store's values naming it ("InstallPath" and valueName, when
// missing) with the store's file, so that a wrong value can be told from the message alone.
std::string installedFileProblem(const Error& error, const File& file, const std::string& valueName);

} // namespace trov
