#include "gui/controls/ControlAboutScreen.h"

#include "framework/Dictionary.h"
#include "gui/Canvas.h"
#include "gui/Editor.h"
#include "gui/controls/ControlContainer.h"
#include "plugin/PluginInfo.h"

namespace trov {

ControlAboutScreen::ControlAboutScreen(Editor* editor, const Rect& bounds) : Control(editor, bounds) {
    if (const PluginInfo* info = getPluginInfo())
        text_ = info->getName() + " " + info->getVersionString() + "\n" + info->getCopyright() + "\n";
    setZOrder(0);
}

ControlAboutScreen::~ControlAboutScreen() = default;

bool ControlAboutScreen::fromDictionary(const Dictionary& spec) {
    Control::fromDictionary(spec);
    if (const Dictionary::View trigger = spec.getDictionary("trigger")) {
        trigger_ = std::make_unique<ControlContainer>(getOwnerEditor(), Rect());
        trigger_->fromDictionary(*trigger);
    }
    return true;
}

bool ControlAboutScreen::receive(const Message& message) {
    const auto* window = dynamic_cast<const WindowMessage*>(&message);
    if (window == nullptr)
        return false;
    if (window->code == 3012)
        return true;
    if ((window->code != 3000 && window->code != 3003) || trigger_ == nullptr ||
        !trigger_->hitTest(window->where))
        return false;
    const bool show = trigger_->testFlags(kVisible) == 0;
    show ? trigger_->setFlags(kVisible) : trigger_->clearFlags(kVisible);
    trigger_->setNeedsRedraw(true);
    if (Editor* editor = getOwnerEditor(); editor != nullptr && show)
        editor->addDirtyRect(trigger_->getAbsoluteRect());
    return true;
}

void ControlAboutScreen::paint(Canvas& canvas, const Rect& /*area*/) {
    const float opacity = getTransparency() + kFadeStep;
    setTransparency(opacity);
    if (trigger_ != nullptr)
        if (const Editor* editor = getOwnerEditor())
            trigger_->draw(canvas, editor->getSize());
    canvas.setTextColor(colorBlack);
    canvas.drawText(text_, getLocalRect(), 0);
    // The next paint is asked for whatever is queued already: the fade goes on until it is opaque.
    if (opacity <= 1.0f)
        requestRedraw(true);
}

} // namespace trov
