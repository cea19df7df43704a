#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace trov::test {

// While it lives, the process works in a folder below base whose path is longer than a path may be
// (4,096 bytes), holding the file; then it goes, and the process works where it did.
class TooDeepFolder {
public:
    TooDeepFolder(const std::string& base, const std::string& file, const std::string& bytes)
        : back_(::open(".", O_RDONLY | O_DIRECTORY)), file_(file), path_(base) {
        if (::chdir(base.c_str()) != 0)
            return;
        for (; depth_ < kLevels && ::mkdir(kName.c_str(), 0700) == 0 && ::chdir(kName.c_str()) == 0; ++depth_)
            path_ += "/" + kName;
        path_ += "/" + file_;
        std::ofstream(file_, std::ios::binary) << bytes;
    }
    ~TooDeepFolder() {
        ::unlink(file_.c_str());
        for (; depth_ > 0 && ::chdir("..") == 0; --depth_)
            ::rmdir(kName.c_str());
        if (::fchdir(back_) != 0)
            ADD_FAILURE() << "cannot go back to the working folder";
        ::close(back_);
    }
    TooDeepFolder(const TooDeepFolder&) = delete;
    TooDeepFolder& operator=(const TooDeepFolder&) = delete;
    bool made() const { return depth_ == kLevels; }
    // The file's path from the root.
    const std::string& path() const { return path_; }

private:
    static constexpr int kLevels = 24;
    inline static const std::string kName = std::string(200, 'd');
    int back_;
    int depth_ = 0;
    std::string file_;
    std::string path_;
};

} // namespace trov::test
