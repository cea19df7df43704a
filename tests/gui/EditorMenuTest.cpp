// The right click: a control's context menu with its own items and the MIDI-learn items over the
// plug-in's controller mapper, answered by the scripted responder; the chosen command, learning and its
// time-out, the controller line of the tooltip.
#include "gui/controls/MidiNames.h"
#include "instance/Plugin.h"
#include "platform/MenuSession.h"
#include "plugin/MidiMapper.h"

#include "support/EditorHarness.h"

#include <gtest/gtest.h>

using namespace trov;
using test::node;
using test::specification;
using test::TestPanel;
using test::TestSlider;

namespace {

using Entries = std::vector<std::string>;

// An entry as text: "~" greyed, "*" checked, ">" a submenu, "-" a separator.
Entries texts(const platform::MenuSession& menu) {
    Entries out;
    for (const auto& e : menu.entries())
        out.push_back(e.separator ? "-"
                                  : e.text + (e.submenu ? ">" : "") + (e.enabled ? "" : "~") +
                                        (e.checked ? "*" : ""));
    return out;
}

class EditorMenu : public test::EditorHarness {
protected:
    EditorMenu() { buildWith(test::ControlNode("Panel")); }

    // The background (the given node) holds sliders on "Level" (labelled), "Cutoff", "Drive" (not
    // automatable) and "Level" again without learn.
    void buildWith(test::ControlNode background) {
        build(specification(
            {background.id("special::background")
                 .at(0, 0, 200, 120)
                 .child(node("Slider")
                            .id("lvl")
                            .parameter("Level")
                            .string("label", "Level knob")
                            .string("tooltip", "Loudness")
                            .at(10, 10, 20, 60))
                 .child(node("Slider").id("cut").parameter("Cutoff").at(40, 10, 20, 60))
                 .child(node("Slider").id("drv").parameter("Drive").at(70, 10, 20, 60))
                 .child(
                     node("Slider").id("nol").parameter("Level").flag("learn", false).at(100, 10, 20, 60))}));
        open();
    }

    MidiMapper<Parameter*>& mapper() { return *plugin->getMidiMapper(); }

    // Opens the menu with a right click at the point and reads the root level and, when present and
    // enabled, the two submenus; nothing is chosen.
    struct Read {
        Entries root, controllers, range;
    };
    Read read(int x, int y) {
        Read seen;
        responder().queueMenu([&](platform::MenuSession& menu) {
            seen.root = texts(menu);
            for (const auto& [title, into] :
                 {std::pair{"MIDI Controllers", &seen.controllers}, std::pair{"MIDI Range", &seen.range}}) {
                const auto at = std::find(seen.root.begin(), seen.root.end(), std::string(title) + ">");
                if (at == seen.root.end() || !menu.hover(static_cast<int>(at - seen.root.begin())) ||
                    !menu.openSubmenu())
                    continue;
                *into = texts(menu);
                menu.closeSubmenu();
            }
            menu.dismiss();
        });
        rightClick(x, y);
        return seen;
    }
    void choose(int x, int y, std::vector<std::string> path) {
        responder().queueMenuChoice(std::move(path));
        rightClick(x, y);
    }
};

} // namespace

TEST_F(EditorMenu, WithoutAControllerForgetAndRangeAreGreyedAndNoControllerIsChecked) {
    const Read menu = read(20, 40);
    EXPECT_EQ(menu.root, (Entries{"Reset", "Learn...", "Forget~", "MIDI Controllers>", "MIDI Range>~", "-"}));
    std::vector<std::string> named;
    for (int n = 0; n < 130; ++n)
        if (!getControllerName(n).empty())
            named.push_back(getControllerName(n));
    EXPECT_EQ(menu.controllers, named);
    EXPECT_EQ(menu.controllers.size(), 49u);
    EXPECT_EQ(menu.controllers.back(), "Aftertouch");
    EXPECT_TRUE(menu.range.empty());
}

TEST_F(EditorMenu, AnAssignedControllerIsNamedCheckedAndItsRangeShownForABipolarParameterOnly) {
    mapper().assign(7, parameter("Cutoff"));
    mapper().setRange(7, 2);
    mapper().assign(1, parameter("Level"));
    mapper().setInvert(1, 1);
    const Read cutoff = read(50, 40);
    EXPECT_EQ(cutoff.root[2], "Forget (Main Volume)");
    EXPECT_EQ(cutoff.range, (Entries{"Positive", "Full", "Negative*", "-", "Invert"}));
    EXPECT_NE(std::find(cutoff.controllers.begin(), cutoff.controllers.end(), "Main Volume*"),
              cutoff.controllers.end());
    const Read level = read(20, 40);
    EXPECT_EQ(level.range, (Entries{"Invert*"})); // 0..1 has no halves
}

