#include "platform/draw/NativeMenu.h"
#include "platform/LastingObjects.h"

#include "platform/Responder.h"
#include "platform/WindowSystem.h"
#include "platform/draw/DrawContext.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace trov::platform::draw {

namespace {

struct MenuEntry {
    unsigned type = 0;
    unsigned state = 0;
    unsigned id = 0;
    MenuHandle submenu = kNoMenu;
    std::uintptr_t data = 0;
    std::string text;
};

struct Menus {
    std::mutex mutex;
    std::map<MenuHandle, std::vector<MenuEntry>> menus;
    MenuHandle next = 1;
};

// Menus of other process-wide objects may still go during their teardown.
Menus& menus() {
    static Menus* const all = keepToTheEnd(new Menus);
    return *all;
}

constexpr unsigned kStateBits = kMenuGrayed | kMenuDisabled | kMenuChecked;
constexpr int kEntryHeight = 18;
constexpr int kSeparatorHeight = 8;
constexpr int kMinimumWidth = 120;

bool findByCommand(const std::map<MenuHandle, std::vector<MenuEntry>>& all, MenuHandle menu, unsigned id,
                   MenuHandle& holder, std::size_t& position, int depth = 0) {
    auto it = all.find(menu);
    if (it == all.end() || depth > 32)
        return false;
    for (std::size_t i = 0; i < it->second.size(); ++i) {
        const MenuEntry& entry = it->second[i];
        if (entry.submenu == kNoMenu && (entry.type & kMenuTypeSeparator) == 0 && entry.id == id) {
            holder = menu;
            position = i;
            return true;
        }
    }
    for (const MenuEntry& entry : it->second)
        if (entry.submenu != kNoMenu && findByCommand(all, entry.submenu, id, holder, position, depth + 1))
            return true;
    return false;
}

MenuEntry* locate(MenuHandle menu, unsigned item, bool byPosition) {
    auto& all = menus().menus;
    if (byPosition) {
        auto it = all.find(menu);
        if (it == all.end() || item >= it->second.size())
            return nullptr;
        return &it->second[item];
    }
    MenuHandle holder = kNoMenu;
    std::size_t position = 0;
    if (!findByCommand(all, menu, item, holder, position))
        return nullptr;
    return &all[holder][position];
}

void destroyLocked(std::map<MenuHandle, std::vector<MenuEntry>>& all, MenuHandle menu) {
    auto it = all.find(menu);
    if (it == all.end())
        return;
    std::vector<MenuEntry> entries = std::move(it->second);
    all.erase(it);
    for (const MenuEntry& entry : entries)
        if (entry.submenu != kNoMenu)
            destroyLocked(all, entry.submenu);
}

std::string withoutMarks(const std::string& text) {
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size())
            ++i;
        plain += text[i];
    }
    return plain;
}

// The character an entry's text marks with "&", else its first character; lower case.
char mnemonic(const std::string& text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&')
            continue;
        if (text[i + 1] != '&')
            return static_cast<char>(std::tolower(static_cast<unsigned char>(text[i + 1])));
        ++i;
    }
    return text.empty() ? '\0' : static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
}

class Session : public MenuSession {
public:
    Session(MenuHandle menu, WindowHandle owner, int x, int y) : owner_(owner) { open(menu, x, y); }

    std::vector<MenuSession::Entry> entries() const override {
        std::vector<MenuSession::Entry> result;
        if (levels_.empty())
            return result;
        for (const MenuEntry& entry : snapshot(levels_.back().menu)) {
            MenuSession::Entry e;
            e.text = entry.text;
            e.separator = (entry.type & kMenuTypeSeparator) != 0;
            e.enabled = (entry.state & (kMenuGrayed | kMenuDisabled)) == 0;
            e.checked = (entry.state & kMenuChecked) != 0;
            e.submenu = entry.submenu != kNoMenu;
            e.ownerDrawn = (entry.type & kMenuTypeOwnerDraw) != 0;
            result.push_back(e);
        }
        return result;
    }
    int depth() const override { return static_cast<int>(levels_.size()); }
    int hovered() const override { return levels_.empty() ? -1 : levels_.back().hovered; }

    bool hover(int index) override {
        if (levels_.empty())
            return false;
        Level& level = levels_.back();
        const auto list = snapshot(level.menu);
        if (index < 0 || index >= static_cast<int>(list.size()) ||
            (list[static_cast<std::size_t>(index)].type & kMenuTypeSeparator) != 0)
            return false;
        const int old = level.hovered;
        level.hovered = index;
        if (old != index) {
            if (old >= 0)
                drawEntry(level, list, old);
            drawEntry(level, list, index);
        }
        return true;
    }

