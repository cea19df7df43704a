#include "hostapp/ViewImage.h"

#include "hostapp/FileChecks.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <thread>
#include <vector>

namespace corvale::hostapp {

namespace {

// Ticks of the view's window timer (50 ms) to wait for: the first paints the whole view, later ones what
// changed meanwhile.
constexpr int kTicks = 3;
constexpr auto kLongest = std::chrono::seconds(5);
constexpr auto kPause = std::chrono::milliseconds(5);

// Detaches and destroys the view however the writing ends.
struct ViewGuard {
    trov::hostsdk::Process& process;
    ~ViewGuard() {
        process.setViewPort(nullptr);
        process.destroyView();
    }
};

// What the module showed after it had shown count messages.
std::vector<std::string> shownSince(HeadlessServices& services, std::size_t count) {
    std::vector<std::string> shown = services.takeMessages();
    shown.erase(shown.begin(), shown.begin() + static_cast<std::ptrdiff_t>(std::min(count, shown.size())));
    return shown;
}

} // namespace

std::string missingSkins(const LoadedModule& module, HeadlessServices& services,
                         trov::hostsdk::Process& process) {
    const auto ask = reinterpret_cast<trov::hostsdk::WriteViewImageFunction>(
        module.symbol(trov::hostsdk::kWriteViewImageSymbol));
    if (ask == nullptr)
        return std::string();
    const std::size_t shownBefore = services.messageCount();
    if (ask(&process, nullptr) == trov::hostsdk::kResultOk)
        return std::string();
    return reasonLine(shownSince(services, shownBefore));
}

bool writeViewImage(const LoadedModule& module, HeadlessServices& services, trov::hostsdk::Process& process,
                    const std::string& path, std::string& error) {
    const auto write = reinterpret_cast<trov::hostsdk::WriteViewImageFunction>(
        module.symbol(trov::hostsdk::kWriteViewImageSymbol));
    if (write == nullptr) {
        error = "the module cannot write its view to a file (it has no " +
                std::string(trov::hostsdk::kWriteViewImageSymbol) + ")";
        return false;
    }
    if (!process.createView()) {
        error = "the module shows no view (does its installation name an editor specification?)";
        return false;
    }
    ViewGuard guard{process};
    trov::hostsdk::ViewPort port; // a window of the view's own
    if (process.setViewPort(&port) != trov::hostsdk::kResultOk) {
        error = "the module's view did not take its port";
        return false;
    }
    trov::hostsdk::PlugInGroup* group = module.group();
    int delivered = 0;
    const auto end = std::chrono::steady_clock::now() + kLongest;
    while (delivered < kTicks && std::chrono::steady_clock::now() < end) {
        delivered += group != nullptr ? group->idle() : 0;
        process.idle();
        std::this_thread::sleep_for(kPause);
    }
    if (delivered == 0) {
        error = "the module's view was never painted (its window timer did not tick)";
        return false;
    }
    const std::size_t shownBefore = services.messageCount();
    if (write(&process, path.c_str()) != trov::hostsdk::kResultOk) {
        // What the module said of it (the skins its view lacks), or else what the system says of the file.
        const std::vector<std::string> shown = shownSince(services, shownBefore);
        if (!shown.empty()) {
            error = reasonLine(shown);
            return false;
        }
        const std::string problem = writeProblem(path);
        error = "the module could not write its view to " + path + (problem.empty() ? "" : ": " + problem);
        return false;
    }
    return true;
}

} // namespace corvale::hostapp
