#pragma once

#include "gui/controls/Control.h"

#include <memory>
#include <string>

namespace trov {

class ControlContainer;

// The about screen ("About", the editor's "special::about"): the product's name, version and copyright
// over a panel (its node's "trigger") that a click on the panel's place shows and hides. Each paint raises
// its opacity by 0.02, so it fades in from the transparency its node gives it.
//
// Owned by its parent control; it owns its trigger panel, which is not one of its children. User-interface
// thread.
class ControlAboutScreen : public Control {
public:
    static constexpr float kFadeStep = 0.02f;

    ControlAboutScreen(Editor* editor, const Rect& bounds);
    ~ControlAboutScreen() override;

    // Window messages only: a press on the trigger's place toggles it; the pointer entering is taken.
    bool receive(const Message& message) override;
    // The control's keys, then the nested "trigger" panel.
    bool fromDictionary(const Dictionary& spec) override;
    void paint(Canvas& canvas, const Rect& area) override;

    const std::string& getText() const { return text_; }
    ControlContainer* getTrigger() const { return trigger_.get(); }

private:
    std::unique_ptr<ControlContainer> trigger_;
    std::string text_;
};

} // namespace trov
