#include "plugin/Settings.h"

#include "framework/File.h"
#include "framework/Logger.h"
#include "plugin/ParameterCustom.h"
#include "plugin/ParameterEnum.h"
#include "plugin/ParameterManager.h"
#include "plugin/ParameterMath.h"
#include "plugin/ParameterScheduler.h"
#include "plugin/ParameterText.h"
#include "plugin/ParameterValue.h"
#include "plugin/PluginEnvironment.h"
#include "plugin/PluginInfo.h"

#include <algorithm>
#include <cstdlib>

namespace trov {

namespace {

ParameterManager* makeManager(const Module* owner) {
    PluginInfo* info = getPluginInfo();
    return info != nullptr ? info->createParameterManager(owner) : new ParameterManager(owner);
}

// What one specification may build: section instances and parameters together. Far beyond any real
// product, small enough that a broken "instances" count cannot exhaust time or memory.
constexpr int kBuildLimit = 1 << 16;
const char* const kBuildWhere = "trov::Error trov::Settings::load(const trov::Dictionary&)";

bool isModuleLevel(const Parameter& parameter) {
    return parameter.getScope() == Parameter::kScopeZone || parameter.getScope() == Parameter::kScopeModule;
}

// The trees whose receive runs on this thread, innermost first: a message that comes back to a tree
// while it is still applying one (an "always" parameter echoing its own change) is not applied again.
class Receiving {
public:
    explicit Receiving(const Settings* tree) : tree_(tree), outer_(innermost()) { innermost() = this; }
    ~Receiving() { innermost() = outer_; }
    Receiving(const Receiving&) = delete;
    Receiving& operator=(const Receiving&) = delete;