    bool openSubmenu() override {
        if (levels_.empty() || levels_.back().hovered < 0)
            return false;
        const Level& level = levels_.back();
        const auto list = snapshot(level.menu);
        const MenuEntry& entry = list[static_cast<std::size_t>(level.hovered)];
        if (entry.submenu == kNoMenu || (entry.state & (kMenuGrayed | kMenuDisabled)) != 0)
            return false;
        const NativeRect& r = level.rects[static_cast<std::size_t>(level.hovered)];
        open(entry.submenu, level.x + r.right, level.y + r.top);
        return true;
    }

    void closeSubmenu() override {
        if (!levels_.empty())
            levels_.pop_back();
        if (levels_.empty())
            finished_ = true;
    }

    bool choose() override {
        if (finished_ || levels_.empty() || levels_.back().hovered < 0)
            return false;
        const auto list = snapshot(levels_.back().menu);
        const MenuEntry& entry = list[static_cast<std::size_t>(levels_.back().hovered)];
        if ((entry.state & (kMenuGrayed | kMenuDisabled)) != 0)
            return false;
        if (entry.submenu != kNoMenu)
            return openSubmenu();
        command_ = entry.id;
        finished_ = true;
        return true;
    }

    bool chooseText(const std::vector<std::string>& path) override {
        for (std::size_t step = 0; step < path.size(); ++step) {
            if (finished_ || levels_.empty())
                return false;
            const auto list = snapshot(levels_.back().menu);
            int found = -1;
            for (std::size_t i = 0; i < list.size() && found < 0; ++i)
                if ((list[i].type & kMenuTypeSeparator) == 0 &&
                    withoutMarks(list[i].text) == withoutMarks(path[step]))
                    found = static_cast<int>(i);
            if (found < 0 || !hover(found))
                return false;
            const bool last = step + 1 == path.size();
            if (last ? !choose() : !openSubmenu())
                return false;
            if (last && !finished_)
                return false; // the last entry named a submenu
        }
        return finished_ && command_ != 0;
    }

    void pressKey(int virtualKey, char character) override {
        if (finished_ || levels_.empty())
            return;
        switch (virtualKey) {
        case VirtualKey::kDown:
            step(1);
            return;
        case VirtualKey::kUp:
            step(-1);
            return;
        case VirtualKey::kRight:
            if (openSubmenu())
                step(1);
            return;
        case VirtualKey::kLeft:
            if (levels_.size() > 1)
                closeSubmenu();
            return;
        case VirtualKey::kEscape:
            closeSubmenu();
            return;
        case VirtualKey::kReturn:
            choose();
            return;
        default:
            break;
        }
        if (character == '\0')
            return;
        const char wanted = static_cast<char>(std::tolower(static_cast<unsigned char>(character)));
        const auto list = snapshot(levels_.back().menu);
        std::vector<int> matches;
        for (std::size_t i = 0; i < list.size(); ++i)
            if ((list[i].type & kMenuTypeSeparator) == 0 && mnemonic(list[i].text) == wanted)
                matches.push_back(static_cast<int>(i));
        if (matches.empty())
            return;
        if (matches.size() == 1) {
            hover(matches.front());
            if (choose() && !finished_)
                step(1); // a submenu opened: hover its first entry
            return;
        }
        const int current = levels_.back().hovered;
        auto next = std::find_if(matches.begin(), matches.end(), [current](int i) { return i > current; });
        hover(next != matches.end() ? *next : matches.front());
    }

    void dismiss() override {
        levels_.clear();
        finished_ = true;
    }
    bool finished() const override { return finished_; }

    unsigned command() const { return command_; }

    // A pointer event at a screen point: moves hover over the entry under it, chooses at a release over an
    // entry, dismisses at a press outside every level.
    void pointer(NativePoint p, bool press, bool release) {
        for (std::size_t depth = levels_.size(); depth-- > 0;) {
            Level& level = levels_[depth];
            for (std::size_t i = 0; i < level.rects.size(); ++i) {
                const NativeRect& r = level.rects[i];
                if (p.x < level.x + r.left || p.x >= level.x + r.right || p.y < level.y + r.top ||
                    p.y >= level.y + r.bottom)
                    continue;
                while (levels_.size() > depth + 1)
                    levels_.pop_back();
                if (hover(static_cast<int>(i)) && release)
                    choose();
                return;
            }
        }
        if (press)
            dismiss();
    }

private:
    struct Level {
        MenuHandle menu = kNoMenu;
        int x = 0;
        int y = 0;
        int hovered = -1;
        std::vector<NativeRect> rects;
        std::unique_ptr<DrawContext> context;
    };

