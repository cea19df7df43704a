#include "support/InstanceTestSupport.h"

#include "engine/io/IOPinConfig.h"
#include "engine/notes/Tuning.h"
#include "engine/samples/RexTempoSource.h"
#include "framework/CPUMeter.h"
#include "framework/Error.h"
#include "framework/File.h"
#include "plugin/Parameter.h"
#include "plugin/ParameterValue.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <regex>
#include <set>

using namespace trov;
using namespace trov::test;

namespace {

class PluginTest : public testing::Test {
protected:
    InstanceWorld world;
};

ZoneManager* zonesOf(const Plugin& plugin, int preset, int module) {
    const Preset* p = plugin.getPreset(preset);
    const Program* program = p != nullptr ? p->getProgram(module) : nullptr;
    return program != nullptr ? program->getZoneManager() : nullptr;
}

TEST_F(PluginTest, InitFillsTheBankAndActivatesTheFirstPresetOnceItsProgramsExist) {
    auto plugin = world.makePlugin();
    ASSERT_EQ(plugin->getModuleCount(), 2);
    EXPECT_EQ(plugin->getModule(0)->getIndex(), 0);
    EXPECT_EQ(plugin->getModule(1)->getIndex(), 1);
    EXPECT_EQ(plugin->getOwner(), plugin->getModule(0));
    EXPECT_EQ(plugin->getModule(0)->getPlugin(), plugin.get());

    EXPECT_EQ(plugin->getPresetCount(), 16);
    std::set<std::string> ids;
    for (int i = 0; i < 16; ++i) {
        const Preset* preset = plugin->getPreset(i);
        ASSERT_NE(preset, nullptr);
        EXPECT_EQ(preset->getName(), i == 0 ? std::string() : "init " + std::to_string(i + 1));
        EXPECT_EQ(preset->getProgramCount(), 2);
        EXPECT_TRUE(std::regex_match(preset->getId(), std::regex("([0-9a-f]{4}-){7}[0-9a-f]{4}")));
        ids.insert(preset->getId());
    }
    EXPECT_EQ(ids.size(), 16u);
    EXPECT_EQ(plugin->getPreset(16), nullptr);
    EXPECT_EQ(plugin->getCurrentPresetIndex(), 0);

    // The current preset's programs play; the others wait.
    EXPECT_TRUE(zonesOf(*plugin, 0, 0)->isActive());
    EXPECT_TRUE(zonesOf(*plugin, 0, 1)->isActive());
    EXPECT_FALSE(zonesOf(*plugin, 1, 0)->isActive());
    EXPECT_EQ(plugin->getProgram(1), plugin->getPreset(0)->getProgram(1));
    EXPECT_EQ(plugin->getModule(1)->getZoneManager(), zonesOf(*plugin, 0, 1));

    EXPECT_EQ(plugin->getTuningCount(), 1);
    EXPECT_EQ(plugin->getCurrentTuningName(), "Equal Temperament");
    EXPECT_NEAR(plugin->getFrequency(71, 0.0), 440.0, 1e-9);
    EXPECT_NEAR(plugin->getFrequency(60, 25.0), equalTempered(60, 25.0), 1e-9);
    EXPECT_NE(plugin->getMidiMapper(), nullptr);
    EXPECT_EQ(plugin->queryFirstEngine(), 7);
    EXPECT_TRUE(plugin->isRunning());
    plugin->exit();
    EXPECT_FALSE(plugin->isRunning());
}

TEST_F(PluginTest, ABrokenSpecificationEndsTheApplicationAndThrowsItsLoadError) {
    world.files.write("settings.xml", "<?xml version=\"1.0\"?><dict><array name=\"parameters\">"
                                      "<dict name=\"X\"><string name=\"class\" value=\"ParameterValue\"/>"
                                      "<string name=\"type\" value=\"complex\"/></dict></array></dict>");
    int quits = 0;
    platform::setQuitHandler([&](int) { ++quits; });
    auto plugin = world.makePlugin(false);
    bool threw = false;
    try {
        plugin->init();
    } catch (const Error& error) {
        threw = error.failed();
    }
    platform::setQuitHandler(nullptr);
    EXPECT_TRUE(threw);
    EXPECT_EQ(quits, 1);
    const auto questions = world.responder.questions();
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].text,
              "Error loading settings, unable to continue.\nPlease reinstall Corvale Test. \n" +
                  (world.files / "settings.xml") +
                  ": Unknown parameter type ParameterValue<complex> (InstallPath \"" + world.files.path() +
                  "\" in the store " + (world.files / "machine.reg") + ").\n\nCorvale Test will exit.");
    EXPECT_EQ(plugin->getModuleCount(), 0);
}

