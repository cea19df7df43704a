#include "host/RTASParameter.h"

#include "engine/modules/Module.h"
#include "framework/Color.h"
#include "instance/Plugin.h"
#include "plugin/Parameter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace trov {

void copyToHostBuffer(const std::string& text, char* buffer, std::int32_t length) noexcept {
    if (buffer == nullptr || length <= 0)
        return;
    std::memset(buffer, 0, static_cast<std::size_t>(length));
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(length - 1));
    text.copy(buffer, n); // the rest stays zero, the terminator included
}

RTASParameter::RTASParameter(Parameter* parameter, const Plugin* plugin)
    : parameter_(parameter), plugin_(plugin) {}

float RTASParameter::normalized(std::int32_t value) noexcept {
    return static_cast<float>((static_cast<double>(value) - (-2147483648.0)) * 2.3283064370807974e-10);
}

std::int32_t RTASParameter::fixed(float value) noexcept {
    if (!(value > 0.0f))
        return INT32_MIN;
    if (value >= 1.0f)
        return INT32_MAX;
    // The default rounding mode rounds halves to even.
    return static_cast<std::int32_t>(
        std::nearbyint(static_cast<double>(value) * 4294967295.0 - 2147483648.0));
}

Color RTASParameter::highlightColor(bool on, std::int32_t code) {
    if (on)
        switch (code) {
        case 0:
            return Color(255, 0, 0, 255);
        case 1:
            return Color(0, 0, 255, 255);
        case 2:
            return Color(0, 255, 0, 255);
        case 3:
            return Color(255, 255, 0, 255);
        default:
            break;
        }
    return colorNone;
}

std::string RTASParameter::nameOfLength(const std::string& prefix, const std::list<std::string>& aliases,
                                        const std::string& suffix, std::int32_t length) {
    if (aliases.empty() || length <= 0)
        return prefix + suffix;
    const std::int64_t room = std::max<std::int64_t>(
        0, std::int64_t{length} - static_cast<std::int64_t>(prefix.size() + suffix.size()) - 1);
    for (const std::string& alias : aliases)
        if (static_cast<std::int64_t>(alias.size()) <= room)
            return prefix + alias + suffix;
    return prefix + aliases.front().substr(0, static_cast<std::size_t>(room)) + suffix;
}

std::int32_t RTASParameter::GetControlNumber() const {
    return plugin_->getAutomatableIndex(parameter_->getOwner(), parameter_->getName(),
                                        parameter_->getInstance()) +
           1;
}

void RTASParameter::GetNameOfLength(char* name, std::int32_t length) const {
    if (name == nullptr || length <= 0)
        return;
    std::string prefix;
    if (plugin_->getModuleCount() > 1)
        if (const Module* module = parameter_->getOwner())
            prefix = module->getName() + " ";
    std::list<std::string> aliases;
    parameter_->getAliases(aliases);
    if (aliases.empty())
        aliases.push_back(parameter_->getLabel());
    const std::string suffix =
        parameter_->getInstance() > 0 ? " #" + std::to_string(parameter_->getInstance()) : std::string();
    copyToHostBuffer(nameOfLength(prefix, aliases, suffix, length), name, length);
}

void RTASParameter::GetValueString(char* text, std::int32_t length) const {
    if (text == nullptr || length <= 0)
        return;
    copyToHostBuffer(parameter_->getText(), text, length);
}

bool RTASParameter::IsAutomatable() const {
    return parameter_->testFlags(Parameter::kAutomatable) != 0;
}

std::int32_t RTASParameter::GetValue() const {
    return fixed(parameter_->getNormalized());
}

} // namespace trov
