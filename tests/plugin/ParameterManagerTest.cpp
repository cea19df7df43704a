#include "plugin/ParameterManager.h"

#include "framework/Error.h"
#include "plugin/ParameterArray.h"
#include "plugin/ParameterCustom.h"
#include "plugin/ParameterEnum.h"
#include "plugin/ParameterKeyranges.h"
#include "plugin/ParameterText.h"
#include "plugin/ParameterValue.h"
#include "plugin/PluginTestSupport.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <limits>
#include <typeinfo>

using namespace trov;
using test::typedItem;

namespace {

std::string classAndType(const std::string& kind, const std::string& type) {
    std::string entries = "<string name=\"class\" value=\"" + kind + "\"/>";
    if (!type.empty())
        entries += "<string name=\"type\" value=\"" + type + "\"/>";
    return entries;
}

const std::type_info& kindOf(const Parameter& parameter) { return typeid(parameter); }

class ParameterManagerTest : public testing::Test {
protected:
    std::unique_ptr<Parameter> make(const std::string& kind, const std::string& type,
                                    const std::string& more = std::string()) {
        return manager_.createFromDictionary(typedItem("Id", classAndType(kind, type) + more));
    }
    std::string errorOf(const std::string& kind, const std::string& type) {
        try {
            make(kind, type);
        } catch (const Error& error) {
            EXPECT_EQ(error.getCode(), "ENSPT");
            EXPECT_NE(error.getWhere().find("createFromDictionary"), std::string::npos);
            return error.getMessage();
        }
        return "no error";
    }

