// The slider (plain bar, filled and moved handles, the jump to a press, grabbing anywhere, the speed
// matched to its track, Alt reaching its children) and the range bar growing from the slider's handle.
#include "gui/controls/ControlValueRange.h"
#include "gui/controls/ControlValueSlider.h"
#include "plugin/Parameter.h"

#include "support/EditorHarness.h"
#include "support/PixelCheck.h"

#include <gtest/gtest.h>

using namespace trov;
using test::kBlack;
using test::kBlue;
using test::kGreen;
using test::kRed;
using test::kWhite;
using test::node;
using test::rgb;
using test::specification;

namespace {

constexpr test::Rgb kOrange{255, 127, 0}, kGrey{128, 128, 128}, kTrack{192, 192, 192};

// A vertical slider over a 20 x 200 track with a 20 x 10 handle, holding a range bar over its track.
test::ControlNode movedSlider(const std::string& id, const std::string& direction, int x) {
    return node("Library:Slider")
        .id(id)
        .parameter("Level")
        .string("background", "track")
        .string("handle", "handle")
        .integer("x", x)
        .integer("y", 50)
        .child(node("Range")
                   .id(id + ".range")
                   .parameter("Amount")
                   .string("handle", "bar")
                   .string("direction", direction)
                   .at(0, 0, 20, 200));
}

class Sliders : public test::EditorHarness {
protected:
    Sliders() {
        addSkin("track", 20, 200, 0xffc0c0c0);
        addSkin("handle", 20, 10, 0xff0000ff);
        addSkin("bar", 20, 200, 0xff00ff00);
        addSkin("htrack", 200, 20, 0xffc0c0c0);
        addSkin("hhandle", 10, 20, 0xff0000ff);
        addFrames("fill", 20, 100, {0xff808080, 0xff00ff00});
        addFrames("hfill", 100, 20, {0xff808080, 0xff00ff00});
        build(specification(
            {node("Panel")
                 .id("special::background")
                 .at(0, 0, 500, 300)
                 .string("background", "#FFFFFF")
                 .child(
                     node("Library:Slider").id("plain").parameter("Level").integer("x", 10).integer("y", 10))
                 .child(node("Library:Slider")
                            .id("vfill")
                            .parameter("Level")
                            .string("handle", "fill")
                            .string("type", "fill")
                            .at(120, 10, 20, 100))
                 .child(node("Library:Slider")
                            .id("hfill")
                            .parameter("Level")
                            .string("handle", "hfill")
                            .string("type", "fill")
                            .flag("horizontal", true)
                            .at(150, 10, 100, 20))
                 .child(movedSlider("move", "min2max", 10).string("altreverse", "Hold"))
                 .child(movedSlider("down", "max2min", 40))
                 .child(movedSlider("centered", "centered", 70))
                 .child(node("Library:Slider")
                            .id("grab")
                            .parameter("Fine")
                            .string("background", "track")
                            .string("handle", "handle")
                            .flag("grabanywhere", true)
                            .integer("x", 100)
                            .integer("y", 50))
                 .child(node("Library:Slider")
                            .id("hmove")
                            .parameter("Volume")
                            .string("background", "htrack")
                            .string("handle", "hhandle")
                            .flag("horizontal", true)
                            .integer("x", 150)
                            .integer("y", 50))
                 .child(node("Library:Slider")
                            .id("off")
                            .flag("enabled", false)
                            .integer("x", 380)
                            .integer("y", 10))
                 .child(node("Range").id("redbar").parameter("Amount").at(150, 270, 100, 12))
                 .child(node("Range")
                            .id("orphan")
                            .parameter("Amount")
                            .string("handle", "bar")
                            .at(300, 90, 20, 170))}));
        open();
    }
    ControlValueSlider* slider(const std::string& id) const { return control<ControlValueSlider>(id); }
    void set(const char* name, float v) {
        parameter(name)->setNormalized(v, Sender::kSettings);
        tick();
    }
    // "Amount" runs from -1 to 1.
    void amount(float v) { set("Amount", (v + 1.0f) / 2.0f); }
    test::Rgb at(int x, int y) { return rgb(snapshot()->pixel(x, y)); }
};

} // namespace

TEST_F(Sliders, APlainSliderIsAHundredByTwelveWithAnOrangeBarOfNinetyEightTimesItsValue) {
    EXPECT_EQ(slider("plain")->getBounds(), Rect(10, 10, 100, 12));
    for (const auto& [v, bar] : {std::pair{0.5f, 49}, std::pair{0.25f, 24}}) {
        set("Level", v);
        test::expectNear(at(10, 12), kBlack, "the frame");
        test::expectNear(at(11, 12), kOrange, "the bar's first column");
        test::expectNear(at(10 + bar, 12), kOrange, "the bar's last column");
        test::expectNear(at(11 + bar, 12), kWhite, "the field after the bar");
        test::expectNear(at(109, 12), kBlack, "the frame's right edge");
    }
}

TEST_F(Sliders, AFilledSliderShowsItsSecondFrameOverTheValuesShareFromTheBottomOrFromTheLeft) {
    set("Level", 0.25f);
    // Vertical, 20 x 100 frames: 75 rows of the empty frame over 25 of the full one.
    test::expectNear(at(130, 10 + 74), kGrey, "the empty frame's last row");
    test::expectNear(at(130, 10 + 75), kGreen, "the full frame's first row");
    set("Level", 0.3f);
    // Horizontal, 100 x 20 frames: 30 columns of the full one from the left.
    test::expectNear(at(150 + 29, 20), kGreen, "the full frame's last column");
    test::expectNear(at(150 + 30, 20), kGrey, "the empty frame's first column");
}

