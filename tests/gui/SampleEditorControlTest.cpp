// The sample editor: pixel columns of frames and the view's limits, the drawing (waveform rows, points
// outside the start and end darkened, loop and slice hatching, markers) against the drawing's formulas,
// grabbing and dragging the points (the gap kept between them, their order, a fixed loop length, Shift),
// zero snapping, zooming, Control-click, dropped and dragged-out files, and samples and views too small
// to divide by.
#include "engine/samples/SampleWav.h"
#include "engine/zones/Resources.h"
#include "engine/zones/Zone.h"
#include "engine/zones/ZoneManager.h"
#include "gui/controls/ControlSampleEditor.h"
#include "platform/DragDrop.h"
#include "platform/draw/Pixel.h"
#include "platform/draw/Surface.h"

#include "support/EditorHarness.h"
#include "support/PixelChecks.h"
#include "support/SampleTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>

using namespace trov;
using test::node;
using test::specification;

namespace {

using test::rgbOf;

void expectNear(const test::Rgb& actual, const test::Rgb& expected, const std::string& what) {
    test::expectNearRgb(actual, expected, what, 1);
}

test::Rgb colorRgb(const Color& c) {
    std::int16_t r = 0, g = 0, b = 0;
    c.getRGB(r, g, b);
    return {r, g, b};
}

// The view's formulas: a frame's column is (frame - start) / ((end - start) / width) in single precision,
// rounded to even; the view is held inside the frames, at least one frame per pixel.
int column(std::int32_t frame, std::int32_t start, std::int32_t end, int width) {
    const float perPixel = static_cast<float>(end - start) / static_cast<float>(width);
    return static_cast<int>(std::nearbyint(static_cast<float>(frame - start) / perPixel));
}

std::pair<std::int32_t, std::int32_t> clamped(std::int64_t start, std::int64_t end, std::int64_t frames,
                                              int width) {
    start = std::max<std::int64_t>(std::min(start, frames - width - 1), 0);
    end = std::max<std::int64_t>(std::min(end, frames - 1), width);
    end = std::max<std::int64_t>(end, start + width);
    return {static_cast<std::int32_t>(start), static_cast<std::int32_t>(end)};
}

std::string values(const std::vector<std::pair<const char*, std::string>>& entries) {
    std::string text = "<parameters>";
    for (const auto& [name, value] : entries)
        text += "<" + std::string(name) + " value=\"" + value + "\"/>";
    return text + "</parameters>";
}

std::string loop(int start, int end) {
    return "<loops><loop><start value=\"" + std::to_string(start) + "\"/><end value=\"" +
           std::to_string(end) + "\"/><mode value=\"until-release\"/></loop></loops>";
}

class SampleEditor : public test::EditorHarness {
protected:
    // The grab tolerance is every sample editor's: a test that changes it leaves the next one the default.
    ~SampleEditor() override {
        ControlSampleEditor::setGrabTolerance(ControlSampleEditor::kDefaultGrabTolerance);
    }

    static constexpr int kX = 10;
    static constexpr int kY = 10;
    static constexpr int kW = 200;
    static constexpr int kH = 100;
    static constexpr int kMid = kH / 2;

    // extra: more entries of the editor's node.
    void buildEditor(int width = kW, const std::string& extra = "") {
        build(specification({node("Panel")
                                 .id("special::background")
                                 .at(0, 0, 300, 150)
                                 .string("background", "#102030")
                                 .child(node("SampleEditor")
                                            .id("se")
                                            .at(kX, kY, width, kH)
                                            .flag("editable", true)
                                            .raw(extra))}));
        open();
        tick();
    }
    ControlSampleEditor* se() const { return control<ControlSampleEditor>("se"); }
    ZoneManager* zones() const { return plugin->getModule(0)->getZoneManager(); }

