// The knob (a filmstrip frame or a drawn arc by its value, its size, where the pointer counts as over it)
// and the bitmap control (the bitmap of the last listed parameter switched on, its size from its skin).
#include "gui/Bitmap.h"
#include "gui/controls/ControlBitmap.h"
#include "gui/controls/ControlValueKnob.h"
#include "plugin/Parameter.h"

#include "support/EditorHarness.h"
#include "support/PixelCheck.h"

#include <gtest/gtest.h>

#include <vector>

using namespace trov;
using test::kBlack;
using test::kBlue;
using test::kRed;
using test::kWhite;
using test::node;
using test::rgb;
using test::specification;

namespace {

constexpr int kFrames = 64;

class Knobs : public test::EditorHarness {
protected:
    Knobs() {
        // Frame i of the filmstrip has red 4 i.
        std::vector<std::uint32_t> reds;
        for (std::uint32_t i = 0; i < kFrames; ++i)
            reds.push_back(0xff000000u | ((4 * i) << 16));
        addFrames("strip", 20, 20, reds);
        addFrames("small", 20, 20, {0xff0000ff});
        addFrames("wide", 50, 40, {0xff00ff00});
        build(specification(
            {node("Panel")
                 .id("special::background")
                 .at(0, 0, 300, 200)
                 .string("background", "#FFFFFF")
                 .child(
                     node("Knob").id("strip").parameter("Level").string("handle", "strip").at(10, 10, 20, 20))
                 .child(node("Knob").id("drawn").parameter("Level").at(40, 10, 30, 30))
                 .child(node("Knob").id("unbound").at(80, 10, 30, 30))
                 .child(node("Knob").id("default").parameter("Level").integer("x", 10).integer("y", 100))
                 .child(node("Knob").id("width").parameter("Level").integer("width", 40).integer("y", 140))
                 .child(node("Knob")
                            .id("grown")
                            .parameter("Level")
                            .string("handle", "wide")
                            .integer("x", 120)
                            .integer("y", 100))
                 .child(node("Knob")
                            .id("large")
                            .parameter("Level")
                            .string("handle", "small")
                            .at(200, 120, 60, 60))}));
        open();
    }
    ControlValueKnob* knob(const std::string& id) const { return control<ControlValueKnob>(id); }
    void level(float v) {
        parameter("Level")->setNormalized(v, Sender::kSettings);
        tick();
    }
    test::Rgb at(const std::string& id, int x, int y) {
        const Point p = knob(id)->getAbsoluteRect().getTopLeft() + Point(x, y);
        return rgb(snapshot()->pixel(p.x, p.y));
    }
};

} // namespace

TEST_F(Knobs, AFilmstripShowsTheFrameTheValuePicksRoundingHalvesToEven) {
    const std::pair<float, int> cases[] = {{0.0f, 0}, {1.0f, 63}, {0.5f, 32}, {0.25f, 16}, {0.1f, 6}};
    for (const auto& [v, frame] : cases) {
        level(v);
        EXPECT_EQ(knob("strip")->frameFor(v), frame) << v;
        EXPECT_EQ(at("strip", 10, 10)[0], 4 * frame) << v;
    }
}

TEST_F(Knobs, ADrawnKnobHasAnArcOverTheTopAndAPointerOverTheOuterHalfOfTheRadius) {
    // 30 x 30: the ellipse (4, 4, 26, 26), radius 11 around (15, 15).
    level(0.5f);
    test::expectNear(at("drawn", 15, 7), kBlack, "the pointer straight up, from (15, 10) to (15, 4)");
    test::expectNear(at("drawn", 15, 12), kWhite, "the inner half of the radius");
    test::expectNear(at("drawn", 15, 4), kBlack, "the arc's top");
    test::expectNear(at("drawn", 15, 26), kWhite, "the gap at the bottom");
    test::expectNear(at("drawn", 10, 20), kWhite, "no pointer to the lower left");
    level(0.0f);
    // At -5/4 pi the pointer ends at (15 - 7, 15 + 7) and starts halfway, at (12, 18).
    test::expectNear(at("drawn", 10, 20), kBlack, "the pointer to the lower left");
    test::expectNear(at("drawn", 15, 7), kWhite, "no pointer up");
    test::expectNear(at("unbound", 15, 4), kWhite, "an unbound knob draws nothing");
}

