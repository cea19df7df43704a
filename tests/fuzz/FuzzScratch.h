#pragma once

// The fuzz targets' scratch folder: one per process under the temporary folder (TMPDIR's, else /tmp), made
// on first use and removed with everything in it when the target exits. Whatever a target sets up there
// before its first input is torn down, by static destruction, before the folder goes. Only a target that
// crashes, whose input libFuzzer keeps, leaves it behind.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace trov::fuzz {

class ScratchFolder {
public:
    static const std::string& path() {
        static ScratchFolder folder;
        return folder.path_;
    }

private:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "trov-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

    std::string path_;
};

} // namespace trov::fuzz
