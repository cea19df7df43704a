#include "framework/File.h"

#include "framework/Logger.h"
#include "framework/NativeWindow.h"
#include "framework/Preferences.h"
#include "framework/ProductIdentity.h"
#include "framework/System.h"
#include "platform/Responder.h"
#include "platform/UserFolders.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trov {

namespace {

// The save dialog starts on the filter chosen last in this process.
std::atomic<int> gLastSaveFilterIndex{0};

bool statPath(const std::string& path, struct stat& st) {
    return ::stat(path.c_str(), &st) == 0;
}

std::string patternsOf(const FileFilter& filter) {
    std::string patterns;
    for (const std::string& extension : filter.extensions) {
        if (!patterns.empty())
            patterns += ';';
        patterns += "*." + extension;
    }
    return patterns;
}

platform::FileDialogRequest dialogRequest(bool save, const std::string& title, const FileFilterList& filters,
                                          int filterIndex, const File& initial, const NativeWindow* owner) {
    platform::FileDialogRequest request;
    request.save = save;
    request.title = title;
    for (const FileFilter& filter : filters) {
        const std::string patterns = patternsOf(filter);
        request.filters.emplace_back(filter.description + " (" + patterns + ")", patterns);
    }
    request.filterIndex =
        filterIndex >= 0 && static_cast<std::size_t>(filterIndex) < filters.size() ? filterIndex : 0;
    request.initialPath = initial.getPath();
    request.owner = handleOf(owner);
    return request;
}

} // namespace

File::File() = default;

File::File(const std::string& path) {
    setPath(path);
}

File::File(const char* path) {
    setPath(path != nullptr ? std::string(path) : std::string());
}

File::File(const File& other) : IOStream(other), folder_(other.folder_), name_(other.name_) {}

File::File(const Folder& folder, const File& file) : folder_(folder + file.folder_), name_(file.name_) {}

File& File::operator=(const File& other) {
    if (this != &other) {
        IOStream::operator=(other);
        folder_ = other.folder_;
        name_ = other.name_;
    }
    return *this;
}

File::~File() = default;

void File::setPath(const std::string& path) {
    const std::size_t split = path.find_last_of("/\\");
    if (split == std::string::npos) {
        folder_ = Folder();
        name_ = path;
        return;
    }
    // The separator stays with the folder text so that a file at the root keeps an absolute folder.
    folder_.setPath(path.substr(0, split + 1));
    name_ = path.substr(split + 1);
}

std::string File::getPath() const {
    const std::string folder = folder_.getPath();
    if (folder.empty())
        return name_;
    return folder.back() == '/' ? folder + name_ : folder + "/" + name_;
}

bool File::folderIsPrefixOf(const Folder& folder) const {
    const auto& mine = folder_.getComponents();
    const auto& theirs = folder.getComponents();
    return theirs.size() >= mine.size() && std::equal(mine.begin(), mine.end(), theirs.begin());
}

std::string File::getName() const {
    return name_;
}

void File::setName(const std::string& name) {
    name_ = name;
}

std::string File::getBaseName() const {
    const std::size_t dot = name_.rfind('.');
    return dot == std::string::npos ? name_ : name_.substr(0, dot);
}

std::string File::getExtension() const {
    const std::size_t dot = name_.rfind('.');
    return dot == std::string::npos ? std::string() : name_.substr(dot + 1);
}

// An empty extension adds no dot: "name." would be another file here, unlike on the system this
// behaviour comes from, where a trailing dot is dropped.
void File::setBaseName(const std::string& base) {
    const std::string extension = getExtension();
    name_ = extension.empty() ? base : base + "." + extension;
}

void File::setExtension(const std::string& extension) {
    const std::string base = getBaseName();
    name_ = extension.empty() ? base : base + "." + extension;
}

File File::nameOnly() const {
    File file;
    file.name_ = name_;
    return file;
}

bool File::operator==(const File& other) const {
    return folder_ == other.folder_ && name_ == other.name_;
}

void File::makeUnique(const std::string& pattern) {
    const std::size_t hash = pattern.find('#');
    const std::string prefix = hash == std::string::npos ? std::string() : pattern.substr(0, hash);
    const std::string suffix = hash == std::string::npos ? std::string() : pattern.substr(hash + 1);
    const std::string extension = getExtension();
    for (unsigned long long n = 1;; ++n) {
        name_ = prefix + std::to_string(n) + suffix;
        setExtension(extension);
        if (!exists())
            return;
    }
}

bool File::exists() const {
    struct stat st;
    return statPath(getPath(), st);
}

bool File::isRegularFile() const {
    struct stat st;
    return statPath(getPath(), st) && S_ISREG(st.st_mode);
}

