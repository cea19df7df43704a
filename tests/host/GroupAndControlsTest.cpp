#include "support/HostTestSupport.h"

#include "framework/Color.h"
#include "host/RTASGroup.h"
#include "host/RTASParameter.h"
#include "platform/Shell.h"
#include "plugin/Parameter.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <list>

using namespace trov;
using namespace trov::test;

namespace {

class GroupTest : public HostTest {};

TEST_F(GroupTest, TellsTheHostTheProductsIdentity) {
    ASSERT_NE(group, nullptr);
    hostsdk::GroupIdentity identity;
    group->getIdentity(identity);
    EXPECT_STREQ(identity.productName, "Corvale Test");
    EXPECT_STREQ(identity.makerName, "Trovato");
    EXPECT_EQ(identity.makerCode, hostproduct::TestProductInfo::kMakerCode);
    EXPECT_EQ(identity.productVersion, 0x00010000u); // 0.1.0
    EXPECT_EQ(identity.groupProperty, 25);
}

TEST_F(GroupTest, DeclaresOneTypePerConfigurationUntilOneNeedsMoreThanTwoChannels) {
    ASSERT_EQ(group->getTypeCount(), 3);
    EXPECT_EQ(group->getDeclarationError(), -100);
    const std::int32_t stems[3][2] = {{1, 1}, {0, 1}, {0, 0}};
    for (int t = 0; t < 3; ++t) {
        hostsdk::EffectTypeInfo info;
        ASSERT_TRUE(group->getTypeInfo(t, info));
        EXPECT_EQ(info.typeCode, 0x566E6B20u + static_cast<std::uint32_t>(t)) << t;
        EXPECT_EQ(info.productCode, hostproduct::TestProductInfo::kProductCode);
        EXPECT_EQ(info.categoryFlags, 0x800u);
        EXPECT_STREQ(info.name, "Corvale Test");
        EXPECT_EQ(info.sampleRateSupport, 6);
        ASSERT_EQ(info.propertyCount, 7);
        const std::int32_t order[] = {48, 54, 5, 53, 55, 45, 46};
        for (int p = 0; p < 7; ++p)
            EXPECT_EQ(info.properties[p], order[p]);
        EXPECT_EQ(info.inputStem, stems[t][0]) << t;
        EXPECT_EQ(info.outputStem, stems[t][1]) << t;
    }
    hostsdk::EffectTypeInfo none;
    EXPECT_FALSE(group->getTypeInfo(3, none));
    EXPECT_EQ(group->createProcess(3, &host), nullptr);
    EXPECT_EQ(group->createProcess(-1, &host), nullptr);
}

TEST(GroupTables, CategoryFlagsAndStemFormatsFollowTheHostsTables) {
    const std::pair<int, std::uint32_t> flags[] = {
        {0, 0x10}, {1, 0x100}, {2, 0x2},    {3, 0x2000}, {4, 0x1},    {5, 0x20}, {6, 0x80},    {7, 0x4},
        {8, 0x4},  {9, 0x8},   {10, 0x800}, {11, 0x200}, {12, 0x800}, {13, 0},   {14, 0x2000}, {-1, 0x2000}};
    for (const auto& [code, flag] : flags)
        EXPECT_EQ(RTASGroup::categoryFlag(code), flag) << code;
    EXPECT_EQ(RTASGroup::stemFormat(1), 0);
    EXPECT_EQ(RTASGroup::stemFormat(2), 1);
    for (const int channels : {0, 3, 8}) {
        try {
            RTASGroup::stemFormat(channels);
            ADD_FAILURE() << channels << " channels gave a stem format";
        } catch (int code) {
            EXPECT_EQ(code, -100);
        }
    }
}

TEST(FixedPoint, ConvertsBothWaysWithItsEndsTieAndSaturation) {
    EXPECT_EQ(RTASParameter::normalized(INT32_MIN), 0.0f);
    EXPECT_EQ(RTASParameter::normalized(0), 0.5f);
    EXPECT_EQ(RTASParameter::normalized(INT32_MAX), 1.0f);
    EXPECT_EQ(RTASParameter::fixed(0.0f), INT32_MIN);
    EXPECT_EQ(RTASParameter::fixed(1.0f), INT32_MAX);
    EXPECT_EQ(RTASParameter::fixed(0.5f), 0); // -0.5 rounds to even
    EXPECT_EQ(RTASParameter::fixed(0.25f), -1073741824);
    EXPECT_EQ(RTASParameter::fixed(-3.0f), INT32_MIN);
    EXPECT_EQ(RTASParameter::fixed(7.0f), INT32_MAX);
    EXPECT_EQ(RTASParameter::fixed(std::nanf("")), INT32_MIN);
    for (const float x : {0.0f, 0.125f, 0.5f, 0.75f, 1.0f})
        EXPECT_FLOAT_EQ(RTASParameter::normalized(RTASParameter::fixed(x)), x);
}

TEST(HighlightColours, MapTheHostsCodesAndRemoveTheHighlightOtherwise) {
    EXPECT_EQ(RTASParameter::highlightColor(true, 0), Color(255, 0, 0, 255));
    EXPECT_EQ(RTASParameter::highlightColor(true, 1), Color(0, 0, 255, 255));
    EXPECT_EQ(RTASParameter::highlightColor(true, 2), Color(0, 255, 0, 255));
    EXPECT_EQ(RTASParameter::highlightColor(true, 3), Color(255, 255, 0, 255));
    EXPECT_EQ(RTASParameter::highlightColor(true, 7), colorNone);
    EXPECT_EQ(RTASParameter::highlightColor(false, 0), colorNone);
}

TEST(ControlNames, FitTheFirstAliasThatFitsAndNeverGoBelowNoRoom) {
    const std::list<std::string> cutoff{"Cutoff"};
    EXPECT_EQ(RTASParameter::nameOfLength("M1 ", cutoff, "", 32), "M1 Cutoff");
    EXPECT_EQ(RTASParameter::nameOfLength("M1 ", cutoff, " #2", 32), "M1 Cutoff #2");
    EXPECT_EQ(RTASParameter::nameOfLength("", {"Tone Level", "Lvl"}, "", 8), "Lvl");
    EXPECT_EQ(RTASParameter::nameOfLength("", {"Tone Level", "Lvl"}, "", 3), "To");
    // The prefix and suffix alone overflow: no room, not a negative one.
    EXPECT_EQ(RTASParameter::nameOfLength("M1 ", cutoff, " #2", 4), "M1  #2");
    EXPECT_EQ(RTASParameter::nameOfLength("", cutoff, "", 1), "");
}

class ControlsTest : public HostTest {};

TEST_F(ControlsTest, ShowEveryAutomatableParameterNumberedFromOne) {
    RTASProcess* process = makeProcess();
    ASSERT_NE(process, nullptr);
    ASSERT_EQ(process->getControlCount(), 3);
    for (int c = 1; c <= 3; ++c) {
        EXPECT_TRUE(process->isControlAutomatable(c));
        EXPECT_EQ(process->GetControl(c)->GetControlNumber(), c);
    }
    EXPECT_FALSE(process->isControlAutomatable(0));
    EXPECT_FALSE(process->isControlAutomatable(4));
}

TEST_F(ControlsTest, NamesAndValueTextsFitTheHostsBufferAndShortLengthsWriteNothing) {
    RTASProcess* process = makeProcess();
    ASSERT_NE(process, nullptr);
    struct Case {
        int length;
        const char* name;
    };
    for (const Case& c : {Case{32, "Tone Level"}, Case{8, "Lvl"}, Case{3, "To"}, Case{1, ""}}) {
        char buffer[40];
        std::memset(buffer, 'x', sizeof buffer);
        ASSERT_EQ(process->getControlName(1, buffer, c.length), hostsdk::kResultOk);
        EXPECT_STREQ(buffer, c.name) << c.length;
        EXPECT_EQ(buffer[c.length], 'x') << "wrote past " << c.length;
    }
    char name[8];
    std::memset(name, 'x', sizeof name);
    process->getControlName(2, name, 8);
    EXPECT_STREQ(name, "Detune"); // without aliases: the label
    for (const int length : {0, -5}) {
        char untouched[4] = {'x', 'x', 'x', 'x'};
        EXPECT_NE(process->getControlName(1, untouched, length), hostsdk::kResultOk);
        EXPECT_NE(process->getControlValueText(1, untouched, length), hostsdk::kResultOk);
        EXPECT_EQ(untouched[0], 'x');
    }
    char text[32];
    ASSERT_EQ(process->getControlValueText(1, text, sizeof text), hostsdk::kResultOk);
    const std::string full = text;
    ASSERT_FALSE(full.empty());
    char cut[3];
    process->getControlValueText(1, cut, sizeof cut);
    EXPECT_EQ(std::string(cut), full.substr(0, 2));
}

TEST_F(ControlsTest, ControlNumbersOutOfRangeAreIgnored) {
    RTASProcess* process = makeProcess();
    ASSERT_NE(process, nullptr);
    const std::int32_t before = process->changeCount();
    for (const int c : {-1, 0, 4, 1000}) {
        EXPECT_NE(process->setControlValue(c, 0), hostsdk::kResultOk) << c;
        std::int32_t value = 17;
        EXPECT_NE(process->getControlValue(c, value), hostsdk::kResultOk);
        EXPECT_EQ(value, 17);
        EXPECT_EQ(process->setControlHighlight(c, true, 0), hostsdk::kResultOk);
    }
    EXPECT_EQ(process->changeCount(), before);
}

class AutomationTest : public HostTest {};

TEST_F(AutomationTest, TheHostsValueReachesTheParameterAndIsNotReportedBack) {
    RTASProcess* process = makeProcess();
    ASSERT_NE(process, nullptr);
    Parameter* level = process->getPlugin()->getAutomatableParameter(0);
    const std::int32_t before = process->changeCount();
    ASSERT_EQ(process->setControlValue(1, RTASParameter::fixed(0.25f)), hostsdk::kResultOk);
    EXPECT_NEAR(level->getNormalized(), 0.25f, 1e-6f);
    EXPECT_EQ(process->changeCount(), before + 1);
    std::int32_t value = 0;
    process->getControlValue(1, value);
    EXPECT_EQ(value, RTASParameter::fixed(level->getNormalized()));
    // Host automation and MIDI controllers are not editor gestures.
    level->setNormalized(0.75f, Sender::kMidi);
    EXPECT_TRUE(host.events.empty());
}

TEST_F(AutomationTest, EditorGesturesGoBackAsTouchSetReleaseOfTheSameControl) {
    RTASProcess* process = makeProcess();
    ASSERT_NE(process, nullptr);
    ASSERT_TRUE(process->createView());
    hostproduct::FixtureEditor* editor = editorOf(*process);
    ASSERT_NE(editor, nullptr);
    const std::int32_t before = process->changeCount();
    editor->gesture(1, 0.75f); // Detune, control 2
    const std::vector<std::string> expected = {
        "touch 2", "set 2 " + std::to_string(RTASParameter::fixed(0.75f)), "release 2"};
    EXPECT_EQ(host.events, expected);
    EXPECT_EQ(process->changeCount(), before + 1);
    std::int32_t value = 0;
    process->getControlValue(2, value);
    EXPECT_EQ(value, RTASParameter::fixed(0.75f));
}

TEST_F(AutomationTest, AViewMadeAgainReportsEachGestureOnceAndAClosedOneNone) {
    RTASProcess* process = makeProcess();
    ASSERT_NE(process, nullptr);
    ASSERT_TRUE(process->createView());
    process->destroyView();
    ASSERT_TRUE(process->createView());
    hostproduct::FixtureEditor* editor = editorOf(*process);
    ASSERT_NE(editor, nullptr);
    editor->gesture(0, 0.625f); // Level, control 1
    const std::vector<std::string> expected = {
        "touch 1", "set 1 " + std::to_string(RTASParameter::fixed(0.625f)), "release 1"};
    EXPECT_EQ(host.events, expected);
    // A gesture the process no longer listens to is not the host's.
    hostproduct::FixtureEditor stray(process->getPlugin(), process->getPlugin()->getModule(0));
    host.events.clear();
    stray.gesture(0, 0.25f);
    EXPECT_EQ(std::count(host.events.begin(), host.events.end(), "touch 1"), 0);
}

TEST_F(AutomationTest, WithoutAnOpenEditorGesturesAreNotReported) {
    RTASProcess* process = makeProcess();
    ASSERT_NE(process, nullptr);
    process->getPlugin()->getAutomatableParameter(0)->setNormalized(0.3f, Sender::kEditor);
    EXPECT_TRUE(host.events.empty());
}

TEST_F(AutomationTest, SeveralInstancesKeepTheirOwnControlsAndCounters) {
    RTASProcess* a = makeProcess();
    RTASProcess* b = makeProcess(1);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    const std::int32_t before = b->changeCount();
    a->setControlValue(1, RTASParameter::fixed(0.9f));
    EXPECT_EQ(b->changeCount(), before);
    EXPECT_NE(b->getPlugin()->getAutomatableParameter(0)->getNormalized(), 0.9f);
}

TEST_F(GroupTest, AFailingSpecificationIsReportedAsFailureNotThrown) {
    Preferences machine = HostInstallation::instance().machine();
    machine.setString("SettingsXmlFile", "missing.xml");
    hostsdk::Process* process = group->createProcess(0, &host);
    ASSERT_NE(process, nullptr);
    {
        ModuleLogCapture log;
        EXPECT_EQ(process->initialize(), hostsdk::kResultFailed);
        EXPECT_EQ(log.count("caught exception"), 1);
    }
    process->release();
    machine.setString("SettingsXmlFile", "specification.xml");
    EXPECT_FALSE(services.quits.empty());
    EXPECT_FALSE(services.boxes.empty());
    platform::resetQuitRequest();
}

} // namespace
