#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvale::hostapp {

// What a path names, found with stat alone (a link is followed): opening a named pipe or a device to look
// at it would block or act on it. Plain data.
struct FileLook {
    enum class Kind { Missing, Regular, Folder, Pipe, Device, Socket, Other };
    Kind kind = Kind::Missing;
    int error = 0; // errno of the failed stat, for Missing
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
};

FileLook lookAt(const std::string& path);

// A few words for what a path that is not a regular file names: "a folder", "a named pipe", "a device",
// "a socket", "not a regular file".
std::string kindText(FileLook::Kind kind);

// True when a and b name one file: device and inode when both exist, whatever their names and links;
// otherwise their absolute, normalised paths (never when those cannot be told, in a working folder that is
// gone).
bool sameFile(const std::string& a, const std::string& b);

// Why a file to load cannot be handed to the module, looked at without opening it: empty when it is a
// regular file this process may read, else one line naming path ("cannot read PATH: reason", "cannot load
// PATH: it is a named pipe, not a regular file").
std::string loadProblem(const std::string& path);

// The file a path stands for, as every writer of ours finds it: the end of its chain of symbolic links
// (which need not exist yet), or path itself. A file is replaced there, in that file's folder, so that the
// links stay links. Empty, with the reason in error, past kMaxLinks links or for a link that cannot be
// read.
constexpr int kMaxLinks = 40;
std::string linkTarget(const std::string& path, std::string& error);

// Why a file cannot be made beside the file path stands for (linkTarget) and renamed over it, as the system
// says it (its folder missing, not a folder or not writable; a file there not writable; too many links):
// empty when nothing stands in the way. Opens nothing.
std::string writeProblem(const std::string& path);

// What an output the host program writes must be if it exists already.
enum class OutputKind { Wav, Png };

// The chunk before the audio that marks a WAV file as a render of the host program (WavWriter writes it):
// its id and its whole content, of even length (no pad byte). Readers skip a chunk they do not know.
constexpr char kRenderMarkId[] = "cvhr";
constexpr char kRenderMark[] = "corvale-host";

// Why the host program must not write path: empty when it may (nothing is there yet, or an empty file, or
// a file of the output's kind by its first bytes: a RIFF or RF64 WAVE file that carries the render mark,
// or a PNG image that carries the mark of the module's view writer, trov::hostsdk::kViewImageMark), else
// one line naming path and the reason (its path from the root cannot be told or is longer than a path may
// be, it is one of inputs, it is not a regular file, it is a WAV file or PNG image the host program did not
// write or another kind of file) and, for a file there, what to do. Looks at the file without opening
// anything but a regular file. Any thread.
std::string overwriteRefusal(const std::string& path, OutputKind kind,
                             const std::vector<std::string>& inputs);

} // namespace corvale::hostapp
