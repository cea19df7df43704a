// A small panel of buttons, a menu and meters as a whole, in the pixel font: checked at places computed
// from the controls' looks and against its reference picture.
#include "plugin/Parameter.h"
#include "plugin/ParameterValue.h"
#include "plugin/PluginInfo.h"

#include "support/EditorHarness.h"
#include "support/PixelCheck.h"
#include "support/SnapshotCompare.h"

#include <gtest/gtest.h>

using namespace trov;
using test::node;
using test::rgb;
using test::specification;

namespace {

class ButtonsPanel : public test::EditorHarness {};

} // namespace

TEST_F(ButtonsPanel, ASmallPanelOfButtonsAMenuAndMetersLooksAsBefore) {
    addFrames("vu", 6, 40, {0xff302020, 0xff40e040});
    std::vector<std::uint32_t> leds(10, 0xff303030);
    leds.insert(leds.end(), 10, 0xffe0e040);
    addFrames("leds", 4, 6, leds, true);
    build(specification({}));
    getPluginInfo()->copyFont(0, Font("04b03", 8.0f, 0, 1, Font::kNoSmoothing | Font::kAlignLeft, 10.0f));
    parameter("Mode")->setNormalized(1.0f, Sender::kSettings);
    parameter("Source")->setNormalized(1.0f, Sender::kSettings);
    parameter("Speed")->setNormalized(0.5f, Sender::kSettings);
    dynamic_cast<ParameterValue<float>*>(parameter("Meter"))->setValue(0.5f, Sender::kSettings);
    buildAndOpen(node("Panel")
                     .at(0, 0, 160, 60)
                     .string("background", "#F0F0E0")
                     .child(node("Button").parameter("Mode").string("label", "ON").at(4, 4, 30, 14))
                     .child(node("Button").parameter("Level").string("label", "LV").at(38, 4, 30, 14))
                     .child(node("Button").parameter("Source").string("label", "SRC").at(72, 4, 30, 14))
                     .child(node("ButtonChoice").parameter("Shape").string("label", "W").at(4, 22, 30, 14))
                     .child(node("PopupMenu").parameter("Speed").at(38, 22, 64, 14))
                     .child(node("VUMeter").parameter("Meter").string("handle", "vu").at(110, 4, 6, 80))
                     .child(node("VUMeterLED").parameter("Meter").string("handle", "leds").at(4, 44, 40, 6)));
    const auto shown = snapshot();
    test::expectNear(rgb(shown->pixel(4, 4)), test::kBlack, "the on button's frame");
    test::expectNear(rgb(shown->pixel(5, 5)), rgb(colorOrange), "the on button's fill");
    test::expectNear(rgb(shown->pixel(39, 5)), test::kWhite, "the off button's fill");
    test::expectNear(rgb(shown->pixel(100, 16)), rgb(colorOrange), "the enumeration button's highlight");
    test::expectNear(rgb(shown->pixel(5, 23)), rgb(colorOrange), "the choice button");
    // A level of 0.5: the meter's lower 20 of 40 rows are lit; 8 of the 10 LEDs (-6 dB).
    test::expectNear(rgb(shown->pixel(112, 4 + 19)), {0x30, 0x20, 0x20}, "the meter's last unlit row");
    test::expectNear(rgb(shown->pixel(112, 4 + 20)), {0x40, 0xE0, 0x40}, "the meter's first lit row");
    test::expectNear(rgb(shown->pixel(4 + 8 * 4 - 1, 46)), {0xE0, 0xE0, 0x40}, "the eighth LED, lit");
    test::expectNear(rgb(shown->pixel(4 + 8 * 4, 46)), {0x30, 0x30, 0x30}, "the ninth LED, unlit");
    test::expectMatchesReference("buttons-panel", *shown);
}
