#include "plugin/PluginEnvironment.h"

#include "framework/MessageText.h"
#include "framework/System.h"
#include "plugin/ParameterValue.h"
#include "plugin/PluginInfo.h"
#include "plugin/PluginTestSupport.h"
#include "plugin/Settings.h"

#include <gtest/gtest.h>

#include <memory>

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

TEST(PluginInfo, RegistryRootsVersionsAndNameMatching) {
    test::TestPluginInfo info;
    EXPECT_EQ(info.getRegistryRoot(0), platform::RegistryRoot::Machine);
    EXPECT_EQ(info.getRegistryRoot(2), platform::RegistryRoot::User);
    EXPECT_EQ(info.getFileFormatVersion(), Version(0, 7, 0));
    EXPECT_EQ(info.getVersion(), Version(1, 2, 7));
    EXPECT_TRUE(info.matchesName("TestProduct1"));
    EXPECT_FALSE(info.matchesName("TestProduct2"));
    EXPECT_FALSE(info.matchesName("Test Product-1"));
}

TEST(PluginEnvironment, StationsReachPluginEditorAndResourcesThroughTheirModule) {
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
    EXPECT_EQ(station.getEditor(), nullptr);
    EXPECT_EQ(station.getPlugin(), nullptr);
    EXPECT_EQ(station.getResources(), nullptr);
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

TEST(PluginEnvironment, ModuleScopeIsAskedOfTheParameter) {
    const PluginEnvironment& environment = PluginEnvironment::instance();
    ParameterValue<float> p(nullptr, "P", "P", 0.0f, 0.0f, 1.0f);
    EXPECT_FALSE(environment.isModuleScope(&p));
    p.read(test::typedItem("P", "<string name=\"scope\" value=\"module\"/>"));
    EXPECT_TRUE(environment.isModuleScope(&p));
    Radio plain;
    EXPECT_FALSE(environment.isModuleScope(&plain));
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

} // namespace