TEST_F(PluginTest, AMissingSpecificationFileThrowsToo) {
    world.machine.setString("SettingsXmlFile", "nowhere.xml");
    auto plugin = world.makePlugin(false);
    EXPECT_THROW(plugin->init(), Error);
    EXPECT_TRUE(platform::isQuitRequested());
    // The message names the file it could not read and the store's values that named it.
    const auto questions = world.responder.questions();
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_NE(questions[0].text.find("Failed to import file " + (world.files / "nowhere.xml") +
                                     " (InstallPath \"" + world.files.path() + "\" in the store " +
                                     (world.files / "machine.reg") + ")."),
              std::string::npos)
        << questions[0].text;
}

TEST_F(PluginTest, SelectingAPresetSwitchesActivationAndAnnouncesIt) {
    auto plugin = world.makePlugin();
    FakeEditor editor;
    world.host.setEditor(&editor);
    MessageRecorder recorder;
    plugin->addListener(&recorder);

    plugin->selectPreset(3);
    EXPECT_EQ(plugin->getCurrentPresetIndex(), 3);
    EXPECT_EQ(plugin->getCurrentPresetName(), "init 4");
    EXPECT_FALSE(zonesOf(*plugin, 0, 0)->isActive());
    EXPECT_TRUE(zonesOf(*plugin, 3, 1)->isActive());
    ASSERT_EQ(recorder.heard.size(), 2u);
    EXPECT_EQ(recorder.heard[0].kind, kKindPlugin);
    EXPECT_EQ(recorder.heard[0].code, 0);
    EXPECT_EQ(recorder.heard[0].extra, 3u);
    EXPECT_EQ(recorder.heard[1].kind, kKindWindow);
    EXPECT_EQ(recorder.heard[1].code, Code::kDisplayFlicker);
    EXPECT_EQ(recorder.heard[1].extra, pointerToWord<EditorInterface>(&editor));
    EXPECT_EQ(editor.shown, std::vector<int>{0});

    // Out of range, negative included: nothing changes, nothing is said.
    for (int index : {16, 17, -1, INT_MIN}) {
        plugin->selectPreset(index);
        EXPECT_EQ(plugin->getCurrentPresetIndex(), 3) << index;
    }
    EXPECT_EQ(recorder.heard.size(), 2u);
    plugin->removeListener(&recorder);
    world.host.setEditor(nullptr);
}

TEST_F(PluginTest, SwitchingOutOfRangeLeavesNoPresetCurrent) {
    auto plugin = world.makePlugin();
    for (int index : {-1, 16}) {
        plugin->switchPreset(2);
        plugin->switchPreset(index);
        EXPECT_EQ(plugin->getCurrentPreset(), nullptr) << index;
        EXPECT_EQ(plugin->getCurrentPresetName(), "");
        EXPECT_EQ(plugin->getProgram(0), nullptr);
        EXPECT_EQ(plugin->getZoneManager(0), nullptr);
        EXPECT_FALSE(zonesOf(*plugin, 2, 0)->isActive());
    }
    plugin->switchPreset(0);
    EXPECT_EQ(plugin->getProgram(2), nullptr);
    EXPECT_EQ(plugin->getProgram(-1), nullptr);
}