TEST_F(EditorMenu, ChosenCommandsPairForgetInvertAndSetTheRangeOfTheController) {
    choose(20, 40, {"MIDI Controllers", "Modulation Wheel"});
    EXPECT_EQ(mapper().getController(parameter("Level")), 1);
    choose(20, 40, {"MIDI Controllers", "Main Volume"});
    EXPECT_EQ(mapper().getController(parameter("Level")), 7);
    EXPECT_EQ(mapper().getTarget(1), nullptr); // the pairing moved
    choose(20, 40, {"MIDI Range", "Invert"});
    EXPECT_EQ(mapper().getInvert(7), 1);
    choose(20, 40, {"MIDI Range", "Invert"});
    EXPECT_EQ(mapper().getInvert(7), 0);
    choose(20, 40, {"Forget (Main Volume)"});
    EXPECT_EQ(mapper().getController(parameter("Level")), -1);
    choose(50, 40, {"MIDI Controllers", "Pan"});
    choose(50, 40, {"MIDI Range", "Negative"});
    EXPECT_EQ(mapper().getRange(10), 2);
    choose(20, 40, {"Reset"}); // the control's own item comes back as its own command
    EXPECT_FLOAT_EQ(parameter("Level")->getNormalized(), 0.0f);
    EXPECT_EQ(control<TestSlider>("lvl")->seen.commands.back(),
              static_cast<MessageWord>(TestSlider::kResetCommand));
}

TEST_F(EditorMenu, LearningAssignsTheNextControllerOrEndsAfterTenSecondsWithNothingAssigned) {
    choose(20, 40, {"Learn..."});
    EXPECT_EQ(infoLine->textOf(&mapper()), "MIDI learn : Level knob");
    plugin->applyController(11, 0.5f, 0);
    EXPECT_EQ(mapper().getController(parameter("Level")), 11);
    EXPECT_EQ(infoLine->textOf(&mapper()), "");

    choose(50, 40, {"Learn..."});
    EXPECT_TRUE(mapper().isLearning());
    tick(199);
    EXPECT_TRUE(mapper().isLearning());
    tick(1);
    EXPECT_FALSE(mapper().isLearning());
    EXPECT_EQ(infoLine->textOf(&mapper()), "");
    EXPECT_EQ(mapper().getController(parameter("Cutoff")), -1);
}

TEST_F(EditorMenu, ControlsWithoutAnAutomatableParameterOrWithoutLearnAddNoItemsButTheirParentsDo) {
    buildWith(node("Panel").parameter("Volume").flag("focusable", false));
    for (int x : {80, 110}) {
        const Read menu = read(x, 40);
        EXPECT_EQ(menu.root.front(), "Reset");
        EXPECT_EQ(std::count(menu.root.begin(), menu.root.end(), "Learn..."), 1) << x;
    }
    // Empty space: the background's own menu.
    EXPECT_EQ(read(150, 100).root,
              (Entries{"Learn...", "Forget~", "MIDI Controllers>", "MIDI Range>~", "-"}));
    choose(150, 100, {"MIDI Controllers", "Balance"});
    EXPECT_EQ(mapper().getController(parameter("Volume")), 8);
}

TEST_F(EditorMenu, AnItemComesBackOnlyToItsOwnerAndOnlyWhenTheOwnerIsOneOfTheEditorsControls) {
    TestSlider* level = control<TestSlider>("lvl");
    TestPanel* background = control("special::background");
    level->otherOwner = reinterpret_cast<MessageWord>(background);
    choose(20, 40, {"Other"});
    EXPECT_EQ(background->seen.commands, std::vector<MessageWord>{TestSlider::kResetCommand});
    test::Seen notAControl;
    level->otherOwner = reinterpret_cast<MessageWord>(&notAControl);
    const std::size_t before = level->seen.commands.size();
    choose(20, 40, {"Other"});
    EXPECT_EQ(level->seen.commands.size(), before);
}

TEST_F(EditorMenu, TheTooltipNamesTheControllerOnlyWhenLearnIsOn) {
    mapper().assign(7, parameter("Level"));
    EXPECT_EQ(control<TestSlider>("lvl")->getTooltip(), "Loudness\r\nMIDI Remote: Main Volume");
    EXPECT_EQ(control<TestSlider>("nol")->getTooltip(), "");
    mapper().assign(7, nullptr);
    EXPECT_EQ(control<TestSlider>("lvl")->getTooltip(), "Loudness");
}
