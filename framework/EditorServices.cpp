#include "framework/EditorServices.h"

#include <atomic>

namespace trov {

namespace {
std::atomic<EditorServicesFactory*> gFactory{nullptr};
}

EditorServicesFactory& editorServices() {
    static NullEditorServices null;
    EditorServicesFactory* factory = gFactory.load(std::memory_order_acquire);
    return factory != nullptr ? *factory : null;
}

void setEditorServices(EditorServicesFactory* factory) {
    gFactory.store(factory, std::memory_order_release);
}

} // namespace trov
