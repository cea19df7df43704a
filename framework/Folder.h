#pragma once

#include <string>
#include <vector>

namespace trov {

class File;
class NativeWindow;

// True when the text does not begin with a separator ("/" or "\") and has no ":" as its second character.
bool isRelativePath(const std::string& text);

// A folder path held as its components (none empty) and a relative flag. Paths are written with "/";
// "\" is also accepted as a separator when a text is split, since old documents hold Windows paths.
// Plain value; any thread, one object per thread.
class Folder {
public:
    Folder();
    explicit Folder(const std::string& path);
    Folder(const Folder&);
    Folder& operator=(const Folder&);
    virtual ~Folder();

    virtual bool browse(const std::string& title, const NativeWindow* owner = nullptr);
    virtual bool create() const;
    virtual int listFolders(std::vector<Folder>& out) const;
    virtual int listFiles(std::vector<File>& out) const;

    void setPath(const std::string& path);
    std::string getPath() const;
    std::string getName() const;
    Folder getParent() const;
    Folder getTail(std::size_t n) const;
    Folder append(const Folder& other);
    Folder operator+(const Folder& other) const;
    File operator+(const File& file) const;
    bool operator==(const Folder& other) const;
    bool operator!=(const Folder& other) const { return !(*this == other); }

    bool exists() const;
    bool isRelative() const { return relative_; }
    bool isEmpty() const { return components_.empty(); }
    const std::vector<std::string>& getComponents() const { return components_; }

    static Folder getCurrent();
    bool setCurrent() const;

private:
    std::vector<std::string> components_;
    bool relative_ = true;
};

// Standard folders: 1 the application-data folder, 2 the user's documents folder, each followed by the
// maker's and the product's name; empty when the platform cannot name it; any other kind gives "/tmp".
Folder getStandardFolder(int kind);

} // namespace trov