TEST_F(PluginTest, APresetSwitchLoadsTheStoredModuleValuesOverTheDefaults) {
    auto plugin = world.makePlugin();
    Settings* upper = plugin->getModule(0)->getSettings();
    upper->setFloat("Cutoff", 6.0f, Sender::kEditor);
    upper->setFloat("Drive", 0.75f, Sender::kEditor);
    // Preset 1's programs store the values of this moment.
    plugin->getPreset(1)->createPrograms();
    upper->setFloat("Cutoff", -3.0f, Sender::kEditor);
    plugin->selectPreset(1);
    EXPECT_FLOAT_EQ(upper->getFloat("Cutoff"), 6.0f);
    EXPECT_FLOAT_EQ(upper->getFloat("Drive"), 0.75f);
    // Preset 0's programs were made at start-up, with the defaults, and kept what was edited while it
    // played.
    plugin->selectPreset(0);
    EXPECT_FLOAT_EQ(upper->getFloat("Cutoff"), -3.0f);
    EXPECT_FLOAT_EQ(upper->getFloat("Drive"), 0.75f);
    // Preset 1's values were not edited: they come back as they were stored.
    plugin->selectPreset(1);
    EXPECT_FLOAT_EQ(upper->getFloat("Cutoff"), 6.0f);
}

TEST_F(PluginTest, TuningsAreAddedOnceSelectedInRangeAndAnnounced) {
    auto plugin = world.makePlugin();
    MessageRecorder recorder;
    plugin->addListener(&recorder);
    Tuning stretched;
    stretched.setEqualTemperament();
    stretched.setDescription("Stretched");
    stretched.setAnchor(0, 7.0);

    EXPECT_EQ(plugin->addTuning(stretched), 1);
    EXPECT_EQ(plugin->getCurrentTuningIndex(), 1);
    EXPECT_NEAR(plugin->getFrequency(0, 0.0), stretched.getFrequency(0, 0.0), 1e-9);
    EXPECT_NE(stretched.getFrequency(0, 0.0), equalTempered(0));
    Tuning sameName;
    sameName.setDescription("Equal Temperament");
    EXPECT_EQ(plugin->addTuning(sameName), 0);
    EXPECT_EQ(plugin->getTuningCount(), 2);
    EXPECT_NEAR(plugin->getFrequency(69, 0.0), equalTempered(69), 1e-9);
    EXPECT_EQ(recorder.count(kKindMidi, Code::kProgramChanged), 2);

    plugin->selectTuning(1);
    EXPECT_EQ(plugin->getCurrentTuningName(), "Stretched");
    EXPECT_EQ(plugin->getCurrentTuning().getDescription(), "Stretched");
    for (int index : {2, -1, INT_MIN})
        plugin->selectTuning(index);
    EXPECT_EQ(plugin->getCurrentTuningIndex(), 1);
    EXPECT_EQ(recorder.count(kKindMidi, Code::kProgramChanged), 3);
    EXPECT_EQ(plugin->getTuningName(1), "Stretched");
    EXPECT_EQ(plugin->getTuningName(2), "");
    EXPECT_EQ(plugin->getTuningName(-1), "");
    plugin->removeListener(&recorder);
}

TEST_F(PluginTest, AutomatableParametersAreNumberedAcrossBothModules) {
    auto plugin = world.makePlugin();
    const int n = plugin->getModule(0)->getSettings()->getAutomatableCount();
    ASSERT_EQ(n, 6);
    EXPECT_EQ(plugin->getAutomatableCount(), 2 * n);

    Module* module = nullptr;
    Parameter* lowerCutoff = plugin->getAutomatableParameter(n, &module);
    EXPECT_EQ(module, plugin->getModule(1));
    EXPECT_EQ(lowerCutoff, parameterOf(*plugin, 1, "Cutoff"));
    EXPECT_EQ(plugin->getAutomatableParameter(0), parameterOf(*plugin, 0, "Cutoff"));
    EXPECT_EQ(plugin->getAutomatableIndex(plugin->getModule(1), "Cutoff", 0), n);
    EXPECT_EQ(plugin->getAutomatableIndex(plugin->getModule(1), "Transpose", 0), n + 2);
    for (int i = 0; i < 2 * n; ++i) {
        Module* owner = nullptr;
        const Parameter* parameter = plugin->getAutomatableParameter(i, &owner);
        ASSERT_NE(parameter, nullptr) << i;
        EXPECT_EQ(plugin->getAutomatableIndex(owner, parameter->getName(), parameter->getInstance()), i);
    }

    module = nullptr;
    for (int index : {-1, 2 * n, INT_MIN, INT_MAX})
        EXPECT_EQ(plugin->getAutomatableParameter(index, &module), nullptr) << index;
    EXPECT_EQ(module, nullptr);
    // Not automatable, not a parameter, not a module of this instance.
    EXPECT_EQ(plugin->getAutomatableIndex(plugin->getModule(1), "Drive", 0), -1);
    EXPECT_EQ(plugin->getAutomatableIndex(plugin->getModule(1), "Nothing", 0), -1);
    EXPECT_EQ(plugin->getAutomatableIndex(nullptr, "Cutoff", 0), -1);
    auto other = world.makePlugin();
    EXPECT_EQ(plugin->getAutomatableIndex(other->getModule(0), "Cutoff", 0), -1);
}

