#include "platform/DragDrop.h"

#include "support/WindowTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace trov::platform;
using trov::test::WindowSystemTest;

namespace {

std::size_t count(const std::vector<std::uint32_t>& codes, std::uint32_t code) {
    return static_cast<std::size_t>(std::count(codes.begin(), codes.end(), code));
}

} // namespace

using WindowInput = WindowSystemTest;

TEST_F(WindowInput, PressesCloseInTimeAndPlaceMakeADoubleClickOnlyForClassesThatAskForIt) {
    const auto wants = make("double clicks", 0, {0, 0, 100, 100});
    windows().registerClass("single clicks", 0);
    const auto plain = make("single clicks", 0, {200, 0, 300, 100});
    driver.doubleClick({10, 10});
    driver.doubleClick({210, 10});
    flush();
    EXPECT_EQ(codesFor(wants), (std::vector<std::uint32_t>{WindowEvent::kCreate, WindowEvent::kSetFocus,
                                                           WindowEvent::kLeftDown, WindowEvent::kLeftUp,
                                                           WindowEvent::kLeftDoubleClick,
                                                           WindowEvent::kLeftUp, WindowEvent::kKillFocus}));
    EXPECT_EQ(count(codesFor(plain), WindowEvent::kLeftDown), 2u);

    // Too slow, too far, or a third press: no double click.
    events.clear();
    driver.click({10, 10});
    flush();
    clock_.advance(WindowSystem::kDoubleClickMs + 1);
    driver.click({10, 10});
    driver.click({10 + WindowSystem::kDoubleClickDistance + 1, 10});
    flush();
    EXPECT_EQ(count(codesFor(wants), WindowEvent::kLeftDown), 3u);
    EXPECT_EQ(count(codesFor(wants), WindowEvent::kLeftDoubleClick), 0u);
}

TEST_F(WindowInput, TheCaptureTakesEveryMouseEventWhereverThePointerIs) {
    const auto a = make("a", 0, {0, 0, 100, 100});
    const auto b = make("b", 0, {100, 0, 200, 100});
    windows().setCapture(a);
    driver.move({150, 50});
    driver.release({150, 50});
    flush();
    EXPECT_EQ(count(codesFor(a), WindowEvent::kMouseMove), 1u);
    EXPECT_EQ(count(codesFor(a), WindowEvent::kLeftUp), 1u);
    EXPECT_EQ(count(codesFor(b), WindowEvent::kMouseMove), 0u);
    // Client coordinates of the capturing window, outside it.
    EXPECT_EQ(unpackPoint(events.back().data).x, 150);
    windows().releaseCapture();
    driver.move({150, 50});
    flush();
    EXPECT_EQ(count(codesFor(b), WindowEvent::kMouseMove), 1u);
}

TEST_F(WindowInput, MouseLeaveIsNoticedOncePerRequestAndNotWhileTheWindowHoldsTheCapture) {
    const auto w = make("w", 0, {0, 0, 100, 100});
    driver.move({50, 50});
    flush();
    windows().trackMouseLeave(w);
    windows().setCapture(w);
    driver.move({150, 50});
    flush();
    EXPECT_EQ(count(codesFor(w), WindowEvent::kMouseLeave), 0u);
    windows().releaseCapture();
    flush();
    driver.move({160, 50});
    driver.move({50, 50});
    driver.move({170, 50});
    flush();
    EXPECT_EQ(count(codesFor(w), WindowEvent::kMouseLeave), 1u);
}

TEST_F(WindowInput, DisabledWindowsTakeNeitherInputNorTheFocus) {
    const auto w = make("w", 0, {0, 0, 100, 100});
    const auto child = make("c", WindowSystem::kChild, {10, 10, 50, 50}, w);
    windows().enable(w, false);
    EXPECT_EQ(windows().setFocus(child), kNoWindow);
    EXPECT_EQ(windows().getFocus(), kNoWindow);
    driver.click({20, 20});
    flush();
    EXPECT_EQ(count(codesFor(child), WindowEvent::kLeftDown), 0u);
    windows().enable(w, true);
    driver.click({20, 20});
    flush();
    EXPECT_EQ(count(codesFor(child), WindowEvent::kLeftDown), 1u);
    EXPECT_EQ(unpackPoint(events[events.size() - 2].data).x, 10) << "child client coordinates";
}

TEST_F(WindowInput, KeysCarryTheirVirtualCodeAndTheCharacterTheyTypeApart) {
    const auto w = make("w", 0, {0, 0, 100, 100});
    windows().setFocus(w);
    driver.type("a&(");
    driver.tap(VirtualKey::kUp);
    flush();
    std::vector<std::pair<std::uintptr_t, std::uint32_t>> downs;
    for (const auto& event : events)
        if (event.code == WindowEvent::kKeyDown && event.param != VirtualKey::kShift)
            downs.emplace_back(event.param, keyCharacter(event.data));
    EXPECT_EQ(downs, (std::vector<std::pair<std::uintptr_t, std::uint32_t>>{
                         {'A', 'a'}, {'7', '&'}, {'9', '('}, {VirtualKey::kUp, 0}}));
    // The shifted characters were typed with Shift held, and it is up again.
    EXPECT_FALSE(getKeyState(VirtualKey::kShift));
}

