// Input queued faster than the editor takes it: the event that starts a modal loop (text entry, a context
// menu) is followed in the queue by the input meant for that loop. Every case queues all of it through the
// input driver at once and delivers it with one flush.
#include "instance/Plugin.h"
#include "platform/WindowSystem.h"
#include "plugin/MidiMapper.h"

#include "support/EditorHarness.h"

#include <gtest/gtest.h>

using namespace trov;
namespace VirtualKey = platform::VirtualKey;
using platform::WindowSystem;
using test::node;
using test::specification;

namespace {

class QueuedInput : public test::EditorHarness {
protected:
    QueuedInput() {
        build(specification({node("Panel")
                                 .id("special::background")
                                 .at(0, 0, 200, 120)
                                 .child(node("TextValue").id("value").parameter("Level").at(10, 10, 60, 12))
                                 .child(node("Slider")
                                            .id("lvl")
                                            .parameter("Level")
                                            .string("label", "Level knob")
                                            .at(100, 10, 20, 60))}));
        open();
        tick();
        parameter("Level")->setNormalized(0.25f, Sender::kEditor);
    }

    float level() const { return parameter("Level")->getNormalized(); }
    // The press that started the loop ended with it: nothing is held and the pointer is free.
    void expectNoPressLeft() const {
        EXPECT_EQ(editor->getPressed(), nullptr);
        EXPECT_FALSE(editor->isButtonDown());
        EXPECT_EQ(WindowSystem::instance().getCapture(), platform::kNoWindow);
    }
};

TEST_F(QueuedInput, AValueTypedWithEnterAfterADoubleClickReachesTheParameterAndEscapeKeepsTheOldOne) {
    driver.doubleClick(at(20, 15));
    driver.type("0.75\r");
    flush();
    EXPECT_FLOAT_EQ(level(), 0.75f);
    expectNoPressLeft();

    driver.doubleClick(at(20, 15));
    driver.type("0.1");
    driver.tap(VirtualKey::kEscape, 27);
    flush();
    EXPECT_FLOAT_EQ(level(), 0.75f);
    expectNoPressLeft();
}

TEST_F(QueuedInput, KeysQueuedWithARightClickChooseInTheContextMenu) {
    MidiMapper<Parameter*>& mapper = *plugin->getMidiMapper();
    // "Reset", then "Learn...": the click's own release lands on the menu's corner and chooses nothing.
    driver.click(at(110, 40), platform::kRightButton);
    driver.tap(VirtualKey::kDown);
    driver.tap(VirtualKey::kDown);
    driver.tap(VirtualKey::kReturn, '\r');
    flush();
    EXPECT_TRUE(mapper.isLearning());
    EXPECT_EQ(infoLine->textOf(&mapper), "MIDI learn : Level knob");
    EXPECT_FLOAT_EQ(level(), 0.25f);
    expectNoPressLeft();
}

TEST_F(QueuedInput, AMenuTheResponderAnswersLeavesTheQueuedInputToTheEditor) {
    responder().queueMenuChoice({"Reset"});
    driver.click(at(110, 40), platform::kRightButton);
    driver.doubleClick(at(20, 15));
    driver.type("0.5\r");
    flush();
    EXPECT_FLOAT_EQ(level(), 0.5f);
    EXPECT_EQ(control<test::TestSlider>("lvl")->seen.commands.back(),
              static_cast<MessageWord>(test::TestSlider::kResetCommand));
    expectNoPressLeft();
}

} // namespace