TEST(PluginAutomation, WithoutAutomatableParametersNoIndexFindsOne) {
    InstanceWorld world(instanceSpecification(false));
    auto plugin = world.makePlugin();
    EXPECT_EQ(plugin->getAutomatableCount(), 0);
    for (int index : {0, 1, -1})
        EXPECT_EQ(plugin->getAutomatableParameter(index), nullptr);
}

TEST_F(PluginTest, NotesReachEveryEngineWhichFindsItsZoneThroughItsModule) {
    auto plugin = world.makePlugin();
    zonesOf(*plugin, 0, 1)->createZone(KeyRange(60, 72), "S1");
    Note note;
    note.setMidiEvent(0x90, 0, 64, 99, 0, 0, 0);
    EXPECT_TRUE(plugin->receive(MidiMessage(nullptr, Code::kNoteOn, &note)));
    note.setMidiEvent(0x80, 0, 64, 0, 0, 0, 0);
    EXPECT_TRUE(plugin->receive(MidiMessage(nullptr, Code::kNoteOff, &note)));
    for (int m = 0; m < 2; ++m)
        EXPECT_EQ(InstanceWorld::engineOf(*plugin, m)->ons(64), 0) << "a note waits for the next block";
    plugin->applyEvents();
    for (int m = 0; m < 2; ++m) {
        const NoteCountingEngine* engine = InstanceWorld::engineOf(*plugin, m);
        EXPECT_EQ(engine->ons(64), 1);
        EXPECT_EQ(engine->offs(64), 1);
    }
    EXPECT_EQ(InstanceWorld::engineOf(*plugin, 0)->zone(64), -1);
    EXPECT_EQ(InstanceWorld::engineOf(*plugin, 1)->zone(64), 0);
    EXPECT_NEAR(InstanceWorld::engineOf(*plugin, 1)->lastFrequency.load(), equalTempered(64), 1e-9);
    EXPECT_FALSE(plugin->receive(MidiMessage(nullptr, Code::kProgramChanged, nullptr)));
}

TEST_F(PluginTest, ControllerOneNinetyTwoAndCurrentProgramSelectPresets) {
    auto plugin = world.makePlugin();
    const struct {
        float value;
        int preset;
    } cases[] = {{5.5f / 127.0f, 5}, {4.999f / 127.0f, 4}, {5.0f * (1.0f / 127.0f), 5}, {15.5f / 127.0f, 15},
                 {1.0f, 15},         {-0.5f, 15},          {std::nanf(""), 15},         {1e30f, 15}};
    int expected = 0;
    for (const auto& c : cases) {
        const ControllerEvent event{Plugin::kProgramSelect, c.value, 0};
        EXPECT_TRUE(plugin->receive(MidiMessage(nullptr, Code::kController, &event)));
        // Outside the bank (127 too) the last selection stays.
        expected = c.preset;
        EXPECT_EQ(plugin->getCurrentPresetIndex(), expected) << c.value;
    }
    const ControllerEvent other{7, 0.5f, 0};
    EXPECT_FALSE(plugin->receive(MidiMessage(nullptr, Code::kController, &other)));

    plugin->getModule(0)->getSettings()->setLong("CurrentProgram", 9, Sender::kHost);
    EXPECT_EQ(plugin->getCurrentPresetIndex(), 9);
}

// The editor's drop target: a station that lists the dragged files.
class DropTarget : public Radio, public DragDropTargetInterface {
public:
    File getDroppedFile(int index) const override { return index == 0 ? File(path) : File(); }
    std::string path;
};

class RecordingPlugin : public Plugin {
public:
    using Plugin::Plugin;
    bool loadFile(const File& file) override {
        loaded.push_back(file.getPath());
        return file.getExtension() == "xml";
    }
    std::vector<std::string> loaded;
};