TEST_F(Knobs, AKnobIsThirtyPixelsSquareUnlessTheNodeOrItsFilmstripFrameIsLarger) {
    EXPECT_EQ(knob("default")->getBounds(), Rect(10, 100, 30, 30));
    EXPECT_EQ(knob("width")->getBounds(), Rect(0, 140, 40, 30));
    EXPECT_EQ(knob("grown")->getBounds(), Rect(120, 100, 50, 40));
    EXPECT_EQ(knob("large")->getBounds(), Rect(200, 120, 60, 60));
}

TEST_F(Knobs, ThePointerIsOverAFilmstripKnobOnlyInsideTheFilmstripsPartInUse) {
    level(0.0f);
    drag(250, 170, 250, 100); // (50, 50) of the knob: beyond the 20 x 20 frame
    EXPECT_FLOAT_EQ(parameter("Level")->getNormalized(), 0.0f);
    tick(20);
    drag(210, 130, 210, 24); // (10, 10): on it; 100 pixels beyond the dead zone
    EXPECT_FLOAT_EQ(parameter("Level")->getNormalized(), 0.25f);
}

namespace {

class Bitmaps : public test::EditorHarness {
protected:
    Bitmaps() {
        addSkin("a", 20, 20, 0xffff0000);
        addSkin("b", 20, 20, 0xff0000ff);
        addSkin("plate", 40, 30, 0xff00ff00);
        const char* lamps = "<array name=\"bitmaps\"><string display=\"Mode\" value=\"a\"/>"
                            "<string display=\"Hold\" value=\"b\"/></array>";
        build(specification(
            {node("Panel")
                 .id("special::background")
                 .at(0, 0, 200, 100)
                 .string("background", "#FFFFFF")
                 .child(node("Bitmap").id("lamps").raw(lamps).at(10, 10, 20, 20))
                 .child(node("Bitmap").id("plate").parameter("Level").at(50, 10, 0, 0))
                 .child(node("Bitmap").id("nothing").string("background", "a").at(100, 10, 0, 0))}));
        open();
        tick();
    }
    ControlBitmap* lamps() const { return control<ControlBitmap>("lamps"); }
    void set(const char* name, bool on) {
        parameter(name)->setNormalized(on ? 1.0f : 0.0f, Sender::kSettings);
        tick();
    }
    test::Rgb shown() { return rgb(snapshot()->pixel(20, 20)); }
};

} // namespace

TEST_F(Bitmaps, TheBitmapOfTheLastListedParameterSwitchedOnShowsUntilThatOneGoesOff) {
    EXPECT_EQ(lamps()->getCurrentBitmap(), nullptr);
    set("Mode", true);
    test::expectNear(shown(), kRed, "Mode on");
    set("Hold", true);
    test::expectNear(shown(), kBlue, "Hold on after it");
    set("Mode", false);
    test::expectNear(shown(), kBlue, "Mode off leaves Hold's");
    set("Hold", false);
    test::expectNear(shown(), kWhite, "Hold off clears it");
    EXPECT_EQ(lamps()->getCurrentBitmap(), nullptr);
}

TEST_F(Bitmaps, ASwitchedOnNameThatIsNotListedClearsTheBitmap) {
    set("Mode", true);
    const char* other = "Other";
    EXPECT_TRUE(lamps()->receive(ParameterMessage(nullptr, Code::kParameterValue, other, 0, 1, 1.0f, 0)));
    EXPECT_EQ(lamps()->getCurrentBitmap(), nullptr);
}

TEST_F(Bitmaps, AnIdNamingASkinIsTheBackgroundWhoseSizeAnUnsizedControlTakes) {
    Control* plate = control<ControlBitmap>("plate");
    EXPECT_EQ(plate->getBounds(), Rect(50, 10, 40, 30));
    test::expectNear(rgb(snapshot()->pixel(70, 25)), test::kGreen, "the plate");
    // An id that is no skin leaves the background named by "background".
    EXPECT_EQ(control<ControlBitmap>("nothing")->getBounds(), Rect(100, 10, 20, 20));
    // Bound to nothing, even when the node names a parameter; presses and releases are taken.
    EXPECT_EQ(plate->getParameter(), nullptr);
    for (const std::int32_t code : {3000, 3002, 3003, 3005})
        EXPECT_TRUE(plate->receive(WindowMessage(nullptr, code, 0, Point(1, 1), 0))) << code;
}
