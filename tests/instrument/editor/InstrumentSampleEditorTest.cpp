// The instrument's sample editor: the zone's points dragged at full size and on the thumbnail (a fifth of
// the size, its points mapped fivefold), the double click between the two displays, the contrast flicker,
// the view of the current zone, and the texts without a sample and of the memory in use.
#include "engine/zones/Zone.h"
#include "instrument/InstrumentKeys.h"
#include "instrument/editor/OstrelSampleEditor.h"
#include "plugin/Settings.h"

#include "support/InstrumentEditorHarness.h"
#include "support/SampleTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <thread>

using namespace trov;
using test::node;

namespace {

constexpr int kX = 10;
constexpr int kY = 10;
constexpr int kW = 200;
constexpr int kH = 100;
// The thumbnail: a fifth of the full size, at the same place.
constexpr int kThumbW = kW / 5;
constexpr int kThumbH = kH / 5;
constexpr int kFrames = 10000;
constexpr float kPerPixel = (kFrames - 1.0f) / kW;

std::int32_t framesFor(float pixels) {
    return static_cast<std::int32_t>(std::trunc(pixels * kPerPixel));
}

class InstrumentSampleEditor : public test::InstrumentEditorHarness {
protected:
    void buildEditor(bool thumbnail) {
        test::ControlNode editorNode =
            node("SampleEditor").id("se").at(kX, kY, kW, kH).flag("editable", true);
        // Hidden, a control with a thumbnail shows the thumbnail.
        if (thumbnail)
            editorNode.flag("visible", false)
                .raw("<dict name=\"thumbnail\"><integer name=\"x\" value=\"" + std::to_string(kX) +
                     "\"/><integer name=\"y\" value=\"" + std::to_string(kY) +
                     "\"/><integer name=\"width\" value=\"" + std::to_string(kThumbW) +
                     "\"/><integer name=\"height\" value=\"" + std::to_string(kThumbH) + "\"/></dict>");
        buildAndOpen(node("Container").at(0, 0, 300, 150).string("background", "#000000").child(editorNode));
    }
    OstrelSampleEditor* se() const { return control<OstrelSampleEditor>("se"); }

