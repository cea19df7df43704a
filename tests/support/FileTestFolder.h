#pragma once

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <unistd.h>

namespace trov::test {

// The whole content of a file, empty when it cannot be read.
inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// A fresh folder under the system's temporary folder, removed with everything in it at the end of the
// scope. The registry stand-in's stores and the temporary folder are pointed into it for the scope, and
// back to what they named before (the user's TMPDIR among them) after it.
class FileTestFolder {
public:
    FileTestFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "trov-files-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr)
            path_ = pattern;
        for (std::size_t i = 0; i < kVariables.size(); ++i) {
            const char* before = std::getenv(kVariables[i]);
            before_[i] = before != nullptr ? std::optional<std::string>(before) : std::nullopt;
        }
        ::setenv("TROV_USER_REGISTRY", (path_ + "/user.reg").c_str(), 1);
        ::setenv("TROV_MACHINE_REGISTRY", (path_ + "/machine.reg").c_str(), 1);
        ::setenv("TMPDIR", path_.c_str(), 1);
    }
    ~FileTestFolder() {
        for (std::size_t i = 0; i < kVariables.size(); ++i)
            if (before_[i])
                ::setenv(kVariables[i], before_[i]->c_str(), 1);
            else
                ::unsetenv(kVariables[i]);
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    FileTestFolder(const FileTestFolder&) = delete;
    FileTestFolder& operator=(const FileTestFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    // Writes bytes to a file below the folder and gives its path.
    std::string write(const std::string& name, const std::string& bytes) const {
        std::string file = *this / name;
        std::filesystem::create_directories(std::filesystem::path(file).parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
        return file;
    }

private:
    static constexpr std::array<const char*, 3> kVariables = {"TROV_USER_REGISTRY", "TROV_MACHINE_REGISTRY",
                                                              "TMPDIR"};
    std::string path_;
    std::array<std::optional<std::string>, kVariables.size()> before_;
};

} // namespace trov::test
