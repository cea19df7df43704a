#include "instrument/link/LinkSlots.h"

#include "instrument/link/IOBridge.h"

#include <optional>
#include <utility>

namespace trov {

std::vector<LinkSlot> listLinkSlots() {
    std::vector<LinkSlot> slots;
    for (int n = 0; n < IOBridge<float>::kSlotCount; ++n) {
        const std::uint32_t flags = probeConnection(n);
        if ((flags & tapwire::kProbeSenderActive) == 0)
            continue;
        std::optional<std::string> name = findSenderName(n);
        if (!name)
            continue;
        slots.push_back({n, std::move(*name), (flags & tapwire::kProbeSenderFresh) != 0,
                         (flags & tapwire::kProbeReceiverAttached) != 0});
    }
    return slots;
}

} // namespace trov
