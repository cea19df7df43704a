#include "plugin/Settings.h"

#include "framework/File.h"
#include "framework/MessageText.h"
#include "framework/System.h"
#include "plugin/ParameterEnum.h"
#include "plugin/ParameterScheduler.h"
#include "plugin/ParameterText.h"
#include "plugin/ParameterValue.h"
#include "plugin/PluginEnvironment.h"
#include "plugin/PluginInfo.h"
#include "support/FileTestFolder.h"
#include "support/LogCapture.h"
#include "support/PluginTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <tuple>

using namespace trov;
using test::Recorder;

namespace {

std::string item(const std::string& id, const std::string& kind, const std::string& type,
                 const std::string& more) {
    return "<dict name=\"" + id + "\"><string name=\"class\" value=\"" + kind +
           "\"/><string name=\"type\" value=\"" + type + "\"/>" + more + "</dict>";
}

std::string scope(const std::string& word) {
    return "<string name=\"scope\" value=\"" + word + "\"/>";
}
const std::string kAutomatable = "<bool name=\"automatable\" value=\"true\"/>";

// Sections with instances, every kind, and items that make no parameter.
std::string specification(const std::string& extra = std::string()) {
    return "<?xml version=\"1.0\"?><dict><array name=\"parameters\">" +
           item("Volume", "ParameterValue", "float", scope("plugin")) +
           item("Cutoff", "ParameterValue", "float", kAutomatable + scope("module")) +
           "<section name=\"Envelope\" instances=\"2\">" +
           item("Attack", "ParameterValue", "float", kAutomatable + scope("module")) +
           item("Curve", "ParameterEnum", "string",
                scope("module") +
                    "<array name=\"values\"><string value=\"lin\"/><string value=\"exp\"/></array>") +
           "<section name=\"Inner\">" +
           item("Depth", "ParameterValue", "integer", kAutomatable + scope("zone")) + "</section></section>" +
           "<section name=\"Hidden\">" + item("Secret", "ParameterValue", "bool", scope("program")) +
           "</section>" + "<section name=\"Nothing\" instances=\"0\">" +
           item("Ghost", "ParameterValue", "float", "") + "</section>" +
           item("Program", "ParameterEnum", "string",
                scope("program") + "<array name=\"values\"><string value=\"one\"/><string value=\"two\"/>"
                                   "<string value=\"three\"/></array>") +
           item("Sample", "ParameterText", "", scope("zone")) +
           item("Note", "ParameterCustom", "custom", "") +
           item("Tune", "ParameterValue", "integer",
                scope("module") +
                    "<bool name=\"export\" value=\"false\"/><integer name=\"minval\" value=\"-24\"/>"
                    "<integer name=\"maxval\" value=\"24\"/>") +
           item("Rate", "ParameterEnum", "float",
                scope("module") +
                    "<array name=\"values\"><float value=\"0.5\"/><float value=\"2\"/></array>") +
           item("Knob", "Widget", "float", "") + extra + "</array></dict>";
}

class SettingsTest : public testing::Test {
protected:
    SettingsTest() {
        const Error loaded = tree_.load(Dictionary(specification()));
        EXPECT_FALSE(loaded.failed()) << loaded.getMessage();
    }

    static std::vector<std::string> namesInOrder(const Settings& settings) {
        std::vector<std::string> names;
        for (int i = 0; i < settings.getParameterCount(); ++i)
            names.push_back(settings.getParameterAt(i)->getName() + "#" +
                            std::to_string(settings.getParameterAt(i)->getInstance()));
        return names;
    }
    static ParameterValue<float>& attack(const Settings& settings, int instance) {
        return dynamic_cast<ParameterValue<float>&>(*settings.getParameter("Attack", instance));
    }

