#include "host/RTASGroup.h"
#include "platform/hostsdk/HostSide.h"

// The host's entry: the module's process group.
extern "C" __attribute__((visibility("default"))) trov::hostsdk::PlugInGroup* NewPlugIn() {
    try {
        return new trov::RTASGroup(1);
    } catch (...) {
        return nullptr;
    }
}
