#include "framework/Message.h"

#include <gtest/gtest.h>

#include <memory>

using namespace trov;

TEST(Message, MidiNoteKeepsDefaultsAndCarriesTheEventPointer) {
    int note = 42;
    MidiMessage m(nullptr, Code::kNoteOn, &note);
    EXPECT_EQ(m.kind, kKindMidi);
    EXPECT_EQ(m.number, -1);
    EXPECT_EQ(m.value, 0.0f);
    EXPECT_EQ(m.time, 0);
    EXPECT_EQ(wordToPointer<int>(m.extra), &note);
}

TEST(Message, MidiControllerCopiesTheEventWords) {
    ControllerEvent event{128, 0.25f, 17};
    MidiMessage m(nullptr, Code::kController, &event);
    EXPECT_EQ(m.number, 128);
    EXPECT_EQ(m.value, 0.25f);
    EXPECT_EQ(m.time, 17);
}

TEST(Message, TimerCopiesStartWithZeroTimes) {
    TimerMessage m(nullptr, Code::kTimerTick, makeTimerId("CPUx"), 7);
    m.interval = 50.0;
    m.secondsSinceStart = 3.0;
    m.secondsSincePrevious = 1.0;
    std::unique_ptr<Message> copy(m.clone());
    auto* timer = dynamic_cast<TimerMessage*>(copy.get());
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->timerId, makeTimerId("CPUx"));
    EXPECT_EQ(timer->extra, 7u);
    EXPECT_EQ(timer->interval, 0.0);
    EXPECT_EQ(timer->secondsSinceStart, 0.0);
    EXPECT_EQ(timer->secondsSincePrevious, 0.0);
}

TEST(Message, TimerIdentifierPacksTheFirstCharacterHighest) {
    EXPECT_EQ(makeTimerId("CPUx"), 0x43505578);
}

TEST(Message, CloneOfEveryKindKeepsKindCodeSenderAndPayload) {
    const Radio* sender = reinterpret_cast<const Radio*>(0x1000);
    ControlMessage control(sender, Code::kEditBegin, Point(3, 4), 9);
    control.area = Rect(1, 2, 3, 4);
    ParameterMessage parameter(sender, Code::kParameterValue, "Cutoff", 2, floatToWord(0.5f), 0.5f, 3);
    PluginMessage plugin(sender, Code::kPluginStateChanged, 12);
    plugin.text = "state";
    ResourceMessage resource(sender, Code::kResourceAdded, "OstrelNoteOnNoise", 0);
    WindowMessage::DropItem item{"/samples/a.wav", 10, 20};
    WindowMessage window(sender, Code::kDropItem, 0, Point(5, 6), item);
    SystemMessage system(sender, Code::kSampleRateChanged, 48000);

    const Message* all[] = {&control, &parameter, &plugin, &resource, &window, &system};
    for (const Message* original : all) {
        std::unique_ptr<Message> copy(original->clone());
        EXPECT_EQ(typeid(*copy), typeid(*original));
        EXPECT_EQ(copy->kind, original->kind);
        EXPECT_EQ(copy->code, original->code);
        EXPECT_EQ(copy->sender, original->sender);
        EXPECT_EQ(copy->extra, original->extra);
    }
    std::unique_ptr<Message> p(parameter.clone());
    const auto& pc = static_cast<const ParameterMessage&>(*p);
    EXPECT_EQ(pc.name, "Cutoff");
    EXPECT_EQ(pc.index, 2);
    EXPECT_EQ(pc.value, 0.5f);
    EXPECT_EQ(pc.flags, 3);
    std::unique_ptr<Message> w(window.clone());
    const auto& wc = static_cast<const WindowMessage&>(*w);
    EXPECT_EQ(wc.drop.text, "/samples/a.wav");
    EXPECT_EQ(wc.drop.first, 10);
    EXPECT_EQ(wc.drop.second, 20);
    EXPECT_EQ(wc.where, Point(5, 6));
    EXPECT_EQ(wc.value, 0);
    std::unique_ptr<Message> c(control.clone());
    EXPECT_EQ(static_cast<const ControlMessage&>(*c).area, Rect(1, 2, 3, 4));
    EXPECT_EQ(static_cast<const PluginMessage&>(*std::unique_ptr<Message>(plugin.clone())).text, "state");
}

TEST(Message, ExtraWordCarriesFloatsAndFullWidthPointers) {
    EXPECT_EQ(wordToFloat(floatToWord(-1.75f)), -1.75f);
    int local = 0;
    EXPECT_EQ(wordToPointer<int>(pointerToWord(&local)), &local);
    static_assert(sizeof(MessageWord) == sizeof(void*));
}

TEST(Message, WindowConstructorsFillOnlyTheirFields) {
    WindowMessage wheel(nullptr, Code::kMouseWheel, -120);
    EXPECT_EQ(wheel.value, -120);
    EXPECT_EQ(wheel.extra, 0u);
    EXPECT_EQ(wheel.drop.text, "");
    WindowMessage state(nullptr, Code::kEditorCommand, 1, 2, 3, 4, 5);
    EXPECT_EQ(state.state[0], 2);
    EXPECT_EQ(state.state[2], 4);
    EXPECT_EQ(state.extra, 5u);
    WindowMessage mouse(nullptr, Code::kMouseMove, 7, WindowMessage::MouseBlock{1, 2.5f, 3, 4}, 0);
    EXPECT_EQ(mouse.mouse.b, 2.5f);
    EXPECT_EQ(mouse.mouse.d, 4);
}