    // The current zone plays a sample of these values, read from a zone document with this body (values,
    // loops, slices); the editor shows the zone's view.
    Zone* zoneWith(const std::vector<float>& data, const std::string& body) {
        SharedObjectPtr<Sample> sample = test::makeSample(data);
        const std::string id = world().resources->addSample("", sample.get(), "/samples/take.wav");
        zones()->createZone(KeyRange(36, 96), id);
        SharedObjectPtr<Zone> zone(zones()->getCurrentZone());
        const Dictionary document(
            "<?xml version=\"1.0\"?><dict><file-format value=\"0.7.0\"/><zone><id value=\"" + id +
            "\"/><min value=\"36\"/><max value=\"96\"/>" + body + "</zone></dict>");
        zone->fromDictionary(Dictionary(*document.getDictionary("zone")));
        se()->loadZoneView();
        tick();
        return zone.get();
    }
    SharedObjectPtr<Zone> current() const { return SharedObjectPtr<Zone>(zones()->getCurrentZone()); }
    std::int32_t value(const char* name) const { return current()->getParameterLong(name); }
    std::array<int, 3> pixel(int x, int y) const { return rgbOf(snapshot()->pixel(kX + x, kY + y)); }
    // Keeps start <= loop start <= loop end <= end.
    void expectOrdered(const char* what) const {
        const Zone::Loop l = current()->getLoop();
        EXPECT_LE(value("SampleStart"), l.start) << what;
        EXPECT_LE(l.start, l.end) << what;
        EXPECT_LE(l.end, value("SampleEnd")) << what;
    }
};

std::vector<float> constant(int frames, float v) {
    return std::vector<float>(static_cast<std::size_t>(frames), v);
}

const std::string kWholeView = values({{"SampleStart", "2000"},
                                       {"SampleEnd", "8000"},
                                       {"SampleDisplayStart", "0"},
                                       {"SampleDisplayEnd", "9999"}});

} // namespace

TEST_F(SampleEditor, FramesMapToColumnsOfTheViewAndTheViewStaysInsideTheSample) {
    buildEditor();
    EXPECT_EQ(se()->frameToPixel(100), -1); // no sample yet
    struct Case {
        int frames;
        std::int64_t start, end;
    };
    for (const Case c : {Case{10000, 1000, 5000}, Case{10000, -50, 20000}, Case{10000, 9900, 9950},
                         Case{100, 0, 50}, Case{1, 0, 0}, Case{10000, 5000, 5000}}) {
        zoneWith(constant(c.frames, 0.25f), values({{"SampleDisplayStart", std::to_string(c.start)},
                                                    {"SampleDisplayEnd", std::to_string(c.end)}}));
        const auto [start, end] = clamped(c.start, c.end, c.frames, kW);
        EXPECT_EQ(se()->getDisplayStart(), start) << c.frames << " " << c.start << ".." << c.end;
        EXPECT_EQ(se()->getDisplayEnd(), end) << c.frames << " " << c.start << ".." << c.end;
        EXPECT_GE(end - start, kW);
        for (const std::int32_t frame : {0, 1234, 3000, 4999, c.frames - 1})
            EXPECT_EQ(se()->frameToPixel(frame), column(frame, start, end, kW)) << frame;
    }
    // A sample shorter than the control still shows the control's width in frames from the first.
    EXPECT_EQ(clamped(0, 50, 100, kW), (std::pair<std::int32_t, std::int32_t>{0, kW}));
}

TEST_F(SampleEditor, TheWaveformLoopAndCentreLineAreDrawnOnEverySecondColumnAsTheDrawingSays) {
    buildEditor();
    zoneWith(constant(10000, 0.5f), kWholeView + loop(4000, 6000));
    const int start = column(2000, 0, 9999, kW); // 40
    const int end = column(8000, 0, 9999, kW);   // 160
    const int loopStart = column(4000, 0, 9999, kW);
    const int loopEnd = column(6000, 0, 9999, kW);
    // A value of 0.5 reaches from row (1 - 0.5) x mid down to the centre line, on column x + 1 of each
    // odd x.
    const int top = static_cast<int>((1.0 - 0.5) * kMid);
    expectNear(pixel(start + 2, top + 1), {255, 255, 255}, "inside the start and end points");
    expectNear(pixel(start, top + 1), {95, 95, 95}, "left of the start point");
    expectNear(pixel(end + 2, top + 1), {95, 95, 95}, "right of the end point");
    expectNear(pixel(start + 2, top - 2), {16, 32, 48}, "above the waveform");
    expectNear(pixel(start + 3, top + 1), {16, 32, 48}, "the column between two drawn ones");
    expectNear(pixel(21, kMid), {60, 80, 100}, "the centre line");
    // Loop hatching on odd columns, blended along the control's width.
    for (const int x : {loopStart + 1, (loopStart + loopEnd) / 2 | 1, loopEnd - 1}) {
        Color hatch(200, 100, 35);
        hatch.blend(Color(255, 200, 0), static_cast<float>(x) / kW);
        expectNear(pixel(x, 80), colorRgb(hatch), "loop hatching at " + std::to_string(x));
        expectNear(pixel(x + 1, 80), {16, 32, 48}, "no hatching beside it");
    }
    expectNear(pixel(loopStart - 1, 80), {16, 32, 48}, "no hatching before the loop");
    expectNear(pixel(0, kMid), {0, 0, 0}, "the frame");
}