    test::ScopedPluginInfo product_;
    Settings tree_{test::fakeModule(0)};
};

TEST_F(SettingsTest, BuildsEverySectionInstanceWithAutomatableParametersFirstAndFindsThemByNameAndInstance) {
    EXPECT_EQ(namesInOrder(tree_),
              // A section's parameters take the instance number of their innermost section.
              (std::vector<std::string>{"Depth#0", "Attack#0", "Depth#0", "Attack#1", "Cutoff#0", "Curve#0",
                                        "Curve#1", "Secret#0", "Volume#0", "Program#0", "Sample#0", "Note#0",
                                        "Tune#0", "Rate#0"}));
    EXPECT_EQ(tree_.getAutomatableCount(), 5);
    EXPECT_EQ(tree_.getParameterAt(14), nullptr);
    EXPECT_EQ(tree_.getParameterAt(-1), nullptr);
    EXPECT_EQ(&attack(tree_, 1), tree_.getParameterAt(3));
    for (const auto& [name, instance] : {std::pair{"Attack", 2}, {"Attack", -1}, {"Ghost", 0}, {"Knob", 0}})
        EXPECT_EQ(tree_.getParameter(name, instance), nullptr) << name << instance;
    EXPECT_EQ(std::tuple(tree_.getAutomatableIndex("Attack", 1), tree_.getAutomatableIndex("Cutoff"),
                         tree_.getAutomatableIndex("Volume"), tree_.getAutomatableIndex("Missing")),
              std::tuple(3, 4, -1, -1));
}

TEST_F(SettingsTest, SectionTreeListsAutomatableNamesPerInstanceAndDropsEmptySections) {
    using Names = std::vector<std::string>;
    const SettingsSection& root = tree_.getRootSection();
    EXPECT_EQ(root.getAutomatableNames(), Names{"Cutoff"});
    ASSERT_EQ(root.getSubsectionCount(), 2);
    for (int i = 0; i < 2; ++i) {
        const SettingsSection* envelope = root.getSubsection(i);
        EXPECT_EQ(envelope->getName(), "Envelope");
        EXPECT_EQ(envelope->getAutomatableNames(), Names{"Attack"});
        ASSERT_EQ(envelope->getSubsectionCount(), 1);
        EXPECT_EQ(envelope->getSubsection(0)->getAutomatableNames(), Names{"Depth"});
    }
    EXPECT_EQ(root.getSubsection(2), nullptr);
}

TEST_F(SettingsTest, TypedAccessByNameWithNeutralAnswersForOtherKinds) {
    tree_.setFloat("Volume", 0.25f, Sender::kHost);
    EXPECT_EQ(std::tuple(tree_.getFloat("Volume"), tree_.getNormalizedValue("Volume")),
              std::tuple(0.25f, 0.25f));
    tree_.setNormalizedValue("Volume", 0.5f, Sender::kHost);
    tree_.setFloat("Rate", 1.4f, Sender::kHost);
    tree_.setLong("Tune", -30, Sender::kHost);
    tree_.setBool("Secret", true, Sender::kHost);
    tree_.setString("Sample", "kick", Sender::kHost);
    tree_.setString("Note", "memo", Sender::kHost);
    EXPECT_EQ(std::tuple(tree_.getFloat("Volume"), tree_.getFloat("Rate"), tree_.getLong("Tune"),
                         tree_.getBool("Secret"), tree_.getString("Sample"), tree_.getString("Note")),
              std::tuple(0.5f, 2.0f, -24, true, "kick", "memo"));

    // Names of entries, by number: halves go to the even entry, negative numbers name none.
    const std::pair<std::function<void()>, const char*> steps[] = {
        {[&] { tree_.setFloat("Program", 2.5f, Sender::kHost); }, "three"},
        {[&] { tree_.setFloat("Program", -1.0f, Sender::kHost); }, "three"},
        {[&] { tree_.setLong("Program", 0, Sender::kHost); }, "one"},
        {[&] { tree_.setBool("Program", true, Sender::kHost); }, "two"},
    };
    for (const auto& [step, expected] : steps) {
        step();
        EXPECT_EQ(tree_.getString("Program"), expected);
    }

    tree_.setString("Volume", "x", Sender::kHost);
    tree_.setLong("Missing", 3, Sender::kHost);
    EXPECT_EQ(std::tuple(tree_.getFloat("Tune"), tree_.getBool("Volume"), tree_.getLong("Volume"),
                         tree_.getString("Volume"), tree_.getNormalizedValue("Missing"),
                         tree_.getFloat("Volume")),
              std::tuple(0.0f, false, 0, "", 0.0f, 0.5f));
}

TEST_F(SettingsTest, SavesAndLoadsTheExportedValuesOfOneScope) {
    tree_.setFloat("Cutoff", 0.9f, Sender::kHost);
    attack(tree_, 1).setValue(0.125f, Sender::kHost);
    tree_.setLong("Tune", 7, Sender::kHost);
    tree_.setFloat("Volume", 0.75f, Sender::kHost);

    Dictionary saved;
    saved.setString("file-format", "0.7.0");
    tree_.saveParameters(saved, Parameter::kScopeModule);
    const Dictionary::View values = saved.getDictionary("parameters");
    ASSERT_TRUE(values);
    EXPECT_EQ(std::tuple(values->count("Tune"), values->count("Volume"), values->count("Attack")),
              std::tuple(0, 0, 2));

    Settings other(test::fakeModule(1));
    ASSERT_FALSE(other.load(Dictionary(specification())).failed());
    other.setLong("Tune", 3, Sender::kHost);
    // Through the document's text, as a bank file carries it.
    const Dictionary reread(saved.toDocumentText());
    other.loadParameters(reread, Parameter::kScopePlugin);
    EXPECT_FLOAT_EQ(other.getFloat("Cutoff"), 0.5f);
    other.loadParameters(reread, Parameter::kScopeModule);
    EXPECT_EQ(std::tuple(other.getFloat("Cutoff"), attack(other, 1).getValue(), attack(other, 0).getValue(),
                         other.getLong("Tune"), other.getFloat("Volume")),
              std::tuple(0.9f, 0.125f, 0.5f, 3, 0.5f));
}

TEST_F(SettingsTest, LoadingSkipsBrokenAndForeignItems) {
    test::LogCapture log(3);
    Dictionary document(std::string("<?xml version=\"1.0\"?><dict><file-format value=\"0.7.0\"/><parameters>"
                                    "<Cutoff index=\"0\" value=\"0.2\" scope=\"galaxy\"/>"
                                    "<Attack index=\"7\" value=\"0.3\"/><Attack index=\"-1\" value=\"0.3\"/>"
                                    "<Unknown value=\"1\"/>stray text<Volume value=\"0.1\"/>"
                                    "<Attack index=\"1\" value=\"0.7\"/></parameters></dict>"));
    tree_.loadParameters(document, Parameter::kScopeModule);
    EXPECT_EQ(std::tuple(tree_.getFloat("Volume"), tree_.getFloat("Cutoff"), attack(tree_, 1).getValue()),
              std::tuple(0.5f, 0.5f, 0.7f));
    EXPECT_EQ(log.count("unknown scope!"), 1);
}

TEST_F(SettingsTest, CopiesShareProgramAndPluginScopeParameters) {
    Settings copy(tree_);
    ASSERT_EQ(copy.getParameterCount(), tree_.getParameterCount());
    EXPECT_EQ(copy.getParameter("Volume"), tree_.getParameter("Volume"));
    EXPECT_EQ(copy.getParameter("Program"), tree_.getParameter("Program"));
    EXPECT_NE(copy.getParameter("Cutoff"), tree_.getParameter("Cutoff"));
    EXPECT_NE(copy.getParameter("Sample"), tree_.getParameter("Sample"));
    EXPECT_EQ(copy.getAutomatableCount(), 5);
    EXPECT_EQ(copy.getRootSection().getSubsectionCount(), 2);
    copy.setFloat("Volume", 0.1f, Sender::kHost);
    copy.setFloat("Cutoff", 0.9f, Sender::kHost);
    EXPECT_EQ(std::tuple(tree_.getFloat("Volume"), tree_.getFloat("Cutoff")), std::tuple(0.1f, 0.5f));
}

TEST_F(SettingsTest, LastTreeDeletesTheSharedParameters) {
    test::LogCapture log(0);
    auto first = std::make_unique<Settings>(test::fakeModule(7));
    ASSERT_FALSE(first->load(Dictionary(specification())).failed());
    auto copy = std::make_unique<Settings>(*first);
    first.reset();
    EXPECT_EQ(std::tuple(log.count("(Cutoff)"), log.count("(Volume)")), std::tuple(1, 0));
    // Still alive and usable through the remaining copy.
    copy->setFloat("Volume", 0.3f, Sender::kHost);
    EXPECT_FLOAT_EQ(copy->getFloat("Volume"), 0.3f);
    copy.reset();
    EXPECT_EQ(std::tuple(log.count("(Cutoff)"), log.count("(Volume)")), std::tuple(2, 1));
}

TEST_F(SettingsTest, FailedLoadsReturnTheErrorAndKeepTheTree) {
    const int count = tree_.getParameterCount();
    EXPECT_EQ(tree_.load(Dictionary(specification(item("Odd", "ParameterValue", "float", scope("galaxy")))))
                  .getCode(),
              "EGEN");
    const Error typeError = tree_.load(Dictionary(specification(item("Odd", "ParameterValue", "text", ""))));
    EXPECT_EQ(typeError.getCode(), "ENSPT");
    EXPECT_EQ(typeError.getMessage(), "Unknown parameter type ParameterValue<text>");
    const Error sizeError = tree_.load(Dictionary(specification(
        "<section name=\"Huge\" instances=\"100000000\"><section instances=\"100000000\"/></section>")));
    EXPECT_EQ(sizeError.getMessage(), "specification too large");
    test::FileTestFolder folder;
    const Error fileError = tree_.load(File(folder / "missing.xml"));
    EXPECT_EQ(fileError.getCode(), "EIFL");
    EXPECT_EQ(fileError.getWhere(), "class trov::Error __thiscall trov::Settings::load(class trov::File &)");
    EXPECT_EQ(tree_.getParameterCount(), count);
    EXPECT_NE(tree_.getParameter("Cutoff"), nullptr);
}

TEST_F(SettingsTest, LoadsASpecificationFileInTheKeyNamedLayout) {
    test::FileTestFolder folder;
    const std::string path = folder.write(
        "spec.xml", "<?xml version=\"1.0\"?><dict><file-format value=\"0.7.0\"/><parameters>"
                    "<Gain><class value=\"ParameterValue\"/><type value=\"float\"/><name value=\"Gain\"/>"
                    "<automatable value=\"true\"/></Gain>"
                    "<section name=\"Pad\" instances=\"3\"><Pan><class value=\"ParameterValue\"/>"
                    "<type value=\"integer\"/><minval value=\"-64\"/><maxval value=\"63\"/></Pan></section>"
                    "</parameters></dict>");
    Settings settings;
    ASSERT_FALSE(settings.load(File(path)).failed());
    EXPECT_EQ(namesInOrder(settings), (std::vector<std::string>{"Gain#0", "Pan#0", "Pan#1", "Pan#2"}));
}

TEST_F(SettingsTest, ParameterMessageSetsTheNamedInstanceWithTheSettingsSenderCode) {
    Recorder recorder;
    attack(tree_, 1).addListener(&recorder);
    EXPECT_TRUE(tree_.receive(
        ParameterMessage(nullptr, Code::kParameterValue, "Attack", 1, 0, 0.75f, Sender::kHost)));
    EXPECT_EQ(recorder.flags(), (std::vector<std::int32_t>{Sender::kNewListener, Sender::kSettings}));
    EXPECT_EQ(recorder.last().index, 1);
    EXPECT_FLOAT_EQ(tree_.getNormalizedValue("Attack"), 0.5f);
    EXPECT_FALSE(tree_.receive(ParameterMessage(nullptr, Code::kParameterValue, "Missing", 0, 0, 0.75f, 0)));
}

TEST_F(SettingsTest, TreeListeningToAnAlwaysParameterDoesNotEchoForever) {
    auto* volume = dynamic_cast<ParameterValue<float>*>(tree_.getParameter("Volume"));
    volume->read(test::typedItem("Volume", "<string name=\"broadcast\" value=\"always\"/>"));
    Recorder recorder;
    volume->addListener(&recorder);
    tree_.tuneInTo(volume);
    recorder.entries.clear();
    volume->setValue(0.8f, Sender::kHost);
    EXPECT_FLOAT_EQ(volume->getValue(), 0.8f);
    // The change and one echo through the tree.
    EXPECT_EQ(recorder.entries.size(), 2u);
}

TEST_F(SettingsTest, ResetTouchesOnlyZoneAndModuleScope) {
    tree_.setFloat("Cutoff", 0.9f, Sender::kHost);
    tree_.setFloat("Volume", 0.9f, Sender::kHost);
    tree_.resetModuleParameters();
    EXPECT_EQ(std::tuple(tree_.getFloat("Cutoff"), tree_.getFloat("Volume")), std::tuple(0.5f, 0.9f));
}

TEST_F(SettingsTest, StationsOfTheOwnerFindTheTreeAndItsParametersByName) {
    // Built by the descriptor's parameter manager for the tree's owner.
    EXPECT_EQ(tree_.getParameter("Cutoff")->getOwner(), test::fakeModule(0));
    tree_.init();
    EXPECT_EQ(tree_.getParameter("Cutoff")->getSettings(), &tree_);

    Recorder listener;
    listener.setOwner(test::fakeModule(0));
    listener.tuneIn("Attack");
    EXPECT_TRUE(attack(tree_, 0).hasListener(&listener));
    EXPECT_TRUE(attack(tree_, 1).hasListener(&listener));
    listener.entries.clear();
    tree_.setFloat("Attack", 0.2f, Sender::kEditor);
    EXPECT_EQ(listener.flags(), std::vector<std::int32_t>{Sender::kEditor});

    // Moving the tree to another module moves its module parameters' owner only when they had none.
    tree_.setOwner(test::fakeModule(6));
    EXPECT_EQ(tree_.getParameter("Cutoff")->getOwner(), test::fakeModule(0));
    EXPECT_EQ(tree_.getParameter("Volume")->getOwner(), test::fakeModule(6));
    EXPECT_EQ(Radio(test::fakeModule(6)).getSettings(), &tree_);
}

// Distinct identities of objects the plug-in layer only passes around.
template <class T> T* identity(int n) {
    static char storage[8];
    return reinterpret_cast<T*>(&storage[n]);
}

TEST(PluginInfo, InstalledDescriptorIsTheProductIdentityAndInitBuildsTheCatalogueOnce) {
    {
        test::ScopedPluginInfo scoped;
        EXPECT_EQ(getPluginInfo(), &scoped.info);
        EXPECT_EQ(getProductIdentity().getName(), "Test Product-1");
        EXPECT_FALSE(scoped.info.isInitialized());
        scoped.info.init();
        EXPECT_TRUE(scoped.info.isInitialized());
        EXPECT_EQ(errorTextLoadingSettings,
                  "Error loading settings, unable to continue.\nPlease reinstall Test Product-1. ");
        scoped.info.name = "Renamed";
        scoped.info.init();
        EXPECT_NE(errorTextLoadingSettings.find("Test Product-1"), std::string::npos);
    }
    EXPECT_EQ(getPluginInfo(), nullptr);
    EXPECT_NE(getProductIdentity().getName(), "Test Product-1");
}

TEST(PluginInfo, VersionsRegistryRootsAndNameMatchingIgnorePunctuation) {
    test::TestPluginInfo info;
    EXPECT_EQ(std::tuple(info.getVersion(), info.getFileFormatVersion()),
              std::tuple(Version(1, 2, 7), Version(0, 7, 0)));
    EXPECT_EQ(std::tuple(info.getRegistryRoot(0), info.getRegistryRoot(2)),
              std::tuple(platform::RegistryRoot::Machine, platform::RegistryRoot::User));
    EXPECT_TRUE(info.matchesName("TestProduct1"));
    EXPECT_FALSE(info.matchesName("TestProduct2") || info.matchesName("Test Product-1"));
}

TEST(PluginInfo, SystemReportNamesBuildSystemAndProcessor) {
    test::TestPluginInfo info;
    std::string report = "old";
    info.getSystemReport(report);
    EXPECT_EQ(report, "Build type: Release (i386)\nOperating system: Linux\nCPU: " + getCPUDescription() +
                          " (x" + std::to_string(getProcessorCount()) + ")\n");
    info.buildType = PluginInfo::kBuildDevelopment;
    info.getSystemReport(report);
    EXPECT_EQ(report.rfind("Build type: Development (i386)\n", 0), 0u);
    info.buildType = 9;
    info.getSystemReport(report);
    EXPECT_EQ(report.rfind("Build type:  (i386)\n", 0), 0u);
}

TEST(PluginEnvironment, StationsReachPluginEditorAndResourcesThroughTheirModuleAndScopeThroughThemselves) {
    test::ScopedPluginInfo product;
    PluginEnvironment& environment = PluginEnvironment::instance();
    const Module* module = test::fakeModule(9);
    Plugin* plugin = identity<Plugin>(1);
    Radio station(module);
    EXPECT_EQ(station.getPlugin(), nullptr);
    environment.addModule(module, plugin);
    environment.setEditor(plugin, identity<EditorInterface>(2));
    environment.setResources(identity<Resources>(3));
    EXPECT_EQ(station.getPlugin(), plugin);
    EXPECT_EQ(station.getEditor(), identity<EditorInterface>(2));
    EXPECT_EQ(station.getResources(), identity<Resources>(3));

    environment.setEditor(plugin, nullptr);
    environment.removeModule(module);
    environment.setResources(nullptr);
    EXPECT_EQ(std::tuple(station.getEditor(), station.getPlugin(), station.getResources()),
              std::tuple(nullptr, nullptr, nullptr));

    // Whether a station is of module scope is asked of it as a parameter.
    ParameterValue<float> p(nullptr, "P", "P", 0.0f, 0.0f, 1.0f);
    EXPECT_FALSE(environment.isModuleScope(&p) || environment.isModuleScope(&station));
    p.read(test::typedItem("P", "<string name=\"scope\" value=\"module\"/>"));
    EXPECT_TRUE(environment.isModuleScope(&p));
}

TEST(PluginEnvironment, FirstTreeOfAModuleIsItsSettingsUntilItGoes) {
    test::ScopedPluginInfo product;
    const Module* module = test::fakeModule(10);
    Radio station(module);
    auto first = std::make_unique<Settings>(module);
    auto second = std::make_unique<Settings>(*first);
    EXPECT_EQ(station.getSettings(), first.get());
    first.reset();
    EXPECT_EQ(station.getSettings(), second.get());
    second.reset();
    EXPECT_EQ(station.getSettings(), nullptr);
}

TEST(PluginEnvironment, UninstallingLeavesStationsWithoutSettings) {
    const Module* module = test::fakeModule(11);
    {
        test::ScopedPluginInfo product;
        Settings tree(module);
        EXPECT_EQ(Radio(module).getSettings(), &tree);
        uninstallPluginEnvironment();
        EXPECT_EQ(Radio(module).getSettings(), nullptr);
        installPluginEnvironment();
    }
    EXPECT_EQ(getStationEnvironment(), nullptr);
}

class ParameterSchedulerTest : public testing::Test {
protected:
    // Whether a value is scheduled at the offset, and which (-1 when none).
    std::pair<bool, float> at(const char* name, int offset) const {
        float value = -1.0f;
        const bool found = scheduler_.getScheduled(name, offset, value);
        return {found, value};
    }
    static std::pair<bool, float> holds(float value) { return {true, value}; }

