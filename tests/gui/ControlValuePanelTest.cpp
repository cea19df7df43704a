// A small panel of value controls as a whole: a drawn knob, a plain slider, a range bar and a value display
// in a bitmap font, checked at computed places and against its reference picture.
#include "plugin/Parameter.h"

#include "support/EditorHarness.h"
#include "support/PixelCheck.h"
#include "support/SnapshotCompare.h"

#include <gtest/gtest.h>

using namespace trov;
using test::node;
using test::rgb;
using test::specification;

namespace {

class ValuePanel : public test::EditorHarness {};

} // namespace

TEST_F(ValuePanel, ASmallPanelOfValueControlsLooksAsBefore) {
    const std::string glyphs = "0123456789-";
    addSkin("glyphs", 4 * static_cast<int>(glyphs.size()), 6, 0xff203080, static_cast<int>(glyphs.size()),
            glyphs);
    build(
        specification({node("Panel")
                           .id("special::background")
                           .at(0, 0, 150, 50)
                           .string("background", "#F0F0E0")
                           .child(node("Knob").parameter("Level").at(4, 4, 30, 30))
                           .child(node("Library:Slider").parameter("Level").integer("x", 40).integer("y", 4))
                           .child(node("Range").parameter("Amount").at(40, 20, 100, 12))
                           .child(node("Display")
                                      .parameter("Steps")
                                      .integer("digits", 3)
                                      .string("alphabet", "glyphs")
                                      .at(40, 38, 40, 6))}));
    parameter("Level")->setNormalized(0.3f, Sender::kSettings);
    parameter("Amount")->setNormalized(0.6f, Sender::kSettings);
    parameter("Steps")->setNormalized(2.0f / 3.0f, Sender::kSettings);
    open();
    tick();
    const auto shown = snapshot();
    // The slider's bar: trunc(98 x 0.3) = 29 columns after the frame; the range bar's trunc(98 x 0.6) = 58.
    test::expectNear(rgb(shown->pixel(40 + 29, 6)), {255, 127, 0}, "the slider's last orange column");
    test::expectNear(rgb(shown->pixel(40 + 30, 6)), test::kWhite, "the slider's field");
    test::expectNear(rgb(shown->pixel(40 + 58, 22)), test::kRed, "the range bar's last red column");
    test::expectNear(rgb(shown->pixel(40 + 59, 22)), {0xF0, 0xF0, 0xE0}, "after the range bar");
    // "002": three glyphs of 4 pixels.
    test::expectNear(rgb(shown->pixel(40 + 11, 40)), {0x20, 0x30, 0x80}, "the third glyph");
    test::expectNear(rgb(shown->pixel(40 + 12, 40)), {0xF0, 0xF0, 0xE0}, "after the third glyph");
    test::expectMatchesReference("value-panel", *shown);
}
