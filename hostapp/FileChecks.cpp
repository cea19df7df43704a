#include "hostapp/FileChecks.h"

#include "platform/hostsdk/HostSide.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace corvale::hostapp {

FileLook lookAt(const std::string& path) {
    FileLook look;
    struct stat status = {};
    if (::stat(path.c_str(), &status) != 0) {
        look.error = errno;
        return look;
    }
    look.device = static_cast<std::uint64_t>(status.st_dev);
    look.inode = static_cast<std::uint64_t>(status.st_ino);
    look.size = static_cast<std::int64_t>(status.st_size);
    using Kind = FileLook::Kind;
    look.kind = S_ISREG(status.st_mode)                              ? Kind::Regular
                : S_ISDIR(status.st_mode)                            ? Kind::Folder
                : S_ISFIFO(status.st_mode)                           ? Kind::Pipe
                : S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode) ? Kind::Device
                : S_ISSOCK(status.st_mode)                           ? Kind::Socket
                                                                     : Kind::Other;
    return look;
}

std::string kindText(FileLook::Kind kind) {
    switch (kind) {
    case FileLook::Kind::Folder:
        return "a folder";
    case FileLook::Kind::Pipe:
        return "a named pipe";
    case FileLook::Kind::Device:
        return "a device";
    case FileLook::Kind::Socket:
        return "a socket";
    default:
        return "not a regular file";
    }
}

namespace {

// The path from the root, its links resolved as far as they exist (only normalised when they cannot be,
// as past the length a path may have); empty when the working folder's path cannot be told.
std::filesystem::path fromRoot(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error)
        return {};
    std::filesystem::path resolved = std::filesystem::weakly_canonical(absolute, error);
    return error ? absolute.lexically_normal() : resolved;
}

} // namespace

bool sameFile(const std::string& a, const std::string& b) {
    const FileLook first = lookAt(a);
    const FileLook second = lookAt(b);
    if (first.kind != FileLook::Kind::Missing && second.kind != FileLook::Kind::Missing)
        return first.device == second.device && first.inode == second.inode;
    const std::filesystem::path named = fromRoot(a);
    return !named.empty() && named == fromRoot(b);
}

std::string loadProblem(const std::string& path) {
    const FileLook look = lookAt(path);
    if (look.kind == FileLook::Kind::Missing)
        return "cannot read " + path + ": " + std::strerror(look.error);
    if (look.kind != FileLook::Kind::Regular)
        return "cannot load " + path + ": it is " + kindText(look.kind) + ", not a regular file";
    if (::access(path.c_str(), R_OK) != 0)
        return "cannot read " + path + ": " + std::strerror(errno);
    return std::string();
}

std::string linkTarget(const std::string& path, std::string& error) {
    std::filesystem::path at = path;
    for (int links = 0; links <= kMaxLinks; ++links) {
        std::error_code failed;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(at, failed)))
            return at.string();
        const std::filesystem::path target = std::filesystem::read_symlink(at, failed);
        if (failed) {
            error = "its symbolic link " + at.string() + " cannot be read: " + failed.message();
            return std::string();
        }
        at = target.is_absolute() ? target : at.parent_path() / target;
    }
    error = "more than " + std::to_string(kMaxLinks) + " symbolic links lead to it";
    return std::string();
}

std::string writeProblem(const std::string& path) {
    std::string error;
    const std::string target = linkTarget(path, error);
    if (target.empty())
        return error;
    std::string folder = std::filesystem::path(target).parent_path().string();
    if (folder.empty())
        folder = ".";
    const FileLook look = lookAt(folder);
    if (look.kind == FileLook::Kind::Missing)
        return std::strerror(look.error);
    if (look.kind != FileLook::Kind::Folder)
        return std::strerror(ENOTDIR);
    // The file is made beside it and renamed over it; one that may not be written is not replaced.
    if (lookAt(target).kind != FileLook::Kind::Missing && ::access(target.c_str(), W_OK) != 0)
        return std::strerror(errno);
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return std::strerror(errno);
    return std::string();
}

