#include "hostapp/RegistryFile.h"

#include "hostapp/FileChecks.h"
#include "hostapp/ReplacementFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace corvale::hostapp {

namespace {

// Limits of the store's reader: key names up to 255 bytes, value names up to 16383, values up to 1 MiB,
// keys nested 512 levels below the root, the whole store up to 16 MiB.
constexpr std::size_t kMaxKeyName = 255;
constexpr std::size_t kMaxValueName = 16383;
constexpr std::size_t kMaxValueSize = std::size_t(1) << 20;
constexpr std::size_t kMaxDepth = 512;
constexpr std::size_t kMaxStoreSize = std::size_t(16) << 20;
constexpr std::uint8_t kMagic[4] = {'T', 'R', 'R', 'G'};

struct StoreValue {
    std::string name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};

struct StoreKey {
    std::string name;
    std::vector<StoreValue> values;
    std::vector<StoreKey> children;
};

// Names compare ignoring ASCII case, as the module compares them.
std::string folded(const std::string& name) {
    std::string result = name;
    for (char& c : result)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return result;
}

template <typename Items> auto* findNamed(Items& items, const std::string& name) {
    const std::string wanted = folded(name);
    for (auto& item : items)
        if (folded(item.name) == wanted)
            return &item;
    return static_cast<typename Items::value_type*>(nullptr);
}

void put16(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    put16(bytes, value & 0xFFFFu);
    put16(bytes, value >> 16);
}

void putName(std::vector<std::uint8_t>& bytes, const std::string& name) {
    put16(bytes, static_cast<std::uint32_t>(name.size()));
    bytes.insert(bytes.end(), name.begin(), name.end());
}

void putKey(std::vector<std::uint8_t>& bytes, const StoreKey& key) {
    putName(bytes, key.name);
    put32(bytes, static_cast<std::uint32_t>(key.values.size()));
    for (const StoreValue& value : key.values) {
        putName(bytes, value.name);
        put32(bytes, value.type);
        put32(bytes, static_cast<std::uint32_t>(value.data.size()));
        bytes.insert(bytes.end(), value.data.begin(), value.data.end());
    }
    put32(bytes, static_cast<std::uint32_t>(key.children.size()));
    for (const StoreKey& child : key.children)
        putKey(bytes, child);
}

// Reads a store as the module's reader does, refusing what it refuses, so that what is kept of a store
// is written back as the module read it.
class StoreReader {
public:
    explicit StoreReader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}

    bool read(StoreKey& root, std::string& error) {
        std::uint32_t version = 0;
        bool ok = has(sizeof kMagic) &&
                  (std::memcmp(bytes_.data(), kMagic, sizeof kMagic) == 0 || fail("not a registry store"));
        at_ = sizeof kMagic;
        ok = ok && u32(version) &&
             (version == 1 || fail("unknown format version " + std::to_string(version))) && key(root, 0) &&
             (at_ == bytes_.size() || fail("trailing bytes"));
        error = error_;
        return ok;
    }

private:
    bool fail(const std::string& why) {
        if (error_.empty())
            error_ = why + " at byte " + std::to_string(at_);
        return false;
    }
    bool has(std::size_t n) { return bytes_.size() - at_ >= n || fail("truncated"); }
    bool u32(std::uint32_t& value) {
        if (!has(4))
            return false;
        value = std::uint32_t(bytes_[at_]) | (std::uint32_t(bytes_[at_ + 1]) << 8) |
                (std::uint32_t(bytes_[at_ + 2]) << 16) | (std::uint32_t(bytes_[at_ + 3]) << 24);
        at_ += 4;
        return true;
    }
    bool take(std::size_t length, std::string& out) {
        if (!has(length))
            return false;
        out.assign(bytes_.begin() + static_cast<std::ptrdiff_t>(at_),
                   bytes_.begin() + static_cast<std::ptrdiff_t>(at_ + length));
        at_ += length;
        return true;
    }
    bool name(std::string& out, std::size_t limit) {
        if (!has(2))
            return false;
        const std::size_t length = bytes_[at_] | (std::size_t(bytes_[at_ + 1]) << 8);
        at_ += 2;
        return length <= limit ? take(length, out) : fail("name too long");
    }
    bool key(StoreKey& key, std::size_t depth) {
        if (depth > kMaxDepth)
            return fail("keys nested too deeply");
        std::uint32_t count = 0;
        if (!name(key.name, kMaxKeyName))
            return false;
        if (depth > 0 && key.name.empty())
            return fail("empty key name");
        if (!u32(count))
            return false;
        std::unordered_set<std::string> seen;
        for (std::uint32_t i = 0; i < count; ++i) {
            StoreValue& value = key.values.emplace_back();
            std::uint32_t size = 0;
            std::string data;
            if (!name(value.name, kMaxValueName) || !u32(value.type) || !u32(size))
                return false;
            if (size > kMaxValueSize)
                return fail("value too large");
            if (!take(size, data))
                return false;
            value.data.assign(data.begin(), data.end());
            if (!seen.insert(folded(value.name)).second)
                return fail("duplicate value name");
        }
        if (!u32(count))
            return false;
        seen.clear();
        for (std::uint32_t i = 0; i < count; ++i) {
            if (!this->key(key.children.emplace_back(), depth + 1))
                return false;
            if (!seen.insert(folded(key.children.back().name)).second)
                return fail("duplicate key name");
        }
        return true;
    }

