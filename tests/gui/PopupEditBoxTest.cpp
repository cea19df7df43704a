#include "gui/PopupEditBox.h"

#include "gui/Canvas.h"
#include "gui/Window.h"
#include "platform/draw/Snapshot.h"
#include "platform/draw/WindowSurfaces.h"

#include "support/FileTestFolder.h"
#include "support/ScopedProduct.h"
#include "support/WindowTestSupport.h"

#include <gtest/gtest.h>

using namespace trov;
using platform::WindowSystem;

namespace {

class NullTarget : public WindowTarget {
public:
    bool receiveWindowMessage(const WindowMessage&) override { return false; }
    void addDirtyRect(const Rect&) override {}
    void idle() override {}
};

class TextEntry : public test::WindowSystemTest {
protected:
    TextEntry() {
        frame = make("host frame", 0, {40, 30, 440, 330});
        window = std::make_unique<Window>(frame, Rect(10, 10, 300, 200), &target);
        flush();
    }
    ~TextEntry() override { window.reset(); }

    // Runs one entry over r, with whatever input is queued.
    bool edit(std::string& value, const std::string& label = "", const std::string& suffix = "",
              Rect r = Rect(20, 40, 120, 30)) {
        PopupEditBox box(window.get(), nullptr);
        return box.edit(r, label, value, suffix);
    }

    test::ScopedProduct product;
    NullTarget target;
    platform::WindowHandle frame = platform::kNoWindow;
    std::unique_ptr<Window> window;
};

// The box's windows as seen while an entry runs.
struct Seen {
    platform::NativeRect box, label, field, suffix;
    int alpha = 0;
    bool editorEnabled = true;
};

} // namespace

TEST_F(TextEntry, TypingAndEnterAcceptTheTypedTextOverTheSelectedOldOne) {
    std::string value = "old";
    driver.type("42\r");
    EXPECT_TRUE(edit(value));
    EXPECT_EQ(value, "42");
    EXPECT_TRUE(WindowSystem::instance().isEnabled(window->getHandle()));
}

TEST_F(TextEntry, EscapeAClickElsewhereOrAnEmptyQueueCancelAndKeepTheValue) {
    std::string value = "old";
    driver.type("new");
    driver.tap(platform::VirtualKey::kEscape, 27);
    EXPECT_FALSE(edit(value));
    driver.type("new");
    driver.click(driver.clientPoint(window->getHandle(), 250, 150));
    EXPECT_FALSE(edit(value));
    driver.type("new");
    EXPECT_FALSE(edit(value));
    EXPECT_EQ(value, "old");
}

TEST_F(TextEntry, AQuitTakenByTheEntryCancelsItAndIsPostedAgain) {
    std::string value = "old";
    driver.type("1");
    // A quit is taken once nothing else is queued; it was taken when it is asked for again afterwards.
    WindowSystem::instance().loop().postQuit(7);
    EXPECT_FALSE(edit(value));
    EXPECT_EQ(value, "old");
    EXPECT_TRUE(WindowSystem::instance().loop().quitRequested());
    EXPECT_EQ(WindowSystem::instance().loop().quitCode(), 7);
}

TEST_F(TextEntry, TheFieldRefusesThe65thCharacterAndTheReadBackStopsAt256) {
    std::string value;
    driver.type(std::string(70, 'x') + "\r");
    EXPECT_TRUE(edit(value));
    EXPECT_EQ(value, std::string(PopupEditBox::kLimit, 'x'));
    // A longer value handed in is shown whole, and read back cut.
    value = std::string(300, 'y');
    driver.tap(platform::VirtualKey::kReturn, '\r');
    EXPECT_TRUE(edit(value));
    EXPECT_EQ(value, std::string(PopupEditBox::kReadBack, 'y'));
}

