#pragma once

#include "gui/controls/ControlEnum.h"

#include <memory>

namespace trov {

class PopupMenu;

// An enumeration popup ("PopupMenu"): a click opens a menu of every entry (label and unit), drawn by the
// control itself; with the live flag (the default) the parameter follows the highlight while the menu is
// open, else only the final choice changes it. The control shows the selected entry's label and unit,
// over frame 1 of its background skin for any entry but the first. A click on an unbound popup only
// redraws it.
//
// Owned by its parent control; user-interface thread (the menu's measuring and drawing arrive there as
// window messages 3016 and 3017 while it is open; a notification of the parameter may arrive on any
// thread and only records the redraw).
template <class T> class ControlEnumPopupMenu : public ControlEnum<T> {
public:
    ControlEnumPopupMenu(Editor* editor, const Rect& bounds);
    ~ControlEnumPopupMenu() override;

    bool receive(const Message& message) override;
    void paint(Canvas& canvas, const Rect& area) override;

private:
    bool openMenu(const WindowMessage& message);
    void measureItem(MessageWord extra);
    void drawItem(MessageWord extra);

    std::unique_ptr<PopupMenu> menu_; // rebuilt at every opening
};

extern template class ControlEnumPopupMenu<std::string>;
extern template class ControlEnumPopupMenu<long>;
extern template class ControlEnumPopupMenu<float>;

} // namespace trov
