#include "plugin/ParameterManager.h"

#include "framework/Dictionary.h"
#include "framework/Error.h"
#include "framework/Logger.h"
#include "plugin/ParameterArray.h"
#include "plugin/ParameterCustom.h"
#include "plugin/ParameterEnum.h"
#include "plugin/ParameterKeyranges.h"
#include "plugin/ParameterText.h"
#include "plugin/ParameterValue.h"

#include <cstdint>
#include <limits>

namespace trov {

namespace {

const char* const kCreateWhere =
    "std::unique_ptr<trov::Parameter> trov::ParameterManager::createFromDictionary("
    "const trov::Dictionary&)";
const char* const kCopyWhere = "std::unique_ptr<trov::Parameter> trov::ParameterManager::createCopy("
                               "const trov::Parameter&)";

template <class T> T readOr(const Dictionary& item, const std::string& key, T fallback) {
    T value = fallback;
    if constexpr (std::is_same_v<T, float>)
        item.getFloat(key, &value);
    else
        item.getLong(key, &value);
    return value;
}

template <class Kind> std::unique_ptr<Parameter> copyAs(const Parameter& parameter) {
    if (const auto* kind = dynamic_cast<const Kind*>(&parameter))
        return std::make_unique<Kind>(*kind);
    return nullptr;
}

} // namespace

ParameterManager::ParameterManager(const Module* owner) : owner_(owner) {}

ParameterManager::~ParameterManager() = default;

std::unique_ptr<Parameter> ParameterManager::createFromDictionary(const Dictionary& item) {
    const std::string identifier = item.getName();
    std::string kind;
    std::string type;
    std::string label;
    item.getString("class", &kind);
    item.getString("type", &type);
    item.getString("name", &label);

    std::unique_ptr<Parameter> result;
    if (kind == "ParameterArray") {
        if (type != "custom")
            throw ErrorNoSuchParameterType(kCreateWhere, kind, type);
        result = std::make_unique<ParameterArray<std::string>>(owner_, identifier, label, true);
    } else if (kind == "ParameterCustom") {
        auto custom = std::make_unique<ParameterCustom>(owner_, identifier, label);
        std::string text;
        if (item.getString("value", &text))
            custom->setText(text, Sender::kDocument);
        result = std::move(custom);
    } else if (kind == "ParameterEnum") {
        if (type == "string")
            result = std::make_unique<ParameterEnum<std::string>>(owner_, identifier, label);
        else if (type == "integer")
            result = std::make_unique<ParameterEnum<long>>(owner_, identifier, label);
        else if (type == "float")
            result = std::make_unique<ParameterEnum<float>>(owner_, identifier, label);
        else
            throw ErrorNoSuchParameterType(kCreateWhere, kind, type);
    } else if (kind == "ParameterText") {
        result = std::make_unique<ParameterText>(owner_, identifier, label);
    } else if (kind == "ParameterValue") {
        if (type == "bool") {
            bool value = false;
            item.getBool("value", &value);
            result = std::make_unique<ParameterValue<bool>>(owner_, identifier, label, false, value, true);
        } else if (type == "float") {
            auto parameter = std::make_unique<ParameterValue<float>>(
                owner_, identifier, label, readOr(item, "minval", 0.0f), readOr(item, "defval", 0.5f),
                readOr(item, "maxval", 1.0f));
            float value = 0.0f;
            if (item.getFloat("value", &value))
                parameter->setValue(value, Sender::kDocument);
            result = std::move(parameter);
        } else if (type == "integer") {
            const long min = readOr<std::int32_t>(item, "minval", std::numeric_limits<std::int32_t>::min());
            const long def = readOr<std::int32_t>(item, "defval", 0);
            const long max = readOr<std::int32_t>(item, "maxval", std::numeric_limits<std::int32_t>::max());
            auto parameter = std::make_unique<ParameterValue<long>>(owner_, identifier, label, min, def, max);
            std::int32_t value = 0;
            if (item.getLong("value", &value))
                parameter->setValue(value, Sender::kDocument);
            result = std::move(parameter);
        } else {
            throw ErrorNoSuchParameterType(kCreateWhere, kind, type);
        }
    }

    std::string text = kind;
    if (!type.empty())
        text += "<" + type + ">";
    text += "::" + identifier;
    logLine(1, "  [0x%lx] %s", reinterpret_cast<unsigned long>(result.get()), text.c_str());
    return result;
}

std::unique_ptr<Parameter> ParameterManager::createCopy(const Parameter& parameter) {
    using Copier = std::unique_ptr<Parameter> (*)(const Parameter&);
    // Tested in this order, so a key-range list is copied as one.
    static const Copier copiers[] = {
        copyAs<ParameterArray<std::string>>, copyAs<ParameterText>,         copyAs<ParameterCustom>,
        copyAs<ParameterValue<bool>>,        copyAs<ParameterValue<float>>, copyAs<ParameterValue<long>>,
        copyAs<ParameterKeyranges>,          copyAs<ParameterEnum<float>>,  copyAs<ParameterEnum<long>>,
        copyAs<ParameterEnum<std::string>>,
    };
    for (Copier copier : copiers)
        if (std::unique_ptr<Parameter> copy = copier(parameter))
            return copy;
    throw ErrorNoSuchParameterType(kCopyWhere, std::string(), parameter.getTypeName());
}

} // namespace trov