TEST_F(SampleEditor, SliceShadingAlternatesFromTheFirstColumnWhateverPartIsRepainted) {
    buildEditor();
    zoneWith(
        constant(10000, 0.5f),
        values({{"SampleStart", "2000"},
                {"SampleEnd", "8000"},
                {"SampleDisplayStart", "0"},
                {"SampleDisplayEnd", "9999"},
                {"SampleSliced", "true"}}) +
            "<slices><slice><start value=\"0\"/><end value=\"2999\"/></slice><slice><start value=\"3000\"/>"
            "<end value=\"5999\"/></slice><slice><start value=\"6000\"/><end "
            "value=\"9999\"/></slice></slices>");
    // The shading turns on where the first slice ends (column 60) and off where the second does (120).
    const std::array<int, 3> shade{100, 100, 100};
    const std::array<int, 3> ground{16, 32, 48};
    expectNear(pixel(102, 90), shade, "the second slice");
    expectNear(pixel(42, 90), ground, "the first slice");
    expectNear(pixel(142, 90), ground, "the third slice");
    editor->addDirtyRect(Rect(kX + 100, kY, 10, kH));
    tick();
    expectNear(pixel(102, 90), shade, "the second slice, repainted alone");
}

TEST_F(SampleEditor, MarkersShowTheirFirstFrameAfterTheStartAndTheSecondBeforeTheEnd) {
    auto sheet = platform::draw::Surface::create(12, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x)
            sheet->setPixel(x, y,
                            x < 6 ? platform::draw::makePixel(0, 200, 0, 255)
                                  : platform::draw::makePixel(200, 0, 200, 255));
    addSkinImage("markers", *sheet, 2, true);
    buildEditor(kW, "<string name=\"markers\" value=\"markers\"/>");
    zoneWith(constant(10000, 0.0f), kWholeView);
    const int start = column(2000, 0, 9999, kW);
    const int end = column(8000, 0, 9999, kW);
    expectNear(pixel(start + 1, 2), {0, 200, 0}, "the start marker's first column");
    expectNear(pixel(start + 6, 2), {0, 200, 0}, "the start marker's last column");
    expectNear(pixel(start + 7, 2), {16, 32, 48}, "past the start marker");
    expectNear(pixel(end - 2, 2), {200, 0, 200}, "the end marker's last column");
    expectNear(pixel(end - 1, 2), {16, 32, 48}, "past the end marker");
}

TEST_F(SampleEditor, APressGrabsThePointWithinTheGrabDistanceOrElseTheView) {
    buildEditor();
    zoneWith(constant(10000, 0.2f), kWholeView + loop(4000, 6000));
    struct Case {
        int x;
        int mode;
    };
    // Start 40, end 160, loop 80..120; ten pixels each way.
    for (const Case c :
         {Case{45, ControlSampleEditor::kDragStart}, Case{10, ControlSampleEditor::kDragStart},
          Case{155, ControlSampleEditor::kDragEnd}, Case{85, ControlSampleEditor::kDragLoopStart},
          Case{115, ControlSampleEditor::kDragLoopEnd}, Case{100, ControlSampleEditor::kDragView},
          Case{60, ControlSampleEditor::kDragView}}) {
        press(kX + c.x, kY + 50);
        EXPECT_EQ(se()->getDragMode(), c.mode) << c.x;
        release(kX + c.x, kY + 50);
    }
    se()->setGrabTolerance(2);
    press(kX + 45, kY + 50);
    EXPECT_EQ(se()->getDragMode(), ControlSampleEditor::kDragView);
    release(kX + 45, kY + 50);
}

