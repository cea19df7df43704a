#include "plugin/Parameter.h"

#include "framework/Error.h"
#include "plugin/ParameterArray.h"
#include "plugin/ParameterCustom.h"
#include "plugin/ParameterEnum.h"
#include "plugin/ParameterKeyranges.h"
#include "plugin/ParameterText.h"
#include "plugin/ParameterValue.h"
#include "plugin/PluginTestSupport.h"

#include <gtest/gtest.h>

#include <list>

using namespace trov;
using test::typedItem;

namespace {

ParameterValue<float> fresh() { return ParameterValue<float>(nullptr, "Cutoff", "Cutoff", 0.0f, 0.5f, 1.0f); }

TEST(Parameter, StartsExportedInPluginScopeWithTheChangePolicy) {
    auto p = fresh();
    EXPECT_EQ(p.testFlags(~0), Parameter::kExport);
    EXPECT_EQ(p.getScope(), Parameter::kScopePlugin);
    EXPECT_EQ(p.getBroadcast(), Parameter::kBroadcastChange);
    EXPECT_EQ(p.getName(), "Cutoff");
    EXPECT_EQ(p.getInstance(), 0);
}

TEST(Parameter, ReadsScopeWordsAndKeepsItsScopeForNone) {
    const std::pair<const char*, std::int32_t> words[] = {
        {"zone", 0}, {"module", 1}, {"program", 2}, {"plugin", 3}};
    for (const auto& [word, code] : words) {
        auto p = fresh();
        p.read(typedItem("Cutoff", std::string("<string name=\"scope\" value=\"") + word + "\"/>"));
        EXPECT_EQ(p.getScope(), code) << word;
    }
    auto p = fresh();
    p.read(typedItem("Cutoff", "<string name=\"scope\" value=\"none\"/>"));
    EXPECT_EQ(p.getScope(), Parameter::kScopePlugin);
}

TEST(Parameter, UnknownScopeIsAGeneralErrorAndStopsTheReading) {
    auto p = fresh();
    try {
        p.read(typedItem("Cutoff", "<string name=\"scope\" value=\"galaxy\"/>"
                                   "<string name=\"broadcast\" value=\"always\"/>"));
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.getCode(), "EGEN");
        EXPECT_EQ(error.getMessage(), "unknown scope!");
        EXPECT_NE(error.getWhere().find("trov::Parameter::read"), std::string::npos);
    }
    EXPECT_EQ(p.getBroadcast(), Parameter::kBroadcastChange);
}

TEST(Parameter, ReadsPolicyAndFlags) {
    auto p = fresh();
    p.read(typedItem("Cutoff", "<string name=\"broadcast\" value=\"loud\"/>"
                               "<bool name=\"automatable\" value=\"true\"/>"
                               "<bool name=\"export\" value=\"false\"/>"
                               "<bool name=\"persistent\" value=\"true\"/>"));
    EXPECT_EQ(p.getBroadcast(), Parameter::kBroadcastChange);
    EXPECT_EQ(p.testFlags(~0), Parameter::kAutomatable | Parameter::kPersistent);
    p.read(typedItem("Cutoff", "<string name=\"broadcast\" value=\"editor\"/>"
                               "<bool name=\"automatable\" value=\"false\"/>"
                               "<bool name=\"persistent\" value=\"false\"/>"
                               "<bool name=\"export\" value=\"true\"/>"));
    EXPECT_EQ(p.getBroadcast(), Parameter::kBroadcastEditor);
    // automatable and persistent are only ever set by reading.
    EXPECT_EQ(p.testFlags(~0), Parameter::kAutomatable | Parameter::kPersistent | Parameter::kExport);
}

TEST(Parameter, AliasesComeLongestFirstAndOneOfEachLengthStays) {
    auto p = fresh();
    p.read(typedItem("Cutoff", "<dict name=\"info\"><string name=\"alias\" value=\"Cut\"/>"
                               "<string name=\"alias\" value=\"Cutoff F\"/><string name=\"alias\" value=\"Frq\"/>"
                               "<string name=\"alias\" value=\"C\"/></dict>"));
    std::list<std::string> aliases{"stale"};
    p.getAliases(aliases);
    EXPECT_EQ(aliases, (std::list<std::string>{"Cutoff F", "Cut", "C"}));
}

TEST(Parameter, TypeCodesAndNamesOfEveryKind) {
    const Module* owner = nullptr;
    ParameterValue<bool> b(owner, "b", "b", false, false, true);
    ParameterEnum<std::string> e(owner, "e", "e");
    ParameterValue<long> l(owner, "l", "l", 0, 0, 1);
    ParameterEnum<long> el(owner, "el", "el");
    ParameterValue<float> f(owner, "f", "f", 0, 0, 1);
    ParameterEnum<float> ef(owner, "ef", "ef");
    ParameterText t(owner, "t", "t");
    ParameterCustom c(owner, "c", "c");
    ParameterArray<std::string> as(owner, "as", "as");
    ParameterArray<Range<short>> ar(owner, "ar", "ar");
    ParameterKeyranges k(owner, "k", "k");
    const std::pair<const Parameter*, std::string> expected[] = {
        {&b, "bool"},    {&e, "enum"},    {&l, "long"},    {&el, "long"},     {&f, "float"},   {&ef, "float"},
        {&t, "string"},  {&c, "string"},  {&as, "string"}, {&ar, "unknown"}, {&k, "unknown"},
    };
    for (const auto& [parameter, name] : expected)
        EXPECT_EQ(parameter->getTypeName(), name) << parameter->getName();
    EXPECT_EQ(ar.getType(), Parameter::kTypeUnknown);
}

} // namespace