bool File::create() const {
    const int fd = ::open(getPath().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

std::int64_t File::getModificationTime() const {
    struct stat st;
    return statPath(getPath(), st) ? static_cast<std::int64_t>(st.st_mtim.tv_sec) : 0;
}

std::int64_t File::getSize() const {
    struct stat st;
    return statPath(getPath(), st) ? static_cast<std::int64_t>(st.st_size) : 0;
}

std::string File::getSizeText() const {
    static const char* const units[] = {"bytes", "kB", "MB", "GB"};
    double value = static_cast<double>(getSize());
    int unit = 0;
    while (value > 1024.0 && unit < 3) {
        value *= 1.0 / 1024.0;
        ++unit;
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
    return std::string(buffer, result.ptr) + " " + units[unit];
}

bool File::openRead() {
    stream_ = std::make_unique<std::fstream>();
    // Checked before opening: the open itself is what would block on a pipe.
    if (!isRegularFile())
        return false;
    stream_->open(getPath(), std::ios::in | std::ios::binary);
    return stream_->is_open();
}

bool File::open(bool readOnly) {
    if (readOnly)
        return openRead();
    if (!exists())
        create();
    stream_ = std::make_unique<std::fstream>();
    if (!isRegularFile())
        return false;
    stream_->open(getPath(), std::ios::in | std::ios::out | std::ios::binary);
    return stream_->is_open();
}

bool File::close() {
    stream_.reset();
    return true;
}

bool File::isOpen() const {
    return stream_ && stream_->is_open();
}

bool File::read(void* data, std::size_t size, bool) {
    if (!isOpen())
        return false;
    stream_->read(static_cast<char*>(data), static_cast<std::streamsize>(size));
    const bool complete = static_cast<std::size_t>(stream_->gcount()) == size;
    // Keep the stream usable after reading past its end, so that tell and seek still answer.
    if (!complete)
        stream_->clear();
    return complete;
}

bool File::seek(std::int64_t position) {
    if (!isOpen())
        return false;
    stream_->clear();
    stream_->seekg(static_cast<std::streamoff>(position), std::ios::beg);
    return !stream_->fail();
}

std::int64_t File::tell() const {
    if (!isOpen())
        return -1;
    return static_cast<std::int64_t>(stream_->tellg());
}

int File::openDialog(const std::string& title, const FileFilterList& filters, const File& initial,
                     const NativeWindow* owner) {
    std::unique_ptr<Preferences> preferences;
    if (Preferences* user = getUserPreferences())
        preferences.reset(user->createChild("Preferences"));
    std::int32_t index = 0;
    if (preferences)
        preferences->getLong("ImportFilterIndex", index);
    const platform::FileDialogAnswer answer =
        platform::responder().fileDialog(dialogRequest(false, title, filters, index, initial, owner));
    if (!answer.accepted)
        return -1;
    setPath(answer.path);
    if (preferences)
        preferences->setLong("ImportFilterIndex", answer.filterIndex);
    return answer.filterIndex;
}

int File::saveDialog(const std::string& title, const FileFilterList& filters, const File& initial, int flags,
                     const NativeWindow* owner) {
    const platform::FileDialogAnswer answer = platform::responder().fileDialog(
        dialogRequest(true, title, filters, gLastSaveFilterIndex.load(), initial, owner));
    if (!answer.accepted)
        return -1;
    const int index = answer.filterIndex;
    gLastSaveFilterIndex.store(index);
    File chosen(answer.path);
    if (chosen.getExtension().empty() && index >= 0 && static_cast<std::size_t>(index) < filters.size() &&
        !filters[static_cast<std::size_t>(index)].extensions.empty())
        chosen.setExtension(filters[static_cast<std::size_t>(index)].extensions.front());
    if ((flags & kAskBeforeOverwrite) != 0 && chosen.exists()) {
        // Built by appending: GCC 12 misreports the operator+ chain here as overlapping copies.
        std::string question = "'";
        question.append(chosen.getPath()).append("' already exists.  Overwrite?");
        if (!askOkCancel(question, owner))
            return static_cast<int>(filters.size());
    }
    setPath(chosen.getPath());
    return index;
}

File makeTemporaryFile(const std::string& extension) {
    const std::string suffix = extension.empty() ? std::string() : "." + extension;
    std::string path =
        platform::temporaryFolder() + "/" + getProductIdentity().getName() + " XXXXXX" + suffix;
    const int fd = ::mkstemps(path.data(), static_cast<int>(suffix.size()));
    if (fd < 0) {
        logLine(3, "cannot create a temporary file %s: %s", path.c_str(), std::strerror(errno));
        return File();
    }
    ::close(fd);
    return File(path);
}

} // namespace trov
