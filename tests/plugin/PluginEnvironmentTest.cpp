#include "plugin/PluginEnvironment.h"

#include "plugin/ParameterValue.h"
#include "plugin/PluginTestSupport.h"
#include "plugin/Settings.h"

#include <gtest/gtest.h>

#include <memory>

using namespace trov;

namespace {

// Distinct identities of objects the plug-in layer only passes around.
template <class T>
T* identity(int n) {
    static char storage[8];
    return reinterpret_cast<T*>(&storage[n]);
}

TEST(PluginEnvironment, StationsReachPluginEditorAndResourcesThroughTheirModule) {
    test::ScopedPluginInfo product;
    PluginEnvironment& environment = PluginEnvironment::instance();
    const Module* module = test::fakeModule(9);
    Plugin* plugin = identity<Plugin>(1);
    EditorInterface* editor = identity<EditorInterface>(2);
    Resources* resources = identity<Resources>(3);

    Radio station(module);
    EXPECT_EQ(station.getPlugin(), nullptr);
    environment.addModule(module, plugin);
    environment.setEditor(plugin, editor);
    environment.setResources(resources);
    EXPECT_EQ(station.getPlugin(), plugin);
    EXPECT_EQ(station.getEditor(), editor);
    EXPECT_EQ(station.getResources(), resources);

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