TEST_F(PluginTest, DragsAreAcceptedForSettingsAndSampleFilesAndDropsLoadTheFile) {
    RecordingPlugin plugin(&world.host, 1);
    DropTarget target;
    const WindowMessage drag(&target, Code::kDragOver, 0);
    for (const auto& [path, accepted] : std::vector<std::pair<std::string, bool>>{
             {"/banks/one.xml", true}, {"/banks/ONE.XML", true}, {"/s/a.wav", true}, {"/s/a.txt", false}}) {
        target.path = path;
        EXPECT_EQ(plugin.receive(drag), accepted) << path;
    }
    EXPECT_FALSE(plugin.receive(WindowMessage(nullptr, Code::kDragOver, 0)));

    const std::string path = "/banks/two.xml";
    EXPECT_TRUE(
        plugin.receive(Message(nullptr, kKindWindow, Plugin::kDropFile, pointerToWord(path.c_str()))));
    EXPECT_FALSE(plugin.receive(Message(nullptr, kKindWindow, Plugin::kDropFile, 0)));
    EXPECT_EQ(plugin.loaded, std::vector<std::string>{path});
    EXPECT_FALSE(plugin.receive(Message(nullptr, kKindWindow, Code::kLeftDown, 0)));
}

TEST_F(PluginTest, ProcessRunsEveryModuleInOrderAndCountsFrames) {
    auto plugin = world.makePlugin();
    IOPinConfig inputs(2, 1);
    IOPinConfig outputs(1, 3);
    for (int c = 0; c < 3; ++c)
        outputs.getChannel(c)->allocate(64);
    plugin->process(inputs, outputs, 64);
    EXPECT_FLOAT_EQ(outputs.getChannel(0)->getData()[63], NoteCountingEngine::kLevel);
    EXPECT_FLOAT_EQ(outputs.getChannel(1)->getData()[0], 2 * NoteCountingEngine::kLevel);
    EXPECT_EQ(outputs.getChannel(2)->getValidFrames(), 0);
    EXPECT_EQ(InstanceWorld::engineOf(*plugin, 1)->blocks.load(), 1);

    EXPECT_EQ(plugin->getFramesProcessed(), 64);
    plugin->process(inputs, outputs, 88200 - 64);
    EXPECT_DOUBLE_EQ(plugin->getElapsedSeconds(), 2.0);
    world.host.setSampleRate(0);
    EXPECT_DOUBLE_EQ(plugin->getElapsedSeconds(), 0.0);
    plugin->setHost(nullptr);
    EXPECT_DOUBLE_EQ(plugin->getElapsedSeconds(), 0.0);
}

TEST_F(PluginTest, TheFrameCounterWrapsWithoutOverflow) {
    world.info.engines = InstanceTestPluginInfo::Engines::Null;
    auto plugin = world.makePlugin();
    IOPinConfig none;
    plugin->process(none, none, INT32_MAX);
    EXPECT_EQ(plugin->getFramesProcessed(), INT32_MAX);
    plugin->process(none, none, 1);
    EXPECT_EQ(plugin->getFramesProcessed(), INT32_MIN);
    plugin->process(none, none, -5);
    EXPECT_EQ(plugin->getFramesProcessed(), INT32_MIN);
}

class CountingMeter : public CPUMeter {
public:
    CountingMeter() : CPUMeter(4) {}
    double now() const override {
        ++calls;
        return 0.0;
    }
    mutable int calls = 0;
};

TEST_F(PluginTest, CpuMetersAreBracketedOnlyWhileRegistered) {
    auto plugin = world.makePlugin();
    CountingMeter meter;
    plugin->beginCpuMeter(1);
    plugin->endCpuMeter(1);
    EXPECT_EQ(meter.calls, 0);
    plugin->addCpuMeter(1, &meter);
    plugin->beginCpuMeter(1);
    plugin->endCpuMeter(1);
    const int registered = meter.calls;
    EXPECT_GE(registered, 2);
    plugin->removeCpuMeter(1);
    for (int id : {1, 0, -1, Plugin::kCpuMeterSlots}) {
        plugin->beginCpuMeter(id);
        plugin->endCpuMeter(id);
    }
    EXPECT_EQ(meter.calls, registered);
    plugin->addCpuMeter(Plugin::kCpuMeterSlots, &meter);
    plugin->beginCpuMeter(Plugin::kCpuMeterSlots);
    EXPECT_EQ(meter.calls, registered);
}

