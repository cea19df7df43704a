// Incremental painting: the dirty list's rules, one union paint against per-rectangle paints, controls
// drawn at their opacity (translucent, disabled, shrunk), notifications from other threads, snapshots.
#include "gui/Canvas.h"
#include "platform/draw/DrawContext.h"
#include "plugin/Parameter.h"

#include "support/AllocationGuard.h"
#include "support/EditorHarness.h"
#include "support/PixelCheck.h"
#include "support/SnapshotCompare.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <thread>

using namespace trov;
using test::node;
using test::specification;
using test::TestPanel;
using test::TestSlider;

using test::blend;
using test::expectNear;
using test::kBlue;
using test::kGreen;
using test::kRed;
using test::rgb;

namespace {

class EditorPainting : public test::EditorHarness {
protected:
    void buildAndOpen(test::ControlNode background) {
        build(specification({background.id("special::background")}));
        open();
        tick(); // the first paint of the whole window
    }
    TestPanel* background() const { return control("special::background"); }
};

} // namespace

TEST_F(EditorPainting, TheDirtyListKeepsNoRectangleInsideAnotherAndLetsOverlappingOnesBe) {
    buildAndOpen(node("Panel").at(0, 0, 200, 100));
    struct Case {
        std::vector<Rect> queued;
        std::vector<Rect> expected;
    };
    const Case cases[] = {
        {{Rect(10, 10, 50, 50), Rect(20, 20, 10, 10)}, {Rect(10, 10, 50, 50)}},
        {{Rect(10, 10, 5, 5), Rect(30, 30, 5, 5), Rect(0, 0, 100, 100)}, {Rect(0, 0, 100, 100)}},
        {{Rect(0, 0, 20, 20), Rect(10, 10, 20, 20)}, {Rect(0, 0, 20, 20), Rect(10, 10, 20, 20)}},
        {{Rect(5, 5, 0, 10), Rect(5, 5, 10, 0)}, {}},
    };
    for (const Case& c : cases) {
        for (const Rect& r : c.queued)
            editor->addDirtyRect(r);
        EXPECT_EQ(editor->getDirtyRects(), c.expected);
        tick();
        EXPECT_TRUE(editor->getDirtyRects().empty());
    }
    editor->close();
    editor->addDirtyRect(Rect(0, 0, 10, 10));
    editor->invalidateAll();
    EXPECT_TRUE(editor->getDirtyRects().empty());
}

TEST_F(EditorPainting, AUnionMeetingFewerThanTwoControlsPerRectangleIsPaintedOnceElseEachRectangleAlone) {
    for (const bool sixth : {false, true}) {
        test::ControlNode root = node("Panel").at(0, 0, 200, 100);
        for (const auto& [x, y] :
             {std::pair{10, 10}, std::pair{30, 10}, std::pair{50, 10}, std::pair{10, 20}})
            root.child(node("Panel").at(x, y, 10, 10));
        if (sixth)
            root.child(node("Panel").at(35, 12, 5, 5));
        buildAndOpen(root);
        background()->seen.paints.clear();
        for (int x : {10, 30, 50})
            editor->addDirtyRect(Rect(x, 10, 10, 10));
        tick();
        const std::vector<Rect> expected =
            sixth ? std::vector<Rect>{Rect(10, 10, 10, 10), Rect(30, 10, 10, 10), Rect(50, 10, 10, 10)}
                  : std::vector<Rect>{Rect(10, 10, 50, 10)};
        EXPECT_EQ(background()->seen.paints, expected) << (sixth ? "6 controls" : "5 controls");
    }
}

TEST_F(EditorPainting, TranslucentDisabledAndShrunkControlsShowAtTheirOpacityAndSize) {
    const std::string thumbnail = "<dict name=\"thumbnail\"><integer name=\"width\" value=\"10\"/><integer "
                                  "name=\"height\" value=\"10\"/></dict>";
    buildAndOpen(
        node("Panel")
            .at(0, 0, 200, 100)
            .string("background", "#0000FF")
            .child(node("Panel")
                       .string("background", "#FF0000")
                       .real("transparency", 0.5)
                       .at(10, 10, 30, 30)
                       .child(node("Panel").string("background", "#00FF00").at(20, 20, 10, 10)))
            .child(node("Panel").string("background", "#FF0000").flag("enabled", false).at(50, 10, 30, 30))
            .child(node("Panel")
                       .id("thumb")
                       .string("background", "#00FF00")
                       .raw(thumbnail)
                       .flag("visible", false)
                       .at(100, 10, 40, 40)
                       .child(node("Panel").string("background", "#FF0000").at(20, 20, 20, 20))));
    const auto shown = snapshot();
    expectNear(rgb(shown->pixel(15, 15)), blend(kRed, kBlue, 127), "translucent");
    expectNear(rgb(shown->pixel(35, 35)), blend(kGreen, kBlue, 127), "translucent through its parent");
    expectNear(rgb(shown->pixel(60, 20)), blend(kRed, kBlue, 102), "disabled");
    expectNear(rgb(shown->pixel(102, 12)), kGreen, "thumbnail");
    expectNear(rgb(shown->pixel(108, 18)), kRed, "thumbnail's child, scaled down");
    expectNear(rgb(shown->pixel(125, 35)), kBlue, "beside the thumbnail");
    EXPECT_TRUE(control("thumb")->isVisible());
}

