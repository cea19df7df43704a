#pragma once

#include "framework/Dictionary.h"
#include "framework/Error.h"
#include "framework/Radio.h"
#include "framework/SharedObject.h"
#include "plugin/SettingsSection.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace trov {

class File;
class Parameter;
class ParameterManager;
class ParameterScheduler;

// The parameter tree of a plug-in instance and of each of its modules, built from the plug-in
// specification: every parameter in specification order with the automatable ones first, look-up by
// name and instance, a tree of named sections, typed access by name, and the saving and loading of the
// values of one scope through a document. A module works on a copy: zone- and module-scope parameters
// are cloned per copy, program- and plug-in-scope parameters are the same objects in every copy and are
// deleted with the last tree that holds them. A tree registers itself as its owner module's settings.
// Threads: built, copied, saved and loaded on the user-interface thread. Typed getters and look-ups
// allocate nothing and may be called from the audio thread while values change; parameter messages
// arrive on the sender's thread.
class Settings : public Radio, public SharedObject {
public:
    explicit Settings(const Module* owner = nullptr);
    Settings(const Settings& other);
    Settings& operator=(const Settings&) = delete;
    ~Settings() override;

    // Builds the tree from the specification file. An unreadable file, an unknown scope or parameter
    // type is returned as the error, and the tree keeps what it had.
    Error load(const File& file);
    // The same from a specification document already read.
    Error load(const Dictionary& specification);
    // Takes the parameters of another tree: clones of its zone- and module-scope parameters, its program-
    // and plug-in-scope parameters themselves.
    Error copyParameters(const Settings& source);

    int getParameterCount() const { return static_cast<int>(parameters_.size()); }
    // Null out of range.
    Parameter* getParameterAt(int position) const;
    // The instance-th parameter of that name, or null.
    Parameter* getParameter(std::string_view name, int instance = 0) const;
    int getAutomatableCount() const { return automatableCount_; }
    // The position among the automatable parameters, or -1 when the parameter is not automatable.
    int getAutomatableIndex(std::string_view name, int instance = 0) const;

    // Typed access to instance 0 by name; neutral results and no change for a missing name or a
    // parameter of another kind.
    float getNormalizedValue(std::string_view name) const;
    void setNormalizedValue(std::string_view name, float value, int sender);
    float getFloat(std::string_view name) const;
    void setFloat(std::string_view name, float value, int sender);
    bool getBool(std::string_view name) const;
    void setBool(std::string_view name, bool value, int sender);
    std::int32_t getLong(std::string_view name) const;
    void setLong(std::string_view name, std::int32_t value, int sender);
    std::string getString(std::string_view name) const;
    void setString(std::string_view name, const std::string& text, int sender);
    // Whether stepped parameters report their steps to the host.
    bool getStepParameters() const { return stepParameters_.load(std::memory_order_relaxed); }
    void setStepParameters(bool stepped) { stepParameters_.store(stepped, std::memory_order_relaxed); }

    // Adds "parameters" to the dictionary with every exported parameter of that scope.
    void saveParameters(Dictionary& dictionary, std::int32_t scope) const;
    // Writes every exported parameter of that scope into the values (a "parameters" child), replacing the
    // items they hold of those parameters.
    void writeParameters(Dictionary& values, std::int32_t scope) const;
    // Restores the parameters of that scope named in the dictionary's "parameters"; other items are
    // skipped.
    void loadParameters(const Dictionary& dictionary, std::int32_t scope);

    // Gives every parameter this tree's owner and initialises it (persistent values are restored).
    void init() override;
    // Lets every parameter store what it keeps beyond the tree (persistent values).
    void exit() override;
    void setOwner(const Module* owner) override;
    // A parameter message sets the named parameter of this tree from its normalised value.
    bool receive(const Message& message) override;
    // Resets every zone- and module-scope parameter to its default.
    virtual void resetModuleParameters();

    const SettingsSection& getRootSection() const { return *root_; }
    ParameterManager& getParameterManager() const { return *manager_; }
    ParameterScheduler& getScheduler() const { return *scheduler_; }
    const Dictionary& getSpecification() const { return specification_; }

protected:
    using ParameterList = std::vector<std::shared_ptr<Parameter>>;
    void build(const Dictionary& node, SettingsSection& section, ParameterList& out, int instance);

private:
    template <class Kind> Kind* find(std::string_view name) const;
    void indexParameters();
    // Counts one more section instance or parameter of the specification being built; throws when there
    // are more than any product has.
    void spendBudget();

    std::unique_ptr<ParameterManager> manager_;
    std::unique_ptr<ParameterScheduler> scheduler_;
    ParameterList parameters_;
    int automatableCount_ = 0;
    std::multimap<std::string, int, std::less<>> positions_;
    std::unique_ptr<SettingsSection> root_;
    Dictionary specification_;
    std::atomic<bool> stepParameters_{true};
    int buildBudget_ = 0;
};

} // namespace trov
