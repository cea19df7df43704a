#include "gui/DragDrop.h"

#include "framework/Message.h"
#include "gui/Window.h"

#include "support/ScopedProduct.h"
#include "support/WindowTestSupport.h"

#include <gtest/gtest.h>

using namespace trov;
using namespace trov::platform;

namespace {

class NullTarget : public WindowTarget {
public:
    bool receiveWindowMessage(const WindowMessage&) override { return false; }
    void addDirtyRect(const Rect&) override {}
    void idle() override {}
};

// An editor's drop side: records the drag messages and accepts the drag when told to.
class Receiver : public DragDropTarget {
public:
    Receiver() : DragDropTarget(nullptr) {}
    bool receive(const Message& message) override {
        const auto& window = static_cast<const WindowMessage&>(message);
        Seen seen{window.code, window.where, window.extra, window.drop, ""};
        if (window.code == 3021)
            seen.file = wordToPointer<const char>(window.extra);
        if (window.code == 3018)
            firstFile = getDroppedFile(0).getPath();
        seen.sender = message.sender == this;
        messages.push_back(seen);
        return accept;
    }
    std::vector<std::int32_t> codes() const {
        std::vector<std::int32_t> result;
        for (const auto& m : messages)
            result.push_back(m.code);
        return result;
    }

    struct Seen {
        std::int32_t code;
        Point where;
        MessageWord extra;
        WindowMessage::DropItem drop;
        std::string file;
        bool sender = false;
    };
    std::vector<Seen> messages;
    bool accept = true;
    std::string firstFile;
};

class Drops : public test::WindowSystemTest {
protected:
    Drops() {
        frame = make("host frame", 0, {100, 100, 600, 600});
        window = std::make_unique<Window>(frame, Rect(50, 50, 300, 300), &target);
        flush();
        EXPECT_TRUE(receiver.registerWindow(window.get()));
        blocks = liveGlobalBlocks();
    }
    ~Drops() override {
        EXPECT_TRUE(receiver.revokeWindow(window.get()));
        window.reset();
    }
    NativePoint at(int x, int y) const { return driver.clientPoint(window->getHandle(), x, y); }

    unsigned dropText(const std::string& text, Point where) {
        MemoryDataObject data(text, {}, true, false);
        DragSession session(&data);
        session.enter(at(where.x, where.y));
        return session.drop(at(where.x, where.y));
    }

    test::ScopedProduct product;
    NullTarget target;
    Receiver receiver;
    WindowHandle frame = kNoWindow;
    std::unique_ptr<Window> window;
    std::size_t blocks = 0;
};

std::string region(const std::string& inner, bool segment = true) {
    const std::string values = "<filename value=\"/s/take.wav\"/>" + inner;
    return "<dict><vst-xml><region>" + (segment ? "<segment>" + values + "</segment>" : values) +
           "</region></vst-xml></dict>";
}

} // namespace

TEST_F(Drops, ThreeDroppedFilesArriveInListOrderAtOneClientPointAndEveryMediumIsReleased) {
    MemoryDataObject data("", {"/a.wav", "/b.wav", "/c.wav"}, false, true);
    DragSession session(&data);
    EXPECT_EQ(session.enter(at(10, 20)), kEffectCopy | kEffectMove);
    EXPECT_EQ(receiver.firstFile, "/a.wav");
    EXPECT_EQ(session.over(at(30, 40)), kEffectCopy | kEffectMove);
    EXPECT_EQ(session.drop(at(30, 40)), kEffectCopy | kEffectMove);
    EXPECT_EQ(receiver.codes(),
              (std::vector<std::int32_t>{3018, 3018, 3019, 3018, 3019, 3020, 3021, 3021, 3021}));
    EXPECT_EQ(receiver.messages[0].extra, 5u);
    EXPECT_EQ(receiver.messages[0].where, Point(10, 20));
    for (std::size_t i = 6; i < 9; ++i)
        EXPECT_EQ(receiver.messages[i].where, Point(30, 40));
    EXPECT_EQ(receiver.messages[6].file, "/a.wav");
    EXPECT_EQ(receiver.messages[8].file, "/c.wav");
    EXPECT_TRUE(receiver.messages[6].sender);
    EXPECT_EQ(receiver.getDroppedFile(0).getPath(), "") << "no container after the drop";
    EXPECT_EQ(liveGlobalBlocks(), blocks);
}

TEST_F(Drops, ADragTheEditorRefusesGetsNoEffectAndEndsWithALeave) {
    receiver.accept = false;
    MemoryDataObject data("", {"/a.txt"}, false, true);
    DragSession session(&data);
    session.enter(at(10, 10));
    EXPECT_EQ(session.over(at(12, 12)), kEffectNone);
    EXPECT_EQ(session.drop(at(12, 12)), kEffectNone);
    EXPECT_EQ(receiver.codes(), (std::vector<std::int32_t>{3018, 3018, 3018, 3020}));
    EXPECT_EQ(liveGlobalBlocks(), blocks);
}