    // The current zone over a constant sample of kFrames frames with its start at 2000, end at 8000, loop
    // 4000..6000 (unless told otherwise) and the whole sample in view.
    void zoneWithLoop(bool looped = true, std::vector<float> data = std::vector<float>(kFrames, 0.2f)) {
        world.base.add("take", data, 60);
        zones()->createZone(KeyRange(36, 96), "take");
        const SharedObjectPtr<Zone> zone(zones()->getCurrentZone());
        const Dictionary document(std::string(
            "<?xml version=\"1.0\"?><dict><file-format value=\"0.7.0\"/><zone><id value=\"take\"/>"
            "<min value=\"36\"/><max value=\"96\"/><parameters><SampleStart value=\"2000\"/>"
            "<SampleEnd value=\"8000\"/><SampleDisplayStart value=\"0\"/><SampleDisplayEnd value=\"9999\"/>"
            "</parameters>" +
            std::string(looped ? "<loops><loop><start value=\"4000\"/><end value=\"6000\"/>"
                                 "<mode value=\"until-release\"/></loop></loops>"
                               : "") +
            "</zone></dict>"));
        zone->fromDictionary(Dictionary(*document.getDictionary("zone")));
        se()->loadZoneView();
        tick();
    }
    SharedObjectPtr<Zone> current() const { return SharedObjectPtr<Zone>(zones()->getCurrentZone()); }
    std::int32_t value(const char* name) const { return current()->getParameterLong(name); }
    void dragAcross(int x0, int y0, int x1, int y1) {
        tick(20);
        drag(x0, y0, x1, y1);
        tick();
    }
    // The smallest rectangle holding the white pixels of the area (editor coordinates): the control's
    // opacity flickers a little below 1.
    Rect whiteIn(const Rect& area) const {
        const auto shot = snapshot();
        Rect found;
        bool any = false;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                if (const auto p = shot->pixel(x, y);
                    ((p >> 16) & 0xFF) >= 200 && ((p >> 8) & 0xFF) >= 200 && (p & 0xFF) >= 200) {
                    found = any ? found.unite(Rect(x, y, 1, 1)) : Rect(x, y, 1, 1);
                    any = true;
                }
        return found;
    }
};

TEST_F(InstrumentSampleEditor, AtFullSizeTheStartEndAndLoopMoveByTheFramesOfThePixelsDragged) {
    buildEditor(false);
    ASSERT_NE(se(), nullptr);
    zoneWithLoop();
    // Start 40, loop 80..120, end 160: four steps of five pixels right each.
    dragAcross(kX + 40, kY + 50, kX + 60, kY + 50);
    EXPECT_EQ(value("SampleStart"), 2000 + 4 * framesFor(5));
    dragAcross(kX + 160, kY + 50, kX + 180, kY + 50);
    EXPECT_EQ(value("SampleEnd"), 8000 + 4 * framesFor(5));
    dragAcross(kX + 80, kY + 50, kX + 70, kY + 50);
    EXPECT_EQ(current()->getLoop().start, 4000 - 2 * framesFor(5));
    dragAcross(kX + 120, kY + 50, kX + 130, kY + 50);
    EXPECT_EQ(current()->getLoop().end, 6000 + 2 * framesFor(5));
}

TEST_F(InstrumentSampleEditor, OnTheThumbnailEveryPointIsFiveTimesFartherOnTheWaveform) {
    buildEditor(true);
    ASSERT_TRUE(se()->isShrunk());
    EXPECT_EQ(se()->getRect(), Rect(kX, kY, kThumbW, kThumbH));
    zoneWithLoop();
    // The start's column 40 is the thumbnail's 8: one step of one thumbnail pixel is five on the waveform.
    dragAcross(kX + 8, kY + 10, kX + 9, kY + 10);
    EXPECT_EQ(value("SampleStart"), 2000 + framesFor(5));
    dragAcross(kX + 32, kY + 10, kX + 34, kY + 10);
    EXPECT_EQ(value("SampleEnd"), 8000 + framesFor(10));
    dragAcross(kX + 24, kY + 10, kX + 23, kY + 10);
    EXPECT_EQ(current()->getLoop().end, 6000 - framesFor(5));
    dragAcross(kX + 16, kY + 10, kX + 17, kY + 10);
    EXPECT_EQ(current()->getLoop().start, 4000 + framesFor(5));
}

TEST_F(InstrumentSampleEditor, WithZeroSnapAPointDraggedOnTheThumbnailLandsOnTheNearestZeroCrossing) {
    buildEditor(true);
    // The sign changes every 100 frames.
    std::vector<float> data(kFrames);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = (i / 100) % 2 == 0 ? 0.5f : -0.5f;
    zoneWithLoop(true, data);
    // The instrument names no switch for it; the library's sample editor follows the name all the same.
    se()->receive(
        ParameterMessage(nullptr, Code::kParameterValue, "SampleZeroSnap", 0, 1, 1.0f, Sender::kSettings));
    dragAcross(kX + 32, kY + 10, kX + 31, kY + 10); // the end, one thumbnail pixel left
    const std::int32_t dragged = 8000 - framesFor(5);
    const std::int32_t up = (dragged / 100 + 1) * 100;
    const std::int32_t down = (dragged / 100) * 100 - 1;
    EXPECT_EQ(value("SampleEnd"), up - dragged <= dragged - down ? up : down);
    EXPECT_EQ(value("SampleStart"), 2000);
    EXPECT_EQ(current()->getLoop().start, 4000);
}

TEST_F(InstrumentSampleEditor, OnTheThumbnailAPressGrabsAPointWithinTwentyFivePixelsOfTheWaveform) {
    buildEditor(true);
    zoneWithLoop(false);
    // The start's column is 40 on the waveform: 20 pixels to its right still grab it, 35 do not.
    const struct {
        int thumbnailX;
        int mode;
    } cases[] = {{12, ControlSampleEditor::kDragStart}, {15, ControlSampleEditor::kDragView}};
    for (const auto& c : cases) {
        tick(20);
        move(kX + c.thumbnailX, kY + 10);
        press(kX + c.thumbnailX, kY + 10);
        EXPECT_EQ(se()->getGrabTolerance(), OstrelSampleEditor::kShrunkGrabTolerance);
        EXPECT_EQ(se()->getDragMode(), c.mode) << c.thumbnailX;
        release(kX + c.thumbnailX, kY + 10);
    }
    // Entering the control alone asks for the full size's tolerance.
    se()->receive(WindowMessage(nullptr, 3012, 0, Point(1, 1), 0));
    EXPECT_EQ(se()->getGrabTolerance(), OstrelSampleEditor::kGrabTolerance);
}

TEST_F(InstrumentSampleEditor, ADoubleClickOnTheThumbnailShowsTheFullDisplayAndOneOnTheFullDisplayLeavesIt) {
    for (const bool thumbnail : {true, false}) {
        buildEditor(thumbnail);
        Settings& settings = *plugin->getModule(0)->getSettings();
        settings.setBool(keys::kDisplayEditor, !thumbnail, Sender::kSettings);
        settings.setBool(keys::kDisplayBrowser, true, Sender::kSettings);
        tick(20);
        driver.doubleClick(at(kX + 5, kY + 5));
        flush();
        EXPECT_EQ(settings.getBool(keys::kDisplayEditor), thumbnail);
        // Switched on by the control, the editor display leaves the browser off.
        EXPECT_EQ(settings.getBool(keys::kDisplayBrowser), !thumbnail);
        close();
    }
}

TEST_F(InstrumentSampleEditor, EveryContrastChangeFlickersTheOpacityWithinTwoAndAHalfPercent) {
    buildEditor(false);
    Settings& settings = *plugin->getModule(0)->getSettings();
    std::set<float> seen;
    for (int i = 0; i < 40; ++i) {
        settings.setFloat(keys::kLCDContrast, i % 2 == 0 ? 0.6f : 0.60001f, Sender::kSettings);
        const float opacity = se()->getOwnTransparency();
        EXPECT_GE(opacity, 0.575f);
        EXPECT_LE(opacity, 0.625f);
        seen.insert(opacity);
    }
    EXPECT_GT(seen.size(), 10u);
    // From another thread the opacity waits for the editor's tick, clamped.
    std::thread([&] { settings.setFloat(keys::kLCDContrast, 1.0f, Sender::kSettings); }).join();
    tick();
    EXPECT_GE(se()->getOwnTransparency(), 0.975f);
    EXPECT_LE(se()->getOwnTransparency(), 1.0f);
}

TEST_F(InstrumentSampleEditor, TheViewFollowsTheCurrentZone) {
    buildEditor(false);
    zoneWithLoop();
    EXPECT_EQ(se()->getDisplayEnd(), 9999);
    world.base.add("short", std::vector<float>(3000, 0.1f), 60);
    const int other = addZone(20, 30, "short");
    zones()->selectZone(other);
    tick();
    EXPECT_LE(se()->getDisplayEnd(), 2999);
}

TEST_F(InstrumentSampleEditor, WithoutASampleItSaysSoInTheMiddleAndTheMemoryLineSitsBottomLeft) {
    buildEditor(false);
    plugin->getModule(0)->getSettings()->setFloat(keys::kLCDContrast, 1.0f, Sender::kSettings);
    zones()->selectZone(addZone(40, 50, ""));
    tick(2);
    const Rect middle = whiteIn(Rect(kX, kY + kH / 2 - 10, kW, 20));
    ASSERT_FALSE(middle.isEmpty());
    // Centred in the control.
    EXPECT_NEAR((middle.left + middle.right) / 2.0, kX + kW / 2.0, 2.0);
    const Rect bottom = whiteIn(Rect(kX, kY + kH - 20, kW, 20));
    ASSERT_FALSE(bottom.isEmpty());
    EXPECT_LE(bottom.left - kX, 8);
    EXPECT_GE(bottom.bottom, kY + kH - 4);
}

} // namespace
