#include "platform/RegistryNode.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>
#include <utility>

namespace trov::platform {

namespace {

constexpr char kMagic[4] = {'T', 'R', 'R', 'G'};

char foldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string folded(const std::string& text) {
    std::string result = text;
    std::transform(result.begin(), result.end(), result.begin(), foldCase);
    return result;
}

template <typename T, typename Name>
auto findNamed(T& items, const std::string& wanted, Name nameOf) -> decltype(items.data()) {
    for (auto& item : items)
        if (registryNamesEqual(nameOf(item), wanted))
            return &item;
    return nullptr;
}

class Writer {
public:
    void bytes(const void* data, std::size_t size) {
        const std::size_t at = out_.size();
        out_.resize(at + size);
        if (size > 0)
            std::memcpy(out_.data() + at, data, size);
    }
    void u16(std::uint16_t v) {
        const std::uint8_t b[2] = {std::uint8_t(v), std::uint8_t(v >> 8)};
        bytes(b, 2);
    }
    void u32(std::uint32_t v) {
        const std::uint8_t b[4] = {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16),
                                   std::uint8_t(v >> 24)};
        bytes(b, 4);
    }
    void name(const std::string& text) {
        u16(static_cast<std::uint16_t>(text.size()));
        bytes(text.data(), text.size());
    }
    void key(const RegistryNode& node) {
        name(node.name);
        u32(static_cast<std::uint32_t>(node.values.size()));
        for (const RegistryValue& value : node.values) {
            name(value.name);
            u32(static_cast<std::uint32_t>(value.type));
            u32(static_cast<std::uint32_t>(value.data.size()));
            bytes(value.data.data(), value.data.size());
        }
        u32(static_cast<std::uint32_t>(node.children.size()));
        for (const RegistryNode& child : node.children)
            key(child);
    }
    std::vector<std::uint8_t> take() { return std::move(out_); }

private:
    std::vector<std::uint8_t> out_;
};

// Every read checks the remaining length first, so a count or size field can never make us allocate or
// read more than the input holds.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool fail(const std::string& why) {
        if (error_.empty())
            error_ = why + " at byte " + std::to_string(pos_);
        return false;
    }
    const std::string& error() const { return error_; }
    bool atEnd() const { return pos_ == size_; }

    bool bytes(void* out, std::size_t n) {
        if (size_ - pos_ < n)
            return fail("truncated");
        if (n > 0)
            std::memcpy(out, data_ + pos_, n);
        pos_ += n;
        return true;
    }
    bool u16(std::uint16_t& v) {
        std::uint8_t b[2] = {};
        if (!bytes(b, 2))
            return false;
        v = static_cast<std::uint16_t>(b[0] | (b[1] << 8));
        return true;
    }
    bool u32(std::uint32_t& v) {
        std::uint8_t b[4] = {};
        if (!bytes(b, 4))
            return false;
        v = std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) | (std::uint32_t(b[2]) << 16) |
            (std::uint32_t(b[3]) << 24);
        return true;
    }
    bool name(std::string& out, std::size_t limit) {
        std::uint16_t length = 0;
        if (!u16(length))
            return false;
        if (length > limit)
            return fail("name too long");
        if (size_ - pos_ < length)
            return fail("truncated");
        out.assign(reinterpret_cast<const char*>(data_ + pos_), length);
        pos_ += length;
        return true;
    }

    bool key(RegistryNode& node, std::size_t depth) {
        if (depth > RegistryNode::kMaxDepth)
            return fail("keys nested too deeply");
        if (!name(node.name, RegistryNode::kMaxKeyName))
            return false;
        if (depth > 0 && node.name.empty())
            return fail("empty key name");
        std::uint32_t count = 0;
        if (!u32(count))
            return false;
        std::unordered_set<std::string> seen;
        for (std::uint32_t i = 0; i < count; ++i) {
            RegistryValue value;
            std::uint32_t type = 0;
            std::uint32_t size = 0;
            if (!name(value.name, RegistryNode::kMaxValueName) || !u32(type) || !u32(size))
                return false;
            if (size > RegistryNode::kMaxValueSize)
                return fail("value too large");
            if (size_ - pos_ < size)
                return fail("truncated");
            value.type = static_cast<RegistryType>(type);
            value.data.assign(data_ + pos_, data_ + pos_ + size);
            pos_ += size;
            if (!seen.insert(folded(value.name)).second)
                return fail("duplicate value name");
            node.values.push_back(std::move(value));
        }
        if (!u32(count))
            return false;
        seen.clear();
        for (std::uint32_t i = 0; i < count; ++i) {
            node.children.emplace_back();
            if (!key(node.children.back(), depth + 1))
                return false;
            if (!seen.insert(folded(node.children.back().name)).second)
                return fail("duplicate key name");
        }
        return true;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    std::string error_;
};

} // namespace

