#pragma once

#include "platform/hostsdk/HostSdk.h"

#include <cstdint>

namespace trov {

// The module's process group for the host: starts the process-wide context, tells the host the product's
// identity and declares one effect type per input/output configuration of the descriptor, stopping at the
// first configuration the host's stems cannot carry. Made by `NewPlugIn`, released by the host before it
// unloads the module. Host's user-interface thread.
class RTASGroup : public hostsdk::CEffectGroupMIDI {
public:
    static constexpr std::uint32_t kFirstTypeCode = 0x566E6B20; // "Vnk "
    static constexpr std::int32_t kGroupProperty = 25;
    static constexpr std::int32_t kSampleRateSupport = 6;
    static constexpr std::int32_t kUnsupportedStems = -100;

    explicit RTASGroup(int argument);

    // The host's category flag of a descriptor's category code.
    static std::uint32_t categoryFlag(int category);
    // 0 (mono) for one channel, 1 (stereo) for two; throws the int kUnsupportedStems for any other count.
    static std::int32_t stemFormat(int channels);

protected:
    void CreateEffectTypes() override;
};

} // namespace trov