TEST_F(SampleEditor, DraggingTheStartMovesItByWholeFramesPerPixelAndPushesTheEndWithinTheGap) {
    buildEditor();
    zoneWith(constant(10000, 0.2f), kWholeView + loop(4000, 6000));
    const float perPixel = 9999.0f / kW;
    const auto step = [&](float pixels) { return static_cast<std::int32_t>(std::trunc(pixels * perPixel)); };
    drag(kX + 40, kY + 50, kX + 60, kY + 50); // four steps of five pixels
    EXPECT_EQ(value("SampleStart"), 2000 + 4 * step(5));
    EXPECT_EQ(value("SampleEnd"), 8000);
    EXPECT_EQ(current()->getLoop().start, 4000);
    // Up moves the start right too, twice as far with both.
    drag(kX + 60, kY + 50, kX + 65, kY + 45);
    EXPECT_EQ(value("SampleStart"), 2000 + 4 * step(5) + step(10));
    // Within the gap (24 pixels' worth of frames) of the end, the end goes along.
    const auto gap = static_cast<std::int32_t>(std::nearbyint(9999.0 * 24.0 / kW));
    const std::int32_t before = value("SampleEnd");
    drag(kX + 65, kY + 50, kX + 190, kY + 50);
    EXPECT_GT(value("SampleEnd"), before);
    EXPECT_LE(value("SampleEnd"), 9999);
    // The pair keeps at least the gap, less the step that closed it, even where the end meets the last
    // frame and the two are shifted back together.
    EXPECT_GE(value("SampleEnd") - value("SampleStart"), gap - step(5));
    expectOrdered("the start pushed past the loop");
    EXPECT_EQ(value("SampleDisplayStart"), 0);
    EXPECT_EQ(value("SampleDisplayEnd"), 9999);
}

TEST_F(SampleEditor, PointsDraggedPastEachOtherKeepStartLoopStartLoopEndAndEndInOrder) {
    buildEditor();
    zoneWith(constant(10000, 0.2f), kWholeView + loop(4000, 6000));
    drag(kX + 85, kY + 50, kX + 199, kY + 5); // the loop start far past the loop end and the end
    expectOrdered("loop start dragged right");
    drag(kX + 155, kY + 50, kX + 0, kY + 99); // the end far past the start
    expectOrdered("end dragged left");
    drag(kX + 5, kY + 50, kX + 199, kY + 0); // the start past everything
    expectOrdered("start dragged right");
    EXPECT_GE(value("SampleStart"), 0);
    EXPECT_LE(value("SampleEnd"), 9999);
}

TEST_F(SampleEditor, AFixedLoopLengthMovesBothLoopPointsAndShiftDividesTheDragByTen) {
    buildEditor();
    zoneWith(constant(10000, 0.2f), kWholeView + loop(4000, 6000));
    parameter("SampleLoopLengthFixed")->setNormalized(1.0f, Sender::kEditor);
    EXPECT_EQ(se()->getFixedLoopLength(), 2000);
    drag(kX + 82, kY + 50, kX + 92, kY + 50);
    const Zone::Loop moved = current()->getLoop();
    EXPECT_EQ(moved.end - moved.start, 2000);
    EXPECT_EQ(moved.start, 4000 + 2 * static_cast<std::int32_t>(std::trunc(5.0f * (9999.0f / kW))));
    parameter("SampleLoopLengthFixed")->setNormalized(0.0f, Sender::kEditor);
    EXPECT_EQ(se()->getFixedLoopLength(), 0);

    const std::int32_t start = value("SampleStart");
    driver.key(platform::VirtualKey::kShift, true);
    flush();
    drag(kX + 40, kY + 50, kX + 45, kY + 50);
    driver.key(platform::VirtualKey::kShift, false);
    flush();
    EXPECT_EQ(value("SampleStart"),
              start + static_cast<std::int32_t>(std::trunc(5.0f * 0.1f * (9999.0f / kW))));
}