    const std::vector<std::uint8_t>& bytes_;
    std::size_t at_ = 0;
    std::string error_;
};

// The key path's levels and the values, checked against the store's limits.
bool checkKeyAndValues(const std::string& keyPath,
                       const std::vector<std::pair<std::string, std::string>>& values,
                       std::vector<std::string>& levels, std::string& error) {
    levels.assign(1, std::string());
    for (const char c : keyPath) {
        if (c == '\\' || c == '/')
            levels.emplace_back();
        else
            levels.back() += c;
    }
    for (const std::string& level : levels) {
        if (level.empty()) {
            error = "the key path '" + keyPath + "' has an empty level";
            return false;
        }
        if (level.size() > kMaxKeyName) {
            error = "the key name '" + level + "' is longer than 255 bytes";
            return false;
        }
    }
    for (const auto& [name, text] : values) {
        if (name.size() > kMaxValueName || text.size() + 1 > kMaxValueSize ||
            text.find('\0') != std::string::npos) {
            error = "the value '" + name.substr(0, 40) + "' does not fit a store";
            return false;
        }
    }
    return true;
}

// Makes the key (matching existing levels ignoring case) and gives it exactly the values, as strings.
void setKeyValues(StoreKey& root, const std::vector<std::string>& levels,
                  const std::vector<std::pair<std::string, std::string>>& values) {
    StoreKey* key = &root;
    for (const std::string& level : levels) {
        StoreKey* child = findNamed(key->children, level);
        if (child == nullptr) {
            child = &key->children.emplace_back();
            child->name = level;
        }
        key = child;
    }
    key->values.clear();
    for (const auto& [name, text] : values) {
        StoreValue* value = findNamed(key->values, name);
        if (value == nullptr) {
            value = &key->values.emplace_back();
            value->name = name;
        }
        value->type = 1;
        value->data.assign(text.begin(), text.end());
        value->data.push_back(0);
    }
}

enum class StoreLook { Missing, Bytes, NotAStore };

// The first limit bytes of the file at path when it may be a store; else why it is none.
StoreLook lookAtStore(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& bytes,
                      std::string& why) {
    bytes.clear();
    // Not blocking: the name may be a named pipe.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return StoreLook::Missing;
        why = std::string("it cannot be read: ") + std::strerror(errno);
        return StoreLook::NotAStore;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0)
        why = std::string("it cannot be read: ") + std::strerror(errno);
    else if (S_ISDIR(st.st_mode))
        why = "it is a folder";
    else if (!S_ISREG(st.st_mode))
        why = "it is not a regular file";
    else {
        bytes.resize(std::min<std::uint64_t>(static_cast<std::uint64_t>(st.st_size), limit));
        std::size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                why = std::string("it cannot be read: ") + std::strerror(errno);
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);
        if (why.empty() && got > 0 && std::memcmp(bytes.data(), kMagic, std::min(got, sizeof kMagic)) != 0)
            why = "it does not begin as a store does";
    }
    ::close(fd);
    return why.empty() ? StoreLook::Bytes : StoreLook::NotAStore;
}

// The store's bytes at path: none when it is missing (or empty); false, with the reason naming path, for
// a file that is no store.
bool storeBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
    std::string why;
    if (lookAtStore(path, kMaxStoreSize + 1, bytes, why) != StoreLook::NotAStore)
        return true;
    error = path + " is not a registry store (" + why + "): it is left as it was; name a new file or a store";
    return false;
}

// Why the bytes of a store do not read, as the module's reader would refuse them; empty when they read.
std::string readStore(const std::vector<std::uint8_t>& bytes, StoreKey& root) {
    std::string why;
    if (bytes.size() > kMaxStoreSize)
        why = "larger than " + std::to_string(kMaxStoreSize) + " bytes";
    else if (!bytes.empty())
        StoreReader(bytes).read(root, why);
    return why;
}

