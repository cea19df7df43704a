#pragma once

#include <string>

namespace trov {

class Control;
class Dictionary;
class Editor;
class Parameter;

// The control factory: turns one node of the editor specification into one control of the class that its
// type name ("class") and the type of the parameter it names ("parameter", with "index" for its instance)
// call for, tied to that parameter. A product's factory derives from it, answers its own type names in
// `createControl` and hands the others to this one, which builds the library's (`controlTypes`).
//
// Made with its editor by the product descriptor and deleted by the editor; it keeps nothing between
// calls. User-interface thread, while the editor builds its controls.
class ControlManager {
public:
    explicit ControlManager(Editor* owner) : owner_(owner) {}
    ControlManager(const ControlManager&) = delete;
    ControlManager& operator=(const ControlManager&) = delete;
    virtual ~ControlManager() = default;

    // A new control for the type name and the parameter (null for none), made for the factory's own
    // editor; null when the name gives none. The editor argument is what a derived factory may use.
    virtual Control* createControl(const Dictionary& node, const std::string& type, Parameter* parameter,
                                   Editor* editor) const;
    // The node's control, tied to its parameter and owned by the caller; null when the node names no type.
    // Throws ErrorNoSuchControlType when no control results for the type name and parameter.
    Control* createFromDictionary(const Dictionary& node) const;

    Editor* getOwner() const { return owner_; }

private:
    Editor* owner_;
};

} // namespace trov
