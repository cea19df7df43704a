// The scrollbar a control makes for itself: its strip, the content length its control's size gives it,
// page clicks, thumb drags, double clicks and the wheel within the content's ends, its drawing, and a
// scrollbar without height.
#include "gui/controls/ControlScrollbar.h"

#include "support/EditorHarness.h"
#include "support/PixelCheck.h"

#include <gtest/gtest.h>

using namespace trov;
using test::node;
using test::rgb;
using test::specification;
using test::TestPanel;

namespace {

constexpr test::Rgb kGrey{190, 190, 190};

// A view of 100 x 100 with a vertical scrollbar at x 89 to 99 over content 400 high, and a view beside it
// whose content fits.
class Scrollbars : public test::EditorHarness {
protected:
    Scrollbars() {
        build(specification({node("Panel")
                                 .id("special::background")
                                 .at(0, 0, 300, 100)
                                 .string("background", "#FFFFFF")
                                 .child(node("Panel").id("view").at(0, 0, 100, 100))
                                 .child(node("Panel").id("short").at(150, 0, 100, 100))}));
        open();
        view()->addScrollbar(1);
        view()->setSize(Rect(0, 0, 100, 400));
        control("short")->addScrollbar(1);
        control("short")->setSize(Rect(0, 0, 100, 80));
        tick();
    }
    TestPanel* view() const { return control("view"); }
    ControlScrollbar* bar(const std::string& id = "view") const {
        return static_cast<ControlScrollbar*>(control(id)->getScrollbar(1));
    }
    int scroll() const { return bar()->getScroll(); }
    void clickBar(int y) {
        tick(20); // never a double click
        click(94, y);
    }
    WindowMessage at(std::int32_t code, int y, MessageWord extra = 0) const {
        return WindowMessage(nullptr, code, 0, Point(5, y), extra);
    }
};

} // namespace

TEST_F(Scrollbars, AControlsScrollbarsAreTenPixelStripsAlongItsBottomAndRightEdgesMadeOnce) {
    Control* bottom = nullptr;
    control("short")->addScrollbar(0);
    bottom = control("short")->getScrollbar(0);
    ASSERT_NE(bottom, nullptr);
    EXPECT_EQ(bottom->getBounds(), Rect(Point(0, 69), Point(100, 79))); // the control is 80 high now
    EXPECT_EQ(bar("short")->getBounds(), Rect(Point(89, 0), Point(99, 100)));
    EXPECT_EQ(bottom->getClipMode(), Control::kNoClip);
    control("short")->addScrollbar(0);
    EXPECT_EQ(control("short")->getScrollbar(0), bottom);
    EXPECT_EQ(control("short")->getChildren().size(), 2u);
    // The control's size is its content's: the width along the bottom, the height along the right.
    control("short")->setSize(Rect(0, 0, 150, 120));
    EXPECT_EQ(static_cast<ControlScrollbar*>(bottom)->getContentHeight(), 150);
    EXPECT_EQ(bar("short")->getContentHeight(), 120);
}

TEST_F(Scrollbars, PageClicksScrollNineTenthsOfTheViewAndNeverPastTheContentsEnds) {
    EXPECT_EQ(bar()->getThumbRect(), Rect(0, 0, 10, 25)); // 100 x 100 / 400
    clickBar(80);                                         // below the thumb
    EXPECT_EQ(scroll(), -90);
    EXPECT_EQ(view()->getBounds().top, -90);
    EXPECT_EQ(bar()->getBounds().top, 90); // the bar stays where it is shown
    EXPECT_EQ(bar()->getAbsoluteRect(), Rect(89, 0, 10, 100));
    EXPECT_EQ(bar()->getThumbRect(), Rect(0, 22, 10, 25));
    for (int i = 0; i < 4; ++i)
        clickBar(95);
    EXPECT_EQ(scroll(), -300);
    EXPECT_EQ(view()->getBounds().top, -300);
    clickBar(2); // above the thumb
    EXPECT_EQ(scroll(), -210);
    for (int i = 0; i < 3; ++i)
        clickBar(2);
    EXPECT_EQ(scroll(), 0);
    EXPECT_EQ(view()->getBounds().top, 0);
}

TEST_F(Scrollbars, TheThumbDragsTheContentFourPixelsPerPixelAndTheWheelTwentyPerNotch) {
    drag(94, 10, 94, 30); // on the thumb, 20 pixels down: 400 / 100 each
    EXPECT_EQ(scroll(), -80);
    move(94, 50);
    wheel(94, 50, -120);
    EXPECT_EQ(scroll(), -100);
    wheel(94, 50, 240);
    EXPECT_EQ(scroll(), -60);
}

TEST_F(Scrollbars, ADoubleClickBringsTheThumbTowardsThePointer) {
    // Below the thumb (0 to 25): 60 - 12 - 0 less the thumb's 25 = 23 pixels of view, 92 of content.
    EXPECT_TRUE(bar()->receive(at(3001, 60)));
    EXPECT_EQ(scroll(), -92);
}

TEST_F(Scrollbars, ContentThatFitsTakesNoInputAndIsDrawnOnlyWithoutAutoHide) {
    for (const std::int32_t code : {3000, 3001, 3009, 3011})
        EXPECT_FALSE(bar("short")->receive(at(code, 50, 120))) << code;
    EXPECT_EQ(bar("short")->getScroll(), 0);
    const auto shown = snapshot();
    test::expectNear(rgb(shown->pixel(150 + 89, 50)), test::kWhite, "no track");
    bar("short")->setAutoHide(false);
    tick();
    test::expectNear(rgb(snapshot()->pixel(150 + 89, 50)), kGrey, "the track's frame");
}

TEST_F(Scrollbars, TheTrackAndTheThumbAreGrey) {
    const auto shown = snapshot();
    test::expectNear(rgb(shown->pixel(89, 50)), kGrey, "the frame");
    test::expectNear(rgb(shown->pixel(94, 12)), kGrey, "the thumb, inset by 2");
    test::expectNear(rgb(shown->pixel(94, 50)), test::kWhite, "the track below the thumb");
}

TEST_F(Scrollbars, ShorterContentScrollsBackIntoViewAndLayoutBringsItToTheTop) {
    for (int i = 0; i < 4; ++i)
        clickBar(95);
    ASSERT_EQ(scroll(), -300);
    view()->setSize(Rect(0, 0, 100, 250));
    EXPECT_EQ(scroll(), -150); // its end at the view's bottom
    EXPECT_EQ(view()->getBounds().top, -150);
    bar()->layout();
    EXPECT_EQ(scroll(), 0);
    EXPECT_EQ(view()->getBounds().top, 0);
    clickBar(95);
    view()->setSize(Rect(0, 0, 100, 80));
    EXPECT_EQ(scroll(), 0);
}

TEST_F(Scrollbars, AScrollbarWithoutHeightTakesNothingRatherThanDividingByIt) {
    ControlScrollbar flat(nullptr, editor.get(), Rect(0, 0, 10, 0));
    flat.setContentHeight(50);
    for (const std::int32_t code : {3000, 3001, 3009, 3011})
        EXPECT_FALSE(flat.receive(WindowMessage(nullptr, code, 0, Point(5, 0), 120))) << code;
    EXPECT_EQ(flat.getScroll(), 0);
}
