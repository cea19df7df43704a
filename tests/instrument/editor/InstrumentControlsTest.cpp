// The instrument's control factory and the buttons that follow the current zone's sample.
#include "engine/samples/Sample.h"
#include "framework/Dictionary.h"
#include "gui/controls/ControlKeyboard.h"
#include "gui/controls/ControlManager.h"
#include "instrument/InstrumentKeys.h"
#include "instrument/editor/CorvaleButtonSampleEnabled.h"
#include "instrument/editor/CorvaleButtonSliceEnabled.h"
#include "instrument/editor/OstrelControls.h"
#include "instrument/editor/OstrelSampleDrag.h"
#include "instrument/editor/OstrelSampleEditor.h"
#include "instrument/editor/OstrelZoneKeyboard.h"
#include "plugin/Settings.h"

#include "support/InstrumentEditorHarness.h"
#include "support/PluginTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <typeinfo>

using namespace trov;
using test::node;

namespace {

class InstrumentControls : public test::InstrumentEditorHarness {
protected:
    std::unique_ptr<Control> make(const test::ControlNode& n) const {
        Dictionary document(test::specification({n}));
        const Dictionary item(*document.getArrayItem("controls", 0));
        return std::unique_ptr<Control>(editor->getControlManager()->createFromDictionary(item));
    }
};

TEST_F(InstrumentControls, TheInstrumentsTypeNamesComeBeforeTheLibrarysAndEveryOtherNameIsTheLibrarys) {
    buildEmpty();
    ASSERT_NE(dynamic_cast<OstrelControls*>(editor->getControlManager()), nullptr);
    const std::pair<test::ControlNode, std::function<bool(Control*)>> cases[] = {
        {node("ZoneKeyboard"), [](Control* c) { return dynamic_cast<OstrelZoneKeyboard*>(c) != nullptr; }},
        {node("Keyboard"), [](Control* c) { return typeid(*c) == typeid(ControlKeyboard); }},
        {node("SampleEditor"), [](Control* c) { return dynamic_cast<OstrelSampleEditor*>(c) != nullptr; }},
        {node("SampleDrag").parameter("SampleLoopOn"),
         [](Control* c) { return dynamic_cast<OstrelSampleDrag*>(c) != nullptr; }},
        {node("CorvaleSampleButton").parameter("SampleLoopOn"),
         [](Control* c) { return typeid(*c) == typeid(CorvaleButtonSampleEnabled); }},
        {node("CorvaleSliceButton").parameter("SampleSliced"),
         [](Control* c) { return typeid(*c) == typeid(CorvaleButtonSliceEnabled); }},
        {node("Button").parameter("SampleLoopOn"),
         [](Control* c) { return typeid(*c) == typeid(ControlValueButton<bool>); }},
    };
    for (const auto& [n, is] : cases) {
        const std::unique_ptr<Control> made = make(n);
        ASSERT_NE(made, nullptr) << n.xml();
        const Control& built = *made;
        EXPECT_TRUE(is(made.get())) << n.xml() << " made " << typeid(built).name();
    }
}

TEST_F(InstrumentControls, ANameThatDiffersOnlyInLetterCaseIsAnUnknownControlType) {
    buildEmpty();
    for (const char* name : {"zonekeyboard", "SAMPLEDRAG", "sampleEditor"}) {
        const Error error = test::errorThrownBy([&] { make(node(name)); });
        EXPECT_TRUE(error.hasCode(kErrorNoSuchControlType)) << name;
    }
}

// Two buttons of the zone's switches that follow "CurrentSample".
class SampleButtons : public test::InstrumentEditorHarness {
protected:
    SampleButtons() {
        buildAndOpen(
            node("Container")
                .at(0, 0, 200, 40)
                .child(node("CorvaleSampleButton").id("sample").parameter("SampleReverse").at(10, 10, 20, 20))
                .child(node("CorvaleSliceButton").id("slice").parameter("SampleSliced").at(40, 10, 20, 20)));
        sample = control<CorvaleButtonSampleEnabled>("sample");
        slice = control<CorvaleButtonSliceEnabled>("slice");
    }

    // A cached sample of 1000 frames cut into that many slices.
    void addSliced(const std::string& name, int slices) {
        Sample* made = world.base.add(name, std::vector<float>(1000, 0.25f), 60);
        made->setSlices(slices);
    }
    void showSample(const std::string& id) {
        plugin->getModule(0)->getSettings()->setString(keys::kCurrentSample, id, Sender::kSettings);
        tick();
    }
    bool enabled(const Control* c) const { return c->testFlags(Control::kEnabled) != 0; }

    CorvaleButtonSampleEnabled* sample = nullptr;
    CorvaleButtonSliceEnabled* slice = nullptr;
};

TEST_F(SampleButtons, TheSampleButtonNeedsASampleAndTheSliceButtonTwoSlicesOfAKnownSample) {
    ASSERT_NE(sample, nullptr);
    ASSERT_NE(slice, nullptr);
    // No zone yet: the parameter's first report disables both.
    EXPECT_FALSE(enabled(sample));
    EXPECT_FALSE(enabled(slice));
    addSliced("none", 0);
    addSliced("one", 1);
    addSliced("two", 2);
    addSliced("many", 16);
    const struct {
        const char* id;
        bool sampleEnabled;
        bool sliceEnabled;
    } cases[] = {
        {"two", true, true},
        {"one", true, false},
        {"many", true, true},
        {"none", true, false},
        {"unknown-to-the-resources", true, false},
        {"", false, false},
        {"many", true, true},
    };
    for (const auto& c : cases) {
        showSample(c.id);
        EXPECT_EQ(enabled(sample), c.sampleEnabled) << c.id;
        EXPECT_EQ(enabled(slice), c.sliceEnabled) << c.id;
    }
}

TEST_F(SampleButtons, SelectingAZoneWithASampleEnablesThemAndOneWithoutDisablesThem) {
    addSliced("cut", 4);
    const int withSample = addZone(48, 59, "cut");
    const int without = addZone(60, 71, "");
    zones()->selectZone(withSample);
    tick();
    EXPECT_TRUE(enabled(sample));
    EXPECT_TRUE(enabled(slice));
    zones()->selectZone(without);
    tick();
    EXPECT_FALSE(enabled(sample));
    EXPECT_FALSE(enabled(slice));
}

TEST_F(SampleButtons, ADisabledButtonTakesNoClickAndAnEnabledOneTogglesItsParameter) {
    zones()->selectZone(addZone(48, 59, ""));
    tick();
    Parameter* loop = parameter("SampleReverse");
    ASSERT_NE(loop, nullptr);
    click(20, 20);
    tick();
    EXPECT_EQ(loop->getNormalized(), 0.0f);
    addSliced("cut", 4);
    zones()->selectZone(addZone(60, 71, "cut"));
    tick();
    // Later than a double click's time.
    tick(20);
    click(20, 20);
    tick();
    EXPECT_EQ(loop->getNormalized(), 1.0f);
}

} // namespace
