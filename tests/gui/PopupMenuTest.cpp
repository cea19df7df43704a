#include "gui/PopupMenu.h"

#include "gui/GuiEditorServices.h"
#include "gui/Window.h"
#include "platform/Responder.h"
#include "platform/draw/NativeMenu.h"

#include "support/ScopedProduct.h"
#include "support/WindowTestSupport.h"

#include <gtest/gtest.h>

#include <set>

using namespace trov;
using platform::ScriptedResponder;
using Item = PopupMenuItem;

namespace {

class NullTarget : public WindowTarget {
public:
    bool receiveWindowMessage(const WindowMessage&) override { return false; }
    void addDirtyRect(const Rect&) override {}
    void idle() override {}
};

class Menus : public test::WindowSystemTest {
protected:
    Menus() : scope(responder) {}

    // A menu chosen by texts through its levels.
    const Item* choose(PopupMenu& menu, std::vector<std::string> path, bool exclusive = false) {
        responder.queueMenuChoice(std::move(path));
        return menu.track(&window, Point(10, 10), exclusive);
    }

    test::ScopedProduct product;
    NullTarget target;
    Window window{platform::kNoWindow, Rect(0, 0, 100, 100), &target};
    ScriptedResponder responder;
    platform::ScopedResponder scope;
};

unsigned nativeState(const PopupMenu& menu, std::int32_t command) {
    platform::draw::MenuItemInfo info;
    info.mask = platform::draw::kMenuInfoState;
    EXPECT_TRUE(
        platform::draw::getMenuItemInfo(menu.getNativeMenu(), static_cast<unsigned>(command), false, info));
    return info.state;
}

} // namespace

TEST_F(Menus, CommandsAreCountedFromTheBaseAndAnswerTheirItem) {
    PopupMenu menu(0);
    menu.addItem(Item(1, 10, "one", 0));
    menu.addItem(Item(1, 11, "two", 0));
    EXPECT_EQ(menu.findItemByCommand(2)->value, 11);
    PopupMenu based(1);
    based.addItem(Item(1, 0, "first", 0));
    EXPECT_EQ(based.getItems()[0].command, 2);
    EXPECT_EQ(based.findItemByCommand(0), nullptr);
}

TEST_F(Menus, ANestedSubmenuNeverAnswersWithAnotherMenusItem) {
    // Numbered per menu from the menu's base, the first submenu of the first submenu would share its
    // numbers with the root's second submenu.
    PopupMenu root(0);
    PopupMenu* first = root.addSubmenu(Item(1, 100, "first", 0));
    PopupMenu* second = root.addSubmenu(Item(1, 200, "second", 0));
    PopupMenu* deep = first->addSubmenu(Item(1, 110, "deep", 0));
    second->addItem(Item(2, 1, "second's", 0));
    deep->addItem(Item(3, 1, "deep's", 0));
    first->addItem(Item(4, 1, "first's", 0));
    std::set<std::int32_t> commands;
    for (const PopupMenu* m : {&root, first, second, deep})
        for (const Item& item : m->getItems())
            commands.insert(item.command);
    EXPECT_EQ(commands.size(), 3u);
    const Item* chosen = choose(root, {"first", "deep", "deep's"});
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(chosen->owner, 3u);
    chosen = choose(root, {"second", "second's"});
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(chosen->owner, 2u);
}

TEST_F(Menus, AMenusOwnItemWinsOverASubmenusItemWithTheSameKey) {
    PopupMenu root(0);
    PopupMenu* sub = root.addSubmenu(Item(9, 9, "sub", 0));
    sub->addItem(Item(1, 1, "inner", 0));
    root.addItem(Item(1, 1, "outer", 0));
    EXPECT_EQ(root.findItem(Item(1, 1, "", 0))->text, "outer");
    EXPECT_EQ(root.findMenu(Item(1, 1, "", 0)), &root);
    root.setItemFlags(Item(1, 1, "", 0), Item::kChecked);
    EXPECT_EQ(sub->getItems()[0].flags, 0);
    EXPECT_EQ(nativeState(root, root.getItems()[0].command), platform::draw::kMenuChecked);
}

TEST_F(Menus, ChoosingAnExclusiveItemChecksItAloneOnlyWithExclusiveTracking) {
    PopupMenu menu(0);
    for (int i = 0; i < 3; ++i)
        menu.addItem(
            Item(1, i, "item " + std::to_string(i), Item::kExclusive | (i == 0 ? Item::kChecked : 0)));
    ASSERT_NE(choose(menu, {"item 2"}, false), nullptr);
    EXPECT_EQ(menu.getItems()[0].flags, Item::kExclusive | Item::kChecked) << "no flags change";
    ASSERT_NE(choose(menu, {"item 2"}, true), nullptr);
    EXPECT_EQ(menu.getItems()[0].flags, Item::kExclusive);
    EXPECT_EQ(menu.getItems()[1].flags, Item::kExclusive);
    EXPECT_EQ(menu.getItems()[2].flags, Item::kChecked);
    EXPECT_EQ(nativeState(menu, menu.getItems()[0].command), 0u);
    EXPECT_EQ(nativeState(menu, menu.getItems()[2].command), platform::draw::kMenuChecked);
}