TEST_F(SampleEditor, ReleasingWithZeroSnapMovesOnlyTheGrabbedPointToTheNearestZeroCrossing) {
    buildEditor();
    // The sign changes every 100 frames.
    std::vector<float> data(10000);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = (i / 100) % 2 == 0 ? 0.5f : -0.5f;
    zoneWith(data, kWholeView + loop(4000, 6000));
    parameter("SampleZeroSnap")->setNormalized(1.0f, Sender::kEditor);
    drag(kX + 155, kY + 50, kX + 150, kY + 50); // the end, one step of five pixels left
    const std::int32_t dragged = 8000 - static_cast<std::int32_t>(std::trunc(5.0f * (9999.0f / kW)));
    // The nearest frame whose sign differs from the dragged frame's: the next multiple of 100 up or the
    // last frame of the run before, whichever is nearer.
    const std::int32_t up = (dragged / 100 + 1) * 100;
    const std::int32_t down = (dragged / 100) * 100 - 1;
    EXPECT_EQ(value("SampleEnd"), up - dragged <= dragged - down ? up : down);
    EXPECT_EQ(value("SampleStart"), 2000);
    EXPECT_EQ(current()->getLoop().start, 4000);
    EXPECT_EQ(current()->getLoop().end, 6000);
}

TEST_F(SampleEditor, ControlClickShowsTheWholeSampleTheWheelZoomsAndTheCacheFollowsTheView) {
    buildEditor();
    zoneWith(constant(10000, 0.2f), values({{"SampleStart", "2000"},
                                            {"SampleEnd", "8000"},
                                            {"SampleDisplayStart", "2000"},
                                            {"SampleDisplayEnd", "6000"}}));
    const int builds = se()->getCacheBuilds();
    editor->invalidateAll();
    tick();
    EXPECT_EQ(se()->getCacheBuilds(), builds); // the same view draws from the cache
    driver.key(platform::VirtualKey::kControl, true);
    flush();
    click(kX + 100, kY + 50);
    driver.key(platform::VirtualKey::kControl, false);
    flush();
    EXPECT_EQ(se()->getDisplayStart(), 0);
    EXPECT_EQ(se()->getDisplayEnd(), 9999);
    tick();
    EXPECT_EQ(se()->getCacheBuilds(), builds + 1);

    struct Case {
        std::int64_t start, end, delta;
    };
    for (const Case c : {Case{2000, 6000, 120}, Case{2000, 6000, -120}, Case{4400, 4600, -120}}) {
        zoneWith(constant(10000, 0.2f), values({{"SampleDisplayStart", std::to_string(c.start)},
                                                {"SampleDisplayEnd", std::to_string(c.end)}}));
        const auto n = static_cast<std::int64_t>(
            std::nearbyint(static_cast<double>(c.delta) * static_cast<double>(c.end - c.start) / kW));
        se()->receive(WindowMessage(nullptr, 3011, 0, Point(50, 50),
                                    static_cast<MessageWord>(static_cast<std::intptr_t>(c.delta))));
        const auto [start, end] = clamped(c.start - n, c.end + n, 10000, kW);
        EXPECT_EQ(se()->getDisplayStart(), start) << c.delta;
        EXPECT_EQ(se()->getDisplayEnd(), end) << c.delta;
    }
}

TEST_F(SampleEditor, TinySamplesNarrowViewsAndWildValuesNeverDivideByZeroOrReadOutside) {
    for (const int width : {kW, 0, 1}) {
        buildEditor(width);
        for (const int frames : {1, 2, 3}) {
            std::vector<float> data(static_cast<std::size_t>(frames), 0.5f);
            data[0] = std::numeric_limits<float>::quiet_NaN();
            if (frames > 1)
                data[1] = 1e30f;
            zoneWith(data, kWholeView);
            editor->invalidateAll();
            tick();
            const int x = se()->frameToPixel(frames - 1);
            EXPECT_GE(x, 0) << width << " " << frames;
            EXPECT_LE(x, std::max(width, 1)) << width << " " << frames;
            if (width == kW) {
                tick(20); // not a double click
                drag(kX + 1, kY + 50, kX + 30, kY + 10);
                expectOrdered("a tiny sample's dragged start");
            }
            se()->receive(WindowMessage(nullptr, 3011, 0, Point(0, 0),
                                        static_cast<MessageWord>(static_cast<std::intptr_t>(-100000))));
            se()->receive(WindowMessage(nullptr, 3011, 0, Point(0, 0), static_cast<MessageWord>(100000)));
            tick();
            EXPECT_LE(value("SampleStart"), value("SampleEnd"));
            EXPECT_LE(value("SampleEnd"), frames - 1);
        }
    }
}