TEST_F(PluginTest, SwappingModulesExchangesThemAndTheirIndexes) {
    auto plugin = world.makePlugin();
    Module* upper = plugin->getModule(0);
    Module* lower = plugin->getModule(1);
    plugin->swapModules(0, 1);
    EXPECT_EQ(plugin->getModule(0), lower);
    EXPECT_EQ(plugin->getModule(1), upper);
    EXPECT_EQ(lower->getIndex(), 0);
    EXPECT_EQ(upper->getIndex(), 1);
    EXPECT_EQ(plugin->getModuleIndex(upper), 1);
    EXPECT_EQ(plugin->getModuleIndex(nullptr), 0);
    plugin->swapModules(0, 2);
    plugin->swapModules(-1, 0);
    EXPECT_EQ(plugin->getModule(0), lower);
    EXPECT_EQ(plugin->getModule(-1), nullptr);
    EXPECT_EQ(plugin->getModule(2), nullptr);
}

TEST_F(PluginTest, ResettingMemoryRemakesProgramsResetsModulesAndKeepsTheEditorsModule) {
    auto plugin = world.makePlugin();
    FakeEditor editor;
    editor.edited = plugin->getModule(1);
    world.host.setEditor(&editor);
    plugin->selectPreset(2);
    zonesOf(*plugin, 2, 0)->createZone(KeyRange(36, 40), "S");
    const Program* before = plugin->getProgram(0);
    plugin->getModule(0)->getSettings()->setFloat("Cutoff", 4.0f, Sender::kEditor);

    plugin->resetMemory();
    EXPECT_NE(plugin->getProgram(0), before);
    EXPECT_TRUE(plugin->getPreset(2)->isEmpty());
    EXPECT_TRUE(zonesOf(*plugin, 2, 0)->isActive());
    EXPECT_FALSE(zonesOf(*plugin, 3, 0)->isActive());
    EXPECT_EQ(InstanceWorld::engineOf(*plugin, 0)->resets.load(), 1);
    EXPECT_EQ(InstanceWorld::engineOf(*plugin, 1)->resets.load(), 1);
    EXPECT_EQ(editor.selected, std::vector<int>{1});
    // The new programs keep the values of the moment.
    EXPECT_FLOAT_EQ(plugin->getModule(0)->getSettings()->getFloat("Cutoff"), 4.0f);
    world.host.setEditor(nullptr);
}

TEST_F(PluginTest, TheActiveInstanceOwnsTheResourcesAndLendsItsHostsTempo) {
    auto plugin = world.makePlugin();
    world.host.tempo = 98.0;
    plugin->activate();
    EXPECT_EQ(world.resources->getOwner(), plugin->getModule(0));
    EXPECT_DOUBLE_EQ(RexTempoSource::currentTempo(), 98.0);
    world.host.tempo = 140.0;
    EXPECT_DOUBLE_EQ(RexTempoSource::currentTempo(), 140.0);
    plugin->deactivate();
    EXPECT_EQ(world.resources->getOwner(), nullptr);
    EXPECT_DOUBLE_EQ(RexTempoSource::currentTempo(), RexTempoSource::kDefaultTempo);
    plugin->activate();
    plugin.reset(); // an instance that goes lets go of the resources
    EXPECT_EQ(world.resources->getOwner(), nullptr);
    EXPECT_DOUBLE_EQ(RexTempoSource::currentTempo(), RexTempoSource::kDefaultTempo);
}

TEST_F(PluginTest, TheLargestBlockReachesEveryEngine) {
    auto plugin = world.makePlugin();
    plugin->setMaxBlockSize(512);
    EXPECT_EQ(plugin->getModule(0)->getEngine()->getBlockSize(), 512);
    EXPECT_EQ(plugin->getModule(1)->getEngine()->getBlockSize(), 512);
    plugin->reset();
    EXPECT_EQ(InstanceWorld::engineOf(*plugin, 1)->resets.load(), 1);
}

} // namespace
