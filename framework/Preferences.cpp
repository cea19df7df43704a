#include "framework/Preferences.h"

#include "framework/Logger.h"
#include "platform/Registry.h"

#include <atomic>
#include <cstring>

namespace trov {

using platform::RegistryKey;
using platform::RegistryType;

namespace {
std::atomic<Preferences*> gMachinePreferences{nullptr};
std::atomic<Preferences*> gUserPreferences{nullptr};
} // namespace

Preferences::Preferences(platform::RegistryRoot root, const std::string& path)
    : path_(path), key_(RegistryKey::open(root, path, true)) {
    if (!key_)
        logLine(3, "failed to open preferences %s", path.c_str());
}

Preferences::Preferences(std::string path, std::unique_ptr<platform::RegistryKey> key)
    : path_(std::move(path)), key_(std::move(key)) {}

Preferences::~Preferences() = default;

bool Preferences::exists(const std::string& name) const {
    if (!key_)
        return false;
    return key_->hasChild(name) || key_->getValue(name).has_value();
}

std::size_t Preferences::getSize(const std::string& name) const {
    if (!key_)
        return 0;
    const auto value = key_->getValue(name);
    return value ? value->data.size() : 0;
}

bool Preferences::getData(const std::string& name, void* buffer, std::size_t size) const {
    if (!key_)
        return false;
    const auto value = key_->getValue(name);
    if (!value || value->data.size() > size)
        return false;
    if (!value->data.empty())
        std::memcpy(buffer, value->data.data(), value->data.size());
    return true;
}

namespace {
// Numbers are stored as exactly four bytes; any other size would leave part of the result unset.
bool readNumber(const RegistryKey* key, const std::string& name, std::int32_t& out) {
    if (key == nullptr)
        return false;
    const auto value = key->getValue(name);
    if (!value || value->data.size() != sizeof out)
        return false;
    std::memcpy(&out, value->data.data(), sizeof out);
    return true;
}

Error writeValue(RegistryKey* key, const char* where, const std::string& path, const std::string& name,
                 RegistryType type, const void* data, std::size_t size) {
    if (key != nullptr && (data != nullptr || size == 0) && key->setValue(name, type, data, size))
        return NoError();
    return ErrorPrefsKeyNotSaved(where, path + "\\" + name);
}
} // namespace

bool Preferences::getLong(const std::string& name, std::int32_t& out) const {
    std::int32_t value = 0;
    if (!readNumber(key_.get(), name, value))
        return false;
    out = value;
    return true;
}

bool Preferences::getBool(const std::string& name, bool& out) const {
    std::int32_t value = 0;
    if (!readNumber(key_.get(), name, value))
        return false;
    out = value != 0;
    return true;
}

bool Preferences::getFloat(const std::string& name, float& out) const {
    std::int32_t bits = 0;
    if (!readNumber(key_.get(), name, bits))
        return false;
    std::memcpy(&out, &bits, sizeof out);
    return true;
}

bool Preferences::getString(const std::string& name, std::string& out) const {
    if (!key_)
        return false;
    const auto value = key_->getValue(name);
    if (!value || value->data.empty())
        return exists(name);
    const auto* bytes = reinterpret_cast<const char*>(value->data.data());
    out.assign(bytes, strnlen(bytes, value->data.size()));
    return true;
}

Error Preferences::setString(const std::string& name, const std::string& text) {
    return writeValue(key_.get(), "Preferences::setString", path_, name, RegistryType::String, text.c_str(),
                      text.size() + 1);
}

// Stores the given bytes as they are: four-byte numbers are its use, and a shorter buffer must not be read
// past its end.
Error Preferences::setData(const std::string& name, const void* data, std::size_t size) {
    return writeValue(key_.get(), "Preferences::setData", path_, name,
                      size == 4 ? RegistryType::Dword : RegistryType::Binary, data, size);
}

Error Preferences::setBool(const std::string& name, bool value) {
    const std::int32_t number = value ? 1 : 0;
    return writeValue(key_.get(), "Preferences::setBool", path_, name, RegistryType::Dword, &number, 4);
}

Error Preferences::setLong(const std::string& name, std::int32_t value) {
    return writeValue(key_.get(), "Preferences::setLong", path_, name, RegistryType::Dword, &value, 4);
}

Error Preferences::setFloat(const std::string& name, float value) {
    return writeValue(key_.get(), "Preferences::setFloat", path_, name, RegistryType::Dword, &value, 4);
}

Preferences* Preferences::openChild(const std::string& subPath) const {
    if (!key_)
        return nullptr;
    std::unique_ptr<RegistryKey> child = key_->openChild(subPath, false);
    return child ? new Preferences(path_, std::move(child)) : nullptr;
}

Preferences* Preferences::createChild(const std::string& subPath) const {
    if (!key_)
        return nullptr;
    std::unique_ptr<RegistryKey> child = key_->openChild(subPath, true);
    return child ? new Preferences(path_, std::move(child)) : nullptr;
}

std::vector<std::string> Preferences::getKeys() const {
    return key_ ? key_->getValueNames() : std::vector<std::string>();
}

Error Preferences::clear() {
    if (key_ && key_->clearValues())
        return NoError();
    return ErrorPrefsKeyNotSaved("Preferences::clear", path_);
}

bool Preferences::clearChild(const std::string& subPath) {
    const std::unique_ptr<Preferences> child(createChild(subPath));
    if (!child)
        return false;
    return !child->clear().failed();
}

Preferences* getMachinePreferences() {
    return gMachinePreferences.load(std::memory_order_acquire);
}

Preferences* getUserPreferences() {
    return gUserPreferences.load(std::memory_order_acquire);
}

void setProcessPreferences(Preferences* machine, Preferences* user) {
    gMachinePreferences.store(machine, std::memory_order_release);
    gUserPreferences.store(user, std::memory_order_release);
}

} // namespace trov
