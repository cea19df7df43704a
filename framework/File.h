#pragma once

#include "framework/Folder.h"
#include "framework/IOStream.h"

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace trov {

class NativeWindow;

// One entry of an open or save dialog's filter list: a description and extensions without dots.
struct FileFilter {
    std::string description;
    std::vector<std::string> extensions;
};
using FileFilterList = std::vector<FileFilter>;

// A file name and, while open, its stream. Copies take folder and name, never the stream.
// Any thread; one object is used by one thread at a time. Dialogs run on the user-interface thread.
class File : public IOStream {
public:
    File();
    explicit File(const std::string& path);
    File(const char* path);
    File(const File& other);
    File(const Folder& folder, const File& file);
    File& operator=(const File& other);
    ~File() override;

    virtual bool exists() const;
    // Whether the path names a regular file (after following links). Only such files are opened for
    // reading: opening a named pipe waits for a writer, and a device may never end.
    bool isRegularFile() const;
    // How a refusal names a path that exists but is no regular file.
    static constexpr const char* kNotRegularText = "not a regular file (a folder, a pipe or a device)";
    virtual void setPath(const std::string& path);
    virtual std::string getPath() const;
    virtual bool folderIsPrefixOf(const Folder& folder) const;
    virtual int openDialog(const std::string& title, const FileFilterList& filters, const File& initial,
                           const NativeWindow* owner = nullptr);
    virtual int saveDialog(const std::string& title, const FileFilterList& filters, const File& initial,
                           int flags, const NativeWindow* owner = nullptr);
    virtual std::string getName() const;
    virtual void setName(const std::string& name);
    virtual std::string getBaseName() const;
    virtual void setBaseName(const std::string& base);
    virtual std::string getExtension() const;
    virtual void setExtension(const std::string& extension);
    virtual void makeUnique(const std::string& pattern);
    virtual bool create() const;
    virtual std::int64_t getModificationTime() const;
    virtual std::int64_t getSize() const;
    virtual std::string getSizeText() const;
    // False, opening nothing, for a path that names no regular file (see isRegularFile); open also for a
    // path that exists as something else.
    virtual bool openRead();
    virtual bool open(bool readOnly);
    virtual bool close();
    virtual bool isOpen() const;
    virtual bool seek(std::int64_t position);
    virtual std::int64_t tell() const;
    bool read(void* data, std::size_t size, bool flag) override;

    const Folder& getFolder() const { return folder_; }
    void setFolder(const Folder& folder) { folder_ = folder; }
    File nameOnly() const;
    bool operator==(const File& other) const;
    bool operator!=(const File& other) const { return !(*this == other); }
    // The open stream, or null.
    std::fstream* getStream() const { return stream_.get(); }

private:
    Folder folder_;
    std::string name_;
    std::unique_ptr<std::fstream> stream_;
};

// The dialog flag that asks before an existing file is overwritten.
constexpr int kAskBeforeOverwrite = 2;

// A new empty file in the temporary folder named after the product, with the given extension.
File makeTemporaryFile(const std::string& extension);

} // namespace trov
