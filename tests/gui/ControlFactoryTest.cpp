// The control factory: type names and parameter types to controls, the parameter's instance, refusals.
#include "framework/Dictionary.h"
#include "gui/controls/ControlBitmap.h"
#include "gui/controls/ControlManager.h"
#include "gui/controls/ControlText.h"
#include "gui/controls/ControlValueDisplay.h"
#include "gui/controls/ControlValueKnob.h"
#include "gui/controls/ControlValueRange.h"
#include "gui/controls/ControlValueSlider.h"
#include "gui/controls/ControlValueText.h"
#include "plugin/Parameter.h"

#include "support/EditorHarness.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <memory>

using namespace trov;
using test::node;
using test::TestPanel;
using test::TestSlider;

namespace {

// A panel that refuses every parameter, as a control tied to a parameter of the wrong kind does.
class Refusing : public TestPanel {
public:
    using TestPanel::TestPanel;
    void setParameter(const std::string&) override {
        throw GeneralError("Refusing::setParameter", "incompatible");
    }
};

class RefusingControls : public ControlManager {
public:
    using ControlManager::ControlManager;
    Control* createControl(const Dictionary&, const std::string&, Parameter*, Editor*) const override {
        return new Refusing(getOwner(), Rect());
    }
};

class ControlFactory : public test::EditorHarness {
protected:
    ControlFactory() { build(test::specification({})); }

    Dictionary item(const test::ControlNode& n) const {
        Dictionary document(test::specification({n}));
        return Dictionary(*document.getArrayItem("controls", 0));
    }
    std::unique_ptr<Control> make(const test::ControlNode& n, const ControlManager& factory) const {
        return std::unique_ptr<Control>(factory.createFromDictionary(item(n)));
    }
};

} // namespace

TEST_F(ControlFactory, NamesNoControlComesFromAreRefusedWithTheParametersType) {
    const ControlManager library(editor.get());
    const std::pair<test::ControlNode, std::string> cases[] = {
        {node("Display").parameter("Level"), "Unknown control type Display<float>"},
        {node("Dial").parameter("Steps"), "Unknown control type Dial<long>"},
        {node("None"), "Unknown control type None<>"},
        {node("button").parameter("Mode"), "Unknown control type button<bool>"},
        {node("Display").parameter("NoSuchName"), "Unknown control type Display<>"},
    };
    for (const auto& c : cases) {
        const Error error = test::errorThrownBy([&] { make(c.first, library); });
        EXPECT_TRUE(error.hasCode(kErrorNoSuchControlType)) << c.second;
        EXPECT_EQ(error.getMessage(), c.second);
    }
}

TEST_F(ControlFactory, ANodeWithoutATypeNameGivesNoControlAndLogsNothing) {
    test::LogCapture log(0);
    EXPECT_EQ(make(node("").parameter("Level"), *editor->getControlManager()), nullptr);
    EXPECT_EQ(make(node("").string("class", ""), *editor->getControlManager()), nullptr);
    EXPECT_EQ(log.count("[0x"), 0);
}

TEST_F(ControlFactory, TheInstanceComesFromTheParameterEntryElseFromTheClassEntryElseIsZero) {
    const ControlManager& factory = *editor->getControlManager();
    const std::pair<test::ControlNode, int> cases[] = {
        {node("Slider").parameter("Gain", 2), 2},
        {node("").string("class", "Slider", " index=\"1\"").parameter("Gain"), 1},
        {node("").string("class", "Slider", " index=\"1\"").parameter("Gain", 2), 2},
        {node("Slider").parameter("Gain"), 0},
    };
    for (const auto& [n, instance] : cases) {
        const std::unique_ptr<Control> made = make(n, factory);
        EXPECT_EQ(made->getParameterInstance(), instance);
        EXPECT_EQ(made->getParameter(), parameter("Gain", instance));
        EXPECT_TRUE(parameter("Gain", instance)->hasListener(made.get())) << instance;
        // The automatable parameter has the editor's module as a listener.
        EXPECT_TRUE(parameter("Gain", instance)->hasListener(const_cast<Module*>(plugin->getModule(0))));
    }
}

TEST_F(ControlFactory, EachControlIsLoggedWithItsTypeParameterTypeAndName) {
    test::LogCapture log(0);
    const ControlManager& factory = *editor->getControlManager();
    const std::unique_ptr<Control> bound = make(node("Slider").parameter("Level"), factory);
    const std::unique_ptr<Control> unbound = make(node("Panel"), factory);
    const std::unique_ptr<Control> unresolved = make(node("Panel").parameter("Elsewhere"), factory);
    EXPECT_EQ(log.count("] Slider<float>::Level \n"), 1);
    EXPECT_EQ(log.count("] Panel:: \n"), 1);
    EXPECT_EQ(log.count("] Panel::Elsewhere \n"), 1);
    EXPECT_EQ(unresolved->getParameter(), nullptr);
}

TEST_F(ControlFactory, AControlThatRefusesItsParameterIsDeletedAndTheRefusalPassedOn) {
    const RefusingControls refusing(editor.get());
    const int before = TestPanel::live.load();
    const Error error = test::errorThrownBy([&] { make(node("Any").parameter("Level"), refusing); });
    EXPECT_EQ(error.getMessage(), "incompatible");
    EXPECT_EQ(TestPanel::live.load(), before);
}

TEST_F(ControlFactory, TheValueControlsTypeNamesBuildTheirClassesForTheParametersTheyServe) {
    const ControlManager library(editor.get());
    const auto built = [&](const test::ControlNode& n) { return make(n, library); };
    test::LogCapture log(0);
    EXPECT_NE(dynamic_cast<ControlValueKnob*>(built(node("Knob").parameter("Level")).get()), nullptr);
    EXPECT_NE(dynamic_cast<ControlValueKnob*>(built(node("Knob")).get()), nullptr);
    EXPECT_EQ(log.count("] Knob:: \n"), 1);
    EXPECT_NE(dynamic_cast<ControlBitmap*>(built(node("Bitmap")).get()), nullptr);
    EXPECT_NE(dynamic_cast<ControlValueSlider*>(built(node("Slider").parameter("Mode")).get()), nullptr);
    EXPECT_NE(dynamic_cast<ControlValueRange*>(built(node("Range")).get()), nullptr);
    EXPECT_NE(dynamic_cast<ControlValueText*>(built(node("TextValue").parameter("Steps")).get()), nullptr);
    // A value display serves integer values and integer enumerations only.
    EXPECT_NE(dynamic_cast<ControlValueDisplay*>(built(node("Display").parameter("Steps")).get()), nullptr);
    EXPECT_NE(dynamic_cast<ControlValueDisplay*>(built(node("Display").parameter("Pattern")).get()), nullptr);
    EXPECT_EQ(test::errorThrownBy([&] { built(node("Display").parameter("Mode")); }).getMessage(),
              "Unknown control type Display<bool>");
    // A text control starts with the node's "text".
    const std::unique_ptr<Control> text = built(node("Text").string("text", "hello"));
    ASSERT_NE(dynamic_cast<ControlText*>(text.get()), nullptr);
    EXPECT_EQ(static_cast<ControlText*>(text.get())->getText(), "hello");
}
