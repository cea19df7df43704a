#include "hostapp/ModuleLoader.h"

#include "hostapp/FileChecks.h"
#include "hostapp/RegistryFile.h"

#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <thread>

namespace corvale::hostapp {

using trov::hostsdk::BoxAnswer;
using trov::hostsdk::BoxKind;

std::string oneLine(const std::string& text) {
    std::string line;
    bool blank = false;
    for (const char c : text) {
        if (c == '\n' || c == '\r' || c == '\t' || c == ' ') {
            blank = !line.empty();
            continue;
        }
        if (blank)
            line += ' ';
        blank = false;
        line += c;
    }
    return line;
}

std::string shortLine(const std::string& text, std::size_t limit) {
    std::string line = oneLine(text);
    if (line.size() <= limit)
        return line;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80)
        --end;
    line.resize(end);
    return line + "...";
}

std::string reasonLine(const std::vector<std::string>& messages) {
    std::string text;
    for (const std::string& message : messages)
        text += (text.empty() ? "" : " / ") + message;
    return shortLine(text);
}

std::string unexplainedRefusal(const std::string& file, const std::string& log) {
    const FileLook look = lookAt(file);
    const bool empty = look.kind == FileLook::Kind::Regular && look.size == 0;
    return std::string("the module refused it without saying why") + (empty ? " (the file is empty)" : "") +
           "; it takes a bank or patch document, a Scala tuning (.scl) or a sample file (WAV, AIFF, AU, "
           "WavPack, ...)" +
           (log.empty() ? std::string() : ": see its log " + log);
}

BoxAnswer HeadlessServices::messageBox(const char* caption, const char* text, BoxKind kind) {
    std::lock_guard guard(mutex_);
    const std::string title = caption != nullptr ? caption : "";
    const std::string body = text != nullptr ? text : "";
    messages_.push_back(shortLine(oneLine(title).empty() ? body : title + ": " + body));
    if (kind == BoxKind::Info || kind == BoxKind::Error)
        return BoxAnswer::Ok;
    if (!answers_.empty()) {
        const BoxAnswer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    return BoxAnswer::Cancel;
}

bool HeadlessServices::fileDialog(bool, const char*, const char*, char* path, std::size_t pathRoom,
                                  std::int32_t&) {
    if (path != nullptr && pathRoom > 0)
        path[0] = '\0';
    return false;
}

bool HeadlessServices::browseFolder(const char*, char* path, std::size_t pathRoom) {
    if (path != nullptr && pathRoom > 0)
        path[0] = '\0';
    return false;
}

void HeadlessServices::requestQuit(std::int32_t code) {
    quitCode_.store(code);
    quit_.store(true);
}

void HeadlessServices::scriptAnswer(BoxAnswer answer) {
    std::lock_guard guard(mutex_);
    answers_.push_back(answer);
}

std::vector<std::string> HeadlessServices::takeMessages() {
    std::lock_guard guard(mutex_);
    std::vector<std::string> messages;
    messages.swap(messages_);
    return messages;
}

std::size_t HeadlessServices::messageCount() const {
    std::lock_guard guard(mutex_);
    return messages_.size();
}

bool LoadedModule::load(const std::string& path, trov::hostsdk::HostServices& services, std::string& error) {
    unload();
    // A bare name would make dlopen search the library path; the host loads the file it is given.
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* reason = dlerror();
        error = "cannot load module " + path + ": " + oneLine(reason != nullptr ? reason : "unknown reason");
        return false;
    }
    dlerror();
    auto* setServices = reinterpret_cast<trov::hostsdk::SetHostServicesFunction>(
        dlsym(library, trov::hostsdk::kSetHostServicesSymbol));
    auto* newPlugIn =
        reinterpret_cast<trov::hostsdk::NewPlugInFunction>(dlsym(library, trov::hostsdk::kNewPlugInSymbol));
    if (setServices == nullptr || newPlugIn == nullptr) {
        const char* reason = dlerror();
        error =
            "cannot load module " + path + ": " + oneLine(reason != nullptr ? reason : "entry point missing");
        dlclose(library);
        return false;
    }
    library_ = library;
    setServices_ = setServices;
    setServices_(&services);
    group_ = newPlugIn();
    if (group_ == nullptr) {
        error = "module " + path + " did not start: it gave no plug-in group";
        unload();
        return false;
    }
    return true;
}

void* LoadedModule::symbol(const char* name) const {
    return library_ != nullptr ? dlsym(library_, name) : nullptr;
}

void LoadedModule::unload() {
    if (group_ != nullptr) {
        group_->release();
        group_ = nullptr;
    }
    if (setServices_ != nullptr) {
        setServices_(nullptr);
        setServices_ = nullptr;
    }
    if (library_ != nullptr) {
        dlclose(library_);
        library_ = nullptr;
    }
}

bool LoadedModule::isMapped(const std::string& path) {
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
    if (library == nullptr) {
        dlerror();
        return false;
    }
    dlclose(library);
    return true;
}

std::string startFailure(trov::hostsdk::PlugInGroup& group, HeadlessServices& services) {
    trov::hostsdk::GroupIdentity identity;
    group.getIdentity(identity);
    const bool named = identity.productName[0] != '\0';
    const std::int32_t types = named ? group.getTypeCount() : 0;
    if (!services.quitRequested() && named && types > 0)
        return std::string();
    std::string reason = reasonLine(services.takeMessages());
    if (reason.empty())
        reason = !named       ? "the module has no product identity"
                 : types == 0 ? "the module declares no effect types"
                              : "the module asked the host to quit";
    // The module finds its installation only through that store; its own message cannot name the path.
    if (const std::string missing = missingMachineStoreText(); !missing.empty())
        reason += " (" + missing + ")";
    return reason;
}

namespace {

std::string environmentText(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

} // namespace

std::string moduleLogPath(trov::hostsdk::PlugInGroup& group) {
    trov::hostsdk::GroupIdentity identity;
    group.getIdentity(identity);
    if (identity.productName[0] == '\0' || identity.makerName[0] == '\0')
        return std::string();
    std::string folder = environmentText("XDG_STATE_HOME");
    if (folder.empty())
        folder = environmentText("XDG_DATA_HOME");
    if (folder.empty() && !environmentText("HOME").empty())
        folder = environmentText("HOME") + "/.local/state";
    if (folder.empty())
        return std::string();
    return folder + "/" + identity.makerName + "/" + identity.productName + ".log";
}

namespace {

// Sanitizer runtimes start a helper thread of their own along with the process's first new thread. One
// thread started and joined before the first count makes that helper part of every baseline.
void startRuntimeHelpers() {
    static const bool started = [] {
        std::thread([] {}).join();
        return true;
    }();
    (void)started;
}

} // namespace

int countThreads() {
    startRuntimeHelpers();
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr)
        return -1;
    int count = 0;
    while (const dirent* entry = readdir(tasks))
        if (entry->d_name[0] != '.')
            ++count;
    closedir(tasks);
    return count;
}

} // namespace corvale::hostapp
