#include "framework/Folder.h"

#include "framework/File.h"
#include "framework/NativeWindow.h"
#include "framework/ProductIdentity.h"
#include "platform/Paths.h"
#include "platform/Responder.h"
#include "platform/UserFolders.h"

#include <cerrno>
#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trov {

namespace {

bool isDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Calls visit(name, isDirectory) for every entry but "." and "..", in the file system's order.
template <typename Visit> void forEachEntry(const std::string& path, Visit visit) {
    DIR* dir = ::opendir(path.empty() ? "." : path.c_str());
    if (dir == nullptr)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        bool directory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK)
            directory = isDirectory(path + "/" + name);
        visit(name, directory);
    }
    ::closedir(dir);
}

} // namespace

bool isRelativePath(const std::string& text) {
    if (!text.empty() && (text[0] == '\\' || text[0] == '/'))
        return false;
    return !(text.size() >= 2 && text[1] == ':');
}

Folder::Folder() = default;

Folder::Folder(const std::string& path) {
    setPath(path);
}

Folder::Folder(const Folder&) = default;

Folder& Folder::operator=(const Folder&) = default;

Folder::~Folder() = default;

void Folder::setPath(const std::string& path) {
    components_.clear();
    relative_ = isRelativePath(path);
    components_ = platform::splitPath(path);
}

std::string Folder::getPath() const {
    std::string path;
    for (const std::string& component : components_) {
        if (!path.empty())
            path += '/';
        path += component;
    }
    if (!relative_ && isRelativePath(path))
        path.insert(path.begin(), '/');
    return path;
}

std::string Folder::getName() const {
    return components_.empty() ? std::string() : components_.back();
}

Folder Folder::getParent() const {
    Folder parent(*this);
    if (!parent.components_.empty())
        parent.components_.pop_back();
    return parent;
}

Folder Folder::getTail(std::size_t n) const {
    Folder tail;
    if (n <= components_.size())
        tail.components_.assign(components_.end() - static_cast<std::ptrdiff_t>(n), components_.end());
    return tail;
}

Folder Folder::append(const Folder& other) {
    if (other.relative_)
        components_.insert(components_.end(), other.components_.begin(), other.components_.end());
    else
        *this = other;
    return *this;
}

Folder Folder::operator+(const Folder& other) const {
    Folder result(*this);
    result.append(other);
    return result;
}

File Folder::operator+(const File& file) const {
    return File(*this, file);
}

bool Folder::operator==(const Folder& other) const {
    return components_ == other.components_;
}

bool Folder::exists() const {
    return isDirectory(getPath());
}

Folder Folder::getCurrent() {
    char buffer[PATH_MAX];
    if (::getcwd(buffer, sizeof buffer) == nullptr)
        return Folder();
    return Folder(buffer);
}

bool Folder::setCurrent() const {
    return ::chdir(getPath().c_str()) == 0;
}

bool Folder::create() const {
    if (exists())
        return true;
    Folder working(relative_ ? "" : "/");
    bool ok = true;
    for (const std::string& component : components_) {
        working.components_.push_back(component);
        const std::string path = working.getPath();
        if (isDirectory(path))
            continue;
        // Another creator may win the race for a level; the level existing is what counts.
        if (::mkdir(path.c_str(), 0777) != 0 && !(errno == EEXIST && isDirectory(path)))
            ok = false;
    }
    return ok;
}

int Folder::listFiles(std::vector<File>& out) const {
    forEachEntry(getPath(), [&](const std::string& name, bool directory) {
        if (directory)
            return;
        // Set, not parsed: a name may hold a backslash here.
        File file;
        file.setFolder(*this);
        file.setName(name);
        out.push_back(std::move(file));
    });
    return static_cast<int>(out.size());
}

int Folder::listFolders(std::vector<Folder>& out) const {
    int found = 0;
    forEachEntry(getPath(), [&](const std::string& name, bool directory) {
        if (!directory)
            return;
        Folder child(*this);
        child.components_.push_back(name);
        out.push_back(std::move(child));
        ++found;
    });
    return found;
}

bool Folder::browse(const std::string& title, const NativeWindow* owner) {
    const std::string chosen = platform::responder().browseFolder(handleOf(owner), title);
    if (chosen.empty())
        return false;
    setPath(chosen);
    return true;
}

Folder getStandardFolder(int kind) {
    std::string base;
    if (kind == 1)
        base = platform::applicationDataFolder();
    else if (kind == 2)
        base = platform::documentsFolder();
    else
        return Folder("/tmp");
    if (base.empty())
        return Folder();
    const ProductIdentity& product = getProductIdentity();
    return Folder(base + "/" + product.getMakerName() + "/" + product.getName());
}

} // namespace trov
