#include "framework/EditorServices.h"
#include "framework/System.h"
#include "host/RTASEditor.h"
#include "host/RTASGroup.h"
#include "host/RTASProcess.h"
#include "platform/hostsdk/HostSide.h"

#include <string>

// The host's entry: the module's process group.
extern "C" __attribute__((visibility("default"))) trov::hostsdk::PlugInGroup* NewPlugIn() {
    try {
        return new trov::RTASGroup(1);
    } catch (...) {
        return nullptr;
    }
}

// What a process's open view shows, written as a PNG file by the module's own drawing layer and marked as
// the entry's painting. A view that lacks skins says which rather than give a bare panel; without a path
// that is all it tells.
extern "C" __attribute__((visibility("default"))) std::int32_t
TrovWriteViewImage(trov::hostsdk::Process* process, const char* path) {
    try {
        auto* rtas = dynamic_cast<trov::RTASProcess*>(process);
        const trov::RTASEditor* view = rtas != nullptr ? rtas->getView() : nullptr;
        trov::EditorInterface* editor = view != nullptr ? view->getEditor() : nullptr;
        if (editor == nullptr)
            return trov::hostsdk::kResultFailed;
        if (path == nullptr) {
            const std::string missing = editor->getMissingSkins();
            if (missing.empty())
                return trov::hostsdk::kResultOk;
            trov::showErrorMessage("The editor is shown without its skins: " + missing + ".");
            return trov::hostsdk::kResultFailed;
        }
        std::string problem;
        if (editor->writeImage(path, trov::hostsdk::kViewImageKeyword, trov::hostsdk::kViewImageMark,
                               problem))
            return trov::hostsdk::kResultOk;
        if (!problem.empty())
            trov::showErrorMessage("The editor's picture was not written: " + problem + ".");
        return trov::hostsdk::kResultFailed;
    } catch (...) {
        return trov::hostsdk::kResultFailed;
    }
}
