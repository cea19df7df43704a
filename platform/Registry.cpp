#include "platform/Registry.h"

#include "platform/Diagnostics.h"
#include "platform/FileReplacement.h"
#include "platform/Paths.h"
#include "platform/UserFolders.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trov::platform {

namespace {

bool levelsWithinLimits(const std::vector<std::string>& levels) {
    if (levels.size() > RegistryNode::kMaxDepth)
        return false;
    for (const std::string& level : levels)
        if (level.size() > RegistryNode::kMaxKeyName)
            return false;
    return true;
}

template <typename Node> Node* findKey(Node& root, const std::vector<std::string>& levels) {
    Node* node = &root;
    for (const std::string& level : levels) {
        node = node->findChild(level);
        if (node == nullptr)
            return nullptr;
    }
    return node;
}

RegistryNode& findOrCreateKey(RegistryNode& root, const std::vector<std::string>& levels, bool& created) {
    RegistryNode* node = &root;
    for (const std::string& level : levels) {
        RegistryNode* child = node->findChild(level);
        if (child == nullptr) {
            child = &node->children.emplace_back();
            child->name = level;
            created = true;
        }
        node = child;
    }
    return *node;
}

std::string errnoText() {
    return std::strerror(errno);
}

// What identifies one version of the store file: a writer always renames a new file into place.
struct FileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modified = 0; // nanoseconds
    std::int64_t changed = 0;

    static FileIdentity of(const struct stat& st) {
        FileIdentity id;
        id.exists = true;
        id.device = st.st_dev;
        id.inode = st.st_ino;
        id.size = st.st_size;
        id.modified = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        id.changed = std::int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
        return id;
    }
    bool operator==(const FileIdentity&) const = default;
};

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

// Reads up to out.size() bytes; false on a read error.
bool readUpTo(int fd, std::vector<std::uint8_t>& out, std::size_t& got) {
    got = 0;
    while (got < out.size()) {
        const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

enum class Change { None, Made, Refused };

// A damaged store is kept under the first free one of NAME.unreadable, NAME.unreadable.1, ... below this.
constexpr int kMaxSetAside = 100;

std::string setAsideName(const std::string& file, int n) {
    return file + ".unreadable" + (n == 0 ? std::string() : "." + std::to_string(n));
}

// Gives file the first free set-aside name without ever replacing what has one: a second link, so that
// the store stays in place until its replacement is renamed over it, else (a file system without hard
// links) a rename that refuses a taken name. The name, or empty with errno set.
std::string keepAside(const std::string& file, bool& linked) {
    for (int n = 0; n < kMaxSetAside; ++n) {
        std::string name = setAsideName(file, n);
        linked = ::link(file.c_str(), name.c_str()) == 0;
        if (linked)
            return name;
        if (errno == EEXIST)
            continue;
        if (::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, name.c_str(), RENAME_NOREPLACE) == 0)
            return name;
        if (errno != EEXIST)
            return std::string();
    }
    errno = EEXIST;
    return std::string();
}

} // namespace

// One root's tree and the file that keeps it. All access goes through read and write, under the mutex.
class RegistryStore {
public:
    explicit RegistryStore(std::string file) : file_(std::move(file)) {}

    const std::string& file() const { return file_; }

    bool fileExists() const {
        struct stat st;
        return ::stat(file_.c_str(), &st) == 0;
    }

    template <typename Read> auto read(Read&& reader) {
        std::lock_guard guard(mutex_);
        refresh();
        return reader(static_cast<const RegistryNode&>(root_));
    }

    // The file's state as last loaded, and why it is damaged or refused.
    RegistryStoreCheck::State state(std::string& why) {
        std::lock_guard guard(mutex_);
        refresh();
        why = why_;
        return state_;
    }