namespace {

// The first bytes of a regular file; fewer when it is shorter or cannot be read.
std::string firstBytes(const std::string& path, std::size_t count) {
    const int file = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file < 0)
        return std::string();
    std::string bytes(count, '\0');
    const ssize_t read = ::read(file, bytes.data(), count);
    ::close(file);
    bytes.resize(read > 0 ? static_cast<std::size_t>(read) : 0);
    return bytes;
}

bool isWav(const std::string& head) {
    return head.size() >= 12 && (head.compare(0, 4, "RIFF") == 0 || head.compare(0, 4, "RF64") == 0) &&
           head.compare(8, 4, "WAVE") == 0;
}

// A WAV file's chunks before its audio, within head, hold the render mark.
bool hasRenderMark(const std::string& head) {
    for (std::size_t at = 12; at + 8 <= head.size();) {
        const std::string_view id(head.data() + at, 4);
        std::uint32_t size = 0;
        for (int i = 3; i >= 0; --i)
            size = size << 8 | static_cast<unsigned char>(head[at + 4 + i]);
        if (id == "data")
            return false;
        if (id == kRenderMarkId)
            return size == sizeof kRenderMark - 1 && head.compare(at + 8, size, kRenderMark) == 0;
        at += 8 + std::size_t{size} + (size & 1u);
    }
    return false;
}

bool isPng(const std::string& head) {
    return head.size() >= 8 && head.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0;
}

// A PNG file's chunks before its image data, within head, hold the view's mark: a text chunk of its
// keyword, a zero byte and its text. Each chunk is its length (32 bits, big-endian), type, data and CRC.
bool hasViewMark(const std::string& head) {
    const std::string mark =
        std::string(trov::hostsdk::kViewImageKeyword) + '\0' + trov::hostsdk::kViewImageMark;
    for (std::size_t at = 8; at + 8 <= head.size();) {
        std::uint32_t size = 0;
        for (int i = 0; i < 4; ++i)
            size = size << 8 | static_cast<unsigned char>(head[at + i]);
        const std::string_view type(head.data() + at + 4, 4);
        if (type == "IDAT" || type == "IEND")
            return false;
        if (type == "tEXt" && size == mark.size() && head.compare(at + 8, size, mark) == 0)
            return true;
        at += 12 + std::size_t{size};
    }
    return false;
}

} // namespace

std::string overwriteRefusal(const std::string& path, OutputKind kind,
                             const std::vector<std::string>& inputs) {
    // Outputs are opened by their path from the root (PATH_MAX, 4,096 bytes with its end): the module may
    // change the working folder.
    std::error_code error;
    const std::string absolute = std::filesystem::absolute(path, error).string();
    if (error)
        return "will not write " + path +
               ": its path from the root cannot be told (the working folder's: " + error.message() + ")";
    if (absolute.size() >= PATH_MAX)
        return "will not write " + path +
               ": its path from the root is longer than the 4,096 bytes a path may hold";
    for (const std::string& input : inputs)
        if (sameFile(path, input))
            return "will not write " + path + ": it is " + input + ", which this render reads";
    const FileLook look = lookAt(path);
    if (look.kind == FileLook::Kind::Missing)
        return std::string();
    if (look.kind != FileLook::Kind::Regular)
        return "will not write " + path + ": it is " + kindText(look.kind) + ", not a file to hold " +
               (kind == OutputKind::Wav ? "a WAV file" : "a PNG image");
    if (look.size == 0)
        return std::string();
    // The mark comes before the audio, within the room the writer leaves for the header; a picture's comes
    // right after its image header.
    const std::string head = firstBytes(path, 4096);
    if (kind == OutputKind::Wav ? isWav(head) && hasRenderMark(head) : isPng(head) && hasViewMark(head))
        return std::string();
    if (kind == OutputKind::Wav && isWav(head))
        return "will not write over " + path +
               ": it is a WAV file that corvale-host did not write (name another output, or remove it)";
    if (kind == OutputKind::Png && isPng(head))
        return "will not write over " + path +
               ": it is a PNG image that corvale-host did not paint (name another picture with --view, or "
               "remove it)";
    const std::string found = head.compare(0, 4, "MThd") == 0 ? "a MIDI file" : "another kind of file";
    return "will not write over " + path + ": it is " + found + ", not " +
           (kind == OutputKind::Wav ? "a WAV file" : "a PNG image") + " (remove it or name another output)";
}

} // namespace corvale::hostapp