TEST_F(SampleEditor, DroppedFilesGoToTheZoneManagerAndAltDragsTheSampleFileOut) {
    buildEditor();
    zoneWith(constant(10000, 0.2f), kWholeView);
    SampleWav wav(*test::makeSample(constant(3000, 0.1f)));
    File file(world().files.write("dropped.wav", ""));
    ASSERT_FALSE(wav.save(file).failed());
    const std::string path = file.getPath();
    EXPECT_TRUE(se()->receive(WindowMessage(nullptr, 3021, 0, Point(5, 5), pointerToWord(path.c_str()))));
    EXPECT_EQ(world().resources->getSampleFile(current()->getSampleName()).getPath(), path);

    zoneWith(constant(10000, 0.2f), kWholeView);
    platform::RecordingDropSink desktop;
    platform::setDropSink(&desktop);
    move(kX + 100, kY + 50);
    press(kX + 100, kY + 50);
    driver.key(platform::VirtualKey::kAlt, true);
    flush();
    // The drag's own loop takes what is queued when it starts: the way out of the window and the drop.
    driver.move({5, 5});
    driver.release({5, 5});
    EXPECT_TRUE(se()->receive(WindowMessage(nullptr, 3009, 0, Point(110, 50), 0)));
    driver.key(platform::VirtualKey::kAlt, false);
    flush();
    platform::setDropSink(nullptr);
    EXPECT_EQ(desktop.files, std::vector<std::string>{"/samples/take.wav"});
}

TEST_F(SampleEditor, OneGrabToleranceServesEverySampleEditorForItsPressesAndItsCursor) {
    build(specification({node("Panel")
                             .id("special::background")
                             .at(0, 0, 300, 150)
                             .child(node("SampleEditor").id("se").at(kX, kY, kW, kH).flag("editable", true))
                             .child(node("SampleEditor").id("thumb").at(kX + kW + 10, kY, 60, 30))}));
    open();
    tick();
    zoneWith(constant(10000, 0.2f), kWholeView);
    // The start point lies in column 40: 5 pixels right of it is within 10 pixels, not within 2.
    move(kX + 45, kY + 50);
    EXPECT_EQ(platform::getCursorShape(), platform::CursorShape::SizeWestEast);
    control<ControlSampleEditor>("thumb")->setGrabTolerance(2);
    EXPECT_EQ(se()->getGrabTolerance(), 2);
    move(kX + 46, kY + 50);
    EXPECT_EQ(platform::getCursorShape(), platform::CursorShape::Hand);
    press(kX + 45, kY + 50);
    EXPECT_EQ(se()->getDragMode(), ControlSampleEditor::kDragView);
    release(kX + 45, kY + 50);
}

