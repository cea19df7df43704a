#include "engine/io/IOPinMono.h"
#include "engine/io/IOPinStereo.h"
#include "engine/modules/EngineSynth.h"
#include "engine/modules/Module.h"
#include "engine/notes/Note.h"
#include "engine/voices/ChoirDynamic.h"
#include "engine/voices/Voice.h"
#include "framework/Message.h"
#include "support/AllocationGuard.h"
#include "support/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace trov {
namespace {

using test::makeNote;

class VoicePoolTest : public testing::Test {
protected:
    VoicePoolTest() {
        descriptor_.info.trace = &trace_;
        module_ = descriptor_.makeModule();
        engine_ = dynamic_cast<EngineSynth*>(module_->getEngine());
        pool_ = &engine_->getVoicePool();
    }

    void on(int key, int slot = Note::kAnySlot) {
        engine_->handleEvent(makeNote(module_.get(), Note::kNoteOn, key, slot));
    }
    void off(int key) { engine_->handleEvent(makeNote(module_.get(), Note::kNoteOff, key)); }

    // Runs words of a small script: "on60", "on60s2" (slot 2), "off60", "limit2", "rule4", "reuse0", "reset".
    void run(const std::string& script) {
        std::istringstream words(script);
        for (std::string word; words >> word;) {
            auto number = [&](std::size_t from) { return std::stoi(word.substr(from)); };
            if (word.rfind("off", 0) == 0) {
                off(number(3));
            } else if (word.rfind("on", 0) == 0) {
                const std::size_t s = word.find('s');
                on(std::stoi(word.substr(2, s - 2)), s == std::string::npos ? Note::kAnySlot : number(s + 1));
            } else if (word.rfind("limit", 0) == 0) {
                pool_->setVoiceLimit(number(5));
            } else if (word.rfind("rule", 0) == 0) {
                pool_->setHandOver(number(4));
            } else if (word.rfind("reuse", 0) == 0) {
                pool_->setReuse(number(5) != 0);
            } else if (word == "reset") {
                pool_->reset();
            } else {
                ADD_FAILURE() << "unknown script word " << word;
            }
        }
    }

    // Every voice in list order as "key/slot:state".
    std::string voices() const {
        std::string text;
        for (int i = 0; Voice* voice = pool_->getVoice(i); ++i)
            text += (text.empty() ? "" : " ") + std::to_string(voice->getNote().getKey()) + "/" +
                    std::to_string(voice->getNote().getSlot()) + ":" + std::to_string(voice->getState());
        return text;
    }
    // Every key not up as "key=state".
    std::string keys() const {
        std::string text;
        for (int key = 0; key < Choir::kKeyCount; ++key)
            if (const int state = pool_->getKeyState(key); state != Choir::kKeyUp)
                text += (text.empty() ? "" : " ") + std::to_string(key) + "=" + std::to_string(state);
        return text;
    }
    std::string trace() const {
        std::string text;
        for (const std::string& word : trace_)
            text += (text.empty() ? "" : " ") + word;
        return text;
    }

