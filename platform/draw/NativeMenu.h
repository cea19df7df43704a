#pragma once

#include "platform/NativeRect.h"
#include "platform/WindowHandle.h"

#include <cstdint>
#include <string>

namespace trov::platform::draw {

class DrawContext;

// Popup menus of the in-process window system: a menu is a list of entries (strings, separators, popup
// entries holding a submenu), each with a type, a state, a command number and an owner's data word.
// Tracking a menu is a modal loop: the installed responder drives it first (`Responder::trackMenu`); a menu
// it leaves open takes keys from the queued input, dispatches everything else that is queued, and is
// dismissed when the queue runs dry, so tracking never waits. Owner-drawn entries are measured and drawn by
// the owner window (`WindowEvent::kMeasureItem`, `kDrawItem`, sent synchronously).
// User-interface thread; menus are deleted there too.

using MenuHandle = std::uintptr_t;
constexpr MenuHandle kNoMenu = 0;

// appendMenu flags; the state bits double as `MenuItemInfo::state`.
enum MenuFlags : unsigned {
    kMenuString = 0x0,
    kMenuGrayed = 0x1,
    kMenuDisabled = 0x2,
    kMenuChecked = 0x8,
    kMenuPopup = 0x10,
    kMenuOwnerDraw = 0x100,
    kMenuSeparator = 0x800,
};
// Entry types (`MenuItemInfo::type`).
enum MenuTypes : unsigned {
    kMenuTypeOwnerDraw = 0x100,
    kMenuTypeRadioCheck = 0x200,
    kMenuTypeSeparator = 0x800,
};
// `MenuItemInfo::mask`.
enum MenuInfoMask : unsigned {
    kMenuInfoState = 0x1,
    kMenuInfoId = 0x2,
    kMenuInfoSubmenu = 0x4,
    kMenuInfoData = 0x20,
    kMenuInfoType = 0x100,
};

struct MenuItemInfo {
    unsigned mask = 0;
    unsigned type = 0;
    unsigned state = 0;
    unsigned id = 0;
    MenuHandle submenu = kNoMenu;
    std::uintptr_t data = 0;
};

// What the owner fills in for an owner-drawn entry (param of `WindowEvent::kMeasureItem`).
struct MenuItemMeasure {
    unsigned itemId = 0;
    std::uintptr_t itemData = 0;
    unsigned itemWidth = 0;
    unsigned itemHeight = 0;
};

enum MenuDrawState : unsigned { kMenuDrawSelected = 0x1, kMenuDrawGrayed = 0x2, kMenuDrawChecked = 0x8 };

// An owner-drawn entry to draw (param of `WindowEvent::kDrawItem`): into the context, over the rectangle.
struct MenuItemDraw {
    unsigned itemId = 0;
    unsigned itemState = 0;
    std::uintptr_t itemData = 0;
    NativeRect itemRect;
    DrawContext* context = nullptr;
};

MenuHandle createPopupMenu();
// Destroys the menu and the submenus its popup entries hold; false for an unknown menu.
bool destroyMenu(MenuHandle menu);
bool isMenu(MenuHandle menu);
// A popup entry takes the submenu handle as idOrSubmenu; the submenu then belongs to this menu.
bool appendMenu(MenuHandle menu, unsigned flags, std::uintptr_t idOrSubmenu, const std::string& text);
int getMenuItemCount(MenuHandle menu);
// The entry at a position of this menu, or the first with the command number here or (depth first) in a
// submenu. False when there is none.
bool getMenuItemInfo(MenuHandle menu, unsigned item, bool byPosition, MenuItemInfo& info);
bool setMenuItemInfo(MenuHandle menu, unsigned item, bool byPosition, const MenuItemInfo& info);
std::string getMenuText(MenuHandle menu, unsigned position);

// Tracking flag: answer the chosen command (the only mode there is; without it the answer is still the
// command).
constexpr unsigned kTrackReturnCommand = 0x100;
constexpr unsigned kTrackNoNotify = 0x80;
// Shows the menu at a screen point, owned by the window, until an entry is chosen or the menu dismissed;
// the chosen command, 0 when dismissed.
unsigned trackPopupMenu(MenuHandle menu, unsigned flags, int x, int y, WindowHandle owner);

} // namespace trov::platform::draw
