#include "engine/dsp/HostRate.h"

#include "engine/io/HostInterface.h"
#include "engine/modules/Module.h"
#include "framework/Message.h"

namespace trov {

int tuneInToHostRate(Radio& station) {
    const Module* owner = station.getOwner();
    HostInterface* host = owner != nullptr ? owner->getHost() : nullptr;
    if (host == nullptr)
        return HostInterface::kDefaultSampleRate;
    station.tuneInTo(host);
    return host->getSampleRate();
}

int sampleRateOf(const Message& message) noexcept {
    if (message.kind != kKindSystem || message.code != Code::kSampleRateChanged)
        return 0;
    return static_cast<int>(message.extra);
}

} // namespace trov