    static bool contains(const Settings* tree) {
        for (const Receiving* r = innermost(); r != nullptr; r = r->outer_)
            if (r->tree_ == tree)
                return true;
        return false;
    }

private:
    static const Receiving*& innermost() {
        thread_local const Receiving* top = nullptr;
        return top;
    }
    const Settings* tree_;
    const Receiving* outer_;
};

} // namespace

Settings::Settings(const Module* owner)
    : Radio(owner), manager_(makeManager(owner)), scheduler_(std::make_unique<ParameterScheduler>(owner)),
      root_(std::make_unique<SettingsSection>()) {
    PluginEnvironment::instance().addSettings(owner, this);
}

Settings::Settings(const Settings& other)
    : Radio(other), SharedObject(other), manager_(makeManager(other.getOwner())),
      scheduler_(std::make_unique<ParameterScheduler>(other.getOwner())),
      root_(std::make_unique<SettingsSection>(*other.root_)) {
    PluginEnvironment::instance().addSettings(getOwner(), this);
    copyParameters(other);
}

Settings::~Settings() {
    PluginEnvironment::instance().removeSettings(getOwner(), this);
    while (!parameters_.empty()) {
        std::shared_ptr<Parameter> parameter = std::move(parameters_.back());
        parameters_.pop_back();
        // Program- and plug-in-scope parameters still held by another copy of the tree stay with it.
        if (!isModuleLevel(*parameter) && parameter.use_count() > 1)
            continue;
        logLine(0, "Settings::0x%lx : deleting Parameter 0x%lx (%s)", reinterpret_cast<unsigned long>(this),
                reinterpret_cast<unsigned long>(parameter.get()), parameter->getName().c_str());
    }
}

Error Settings::load(const File& file) {
    Dictionary specification;
    if (!specification.load(file))
        return ErrorImportFailed("class trov::Error __thiscall trov::Settings::load(class trov::File &)",
                                 file);
    return load(specification);
}

Error Settings::load(const Dictionary& specification) {
    ParameterList built;
    auto root = std::make_unique<SettingsSection>();
    buildBudget_ = kBuildLimit;
    try {
        if (const Dictionary::View parameters = specification.getArray("parameters"))
            build(*parameters, *root, built, 0);
    } catch (const Error& error) {
        return error;
    }
    std::stable_sort(built.begin(), built.end(), [](const auto& a, const auto& b) {
        return a->testFlags(Parameter::kAutomatable) != 0 && b->testFlags(Parameter::kAutomatable) == 0;
    });
    parameters_ = std::move(built);
    root_ = std::move(root);
    specification_ = specification;
    indexParameters();
    return NoError();
}

void Settings::build(const Dictionary& node, SettingsSection& section, ParameterList& out, int instance) {
    node.forEachChild("section", [&](const Dictionary& child) {
        const std::string count = child.getAttribute("instances");
        const long instances = count.empty() ? 1 : std::strtol(count.c_str(), nullptr, 10);
        for (long j = 0; j < instances; ++j) {
            spendBudget();
            auto record = std::make_unique<SettingsSection>(child.getAttribute("name"));
            build(child, *record, out, static_cast<int>(j));
            if (!record->isEmpty())
                section.addSubsection(std::move(record));
        }
    });

    node.forEachChild("", [&](const Dictionary& child) {
        // Text between items has no name and makes no parameter.
        if (child.getName().empty())
            return;
        std::unique_ptr<Parameter> parameter = manager_->createFromDictionary(child);
        if (!parameter)
            return;
        spendBudget();
        parameter->setInstance(instance);
        parameter->read(child);
        if (parameter->testFlags(Parameter::kAutomatable))
            section.addAutomatableName(parameter->getName());
        out.push_back(std::move(parameter));
    });
}

void Settings::spendBudget() {
    if (--buildBudget_ < 0)
        throw GeneralError(kBuildWhere, "specification too large");
}

void Settings::indexParameters() {
    positions_.clear();
    automatableCount_ = 0;
    for (std::size_t i = 0; i < parameters_.size(); ++i) {
        if (parameters_[i]->testFlags(Parameter::kAutomatable))
            ++automatableCount_;
        positions_.emplace(parameters_[i]->getName(), static_cast<int>(i));
    }
}

Error Settings::copyParameters(const Settings& source) {
    ParameterList copied;
    copied.reserve(source.parameters_.size());
    try {
        for (const std::shared_ptr<Parameter>& parameter : source.parameters_) {
            if (isModuleLevel(*parameter)) {
                std::shared_ptr<Parameter> clone = manager_->createCopy(*parameter);
                clone->setOwner(getOwner());
                copied.push_back(std::move(clone));
            } else {
                if (parameter->getOwner() == nullptr)
                    parameter->setOwner(getOwner());
                copied.push_back(parameter);
            }
        }
    } catch (const Error& error) {
        return error;
    }
    parameters_ = std::move(copied);
    positions_ = source.positions_;
    automatableCount_ = source.automatableCount_;
    setStepParameters(source.getStepParameters());
    return NoError();
}

Parameter* Settings::getParameterAt(int position) const {
    return position >= 0 && position < getParameterCount()
               ? parameters_[static_cast<std::size_t>(position)].get()
               : nullptr;
}

Parameter* Settings::getParameter(std::string_view name, int instance) const {
    if (instance < 0)
        return nullptr;
    auto [it, end] = positions_.equal_range(name);
    for (; it != end && instance > 0; --instance)
        ++it;
    return it != end ? getParameterAt(it->second) : nullptr;
}

int Settings::getAutomatableIndex(std::string_view name, int instance) const {
    if (instance < 0)
        return -1;
    auto [it, end] = positions_.equal_range(name);
    for (; it != end && instance > 0; --instance)
        ++it;
    // Automatable parameters come first, so a position among them is their automatable index.
    return it != end && it->second < automatableCount_ ? it->second : -1;
}

template <class Kind> Kind* Settings::find(std::string_view name) const {
    return dynamic_cast<Kind*>(getParameter(name));
}

float Settings::getNormalizedValue(std::string_view name) const {
    const Parameter* parameter = getParameter(name);
    return parameter != nullptr ? parameter->getNormalized() : 0.0f;
}

void Settings::setNormalizedValue(std::string_view name, float value, int sender) {
    if (Parameter* parameter = getParameter(name))
        parameter->setNormalized(value, sender);
}

float Settings::getFloat(std::string_view name) const {
    if (const auto* value = find<ParameterValue<float>>(name))
        return value->getValue();
    if (const auto* choice = find<ParameterEnum<float>>(name))
        return choice->getValue();
    return 0.0f;
}

void Settings::setFloat(std::string_view name, float value, int sender) {
    if (auto* parameter = find<ParameterValue<float>>(name)) {
        parameter->setValue(value, sender);
        return;
    }
    const double entry = detail::roundHalfEven(value);
    // A negative or oversized number names no entry.
    if (!(entry >= 0.0 && entry < 4294967296.0))
        return;
    if (auto* choice = find<ParameterEnum<float>>(name))
        choice->select(static_cast<std::uint32_t>(entry), sender);
    else if (auto* names = find<ParameterEnum<std::string>>(name))
        names->select(static_cast<std::uint32_t>(entry), sender);
}

bool Settings::getBool(std::string_view name) const {
    const auto* parameter = find<ParameterValue<bool>>(name);
    return parameter != nullptr && parameter->getValue();
}

void Settings::setBool(std::string_view name, bool value, int sender) {
    if (auto* parameter = find<ParameterValue<bool>>(name))
        parameter->setValue(value, sender);
    else if (auto* names = find<ParameterEnum<std::string>>(name))
        names->select(value ? 1 : 0, sender);
}

std::int32_t Settings::getLong(std::string_view name) const {
    if (const auto* value = find<ParameterValue<long>>(name))
        return static_cast<std::int32_t>(value->getValue());
    if (const auto* choice = find<ParameterEnum<long>>(name))
        return static_cast<std::int32_t>(choice->getValue());
    return 0;
}

void Settings::setLong(std::string_view name, std::int32_t value, int sender) {
    if (auto* parameter = find<ParameterValue<long>>(name))
        parameter->setValue(value, sender);
    else if (auto* choice = find<ParameterEnum<long>>(name))
        choice->select(static_cast<std::uint32_t>(value), sender);
    else if (auto* names = find<ParameterEnum<std::string>>(name))
        names->select(static_cast<std::uint32_t>(value), sender);
}

std::string Settings::getString(std::string_view name) const {
    if (const auto* names = find<ParameterEnum<std::string>>(name))
        return names->getValue();
    if (const auto* text = find<ParameterText>(name))
        return text->getValue();
    if (const auto* custom = find<ParameterCustom>(name))
        return custom->getText();
    return std::string();
}

void Settings::setString(std::string_view name, const std::string& text, int sender) {
    if (auto* parameter = find<ParameterText>(name))
        parameter->setValue(text, sender);
    else if (auto* custom = find<ParameterCustom>(name))
        custom->setText(text, sender);
}

void Settings::saveParameters(Dictionary& dictionary, std::int32_t scope) const {
    if (const Dictionary::View values = dictionary.addDictionary("parameters"))
        writeParameters(*values, scope);
}

void Settings::writeParameters(Dictionary& values, std::int32_t scope) const {
    for (const std::shared_ptr<Parameter>& parameter : parameters_)
        if (parameter->getScope() == scope && parameter->testFlags(Parameter::kExport))
            parameter->write(values);
}

void Settings::loadParameters(const Dictionary& dictionary, std::int32_t scope) {
    const Dictionary::View values = dictionary.getArray("parameters");
    if (!values)
        return;
    values->forEachChild("", [&](const Dictionary& item) {
        if (!item.hasElement())
            return;
        const std::string index = item.getAttribute("index");
        const long instance = index.empty() ? 0 : std::strtol(index.c_str(), nullptr, 10);
        if (instance < 0 || instance > INT32_MAX)
            return;
        Parameter* parameter = getParameter(item.getName(), static_cast<int>(instance));
        if (parameter == nullptr || parameter->getScope() != scope)
            return;
        try {
            parameter->read(item);
        } catch (const Error& error) {
            // A broken item costs only its own value.
            logErrorLine(3, error);
        }
    });
}

void Settings::init() {
    for (const std::shared_ptr<Parameter>& parameter : parameters_) {
        parameter->setOwner(getOwner());
        parameter->init();
    }
}

void Settings::exit() {
    for (const std::shared_ptr<Parameter>& parameter : parameters_)
        parameter->exit();
}

void Settings::setOwner(const Module* owner) {
    if (owner == getOwner())
        return;
    PluginEnvironment::instance().removeSettings(getOwner(), this);
    Radio::setOwner(owner);
    PluginEnvironment::instance().addSettings(owner, this);
    for (const std::shared_ptr<Parameter>& parameter : parameters_) {
        // A module's own parameters stay with the module that already holds them.
        if (parameter->getScope() == Parameter::kScopeModule && parameter->getOwner() != nullptr)
            continue;
        parameter->setOwner(owner);
    }
}

bool Settings::receive(const Message& message) {
    if (message.kind != kKindParameter)
        return Radio::receive(message);
    const auto* change = dynamic_cast<const ParameterMessage*>(&message);
    if (change == nullptr)
        return Radio::receive(message);
    Parameter* parameter = getParameter(change->name, change->index);
    if (parameter == nullptr)
        return false;
    if (Receiving::contains(this))
        return true;
    const Receiving receiving(this);
    parameter->setNormalized(change->value, Sender::kSettings);
    return true;
}

void Settings::resetModuleParameters() {
    for (const std::shared_ptr<Parameter>& parameter : parameters_)
        if (isModuleLevel(*parameter))
            parameter->reset();
}

} // namespace trov
