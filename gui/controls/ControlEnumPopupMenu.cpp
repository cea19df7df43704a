#include "gui/controls/ControlEnumPopupMenu.h"

#include "gui/Bitmap.h"
#include "gui/Canvas.h"
#include "gui/Editor.h"
#include "gui/PopupMenu.h"
#include "platform/draw/NativeMenu.h"
#include "plugin/ParameterEnum.h"
#include "plugin/PluginInfo.h"

#include <algorithm>
#include <climits>

namespace trov {

namespace {

const Color kHighlight(255, 190, 50, 255);
const Color kItemBackground(220, 220, 220, 255);
constexpr int kTextFont = 5;
constexpr int kCentred = Font::kAlignCenter | Font::kAlignMiddle;

unsigned clampedExtent(std::int32_t v) {
    return static_cast<unsigned>(std::clamp(v, 0, INT_MAX));
}

} // namespace

template <class T>
ControlEnumPopupMenu<T>::ControlEnumPopupMenu(Editor* editor, const Rect& bounds)
    : ControlEnum<T>(editor, bounds) {}

template <class T> ControlEnumPopupMenu<T>::~ControlEnumPopupMenu() = default;

template <class T> bool ControlEnumPopupMenu<T>::receive(const Message& message) {
    const auto* window = dynamic_cast<const WindowMessage*>(&message);
    if (window == nullptr)
        return this->passOn(message);
    switch (window->code) {
    case 3000:
    case 3003:
        return openMenu(*window);
    case 3002:
    case 3005:
        return true;
    case 3016:
        measureItem(window->extra);
        return true;
    case 3017:
        drawItem(window->extra);
        return true;
    default:
        return this->passOn(message);
    }
}

template <class T> bool ControlEnumPopupMenu<T>::openMenu(const WindowMessage& message) {
    ParameterEnum<T>* choice = this->getEnum();
    Editor* editor = this->getOwnerEditor();
    Window* window = editor != nullptr ? editor->getEditorWindow() : nullptr;
    if (choice == nullptr || window == nullptr) {
        this->requestRedraw(true);
        return true;
    }
    menu_ = std::make_unique<PopupMenu>(1);
    for (std::uint32_t i = 0; i < choice->getCount(); ++i)
        menu_->addItem(PopupMenuItem(pointerToWord(this), static_cast<std::int32_t>(i), this->entryText(i),
                                     PopupMenuItem::kOwnerDrawn));
    const Point corner = this->getAbsoluteRect().getTopLeft();
    if (const PopupMenuItem* chosen = menu_->track(window, corner, false)) {
        choice->select(static_cast<std::uint32_t>(chosen->value), Sender::kEditor);
        this->requestRedraw(true);
    }
    // The menu's loop took the real button-up: the editor still hears of it, at the press's place.
    const std::int32_t up = message.code == 3003 ? 3005 : 3002;
    editor->receive(WindowMessage(this, up, 0, message.where + corner, 0));
    return true;
}

template <class T> void ControlEnumPopupMenu<T>::measureItem(MessageWord extra) {
    auto* measure = wordToPointer<platform::draw::MenuItemMeasure>(extra);
    const Editor* editor = this->getOwnerEditor();
    if (measure == nullptr || editor == nullptr)
        return;
    Canvas canvas(editor->getEditorWindow(), nullptr);
    const Rect size = canvas.measureText(this->entryText(static_cast<std::uint32_t>(measure->itemData)));
    measure->itemWidth = clampedExtent(size.getWidth());
    measure->itemHeight = clampedExtent(size.getHeight());
}

template <class T> void ControlEnumPopupMenu<T>::drawItem(MessageWord extra) {
    const auto* item = wordToPointer<const platform::draw::MenuItemDraw>(extra);
    const Editor* editor = this->getOwnerEditor();
    if (item == nullptr || editor == nullptr)
        return;
    const auto index = static_cast<std::uint32_t>(item->itemData);
    const Rect r(Point(item->itemRect.left, item->itemRect.top),
                 Point(item->itemRect.right, item->itemRect.bottom));
    Canvas canvas(editor->getEditorWindow(), item->context);
    canvas.begin(r, false);
    if ((item->itemState & platform::draw::kMenuDrawSelected) != 0) {
        canvas.setBrushColor(kHighlight);
        // The parameter follows the highlight while the menu is open.
        if (ParameterEnum<T>* choice = this->getEnum();
            choice != nullptr && this->testFlags(Control::kLive) != 0)
            choice->select(index, Sender::kEditor);
    } else {
        canvas.setBrushColor(kItemBackground);
    }
    canvas.setTextColor(colorBlack);
    canvas.fillRect(r);
    canvas.drawText(this->entryText(index), r, 0);
    canvas.end();
}

template <class T> void ControlEnumPopupMenu<T>::paint(Canvas& canvas, const Rect& /*area*/) {
    const ParameterEnum<T>* choice = this->getEnum();
    if (choice == nullptr)
        return;
    const Rect local = this->getLocalRect();
    if (Bitmap* background = this->getBackgroundBitmap();
        background != nullptr && background->getFrameCount() > 1)
        canvas.drawBitmap(background, background->getFrame(choice->getSelected() != 0 ? 1 : 0), local);
    if (const PluginInfo* info = getPluginInfo())
        if (const Font* font = info->getFont(kTextFont))
            canvas.setFont(*font);
    canvas.setTextColor(colorBlack);
    canvas.drawText(this->entryText(choice->getSelected()), local, kCentred);
}

template class ControlEnumPopupMenu<std::string>;
template class ControlEnumPopupMenu<long>;
template class ControlEnumPopupMenu<float>;

} // namespace trov
