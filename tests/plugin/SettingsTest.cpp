#include "plugin/Settings.h"

#include "framework/File.h"
#include "framework/FileTestFolder.h"
#include "plugin/ParameterEnum.h"
#include "plugin/ParameterText.h"
#include "plugin/ParameterValue.h"
#include "plugin/PluginTestSupport.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <memory>

using namespace trov;
using test::Recorder;

namespace {

std::string item(const std::string& id, const std::string& kind, const std::string& type, const std::string& more) {
    return "<dict name=\"" + id + "\"><string name=\"class\" value=\"" + kind + "\"/><string name=\"type\" value=\"" +
           type + "\"/>" + more + "</dict>";
}

std::string scope(const std::string& word) { return "<string name=\"scope\" value=\"" + word + "\"/>"; }
const std::string kAutomatable = "<bool name=\"automatable\" value=\"true\"/>";

// Sections with instances, every kind, and items that make no parameter.
std::string specification(const std::string& extra = std::string()) {
    return "<?xml version=\"1.0\"?><dict><array name=\"parameters\">" +
           item("Volume", "ParameterValue", "float", scope("plugin")) +
           item("Cutoff", "ParameterValue", "float", kAutomatable + scope("module")) +
           "<section name=\"Envelope\" instances=\"2\">" +
           item("Attack", "ParameterValue", "float", kAutomatable + scope("module")) +
           item("Curve", "ParameterEnum", "string",
                scope("module") + "<array name=\"values\"><string value=\"lin\"/><string value=\"exp\"/></array>") +
           "<section name=\"Inner\">" + item("Depth", "ParameterValue", "integer", kAutomatable + scope("zone")) +
           "</section></section>" + "<section name=\"Hidden\">" +
           item("Secret", "ParameterValue", "bool", scope("program")) + "</section>" +
           "<section name=\"Nothing\" instances=\"0\">" + item("Ghost", "ParameterValue", "float", "") + "</section>" +
           item("Program", "ParameterEnum", "string",
                scope("program") + "<array name=\"values\"><string value=\"one\"/><string value=\"two\"/>"
                                   "<string value=\"three\"/></array>") +
           item("Sample", "ParameterText", "", scope("zone")) + item("Note", "ParameterCustom", "custom", "") +
           item("Tune", "ParameterValue", "integer",
                scope("module") + "<bool name=\"export\" value=\"false\"/><integer name=\"minval\" value=\"-24\"/>"
                                  "<integer name=\"maxval\" value=\"24\"/>") +
           item("Rate", "ParameterEnum", "float",
                scope("module") + "<array name=\"values\"><float value=\"0.5\"/><float value=\"2\"/></array>") +
           item("Knob", "Widget", "float", "") + extra + "</array></dict>";
}

class SettingsTest : public testing::Test {
protected:
    SettingsTest() {
        const Error loaded = tree_.load(Dictionary(specification()));
        EXPECT_FALSE(loaded.failed()) << loaded.getMessage();
    }

    std::vector<std::string> namesInOrder(const Settings& settings) const {
        std::vector<std::string> names;
        for (int i = 0; i < settings.getParameterCount(); ++i)
            names.push_back(settings.getParameterAt(i)->getName() + "#" +
                            std::to_string(settings.getParameterAt(i)->getInstance()));
        return names;
    }

    test::ScopedPluginInfo product_;
    Settings tree_{test::fakeModule(0)};
};

TEST_F(SettingsTest, BuildsEverySectionInstanceWithAutomatableParametersFirst) {
    EXPECT_EQ(namesInOrder(tree_),
              // A section's parameters take the instance number of their innermost section.
              (std::vector<std::string>{"Depth#0", "Attack#0", "Depth#0", "Attack#1", "Cutoff#0", "Curve#0",
                                        "Curve#1", "Secret#0", "Volume#0", "Program#0", "Sample#0", "Note#0",
                                        "Tune#0", "Rate#0"}));
    EXPECT_EQ(tree_.getAutomatableCount(), 5);
    EXPECT_EQ(tree_.getParameterAt(14), nullptr);
    EXPECT_EQ(tree_.getParameterAt(-1), nullptr);
}

TEST_F(SettingsTest, FindsParametersByNameAndInstance) {
    Parameter* second = tree_.getParameter("Attack", 1);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->getInstance(), 1);
    EXPECT_NE(second, tree_.getParameter("Attack"));
    EXPECT_EQ(tree_.getParameter("Attack", 2), nullptr);
    EXPECT_EQ(tree_.getParameter("Ghost"), nullptr);
    EXPECT_EQ(tree_.getParameter("Knob"), nullptr);
    EXPECT_EQ(tree_.getAutomatableIndex("Attack", 1), 3);
    EXPECT_EQ(tree_.getAutomatableIndex("Cutoff"), 4);
    EXPECT_EQ(tree_.getAutomatableIndex("Volume"), -1);
    EXPECT_EQ(tree_.getAutomatableIndex("Missing"), -1);
}

