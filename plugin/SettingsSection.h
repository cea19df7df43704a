#pragma once

#include <memory>
#include <string>
#include <vector>

namespace trov {

// One instance of a named section of a settings tree: its subsections in specification order and the
// names of the automatable parameters declared directly in it. The host binding groups its controls by
// these. Owned by its parent; copies are deep. Threads: user-interface thread.
class SettingsSection {
public:
    explicit SettingsSection(std::string name = std::string());
    SettingsSection(const SettingsSection& other);
    SettingsSection& operator=(const SettingsSection&) = delete;
    ~SettingsSection();

    const std::string& getName() const { return name_; }
    int getSubsectionCount() const { return static_cast<int>(subsections_.size()); }
    // Null out of range.
    const SettingsSection* getSubsection(int index) const;
    const std::vector<std::string>& getAutomatableNames() const { return automatableNames_; }
    // Neither subsections nor automatable names.
    bool isEmpty() const { return subsections_.empty() && automatableNames_.empty(); }

    void addSubsection(std::unique_ptr<SettingsSection> section);
    void addAutomatableName(const std::string& name) { automatableNames_.push_back(name); }

private:
    std::string name_;
    std::vector<std::unique_ptr<SettingsSection>> subsections_;
    std::vector<std::string> automatableNames_;
};

} // namespace trov
