#pragma once

#include <memory>

namespace trov {

class Dictionary;
class Module;
class Parameter;

// The parameter factory of one settings tree: builds a parameter of the right kind from a specification
// item by its "class" and "type", and copies parameters by their kind when a tree is copied for another
// module. Products may derive their own. Threads: user-interface thread.
class ParameterManager {
public:
    explicit ParameterManager(const Module* owner);
    ParameterManager(const ParameterManager&) = delete;
    ParameterManager& operator=(const ParameterManager&) = delete;
    virtual ~ParameterManager();

    // Null for a class it does not know (logged); throws ErrorNoSuchParameterType for a known class with a
    // type that class does not have. The item's remaining keys are read by the parameter's own read.
    virtual std::unique_ptr<Parameter> createFromDictionary(const Dictionary& item);
    // A copy of the same kind with every field and the source's listeners; throws
    // ErrorNoSuchParameterType for a kind it cannot copy.
    virtual std::unique_ptr<Parameter> createCopy(const Parameter& parameter);

    const Module* getOwner() const { return owner_; }

private:
    const Module* owner_;
};

} // namespace trov