TEST_F(SettingsTest, SectionTreeListsAutomatableNamesPerInstanceAndDropsEmptySections) {
    const SettingsSection& root = tree_.getRootSection();
    EXPECT_EQ(root.getAutomatableNames(), std::vector<std::string>{"Cutoff"});
    ASSERT_EQ(root.getSubsectionCount(), 2);
    for (int i = 0; i < 2; ++i) {
        const SettingsSection* envelope = root.getSubsection(i);
        EXPECT_EQ(envelope->getName(), "Envelope");
        EXPECT_EQ(envelope->getAutomatableNames(), std::vector<std::string>{"Attack"});
        ASSERT_EQ(envelope->getSubsectionCount(), 1);
        EXPECT_EQ(envelope->getSubsection(0)->getAutomatableNames(), std::vector<std::string>{"Depth"});
    }
    EXPECT_EQ(root.getSubsection(2), nullptr);
}

TEST_F(SettingsTest, TypedAccessByNameWithNeutralAnswersForOtherKinds) {
    tree_.setFloat("Volume", 0.25f, Sender::kHost);
    EXPECT_FLOAT_EQ(tree_.getFloat("Volume"), 0.25f);
    EXPECT_FLOAT_EQ(tree_.getNormalizedValue("Volume"), 0.25f);
    tree_.setNormalizedValue("Volume", 0.5f, Sender::kHost);
    EXPECT_FLOAT_EQ(tree_.getFloat("Volume"), 0.5f);

    tree_.setFloat("Rate", 1.4f, Sender::kHost);
    EXPECT_FLOAT_EQ(tree_.getFloat("Rate"), 2.0f);
    tree_.setFloat("Program", 2.5f, Sender::kHost);
    EXPECT_EQ(tree_.getString("Program"), "three");
    tree_.setFloat("Program", -1.0f, Sender::kHost);
    EXPECT_EQ(tree_.getString("Program"), "three");
    tree_.setLong("Program", 0, Sender::kHost);
    EXPECT_EQ(tree_.getString("Program"), "one");
    tree_.setBool("Program", true, Sender::kHost);
    EXPECT_EQ(tree_.getString("Program"), "two");

    tree_.setLong("Tune", -30, Sender::kHost);
    EXPECT_EQ(tree_.getLong("Tune"), -24);
    tree_.setBool("Secret", true, Sender::kHost);
    EXPECT_TRUE(tree_.getBool("Secret"));
    tree_.setString("Sample", "kick", Sender::kHost);
    EXPECT_EQ(tree_.getString("Sample"), "kick");
    tree_.setString("Note", "memo", Sender::kHost);
    EXPECT_EQ(tree_.getString("Note"), "memo");

    EXPECT_EQ(tree_.getFloat("Tune"), 0.0f);
    EXPECT_FALSE(tree_.getBool("Volume"));
    EXPECT_EQ(tree_.getLong("Volume"), 0);
    EXPECT_EQ(tree_.getString("Volume"), "");
    EXPECT_EQ(tree_.getNormalizedValue("Missing"), 0.0f);
    tree_.setString("Volume", "x", Sender::kHost);
    tree_.setLong("Missing", 3, Sender::kHost);
    EXPECT_FLOAT_EQ(tree_.getFloat("Volume"), 0.5f);
}