// Replaces target (the end of path's links) with bytes through a new file beside it, so that a failed
// write leaves the store as it was; the file replaced keeps its mode, owner and group, a new one is 0644.
bool replaceFile(const std::string& path, const std::string& target, const std::vector<std::uint8_t>& bytes,
                 std::string& error) {
    ReplacementFile file;
    if (!file.open(target, error, 0644)) {
        error = "cannot write " + path + ": " + error;
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(file.descriptor(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = "cannot write " + path + ": " + std::strerror(n < 0 ? errno : EIO);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (!file.commit(error)) {
        error = "cannot write " + path + ": " + error;
        return false;
    }
    return true;
}

// The lock the module takes around its writes of the store at target, held while this lives.
class StoreLock {
public:
    explicit StoreLock(const std::string& target)
        : fd_(::open((target + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
        while (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;
    ~StoreLock() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool held() const { return fd_ >= 0; }

private:
    int fd_;
};

} // namespace

bool buildRegistryStore(const std::string& keyPath,
                        const std::vector<std::pair<std::string, std::string>>& values,
                        std::vector<std::uint8_t>& bytes, std::string& error) {
    return mergeRegistryStore({}, keyPath, values, bytes, error);
}

bool mergeRegistryStore(const std::vector<std::uint8_t>& existing, const std::string& keyPath,
                        const std::vector<std::pair<std::string, std::string>>& values,
                        std::vector<std::uint8_t>& bytes, std::string& error) {
    std::vector<std::string> levels;
    StoreKey root;
    if (!checkKeyAndValues(keyPath, values, levels, error))
        return false;
    if (const std::string why = readStore(existing, root); !why.empty()) {
        error = "is a damaged registry store (" + why + ")";
        return false;
    }
    setKeyValues(root, levels, values);
    bytes.assign(std::begin(kMagic), std::end(kMagic));
    put32(bytes, 1);
    putKey(bytes, root);
    if (bytes.size() > kMaxStoreSize) {
        error = "would grow larger than the " + std::to_string(kMaxStoreSize) + " bytes a store may hold";
        return false;
    }
    return true;
}

bool writeRegistryStore(const std::string& path, const std::string& keyPath,
                        const std::vector<std::pair<std::string, std::string>>& values, std::string& error) {
    std::vector<std::string> levels;
    std::vector<std::uint8_t> existing;
    // A file that is no store is refused before a lock file is made beside it.
    if (!checkKeyAndValues(keyPath, values, levels, error) || !storeBytes(path, existing, error))
        return false;
    const std::string target = linkTarget(path, error);
    if (target.empty()) {
        error = "cannot write " + path + ": " + error;
        return false;
    }
    // Read, merged and replaced under the module's lock, so that no other writer's keys are lost.
    const StoreLock lock(target);
    if (!lock.held()) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    if (!storeBytes(path, existing, error))
        return false;
    std::vector<std::uint8_t> bytes;
    if (!mergeRegistryStore(existing, keyPath, values, bytes, error)) {
        error = "the store " + path + " " + error + ": it is left as it was; remove it or name another file";
        return false;
    }
    return replaceFile(path, target, bytes, error);
}

std::string setAsideName(const std::string& target, int n) {
    return target + ".unreadable" + (n == 0 ? std::string() : "." + std::to_string(n));
}

std::string saveProblem(const std::string& path) {
    std::string error;
    const std::string target = linkTarget(path, error);
    if (target.empty())
        return error;
    // The module makes a missing folder: the nearest one that exists must take it.
    std::filesystem::path folder = std::filesystem::path(target).parent_path();
    std::error_code failed;
    while (!folder.empty() && !std::filesystem::exists(folder, failed) && folder != folder.parent_path())
        folder = folder.parent_path();
    std::string temporary =
        ((folder.empty() ? std::filesystem::path(".") : folder) / std::filesystem::path(target).filename())
            .string() +
        ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return std::strerror(errno);
    // Room for a new store as large as the present one, and a little more.
    struct stat st;
    const off_t size = ::stat(target.c_str(), &st) == 0 ? std::min<off_t>(st.st_size, kMaxStoreSize) : 0;
    const int refused = ::posix_fallocate(fd, 0, size + 4096);
    ::close(fd);
    ::unlink(temporary.c_str());
    return refused != 0 ? std::strerror(refused) : std::string();
}

std::string notAStoreReason(const std::string& path) {
    std::vector<std::uint8_t> head;
    std::string why;
    return lookAtStore(path, sizeof kMagic, head, why) == StoreLook::NotAStore ? why : std::string();
}

std::string registryStoreFile(bool machine) {
    const char* variable = std::getenv(machine ? "TROV_MACHINE_REGISTRY" : "TROV_USER_REGISTRY");
    if (variable != nullptr && *variable != '\0')
        return variable;
    std::string config;
    if (const char* folder = std::getenv("XDG_CONFIG_HOME"); folder != nullptr && *folder != '\0')
        config = folder;
    else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        config = std::string(home) + "/.config";
    if (config.empty())
        return std::string();
    return config + (machine ? "/trov-registry/machine.reg" : "/trov-registry/user.reg");
}

std::string missingMachineStoreText() {
    const std::string file = registryStoreFile(true);
    std::error_code failed;
    if (!file.empty() && std::filesystem::exists(file, failed))
        return std::string();
    const char* variable = std::getenv("TROV_MACHINE_REGISTRY");
    if (variable != nullptr && *variable != '\0')
        return "TROV_MACHINE_REGISTRY names " + file +
               ", which does not exist; corvale-install-keys writes it";
    return "TROV_MACHINE_REGISTRY is not set and " +
           (file.empty() ? std::string("no configuration folder gives a default store")
                         : "the default store " + file + " does not exist") +
           "; corvale-install-keys writes a store to name in it";
}

} // namespace corvale::hostapp
