#pragma once

#include <string>

namespace trov::platform {

// A log file that several processes may write at once: every line goes out in one write at the file's
// end (append mode), so lines of two processes interleave whole and never overwrite each other. The first
// process to open the file starts it afresh; one opening it while another holds it open appends to what
// is there. Not copyable; one owner, which serialises its own calls.
class LogFile {
public:
    LogFile() = default;
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;
    ~LogFile();

    // False when the file cannot be opened, with errno telling why; lines are then dropped.
    bool open(const std::string& path);
    bool isOpen() const { return descriptor_ >= 0; }
    // Writes the text as it is, in one piece. False when it could not all be written (a full disk, the
    // file-size limit), with errno telling why; true when the file is not open.
    bool write(const std::string& text);
    void close();

private:
    int descriptor_ = -1;
};

} // namespace trov::platform