TEST_F(Sliders, AMovedHandleRunsUpItsTrackAndAPressAwayFromItJumpsThereBeforeTheDrag) {
    EXPECT_EQ(slider("move")->getBounds(), Rect(10, 50, 20, 200)); // the track's size
    EXPECT_FLOAT_EQ(slider("move")->getDragSpeed(), 2.0f);         // 1 / (200 x 0.0025)
    amount(0.0f);
    set("Level", 0.5f);
    // y = 200 - 10 - trunc(0.5 x 190) = 95; x centred on the track's left edge.
    EXPECT_EQ(slider("move")->getHandleRect(), Rect(-10, 95, 20, 10));
    test::expectNear(at(15, 50 + 95), kBlue, "the handle's top row");
    test::expectNear(at(15, 50 + 94), kTrack, "above the handle");
    test::expectNear(at(15, 50 + 105), kTrack, "below the handle");
    set("Level", 0.0f);
    tick(20);
    // From 1 - (100 - 5) / 190 = 0.5, 38 pixels beyond the dead zone at speed 2 add 0.19.
    drag(15, 150, 15, 106);
    EXPECT_NEAR(parameter("Level")->getNormalized(), 0.69f, 1e-5);
    tick(20);
    // On the handle (rows 59 to 68 at 0.69, taken 8 rows further): no jump.
    press(15, 50 + 64);
    EXPECT_NEAR(parameter("Level")->getNormalized(), 0.69f, 1e-5);
    release(15, 50 + 64);
}

TEST_F(Sliders, AHorizontalMovedHandleRunsRightwardsAndJumpsTheSameWay) {
    set("Volume", 0.5f);
    EXPECT_EQ(slider("hmove")->getHandleRect(), Rect(95, -10, 10, 20));
    test::expectNear(at(150 + 95, 55), kBlue, "the handle's first column");
    test::expectNear(at(150 + 94, 55), kTrack, "left of the handle");
    set("Volume", 0.0f);
    tick(20);
    click(150 + 100, 55); // (100 - 5) / 190
    EXPECT_FLOAT_EQ(parameter("Volume")->getNormalized(), 0.5f);
}

TEST_F(Sliders, GrabbingAnywhereDragsFromThePressWithoutAJumpAndControlResets) {
    set("Fine", 0.0f);
    drag(105, 150, 105, 44); // 100 pixels beyond the dead zone at speed 2
    EXPECT_FLOAT_EQ(parameter("Fine")->getNormalized(), 0.5f);
    driver.key(platform::VirtualKey::kControl, true);
    tick(20);
    click(105, 150);
    driver.key(platform::VirtualKey::kControl, false);
    flush();
    EXPECT_FLOAT_EQ(parameter("Fine")->getNormalized(), 0.0f);
}

TEST_F(Sliders, AltReachesTheSlidersChildrenAndAltReverseTurnsThatRound) {
    const Point p(5, 30);
    ControlValueSlider* move = slider("move");
    Control* range = control<ControlValueRange>("move.range");
    EXPECT_EQ(move->findControlAt(p), move);
    driver.key(platform::VirtualKey::kAlt, true);
    flush();
    EXPECT_EQ(move->findControlAt(p), range);
    set("Hold", true);
    EXPECT_EQ(move->findControlAt(p), move);
    driver.key(platform::VirtualKey::kAlt, false);
    flush();
    EXPECT_EQ(move->findControlAt(p), range);
    // A disabled slider takes no pointer input.
    EXPECT_EQ(slider("off")->findControlAt(Point(5, 5)), nullptr);
}

TEST_F(Sliders, ARangeBarGrowsFromTheSlidersHandleByItsParametersOwnValue) {
    set("Level", 0.5f); // the handle on rows 95 to 104 of each track
    amount(0.25f);
    // Up: min(95 rows of room, round(191 x 0.25) = 48) rows ending at the handle's top.
    test::expectNear(at(15, 50 + 46), kTrack, "above the bar");
    test::expectNear(at(15, 50 + 47), kGreen, "the bar's top");
    test::expectNear(at(15, 50 + 94), kGreen, "the bar's bottom");
    test::expectNear(at(15, 50 + 95), kBlue, "the handle over it");
    // Down: the same rows starting at the handle's bottom.
    test::expectNear(at(45, 50 + 105), kGreen, "max2min's first row");
    test::expectNear(at(45, 50 + 152), kGreen, "max2min's last row");
    test::expectNear(at(45, 50 + 153), kTrack, "below max2min");
    test::expectNear(at(75, 50 + 47), kGreen, "centered, positive: up");
    amount(-0.25f);
    test::expectNear(at(75, 50 + 47), kTrack, "centered, negative: not up");
    test::expectNear(at(75, 50 + 105), kGreen, "centered, negative: down");
    test::expectNear(at(15, 50 + 47), kGreen, "min2max by the magnitude");
    amount(1.0f);
    test::expectNear(at(15, 50 + 0), kGreen, "the whole room");
    // Outside a slider there is no room above the handle.
    test::expectNear(at(305, 150), kWhite, "no slider");
}

TEST_F(Sliders, ARangeBarWithoutHandleIsARedBarOfItsNormalisedValue) {
    amount(0.5f); // normalised 0.75
    test::expectNear(at(150, 272), kBlack, "the frame");
    test::expectNear(at(150 + 73, 272), kRed, "trunc(98 x 0.75) = 73 columns");
    test::expectNear(at(150 + 74, 272), kWhite, "after the bar");
}
