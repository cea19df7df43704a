#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace trov {

// The temporary WAV files that sample drags wrote for the host or the desktop to take. A drop target may
// read a dropped file after the drag has ended, so each is kept until the module unloads (or the process
// ends), when the one list goes and removes them all.
//
// One per process. Any thread.
class SampleDragFiles {
public:
    static SampleDragFiles& instance();
    ~SampleDragFiles() { removeAll(); }
    SampleDragFiles(const SampleDragFiles&) = delete;
    SampleDragFiles& operator=(const SampleDragFiles&) = delete;

    void add(const std::string& path);
    // Deletes every file added so far (those already gone are skipped).
    void removeAll();
    std::vector<std::string> paths() const;

private:
    SampleDragFiles() = default;

    mutable std::mutex mutex_;
    std::vector<std::string> paths_;
};

} // namespace trov
