#include "platform/Responder.h"
#include "platform/Shell.h"
#include "platform/hostsdk/HostSide.h"

#include <mutex>
#include <string>
#include <vector>

namespace trov::hostsdk {

namespace {

// The host's answers as the module's responder: every question the module asks goes to the host.
class HostResponder : public platform::Responder {
public:
    explicit HostResponder(HostServices* services) : services_(services) {}

    platform::BoxAnswer messageBox(platform::WindowHandle, const std::string& caption,
                                   const std::string& text, platform::BoxKind kind) override {
        switch (services_->messageBox(caption.c_str(), text.c_str(), static_cast<BoxKind>(kind))) {
        case BoxAnswer::Ok:
            return platform::BoxAnswer::Ok;
        case BoxAnswer::Yes:
            return platform::BoxAnswer::Yes;
        case BoxAnswer::No:
            return platform::BoxAnswer::No;
        case BoxAnswer::Closed:
            return platform::BoxAnswer::Closed;
        case BoxAnswer::Cancel:
            break;
        }
        return platform::BoxAnswer::Cancel;
    }
    platform::FileDialogAnswer fileDialog(const platform::FileDialogRequest& request) override {
        std::vector<char> path(4096, '\0');
        std::int32_t filter = request.filterIndex;
        platform::FileDialogAnswer answer;
        answer.accepted =
            services_->fileDialog(request.save, request.title.c_str(), request.initialPath.c_str(),
                                  path.data(), path.size(), filter);
        path.back() = '\0';
        if (answer.accepted) {
            answer.path = path.data();
            answer.filterIndex = filter;
        }
        return answer;
    }
    std::string browseFolder(platform::WindowHandle, const std::string& title) override {
        std::vector<char> path(4096, '\0');
        const bool chosen = services_->browseFolder(title.c_str(), path.data(), path.size());
        path.back() = '\0';
        return chosen ? std::string(path.data()) : std::string();
    }
    void openUrl(const std::string& url) override { fallback_.openUrl(url); }

private:
    HostServices* services_;
    platform::HeadlessResponder fallback_;
};

std::mutex gMutex;
HostResponder* gResponder = nullptr;

} // namespace

} // namespace trov::hostsdk

extern "C" __attribute__((visibility("default"))) void
TrovSetHostServices(trov::hostsdk::HostServices* services) {
    using namespace trov;
    std::lock_guard lock(hostsdk::gMutex);
    platform::setResponder(nullptr);
    platform::setQuitHandler(nullptr);
    delete hostsdk::gResponder;
    hostsdk::gResponder = nullptr;
    if (services == nullptr)
        return;
    hostsdk::gResponder = new hostsdk::HostResponder(services);
    platform::setResponder(hostsdk::gResponder);
    platform::setQuitHandler([services](int code) { services->requestQuit(code); });
}

namespace {

// A host that unloads the module without handing back its services leaves nothing of ours installed.
struct ServicesAtUnload {
    ~ServicesAtUnload() { TrovSetHostServices(nullptr); }
} gServicesAtUnload;

} // namespace
