#pragma once

#include <optional>
#include <string>

namespace corvale::hostapp {

// A new file that takes the place of the file a path stands for only once it is whole. It is made beside
// the end of the path's chain of symbolic links (linkTarget), so that a link stays a link, under that
// file's name, "." and six characters, made exclusively (so never a file it did not make), and renamed
// over it by commit. Dropped before that, or abandoned, the new file is removed and whatever was there
// stays as it was. It takes the mode of the file it replaces, and its owner and group where this process
// may set them; a new file gets newMode when one is given, else what a plain create gives (0666 less the
// umask). One owner, one thread.
class ReplacementFile {
public:
    ReplacementFile() = default;
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;
    ~ReplacementFile();

    // Makes the new file for path, abandoning one made before. False with the system's reason (or why the
    // links cannot be followed) in error, without the path.
    bool open(const std::string& path, std::string& error, std::optional<unsigned> newMode = std::nullopt);
    // The new file, open for writing and reading; -1 when none is open.
    int descriptor() const { return descriptor_; }
    const std::string& newPath() const { return newPath_; }
    // Syncs and closes the new file and renames it over the file it replaces. False, with the system's
    // reason in error and the new file removed, when a step fails.
    bool commit(std::string& error);
    // Closes and removes the new file, if one is open.
    void abandon();

private:
    std::string target_;
    std::string newPath_;
    int descriptor_ = -1;
};

} // namespace corvale::hostapp
