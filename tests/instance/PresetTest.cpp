#include "support/InstanceTestSupport.h"

#include "framework/Dictionary.h"
#include "plugin/Parameter.h"

#include <gtest/gtest.h>

#include <regex>

using namespace trov;
using namespace trov::test;

namespace {

class PresetTest : public testing::Test {
protected:
    Settings& upper() { return *plugin->getModule(0)->getSettings(); }
    ZoneManager& zonesOf(const Preset& preset, int module) {
        return *preset.getProgram(module)->getZoneManager();
    }

    InstanceWorld world;
    std::unique_ptr<Plugin> plugin = world.makePlugin();
};

TEST_F(PresetTest, CopiesOfOnePrototypeGetIdentifiersOfTheirOwn) {
    Preset prototype(plugin.get());
    prototype.setName("lead");
    const Preset a(prototype);
    const Preset b(prototype);
    const std::regex shape("([0-9a-f]{4}-){7}[0-9a-f]{4}");
    for (const Preset* preset : {static_cast<const Preset*>(&prototype), &a, &b}) {
        EXPECT_EQ(preset->getId().size(), 39u);
        EXPECT_TRUE(std::regex_match(preset->getId(), shape)) << preset->getId();
    }
    EXPECT_NE(a.getId(), b.getId());
    EXPECT_NE(a.getId(), prototype.getId());
    EXPECT_EQ(a.getName(), "lead");
    EXPECT_EQ(a.getOwner(), plugin.get());
    EXPECT_EQ(a.getProgramCount(), 0);
    EXPECT_EQ(a.getProgram(0), nullptr);
}

TEST_F(PresetTest, APresetWrittenAndReadKeepsIdentifierNameValuesAndZones) {
    Preset& source = *plugin->getPreset(4);
    source.setName("Strings");
    upper().setFloat("Cutoff", -6.0f, Sender::kEditor);
    upper().setFloat("Drive", 0.25f, Sender::kEditor);
    source.getProgram(0)->init();
    zonesOf(source, 1).createZone(KeyRange(40, 52), "S-A");
    zonesOf(source, 1).createZone(KeyRange(53, 70), "S-B");
    Dictionary document;
    EXPECT_TRUE(source.write(document));

    Preset& target = *plugin->getPreset(7);
    EXPECT_TRUE(target.read(document));
    EXPECT_EQ(target.getId(), source.getId());
    EXPECT_EQ(target.getName(), "Strings");
    EXPECT_EQ(zonesOf(target, 1).getZoneCount(), 2);
    EXPECT_EQ(zonesOf(target, 1).getZoneSampleName(1), "S-B");
    EXPECT_EQ(zonesOf(target, 0).getZoneCount(), 0);
    EXPECT_TRUE(target.getProgram(0)->getValues() == source.getProgram(0)->getValues());

    upper().setFloat("Cutoff", 1.0f, Sender::kEditor);
    plugin->selectPreset(7);
    EXPECT_FLOAT_EQ(upper().getFloat("Cutoff"), -6.0f);
    EXPECT_FLOAT_EQ(upper().getFloat("Drive"), 0.25f);
}

TEST_F(PresetTest, MissingModuleItemsClearTheZonesOfTheRemainingProgramsButKeepTheirValues) {
    Preset& preset = *plugin->getPreset(2);
    zonesOf(preset, 0).createZone(KeyRange(40, 52), "S-A");
    zonesOf(preset, 1).createZone(KeyRange(40, 52), "S-B");
    const Dictionary storedBefore = preset.getProgram(1)->getValues();
    const Dictionary document(std::string(
        "<?xml version=\"1.0\"?><dict><file-format value=\"0.7.0\"/><id value=\"abcd\"/><modules><module>"
        "<zones><zone><id value=\"S-C\"/><min value=\"36\"/><max value=\"38\"/>"
        "</zone></zones></module></modules></dict>"));
    preset.read(document);
    EXPECT_EQ(preset.getId(), "abcd");
    EXPECT_EQ(preset.getName(), "");
    EXPECT_EQ(zonesOf(preset, 0).getZoneSampleName(0), "S-C");
    EXPECT_EQ(zonesOf(preset, 1).getZoneCount(), 0);
    EXPECT_TRUE(preset.getProgram(1)->getValues() == storedBefore);
}

TEST_F(PresetTest, ProgramsWithoutSampledZonesAreEmpty) {
    Preset& preset = *plugin->getPreset(5);
    EXPECT_TRUE(preset.isEmpty());
    zonesOf(preset, 0).createZone(KeyRange(40, 52), "");
    zonesOf(preset, 1).createZone(KeyRange(40, 52), "");
    EXPECT_TRUE(preset.getProgram(0)->isEmpty());
    EXPECT_TRUE(preset.isEmpty());
    std::set<std::string> ids{"stale"};
    preset.getSampleIds(ids);
    EXPECT_TRUE(ids.empty());
    zonesOf(preset, 1).createZone(KeyRange(60, 70), "S-X");
    EXPECT_FALSE(preset.getProgram(1)->isEmpty());
    EXPECT_FALSE(preset.isEmpty());
    preset.getSampleIds(ids);
    EXPECT_EQ(ids, std::set<std::string>{"S-X"});
    preset.getProgram(1)->clear();
    EXPECT_TRUE(preset.isEmpty());
}

TEST_F(PresetTest, ActivationResetsWhatTheStoredValuesLack) {
    Program& program = *plugin->getPreset(0)->getProgram(0);
    program.read(Dictionary(std::string(
        "<?xml version=\"1.0\"?><dict><file-format value=\"0.7.0\"/><parameters><Cutoff value=\"7\"/>"
        "</parameters></dict>")));
    upper().setFloat("Drive", 0.875f, Sender::kEditor);
    upper().setFloat("Cutoff", 2.0f, Sender::kEditor);
    // Reading stores the values; they reach the parameters at the next activation.
    EXPECT_FLOAT_EQ(upper().getFloat("Cutoff"), 2.0f);
    program.activate();
    EXPECT_FLOAT_EQ(upper().getFloat("Cutoff"), 7.0f);
    EXPECT_FLOAT_EQ(upper().getFloat("Drive"), 0.5f);
}

TEST_F(PresetTest, AProgramStoresTheParameterChangesItIsGiven) {
    Program& program = *plugin->getPreset(0)->getProgram(0);
    upper().setFloat("Resonance", 0.75f, Sender::kEditor);
    Parameter* resonance = upper().getParameter("Resonance");
    EXPECT_TRUE(
        program.receive(ParameterMessage(resonance, Code::kParameterValue, "Resonance", 0, 0, 0.75f, 2)));
    EXPECT_TRUE(
        program.receive(ParameterMessage(resonance, Code::kParameterValue, "Nothing", 0, 0, 0.5f, 2)));
    EXPECT_FALSE(program.receive(Message(nullptr, kKindWindow, Code::kLeftDown, 0)));
    upper().setFloat("Resonance", 0.125f, Sender::kEditor);
    program.activate();
    EXPECT_FLOAT_EQ(upper().getFloat("Resonance"), 0.75f);

    // A program whose values were emptied gets its "parameters" back with the first change.
    Program& other = *plugin->getPreset(1)->getProgram(0);
    other.read(Dictionary(std::string("<?xml version=\"1.0\"?><dict/>")));
    upper().setFloat("Resonance", 0.125f, Sender::kEditor);
    EXPECT_TRUE(
        other.receive(ParameterMessage(resonance, Code::kParameterValue, "Resonance", 0, 0, 0.125f, 2)));
    upper().setFloat("Resonance", 0.5f, Sender::kEditor);
    other.activate();
    EXPECT_FLOAT_EQ(upper().getFloat("Resonance"), 0.125f);
}

TEST_F(PresetTest, ProgramsAreReachedInRangeOnlyAndLetGoOfTheirZonesOnExit) {
    Preset& preset = *plugin->getPreset(6);
    EXPECT_EQ(preset.getProgram(-1), nullptr);
    EXPECT_EQ(preset.getProgram(2), nullptr);
    zonesOf(preset, 0).createZone(KeyRange(40, 52), "S-A");
    preset.exitPrograms();
    EXPECT_EQ(preset.getProgram(0)->getZoneManager(), nullptr);
    EXPECT_TRUE(preset.isEmpty());
    preset.clearPrograms();
    EXPECT_EQ(preset.getProgramCount(), 0);
    preset.createPrograms();
    EXPECT_EQ(preset.getProgramCount(), 2);
    EXPECT_EQ(preset.getProgram(1)->getOwner(), plugin->getModule(1));
}

// The instance tests' specification with a zone-scope value beside the module-scope ones.
std::string specificationWithZoneValue() {
    std::string specification = instanceSpecification();
    specification.insert(specification.rfind("</array>"),
                         specItem("Pan", "float", "zone", "<float name=\"defval\" value=\"0.5\"/>"));
    return specification;
}

TEST(PresetSwitch, EditsMadeWhileAPresetPlaysAreThereWhenItComesBack) {
    InstanceWorld world(specificationWithZoneValue());
    auto plugin = world.makePlugin();
    Settings& settings = *plugin->getModule(0)->getSettings();
    // A current zone in both presets holds the zone values.
    for (int preset : {1, 0}) {
        plugin->selectPreset(preset);
        plugin->getZoneManager(0)->createZone(KeyRange(36, 96), "");
    }
    struct Case {
        const char* name;
        float initial; // the specification's default
        float inFirst, inSecond;
    };
    for (const Case& c : {Case{"Cutoff", 0.0f, 7.0f, -4.0f}, Case{"Pan", 0.5f, 0.25f, 0.875f}}) {
        plugin->selectPreset(0);
        settings.setFloat(c.name, c.inFirst, Sender::kEditor);
        plugin->selectPreset(1);
        EXPECT_FLOAT_EQ(settings.getFloat(c.name), c.initial) << c.name;
        settings.setFloat(c.name, c.inSecond, Sender::kEditor);
        plugin->selectPreset(0);
        EXPECT_FLOAT_EQ(settings.getFloat(c.name), c.inFirst) << c.name;
        plugin->selectPreset(1);
        EXPECT_FLOAT_EQ(settings.getFloat(c.name), c.inSecond) << c.name;
    }
}

TEST(PresetSwitch, ABankReadKeepsItsOwnValuesOverWhatWasEditedBeforeIt) {
    InstanceWorld world;
    auto source = world.makePlugin();
    source->getModule(0)->getSettings()->setFloat("Cutoff", 3.0f, Sender::kEditor);
    // Preset 0 stays empty: reading makes preset 2 current, leaving preset 0.
    source->getPreset(2)->getProgram(1)->getZoneManager()->createZone(KeyRange(40, 60), "S-X");
    Dictionary bank;
    source->writeState(bank, false);

    auto target = world.makePlugin();
    Settings& settings = *target->getModule(0)->getSettings();
    settings.setFloat("Cutoff", 7.0f, Sender::kEditor);
    ASSERT_TRUE(target->readState(bank));
    ASSERT_EQ(target->getCurrentPresetIndex(), 2);
    target->selectPreset(0);
    EXPECT_FLOAT_EQ(settings.getFloat("Cutoff"), 3.0f);
}

} // namespace
