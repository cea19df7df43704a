#pragma once

#include "framework/Error.h"
#include "platform/RegistryRoot.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace trov {

namespace platform {
class RegistryKey;
}

// One open key of the persistent settings store, with typed values (bool, long and float as 4-byte
// numbers, strings with their NUL) and child keys. Readers return false and leave the out value untouched
// when the value is missing; writers return an Error by value and never throw.
// No lock: created at start-up, then used from the user-interface thread.
class Preferences {
public:
    // Opens the key at path under root, creating it when missing.
    Preferences(platform::RegistryRoot root, const std::string& path);
    Preferences(const Preferences&) = delete;
    Preferences& operator=(const Preferences&) = delete;
    virtual ~Preferences();

    bool isOpen() const { return key_ != nullptr; }
    const std::string& getPath() const { return path_; }

    bool exists(const std::string& name) const;
    std::size_t getSize(const std::string& name) const;
    bool getBool(const std::string& name, bool& out) const;
    bool getData(const std::string& name, void* buffer, std::size_t size) const;
    bool getLong(const std::string& name, std::int32_t& out) const;
    bool getFloat(const std::string& name, float& out) const;
    bool getString(const std::string& name, std::string& out) const;

    Error setString(const std::string& name, const std::string& text);
    Error setData(const std::string& name, const void* data, std::size_t size);
    Error setBool(const std::string& name, bool value);
    Error setLong(const std::string& name, std::int32_t value);
    Error setFloat(const std::string& name, float value);

    // Child keys below this one ("A/B" or "A\B"); the caller owns the result. openChild gives null when a
    // level is missing, createChild creates every level.
    Preferences* openChild(const std::string& subPath) const;
    Preferences* createChild(const std::string& subPath) const;
    // Value names in the store's order (insertion order).
    std::vector<std::string> getKeys() const;
    // Deletes every value of this key; child keys stay.
    Error clear();
    bool clearChild(const std::string& subPath);

private:
    Preferences(std::string path, std::unique_ptr<platform::RegistryKey> key);

    std::string path_;
    std::unique_ptr<platform::RegistryKey> key_;
};

// The process-wide machine-wide and per-user preferences, installed by the process-wide context (not
// owned here); null until then.
Preferences* getMachinePreferences();
Preferences* getUserPreferences();
void setProcessPreferences(Preferences* machine, Preferences* user);

} // namespace trov
