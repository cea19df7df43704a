// The front panel as installed: the editor specification of the data folder built by the instrument's
// editor over the real instrument, with the skins drawn for it.
#include "engine/zones/Resources.h"
#include "framework/File.h"
#include "gui/Bitmap.h"
#include "gui/controls/Control.h"
#include "gui/controls/ControlEnumPopupMenu.h"
#include "gui/controls/ControlFileBrowser.h"
#include "gui/controls/ControlHelp.h"
#include "gui/controls/ControlSampleEditor.h"
#include "instrument/editor/OstrelZoneKeyboard.h"
#include "plugin/Parameter.h"
#include "plugin/Settings.h"
#include "support/EditorDriver.h"
#include "support/FrontPanelWorld.h"
#include "support/LogCapture.h"
#include "support/SnapshotCompare.h"
#include "tools/make-skins/Paint.h"
#include "tools/make-skins/PanelSpec.h"

#include <gtest/gtest.h>

#include <string>

using namespace trov;

namespace {

class FrontPanel : public test::EditorDriver {
protected:
    FrontPanel() { editor = panel.makeEditor(); }
    ~FrontPanel() override {
        close();
        editor.reset();
    }

    Editor* drivenEditor() const override { return editor.get(); }
    void buildFromSpecification(const std::string& controls) override {
        editor = panel.makeEditor(panel.world.files.write("spec.xml", controls));
    }

    Control& background() const { return *editor->getBackground(); }

    // Where the controls that write with FreeType (menus, the waveform's lines, the browser, the help
    // line, the zones' labels) lie on the screen.
    std::vector<platform::NativeRect> freeTypeAreas() const {
        std::vector<platform::NativeRect> areas;
        for (Control* control : editor->getControls()) {
            if (dynamic_cast<ControlEnumPopupMenu<long>*>(control) == nullptr &&
                dynamic_cast<ControlEnumPopupMenu<float>*>(control) == nullptr &&
                dynamic_cast<ControlSampleEditor*>(control) == nullptr &&
                dynamic_cast<ControlFileBrowser*>(control) == nullptr &&
                dynamic_cast<ControlHelp*>(control) == nullptr &&
                dynamic_cast<OstrelZoneKeyboard*>(control) == nullptr)
                continue;
            const Rect r = control->getAbsoluteRect();
            areas.push_back({r.left, r.top, r.right, r.bottom});
        }
        return areas;
    }

    // The first layer's parameter.
    Parameter* parameter(const std::string& name) const {
        return panel.instrument().getFirstModule()->getSettings()->getParameter(name);
    }

    test::FrontPanelWorld panel;
    std::unique_ptr<Editor> editor;
};

TEST_F(FrontPanel, BuildsWithEveryControlBoundAndInsideItsParentUnderTheBackground) {
    const auto spec = skins::readPanelSpec(std::string(TROV_BUILD_DATA) + "/controls.xml");
    int named = 0;
    for (const skins::PanelNode* node : skins::allNodes(*spec))
        named += node->parameter.empty() ? 0 : 1;
    ASSERT_NE(editor->getBackground(), nullptr);
    EXPECT_EQ(editor->getFrame(), editor->getBackground());
    EXPECT_EQ(editor->getSize(), background().getBounds().atOrigin());
    int bound = 0;
    for (Control* control : editor->getControls()) {
        SCOPED_TRACE(control->getId() + " " + control->getParameterName() + " " + control->getLabel());
        EXPECT_TRUE(control->isDescendantOf(&background()));
        if (!control->getParameterName().empty()) {
            ++bound;
            EXPECT_NE(control->getParameter(), nullptr);
        }
        // Inside its parent as written: the editor fits a child that sticks out, moving it.
        if (const Control* parent = control->getParent()) {
            const Rect r = control->getBounds();
            EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= parent->getBounds().getWidth() &&
                        r.bottom <= parent->getBounds().getHeight());
        }
    }
    // Every node naming a parameter, bound or not, became one control.
    EXPECT_EQ(bound, named);
    EXPECT_GT(bound, 80);
}

TEST_F(FrontPanel, OpensAndPaintsWithEverySkinFound) {
    test::LogCapture log;
    editor = panel.makeEditor();
    open();
    tick();
    EXPECT_EQ(log.count("bitmap not found"), 0) << log.text();
    EXPECT_EQ(log.count("failed to load bitmap"), 0) << log.text();
    EXPECT_EQ(log.count("Bitmap::loadFile"), 0) << log.text();
}

