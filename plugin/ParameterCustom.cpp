#include "plugin/ParameterCustom.h"

#include "framework/Dictionary.h"

namespace trov {

ParameterCustom::ParameterCustom(const Module* owner, std::string identifier, std::string label)
    : Parameter(owner, std::move(identifier), std::move(label)) {}

ParameterCustom::ParameterCustom(const ParameterCustom& other) : Parameter(other), text_(other.text_) {}

ParameterCustom::~ParameterCustom() = default;

void ParameterCustom::listenerAdded(Radio* listener) {
    sendTo(listener, makeMessage(pointerToWord(text_.c_str()), 0.0f, Sender::kNewListener));
}

bool ParameterCustom::setText(const std::string& text, int sender) {
    if (!policyAccepts(text == text_))
        return true;
    text_ = text;
    broadcast(makeMessage(pointerToWord(text_.c_str()), 0.0f, sender));
    return true;
}

void ParameterCustom::read(const Dictionary& item) {
    Parameter::read(item);
    std::string text;
    if (item.getString("value", &text))
        setText(text, Sender::kDocument);
}

void ParameterCustom::write(Dictionary& dictionary) const {
    writeTextEntry(dictionary, text_);
}

void ParameterCustom::notifyListeners() {
    broadcast(makeMessage(pointerToWord(text_.c_str()), 0.0f, Sender::kSettings));
}

} // namespace trov