TEST_F(Menus, DisabledAndGreyedItemsCannotBeChosen) {
    PopupMenu menu(0);
    menu.addItem(Item(1, 0, "disabled", Item::kDisabled));
    menu.addItem(Item(1, 1, "greyed", Item::kGreyed));
    PopupMenu* sub = menu.addSubmenu(Item(1, 2, "closed", Item::kDisabled));
    sub->addItem(Item(1, 3, "inside", 0));
    EXPECT_EQ(choose(menu, {"disabled"}), nullptr);
    EXPECT_EQ(choose(menu, {"greyed"}), nullptr);
    EXPECT_EQ(choose(menu, {"closed", "inside"}), nullptr);
    menu.clearItemFlags(Item(1, 1, "", 0), Item::kGreyed);
    EXPECT_NE(choose(menu, {"greyed"}), nullptr);
}

TEST_F(Menus, ADismissedMenuAnswersNothingAndChangesNoFlags) {
    PopupMenu menu(0);
    menu.addItem(Item(1, 0, "a", Item::kExclusive | Item::kChecked));
    menu.addItem(Item(1, 1, "b", Item::kExclusive));
    // Nobody answers and nothing is queued: dismissed, without waiting.
    EXPECT_EQ(menu.track(&window, Point(0, 0), true), nullptr);
    // Escape from the queued input, and a click outside it.
    driver.tap(platform::VirtualKey::kDown);
    driver.tap(platform::VirtualKey::kEscape);
    EXPECT_EQ(menu.track(&window, Point(0, 0), true), nullptr);
    driver.click({500, 500});
    EXPECT_EQ(menu.track(&window, Point(0, 0), true), nullptr);
    EXPECT_EQ(menu.getItems()[0].flags, Item::kExclusive | Item::kChecked);
    EXPECT_EQ(responder.questions().size(), 3u);
    EXPECT_EQ(responder.questions()[0].text, "a|b");
}

TEST_F(Menus, QueuedKeysAndClicksChooseAsTheUserWould) {
    PopupMenu menu(0);
    menu.addItem(Item(1, 0, "&Copy", 0));
    menu.addSeparator();
    PopupMenu* sub = menu.addSubmenu(Item(1, 1, "&More", 0));
    sub->addItem(Item(1, 2, "Alpha", 0));
    sub->addItem(Item(1, 3, "Beta", 0));
    driver.tap(platform::VirtualKey::kDown);
    driver.tap(platform::VirtualKey::kDown); // over the separator to "More"
    driver.tap(platform::VirtualKey::kRight);
    driver.tap(platform::VirtualKey::kDown);
    driver.tap(platform::VirtualKey::kReturn);
    const Item* chosen = menu.track(&window, Point(0, 0), false);
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(chosen->value, 3);
    driver.tap('M', 'm');
    driver.tap('A', 'a');
    chosen = menu.track(&window, Point(0, 0), false);
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(chosen->value, 2);
    // The second entry's place: the menu opens at the point, entries below each other.
    const platform::NativePoint origin = driver.clientPoint(window.getHandle(), 10, 10);
    driver.click({origin.x + 5, origin.y + 3});
    chosen = menu.track(&window, Point(10, 10), false);
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(chosen->value, 0);
}

TEST_F(Menus, TheReleaseOfThePressThatOpenedAMenuChoosesNothingUnlessThePointerMoved) {
    PopupMenu menu(0);
    menu.addItem(Item(1, 0, "first", 0));
    menu.addItem(Item(1, 1, "second", 0));
    // Pressed where the menu opens (its corner, over the first entry), released there, then keys.
    const platform::NativePoint origin = driver.clientPoint(window.getHandle(), 10, 10);
    driver.press(origin);
    flush();
    driver.release(origin);
    driver.tap(platform::VirtualKey::kDown);
    driver.tap(platform::VirtualKey::kDown);
    driver.tap(platform::VirtualKey::kReturn);
    const Item* chosen = menu.track(&window, Point(10, 10), false);
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(chosen->value, 1);
    // Moved off and back before the release: the release chooses where it is.
    driver.press(origin);
    flush();
    driver.move({origin.x + 1, origin.y});
    driver.move(origin);
    driver.release(origin);
    chosen = menu.track(&window, Point(10, 10), false);
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(chosen->value, 0);
}

TEST_F(Menus, TheEditorServicesMakeRealMenus) {
    GuiEditorServices services;
    auto made = services.createPopupMenu(1);
    auto* menu = dynamic_cast<PopupMenu*>(made.get());
    ASSERT_NE(menu, nullptr);
    menu->addItem(Item(1, 0, "x", 0));
    EXPECT_EQ(platform::draw::getMenuItemCount(menu->getNativeMenu()), 1);
    EXPECT_EQ(menu->getItems()[0].command, 2);
}
