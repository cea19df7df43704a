#include "framework/Message.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <type_traits>

using namespace trov;

TEST(Message, MidiNotesCarryTheEventPointerAndControllersCopyTheEventWords) {
    int note = 42;
    MidiMessage on(nullptr, Code::kNoteOn, &note);
    EXPECT_EQ(on.kind, kKindMidi);
    EXPECT_EQ(on.number, -1);
    EXPECT_EQ(on.value, 0.0f);
    EXPECT_EQ(on.time, 0);
    EXPECT_EQ(wordToPointer<int>(on.extra), &note);
    ControllerEvent event{128, 0.25f, 17};
    MidiMessage controller(nullptr, Code::kController, &event);
    EXPECT_EQ(controller.number, 128);
    EXPECT_EQ(controller.value, 0.25f);
    EXPECT_EQ(controller.time, 17);
}

TEST(Message, CloneOfEveryKindKeepsKindCodeSenderAndPayloadButTimerTimesStartAtZero) {
    const Radio* sender = reinterpret_cast<const Radio*>(0x1000);
    ParameterMessage parameter(sender, Code::kParameterValue, "Cutoff", 2, floatToWord(0.5f), 0.5f, 3);
    WindowMessage window(sender, Code::kDropItem, 0, Point(5, 6),
                         WindowMessage::DropItem{"/samples/a.wav", 10, 20});
    TimerMessage timer(sender, Code::kTimerTick, makeTimerId("CPUx"), 7);
    timer.interval = timer.secondsSinceStart = timer.secondsSincePrevious = 3.0;
    const ControlMessage control(sender, Code::kEditBegin, Point(3, 4), 9);
    const PluginMessage plugin(sender, Code::kPluginStateChanged, 12);
    const ResourceMessage resource(sender, Code::kResourceAdded, "OstrelNoteOnNoise", 0);
    const SystemMessage system(sender, Code::kSampleRateChanged, 48000);
    using Kind = std::pair<const Message*, std::int32_t>;
    for (const auto& [original, kind] :
         {Kind{&control, kKindControl}, Kind{&parameter, kKindParameter}, Kind{&plugin, kKindPlugin},
          Kind{&resource, kKindResource}, Kind{&window, kKindWindow}, Kind{&system, kKindSystem},
          Kind{&timer, kKindTimer}}) {
        std::unique_ptr<Message> copy(original->clone());
        const Message& copied = *copy;
        EXPECT_EQ(typeid(copied), typeid(*original));
        EXPECT_EQ(original->kind, kind);
        EXPECT_EQ(copy->kind, kind);
        EXPECT_EQ(copy->code, original->code);
        EXPECT_EQ(copy->sender, original->sender);
        EXPECT_EQ(copy->extra, original->extra);
    }
    std::unique_ptr<Message> p(parameter.clone());
    EXPECT_EQ(static_cast<const ParameterMessage&>(*p).name, "Cutoff");
    std::unique_ptr<Message> w(window.clone());
    EXPECT_EQ(static_cast<const WindowMessage&>(*w).drop.text, "/samples/a.wav");
    std::unique_ptr<Message> t(timer.clone());
    const auto& timerCopy = static_cast<const TimerMessage&>(*t);
    EXPECT_EQ(timerCopy.timerId, makeTimerId("CPUx"));
    EXPECT_EQ(timerCopy.interval + timerCopy.secondsSinceStart + timerCopy.secondsSincePrevious, 0.0);
}

TEST(Message, ExtraWordCarriesFloatsAndFullWidthPointersAndTimerIdsPackTheFirstCharacterHighest) {
    EXPECT_EQ(wordToFloat(floatToWord(-1.75f)), -1.75f);
    int local = 0;
    EXPECT_EQ(wordToPointer<int>(pointerToWord(&local)), &local);
    static_assert(sizeof(MessageWord) == sizeof(void*));
    EXPECT_EQ(makeTimerId("CPUx"), 0x43505578);
}

// A message views a name that outlives it; a temporary would leave it dangling, so it does not compile.
static_assert(std::is_constructible_v<ParameterMessage, const Radio*, std::int32_t, const std::string&,
                                      std::int32_t, MessageWord, float, std::int32_t>);
static_assert(!std::is_constructible_v<ParameterMessage, const Radio*, std::int32_t, std::string,
                                       std::int32_t, MessageWord, float, std::int32_t>);

TEST(Message, AParameterMessageViewsItsNameButEveryCopyOwnsOneThatOutlivesItsSource) {
    // Short names live inside the string object, long ones on the heap: both must survive their source.
    for (const char* text : {"Cutoff", "SampleInvertPhase"}) {
        auto name = std::make_unique<std::string>(text);
        auto original = std::make_unique<ParameterMessage>(nullptr, Code::kParameterValue, *name, 1,
                                                           floatToWord(0.5f), 0.5f, 2);
        EXPECT_EQ(original->name.data(), name->data()) << "built without a copy";

        auto copy = std::make_unique<ParameterMessage>(*original);
        std::unique_ptr<Message> clone(original->clone());
        ParameterMessage assigned(nullptr, Code::kParameterReset, "Other", 0, 0, 0.0f, 0);
        assigned = *copy;
        ParameterMessage& alias = assigned;
        assigned = alias;
        name.reset();
        original.reset();
        // A copy of a copy owns its own text too.
        ParameterMessage second(*copy);
        copy.reset();

        const ParameterMessage* const copies[] = {&assigned, &second,
                                                  static_cast<const ParameterMessage*>(clone.get())};
        for (const ParameterMessage* message : copies) {
            EXPECT_EQ(message->name, text);
            EXPECT_EQ(std::tuple(message->code, message->index, message->value, message->flags),
                      std::tuple(Code::kParameterValue, 1, 0.5f, 2));
        }
    }
}
