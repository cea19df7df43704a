#pragma once

// Documents that name their samples by paths relative to their own folder, and the process's current
// folder, which loading them must leave where it was.
#include "framework/File.h"
#include "support/SampleTestSupport.h"

#include <filesystem>
#include <string>

namespace trov::test {

// Moves the process's current folder back at the end of the scope, whatever happened to it meanwhile.
class CurrentFolderKeeper {
public:
    CurrentFolderKeeper() : folder_(std::filesystem::current_path()) {}
    ~CurrentFolderKeeper() {
        std::error_code ignored;
        std::filesystem::current_path(folder_, ignored);
    }
    CurrentFolderKeeper(const CurrentFolderKeeper&) = delete;
    CurrentFolderKeeper& operator=(const CurrentFolderKeeper&) = delete;

private:
    std::filesystem::path folder_;
};

// A 16-bit mono WAV file of that many frames (a ramp) at the path, its folders made; the path.
inline std::string writeRampWav(const std::string& path, int frames) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    EditableWav wav(makeRamp(frames), 16);
    File file(path);
    wav.save(file);
    return path;
}

// The document text with every mention of the absolute path replaced by the relative one.
inline std::string withRelativePath(std::string text, const std::string& absolute,
                                    const std::string& relative) {
    for (std::size_t at = text.find(absolute); at != std::string::npos; at = text.find(absolute, at))
        text.replace(at, absolute.size(), relative);
    return text;
}

} // namespace trov::test