TEST_F(WindowInput, AnEditFieldTypesOverItsSelectionUpToItsLimitAndDeletes) {
    const auto field = make("EDIT", 0, {0, 0, 100, 20});
    windows().setText(field, "old");
    windows().setSelection(field, 0, -1);
    windows().setTextLimit(field, 4);
    windows().setFocus(field);
    driver.type("12345");
    flush();
    EXPECT_EQ(windows().getText(field), "1234");
    driver.type("\b");
    driver.tap(VirtualKey::kHome);
    driver.tap(VirtualKey::kDelete);
    flush();
    EXPECT_EQ(windows().getText(field), "23");
}

TEST_F(WindowInput, InvalidationsGatherIntoOnePaintOfTheirUnion) {
    const auto w = make("w", 0, {0, 0, 100, 100});
    const NativeRect a{10, 10, 20, 20};
    const NativeRect b{50, 60, 70, 200};
    windows().invalidate(w, &a);
    windows().invalidate(w, &b);
    NativeRect update;
    ASSERT_TRUE(windows().getUpdateRect(w, &update));
    EXPECT_EQ(update.left, 10);
    EXPECT_EQ(update.bottom, 100) << "cut to the client area";
    flush();
    EXPECT_EQ(count(codesFor(w), WindowEvent::kPaint), 1u);
    EXPECT_FALSE(windows().getUpdateRect(w, nullptr)) << "default processing validates";
}

TEST_F(WindowInput, AModalLoopTakesAQuitOnlyOnceTheQueueIsEmpty) {
    const auto w = make("w", 0, {0, 0, 10, 10});
    windows().loop().post(w, EventLoop::kFirstUserEvent);
    windows().loop().postQuit(3);
    EventLoop::Event event;
    ASSERT_TRUE(windows().loop().takeEvent(event));
    EXPECT_EQ(event.code, EventLoop::kFirstUserEvent);
    ASSERT_TRUE(windows().loop().takeEvent(event));
    EXPECT_EQ(event.code, EventLoop::kQuitEvent);
    EXPECT_EQ(event.param, 3u);
    EXPECT_FALSE(windows().loop().takeEvent(event));
}

using DragAndDrop = WindowSystemTest;

TEST_F(DragAndDrop, AFileListBlockHoldsAnyPathWholeAndCountsItsNames) {
    const std::string longPath = "/" + std::string(700, 'x') + "/sample.wav";
    const GlobalHandle block = makeFileListBlock({"/a.wav", longPath});
    EXPECT_EQ(dragQueryFile(block, 0xFFFFFFFFu, nullptr, 0), 2u);
    EXPECT_EQ(dragQueryFile(block, 1, nullptr, 0), longPath.size());
    std::string name(longPath.size(), '\0');
    dragQueryFile(block, 1, name.data(), static_cast<unsigned>(name.size() + 1));
    EXPECT_EQ(name, longPath);
    char small[4];
    EXPECT_EQ(dragQueryFile(block, 0, small, sizeof small), 3u);
    EXPECT_STREQ(small, "/a.");
    EXPECT_EQ(dragQueryFile(block, 2, small, sizeof small), 0u);
    EXPECT_TRUE(globalFree(block));
}

TEST_F(DragAndDrop, ASessionEntersLeavesAndDropsOnTheRegisteredWindowUnderThePointerElseTheSink) {
    const auto w = make("w", 0, {0, 0, 100, 100});
    const auto child = make("c", WindowSystem::kChild, {10, 10, 50, 50}, w);
    (void)child;
    RecordingDropSink onWindow;
    RecordingDropSink desktop;
    ASSERT_EQ(registerDragDrop(w, &onWindow), kOk);
    EXPECT_EQ(registerDragDrop(w, &onWindow), kAlreadyRegistered);
    setDropSink(&desktop);
    const std::size_t blocks = liveGlobalBlocks();
    {
        MemoryDataObject data("", {"/x.wav"}, false, true);
        DragSession session(&data);
        EXPECT_EQ(session.enter({20, 20}), kEffectCopy) << "through the child to its parent's target";
        EXPECT_EQ(session.over({150, 20}), kEffectCopy);
        EXPECT_EQ(onWindow.leaves, 1);
        EXPECT_EQ(session.drop({150, 20}), kEffectCopy);
    }
    setDropSink(nullptr);
    EXPECT_EQ(revokeDragDrop(w), kOk);
    EXPECT_EQ(revokeDragDrop(w), kNotRegistered);
    EXPECT_EQ(desktop.files, std::vector<std::string>{"/x.wav"});
    EXPECT_EQ(onWindow.drops, 0);
    EXPECT_EQ(liveGlobalBlocks(), blocks) << "every medium released";
}
