#include "gui/controls/ControlURL.h"

#include "framework/Dictionary.h"
#include "framework/System.h"

namespace trov {

ControlURL::ControlURL(Editor* editor) : ControlValueButton<bool>(editor) {}

ControlURL::~ControlURL() = default;

bool ControlURL::receive(const Message& message) {
    if (message.kind == kKindWindow && message.code == 3000) {
        openURL(url_);
        return false;
    }
    return ControlValueButton<bool>::receive(message);
}

bool ControlURL::fromDictionary(const Dictionary& spec) {
    ControlValueButton<bool>::fromDictionary(spec);
    spec.getString("url", &url_);
    return true;
}

} // namespace trov
