#include "engine/zones/SampleManager.h"
#include "framework/Font.h"
#include "framework/ProductIdentity.h"
#include "instrument/CorvalePluginInfo.h"
#include "instrument/InstrumentEditorFactory.h"
#include "instrument/ProductFonts.h"
#include "plugin/PluginEnvironment.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

using namespace trov;

namespace {

class DescriptorTest : public testing::Test {
protected:
    DescriptorTest() { createProductFonts(); }
    ~DescriptorTest() override { destroyProductFonts(); }

    ProductPluginInfo info_;
};

// A build of the same product that is still in development.
class DevelopmentInfo : public ProductPluginInfo {
public:
    int getBuildType() const override { return kBuildDevelopment; }
};

TEST_F(DescriptorTest, AnswersTheProductsIdentityCountsAndKeyboard) {
    EXPECT_EQ(info_.getMakerName(), "Vennikt");
    EXPECT_EQ(info_.getMakerCode(), 0x566E6B74u); // "Vnkt"
    EXPECT_EQ(info_.getName(), "Corvale");
    EXPECT_EQ(info_.getProductCode(), 0x4372766Cu); // "Crvl"
    EXPECT_EQ(info_.getRegistryPath(), "Software\\Vennikt\\Corvale");
    EXPECT_EQ(info_.getBuildType(), PluginInfo::kBuildRelease);
    EXPECT_EQ(info_.getCategory(), 10);
    EXPECT_EQ(info_.getModuleCount(), 2);
    EXPECT_EQ(info_.getOutputChannelCount(), 2);
    EXPECT_EQ(info_.getPresetCount(), 16);
    EXPECT_EQ(info_.getControlStepSize(), 32);
    EXPECT_EQ(info_.getChunkVersion(), 1);
    EXPECT_EQ(info_.getKeyRange().low, 36);
    EXPECT_EQ(info_.getKeyRange().high, 96);
    for (int feature = -1; feature < 8; ++feature)
        EXPECT_EQ(info_.supportsFeature(feature), feature == PluginInfo::kFeatureMidiInput) << feature;
}

TEST_F(DescriptorTest, VersionTextEndsAtItsLastDigitAndParsesToTheVersion) {
    const std::string version = info_.getVersionString();
    EXPECT_EQ(version, "1.2.7");
    EXPECT_EQ(version.size(), 5u);
    EXPECT_EQ(info_.getVersion(), Version(1, 2, 7));
    EXPECT_EQ(info_.getName() + " " + version + ".log", "Corvale 1.2.7.log");
}

TEST_F(DescriptorTest, DevelopmentBuildsKeepTheirOwnRegistryKey) {
    EXPECT_EQ(DevelopmentInfo().getRegistryPath(), "Software\\Vennikt\\Corvale DEV");
}

TEST_F(DescriptorTest, FontsFollowTheirTableAndEveryOtherIndexAnswersTheFallback) {
    struct Row {
        int index;
        const char* face;
        float size;
        std::int32_t alignment;
        float lineHeight;
    };
    const Row rows[] = {
        {1, "Verdana", 10.0f, 9, 12.0f},      {2, "04b03", 8.0f, 65536, 10.0f},
        {3, "uni 05_53", 11.0f, 65536, 9.0f}, {4, "Verdana", 12.0f, 65536, 14.0f},
        {5, "Verdana", 8.0f, 9, 10.0f},       {6, "Verdana", 10.0f, 9, 12.0f},
        {7, "Verdana", 12.0f, 9, 14.0f},      {8, "Verdana", 10.0f, 9, 12.0f},
        {0, "Verdana", 10.0f, 9, 12.0f},      {9, "Verdana", 10.0f, 9, 12.0f},
        {-3, "Verdana", 10.0f, 9, 12.0f},
    };
    for (const Row& row : rows) {
        const Font* font = info_.getFont(row.index);
        ASSERT_NE(font, nullptr) << row.index;
        EXPECT_EQ(font->getFace(), row.face) << row.index;
        EXPECT_EQ(font->getSize(), row.size) << row.index;
        EXPECT_EQ(font->getStyle(), 0) << row.index;
        EXPECT_EQ(font->getWeight(), 1) << row.index;
        EXPECT_EQ(font->getAlignment(), row.alignment) << row.index;
        EXPECT_EQ(font->getLineHeight(), row.lineHeight) << row.index;
    }
    EXPECT_EQ(info_.getFont(0), info_.getFont(8));
    EXPECT_NE(info_.getFont(1), info_.getFont(8));
}

TEST_F(DescriptorTest, CopyingAFontOutsideTheTableReplacesOnlyTheFallback) {
    const Font twelve = *info_.getFont(4);
    info_.copyFont(0, twelve);
    EXPECT_EQ(info_.getFont(9)->getSize(), 12.0f);
    EXPECT_EQ(info_.getFont(9)->getAlignment(), 65536);
    EXPECT_EQ(info_.getFont(6)->getSize(), 10.0f);
    info_.copyFont(6, Font("Arial", 20.0f, 0, 1, 9, 0.0f));
    EXPECT_EQ(info_.getFont(6)->getFace(), "Arial");
    EXPECT_EQ(info_.getFont(1)->getFace(), "Verdana");
}

TEST_F(DescriptorTest, FontsAreNoneBeforeTheyAreBuilt) {
    destroyProductFonts();
    EXPECT_EQ(info_.getFont(1), nullptr);
    info_.copyFont(1, Font()); // nothing to replace, nothing breaks
    createProductFonts();
    EXPECT_NE(info_.getFont(1), nullptr);
}

std::tuple<int, int, int, int> shape(const IOConfig& config) {
    return {config.getInputs().getPinCount(), config.getInputChannelCount(),
            config.getOutputs().getPinCount(), config.getOutputChannelCount()};
}

TEST_F(DescriptorTest, OffersFiveConfigurationsInOrder) {
    const std::vector<IOConfig>& configs = info_.getIOConfigs();
    ASSERT_EQ(configs.size(), 5u);
    EXPECT_EQ(shape(configs[0]), std::make_tuple(1, 1, 1, 1));
    EXPECT_EQ(shape(configs[1]), std::make_tuple(1, 1, 1, 2));
    EXPECT_EQ(shape(configs[2]), std::make_tuple(1, 2, 1, 2));
    EXPECT_EQ(shape(configs[3]), std::make_tuple(1, 1, 8, 8));
    EXPECT_EQ(shape(configs[4]), std::make_tuple(1, 2, 8, 8));
}

TEST_F(DescriptorTest, RequestsGetTheNearestSupportedConfiguration) {
    struct Case {
        IOConfig requested;
        std::tuple<int, int, int, int> expected;
    };
    const Case cases[] = {
        {IOConfig(IOPinConfig(2, 1), IOPinConfig(1, 8)), {1, 2, 8, 8}},
        {IOConfig(IOPinConfig(1, 1), IOPinConfig(2, 1)), {1, 1, 1, 2}},
        {IOConfig(IOPinConfig(2, 1), IOPinConfig(1, 1)), {1, 2, 1, 1}},
        {IOConfig(IOPinConfig(1, 1), IOPinConfig(1, 1)), {1, 1, 1, 1}},
        {IOConfig(IOPinConfig(1, 6), IOPinConfig(1, 6)), {1, 2, 8, 8}},
        {IOConfig(IOPinConfig(), IOPinConfig()), {1, 2, 8, 8}},
        {IOConfig(IOPinConfig(1, 2), IOPinConfig(1, 2)), {1, 2, 1, 2}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(shape(info_.getCurrentIOConfig(c.requested)), c.expected)
            << c.requested.getInputChannelCount() << " in, " << c.requested.getOutputChannelCount() << " out";

    // A mono side that is kept is the requested pin set itself.
    const IOConfig requested(IOPinConfig(1, 1), IOPinConfig(1, 1));
    const IOConfig current = info_.getCurrentIOConfig(requested);
    EXPECT_EQ(current.getInputs().getPin(0), requested.getInputs().getPin(0));
    EXPECT_EQ(current.getOutputs().getPin(0), requested.getOutputs().getPin(0));
}

TEST_F(DescriptorTest, MakesNoEditorOrControlManagerAndTheBaseSampleManager) {
    EXPECT_EQ(info_.createEditor(nullptr, nullptr), nullptr);
    EXPECT_EQ(info_.createControlManager(nullptr), nullptr);
    const std::unique_ptr<SampleManager> manager(info_.createSampleManager(nullptr));
    EXPECT_NE(manager, nullptr);
}

// What the instrument's editor library installs; the editor and factory are only told apart by address.
class CountingEditorFactory : public InstrumentEditorFactory {
public:
    EditorInterface* createEditor(Plugin* plugin, const Module* module) override {
        askedPlugin = plugin;
        askedModule = module;
        return editor;
    }
    ControlManager* createControlManager(EditorInterface* forEditor) override {
        askedEditor = forEditor;
        return controls;
    }

    EditorInterface* editor = reinterpret_cast<EditorInterface*>(0x1000);
    ControlManager* controls = reinterpret_cast<ControlManager*>(0x2000);
    Plugin* askedPlugin = nullptr;
    const Module* askedModule = nullptr;
    EditorInterface* askedEditor = nullptr;
};

TEST_F(DescriptorTest, TheEditorAndItsControlFactoryComeFromTheInstalledEditorFactoryWhileItIsInstalled) {
    CountingEditorFactory factory;
    setInstrumentEditorFactory(&factory);
    auto* plugin = reinterpret_cast<Plugin*>(0x3000);
    const auto* module = reinterpret_cast<const Module*>(0x4000);
    EXPECT_EQ(info_.createEditor(plugin, module), factory.editor);
    EXPECT_EQ(factory.askedPlugin, plugin);
    EXPECT_EQ(factory.askedModule, module);
    EXPECT_EQ(info_.createControlManager(factory.editor), factory.controls);
    EXPECT_EQ(factory.askedEditor, factory.editor);
    setInstrumentEditorFactory(nullptr);
    EXPECT_EQ(info_.createEditor(plugin, module), nullptr);
    EXPECT_EQ(info_.createControlManager(factory.editor), nullptr);
}

TEST_F(DescriptorTest, TheProductDescriptorIsInstalledAsTheProcesssIdentity) {
    installPluginEnvironment();
    PluginInfo* made = createProductDescriptor();
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(getPluginInfo(), made);
    EXPECT_NE(dynamic_cast<ProductPluginInfo*>(made), nullptr);
    EXPECT_EQ(getProductIdentity().getName(), "Corvale");
    setPluginInfo(nullptr);
    delete made;
    uninstallPluginEnvironment();
}

} // namespace
