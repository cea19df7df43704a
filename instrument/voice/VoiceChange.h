#pragma once

#include "framework/Message.h"
#include "instrument/InstrumentKeys.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace trov {

class Module;
class Parameter;
class ParameterMessage;
class Zone;

// The parameters an instrument engine's voices and LFO follow: the voice's own, in the order a note start
// takes their values; the filter's response; the LFO's.
enum class Followed : std::uint8_t {
    kAnalogCharacter,
    kOscMix,
    kMidiPitchBend,
    kPreampFilterCutoff,
    kPreampGain,
    kPreampMicInput,
    kResampleFreq,
    kStereoMode,
    kVCFCutoff,
    kVCFResonance,
    kVCFKeyboardTracking,
    kWaveCutoff,
    kWaveLevel,
    kWaveRootNote,
    kSampleDetuneCoarse,
    kSampleDetuneFine,
    kOsc2DetuneCents,
    kMasterTune,
    kVCFResponse, // the filter's, not the voice's
    kLFORate,
    kLFORatePPQ,
    kLFOWaveform,
    kLFOSync,
    kCount,
};

inline constexpr int kVoiceFollowedCount = static_cast<int>(Followed::kVCFResponse);

inline constexpr std::array<const char*, static_cast<std::size_t>(Followed::kCount)> kFollowedNames = {
    keys::kAnalogCharacter,
    keys::kOscMix,
    keys::kMidiPitchBend,
    keys::kPreampFilterCutoff,
    keys::kPreampGain,
    keys::kPreampMicInput,
    keys::kResampleFreq,
    keys::kStereoMode,
    keys::kVCFCutoff,
    keys::kVCFResonance,
    keys::kVCFKeyboardTracking,
    keys::kWaveCutoff,
    keys::kWaveLevel,
    keys::kWaveRootNote,
    keys::kSampleDetuneCoarse,
    keys::kSampleDetuneFine,
    keys::kOsc2DetuneCents,
    keys::kMasterTune,
    keys::kVCFResponse,
    keys::kLFORate,
    keys::kLFORatePPQ,
    keys::kLFOWaveform,
    keys::kLFOSync};

// Followed::kCount when the name is none of them.
Followed followedOf(std::string_view name) noexcept;
inline const char* nameOf(Followed which) noexcept {
    return kFollowedNames[static_cast<std::size_t>(which)];
}
inline bool isLFOParameter(Followed which) noexcept {
    return which >= Followed::kLFORate && which < Followed::kCount;
}
// Program- and plug-in-scope parameters are one object that every module's settings share.
inline bool isSharedScope(int scope) noexcept {
    return scope >= 2;
}

// One change of a followed parameter as the voices take it, decided where it happened: the value as its
// message carries it, the sender code, the parameter's scope and which voices a zone-scope change is for.
// Plain data, so that it travels through the instance's event queue to the audio thread.
struct VoiceChange {
    // Which voices take a zone-scope change.
    enum Zones : std::uint8_t {
        kEveryVoice,   // from the host or a controller: every voice
        kVoicesOfZone, // from the editor, the settings or a tune-in, while an editor edits the module: the
                       // voices playing `zone`, the current one
        kNoVoice,      // the same without an editor, or with another module edited: none
    };

    const Parameter* parameter = nullptr; // the message's sender
    MessageWord extra = 0;
    const Zone* zone = nullptr; // compared only, never used
    float value = 0.0f;         // the normalised value
    float tracking = 0.0f;      // "VCFKeyboardTracking": the parameter's value then
    std::int32_t index = 0;
    Followed which = Followed::kCount;
    std::int8_t scope = 1;
    std::int8_t sender = 0;
    Zones zones = kEveryVoice;
    bool hasTracking = false;

    // The message the LFO takes (its name is the parameter's constant name).
    ParameterMessage message() const noexcept;
};

// Describes a change of a followed parameter of the module. Zone-scope changes from the editor, the
// settings or a tune-in are for the voices of the module's current zone while an editor edits the module,
// otherwise for none. Any thread (it reads atomics and the zone manager's current zone, without a lock).
VoiceChange describeChange(const ParameterMessage& message, Followed which, const Module* module) noexcept;
// The change a voice tuning in at a note start receives: the parameter's current value, sender kNewListener.
VoiceChange describeTuneIn(const Parameter& parameter, Followed which, const Module* module) noexcept;

} // namespace trov