TEST_F(SettingsTest, SavesAndLoadsTheExportedValuesOfOneScope) {
    tree_.setFloat("Cutoff", 0.9f, Sender::kHost);
    dynamic_cast<ParameterValue<float>*>(tree_.getParameter("Attack", 1))->setValue(0.125f, Sender::kHost);
    tree_.setLong("Tune", 7, Sender::kHost);
    tree_.setFloat("Volume", 0.75f, Sender::kHost);

    Dictionary saved;
    saved.setString("file-format", "0.7.0");
    tree_.saveParameters(saved, Parameter::kScopeModule);
    const Dictionary::View values = saved.getDictionary("parameters");
    ASSERT_TRUE(values);
    EXPECT_EQ(values->count("Tune"), 0);
    EXPECT_EQ(values->count("Volume"), 0);
    EXPECT_EQ(values->count("Attack"), 2);

    Settings other(test::fakeModule(1));
    ASSERT_FALSE(other.load(Dictionary(specification())).failed());
    other.setLong("Tune", 3, Sender::kHost);
    // Through the document's text, as a bank file carries it.
    const Dictionary reread(saved.toDocumentText());
    other.loadParameters(reread, Parameter::kScopePlugin);
    EXPECT_FLOAT_EQ(other.getFloat("Cutoff"), 0.5f);
    other.loadParameters(reread, Parameter::kScopeModule);
    EXPECT_FLOAT_EQ(other.getFloat("Cutoff"), 0.9f);
    EXPECT_FLOAT_EQ(dynamic_cast<ParameterValue<float>*>(other.getParameter("Attack", 1))->getValue(), 0.125f);
    EXPECT_FLOAT_EQ(dynamic_cast<ParameterValue<float>*>(other.getParameter("Attack", 0))->getValue(), 0.5f);
    EXPECT_EQ(other.getLong("Tune"), 3);
    EXPECT_FLOAT_EQ(other.getFloat("Volume"), 0.5f);
}

TEST_F(SettingsTest, LoadingSkipsBrokenAndForeignItems) {
    test::LogCapture log(3);
    Dictionary document(std::string("<?xml version=\"1.0\"?><dict><file-format value=\"0.7.0\"/><parameters>"
                                    "<Cutoff index=\"0\" value=\"0.2\" scope=\"galaxy\"/>"
                                    "<Attack index=\"7\" value=\"0.3\"/><Attack index=\"-1\" value=\"0.3\"/>"
                                    "<Unknown value=\"1\"/>stray text<Volume value=\"0.1\"/>"
                                    "<Attack index=\"1\" value=\"0.7\"/></parameters></dict>"));
    tree_.loadParameters(document, Parameter::kScopeModule);
    EXPECT_FLOAT_EQ(tree_.getFloat("Volume"), 0.5f);
    EXPECT_FLOAT_EQ(tree_.getFloat("Cutoff"), 0.5f);
    EXPECT_FLOAT_EQ(dynamic_cast<ParameterValue<float>*>(tree_.getParameter("Attack", 1))->getValue(), 0.7f);
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

    copy.setFloat("Volume", 0.1f, Sender::kHost);
    EXPECT_FLOAT_EQ(tree_.getFloat("Volume"), 0.1f);
    copy.setFloat("Cutoff", 0.9f, Sender::kHost);
    EXPECT_FLOAT_EQ(tree_.getFloat("Cutoff"), 0.5f);
    EXPECT_EQ(copy.getRootSection().getSubsectionCount(), 2);
}

TEST_F(SettingsTest, LastTreeDeletesTheSharedParameters) {
    test::LogCapture log(0);
    auto first = std::make_unique<Settings>(test::fakeModule(7));
    ASSERT_FALSE(first->load(Dictionary(specification())).failed());
    auto copy = std::make_unique<Settings>(*first);
    first.reset();
    EXPECT_EQ(log.count("(Cutoff)"), 1);
    EXPECT_EQ(log.count("(Volume)"), 0);
    // Still alive and usable through the remaining copy.
    copy->setFloat("Volume", 0.3f, Sender::kHost);
    EXPECT_FLOAT_EQ(copy->getFloat("Volume"), 0.3f);
    copy.reset();
    EXPECT_EQ(log.count("(Volume)"), 1);
    EXPECT_EQ(log.count("(Cutoff)"), 2);
}

