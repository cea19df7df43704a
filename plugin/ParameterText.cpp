#include "plugin/ParameterText.h"

#include "framework/Dictionary.h"
#include "framework/Preferences.h"

#include <mutex>

namespace trov {

ParameterText::ParameterText(const Module* owner, std::string identifier, std::string label, std::string text)
    : Parameter(owner, std::move(identifier), std::move(label)), text_(std::move(text)) {}

ParameterText::ParameterText(const ParameterText& other) : Parameter(other), text_(other.getValue()) {}

ParameterText::~ParameterText() = default;

void ParameterText::init() {
    if (!testFlags(kPersistent))
        return;
    std::string stored;
    if (const auto preferences = openPreferences())
        if (preferences->getString(getName(), stored))
            setValue(stored, Sender::kSettings);
}

void ParameterText::exit() {
    if (!testFlags(kPersistent))
        return;
    if (const auto preferences = openPreferences())
        (void)preferences->setString(getName(), getValue());
}

bool ParameterText::setText(const std::string& text, int sender) {
    setValue(text, sender);
    return true;
}

void ParameterText::read(const Dictionary& item) {
    Parameter::read(item);
    std::string text;
    if (item.getString("value", &text))
        setValue(text, Sender::kDocument);
}

void ParameterText::write(Dictionary& dictionary) const {
    writeTextEntry(dictionary, getValue());
}

void ParameterText::notifyListeners() {
    const std::string text = getValue();
    broadcast(makeMessage(pointerToWord(text.c_str()), 0.0f, Sender::kSettings));
}

void ParameterText::listenerAdded(Radio* listener) {
    const std::string text = getValue();
    sendTo(listener, makeMessage(pointerToWord(text.c_str()), 0.0f, Sender::kNewListener));
}

std::string ParameterText::getValue() const {
    std::lock_guard guard(textLock_);
    return text_;
}

void ParameterText::setValue(const std::string& text, int sender) {
    {
        std::lock_guard guard(textLock_);
        if (text_ != text)
            text_ = text;
    }
    broadcast(makeMessage(pointerToWord(text.c_str()), 0.0f, sender));
}

} // namespace trov
