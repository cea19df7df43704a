// How the voice follows its parameters: tuning in at a note start, changes its engine hands over at a
// block's start, and parameter messages given to it directly.
#include "engine/zones/Zone.h"
#include "framework/Message.h"
#include "instrument/voice/OstrelVoice.h"
#include "plugin/Parameter.h"

#include <algorithm>
#include <cmath>

namespace trov {

void OstrelVoice::takeFollowedValues() noexcept {
    const Module* module = getOwner();
    for (int i = 0; i < kVoiceFollowedCount; ++i)
        if (const Parameter* parameter = followed_[static_cast<std::size_t>(i)])
            applyChange(describeTuneIn(*parameter, static_cast<Followed>(i), module), true);
    tunedIn_ = true;
}

bool OstrelVoice::receive(const Message& message) {
    if (message.kind == kKindMidi)
        return message.code == Code::kNoteOff;
    if (message.kind != kKindParameter || message.code != Code::kParameterValue)
        return Voice::receive(message);
    const auto* change = dynamic_cast<const ParameterMessage*>(&message);
    if (change == nullptr)
        return false;
    const Followed which = followedOf(change->name);
    if (which == Followed::kCount || static_cast<int>(which) >= kVoiceFollowedCount)
        return false;
    return applyChange(describeChange(*change, which, getOwner()), true);
}

bool OstrelVoice::applyChange(const VoiceChange& change) noexcept {
    return applyChange(change, tunedIn_);
}

bool OstrelVoice::applyChange(const VoiceChange& change, bool following) noexcept {
    bool taken = false;
    if (following && static_cast<int>(change.which) < kVoiceFollowedCount && takes(change))
        taken = take(change);
    // The filter follows its two from the voice's first note on, whatever the voice takes.
    if (born_) {
        if (change.which == Followed::kVCFResonance)
            filter_.setResonance(wordToFloat(change.extra));
        else if (change.which == Followed::kVCFResponse)
            filter_.setResponse(2.0f * clampPosition(wordToFloat(change.extra), 0.0f, 1.0f));
    }
    return taken;
}

bool OstrelVoice::takes(const VoiceChange& change) const noexcept {
    if (change.scope == Parameter::kScopeZone) {
        if (change.zones == VoiceChange::kNoVoice)
            return false;
        // These carry the current zone's values: they are this voice's only when it plays that zone.
        return change.zones == VoiceChange::kEveryVoice ||
               (change.zone != nullptr && (change.zone == zones_[0] || change.zone == zones_[1]));
    }
    // Of the instance's own values only the two that move the pitch reach a sounding note.
    return change.scope == Parameter::kScopeModule || change.which == Followed::kMidiPitchBend ||
           change.which == Followed::kMasterTune;
}

void OstrelVoice::takeZoneValue(const VoiceChange& change) noexcept {
    const float real = wordToFloat(change.extra);
    const auto whole = static_cast<std::int32_t>(static_cast<std::intptr_t>(change.extra));
    for (std::size_t layer = 0; layer < kLayers; ++layer) {
        LayerValues& values = layerValues_[layer];
        if (zones_[layer] != change.zone || !values.present)
            continue;
        switch (change.which) {
        case Followed::kWaveLevel:
            values.waveLevel = real;
            break;
        case Followed::kWaveCutoff:
            values.waveCutoff = real;
            break;
        case Followed::kWaveRootNote:
            values.waveRoot = values.sounding ? whole : values.waveRoot;
            break;
        case Followed::kSampleDetuneCoarse:
            values.coarse = values.sounding ? whole : values.coarse;
            break;
        case Followed::kSampleDetuneFine:
            values.fine = values.sounding ? whole : values.fine;
            break;
        default:
            break;
        }
    }
}

bool OstrelVoice::take(const VoiceChange& change) noexcept {
    // An editor's edit of the zone's values, which its zone may store only later.
    if (change.scope == Parameter::kScopeZone && change.sender == Sender::kEditor)
        takeZoneValue(change);
    const float value = wordToFloat(change.extra);
    switch (change.which) {
    case Followed::kAnalogCharacter:
        noiseFactor_ = value;
        setPreampGain(linePreamp_.getGain());
        break;
    case Followed::kMidiPitchBend: {
        // Cents as a float: the note keeps whole cents within its 16-bit range.
        const float cents = std::isfinite(value) ? std::clamp(value, -32768.0f, 32767.0f) : 0.0f;
        note().setDetune(static_cast<int>(std::lround(cents)));
        updatePitch();
        break;
    }
    case Followed::kVCFCutoff:
        vcfCutoff_ = value;
        filter_.setBaseCutoff(updateCutoffBase());
        break;
    case Followed::kVCFResonance:
        filter_.setResonance(value);
        break;
    case Followed::kVCFKeyboardTracking:
        if (change.hasTracking)
            keyboardTracking_ = change.tracking;
        filter_.setBaseCutoff(updateCutoffBase());
        break;
    case Followed::kOscMix:
    case Followed::kWaveLevel:
        updateMix();
        break;
    case Followed::kPreampFilterCutoff:
        inputFilter_.setCutoff(value);
        break;
    case Followed::kPreampGain:
        setPreampGain(value);
        break;
    case Followed::kPreampMicInput:
        selectedPreamp_ = change.extra != 0 ? &micPreamp_ : &linePreamp_;
        break;
    case Followed::kResampleFreq:
        setClockRate(value);
        break;
    case Followed::kStereoMode:
        stereoMode_ = static_cast<std::int32_t>(change.extra);
        break;
    case Followed::kWaveCutoff:
        waveCutoff_ = value;
        filter_.setBaseCutoff(updateCutoffBase());
        break;
    case Followed::kWaveRootNote:
    case Followed::kSampleDetuneCoarse:
    case Followed::kOsc2DetuneCents:
    case Followed::kSampleDetuneFine:
        updatePitch();
        break;
    case Followed::kMasterTune:
        // The note started at the master tune its tune-in delivers; only a change retunes it.
        if (change.sender != Sender::kNewListener) {
            note().invalidate();
            updatePitch();
        }
        break;
    default:
        return false;
    }
    return true;
}

} // namespace trov