TEST_F(EditorPainting, ADropHighlightShowsOnlyTheOrangeDotEvenWithAHighlightColour) {
    buildAndOpen(node("Panel")
                     .at(0, 0, 100, 60)
                     .string("background", "#000000")
                     .child(node("Panel").id("both").at(10, 10, 20, 20))
                     .child(node("Panel").id("one").at(50, 10, 20, 20)));
    control("both")->setHighlight(colorGreen);
    control("both")->setFlags(Control::kDropHighlight);
    control("one")->setHighlight(colorGreen);
    tick();
    const auto shown = snapshot();
    expectNear(rgb(shown->pixel(14, 14)), {255, 190, 50}, "drop highlight");
    expectNear(rgb(shown->pixel(54, 14)), kGreen, "highlight");
}

TEST_F(EditorPainting, ANotificationOnAnotherThreadOnlyRecordsItsRedrawWhichTheNextTickPaints) {
    buildAndOpen(
        node("Panel")
            .at(0, 0, 100, 100)
            .child(node("Slider").id("s").parameter("Level").at(10, 10, 20, 60))
            .child(node("Panel").id("m").string("show", "true", " parameter=\"Mode\"").at(50, 10, 20, 20)));
    auto* slider = control<TestSlider>("s");
    slider->seen.paints.clear();
    EXPECT_FALSE(control("m")->isVisible());
    std::thread automation([&] {
        test::AllocationGuard guard("a host change reaching the editor and its controls");
        parameter("Level")->setNormalized(0.9f, Sender::kHost);
        parameter("Mode")->setNormalized(1.0f, Sender::kHost);
    });
    automation.join();
    EXPECT_TRUE(editor->getDirtyRects().empty());
    EXPECT_FALSE(control("m")->isVisible());
    tick();
    EXPECT_TRUE(control("m")->isVisible());
    EXPECT_FALSE(slider->seen.paints.empty());
    expectNear(rgb(snapshot()->pixel(20, 20)), kRed, "the slider's bar at 0.9");
}

TEST_F(EditorPainting, AZeroWidthPaintDrawsNothingAndAWholePaintThroughAContextDrawsEverything) {
    buildAndOpen(node("Panel").at(0, 0, 60, 40).string("background", "#00FF00"));
    background()->seen.paints.clear();
    editor->paint(editor->getCanvas(), Rect(0, 0, 0, 40));
    EXPECT_TRUE(background()->seen.paints.empty());
    editor->draw(nullptr);
    EXPECT_EQ(editor->getDirtyRects(), std::vector<Rect>{Rect(0, 0, 60, 40)});
    auto surface = platform::draw::Surface::create(60, 40);
    platform::draw::DrawContext context(surface);
    editor->draw(&context);
    expectNear(rgb(surface->pixel(30, 20)), kGreen, "painted through the context");
}

TEST_F(EditorPainting, ASmallPanelWithSkinsBarsAndPixelTextLooksAsBefore) {
    addSkin("plate", 120, 60, 0xff304050);
    buildAndOpen(
        node("Panel")
            .string("background", "plate")
            .child(node("Slider").parameter("Level").at(10, 10, 12, 40))
            .child(node("Panel").string("label", "AB12").at(30, 10, 60, 12))
            .child(node("Panel").string("background", "#FFFF00").real("transparency", 0.5).at(30, 30, 30, 20))
            .child(node("Panel").string("background", "#00FFFF").flag("enabled", false).at(70, 30, 30, 20)));
    EXPECT_EQ(editor->getSize(), Rect(0, 0, 120, 60)); // the skin's size
    const auto shown = snapshot();
    expectNear(rgb(shown->pixel(110, 5)), {0x30, 0x40, 0x50}, "the skin");
    test::expectMatchesReference("editor-panel", *shown);
}

TEST_F(EditorPainting, RectanglesQueuedOnAnotherThreadWhileTicksPaintAreAllPaintedByTheNextTick) {
    buildAndOpen(node("Panel").at(0, 0, 200, 100));
    background()->seen.paints.clear();
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 2000; ++i)
            editor->addDirtyRect(Rect(i % 190, (i / 190) % 90, 10, 10));
        editor->addDirtyRect(Rect(3, 4, 5, 6));
        done = true;
    });
    // The tick asks whether anything is queued while the worker queues.
    while (!done)
        tick();
    worker.join();
    tick();
    EXPECT_TRUE(editor->getDirtyRects().empty());
    bool last = false;
    for (const Rect& painted : background()->seen.paints)
        last = last || painted.contains(Rect(3, 4, 5, 6));
    EXPECT_TRUE(last) << "the last rectangle queued";
}
