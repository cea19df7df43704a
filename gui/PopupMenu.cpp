#include "gui/PopupMenu.h"

#include "framework/NativeWindow.h"
#include "platform/WindowSystem.h"
#include "platform/draw/NativeMenu.h"

namespace trov {

namespace menu = platform::draw;

namespace {

unsigned appendFlags(std::int32_t flags) {
    unsigned native = 0;
    if ((flags & PopupMenuItem::kChecked) != 0)
        native |= menu::kMenuChecked;
    if ((flags & PopupMenuItem::kDisabled) != 0)
        native |= menu::kMenuGrayed | menu::kMenuDisabled;
    if ((flags & PopupMenuItem::kGreyed) != 0)
        native |= menu::kMenuGrayed;
    if ((flags & PopupMenuItem::kOwnerDrawn) != 0)
        native |= menu::kMenuOwnerDraw;
    return native;
}

unsigned stateOf(std::int32_t flags) {
    unsigned state = 0;
    if ((flags & PopupMenuItem::kChecked) != 0)
        state |= menu::kMenuChecked;
    if ((flags & (PopupMenuItem::kDisabled | PopupMenuItem::kGreyed)) != 0)
        state |= menu::kMenuGrayed | menu::kMenuDisabled;
    return state;
}

} // namespace

PopupMenu::PopupMenu(std::int32_t base) : PopupMenu(base, nullptr) {}

PopupMenu::PopupMenu(std::int32_t base, PopupMenu* root)
    : root_(root != nullptr ? root : this), lastCommand_(base), menu_(menu::createPopupMenu()) {}

PopupMenu::~PopupMenu() {
    // The native submenus go with the native menu that holds them; the objects first.
    submenus_.clear();
    menu::destroyMenu(menu_);
}

void PopupMenu::addItem(const PopupMenuItem& item) {
    PopupMenuItem copy = item;
    copy.command = nextCommand();
    menu::appendMenu(menu_, appendFlags(copy.flags), static_cast<std::uintptr_t>(copy.command), copy.text);
    // A checked item shows a bullet; an owner-drawn one carries its value for its owner.
    menu::MenuItemInfo info;
    info.mask = menu::kMenuInfoType;
    if (menu::getMenuItemInfo(menu_, static_cast<unsigned>(copy.command), false, info)) {
        info.type |= menu::kMenuTypeRadioCheck;
        if ((copy.flags & PopupMenuItem::kOwnerDrawn) != 0) {
            info.mask |= menu::kMenuInfoData;
            info.data = static_cast<std::uint32_t>(copy.value);
        }
        menu::setMenuItemInfo(menu_, static_cast<unsigned>(copy.command), false, info);
    }
    items_.push_back(std::move(copy));
}

PopupMenu* PopupMenu::addSubmenu(const PopupMenuItem& item) {
    submenus_.push_back(std::unique_ptr<PopupMenu>(new PopupMenu(0, root_)));
    PopupMenu* submenu = submenus_.back().get();
    unsigned flags = menu::kMenuPopup;
    if ((item.flags & PopupMenuItem::kChecked) != 0)
        flags |= menu::kMenuChecked;
    if ((item.flags & PopupMenuItem::kDisabled) != 0)
        flags |= menu::kMenuGrayed | menu::kMenuDisabled;
    if (!menu::appendMenu(menu_, flags, submenu->menu_, item.text))
        return nullptr;
    return submenu;
}

void PopupMenu::addSeparator() {
    menu::appendMenu(menu_, menu::kMenuSeparator, 0, std::string());
}

PopupMenu* PopupMenu::findMenu(const PopupMenuItem& key) {
    for (const PopupMenuItem& item : items_)
        if (item.matches(key))
            return this;
    for (const auto& submenu : submenus_)
        if (PopupMenu* found = submenu->findMenu(key))
            return found;
    return nullptr;
}

PopupMenu* PopupMenu::findMenuByCommand(std::int32_t command) {
    for (const PopupMenuItem& item : items_)
        if (item.command == command)
            return this;
    for (const auto& submenu : submenus_)
        if (PopupMenu* found = submenu->findMenuByCommand(command))
            return found;
    return nullptr;
}

PopupMenuItem* PopupMenu::findItem(const PopupMenuItem& key) {
    PopupMenu* holder = findMenu(key);
    if (holder == nullptr)
        return nullptr;
    for (PopupMenuItem& item : holder->items_)
        if (item.matches(key))
            return &item;
    return nullptr;
}

PopupMenuItem* PopupMenu::findItemByCommand(std::int32_t command) {
    PopupMenu* holder = findMenuByCommand(command);
    if (holder == nullptr)
        return nullptr;
    for (PopupMenuItem& item : holder->items_)
        if (item.command == command)
            return &item;
    return nullptr;
}

void PopupMenu::applyState(const PopupMenuItem& item) {
    menu::MenuItemInfo info;
    info.mask = menu::kMenuInfoState;
    info.state = stateOf(item.flags);
    menu::setMenuItemInfo(root_->menu_, static_cast<unsigned>(item.command), false, info);
}

void PopupMenu::setItemFlags(const PopupMenuItem& key, std::int32_t flags) {
    PopupMenuItem* item = findItem(key);
    if (item == nullptr)
        return;
    item->flags = flags;
    applyState(*item);
}

void PopupMenu::clearItemFlags(const PopupMenuItem& key, std::int32_t flags) {
    PopupMenuItem* item = findItem(key);
    if (item == nullptr)
        return;
    item->flags &= ~flags;
    applyState(*item);
}

void PopupMenu::clearAll(std::int32_t flags) {
    for (const PopupMenuItem& item : std::vector<PopupMenuItem>(items_))
        clearItemFlags(item, flags);
}

const PopupMenuItem* PopupMenu::track(const NativeWindow* window, const Point& point, bool exclusive) {
    const platform::WindowHandle handle = handleOf(window);
    const platform::NativePoint screen =
        platform::WindowSystem::instance().clientToScreen(handle, {point.x, point.y});
    const auto command = static_cast<std::int32_t>(menu::trackPopupMenu(
        menu_, menu::kTrackReturnCommand | menu::kTrackNoNotify, screen.x, screen.y, handle));
    if (command <= 0)
        return nullptr;
    PopupMenu* holder = findMenuByCommand(command);
    PopupMenuItem* item = findItemByCommand(command);
    if (item == nullptr)
        return nullptr;
    if (exclusive && (item->flags & PopupMenuItem::kExclusive) != 0) {
        holder->clearAll(PopupMenuItem::kChecked);
        // The chosen item itself, even where an earlier item shares its key; its other bits go.
        item->flags = PopupMenuItem::kChecked;
        applyState(*item);
    }
    return item;
}

} // namespace trov
