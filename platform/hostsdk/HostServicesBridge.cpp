#include "platform/Responder.h"
#include "platform/Shell.h"
#include "platform/hostsdk/HostSide.h"

#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace trov::hostsdk {

namespace {

// The host's answers as the module's responder: every question the module asks goes to the host.
class HostResponder : public platform::Responder {
public:
    void setServices(HostServices* services) { services_ = services; }

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
    HostServices* services_ = nullptr;
    platform::HeadlessResponder fallback_;
};

std::mutex gMutex;

// In static storage and never destroyed: it must not depend on the order in which the module's statics go
// at unload, and leaves nothing on the heap behind.
HostResponder& hostResponder() {
    alignas(HostResponder) static unsigned char storage[sizeof(HostResponder)];
    static HostResponder* const responder = new (storage) HostResponder();
    return *responder;
}

} // namespace

} // namespace trov::hostsdk

extern "C" __attribute__((visibility("default"))) void
TrovSetHostServices(trov::hostsdk::HostServices* services) {
    using namespace trov;
    std::lock_guard lock(hostsdk::gMutex);
    if (services == nullptr) {
        platform::setResponder(nullptr);
        platform::setQuitHandler(nullptr);
        return;
    }
    hostsdk::HostResponder& responder = hostsdk::hostResponder();
    responder.setServices(services);
    platform::setResponder(&responder);
    platform::setQuitHandler([services](int code) { services->requestQuit(code); });
}