TEST_F(SettingsTest, FailedLoadsReturnTheErrorAndKeepTheTree) {
    const int count = tree_.getParameterCount();
    Error scopeError = tree_.load(Dictionary(specification(item("Odd", "ParameterValue", "float", scope("galaxy")))));
    EXPECT_EQ(scopeError.getCode(), "EGEN");
    Error typeError = tree_.load(Dictionary(specification(item("Odd", "ParameterValue", "text", ""))));
    EXPECT_EQ(typeError.getCode(), "ENSPT");
    EXPECT_EQ(typeError.getMessage(), "Unknown parameter type ParameterValue<text>");
    Error sizeError = tree_.load(Dictionary(specification(
        "<section name=\"Huge\" instances=\"100000000\"><section instances=\"100000000\"/></section>")));
    EXPECT_EQ(sizeError.getMessage(), "specification too large");
    test::FileTestFolder folder;
    Error fileError = tree_.load(File(folder / "missing.xml"));
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
    EXPECT_EQ(settings.getParameterCount(), 4);
    EXPECT_EQ(settings.getParameterAt(0)->getName(), "Gain");
    ASSERT_NE(settings.getParameter("Pan", 2), nullptr);
    EXPECT_EQ(settings.getParameter("Pan", 2)->getInstance(), 2);
}

TEST_F(SettingsTest, ParameterMessageSetsTheNamedInstanceWithTheSettingsSenderCode) {
    Recorder recorder;
    tree_.getParameter("Attack", 1)->addListener(&recorder);
    recorder.entries.clear();
    EXPECT_TRUE(tree_.receive(ParameterMessage(nullptr, Code::kParameterValue, "Attack", 1, 0, 0.75f, Sender::kHost)));
    ASSERT_EQ(recorder.entries.size(), 1u);
    EXPECT_EQ(recorder.last().flags, Sender::kSettings);
    EXPECT_EQ(recorder.last().index, 1);
    EXPECT_FLOAT_EQ(tree_.getNormalizedValue("Attack"), 0.5f);
    EXPECT_FALSE(tree_.receive(ParameterMessage(nullptr, Code::kParameterValue, "Missing", 0, 0, 0.75f, 0)));
}

TEST_F(SettingsTest, TreeListeningToAnAlwaysParameterDoesNotEchoForever) {
    auto* volume = dynamic_cast<ParameterValue<float>*>(
        tree_.getParameter("Volume"));
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
    tree_.setString("Sample", "snare", Sender::kHost);
    tree_.setFloat("Volume", 0.9f, Sender::kHost);
    tree_.resetModuleParameters();
    EXPECT_FLOAT_EQ(tree_.getFloat("Cutoff"), 0.5f);
    EXPECT_FLOAT_EQ(tree_.getFloat("Volume"), 0.9f);
}

TEST_F(SettingsTest, StationsOfTheOwnerFindTheTreeAndItsParametersByName) {
    tree_.init();
    EXPECT_EQ(tree_.getParameter("Cutoff")->getOwner(), test::fakeModule(0));
    EXPECT_EQ(tree_.getParameter("Cutoff")->getSettings(), &tree_);

    Recorder listener;
    listener.setOwner(test::fakeModule(0));
    listener.tuneIn("Attack");
    EXPECT_TRUE(tree_.getParameter("Attack", 0)->hasListener(&listener));
    EXPECT_TRUE(tree_.getParameter("Attack", 1)->hasListener(&listener));
    listener.entries.clear();
    tree_.setFloat("Attack", 0.2f, Sender::kEditor);
    ASSERT_EQ(listener.entries.size(), 1u);
    EXPECT_EQ(listener.last().flags, Sender::kEditor);

    // Moving the tree to another module moves its module parameters' owner only when they had none.
    tree_.setOwner(test::fakeModule(6));
    EXPECT_EQ(tree_.getParameter("Cutoff")->getOwner(), test::fakeModule(0));
    EXPECT_EQ(tree_.getParameter("Volume")->getOwner(), test::fakeModule(6));
    EXPECT_EQ(Radio(test::fakeModule(6)).getSettings(), &tree_);
}

} // namespace
