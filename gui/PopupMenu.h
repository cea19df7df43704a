#pragma once

#include "framework/EditorServices.h"
#include "framework/Point.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace trov {

class NativeWindow;

// One entry of a popup menu. Its key is (owner, value), chosen by its creator, so that the creator knows
// the answer without knowing command numbers; two items match when both words are equal. Plain value.
struct PopupMenuItem {
    static constexpr std::int32_t kChecked = 1;
    static constexpr std::int32_t kDisabled = 2;
    static constexpr std::int32_t kGreyed = 4;
    static constexpr std::int32_t kExclusive = 256; // member of a group of which one is checked
    // Measured and drawn by the window's owner (window messages 3016 and 3017), which finds the item by
    // the value it carries as its data word.
    static constexpr std::int32_t kOwnerDrawn = 0x1000;

    PopupMenuItem(std::uintptr_t owner, std::int32_t value, std::string text, std::int32_t flags)
        : owner(owner), value(value), text(std::move(text)), flags(flags) {}
    bool matches(const PopupMenuItem& key) const { return owner == key.owner && value == key.value; }

    std::uintptr_t owner;
    std::int32_t value;
    std::string text;
    std::int32_t flags;
    std::string secondText;
    std::int32_t command = 0; // given when the item is added
};

// A native context menu built from items and nested submenus, shown at a point of a window, answering the
// chosen item. Commands are numbered from the root menu's base + 1 in the order items are added to any of
// its menus, so each command of one root menu names one item however deep the submenus go. Searches go
// depth first: a menu's own items in order, then each submenu in order; the first match wins.
// Built, tracked and deleted on the user-interface thread; deleting a menu deletes its submenus.
class PopupMenu : public PopupMenuInterface {
public:
    explicit PopupMenu(std::int32_t base = 0);
    ~PopupMenu() override;
    PopupMenu(const PopupMenu&) = delete;
    PopupMenu& operator=(const PopupMenu&) = delete;

    void addItem(const PopupMenuItem& item);
    // The submenu to fill, or null when it cannot be appended (it then stays owned by this menu).
    PopupMenu* addSubmenu(const PopupMenuItem& item);
    void addSeparator();

    PopupMenu* findMenu(const PopupMenuItem& key);
    PopupMenu* findMenuByCommand(std::int32_t command);
    PopupMenuItem* findItem(const PopupMenuItem& key);
    PopupMenuItem* findItemByCommand(std::int32_t command);

    // The item's flags become flags, its native state checked and disabled to match; no such item: nothing.
    void setItemFlags(const PopupMenuItem& key, std::int32_t flags);
    void clearItemFlags(const PopupMenuItem& key, std::int32_t flags);
    // clearItemFlags for each item of this menu (not of its submenus).
    void clearAll(std::int32_t flags);

    // Shows the menu at a point of the window's client area until the user chooses or dismisses it. The
    // chosen item (valid while the menu lives) or null. With exclusive, choosing a group member checks it
    // alone among its menu's items.
    const PopupMenuItem* track(const NativeWindow* window, const Point& point, bool exclusive);

    const std::vector<PopupMenuItem>& getItems() const { return items_; }
    std::uintptr_t getNativeMenu() const { return menu_; }

private:
    PopupMenu(std::int32_t base, PopupMenu* root);
    std::int32_t nextCommand() { return ++root_->lastCommand_; }
    void applyState(const PopupMenuItem& item);

    PopupMenu* root_;
    std::int32_t lastCommand_;
    std::uintptr_t menu_;
    std::vector<PopupMenuItem> items_;
    std::vector<std::unique_ptr<PopupMenu>> submenus_;
};

} // namespace trov
