#include "plugin/Parameter.h"

#include "plugin/ParameterArray.h"
#include "plugin/ParameterCustom.h"
#include "plugin/ParameterEnum.h"
#include "plugin/ParameterKeyranges.h"
#include "plugin/ParameterManager.h"
#include "plugin/ParameterText.h"
#include "plugin/ParameterValue.h"
#include "support/LogCapture.h"
#include "support/PluginTestSupport.h"

#include <gtest/gtest.h>

#include <limits>
#include <list>
#include <tuple>
#include <typeinfo>

using namespace trov;
using test::typedItem;

namespace {

const std::type_info& kindOf(const Parameter& parameter) {
    return typeid(parameter);
}

ParameterValue<float> fresh() {
    return ParameterValue<float>(nullptr, "Cutoff", "Cutoff", 0.0f, 0.5f, 1.0f);
}

TEST(Parameter, ReadsScopeWordsAndKeepsItsScopeForNone) {
    const std::pair<const char*, std::int32_t> words[] = {
        {"zone", 0}, {"module", 1}, {"program", 2}, {"plugin", 3}, {"none", Parameter::kScopePlugin}};
    for (const auto& [word, code] : words) {
        auto p = fresh();
        p.read(typedItem("Cutoff", std::string("<string name=\"scope\" value=\"") + word + "\"/>"));
        EXPECT_EQ(p.getScope(), code) << word;
    }
}

TEST(Parameter, UnknownScopeIsAGeneralErrorAndStopsTheReading) {
    auto p = fresh();
    const Error error = test::errorThrownBy([&] {
        p.read(typedItem("Cutoff", "<string name=\"scope\" value=\"galaxy\"/><string name=\"broadcast\" "
                                   "value=\"always\"/>"));
    });
    EXPECT_EQ(error.getCode(), "EGEN");
    EXPECT_EQ(error.getMessage(), "unknown scope!");
    EXPECT_NE(error.getWhere().find("trov::Parameter::read"), std::string::npos);
    EXPECT_EQ(p.getBroadcast(), Parameter::kBroadcastChange);
    EXPECT_EQ(p.testFlags(~0), Parameter::kExport);
}

TEST(Parameter, ReadsPolicyAndFlagsAndSetsAutomatableAndPersistentOnlyOn) {
    auto p = fresh();
    p.read(typedItem("Cutoff",
                     "<string name=\"broadcast\" value=\"loud\"/><bool name=\"automatable\" value=\"true\"/>"
                     "<bool name=\"export\" value=\"false\"/><bool name=\"persistent\" value=\"true\"/>"));
    EXPECT_EQ(p.getBroadcast(), Parameter::kBroadcastChange);
    EXPECT_EQ(p.testFlags(~0), Parameter::kAutomatable | Parameter::kPersistent);
    p.read(typedItem("Cutoff", "<string name=\"broadcast\" value=\"editor\"/><bool name=\"automatable\" "
                               "value=\"false\"/><bool name=\"persistent\" value=\"false\"/>"
                               "<bool name=\"export\" value=\"true\"/>"));
    EXPECT_EQ(p.getBroadcast(), Parameter::kBroadcastEditor);
    EXPECT_EQ(p.testFlags(~0), Parameter::kAutomatable | Parameter::kPersistent | Parameter::kExport);
}

TEST(Parameter, AliasesComeLongestFirstAndOneOfEachLengthStays) {
    auto p = fresh();
    p.read(typedItem("Cutoff",
                     "<dict name=\"info\"><string name=\"alias\" value=\"Cut\"/>"
                     "<string name=\"alias\" value=\"Cutoff F\"/><string name=\"alias\" value=\"Frq\"/>"
                     "<string name=\"alias\" value=\"C\"/></dict>"));
    std::list<std::string> aliases{"stale"};
    p.getAliases(aliases);
    EXPECT_EQ(aliases, (std::list<std::string>{"Cutoff F", "Cut", "C"}));
}

TEST(Parameter, AliasesAreTheInfoEntriesAndAnAttributeOfThatNameIsNone) {
    // A stored item comes from outside: read by index, such an attribute answered every index without end.
    auto p = fresh();
    p.read(test::keyedItem("Cutoff", "<info alias=\"Attribute\"><alias value=\"Frq\"/><other value=\"x\"/>"
                                     "<alias>Cutoff F</alias></info>"));
    std::list<std::string> aliases;
    p.getAliases(aliases);
    EXPECT_EQ(aliases, (std::list<std::string>{"Cutoff F", "Frq"}));
}

class ParameterManagerTest : public testing::Test {
protected:
    std::unique_ptr<Parameter> make(const std::string& kind, const std::string& type,
                                    const std::string& more = "") {
        std::string entries = "<string name=\"class\" value=\"" + kind + "\"/>";
        if (!type.empty())
            entries += "<string name=\"type\" value=\"" + type + "\"/>";
        return manager_.createFromDictionary(typedItem("Id", entries + more));
    }
    template <class T> ParameterValue<T>& value(const std::unique_ptr<Parameter>& p) {
        return dynamic_cast<ParameterValue<T>&>(*p);
    }

