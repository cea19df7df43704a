// MIDI learn from a control: the context-menu items over the plug-in's controller mapper, the commands
// they carry, and the controller line of the tooltip.
#include "gui/controls/Control.h"

#include "gui/Editor.h"
#include "gui/PopupMenu.h"
#include "gui/controls/MidiNames.h"
#include "instance/Plugin.h"
#include "plugin/MidiMapper.h"
#include "plugin/ParameterValue.h"

namespace trov {

namespace {

// A float or integer value parameter whose range runs from below zero to above it: its controller can
// drive either half.
bool spansZero(const Parameter& parameter) {
    const auto straddles = [](const auto* value) { return value->getMin() < 0 && value->getMax() > 0; };
    if (const auto* real = dynamic_cast<const ParameterValue<float>*>(&parameter))
        return straddles(real);
    const auto* integer = dynamic_cast<const ParameterValue<long>*>(&parameter);
    return integer != nullptr && straddles(integer);
}

MidiMapper<Parameter*>* pluginMapper(const Editor* editor) {
    const Plugin* plugin = editor != nullptr ? editor->getPlugin() : nullptr;
    return plugin != nullptr ? plugin->getMidiMapper() : nullptr;
}

constexpr std::int32_t kUnchecked = PopupMenuItem::kExclusive;

} // namespace

void Control::showContextMenu(PopupMenu& menu, const Point& where) {
    const Parameter* parameter = getParameter();
    if (parameter != nullptr && parameter->testFlags(Parameter::kAutomatable) != 0 && testFlags(kLearn) != 0)
        addMidiItems(menu);
    // The parent is given the point in its own coordinates.
    if (parent_ != nullptr)
        parent_->showContextMenu(menu, where + getRect().getTopLeft());
}

void Control::addMidiItems(PopupMenu& menu) {
    Parameter* parameter = getParameter();
    const MidiMapper<Parameter*>* mapper = pluginMapper(editor_);
    const int controller = mapper != nullptr ? mapper->getController(parameter) : -1;
    const bool assigned = controller != -1;
    const auto owner = pointerToWord(this);
    using Item = PopupMenuItem;
    menu.addItem(Item(owner, kMenuLearn, "Learn...", 0));
    if (assigned)
        menu.addItem(Item(owner, kMenuForget, "Forget (" + getControllerName(controller) + ")", 0));
    else
        menu.addItem(Item(owner, kMenuForget, "Forget", Item::kDisabled));
    if (PopupMenu* controllers = menu.addSubmenu(Item(owner, kMenuControllers, "MIDI Controllers", 0)))
        for (int n = 0; n < kControllerCount; ++n)
            if (const std::string name = getControllerName(n); !name.empty())
                controllers->addItem(Item(owner, kMenuFirstController + n, name,
                                          n == controller ? Item::kChecked : kUnchecked));
    if (PopupMenu* range =
            menu.addSubmenu(Item(owner, kMenuRange, "MIDI Range", assigned ? 0 : Item::kDisabled))) {
        if (spansZero(*parameter)) {
            const int mode =
                mapper != nullptr ? mapper->getRange(controller) : MidiMapper<Parameter*>::kRangeFull;
            const std::pair<std::int32_t, const char*> modes[] = {
                {kMenuPositive, "Positive"}, {kMenuFull, "Full"}, {kMenuNegative, "Negative"}};
            for (const auto& [command, text] : modes)
                range->addItem(Item(owner, command, text,
                                    mode == command - kMenuPositive ? Item::kChecked : kUnchecked));
            range->addSeparator();
        }
        const bool inverted = mapper != nullptr && mapper->getInvert(controller) == 1;
        range->addItem(Item(owner, kMenuInvert, "Invert", inverted ? Item::kChecked : 0));
    }
    menu.addSeparator();
}

bool Control::runMenuCommand(std::int32_t command) {
    MidiMapper<Parameter*>* mapper = pluginMapper(editor_);
    Parameter* parameter = getParameter();
    if (mapper == nullptr || parameter == nullptr)
        return true;
    const int controller = mapper->getController(parameter);
    // Commands on the assigned controller do nothing while there is none (their items are greyed).
    const bool assigned = controller != -1;
    switch (command) {
    case kMenuLearn:
        mapper->learn(parameter, label_);
        break;
    case kMenuForget:
        if (assigned)
            mapper->assign(controller, nullptr);
        break;
    case kMenuPositive:
    case kMenuFull:
    case kMenuNegative:
        if (assigned)
            mapper->setRange(controller, command - kMenuPositive);
        break;
    case kMenuInvert:
        if (assigned)
            mapper->setInvert(controller, mapper->getInvert(controller) == 1 ? 0 : 1);
        break;
    default:
        if (command >= kMenuFirstController && command < kMenuFirstController + kControllerCount)
            mapper->assign(command - kMenuFirstController, parameter);
        break;
    }
    return true;
}

std::string Control::getTooltip() const {
    const Parameter* parameter = getParameter();
    const MidiMapper<Parameter*>* mapper = pluginMapper(editor_);
    if (parameter == nullptr || testFlags(kLearn) == 0 || mapper == nullptr)
        return tooltip_;
    const int controller = mapper->getController(parameter);
    return controller == -1 ? tooltip_ : tooltip_ + "\r\nMIDI Remote: " + getControllerName(controller);
}

} // namespace trov
