#include "instrument/editor/SampleDragFiles.h"

#include <cstdio>

namespace trov {

SampleDragFiles& SampleDragFiles::instance() {
    static SampleDragFiles files;
    return files;
}

void SampleDragFiles::add(const std::string& path) {
    std::lock_guard guard(mutex_);
    paths_.push_back(path);
}

void SampleDragFiles::removeAll() {
    std::vector<std::string> paths;
    {
        std::lock_guard guard(mutex_);
        paths.swap(paths_);
    }
    for (const std::string& path : paths)
        std::remove(path.c_str());
}

std::vector<std::string> SampleDragFiles::paths() const {
    std::lock_guard guard(mutex_);
    return paths_;
}

} // namespace trov
