#include "plugin/PluginEnvironment.h"

#include "framework/MessageText.h"
#include "framework/System.h"
#include "plugin/ParameterScheduler.h"
#include "plugin/ParameterValue.h"
#include "plugin/PluginInfo.h"
#include "plugin/PluginTestSupport.h"
#include "plugin/Settings.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

using namespace trov;

namespace {

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
