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
    std::lock_guard guard(mutex_);
    if (!preferences_)
        return;
    for (const auto& [name, value] : components_) {
        const Error error = preferences_->setFloat(name, value);
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

float Analogics::getTolerance(const std::string& name, int distribution) {
    float value = 0.0f;
    float initial = 0.0f;
    bool stored = false;
    bool added = false;
    {
        std::lock_guard guard(mutex_);
        auto found = components_.find(name);
        if (found == components_.end()) {
            stored = preferences_ && preferences_->getFloat(name, value) && acceptOutsideValue(value);
            if (!stored)
                value = drawValue(distribution);
            found = components_.emplace(name, value).first;
            initial = value;
            added = true;
        }
        if (distribution != kIdeal) {
            const auto u = static_cast<float>(combinedRandom());
            found->second += u * 0.0000002f - 0.0000001f;
        }
        value = found->second;
    }
    if (added && stored)
        logLine(1, "component %s tolerance %.4f", name.c_str(), static_cast<double>(initial));
    else if (added)
        logLine(1, "component %s tolerance inited to %.4f", name.c_str(), static_cast<double>(initial));
    if (distribution == kIdeal)
        return value;
    return 1.0f + amount_.load() * tolerance_.load() * value;
}

void Analogics::setValue(const std::string& name, float value) {
    if (!std::isfinite(value))
        return;
    std::lock_guard guard(mutex_);
    components_[name] = value;
}

std::size_t Analogics::getComponentCount() const {
    std::lock_guard guard(mutex_);
    return components_.size();
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
    std::vector<std::string> refused;
    {
        std::lock_guard guard(mutex_);
        for (auto& [name, value] : components_) {
            float read = 0.0f;
            if (!analogs->getFloat(documentKeyOf(name), &read))
                continue;
            if (acceptOutsideValue(read))
                value = read;
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
    for (const auto& [name, value] : components_)
        analogs->setFloat(documentKeyOf(name), value);
}

bool Analogics::clearStored() {
    std::lock_guard guard(mutex_);
    components_.clear();
    if (!preferences_)
        return false;
    const Error error = preferences_->clear();
    if (error.failed())
        logErrorLine(3, error);
    return !error.failed();
}

} // namespace trov