    test::ScopedEngineDescriptor descriptor_;
    std::vector<std::string> trace_;
    test::ModulePtr module_;
    EngineSynth* engine_ = nullptr;
    ChoirDynamic* pool_ = nullptr;
};

struct Scenario {
    std::string behaviour;
    std::string script;
    std::string voices;
    std::string keys;
    const char* trace; // null: not checked
};

void PrintTo(const Scenario& scenario, std::ostream* out) {
    *out << scenario.behaviour;
}

const std::string kEightHeld = "on60 on61 on62 on63 on64 on65 on66 on67";

const Scenario kScenarios[] = {
    {"the ninth key stops the first sounding voice, its key stays held, and the voice plays the new key",
     kEightHeld + " on68", "68/0:1 61/1:1 62/2:1 63/3:1 64/4:1 65/5:1 66/6:1 67/7:1",
     "60=1 61=2 62=2 63=2 64=2 65=2 66=2 67=2 68=2", nullptr},
    {"releasing the newest key hands its voice to the nearest held key below", kEightHeld + " on68 off68",
     "60/0:1 61/1:1 62/2:1 63/3:1 64/4:1 65/5:1 66/6:1 67/7:1", "60=2 61=2 62=2 63=2 64=2 65=2 66=2 67=2",
     nullptr},
    {"without a hand-over rule the released voice ends", "rule0 " + kEightHeld + " on68 off68",
     "68/0:4 61/1:1 62/2:1 63/3:1 64/4:1 65/5:1 66/6:1 67/7:1", "60=1 61=2 62=2 63=2 64=2 65=2 66=2 67=2",
     nullptr},
    {"a key that sounds again stops its voice at once and starts one anew", "limit8 on60 on62 on60",
     "60/2:1 62/1:1", "60=2 62=2", "0+60 1+62 0! 0+60"},
    {"a fixed slot stops whatever plays in it; its key stays held", "on60s2 on62 on64s2", "64/2:1 62/1:1",
     "60=1 62=2 64=2", "0+60 1+62 0! 0+64"},
    {"automatic slots rotate modulo the limit", "limit3 on60 on61 on62 on63", "63/0:1 61/1:1 62/2:1",
     "60=1 61=2 62=2 63=2", "0+60 1+61 2+62 0! 0+63"},
    {"without reuse every note gets a new voice and notes beyond the limit are dropped",
     "reuse0 limit2 on60 off60 on62 on64 on66", "60/0:4 62/1:1 64/0:1", "62=2 64=2", "0+60 0- 1+62 2+64"},
    {"a lower limit stops the first sounding voices in list order", "on60 on61 on62 on63 on64 limit2",
     "60/0:4 61/1:4 62/2:4 63/3:1 64/4:1", "60=1 61=1 62=1 63=2 64=2", "0+60 1+61 2+62 3+63 4+64 0! 1! 2!"},
    {"a limit of 0 never divides by zero and keeps one voice", "limit0 on60 on61", "61/0:1", "60=1 61=2",
     "0+60 0! 0+61"},
    {"a free voice on a released key is not handed over and the held key stays held",
     "limit1 rule0 on60 on70 off70 rule4 off70", "70/0:4", "60=1", "0+60 0! 0+70 0-"},
    {"reset stops and lets go every voice; rotation goes on", "on60 on61 reset on62", "62/2:1", "62=2",
     "0+60 1+61 0! 1! 2+62"},
    {"keys outside the MIDI range play but keep no state", "on200 on-3 off200", "200/0:4 -3/1:1", "",
     "0+200 1+-3 0-"},
    {"note-off of a key without a voice only sets the key up", "on60 off61", "60/0:1", "60=2", "0+60"},
};

class VoicePoolScenario : public VoicePoolTest, public testing::WithParamInterface<Scenario> {};

TEST_P(VoicePoolScenario, LeavesVoicesKeysAndCallsAsExpected) {
    const Scenario& scenario = GetParam();
    run(scenario.script);
    EXPECT_EQ(voices(), scenario.voices) << scenario.behaviour;
    EXPECT_EQ(keys(), scenario.keys) << scenario.behaviour;
    if (scenario.trace != nullptr) {
        EXPECT_EQ(trace(), scenario.trace) << scenario.behaviour;
    }
}

INSTANTIATE_TEST_SUITE_P(Behaviours, VoicePoolScenario, testing::ValuesIn(kScenarios));

// Hand-over rules 0-4 (and an unknown one) by where the held keys lie.
struct HandOver {
    int rule;
    const char* setup;
    const char* voice; // the released key's voice afterwards
    const char* keys;
};

const HandOver kHandOvers[] = {
    {0, "on60 on70 on65", "65/0:4", "60=1 70=1"}, {1, "on60 on70 on65", "70/0:1", "60=1 70=2"},
    {2, "on60 on70 on65", "60/0:1", "60=2 70=1"}, {3, "on60 on70 on65", "70/0:1", "60=1 70=2"},
    {4, "on60 on70 on65", "60/0:1", "60=2 70=1"}, {9, "on60 on70 on65", "65/0:4", "60=1 70=1"},
    {1, "on60 on65", "65/0:4", "60=1"},           {2, "on60 on65", "60/0:1", "60=2"},
    {3, "on60 on65", "60/0:1", "60=2"},           {4, "on60 on65", "60/0:1", "60=2"},
    {1, "on70 on65", "70/0:1", "70=2"},           {2, "on70 on65", "65/0:4", "70=1"},
    {3, "on70 on65", "70/0:1", "70=2"},           {4, "on70 on65", "70/0:1", "70=2"},
};

void PrintTo(const HandOver& rule, std::ostream* out) {
    *out << "rule " << rule.rule << " after " << rule.setup;
}

class HandOverRule : public VoicePoolTest, public testing::WithParamInterface<HandOver> {};

TEST_P(HandOverRule, SendsTheReleasedVoiceToTheHeldKeyItNames) {
    const HandOver& rule = GetParam();
    run("limit1 rule" + std::to_string(rule.rule) + " " + rule.setup + " off65");
    EXPECT_EQ(voices(), rule.voice) << "rule " << rule.rule << " after " << rule.setup;
    EXPECT_EQ(keys(), rule.keys) << "rule " << rule.rule << " after " << rule.setup;
    EXPECT_EQ(pool_->getActiveVoiceCount(), std::string(rule.voice).back() == '1' ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Rules, HandOverRule, testing::ValuesIn(kHandOvers));

TEST_F(VoicePoolTest, NoteOnAnswersTheVoiceOrNullAndNoteOffWhetherAVoiceWasOnTheKey) {
    Voice* first = pool_->noteOn(makeNote(module_.get(), Note::kNoteOn, 60));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(std::tuple(first->getState(), first->getSlot(), first->getNote().getOwner()),
              std::tuple(Voice::kPlaying, 0, static_cast<const FrequencySource*>(module_.get())));
    EXPECT_FALSE(pool_->noteOff(makeNote(module_.get(), Note::kNoteOff, 61), true));
    EXPECT_TRUE(pool_->noteOff(makeNote(module_.get(), Note::kNoteOff, 60), true));
    // Released with its tail whatever the caller asked.
    EXPECT_EQ(trace(), "0+60 0-");

    pool_->setReuse(false);
    pool_->setVoiceLimit(1);
    EXPECT_NE(pool_->noteOn(makeNote(module_.get(), Note::kNoteOn, 62)), nullptr);
    EXPECT_EQ(pool_->noteOn(makeNote(module_.get(), Note::kNoteOn, 63)), nullptr);
    EXPECT_EQ(pool_->getKeyState(63), Choir::kKeyUp);
    EXPECT_EQ(pool_->getVoiceCount(), 2);
}

TEST_F(VoicePoolTest, AVoiceThatDoesNotStartStaysAsideForTheNextNoteAndWithoutVoicesNotesAreDropped) {
    const auto poolOf = [](const test::ModulePtr& module) -> ChoirDynamic& {
        return dynamic_cast<EngineSynth*>(module->getEngine())->getVoicePool();
    };
    descriptor_.info.voiceKind = test::VoiceKind::Refusing;
    const int madeBefore = descriptor_.info.voicesMade.load();
    const test::ModulePtr refusing = descriptor_.makeModule();
    ChoirDynamic& pool = poolOf(refusing);
    const int made = descriptor_.info.voicesMade.load() - madeBefore;
    EXPECT_EQ(made, pool.getVoiceBound());
    for (int key : {60, 61}) {
        EXPECT_EQ(pool.noteOn(makeNote(refusing.get(), Note::kNoteOn, key)), nullptr);
        EXPECT_EQ(std::pair(pool.getVoiceCount(), pool.getMadeVoiceCount()), std::pair(0, made));
    }
    // No voice is made for a note; the one that refused is the next tried, not a fresh one.
    EXPECT_EQ(descriptor_.info.voicesMade.load() - madeBefore, made);

    descriptor_.info.voiceKind = test::VoiceKind::None;
    const test::ModulePtr none = descriptor_.makeModule();
    EXPECT_EQ(poolOf(none).noteOn(makeNote(none.get(), Note::kNoteOn, 60)), nullptr);
    EXPECT_EQ(std::pair(poolOf(none).getVoiceCount(), poolOf(none).getMadeVoiceCount()), std::pair(0, 0));
}

TEST_F(VoicePoolTest, ResetLetsVoicesGoOnceNobodyHoldsThemAndEveryKeyIsUp) {
    run("on60 on61 on62 off62");
    std::vector<Voice*> held;
    EXPECT_EQ(pool_->collectActiveVoices(held), 2);
    EXPECT_EQ(held[0]->getNote().getKey(), 60);
    const int made = pool_->getMadeVoiceCount();
    engine_->reset();
    EXPECT_EQ(std::tuple(engine_->getActiveVoiceCount(), pool_->getVoiceCount(), keys()),
              std::tuple(0, 0, ""));
    // The three that played were let go and made again; the collected two are still held.
    EXPECT_EQ(pool_->getMadeVoiceCount(), made);
    EXPECT_EQ(descriptor_.info.liveVoices.load(), made + 2);
    EXPECT_EQ(held[1]->getState(), Voice::kFree);
    pool_->releaseVoices(held);
    EXPECT_EQ(std::pair(held.size(), descriptor_.info.liveVoices.load()), std::pair(std::size_t{0}, made));
}

TEST_F(VoicePoolTest, TheEngineBroadcastsEveryNoteAndStartsOrReleasesOnlyForNoteOnAndOff) {
    struct Listener : Radio {
        bool receive(const Message& message) override {
            heard.emplace_back(message.kind, message.code, message.extra);
            return true;
        }
        std::vector<std::tuple<std::int32_t, std::int32_t, MessageWord>> heard;
    } listener;
    engine_->addListener(&listener);
    const struct {
        int type;
        std::int32_t code;
        int active;
    } kCases[] = {{0, Code::kNoteOff, 0},
                  {Note::kNoteOn, Code::kNoteOn, 1},
                  {0, Code::kNoteOff, 1},
                  {Note::kNoteOff, Code::kNoteOff, 0}};
    for (const auto& c : kCases) {
        const Note note = makeNote(module_.get(), c.type, 60);
        ASSERT_EQ(note.getType(), c.type);
        listener.heard.clear();
        engine_->handleEvent(note);
        EXPECT_EQ(listener.heard,
                  (std::vector{std::tuple(std::int32_t{kKindMidi}, c.code, pointerToWord(&note))}))
            << "type " << c.type;
        EXPECT_EQ(engine_->getActiveVoiceCount(), c.active) << "type " << c.type;
    }
    // One voice played; none was made for the notes.
    EXPECT_EQ(std::pair(pool_->getVoiceCount(), descriptor_.info.voicesMade.load()),
              std::pair(1, pool_->getMadeVoiceCount()));
    engine_->removeListener(&listener);
}

TEST_F(VoicePoolTest, BlockSizeSizesBothOutputChannels) {
    engine_->setBlockSize(256);
    const IOPinStereo& output = engine_->getOutput();
    EXPECT_EQ(
        std::tuple(engine_->getBlockSize(), output.getChannel(0)->getSize(), output.getChannel(1)->getSize()),
        std::tuple(256, 256, 256));
    EXPECT_GE(output.getChannel(1)->getCapacity(), 256);
    EXPECT_EQ(std::tuple(engine_->query(), engine_->getModulationBuffer(0), engine_->getParameterValue(1)),
              std::tuple(0, (IOChannel<float>*)nullptr, 0.0f));
    EXPECT_FALSE(engine_->receive(Message(nullptr, kKindParameter, Code::kParameterValue, 0)));
}

TEST(Voice, TheBaseVoiceIsFreeUntilStartedAndRendersSilence) {
    test::ScopedEngineDescriptor descriptor;
    test::ModulePtr module = descriptor.makeModule(nullptr, false);
    Note played = makeNote(nullptr, Note::kNoteOn, 64, 3);
    Voice voice(module.get(), 5, played);
    EXPECT_EQ(std::tuple(voice.getState(), voice.getSlot(), voice.getNote().getKey(), voice.getOwner()),
              std::tuple(Voice::kFree, 5, 64, static_cast<const Module*>(module.get())));
    EXPECT_EQ(voice.getNote().getOwner(), static_cast<const FrequencySource*>(module.get()));
    voice.changeNote(makeNote(nullptr, Note::kNoteOn, 65));
    EXPECT_EQ(std::pair(voice.getState(), voice.getNote().getKey()), std::pair(Voice::kFree, 65));
    voice.noteOn(makeNote(nullptr, Note::kNoteOn, 66, 1));
    EXPECT_EQ(std::tuple(voice.getState(), voice.getNote().getKey(), voice.getNote().getSlot()),
              std::tuple(Voice::kPlaying, 66, 1));
    voice.changeNote(makeNote(nullptr, Note::kNoteOn, 67));
    EXPECT_EQ(voice.getState(), Voice::kPlaying);

    IOPinStereo output;
    output.setSize(32);
    output.setValidFrames(32);
    EXPECT_FALSE(voice.render(nullptr, output));
    EXPECT_EQ(std::pair(output.getChannel(0)->getValidFrames(), output.getChannel(1)->getValidFrames()),
              std::pair(0, 0));
    voice.noteOff(Note(), false);
    EXPECT_EQ(voice.getState(), Voice::kFree);
}

// Once the pool holds as many voices as its limit, notes (with stealing and hand-over) and the render walk
// run on the audio thread's terms.
TEST_F(VoicePoolTest, AtItsLimitThePoolNeitherAllocatesForNotesNorForTheRenderWalk) {
    descriptor_.info.trace = nullptr;
    descriptor_.info.voiceKind = test::VoiceKind::Rendering;
    module_ = descriptor_.makeModule();
    engine_ = dynamic_cast<EngineSynth*>(module_->getEngine());
    pool_ = &engine_->getVoicePool();
    engine_->setBlockSize(64);
    IOPinStereo mix;
    mix.setSize(64);
    run("on60 on61 on62 on63 on64 on65 on66 on67");
    const Note stealing = makeNote(module_.get(), Note::kNoteOn, 72);
    const Note handing = makeNote(module_.get(), Note::kNoteOff, 72);
    const Note again = makeNote(module_.get(), Note::kNoteOn, 61);
    int rendered = 0;
    {
        test::AllocationGuard guard("notes and the render walk");
        for (int round = 0; round < 4; ++round) {
            engine_->handleEvent(stealing);
            engine_->handleEvent(handing);
            engine_->handleEvent(again);
            mix.setValidFrames(0);
            mix.getChannel(0)->clear();
            mix.getChannel(1)->clear();
            pool_->forEachVoice([&](Voice& voice) {
                IOPinStereo& output = engine_->getOutput();
                output.setValidFrames(0);
                if (voice.render(nullptr, output)) {
                    engine_->getMixer().mixPin(mix, output, 1.0f, 0.5f);
                    ++rendered;
                }
            });
        }
    }
    EXPECT_EQ(std::pair(pool_->getVoiceCount(), rendered), std::pair(8, 32));
    EXPECT_EQ(keys(), "60=2 61=2 62=2 63=2 64=2 65=2 66=2 67=2");
    EXPECT_FLOAT_EQ(mix.getChannel(1)->getData()[63], 8 * test::RenderingVoice::kLevel);
}

} // namespace
} // namespace trov
