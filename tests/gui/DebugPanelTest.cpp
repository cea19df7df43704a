// The debug panel and its load meters: the panel around the editor's root, the meters' places, the meters
// the plug-in and the editor measure with, and a meter's graph, title colour and text.
#include "gui/controls/ControlCPUMeter.h"
#include "gui/controls/ControlDebugInfo.h"
#include "instance/Plugin.h"
#include "platform/draw/DrawContext.h"

#include "support/EditorHarness.h"
#include "support/PixelCheck.h"

#include <gtest/gtest.h>

using namespace trov;
using test::node;
using test::specification;

namespace {

// A meter on a clock of its own.
class ClockedMeter : public ControlCPUMeter {
public:
    using ControlCPUMeter::ControlCPUMeter;
    double time = 1.0;

protected:
    double now() const override { return time; }
};

class DebugPanel : public test::EditorHarness {
protected:
    void buildWithMeters(bool meters) {
        world().user.setBool("ShowCPUMeters", meters);
        buildAndOpen(node("Panel")
                         .string("background", "#404040")
                         .at(0, 0, 600, 400)
                         .child(node("Panel").id("inner").at(10, 10, 20, 20)));
    }
    ControlDebugInfo* panel() const { return editor->getDebugInfo(); }
};

} // namespace

TEST_F(DebugPanel, ThePanelWrapsTheEditorWithAColumnOfMetersOnTheLeft) {
    buildWithMeters(true);
    ASSERT_NE(panel(), nullptr);
    EXPECT_EQ(editor->getFrame(), panel());
    EXPECT_EQ(editor->getSize(), Rect(0, 0, 760, 400));
    EXPECT_EQ(control("special::background")->getAbsoluteRect(), Rect(160, 0, 600, 400));
    EXPECT_EQ(control("inner")->getAbsoluteRect(), Rect(170, 10, 20, 20));
    for (int category = 0; category < 3; ++category)
        EXPECT_EQ(panel()->getMeterControl(category)->getRect(), Rect(10, 10 + 65 * category, 140, 60));
    EXPECT_EQ(panel()->getMeterControl(ControlDebugInfo::kMidi)->getLabel(), "midi");
    EXPECT_EQ(panel()->getMeter(ControlDebugInfo::kUsage), nullptr);
    const auto shown = snapshot();
    EXPECT_TRUE(test::pixelIs(*shown, 5, 300, {255, 190, 50})) << "the panel";
    EXPECT_TRUE(test::pixelIs(*shown, 20, 40, {255, 255, 255})) << "a meter";
    EXPECT_TRUE(test::pixelIs(*shown, 300, 300, {0x40, 0x40, 0x40})) << "the editor";
}

TEST_F(DebugPanel, WithoutThePreferenceTheBackgroundIsTheFrame) {
    buildWithMeters(false);
    EXPECT_EQ(panel(), nullptr);
    EXPECT_EQ(editor->getFrame(), control("special::background"));
    EXPECT_EQ(editor->getSize(), Rect(0, 0, 600, 400));
}

TEST_F(DebugPanel, ThePluginMeasuresWithTheEngineAndMidiMetersUntilTheEditorGoes) {
    buildWithMeters(true);
    const CPUMeter* engine = panel()->getMeter(ControlDebugInfo::kEngine);
    const CPUMeter* midi = panel()->getMeter(ControlDebugInfo::kMidi);
    const CPUMeter* painting = panel()->getMeter(ControlDebugInfo::kEditor);
    tick();
    plugin->beginCpuMeter(0);
    tick();
    plugin->endCpuMeter(0);
    EXPECT_GT(engine->getLastEnd(), 0.0);
    EXPECT_EQ(midi->getLastEnd(), 0.0);
    plugin->beginCpuMeter(1);
    plugin->endCpuMeter(1);
    EXPECT_GT(midi->getLastEnd(), 0.0);
    editor->invalidateAll();
    tick();
    EXPECT_GT(painting->getLastEnd(), 0.0) << "a redraw is measured";
    close();
    editor.reset();
    // The meters are gone with the editor: the plug-in no longer reaches them.
    plugin->beginCpuMeter(0);
    plugin->endCpuMeter(1);
}

TEST_F(DebugPanel, AMeterDrawsItsHistoryColouredByLoadAndTellsAverageAndPeak) {
    buildWithMeters(false);
    ClockedMeter meter(100, editor.get(), Rect(0, 0, 140, 60));
    meter.setLabel("engine");
    meter.update(); // starts timing at 1.0
    meter.begin();
    meter.time = 2.3;
    meter.end(); // 1.3 s busy
    meter.time = 2.0;
    meter.update(); // over 1.0 s: a load of 1.3
    EXPECT_DOUBLE_EQ(meter.getPeakLoad(), 1.3);
    EXPECT_EQ(meter.loadText(), "avg 1.30% / peak 130.00%");

    const auto surface = platform::draw::Surface::create(140, 60);
    platform::draw::DrawContext context(surface);
    Canvas canvas(editor->getEditorWindow(), &context);
    canvas.begin(Rect(0, 0, 140, 60), false);
    meter.draw(canvas, meter.getLocalRect());
    canvas.end();
    // The newest value is the last of 100 slots over 139 columns: column 138, drawn to the top in red.
    EXPECT_TRUE(test::pixelIs(*surface, 138, 40, {255, 0, 0}));
    EXPECT_TRUE(test::pixelIs(*surface, 138, 1, {255, 0, 0}));
    EXPECT_TRUE(test::pixelIs(*surface, 137, 40, {255, 255, 255}));
    EXPECT_TRUE(test::pixelIs(*surface, 2, 2, {255, 0, 0})) << "the title strip in the peak's colour";
    EXPECT_TRUE(test::pixelIs(*surface, 139, 40, {0, 0, 0})) << "the frame";
}
