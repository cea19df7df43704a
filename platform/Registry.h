#pragma once

#include "platform/RegistryNode.h"
#include "platform/RegistryRoot.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace trov::platform {

class RegistryStore;

// An open key of the registry stand-in: a key tree per root, kept in one file per root and shared by every
// key of that root in the process. Every write replaces the file atomically (temporary file, fsync, rename)
// under a lock file, so a crash never loses the store and other processes' writes are not lost; each call
// first reloads the file when another writer has replaced it. A file named through symbolic links is
// replaced at the end of the chain, so the links stay links, and keeps its mode (a new store gets 0644). Key
// paths split at "/" and "\"; key and value names compare ignoring case. Any thread: the store is locked per
// call.
class RegistryKey {
public:
    // The key at path below the root's top; create makes missing levels. Null when a level is missing (and
    // not created), the store file cannot be named, or a new level cannot be saved. A store file that is
    // plainly no store (see checkRegistryStore) reads as empty and is never written.
    //
    // The machine-wide store is made by an installation, never by opening a key: while its file does not
    // exist, a key opened with create is not written, and the first value set makes the file. A wrong path
    // in TROV_MACHINE_REGISTRY thus stays a missing store (not an empty one, which would hide the path).
    static std::unique_ptr<RegistryKey> open(RegistryRoot root, const std::string& path, bool create);

    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey();

    // The key at subPath below this one, with the same rules as open.
    std::unique_ptr<RegistryKey> openChild(const std::string& subPath, bool create) const;
    // True when the key at subPath below this one exists.
    bool hasChild(const std::string& subPath) const;

    // The stored value, or nothing when the key or the value is missing.
    std::optional<RegistryValue> getValue(const std::string& name) const;
    // Each write gives false, leaving the store as it was, when it cannot be saved or breaks a size limit.
    bool setValue(const std::string& name, RegistryType type, const void* data, std::size_t size);
    bool deleteValue(const std::string& name);
    bool clearValues();
    // Value names in insertion order.
    std::vector<std::string> getValueNames() const;

    // The key's path from the root's top as it was opened, levels joined with "\".
    std::string getPath() const;
    const std::string& getStoreFile() const;

private:
    RegistryKey(RegistryRoot root, std::shared_ptr<RegistryStore> store, std::vector<std::string> levels);
    static std::unique_ptr<RegistryKey> openLevels(RegistryRoot root, std::shared_ptr<RegistryStore> store,
                                                   std::vector<std::string> levels, bool create);

    RegistryRoot root_;
    std::shared_ptr<RegistryStore> store_;
    std::vector<std::string> levels_;
};

// The file holding a root's store: $TROV_MACHINE_REGISTRY or $TROV_USER_REGISTRY, else
// "trov-registry/machine.reg" or "trov-registry/user.reg" in the configuration folder; empty when neither
// names one.
std::string registryStoreFile(RegistryRoot root);

// What the file holding a root's store is, judged as every key of it reads it.
struct RegistryStoreCheck {
    enum class State {
        Missing,  // no file, or none can be named: read as empty
        Readable, // a store, or an empty file
        Damaged,  // begins as a store does but is not one: read as empty, kept aside at the next write
        Refused,  // a folder, plainly another kind of file, or one that cannot be read: never written
    };
    State state = State::Missing;
    // For Damaged and Refused, one sentence naming the file and the variable that names it.
    std::string problem;
};
RegistryStoreCheck checkRegistryStore(RegistryRoot root);

} // namespace trov::platform
