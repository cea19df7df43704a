#include "instrument/editor/CorvaleButtonSampleEnabled.h"

#include "instrument/InstrumentKeys.h"

namespace trov {

bool currentSampleOf(const Message& message, std::string_view& sample) {
    if (message.kind != kKindParameter || message.code != Code::kParameterValue)
        return false;
    const auto* change = dynamic_cast<const ParameterMessage*>(&message);
    if (change == nullptr || change->name != keys::kCurrentSample)
        return false;
    const char* text = wordToPointer<const char>(change->extra);
    sample = text != nullptr ? std::string_view(text) : std::string_view();
    return true;
}

CorvaleButtonSampleEnabled::CorvaleButtonSampleEnabled(Editor* editor) : ControlValueButton<bool>(editor) {
    listenTo(keys::kCurrentSample);
}

bool CorvaleButtonSampleEnabled::receive(const Message& message) {
    std::string_view sample;
    if (!currentSampleOf(message, sample))
        return ControlValueButton<bool>::receive(message);
    if (sample.empty())
        clearFlags(kEnabled);
    else
        setFlags(kEnabled);
    return true;
}

} // namespace trov
