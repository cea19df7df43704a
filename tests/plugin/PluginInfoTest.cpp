#include "plugin/PluginInfo.h"

#include "framework/MessageText.h"
#include "framework/System.h"
#include "plugin/ParameterManager.h"
#include "plugin/PluginTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

using namespace trov;

namespace {

TEST(PluginInfo, InstalledDescriptorIsTheProductIdentity) {
    {
        test::ScopedPluginInfo scoped;
        EXPECT_EQ(getPluginInfo(), &scoped.info);
        EXPECT_EQ(getProductIdentity().getName(), "Test Product-1");
    }
    EXPECT_EQ(getPluginInfo(), nullptr);
    EXPECT_NE(getProductIdentity().getName(), "Test Product-1");
}

TEST(PluginInfo, InitBuildsTheCatalogueOnce) {
    test::ScopedPluginInfo scoped;
    EXPECT_FALSE(scoped.info.isInitialized());
    scoped.info.init();
    EXPECT_TRUE(scoped.info.isInitialized());
    EXPECT_EQ(errorTextLoadingSettings,
              "Error loading settings, unable to continue.\nPlease reinstall Test Product-1. ");
    scoped.info.name = "Renamed";
    scoped.info.init();
    EXPECT_NE(errorTextLoadingSettings.find("Test Product-1"), std::string::npos);
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

TEST(PluginInfo, RegistryRootsVersionsAndName) {
    test::TestPluginInfo info;
    EXPECT_EQ(info.getRegistryRoot(0), platform::RegistryRoot::Machine);
    EXPECT_EQ(info.getRegistryRoot(1), platform::RegistryRoot::User);
    EXPECT_EQ(info.getRegistryRoot(2), platform::RegistryRoot::User);
    EXPECT_EQ(info.getFileFormatVersion(), Version(0, 7, 0));
    EXPECT_EQ(info.getVersion(), Version(1, 2, 7));
    EXPECT_TRUE(info.matchesName("TestProduct1"));
    EXPECT_FALSE(info.matchesName("TestProduct2"));
    EXPECT_FALSE(info.matchesName("Test Product-1"));
}

TEST(PluginInfo, ParameterManagerByDefaultIsThePlainFactory) {
    test::TestPluginInfo info;
    std::unique_ptr<ParameterManager> manager(info.createParameterManager(test::fakeModule(2)));
    ASSERT_TRUE(manager);
    EXPECT_EQ(manager->getOwner(), test::fakeModule(2));
}

} // namespace