    ParameterManager manager_{test::fakeModule(1)};
};

TEST_F(ParameterManagerTest, BuildsEveryClassAndTypeOfItsTableWithItsTypeName) {
    const struct {
        const char* kind;
        const char* type;
        const std::type_info& made;
        const char* typeName;
    } table[] = {
        {"ParameterArray", "custom", typeid(ParameterArray<std::string>), "string"},
        {"ParameterCustom", "", typeid(ParameterCustom), "string"},
        {"ParameterCustom", "anything", typeid(ParameterCustom), "string"},
        {"ParameterEnum", "string", typeid(ParameterEnum<std::string>), "enum"},
        {"ParameterEnum", "integer", typeid(ParameterEnum<long>), "long"},
        {"ParameterEnum", "float", typeid(ParameterEnum<float>), "float"},
        {"ParameterText", "", typeid(ParameterText), "string"},
        {"ParameterText", "bool", typeid(ParameterText), "string"},
        {"ParameterValue", "bool", typeid(ParameterValue<bool>), "bool"},
        {"ParameterValue", "float", typeid(ParameterValue<float>), "float"},
        {"ParameterValue", "integer", typeid(ParameterValue<long>), "long"},
    };
    for (const auto& row : table) {
        std::string entries = "<class value=\"" + std::string(row.kind) + "\"/><name value=\"Label\"/>";
        if (*row.type != '\0')
            entries += "<type value=\"" + std::string(row.type) + "\"/>";
        const std::unique_ptr<Parameter> p = manager_.createFromDictionary(test::keyedItem("Id", entries));
        ASSERT_TRUE(p) << row.kind << "<" << row.type << ">";
        EXPECT_EQ(kindOf(*p), row.made) << row.kind << "<" << row.type << ">";
        EXPECT_EQ(p->getTypeName(), row.typeName) << row.kind << "<" << row.type << ">";
        EXPECT_EQ(std::tuple(p->getName(), p->getLabel(), p->getOwner()),
                  std::tuple("Id", "Label", test::fakeModule(1)));
    }
    EXPECT_TRUE(dynamic_cast<ParameterArray<std::string>&>(*make("ParameterArray", "custom")).isSorted());
    // In the typed layout of hand-written specifications the item's own "name" attribute is its label.
    EXPECT_EQ(make("ParameterText", "", "<string name=\"name\" value=\"Label\"/>")->getLabel(), "Id");
}

TEST_F(ParameterManagerTest, KnownClassWithAnotherTypeIsAnError) {
    for (const auto& [kind, type] : {std::pair<std::string, std::string>{"ParameterValue", ""},
                                     {"ParameterValue", "string"},
                                     {"ParameterEnum", "bool"},
                                     {"ParameterArray", "string"}}) {
        const Error error = test::errorThrownBy([&, &kind = kind, &type = type] { make(kind, type); });
        EXPECT_EQ(error.getCode(), "ENSPT");
        EXPECT_EQ(error.getMessage(), "Unknown parameter type " + kind + "<" + type + ">");
        EXPECT_NE(error.getWhere().find("createFromDictionary"), std::string::npos);
    }
}

TEST_F(ParameterManagerTest, UnknownClassMakesNothingAndLogsAddressZero) {
    test::LogCapture log(0);
    EXPECT_EQ(make("Knob", "float"), nullptr);
    make("ParameterValue", "float");
    EXPECT_EQ(log.count("  [0x0] Knob<float>::Id"), 1);
    EXPECT_EQ(log.count("] ParameterValue<float>::Id"), 1);
    EXPECT_EQ(log.count("[0x0] ParameterValue"), 0);
}

TEST_F(ParameterManagerTest, ValuesTakeBoundsDefaultAndValueFromTheItemOrTheirDefaults) {
    const auto f = make("ParameterValue", "float");
    auto bounds = [](const auto& p) {
        return std::tuple(p.getMin(), p.getDefault(), p.getMax(), p.getValue());
    };
    EXPECT_EQ(bounds(value<float>(f)), std::tuple(0.0f, 0.5f, 1.0f, 0.5f));
    EXPECT_EQ(
        value<float>(make("ParameterValue", "float", "<float name=\"value\" value=\"0.25\"/>")).getValue(),
        0.25f);
    const long min = std::numeric_limits<std::int32_t>::min(), max = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(bounds(value<long>(make("ParameterValue", "integer"))), std::tuple(min, 0L, max, 0L));
    EXPECT_EQ(bounds(value<long>(
                  make("ParameterValue", "integer",
                       "<integer name=\"minval\" value=\"-12\"/><integer name=\"maxval\" value=\"12\"/>"
                       "<integer name=\"defval\" value=\"3\"/><integer name=\"value\" value=\"40\"/>"))),
              std::tuple(-12L, 3L, 12L, 12L));
    EXPECT_EQ(bounds(value<bool>(make("ParameterValue", "bool", "<bool name=\"value\" value=\"true\"/>"))),
              std::tuple(false, true, true, true));
    EXPECT_EQ(make("ParameterCustom", "custom", "<string name=\"value\" value=\"hello\"/>")->getText(),
              "hello");
}

TEST_F(ParameterManagerTest, CopiesKeepKindFieldsAndListeners) {
    auto original = make("ParameterValue", "float", "<float name=\"value\" value=\"0.75\"/>");
    original->read(typedItem("Id", "<string name=\"scope\" value=\"module\"/><bool name=\"automatable\" "
                                   "value=\"true\"/><string name=\"unit\" value=\"Hz\"/>"));
    original->setInstance(4);
    test::Recorder listener;
    original->addListener(&listener);

    const std::unique_ptr<Parameter> copy = manager_.createCopy(*original);
    EXPECT_EQ(kindOf(*copy), typeid(ParameterValue<float>));
    EXPECT_EQ(std::tuple(copy->getNormalized(), copy->getScope(), copy->getInstance(), copy->getUnit()),
              std::tuple(0.75f, Parameter::kScopeModule, 4, "Hz"));
    EXPECT_NE(copy->testFlags(Parameter::kAutomatable), 0);
    EXPECT_TRUE(copy->hasListener(&listener));

    ParameterKeyranges ranges(nullptr, "Zones", "Zones", true);
    ranges.addItem(Range<short>(1, 5), Sender::kDocument);
    const std::unique_ptr<Parameter> rangesCopy = manager_.createCopy(ranges);
    ASSERT_EQ(kindOf(*rangesCopy), typeid(ParameterKeyranges));
    EXPECT_EQ(dynamic_cast<ParameterKeyranges&>(*rangesCopy).getItem(0), Range<short>(1, 5));
    EXPECT_TRUE(dynamic_cast<ParameterKeyranges&>(*rangesCopy).getOverlapsAllowed());

    for (const char* kind : {"ParameterEnum", "ParameterText", "ParameterArray"}) {
        auto source = make(kind, kind == std::string("ParameterArray") ? "custom" : "string");
        EXPECT_EQ(kindOf(*manager_.createCopy(*source)), kindOf(*source)) << kind;
    }
}

TEST_F(ParameterManagerTest, PlainRangeListCannotBeCopied) {
    ParameterArray<Range<short>> plain(nullptr, "Keys", "Keys");
    const Error error = test::errorThrownBy([&] { manager_.createCopy(plain); });
    EXPECT_EQ(error.getMessage(), "Unknown parameter type <unknown>");
    EXPECT_NE(error.getWhere().find("createCopy"), std::string::npos);
}

} // namespace