TEST_F(SampleEditor, SilenceAFullScaleSquareAndARampFillEachDrawnColumnBetweenTheirExtremes) {
    constexpr int kFrames = 10000;
    buildEditor();
    // The view 0..9999 over 200 columns: column x starts at frame trunc(x x 49.995) and its extremes are
    // taken over the 98 frames from there (two columns' worth), with 0 always inside them.
    const float perPixel = 9999.0f / kW;
    const auto firstOf = [&](int x) { return static_cast<int>(static_cast<float>(x) * perPixel); };
    const int reach = 2 * static_cast<int>(std::floor(perPixel));
    struct Signal {
        const char* name;
        std::function<float(int)> at;
        // The extremes of frames [first, last) in closed form.
        std::function<std::pair<float, float>(int, int)> extremes;
    };
    const auto rampAt = [](int i) { return -1.0f + 2.0f * static_cast<float>(i) / (kFrames - 1); };
    const Signal signals[] = {
        {"silence", [](int) { return 0.0f; },
         [](int, int) {
             return std::pair{0.0f, 0.0f};
         }},
        // +1 for 300 frames, then -1 for 300.
        {"square", [](int i) { return (i / 300) % 2 == 0 ? 1.0f : -1.0f; },
         [](int first, int last) {
             const bool up = (first / 300) % 2 == 0 || ((last - 1) / 300) % 2 == 0;
             const bool down = (first / 300) % 2 == 1 || ((last - 1) / 300) % 2 == 1;
             return std::pair{down ? -1.0f : 0.0f, up ? 1.0f : 0.0f};
         }},
        {"ramp", rampAt,
         [&](int first, int last) {
             return std::pair{std::min(0.0f, rampAt(first)), std::max(0.0f, rampAt(last - 1))};
         }},
    };
    const auto rowOf = [](float v) {
        return static_cast<int>(std::trunc((1.0 - static_cast<double>(v)) * kMid));
    };
    for (const Signal& signal : signals) {
        std::vector<float> data(kFrames);
        for (int i = 0; i < kFrames; ++i)
            data[static_cast<std::size_t>(i)] = signal.at(i);
        zoneWith(data, values({{"SampleStart", "0"},
                               {"SampleEnd", "9999"},
                               {"SampleDisplayStart", "0"},
                               {"SampleDisplayEnd", "9999"}}));
        const auto shown = snapshot();
        int wrong = 0;
        // Each odd column x is drawn one to its right, from the maximum's row down to the minimum's, both
        // included (the canvas's lines include their end point).
        for (int x = 1; x + 1 < kW - 1; x += 2) {
            const auto [low, high] = signal.extremes(firstOf(x), std::min(firstOf(x) + reach, kFrames));
            for (int y = 1; y < kH - 1; ++y) {
                const test::Rgb expected = y >= rowOf(high) && y <= rowOf(low) ? test::Rgb{255, 255, 255}
                                           : y == kMid                         ? test::Rgb{60, 80, 100}
                                                                               : test::Rgb{16, 32, 48};
                const test::Rgb seen = rgbOf(shown->pixel(kX + x + 1, kY + y));
                bool same = true;
                for (std::size_t c = 0; c < 3; ++c)
                    same = same && std::abs(seen[c] - expected[c]) <= 1;
                if (!same && wrong++ < 5)
                    ADD_FAILURE() << signal.name << ": column " << x + 1 << " row " << y << " is " << seen[0]
                                  << "," << seen[1] << "," << seen[2];
            }
        }
        EXPECT_EQ(wrong, 0) << signal.name;
    }
}

TEST_F(SampleEditor, ASampleReplacedDuringADragIsReadOnlyWithinItsOwnFrames) {
    buildEditor();
    Zone* zone = zoneWith(constant(10000, 0.2f), kWholeView + loop(4000, 6000));
    // The end point (column 160) is grabbed and dragged; meanwhile the zone takes a sample of 300 frames.
    move(kX + 158, kY + 50);
    press(kX + 158, kY + 50);
    move(kX + 163, kY + 50);
    SharedObjectPtr<Sample> shorter = test::makeSample(constant(300, -0.6f));
    zone->setSample(world().resources->addSample("", shorter.get(), "/samples/short.wav"));
    for (const int x : {168, 190, 199, 120, 30})
        move(kX + x, kY + 50);
    release(kX + 30, kY + 50);
    tick();
    EXPECT_GE(value("SampleStart"), 0);
    EXPECT_LE(value("SampleStart"), value("SampleEnd"));
    EXPECT_LE(value("SampleEnd"), 299);
    EXPECT_GE(se()->getDisplayStart(), 0);
    EXPECT_LE(se()->getDisplayEnd(), 299);
    // The waveform is the new sample's: -0.6 reaches from the centre line down to row 80.
    editor->invalidateAll();
    tick();
    const auto shown = snapshot();
    EXPECT_NE(rgbOf(shown->pixel(kX + 100, kY + 70)), (test::Rgb{16, 32, 48})) << "the new waveform";
    expectNear(rgbOf(shown->pixel(kX + 100, kY + 45)), {16, 32, 48}, "nothing of the old one above");
}

TEST_F(SampleEditor, DraggingAPointRedrawsFromTheKeptColumnsWithTheDarkeningMoved) {
    buildEditor();
    zoneWith(constant(10000, 0.5f), kWholeView);
    const int builds = se()->getCacheBuilds();
    // Column 54 shows the extremes of column 53, right of the start point (column 40).
    expectNear(pixel(54, 26), {255, 255, 255}, "inside the points before the drag");
    drag(kX + 40, kY + 50, kX + 60, kY + 50);
    tick();
    ASSERT_GT(se()->frameToPixel(value("SampleStart")), 53);
    expectNear(pixel(54, 26), {95, 95, 95}, "left of the dragged start");
    // The view and the sample stayed: the columns were not taken from the sample again.
    EXPECT_EQ(se()->getCacheBuilds(), builds);
}
