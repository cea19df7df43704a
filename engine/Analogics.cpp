#include "engine/Analogics.h"

#include "framework/Dictionary.h"
#include "framework/Logger.h"
#include "framework/Preferences.h"
#include "framework/Random.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace trov {

namespace {

constexpr const char* kStoreKey = "Analog Components";
constexpr const char* kDocumentKey = "analogs";

// Document keys are element names: no spaces.
std::string documentKeyOf(std::string name) {
    std::replace(name.begin(), name.end(), ' ', '-');
    return name;
}

float drawValue(int distribution) {
    const auto r =
        static_cast<float>(static_cast<double>(combinedRandom()) * static_cast<double>(combinedRandom()));
    switch (distribution) {
    case Analogics::kPositive:
        return r;
    case Analogics::kNegative:
        return -r;
    case Analogics::kIdeal:
        return 1.0f;
    default:
        return 2.0f * r - 1.0f;
    }
}

// A value from outside (the store, a document): finite, and within the range the draws give.
bool acceptOutsideValue(float& value) {
    if (!std::isfinite(value))
        return false;
    value = std::clamp(value, -1.0f, 1.0f);
    return true;
}

} // namespace

Analogics::Analogics(const Module* owner) : Radio(owner) {
    if (const Preferences* user = getUserPreferences())
        preferences_.reset(user->createChild(kStoreKey));
    Analogics::init();
}

Analogics::~Analogics() {
    flushLog();
    std::lock_guard guard(mutex_);
    if (!preferences_)
        return;
    for (const auto& [name, component] : components_) {
        if (component.state.load() != Component::kDrawn)
            continue;
        const Error error = preferences_->setFloat(name, component.value.load());
        if (error.failed())
            logErrorLine(3, error);
    }
}

void Analogics::init() {
    std::vector<std::string> names;
    {
        std::lock_guard guard(mutex_);
        if (preferences_)
            names = preferences_->getKeys();
    }
    for (const std::string& name : names)
        getTolerance(name, kSymmetric);
}

Analogics::Component& Analogics::componentOf(const std::string& name) {
    auto [at, added] = components_.try_emplace(name);
    Component& component = at->second;
    if (added && preferences_) {
        float value = 0.0f;
        if (preferences_->getFloat(name, value) && acceptOutsideValue(value)) {
            component.stored.store(value);
            component.hasStored.store(true);
        }
    }
    return component;
}

bool Analogics::draw(Component& component, int distribution) noexcept {
    int state = component.state.load(std::memory_order_acquire);
    if (state == Component::kDrawn)
        return false;
    if (state == Component::kUndrawn &&
        component.state.compare_exchange_strong(state, Component::kDrawing, std::memory_order_acq_rel)) {
        const bool stored = component.hasStored.load();
        const float value = stored ? component.stored.load() : drawValue(distribution);
        component.value.store(value);
        component.initial.store(value);
        component.fromStore.store(stored);
        component.logPending.store(true);
        component.state.store(Component::kDrawn, std::memory_order_release);
        return true;
    }
    // Another thread draws it this moment.
    while (component.state.load(std::memory_order_acquire) != Component::kDrawn) {
    }
    return false;
}

float Analogics::getTolerance(Component& component, int distribution) noexcept {
    if (draw(component, distribution))
        logPending_.store(true, std::memory_order_release);
    float value = component.value.load();
    if (distribution != kIdeal) {
        const auto u = static_cast<float>(combinedRandom());
        value = component.value.fetch_add(u * 0.0000002f - 0.0000001f) + (u * 0.0000002f - 0.0000001f);
    }
    if (distribution == kIdeal)
        return value;
    return 1.0f + amount_.load() * tolerance_.load() * value;
}

float Analogics::getTolerance(const std::string& name, int distribution) {
    Component* component = nullptr;
    {
        std::lock_guard guard(mutex_);
        component = &componentOf(name);
    }
    const float factor = getTolerance(*component, distribution);
    flushLog();
    return factor;
}

Analogics::Component& Analogics::prepareComponent(const std::string& name) {
    std::lock_guard guard(mutex_);
    return componentOf(name);
}

void Analogics::flushLog() {
    if (!logPending_.exchange(false, std::memory_order_acq_rel))
        return;
    std::vector<std::pair<std::string, std::pair<bool, float>>> lines;
    {
        std::lock_guard guard(mutex_);
        for (auto& [name, component] : components_)
            if (component.logPending.exchange(false))
                lines.emplace_back(name, std::pair(component.fromStore.load(), component.initial.load()));
    }
    for (const auto& [name, line] : lines) {
        if (line.first)
            logLine(1, "component %s tolerance %.4f", name.c_str(), static_cast<double>(line.second));
        else
            logLine(1, "component %s tolerance inited to %.4f", name.c_str(),
                    static_cast<double>(line.second));
    }
}

void Analogics::setValue(const std::string& name, float value) {
    if (!std::isfinite(value))
        return;
    std::lock_guard guard(mutex_);
    Component& component = componentOf(name);
    component.value.store(value);
    component.state.store(Component::kDrawn, std::memory_order_release);
}

std::size_t Analogics::getComponentCount() const {
    std::lock_guard guard(mutex_);
    return static_cast<std::size_t>(
        std::count_if(components_.begin(), components_.end(),
                      [](const auto& entry) { return entry.second.state.load() == Component::kDrawn; }));
}

void Analogics::setTolerance(float tolerance) noexcept {
    if (std::isfinite(tolerance))
        tolerance_.store(tolerance);
}

void Analogics::setAmount(float amount) noexcept {
    if (std::isfinite(amount))
        amount_.store(amount);
}

void Analogics::read(const Dictionary& dictionary) {
    const Dictionary::View analogs = dictionary.getDictionary(kDocumentKey);
    if (!analogs)
        return;
    flushLog();
    std::vector<std::string> refused;
    {
        std::lock_guard guard(mutex_);
        for (auto& [name, component] : components_) {
            float read = 0.0f;
            if (component.state.load() != Component::kDrawn || !analogs->getFloat(documentKeyOf(name), &read))
                continue;
            if (acceptOutsideValue(read))
                component.value.store(read);
            else
                refused.push_back(name);
        }
    }
    for (const std::string& name : refused)
        logLine(3, "component %s: the document's value is not a number, kept", name.c_str());
}

void Analogics::write(Dictionary& dictionary) const {
    Dictionary::View analogs = dictionary.getDictionary(kDocumentKey);
    if (!analogs)
        analogs = dictionary.addDictionary(kDocumentKey);
    if (!analogs)
        return;
    std::lock_guard guard(mutex_);
    for (const auto& [name, component] : components_)
        if (component.state.load() == Component::kDrawn)
            analogs->setFloat(documentKeyOf(name), component.value.load());
}

bool Analogics::clearStored() {
    std::lock_guard guard(mutex_);
    // Forgotten in place: the audio thread may hold a prepared component.
    for (auto& [name, component] : components_) {
        component.hasStored.store(false);
        component.state.store(Component::kUndrawn, std::memory_order_release);
    }
    if (!preferences_)
        return false;
    const Error error = preferences_->clear();
    if (error.failed())
        logErrorLine(3, error);
    return !error.failed();
}

} // namespace trov