    test::ScopedPluginInfo product_;
    ParameterScheduler scheduler_;
    const std::pair<bool, float> none_{false, -1.0f};
};

TEST_F(ParameterSchedulerTest, OffsetsShareTheSlotOfTheirControlStepAndSlotsEndFourStepsBehindTheLast) {
    ASSERT_EQ(scheduler_.getStepSize(), 32);
    scheduler_.schedule("Cutoff", 31, 0.5f);
    scheduler_.schedule("Cutoff", 100, 0.25f);
    EXPECT_EQ(at("Cutoff", 0), holds(0.5f));
    EXPECT_EQ(at("Cutoff", 32), holds(0.0f));
    EXPECT_EQ(at("Cutoff", 96), holds(0.25f));
    EXPECT_EQ(at("Cutoff", 6 * 32), holds(0.0f));
    EXPECT_EQ(at("Cutoff", 7 * 32), none_);
    EXPECT_EQ(at("Cutoff", -1), none_);
    EXPECT_EQ(at("Resonance", 0), none_);
    // A smaller offset afterwards drops the later slots.
    scheduler_.schedule("Cutoff", 40, 0.75f);
    EXPECT_EQ(at("Cutoff", 63), holds(0.75f));
    EXPECT_EQ(at("Cutoff", 96), holds(0.25f));
    EXPECT_EQ(at("Cutoff", 5 * 32 - 1), holds(0.0f));
    EXPECT_EQ(at("Cutoff", 5 * 32), none_);
}

TEST_F(ParameterSchedulerTest, ClearedAndReservedNamesHoldNothingUntilScheduled) {
    scheduler_.schedule("A", 0, 1.0f);
    scheduler_.clear();
    scheduler_.reserve({"A", "B"}, 512);
    EXPECT_EQ(at("A", 0), none_);
    EXPECT_EQ(at("B", 0), none_);
    scheduler_.schedule("B", 511, 4.0f);
    EXPECT_EQ(at("B", 480), holds(4.0f));
    EXPECT_EQ(at("A", 0), none_);
}

TEST_F(ParameterSchedulerTest, StepSizeComesFromTheProductDescriptor) {
    product_.info.controlStep = 16;
    ParameterScheduler scheduler;
    scheduler.schedule("A", 16, 1.0f);
    float value = -1.0f;
    EXPECT_TRUE(scheduler.getScheduled("A", 31, value));
    EXPECT_EQ(value, 1.0f);
    EXPECT_TRUE(scheduler.getScheduled("A", 15, value));
    EXPECT_EQ(value, 0.0f);
}

} // namespace
