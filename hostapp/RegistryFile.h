#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace corvale::hostapp {

// The bytes of a registry store file holding one key path (levels split at "\" or "/") with string values,
// in the layout the module's store reads (little-endian):
//   "TRRG" u32:1 key;  key = u16:nameLength name u32:valueCount value* u32:childCount key*;
//   value = u16:nameLength name u32:type (1, a string) u32:size bytes (the text and its zero).
// The root key has an empty name. False with the reason in error for an empty level, a name or value too
// long for its field.
bool buildRegistryStore(const std::string& keyPath,
                        const std::vector<std::pair<std::string, std::string>>& values,
                        std::vector<std::uint8_t>& bytes, std::string& error);

// The bytes of the store `existing` (none: a new store) with the key holding exactly these values: its
// other keys, and the key's child keys, kept. False with the reason in error ("is a damaged registry store
// (...)", a bad key or value, a store that would grow past the most a store holds).
bool mergeRegistryStore(const std::vector<std::uint8_t>& existing, const std::string& keyPath,
                        const std::vector<std::pair<std::string, std::string>>& values,
                        std::vector<std::uint8_t>& bytes, std::string& error);

// Writes the key with exactly these values into the store at path, made when missing (or an empty file):
// an existing store keeps its other keys, and the key its child keys. Read, merged and written under the
// lock the module takes for its own writes (path's target + ".lock"). A path that is a symbolic link stays
// one: its target (linkTarget) is replaced through a new file in the target's folder (ReplacementFile) and
// keeps its mode, owner and group. False with the reason in error, leaving the file as it was, also for a
// file that is no store (a folder, another kind of file) or a damaged store.
bool writeRegistryStore(const std::string& path, const std::string& keyPath,
                        const std::vector<std::pair<std::string, std::string>>& values, std::string& error);

// The names the module keeps a damaged store at target aside under, the first free one of them:
// NAME.unreadable for n = 0, then NAME.unreadable.n, for n below kMaxSetAside.
constexpr int kMaxSetAside = 100;
std::string setAsideName(const std::string& target, int n);

// Why the store at path could not be saved as the module saves it (a new file beside its target, flushed
// to the disk): the system's reason ("Read-only file system", "No space left on device"); empty when it
// can be.
std::string saveProblem(const std::string& path);

// Why the file at path is plainly no registry store ("it is a folder", "it does not begin as a store
// does", ...), as the module judges it; empty when it is missing, empty or begins as a store does.
std::string notAStoreReason(const std::string& path);

// The store file the module reads for its machine-wide (machine) or per-user root, by the module's own
// rule: $TROV_MACHINE_REGISTRY or $TROV_USER_REGISTRY when set and not empty, else
// trov-registry/machine.reg or trov-registry/user.reg in $XDG_CONFIG_HOME (else ~/.config); empty when
// none can be named.
std::string registryStoreFile(bool machine);

// When the machine-wide store the module would read does not exist: one sentence saying which file is
// missing, naming TROV_MACHINE_REGISTRY and corvale-install-keys, which writes the store. Empty when the
// store exists.
std::string missingMachineStoreText();

} // namespace corvale::hostapp