    ParameterManager manager_{test::fakeModule(1)};
};

TEST_F(ParameterManagerTest, BuildsEveryClassAndTypeOfItsTable) {
    const struct {
        const char* kind;
        const char* type;
        const std::type_info& made;
    } table[] = {
        {"ParameterArray", "custom", typeid(ParameterArray<std::string>)},
        {"ParameterCustom", "", typeid(ParameterCustom)},
        {"ParameterCustom", "anything", typeid(ParameterCustom)},
        {"ParameterEnum", "string", typeid(ParameterEnum<std::string>)},
        {"ParameterEnum", "integer", typeid(ParameterEnum<long>)},
        {"ParameterEnum", "float", typeid(ParameterEnum<float>)},
        {"ParameterText", "", typeid(ParameterText)},
        {"ParameterText", "bool", typeid(ParameterText)},
        {"ParameterValue", "bool", typeid(ParameterValue<bool>)},
        {"ParameterValue", "float", typeid(ParameterValue<float>)},
        {"ParameterValue", "integer", typeid(ParameterValue<long>)},
    };
    for (const auto& row : table) {
        std::string entries = "<class value=\"" + std::string(row.kind) + "\"/><name value=\"Label\"/>";
        if (*row.type != '\0')
            entries += "<type value=\"" + std::string(row.type) + "\"/>";
        const std::unique_ptr<Parameter> p = manager_.createFromDictionary(test::keyedItem("Id", entries));
        ASSERT_TRUE(p) << row.kind << "<" << row.type << ">";
        EXPECT_EQ(kindOf(*p), row.made) << row.kind << "<" << row.type << ">";
        EXPECT_EQ(p->getName(), "Id");
        EXPECT_EQ(p->getLabel(), "Label");
        EXPECT_EQ(p->getOwner(), test::fakeModule(1));
    }
    const std::unique_ptr<Parameter> array = make("ParameterArray", "custom");
    EXPECT_TRUE(dynamic_cast<ParameterArray<std::string>&>(*array).isSorted());
    // In the typed layout of hand-written specifications the item's own "name" attribute is its label.
    EXPECT_EQ(make("ParameterText", "", "<string name=\"name\" value=\"Label\"/>")->getLabel(), "Id");
}

TEST_F(ParameterManagerTest, KnownClassWithAnotherTypeIsAnError) {
    EXPECT_EQ(errorOf("ParameterValue", ""), "Unknown parameter type ParameterValue<>");
    EXPECT_EQ(errorOf("ParameterValue", "string"), "Unknown parameter type ParameterValue<string>");
    EXPECT_EQ(errorOf("ParameterEnum", "bool"), "Unknown parameter type ParameterEnum<bool>");
    EXPECT_EQ(errorOf("ParameterArray", "string"), "Unknown parameter type ParameterArray<string>");
}

TEST_F(ParameterManagerTest, UnknownClassMakesNothingAndLogsAddressZero) {
    test::LogCapture log(0);
    EXPECT_EQ(make("Knob", "float"), nullptr);
    make("ParameterValue", "float");
    EXPECT_EQ(log.count("  [0x0] Knob<float>::Id"), 1);
    EXPECT_EQ(log.count("] ParameterValue<float>::Id"), 1);
    EXPECT_EQ(log.count("[0x0] ParameterValue"), 0);
}

TEST_F(ParameterManagerTest, ValueDefaultsWithoutBounds) {
    auto f = make("ParameterValue", "float");
    auto* value = dynamic_cast<ParameterValue<float>*>(f.get());
    ASSERT_TRUE(value);
    EXPECT_EQ(value->getMin(), 0.0f);
    EXPECT_EQ(value->getMax(), 1.0f);
    EXPECT_EQ(value->getDefault(), 0.5f);
    EXPECT_EQ(value->getValue(), 0.5f);

    auto withValue = make("ParameterValue", "float", "<float name=\"value\" value=\"0.25\"/>");
    EXPECT_EQ(dynamic_cast<ParameterValue<float>&>(*withValue).getValue(), 0.25f);

    auto l = make("ParameterValue", "integer");
    auto& integer = dynamic_cast<ParameterValue<long>&>(*l);
    EXPECT_EQ(integer.getMin(), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(integer.getMax(), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(integer.getDefault(), 0);

    auto b = make("ParameterValue", "bool", "<bool name=\"value\" value=\"true\"/>");
    auto& flag = dynamic_cast<ParameterValue<bool>&>(*b);
    EXPECT_TRUE(flag.getDefault());
    EXPECT_TRUE(flag.getValue());
    EXPECT_FALSE(flag.getMin());
    EXPECT_TRUE(flag.getMax());
}

TEST_F(ParameterManagerTest, ReadsBoundsAndInitialValues) {
    auto l = make("ParameterValue", "integer",
                  "<integer name=\"minval\" value=\"-12\"/><integer name=\"maxval\" value=\"12\"/>"
                  "<integer name=\"defval\" value=\"3\"/><integer name=\"value\" value=\"40\"/>");
    auto& integer = dynamic_cast<ParameterValue<long>&>(*l);
    EXPECT_EQ(integer.getDefault(), 3);
    EXPECT_EQ(integer.getValue(), 12);
    auto c = make("ParameterCustom", "custom", "<string name=\"value\" value=\"hello\"/>");
    EXPECT_EQ(c->getText(), "hello");
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
    EXPECT_EQ(copy->getNormalized(), 0.75f);
    EXPECT_EQ(copy->getScope(), Parameter::kScopeModule);
    EXPECT_EQ(copy->getInstance(), 4);
    EXPECT_EQ(copy->getUnit(), "Hz");
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
        const std::unique_ptr<Parameter> copy = manager_.createCopy(*source);
        EXPECT_EQ(kindOf(*copy), kindOf(*source)) << kind;
    }
}

TEST_F(ParameterManagerTest, PlainRangeListCannotBeCopied) {
    ParameterArray<Range<short>> plain(nullptr, "Keys", "Keys");
    try {
        manager_.createCopy(plain);
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.getMessage(), "Unknown parameter type <unknown>");
        EXPECT_NE(error.getWhere().find("createCopy"), std::string::npos);
    }
}

} // namespace
