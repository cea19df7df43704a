#include "gui/Window.h"

#include "framework/Message.h"
#include "framework/WindowTimer.h"
#include "platform/Responder.h"
#include "platform/draw/NativeMenu.h"

#include "support/ScopedProduct.h"
#include "support/WindowTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

using namespace trov;
using platform::NativePoint;
using platform::WindowSystem;

namespace {

struct Received {
    std::int32_t code;
    Point where;
    MessageWord extra;
    std::int32_t state[3];
};

class RecordingTarget : public WindowTarget {
public:
    bool receiveWindowMessage(const WindowMessage& message) override {
        namespace draw = platform::draw;
        if (message.code == 3016) {
            auto* measure = wordToPointer<draw::MenuItemMeasure>(message.extra);
            measured.push_back(measure->itemData);
            measure->itemWidth = 150;
            measure->itemHeight = 20;
        }
        if (message.code == 3017) {
            const auto* item = wordToPointer<draw::MenuItemDraw>(message.extra);
            drawn.push_back(
                {item->itemData, item->itemState, item->itemRect.right, item->context != nullptr});
        }
        messages.push_back({message.code,
                            message.where,
                            message.extra,
                            {message.state[0], message.state[1], message.state[2]}});
        return true;
    }
    void addDirtyRect(const Rect& r) override { dirty.push_back(r); }
    void idle() override { ++idles; }

    std::vector<std::int32_t> codes() const {
        std::vector<std::int32_t> result;
        for (const Received& m : messages)
            result.push_back(m.code);
        return result;
    }

    std::vector<Received> messages;
    std::vector<Rect> dirty;
    int idles = 0;
    std::vector<std::uintptr_t> measured;
    struct Drawn {
        std::uintptr_t data;
        unsigned state;
        int right;
        bool context;
        bool operator==(const Drawn&) const = default;
    };
    std::vector<Drawn> drawn;
};

// An editor window inside a host frame placed away from the screen's corner.
class EditorWindow : public test::WindowSystemTest {
protected:
    EditorWindow() {
        driver.move({0, 0});
        flush();
        frame = make("host frame", 0, {100, 50, 500, 450});
        window = std::make_unique<Window>(frame, Rect(20, 10, 200, 100), &target);
        // The pointer was not over the new window: its first leave notice is due at once.
        flush();
        EXPECT_EQ(target.codes(), std::vector<std::int32_t>{3008});
        target.messages.clear();
    }
    ~EditorWindow() override { window.reset(); }

    NativePoint at(int x, int y) const { return driver.clientPoint(window->getHandle(), x, y); }

    test::ScopedProduct product;
    RecordingTarget target;
    platform::WindowHandle frame = platform::kNoWindow;
    std::unique_ptr<Window> window;
};

} // namespace

TEST_F(EditorWindow, ADoubleClickDeliversPressReleaseDoubleClickRelease) {
    driver.doubleClick(at(5, 6));
    flush();
    EXPECT_EQ(target.codes(), (std::vector<std::int32_t>{3007, 3000, 3002, 3001, 3002}));
    EXPECT_EQ(target.messages[1].where, Point(5, 6));
}

TEST_F(EditorWindow, AReleaseOutsideTheWindowStillArrivesBecauseThePressCaptured) {
    driver.press(at(5, 5), platform::kRightButton);
    driver.move(at(400, 300));
    driver.release(at(400, 300), platform::kRightButton);
    flush();
    EXPECT_EQ(target.codes(), (std::vector<std::int32_t>{3007, 3003, 3006, 3005}));
    EXPECT_EQ(target.messages.back().where, Point(400, 300));
    EXPECT_EQ(WindowSystem::instance().getCapture(), platform::kNoWindow);
}

TEST_F(EditorWindow, TheWheelCarriesItsSignedNotchesAndAClientPoint) {
    driver.wheel(at(30, 40), 120);
    driver.wheel(at(30, 40), -240);
    flush();
    ASSERT_EQ(target.codes(), (std::vector<std::int32_t>{3011, 3011}));
    EXPECT_EQ(static_cast<std::intptr_t>(target.messages[0].extra), 120);
    EXPECT_EQ(static_cast<std::intptr_t>(target.messages[1].extra), -240);
    EXPECT_EQ(target.messages[0].where, Point(30, 40));
}

TEST_F(EditorWindow, FocusGainAndLossAndThePointerLeavingAreReported) {
    EXPECT_FALSE(window->hasFocus());
    driver.move(at(10, 10));
    flush();
    window->trackMouseLeave();
    driver.click(at(10, 10));
    flush();
    EXPECT_TRUE(window->hasFocus());
    WindowSystem::instance().setFocus(platform::kNoWindow);
    driver.move({0, 0});
    flush();
    EXPECT_EQ(target.codes(), (std::vector<std::int32_t>{3006, 3007, 3000, 3002, 3008, 3008}));
}

