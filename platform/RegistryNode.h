#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace trov::platform {

// Type tags of stored values, numbered as the Windows registry numbers them. Readers do not check them.
enum class RegistryType : std::uint32_t { None = 0, String = 1, Binary = 3, Dword = 4 };

struct RegistryValue {
    std::string name;
    RegistryType type = RegistryType::None;
    std::vector<std::uint8_t> data;
};

// True when two key or value names are equal ignoring ASCII case.
bool registryNamesEqual(const std::string& a, const std::string& b);

// One key of the registry stand-in's tree: values in insertion order and child keys, names compared ignoring
// case and kept as first written. It also reads and writes the store file, version 1, little-endian:
//   file  = "TRRG" u32:version key            (nothing may follow the root key)
//   key   = u16:nameLength name u32:valueCount value* u32:childCount key*
//   value = u16:nameLength name u32:type u32:size byte*
// Names within one key are unique ignoring case. The limits below hold for both directions, so whatever is
// written can be read back. Plain data: the owner serialises access.
class RegistryNode {
public:
    static constexpr std::uint32_t kFormatVersion = 1;
    static constexpr std::size_t kMaxKeyName = 255;
    static constexpr std::size_t kMaxValueName = 16383;
    static constexpr std::size_t kMaxValueSize = std::size_t(1) << 20;
    static constexpr std::size_t kMaxDepth = 512; // levels below the root
    static constexpr std::size_t kMaxStoreSize = std::size_t(16) << 20;

    std::string name;
    std::vector<RegistryValue> values;
    std::vector<RegistryNode> children;

    const RegistryNode* findChild(const std::string& childName) const;
    RegistryNode* findChild(const std::string& childName);
    RegistryNode& findOrAddChild(const std::string& childName);
    const RegistryValue* findValue(const std::string& valueName) const;
    // Replaces the value in place (keeping its position and name) or appends it.
    void setValue(const std::string& valueName, RegistryType type, std::vector<std::uint8_t> data);
    bool removeValue(const std::string& valueName);

    std::vector<std::uint8_t> serialize() const;
    // True when the bytes are no more than a store file's beginning or begin as one does, damaged or not:
    // what fails this is plainly some other kind of file.
    static bool beginsAsStore(const std::uint8_t* data, std::size_t size);
    // Reads a whole store file. A truncated, malformed or oversized input gives false with the reason in
    // error and leaves out unchanged; nothing is allocated beyond what the input's bytes account for.
    static bool parse(const std::uint8_t* data, std::size_t size, RegistryNode& out, std::string& error);
};

} // namespace trov::platform