    static std::vector<MenuEntry> snapshot(MenuHandle menu) {
        std::lock_guard guard(menus().mutex);
        auto it = menus().menus.find(menu);
        return it != menus().menus.end() ? it->second : std::vector<MenuEntry>();
    }

    void send(std::uint32_t code, std::uintptr_t param) {
        if (owner_ != kNoWindow)
            WindowSystem::instance().loop().dispatch(EventLoop::Event{owner_, code, param, 0, {}});
    }

    void open(MenuHandle menu, int x, int y) {
        Level level;
        level.menu = menu;
        level.x = x;
        level.y = y;
        const auto list = snapshot(menu);
        int width = kMinimumWidth;
        int top = 0;
        for (const MenuEntry& entry : list) {
            int height = (entry.type & kMenuTypeSeparator) != 0 ? kSeparatorHeight : kEntryHeight;
            if ((entry.type & kMenuTypeOwnerDraw) != 0) {
                MenuItemMeasure measure{entry.id, entry.data, 0, 0};
                send(WindowEvent::kMeasureItem, reinterpret_cast<std::uintptr_t>(&measure));
                width = std::max(width, static_cast<int>(std::min(measure.itemWidth, 4096u)));
                height = static_cast<int>(std::min(measure.itemHeight, 4096u));
            }
            level.rects.push_back({0, top, 0, top + height});
            top += height;
        }
        for (NativeRect& r : level.rects)
            r.right = width;
        if (auto surface = Surface::create(width, std::max(top, 1)))
            level.context = std::make_unique<DrawContext>(surface);
        levels_.push_back(std::move(level));
        for (std::size_t i = 0; i < list.size(); ++i)
            drawEntry(levels_.back(), list, static_cast<int>(i));
    }

    void drawEntry(Level& level, const std::vector<MenuEntry>& list, int index) {
        const MenuEntry& entry = list[static_cast<std::size_t>(index)];
        if ((entry.type & kMenuTypeOwnerDraw) == 0)
            return;
        MenuItemDraw draw;
        draw.itemId = entry.id;
        draw.itemData = entry.data;
        draw.itemRect = level.rects[static_cast<std::size_t>(index)];
        draw.context = level.context.get();
        if (index == level.hovered)
            draw.itemState |= kMenuDrawSelected;
        if ((entry.state & (kMenuGrayed | kMenuDisabled)) != 0)
            draw.itemState |= kMenuDrawGrayed;
        if ((entry.state & kMenuChecked) != 0)
            draw.itemState |= kMenuDrawChecked;
        send(WindowEvent::kDrawItem, reinterpret_cast<std::uintptr_t>(&draw));
    }

    void step(int direction) {
        Level& level = levels_.back();
        const auto list = snapshot(level.menu);
        const int count = static_cast<int>(list.size());
        int index = level.hovered;
        for (int tries = 0; tries < count; ++tries) {
            index = index < 0 ? (direction > 0 ? 0 : count - 1) : (index + direction + count) % count;
            if ((list[static_cast<std::size_t>(index)].type & kMenuTypeSeparator) == 0) {
                hover(index);
                return;
            }
        }
    }

    WindowHandle owner_;
    std::vector<Level> levels_;
    bool finished_ = false;
    unsigned command_ = 0;
};

} // namespace

MenuHandle createPopupMenu() {
    std::lock_guard guard(menus().mutex);
    const MenuHandle menu = menus().next++;
    menus().menus[menu];
    return menu;
}

bool destroyMenu(MenuHandle menu) {
    std::lock_guard guard(menus().mutex);
    if (menus().menus.count(menu) == 0)
        return false;
    destroyLocked(menus().menus, menu);
    return true;
}

bool isMenu(MenuHandle menu) {
    std::lock_guard guard(menus().mutex);
    return menus().menus.count(menu) != 0;
}