TEST_F(TextEntry, TheBoxSitsOnTheRectanglesBottomAsHighAsTheTextWithLabelAndSuffixAtTheSides) {
    Canvas measuring(window.get(), nullptr);
    const int textHeight = measuring.measureText("mX").getHeight();
    const int labelWidth = measuring.measureText("Gain").getWidth();
    const int suffixWidth = measuring.measureText("dB").getWidth();
    namespace draw = platform::draw;
    draw::windowSurface(window->getHandle())->fill(draw::opaquePixel(draw::makeColorRef(255, 255, 255)));

    // A window whose second event, taken inside the entry's loop after the box has painted, reads the
    // box's windows and a snapshot of the editor's window; then the queue is empty and the entry ends.
    WindowSystem& ws = WindowSystem::instance();
    Seen seen;
    PopupEditBox* running = nullptr;
    std::shared_ptr<draw::Surface> snapshot;
    test::FileTestFolder folder;
    bool written = false;
    int calls = 0;
    const auto probe = make("probe", 0, {0, 0, 1, 1});
    probeHandler = [&](const Event& event) {
        if (event.window != probe || event.code != platform::EventLoop::kFirstUserEvent || running == nullptr)
            return;
        if (++calls % 2 == 1) {
            ws.loop().post(probe, platform::EventLoop::kFirstUserEvent);
            return;
        }
        seen.box = ws.getScreenRect(running->getBox());
        seen.label = ws.getRect(running->getLabel());
        seen.field = ws.getRect(running->getField());
        seen.suffix = ws.getRect(running->getSuffix());
        seen.alpha = ws.getLayeredAlpha(running->getBox());
        seen.editorEnabled = ws.isEnabled(window->getHandle());
        snapshot = draw::snapshotWindow(window->getHandle());
        written = draw::writeSnapshot(window->getHandle(), folder / "entry.png");
    };
    auto check = [&](const std::string& label, const std::string& suffix) {
        PopupEditBox box(window.get(), nullptr);
        running = &box;
        ws.loop().post(probe, platform::EventLoop::kFirstUserEvent);
        std::string value = "1";
        EXPECT_FALSE(box.edit(Rect(20, 40, 120, 30), label, value, suffix));
        running = nullptr;
    };

    check("", "");
    const platform::NativeRect client = ws.getScreenRect(window->getHandle());
    EXPECT_EQ(seen.box.left, client.left + 20);
    EXPECT_EQ(seen.box.right, client.left + 140);
    EXPECT_EQ(seen.box.bottom, client.top + 70);
    EXPECT_EQ(seen.box.bottom - seen.box.top, textHeight + 2);
    EXPECT_EQ(seen.field.left, 0);
    EXPECT_EQ(seen.field.right, 120);
    EXPECT_EQ(seen.field.top, 1);
    EXPECT_EQ(seen.field.bottom, textHeight + 1);
    EXPECT_EQ(seen.alpha, PopupEditBox::kAlpha);
    EXPECT_FALSE(seen.editorEnabled);
    EXPECT_TRUE(ws.isEnabled(window->getHandle()));
    // The box's black frame seen through at 80 %, its white inside, the window's white around it.
    ASSERT_TRUE(snapshot);
    EXPECT_TRUE(written);
    const int top = 70 - textHeight - 2;
    EXPECT_EQ(draw::redOf(snapshot->pixel(20, top)), 51u);
    EXPECT_EQ(draw::redOf(snapshot->pixel(139, 69)), 51u);
    EXPECT_EQ(draw::redOf(snapshot->pixel(25, top + 1)), 255u);
    EXPECT_EQ(draw::redOf(snapshot->pixel(19, top)), 255u);
    EXPECT_EQ(draw::redOf(snapshot->pixel(20, 70)), 255u);

    check("Gain", "dB");
    EXPECT_EQ(seen.label.left, 8);
    EXPECT_EQ(seen.label.right, 8 + labelWidth);
    EXPECT_EQ(seen.label.top, 1);
    EXPECT_EQ(seen.field.left, seen.label.right + 4);
    EXPECT_EQ(seen.suffix.right, 120 - 8);
    EXPECT_EQ(seen.suffix.left, 120 - 8 - suffixWidth);
    EXPECT_EQ(seen.field.right, seen.suffix.left - 4);
    probeHandler = nullptr;
}