TEST_F(EditorWindow, APaintHandsTheUpdateRectangleToTheTargetOnlyWhenThereIsOne) {
    const platform::NativeRect r{5, 6, 25, 26};
    WindowSystem::instance().invalidate(window->getHandle(), &r);
    flush();
    EXPECT_EQ(target.dirty, (std::vector<Rect>{Rect(5, 6, 20, 20)}));
    WindowSystem::instance().loop().post(window->getHandle(), platform::WindowEvent::kPaint);
    flush();
    EXPECT_EQ(target.dirty.size(), 1u);
    EXPECT_FALSE(WindowSystem::instance().getUpdateRect(window->getHandle(), nullptr));
}

TEST_F(EditorWindow, KeysReachTheTargetAsACharacterAndAVirtualKeyCodeApart) {
    driver.click(at(1, 1));
    driver.type("a&(");
    driver.tap(platform::VirtualKey::kUp);
    flush();
    std::vector<std::pair<std::int32_t, std::int32_t>> keys;
    for (const Received& m : target.messages)
        if (m.code == 3024 && m.state[Window::kKeyVirtualCode] != platform::VirtualKey::kShift)
            keys.emplace_back(m.state[Window::kKeyCharacter], m.state[Window::kKeyVirtualCode]);
    EXPECT_EQ(keys, (std::vector<std::pair<std::int32_t, std::int32_t>>{
                        {'a', 'A'}, {'&', '7'}, {'(', '9'}, {0, platform::VirtualKey::kUp}}));
}

TEST_F(EditorWindow, TheWindowTimerTicksTheTargetsIdleOnTheClock) {
    WindowTimer timer(window.get(), 50);
    clock_.advance(120);
    EXPECT_EQ(target.idles, 2);
    window->setTarget(nullptr);
    clock_.advance(50);
    EXPECT_EQ(target.idles, 2);
}

TEST_F(EditorWindow, TwoWindowsShareOneClassWhichGoesWithTheLast) {
    const std::string cls = Window::className();
    EXPECT_EQ(cls, "Maker Sampler");
    auto second = std::make_unique<Window>(frame, Rect(0, 200, 50, 50), &target);
    EXPECT_EQ(Window::liveCount(), 2);
    window.reset();
    EXPECT_TRUE(WindowSystem::instance().isClassRegistered(cls));
    second.reset();
    EXPECT_FALSE(WindowSystem::instance().isClassRegistered(cls));
}

TEST_F(EditorWindow, OwnerDrawnMenuEntriesAreMeasuredAndDrawnThroughTheWindow) {
    namespace draw = platform::draw;
    const auto menu = draw::createPopupMenu();
    ASSERT_TRUE(draw::appendMenu(menu, draw::kMenuOwnerDraw, 7, "seven"));
    draw::MenuItemInfo info;
    info.mask = draw::kMenuInfoData;
    info.data = 42;
    draw::setMenuItemInfo(menu, 7, false, info);
    const NativePoint p = at(0, 0);
    EXPECT_EQ(draw::trackPopupMenu(menu, draw::kTrackReturnCommand, p.x, p.y, window->getHandle()), 0u);
    draw::destroyMenu(menu);
    EXPECT_EQ(target.codes(), (std::vector<std::int32_t>{3016, 3017}));
    EXPECT_EQ(target.measured, std::vector<std::uintptr_t>{42});
    EXPECT_EQ(target.drawn, (std::vector<RecordingTarget::Drawn>{{42, 0, 150, true}}));

    // Hovering redraws the entry highlighted; moving on redraws it plain.
    const auto again = draw::createPopupMenu();
    draw::appendMenu(again, draw::kMenuOwnerDraw, 1, "one");
    draw::appendMenu(again, draw::kMenuOwnerDraw | draw::kMenuGrayed, 2, "two");
    platform::ScriptedResponder responder;
    platform::ScopedResponder scope(responder);
    responder.queueMenu([](platform::MenuSession& session) {
        session.hover(0);
        session.hover(1);
        EXPECT_FALSE(session.choose()) << "greyed";
    });
    target.drawn.clear();
    EXPECT_EQ(draw::trackPopupMenu(again, 0, p.x, p.y, window->getHandle()), 0u);
    draw::destroyMenu(again);
    std::vector<unsigned> states;
    for (const auto& d : target.drawn)
        states.push_back(d.state);
    EXPECT_EQ(states, (std::vector<unsigned>{0, draw::kMenuDrawGrayed, draw::kMenuDrawSelected, 0,
                                             draw::kMenuDrawSelected | draw::kMenuDrawGrayed}));
}