bool appendMenu(MenuHandle menu, unsigned flags, std::uintptr_t idOrSubmenu, const std::string& text) {
    std::lock_guard guard(menus().mutex);
    auto& all = menus().menus;
    auto it = all.find(menu);
    if (it == all.end())
        return false;
    MenuEntry entry;
    entry.state = flags & kStateBits;
    entry.text = text;
    if ((flags & kMenuSeparator) != 0) {
        entry.type = kMenuTypeSeparator;
        entry.text.clear();
    } else if ((flags & kMenuPopup) != 0) {
        // A submenu belongs to one menu, and never to itself or its own descendants.
        if (idOrSubmenu == menu || all.count(idOrSubmenu) == 0)
            return false;
        MenuHandle holder = kNoMenu;
        for (const auto& [handle, entries] : all)
            for (const MenuEntry& e : entries)
                if (e.submenu == idOrSubmenu)
                    holder = handle;
        if (holder != kNoMenu)
            return false;
        entry.submenu = idOrSubmenu;
    } else {
        entry.id = static_cast<unsigned>(idOrSubmenu);
    }
    if ((flags & kMenuOwnerDraw) != 0)
        entry.type |= kMenuTypeOwnerDraw;
    it->second.push_back(std::move(entry));
    return true;
}

int getMenuItemCount(MenuHandle menu) {
    std::lock_guard guard(menus().mutex);
    auto it = menus().menus.find(menu);
    return it != menus().menus.end() ? static_cast<int>(it->second.size()) : -1;
}

bool getMenuItemInfo(MenuHandle menu, unsigned item, bool byPosition, MenuItemInfo& info) {
    std::lock_guard guard(menus().mutex);
    const MenuEntry* entry = locate(menu, item, byPosition);
    if (entry == nullptr)
        return false;
    if ((info.mask & kMenuInfoType) != 0)
        info.type = entry->type;
    if ((info.mask & kMenuInfoState) != 0)
        info.state = entry->state;
    if ((info.mask & kMenuInfoId) != 0)
        info.id = entry->id;
    if ((info.mask & kMenuInfoSubmenu) != 0)
        info.submenu = entry->submenu;
    if ((info.mask & kMenuInfoData) != 0)
        info.data = entry->data;
    return true;
}

bool setMenuItemInfo(MenuHandle menu, unsigned item, bool byPosition, const MenuItemInfo& info) {
    std::lock_guard guard(menus().mutex);
    MenuEntry* entry = locate(menu, item, byPosition);
    if (entry == nullptr)
        return false;
    if ((info.mask & kMenuInfoType) != 0)
        entry->type = (entry->type & kMenuTypeSeparator) | (info.type & ~kMenuTypeSeparator);
    if ((info.mask & kMenuInfoState) != 0)
        entry->state = info.state & kStateBits;
    if ((info.mask & kMenuInfoId) != 0)
        entry->id = info.id;
    if ((info.mask & kMenuInfoData) != 0)
        entry->data = info.data;
    return true;
}

std::string getMenuText(MenuHandle menu, unsigned position) {
    std::lock_guard guard(menus().mutex);
    const MenuEntry* entry = locate(menu, position, true);
    return entry != nullptr ? entry->text : std::string();
}

unsigned trackPopupMenu(MenuHandle menu, unsigned, int x, int y, WindowHandle owner) {
    if (!isMenu(menu))
        return 0;
    Session session(menu, owner, x, y);
    responder().trackMenu(session);
    WindowSystem& windows = WindowSystem::instance();
    EventLoop& loop = windows.loop();
    // A menu opened by a press takes that press's release: it ends the opening click and chooses nothing
    // unless the pointer has moved or pressed since the menu opened.
    NativePoint pointer = windows.getPointer();
    bool armed = false;
    while (!session.finished()) {
        EventLoop::Event event;
        if (!loop.takeEvent(event)) {
            session.dismiss();
            break;
        }
        if (event.code == EventLoop::kQuitEvent) {
            // The quit belongs to the loop outside the menu.
            loop.postQuit(static_cast<int>(event.param));
            session.dismiss();
            break;
        }
        if (!windows.isInput(event)) {
            loop.dispatch(event);
            continue;
        }
        windows.applyInputState(event);
        const bool pressed = (event.param & InputEvent::kPressed) != 0;
        switch (event.code) {
        case InputEvent::kKey:
            if (pressed)
                session.pressKey(static_cast<int>(event.param & 0xFFFF), static_cast<char>(event.data));
            break;
        case InputEvent::kMouseMove:
        case InputEvent::kButton: {
            const NativePoint p = unpackPoint(event.data);
            const bool press = event.code == InputEvent::kButton && pressed;
            const bool release = event.code == InputEvent::kButton && !pressed;
            armed = armed || press || p.x != pointer.x || p.y != pointer.y;
            pointer = p;
            if (release && !armed)
                break;
            session.pointer(p, press, release);
            break;
        }
        default:
            break;
        }
    }
    return session.command();
}

} // namespace trov::platform::draw