bool registryNamesEqual(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return foldCase(x) == foldCase(y); });
}

const RegistryNode* RegistryNode::findChild(const std::string& childName) const {
    return findNamed(children, childName, [](const RegistryNode& n) -> const std::string& { return n.name; });
}

RegistryNode* RegistryNode::findChild(const std::string& childName) {
    return findNamed(children, childName, [](const RegistryNode& n) -> const std::string& { return n.name; });
}

RegistryNode& RegistryNode::findOrAddChild(const std::string& childName) {
    if (RegistryNode* existing = findChild(childName))
        return *existing;
    RegistryNode& child = children.emplace_back();
    child.name = childName;
    return child;
}

const RegistryValue* RegistryNode::findValue(const std::string& valueName) const {
    return findNamed(values, valueName, [](const RegistryValue& v) -> const std::string& { return v.name; });
}

void RegistryNode::setValue(const std::string& valueName, RegistryType type, std::vector<std::uint8_t> data) {
    RegistryValue* value =
        findNamed(values, valueName, [](const RegistryValue& v) -> const std::string& { return v.name; });
    if (value == nullptr) {
        value = &values.emplace_back();
        value->name = valueName;
    }
    value->type = type;
    value->data = std::move(data);
}

bool RegistryNode::removeValue(const std::string& valueName) {
    const auto it = std::find_if(values.begin(), values.end(), [&](const RegistryValue& v) {
        return registryNamesEqual(v.name, valueName);
    });
    if (it == values.end())
        return false;
    values.erase(it);
    return true;
}

std::vector<std::uint8_t> RegistryNode::serialize() const {
    Writer writer;
    writer.bytes(kMagic, sizeof kMagic);
    writer.u32(kFormatVersion);
    writer.key(*this);
    return writer.take();
}

bool RegistryNode::beginsAsStore(const std::uint8_t* data, std::size_t size) {
    return size == 0 || std::memcmp(data, kMagic, std::min(size, sizeof kMagic)) == 0;
}

bool RegistryNode::parse(const std::uint8_t* data, std::size_t size, RegistryNode& out, std::string& error) {
    if (size > kMaxStoreSize) {
        error = "store larger than " + std::to_string(kMaxStoreSize) + " bytes";
        return false;
    }
    Reader reader(data, size);
    char magic[sizeof kMagic];
    std::uint32_t version = 0;
    RegistryNode root;
    bool ok =
        reader.bytes(magic, sizeof magic) &&
        (std::memcmp(magic, kMagic, sizeof magic) == 0 || reader.fail("not a registry store")) &&
        reader.u32(version) &&
        (version == kFormatVersion || reader.fail("unknown format version " + std::to_string(version))) &&
        reader.key(root, 0) && (reader.atEnd() || reader.fail("trailing bytes"));
    if (!ok) {
        error = reader.error();
        return false;
    }
    out = std::move(root);
    return true;
}

} // namespace trov::platform