// The internal page covers the layer's sections whole: every pixel of a covered section's title, found
// on the panel before the page opens, shows the page's own plate once it is open.
TEST_F(FrontPanel, TheInternalPageHidesTheTitlesOfTheSectionsItCovers) {
    open();
    tick();
    Control* page = nullptr;
    for (Control* control : editor->getControls())
        if (control->getParameterName() == "ShowInternalPage")
            page = control;
    ASSERT_NE(page, nullptr);
    ASSERT_FALSE(page->isVisible());
    const Rect area = page->getAbsoluteRect();
    const auto before = snapshot();
    ASSERT_NE(before, nullptr);

    // A title is drawn over its section's top edge, in the titles' colour.
    const platform::draw::Pixel title = platform::draw::opaquePixel(skins::colours::kTitle);
    std::vector<Point> titlePixels;
    int covered = 0;
    for (Control* section : editor->getControls()) {
        const Rect r = section->getAbsoluteRect();
        if (section == page || section->getParent() != &background() || section->getLabel().empty() ||
            r.left < area.left || r.right > area.right || r.top < area.top || r.bottom > area.bottom)
            continue;
        ++covered;
        const std::size_t found = titlePixels.size();
        for (int y = r.top - 8; y < r.top + 8; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (before->pixel(x, y) == title)
                    titlePixels.emplace_back(x, y);
        EXPECT_GT(titlePixels.size(), found) << section->getLabel() << " shows no title";
    }
    EXPECT_GE(covered, 5);

    parameter("ShowInternalPage")->setNormalized(1.0f, Sender::kEditor);
    tick(2);
    ASSERT_TRUE(page->isVisible());
    const auto after = snapshot();
    ASSERT_NE(after, nullptr);
    Resources& resources = *panel.world.resources;
    auto* plate = dynamic_cast<Bitmap*>(resources.getBitmap("InternalPage"));
    ASSERT_NE(plate, nullptr);
    int visible = 0;
    for (const Point p : titlePixels) {
        const bool inside = p.x >= area.left && p.x < area.right && p.y >= area.top && p.y < area.bottom;
        const bool plateShows =
            inside && after->pixel(p.x, p.y) == plate->getHandle()->pixel(p.x - area.left, p.y - area.top);
        visible += plateShows ? 0 : 1;
    }
    resources.releaseBitmap(plate);
    EXPECT_EQ(visible, 0) << "of " << titlePixels.size() << " title pixels";
}

// The specification fuzz target starts from the installed front panel.
TEST(FrontPanelSeed, TheSpecificationFuzzTargetIsSeededWithTheInstalledFrontPanel) {
    const std::string installed = test::readFile(std::string(TROV_BUILD_DATA) + "/controls.xml");
    EXPECT_FALSE(installed.empty());
    EXPECT_EQ(
        test::readFile(std::string(TROV_TEST_DATA) + "/fuzz/instrument_editor_spec_fuzz/front-panel.xml"),
        installed);
}

// The wavesample's thumbnail in the display's corner is the editor shrunk five times, so a position in
// it maps onto the whole waveform by five.
TEST_F(FrontPanel, TheWavesampleThumbnailIsAFifthOfTheWholeEditor) {
    ControlSampleEditor* waveform = nullptr;
    for (Control* control : editor->getControls())
        if (auto* found = dynamic_cast<ControlSampleEditor*>(control))
            waveform = found;
    ASSERT_NE(waveform, nullptr);
    const Rect whole = waveform->getBounds();
    const Rect thumbnail = waveform->getThumbnailRect();
    EXPECT_EQ(thumbnail.getWidth() * 5, whole.getWidth());
    EXPECT_EQ(thumbnail.getHeight() * 5, whole.getHeight());
    EXPECT_TRUE(waveform->isShrunk());
}

// The panel with the demo bank's layer, its wavesample shown whole: the zone bands and their labels, the
// waveform with its markers, the sample buttons enabled.
TEST_F(FrontPanel, WithTheDemoBankAndItsWavesampleShownMatchesTheGoldenPanel) {
    ASSERT_TRUE(panel.instrument().loadFile(File(std::string(TROV_BUILD_DATA) + "/demo/demo.kmd")));
    open();
    tick();
    Parameter* shown = panel.instrument().getFirstModule()->getSettings()->getParameter("DisplayEditor");
    ASSERT_NE(shown, nullptr);
    shown->setNormalized(1.0f, Sender::kEditor);
    tick(2);
    const auto picture = snapshot();
    ASSERT_NE(picture, nullptr);
    test::GoldenTolerance tolerance;
    tolerance.textAreas = freeTypeAreas();
    tolerance.textTolerance = 160;
    tolerance.textCap = 1200;
    test::expectMatchesGolden(std::string(TROV_TEST_DATA) + "/instrument/editor/front-panel-demo.png",
                              *picture, tolerance);
}

// A change detector over the whole panel as first painted, against a golden image: the skins, shapes and
// the display's bitmap-font text exactly, FreeType's text within a tolerance.
TEST_F(FrontPanel, FirstPaintMatchesTheGoldenPanel) {
    open();
    tick();
    const auto shown = snapshot();
    ASSERT_NE(shown, nullptr);
    test::GoldenTolerance tolerance;
    tolerance.textAreas = freeTypeAreas();
    tolerance.textTolerance = 160;
    tolerance.textCap = 600;
    test::expectMatchesGolden(std::string(TROV_TEST_DATA) + "/instrument/editor/front-panel.png", *shown,
                              tolerance);
}

} // namespace
