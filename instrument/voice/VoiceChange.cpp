#include "instrument/voice/VoiceChange.h"

#include "engine/modules/Module.h"
#include "engine/zones/ZoneManager.h"
#include "plugin/Parameter.h"
#include "plugin/ParameterEnum.h"

namespace trov {

namespace {

bool fromEditorSettingsOrTuneIn(int sender) {
    return sender == Sender::kEditor || sender == Sender::kSettings || sender == Sender::kNewListener;
}

// Which voices a zone-scope change from the editor, the settings or a tune-in is for: those of the current
// zone while an editor edits the module; without an editor nothing is known.
void decideZones(VoiceChange& change, const Module* module) noexcept {
    change.zones = VoiceChange::kNoVoice;
    // Asked through the environment: a note start on the audio thread may meet the editor closing.
    if (module == nullptr || module->getEditedModule() != module)
        return;
    const ZoneManager* manager = module->getZoneManager();
    const Zone* current = manager != nullptr ? manager->peekCurrentZone() : nullptr;
    if (current == nullptr)
        return;
    change.zones = VoiceChange::kVoicesOfZone;
    change.zone = current;
}

VoiceChange describe(const Parameter* parameter, Followed which, MessageWord extra, float value,
                     std::int32_t index, int sender, const Module* module) noexcept {
    VoiceChange change;
    change.parameter = parameter;
    change.which = which;
    change.extra = extra;
    change.value = value;
    change.index = index;
    change.sender = static_cast<std::int8_t>(sender);
    change.scope =
        static_cast<std::int8_t>(parameter != nullptr ? parameter->getScope() : Parameter::kScopeModule);
    if (which == Followed::kVCFKeyboardTracking)
        if (const auto* tracking = dynamic_cast<const ParameterEnum<float>*>(parameter)) {
            change.tracking = tracking->getValue();
            change.hasTracking = true;
        }
    if (change.scope == Parameter::kScopeZone && fromEditorSettingsOrTuneIn(sender))
        decideZones(change, module);
    return change;
}

} // namespace

Followed followedOf(std::string_view name) noexcept {
    for (std::size_t i = 0; i < kFollowedNames.size(); ++i)
        if (name == kFollowedNames[i])
            return static_cast<Followed>(i);
    return Followed::kCount;
}

ParameterMessage VoiceChange::message() const noexcept {
    return ParameterMessage(parameter, Code::kParameterValue, nameOf(which), index, extra, value, sender);
}

VoiceChange describeChange(const ParameterMessage& message, Followed which, const Module* module) noexcept {
    return describe(dynamic_cast<const Parameter*>(message.sender), which, message.extra, message.value,
                    message.index, message.flags, module);
}

VoiceChange describeTuneIn(const Parameter& parameter, Followed which, const Module* module) noexcept {
    // The normalised value is left out: no voice reads it.
    return describe(&parameter, which, parameter.getValueWord(), 0.0f, parameter.getInstance(),
                    Sender::kNewListener, module);
}

} // namespace trov