TEST_F(Drops, ARegionTextBecomesOneRegionDropWithItsFileAndFrames) {
    struct Case {
        std::string text;
        std::int32_t start;
        std::int32_t end;
    } cases[] = {
        {region("<start value=\"100\"/><length value=\"50\"/>"), 100, 150},
        {region("<start value=\"100\"/><end value=\"120\"/><length value=\"50\"/>"), 100, 120},
        {region("<start value=\"7\"/><length value=\"3\"/>", false), 7, 10},
        {region("<start value=\"9\"/>"), 9, 9},
    };
    for (const Case& c : cases) {
        receiver.messages.clear();
        dropText(c.text, Point(5, 6));
        ASSERT_EQ(receiver.messages.back().code, 3022) << c.text;
        EXPECT_EQ(receiver.messages.back().drop.text, "/s/take.wav");
        EXPECT_EQ(receiver.messages.back().drop.first, c.start);
        EXPECT_EQ(receiver.messages.back().drop.second, c.end);
        EXPECT_EQ(receiver.messages.back().where, Point(5, 6));
    }
    EXPECT_EQ(liveGlobalBlocks(), blocks);
}

TEST_F(Drops, TextsThatDescribeNoRegionSendNoRegionDrop) {
    for (const std::string& text : {std::string("not xml <"), std::string("<dict><other/></dict>"),
                                    std::string("<dict><vst-xml></vst-xml></dict>")}) {
        receiver.messages.clear();
        dropText(text, Point(1, 1));
        EXPECT_EQ(receiver.codes(), (std::vector<std::int32_t>{3018, 3018, 3019, 3020})) << text;
    }
    EXPECT_FALSE(receiver.dropText("<dict><other/></dict>", Point()));
    EXPECT_TRUE(receiver.dropText("<dict><vst-xml/></dict>", Point()));
}

TEST_F(Drops, TheDragOutObjectOffersOneFileListThatHoldsAnyPathWhole) {
    const std::string path = "/" + std::string(600, 'p') + ".wav";
    auto* object = new DropObject(File(path));
    EXPECT_EQ(object->queryGetData({kFormatFileList}), kOk);
    EXPECT_EQ(object->queryGetData({kFormatFileList, kAspectContent, -1, kMediumStream}), kFalse);
    StorageMedium medium;
    EXPECT_EQ(object->getData({kFormatText}, medium), kFormatRefused);
    ASSERT_EQ(object->getData({kFormatFileList}, medium), kOk);
    std::string name(dragQueryFile(medium.global, 0, nullptr, 0), '\0');
    dragQueryFile(medium.global, 0, name.data(), static_cast<unsigned>(name.size() + 1));
    EXPECT_EQ(name, path);
    EXPECT_EQ(dragQueryFile(medium.global, 0xFFFFFFFFu, nullptr, 0), 1u);
    releaseStorageMedium(medium);
    object->release();
    EXPECT_EQ(liveGlobalBlocks(), blocks);
}

TEST_F(Drops, DraggingAFileOutDropsItWithTheButtonUpAndEscapeCancels) {
    RecordingDropSink desktop;
    setDropSink(&desktop);
    DragDropSource source;
    driver.press(at(10, 10));
    flush();
    driver.move({20, 20});
    driver.key(VirtualKey::kEscape, true, 27);
    driver.release({20, 20});
    EXPECT_TRUE(source.dragFile(File("/samples/kick.wav")));
    EXPECT_EQ(source.lastResult(), kDragCancelled);
    EXPECT_EQ(desktop.drops, 0);
    EXPECT_EQ(desktop.leaves, desktop.enters);

    flush();
    driver.press(at(10, 10));
    flush();
    driver.move(at(20, 20)); // over the editor itself, then out
    driver.move({20, 20});
    driver.release({20, 20});
    source.dragFile(File("/samples/kick.wav"));
    EXPECT_EQ(source.lastResult(), kDragDropped);
    EXPECT_EQ(source.lastEffect(), kEffectCopy);
    EXPECT_EQ(desktop.files, std::vector<std::string>{"/samples/kick.wav"});
    EXPECT_EQ(receiver.codes().front(), 3018);
    EXPECT_EQ(receiver.codes().back(), 3020);

    // Nothing queued: the drag ends cancelled rather than waiting.
    driver.press(at(10, 10));
    flush();
    source.dragFile(File("/samples/kick.wav"));
    EXPECT_EQ(source.lastResult(), kDragCancelled);
    setDropSink(nullptr);
    EXPECT_EQ(liveGlobalBlocks(), blocks);
}
