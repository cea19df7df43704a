#pragma once

#include <cstddef>
#include <string>

namespace trov::platform {

// A file that takes the place of the file path stands for (linkTarget: the end of its symbolic links, so
// that a link stays a link) only once it is whole: it is written under a new name beside that file (its
// name, "." and six characters, made exclusively, so never a file it did not make) and renamed over it by
// commit. Dropped before that, or when a step fails, the new file is removed and whatever was there stays
// as it was. It takes the mode of the file it replaces, and its owner and group where this process may set
// them, else 0644. A failure keeps the system's reason (writeFailureText). One owner, one thread.
class FileReplacement {
public:
    explicit FileReplacement(const std::string& path);
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;
    ~FileReplacement();

    // Appends the bytes; false when they could not all be written, or when a step failed before.
    bool write(const void* data, std::size_t size);
    // Syncs and closes the new file and renames it over path; false when this or an earlier step failed.
    bool commit();
    // Why it failed, without the path; empty while nothing has.
    const std::string& problem() const { return problem_; }

    // The file replaced: the end of path's links.
    const std::string& target() const { return path_; }

private:
    // Keeps errno's reason unless one is kept already, and drops the new file.
    bool fail();
    void abandon();

    std::string path_;
    std::string temporary_;
    int descriptor_ = -1;
    std::string problem_;
};

// The file a path stands for: the end of its chain of symbolic links (which need not exist yet), or path
// itself. Empty, with the reason in why, past kMaxLinks links (taken for a loop, as the system takes it) or
// for a link that cannot be read.
constexpr int kMaxLinks = 40;
std::string linkTarget(const std::string& path, std::string& why);

// What the system says of a failed write's errno; past a finite file-size limit (EFBIG), that the file
// reached this process's limit and what sets it, which the system's "File too large" does not tell.
std::string writeFailureText(int error);

} // namespace trov::platform
