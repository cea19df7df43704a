#pragma once

#include <string>
#include <vector>

namespace trov::platform {

// A popup menu being tracked, as whoever answers it (the responder, or the keys taken from the queue)
// drives it: the entries of the innermost open level, hovering, opening and closing submenus, choosing.
// Lives for one tracking call on the user-interface thread.
class MenuSession {
public:
    struct Entry {
        std::string text;
        bool separator = false;
        bool enabled = true; // neither disabled nor greyed
        bool checked = false;
        bool submenu = false;
        bool ownerDrawn = false;
    };

    virtual ~MenuSession() = default;
    // The innermost open level's entries, in order.
    virtual std::vector<Entry> entries() const = 0;
    // 1 while only the menu itself is open.
    virtual int depth() const = 0;
    // The hovered entry of the innermost level, -1 for none.
    virtual int hovered() const = 0;
    // Hovers an entry of the innermost level (owner-drawn entries are redrawn); false out of range or for a
    // separator. Disabled entries can be hovered.
    virtual bool hover(int index) = 0;
    // Opens the hovered entry's submenu as the new innermost level; false when it has none or is disabled.
    virtual bool openSubmenu() = 0;
    // Closes the innermost level; closing the last dismisses the menu.
    virtual void closeSubmenu() = 0;
    // Chooses the hovered entry, which ends the tracking; a submenu entry opens instead. False (and nothing
    // happens) for a disabled entry or without one hovered.
    virtual bool choose() = 0;
    // Hovers through the levels by the entries' texts ("&" marks ignored) and chooses the last; false when
    // an entry is missing or cannot be chosen (the menu then stays open where the walk stopped).
    virtual bool chooseText(const std::vector<std::string>& path) = 0;
    // A key as the menu takes it: arrows move and open or close levels, Enter chooses, Escape closes a
    // level, a character picks the entry it marks with "&" (or starts with).
    virtual void pressKey(int virtualKey, char character) = 0;
    virtual void dismiss() = 0;
    virtual bool finished() const = 0;
};

} // namespace trov::platform
