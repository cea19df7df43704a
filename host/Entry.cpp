#include "framework/EditorServices.h"
#include "host/RTASEditor.h"
#include "host/RTASGroup.h"
#include "host/RTASProcess.h"
#include "platform/hostsdk/HostSide.h"

// The host's entry: the module's process group.
extern "C" __attribute__((visibility("default"))) trov::hostsdk::PlugInGroup* NewPlugIn() {
    try {
        return new trov::RTASGroup(1);
    } catch (...) {
        return nullptr;
    }
}

// What a process's open view shows, written as a PNG file by the module's own drawing layer.
extern "C" __attribute__((visibility("default"))) std::int32_t
TrovWriteViewImage(trov::hostsdk::Process* process, const char* path) {
    try {
        auto* rtas = dynamic_cast<trov::RTASProcess*>(process);
        const trov::RTASEditor* view = rtas != nullptr ? rtas->getView() : nullptr;
        trov::EditorInterface* editor = view != nullptr ? view->getEditor() : nullptr;
        return editor != nullptr && path != nullptr && editor->writeImage(path)
                   ? trov::hostsdk::kResultOk
                   : trov::hostsdk::kResultFailed;
    } catch (...) {
        return trov::hostsdk::kResultFailed;
    }
}
