#include "gui/controls/ControlManager.h"

#include "engine/modules/Module.h"
#include "framework/Dictionary.h"
#include "framework/Error.h"
#include "framework/Logger.h"
#include "gui/Editor.h"
#include "gui/controls/Control.h"
#include "gui/controls/ControlTypes.h"
#include "plugin/Parameter.h"
#include "plugin/Settings.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>

namespace trov {

namespace {

constexpr const char* kWhere =
    "trov::Control* trov::ControlManager::createFromDictionary(const trov::Dictionary&) const";

// The signed decimal number the text begins with; 0 when it begins with none.
int leadingInteger(const std::string& text) {
    const long value = std::strtol(text.c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

std::string attributeOfEntry(const Dictionary& node, const std::string& key, const std::string& attribute) {
    const Dictionary::View entry = node.findEntry(key);
    return entry ? entry->getAttribute(attribute) : std::string();
}

} // namespace

Control* ControlManager::createControl(const Dictionary& node, const std::string& type, Parameter* parameter,
                                       Editor* /*editor*/) const {
    const int code = parameter != nullptr ? parameter->getType() : Parameter::kTypeUnknown;
    for (const ControlType& row : controlTypes())
        if (type == row.name)
            return row.build != nullptr ? row.build(ControlSpec{node, parameter, code, owner_}) : nullptr;
    return nullptr;
}

Control* ControlManager::createFromDictionary(const Dictionary& node) const {
    std::string type;
    node.getString("class", &type);
    if (type.empty())
        return nullptr;
    const bool named = node.findEntry("parameter") != nullptr;
    std::string instanceText = attributeOfEntry(node, "parameter", "index");
    if (instanceText.empty())
        instanceText = attributeOfEntry(node, "class", "index");
    const int index = instanceText.empty() ? 0 : leadingInteger(instanceText);
    std::string name;
    Parameter* parameter = nullptr;
    if (named) {
        node.getString("parameter", &name);
        Settings* settings = owner_ != nullptr ? owner_->getSettings() : nullptr;
        parameter = settings != nullptr ? settings->getParameter(name, index) : nullptr;
    }
    // Owned here until it is handed over, so that a control refusing its parameter is not lost.
    std::unique_ptr<Control> control(createControl(node, type, parameter, owner_));
    if (control == nullptr)
        throw ErrorNoSuchControlType(kWhere, type,
                                     parameter != nullptr ? parameter->getTypeName() : std::string());
    std::string tag;
    if (parameter != nullptr) {
        const Module* module = owner_ != nullptr ? owner_->getOwner() : nullptr;
        if (parameter->testFlags(Parameter::kAutomatable) != 0 && module != nullptr)
            parameter->addListener(const_cast<Module*>(module));
        control->setParameter(name);
        tag = "<" + parameter->getTypeName() + ">";
    }
    control->setParameterInstance(index);
    logLine(0, "  [0x%lx] %s ", reinterpret_cast<unsigned long>(control.get()),
            (type + tag + "::" + name).c_str());
    return control.release();
}

} // namespace trov
