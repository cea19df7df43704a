#include "plugin/Parameter.h"

#include "framework/Dictionary.h"
#include "framework/Error.h"
#include "framework/Logger.h"
#include "framework/Preferences.h"
#include "plugin/RefusedValues.h"

#include <utility>

namespace trov {

Parameter::Parameter(const Module* owner, std::string identifier, std::string label)
    : Radio(owner), label_(std::move(label)), identifier_(std::move(identifier)) {}

Parameter::Parameter(const Parameter& other)
    : Radio(other), label_(other.label_), aliases_(other.aliases_), identifier_(other.identifier_),
      instance_(other.instance_), unit_(other.unit_), flags_(other.flags_), scope_(other.scope_),
      broadcast_(other.broadcast_) {}

Parameter::~Parameter() = default;

void Parameter::read(const Dictionary& item) {
    if (const Dictionary::View info = item.getDictionary("info")) {
        for (std::string& alias : info->getStrings("alias"))
            aliases_.insert(std::move(alias));
    }

    bool flag = false;
    if (item.getBool("automatable", &flag) && flag)
        flags_ |= kAutomatable;

    std::string text;
    if (item.getString("scope", &text)) {
        if (text == "plugin")
            scope_ = kScopePlugin;
        else if (text == "program")
            scope_ = kScopeProgram;
        else if (text == "module")
            scope_ = kScopeModule;
        else if (text == "zone")
            scope_ = kScopeZone;
        else if (text != "none")
            throw GeneralError("void trov::Parameter::read(const trov::Dictionary&)", "unknown scope!");
    }

    if (item.getString("broadcast", &text)) {
        static const char* const policies[] = {"never", "editor", "internal", "change", "always"};
        for (std::int32_t policy = 0; policy < 5; ++policy)
            if (text == policies[policy])
                broadcast_ = policy;
    }

    if (item.getBool("export", &flag))
        flags_ = flag ? (flags_ | kExport) : (flags_ & ~kExport);

    if (item.getBool("persistent", &flag) && flag)
        flags_ |= kPersistent;
}

std::string Parameter::getTypeName() const {
    switch (getType()) {
    case kTypeBool:
        return "bool";
    case kTypeEnum:
        return "enum";
    case kTypeLong:
        return "long";
    case kTypeFloat:
        return "float";
    case kTypeString:
        return "string";
    default:
        return "unknown";
    }
}

void Parameter::getAliases(std::list<std::string>& aliases) const {
    aliases.clear();
    aliases.insert(aliases.end(), aliases_.begin(), aliases_.end());
}

bool Parameter::policyAccepts(bool unchanged) const noexcept {
    if (broadcast_ == kBroadcastNever)
        return false;
    return broadcast_ == kBroadcastAlways || !unchanged;
}

ParameterMessage Parameter::makeMessage(MessageWord extra, float normalized, int sender) const noexcept {
    return ParameterMessage(this, Code::kParameterValue, identifier_, instance_, extra, normalized, sender);
}

void Parameter::sendTo(Radio* station, const ParameterMessage& message) {
    if (station != nullptr)
        station->receive(message);
}

void Parameter::writeTextEntry(Dictionary& dictionary, const std::string& text) const {
    if (const Dictionary::View entry = dictionary.addDictionary(identifier_))
        entry->setString("value", text);
}

void Parameter::logRefusedValue(const Dictionary& item) const {
    logLine(3, "parameter %s: the document's value is not a finite number, kept", getName().c_str());
    std::string text;
    if (!item.getString("value", &text))
        item.getString("defval", &text);
    RefusedValues::record(getName(), text);
}

std::unique_ptr<Preferences> Parameter::openPreferences() {
    Preferences* user = getUserPreferences();
    if (user == nullptr)
        return nullptr;
    return std::unique_ptr<Preferences>(user->createChild("Preferences"));
}

} // namespace trov