    // Applies change to the current tree and saves it. False when the change was refused or could not be
    // saved; the tree then stays as stored.
    bool write(const std::function<Change(RegistryNode&)>& change) {
        std::lock_guard guard(mutex_);
        // A file that is no store is never written, nor is a lock file made beside it.
        refresh();
        if (state_ == RegistryStoreCheck::State::Refused)
            return refuseWrite();
        std::string why;
        const std::string target = linkTarget(file_, why);
        if (target.empty())
            return saveFailed(why);
        FileDescriptor lock(lockForWriting(target));
        refresh();
        if (state_ == RegistryStoreCheck::State::Refused)
            return refuseWrite();
        switch (change(root_)) {
        case Change::None:
            return true;
        case Change::Refused:
            return false;
        case Change::Made:
            break;
        }
        if (save(target))
            return true;
        load();
        return false;
    }

private:
    // Serialises writers across processes (corvale-install-keys takes the same lock); the store file
    // itself cannot carry the lock since every save replaces it. Without a lock file (unwritable folder)
    // the save fails anyway.
    static int lockForWriting(const std::string& target) {
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(target).parent_path(), ignored);
        const int fd = ::open((target + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0) {
            while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
        return fd;
    }

    void refresh() {
        struct stat st;
        const FileIdentity now = ::stat(file_.c_str(), &st) == 0 ? FileIdentity::of(st) : FileIdentity();
        if (!loadedOnce_ || !(now == loaded_))
            load();
    }

    void load() {
        loadedOnce_ = true;
        root_ = RegistryNode();
        loaded_ = FileIdentity();
        state_ = RegistryStoreCheck::State::Missing;
        why_.clear();
        // Not blocking: the name may be a named pipe.
        FileDescriptor fd(::open(file_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        struct stat st;
        if (fd.get() < 0) {
            if (errno == ENOENT)
                return;
            const std::string why = "it cannot be read: " + errnoText();
            if (::stat(file_.c_str(), &st) == 0)
                loaded_ = FileIdentity::of(st);
            return setRefused(why);
        }
        if (::fstat(fd.get(), &st) != 0)
            return setRefused("it cannot be read: " + errnoText());
        loaded_ = FileIdentity::of(st);
        if (S_ISDIR(st.st_mode))
            return setRefused("it is a folder");
        if (!S_ISREG(st.st_mode))
            return setRefused("it is not a regular file");
        state_ = RegistryStoreCheck::State::Readable;
        if (st.st_size == 0)
            return;
        // An oversized file is read only as far as telling whether it is a store.
        const bool oversized = static_cast<std::uint64_t>(st.st_size) > RegistryNode::kMaxStoreSize;
        std::vector<std::uint8_t> bytes(oversized ? 4 : static_cast<std::size_t>(st.st_size));
        std::size_t got = 0;
        if (!readUpTo(fd.get(), bytes, got))
            return setRefused("it cannot be read: " + errnoText());
        if (!RegistryNode::beginsAsStore(bytes.data(), got))
            return setRefused("it does not begin as a store does");
        if (oversized)
            return setUnreadable("larger than " + std::to_string(RegistryNode::kMaxStoreSize) + " bytes");
        std::string error;
        if (!RegistryNode::parse(bytes.data(), got, root_, error))
            setUnreadable(error);
    }

    void setUnreadable(const std::string& why) {
        state_ = RegistryStoreCheck::State::Damaged;
        why_ = why;
        report(3, "registry store '" + file_ + "' is unreadable (" + why +
                      "); reading it as empty, a write first keeps it aside under a free name");
    }

    // Another kind of file, or a folder, that the name points at by mistake: it is left as it is.
    void setRefused(const std::string& why) {
        state_ = RegistryStoreCheck::State::Refused;
        why_ = why;
        report(3, "registry store '" + file_ + "' is not a store (" + why +
                      "); reading it as empty, nothing is saved in it");
    }

    bool refuseWrite() {
        report(3, "registry store '" + file_ + "' is not a store (" + why_ + "); write refused");
        return false;
    }

    // Replaces the store at target, the end of its name's links (so that they stay links), keeping the
    // mode, owner and group of the file replaced.
    bool save(const std::string& target) {
        const std::vector<std::uint8_t> bytes = root_.serialize();
        if (bytes.size() > RegistryNode::kMaxStoreSize) {
            report(3, "registry store '" + file_ + "' would exceed its size limit; write refused");
            return false;
        }
        FileReplacement file(target);
        if (!file.write(bytes.data(), bytes.size()))
            return saveFailed(file.problem());
        // A store we could not read is kept aside rather than overwritten.
        std::string kept;
        bool linked = false;
        if (state_ == RegistryStoreCheck::State::Damaged) {
            kept = keepAside(target, linked);
            if (kept.empty() && errno != ENOENT)
                return saveFailed("cannot keep the unreadable store: " + errnoText());
        }
        if (!file.commit()) {
            if (linked)
                ::unlink(kept.c_str());
            return saveFailed(file.problem());
        }
        if (!kept.empty())
            report(3, "registry store '" + file_ + "' was unreadable: kept it as '" + kept +
                          "' and began a new one");
        state_ = RegistryStoreCheck::State::Readable;
        why_.clear();
        const std::string folder = std::filesystem::path(target).parent_path().string();
        FileDescriptor directory(
            ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (directory.get() >= 0)
            ::fsync(directory.get());
        struct stat st;
        loaded_ = ::stat(file_.c_str(), &st) == 0 ? FileIdentity::of(st) : FileIdentity();
        return true;
    }

    bool saveFailed(const std::string& why) {
        report(3, "registry store '" + file_ + "' could not be saved: " + why);
        return false;
    }

    const std::string file_;
    std::mutex mutex_;
    RegistryNode root_;
    FileIdentity loaded_;
    bool loadedOnce_ = false;
    RegistryStoreCheck::State state_ = RegistryStoreCheck::State::Missing;
    std::string why_;
};

namespace {

// One store per file in the process, alive while any key of it is open.
std::shared_ptr<RegistryStore> storeFor(const std::string& file) {
    static std::mutex mutex;
    static std::map<std::string, std::weak_ptr<RegistryStore>> stores;
    std::lock_guard guard(mutex);
    for (auto it = stores.begin(); it != stores.end();)
        it = it->second.expired() ? stores.erase(it) : std::next(it);
    std::weak_ptr<RegistryStore>& slot = stores[file];
    std::shared_ptr<RegistryStore> store = slot.lock();
    if (!store) {
        store = std::make_shared<RegistryStore>(file);
        slot = store;
    }
    return store;
}

} // namespace

std::string registryStoreFile(RegistryRoot root) {
    const bool machine = root == RegistryRoot::Machine;
    const char* variable = std::getenv(machine ? "TROV_MACHINE_REGISTRY" : "TROV_USER_REGISTRY");
    if (variable != nullptr && *variable != '\0')
        return variable;
    const std::string config = configFolder();
    if (config.empty())
        return std::string();
    return config + (machine ? "/trov-registry/machine.reg" : "/trov-registry/user.reg");
}

RegistryStoreCheck checkRegistryStore(RegistryRoot root) {
    RegistryStoreCheck check;
    const std::string file = registryStoreFile(root);
    if (file.empty())
        return check;
    std::string why;
    check.state = storeFor(file)->state(why);
    const char* variable = root == RegistryRoot::Machine ? "TROV_MACHINE_REGISTRY" : "TROV_USER_REGISTRY";
    const char* given = std::getenv(variable);
    const std::string named = given != nullptr && *given != '\0'
                                  ? std::string(variable) + " names " + file
                                  : std::string(variable) + " is not set, and its default " + file;
    if (check.state == RegistryStoreCheck::State::Refused)
        check.problem = named + ", which is not a registry store (" + why +
                        "): it is left as it is, and nothing is saved in it.";
    else if (check.state == RegistryStoreCheck::State::Damaged && root == RegistryRoot::Machine)
        // The module only reads the machine-wide store.
        check.problem = named + ", a registry store that cannot be read (" + why +
                        "): it is read as empty and left as it is.";
    else if (check.state == RegistryStoreCheck::State::Damaged)
        check.problem = named + ", a registry store that cannot be read (" + why +
                        "): it is read as empty, and kept aside under a free name (" + file +
                        ".unreadable, .unreadable.1, ...) at the next write.";
    return check;
}

RegistryKey::RegistryKey(RegistryRoot root, std::shared_ptr<RegistryStore> store,
                         std::vector<std::string> levels)
    : root_(root), store_(std::move(store)), levels_(std::move(levels)) {}

RegistryKey::~RegistryKey() = default;

std::unique_ptr<RegistryKey> RegistryKey::open(RegistryRoot root, const std::string& path, bool create) {
    const std::string file = registryStoreFile(root);
    if (file.empty()) {
        report(3, "no registry store file: neither the variable nor a configuration folder names one");
        return nullptr;
    }
    return openLevels(root, storeFor(file), splitPath(path), create);
}

std::unique_ptr<RegistryKey> RegistryKey::openLevels(RegistryRoot root, std::shared_ptr<RegistryStore> store,
                                                     std::vector<std::string> levels, bool create) {
    if (!levelsWithinLimits(levels))
        return nullptr;
    bool found = false;
    if (create && root == RegistryRoot::Machine && !store->fileExists()) {
        // Made by the first value set (setValue brings back the levels it needs).
        found = true;
    } else if (create) {
        found = store->write([&](RegistryNode& root) {
            bool created = false;
            findOrCreateKey(root, levels, created);
            return created ? Change::Made : Change::None;
        });
    } else {
        found = store->read([&](const RegistryNode& root) { return findKey(root, levels) != nullptr; });
    }
    if (!found)
        return nullptr;
    return std::unique_ptr<RegistryKey>(new RegistryKey(root, std::move(store), std::move(levels)));
}

std::unique_ptr<RegistryKey> RegistryKey::openChild(const std::string& subPath, bool create) const {
    std::vector<std::string> levels = levels_;
    for (std::string& level : splitPath(subPath))
        levels.push_back(std::move(level));
    return openLevels(root_, store_, std::move(levels), create);
}

bool RegistryKey::hasChild(const std::string& subPath) const {
    std::vector<std::string> levels = levels_;
    for (std::string& level : splitPath(subPath))
        levels.push_back(std::move(level));
    return store_->read([&](const RegistryNode& root) { return findKey(root, levels) != nullptr; });
}

std::optional<RegistryValue> RegistryKey::getValue(const std::string& name) const {
    return store_->read([&](const RegistryNode& root) -> std::optional<RegistryValue> {
        const RegistryNode* key = findKey(root, levels_);
        const RegistryValue* value = key != nullptr ? key->findValue(name) : nullptr;
        if (value == nullptr)
            return std::nullopt;
        return *value;
    });
}

bool RegistryKey::setValue(const std::string& name, RegistryType type, const void* data, std::size_t size) {
    if (name.size() > RegistryNode::kMaxValueName || size > RegistryNode::kMaxValueSize ||
        (data == nullptr && size > 0))
        return false;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::vector<std::uint8_t> copy(bytes, bytes + size);
    return store_->write([&](RegistryNode& root) {
        // A key that another writer removed comes back: this handle was opened for writing.
        bool created = false;
        findOrCreateKey(root, levels_, created).setValue(name, type, std::move(copy));
        return Change::Made;
    });
}

bool RegistryKey::deleteValue(const std::string& name) {
    return store_->write([&](RegistryNode& root) {
        RegistryNode* key = findKey(root, levels_);
        return key != nullptr && key->removeValue(name) ? Change::Made : Change::None;
    });
}

bool RegistryKey::clearValues() {
    return store_->write([&](RegistryNode& root) {
        RegistryNode* key = findKey(root, levels_);
        if (key == nullptr || key->values.empty())
            return Change::None;
        key->values.clear();
        return Change::Made;
    });
}

std::vector<std::string> RegistryKey::getValueNames() const {
    return store_->read([&](const RegistryNode& root) {
        std::vector<std::string> names;
        if (const RegistryNode* key = findKey(root, levels_))
            for (const RegistryValue& value : key->values)
                names.push_back(value.name);
        return names;
    });
}

std::string RegistryKey::getPath() const {
    std::string path;
    for (const std::string& level : levels_)
        path += (path.empty() ? "" : "\\") + level;
    return path;
}

const std::string& RegistryKey::getStoreFile() const {
    return store_->file();
}

} // namespace trov::platform
