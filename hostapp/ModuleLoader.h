#pragma once

#include "platform/hostsdk/HostSide.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace corvale::hostapp {

// The host's answers to the module's questions without a desktop: information and errors are taken note
// of and answered Ok; questions get scripted answers first, then the safe one (Cancel); dialogs are
// cancelled. The module's quit request is remembered. Any thread (the module asks on the user-interface
// thread; the host reads what was shown afterwards).
class HeadlessServices : public trov::hostsdk::HostServices {
public:
    trov::hostsdk::BoxAnswer messageBox(const char* caption, const char* text,
                                        trov::hostsdk::BoxKind kind) override;
    bool fileDialog(bool save, const char* title, const char* initialPath, char* path, std::size_t pathRoom,
                    std::int32_t& filterIndex) override;
    bool browseFolder(const char* title, char* path, std::size_t pathRoom) override;
    void requestQuit(std::int32_t code) override;

    // The next question is answered with answer (information and errors are not questions).
    void scriptAnswer(trov::hostsdk::BoxAnswer answer);
    // Every box shown so far, as one short line each ("caption: text", line breaks folded, cut as
    // shortLine does), and forgets them.
    std::vector<std::string> takeMessages();
    std::size_t messageCount() const;
    bool quitRequested() const { return quit_.load(); }
    std::int32_t quitCode() const { return quitCode_.load(); }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> messages_;
    std::deque<trov::hostsdk::BoxAnswer> answers_;
    std::atomic<bool> quit_{false};
    std::atomic<std::int32_t> quitCode_{0};
};

// Text on one line: line breaks and tabs become single blanks, blanks at either end go.
std::string oneLine(const std::string& text);

// The most a line quoting the module keeps (a refusal may quote a whole document).
constexpr std::size_t kMaxReasonLength = 300;

// oneLine, cut to at most limit bytes (at a character's first byte) and then ending in "...".
std::string shortLine(const std::string& text, std::size_t limit = kMaxReasonLength);

// What the module showed, as one short line: the messages joined with " / ", then cut as shortLine does.
std::string reasonLine(const std::vector<std::string>& messages);

// Why the module refused a dropped file when it showed nothing: what it takes, that the file is empty when
// it is, and where its log is (when log is not empty). One line, after "cannot load FILE: ".
std::string unexplainedRefusal(const std::string& file, const std::string& log);

// A plug-in module loaded with dlopen: its entry points, the host services handed to it and its group.
// Unloading releases the group, takes the services back and closes the library. The user-interface
// thread.
class LoadedModule {
public:
    LoadedModule() = default;
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;
    ~LoadedModule() { unload(); }

    // Loads path and makes its group. False with the loader's text when the library or its entry points
    // cannot be found, or when the module gives no group.
    bool load(const std::string& path, trov::hostsdk::HostServices& services, std::string& error);
    // Releases the group (release every process first) and closes the library.
    void unload();

    bool loaded() const { return library_ != nullptr; }
    trov::hostsdk::PlugInGroup* group() const { return group_; }
    // An optional entry point of the loaded module; null when it has none.
    void* symbol(const char* name) const;

    // True while the library at path is still mapped in the process (after unload: false when dlclose
    // really unloaded it).
    static bool isMapped(const std::string& path);

private:
    void* library_ = nullptr;
    trov::hostsdk::SetHostServicesFunction setServices_ = nullptr;
    trov::hostsdk::PlugInGroup* group_ = nullptr;
};

// Why a loaded module did not start, or empty when it did: the fatal message it showed or its quit
// request, or a group without product identity or types.
std::string startFailure(trov::hostsdk::PlugInGroup& group, HeadlessServices& services);

// Where the module writes its log: <application data>/<maker>/<product>.log, the application data folder
// being $XDG_STATE_HOME, else $XDG_DATA_HOME, else ~/.local/state. Empty without a product identity or any
// of those folders.
std::string moduleLogPath(trov::hostsdk::PlugInGroup& group);

// The number of threads of this process.
int countThreads();

} // namespace corvale::hostapp
