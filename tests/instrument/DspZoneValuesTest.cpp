#include "engine/zones/Zone.h"
#include "plugin/Parameter.h"
#include "support/ZoneTestSupport.h"

#include <gtest/gtest.h>

using namespace trov;
using test::zoneItem;

namespace {

class ZoneValues : public testing::Test {
protected:
    test::ZoneWorld world_;
};

TEST_F(ZoneValues, ReadersAnswerTheStoredValuesAndDefaultsForWhatIsMissingOrUnreadable) {
    const SharedObjectPtr<Zone> zone(new Zone(nullptr, world_.parent.get(), KeyRange(0, 0), ""));
    zone->fromDictionary(zoneItem(test::rangeText(48, 60, "NOT-LOADED") +
                                  "<parameters><WaveLevel value=\"0.25\"/><WaveCutoff value=\"-1.5e-2\"/>"
                                  "<SampleLoopOn value=\"true\"/><WaveRootNote value=\"67\"/>"
                                  "<Broken value=\"loud\"/><NotANumber value=\"nan\"/></parameters>"));
    EXPECT_FLOAT_EQ(zone->getParameterFloat("WaveLevel"), 0.25f);
    EXPECT_FLOAT_EQ(zone->getParameterFloat("WaveCutoff"), -0.015f);
    EXPECT_TRUE(zone->getParameterBool("SampleLoopOn"));
    EXPECT_EQ(zone->getParameterLong("WaveRootNote"), 67);
    EXPECT_FLOAT_EQ(zone->getParameterFloat("WaveRootNote"), 67.0f);
    // Missing names, text that is no number, and a value that is not finite give the defaults.
    EXPECT_EQ(zone->getParameterFloat("Missing"), 0.0f);
    EXPECT_EQ(zone->getParameterFloat("Broken"), 0.0f);
    EXPECT_EQ(zone->getParameterFloat("NotANumber"), 0.0f);
    EXPECT_EQ(zone->getParameterLong("Missing"), 0);
    EXPECT_FALSE(zone->getParameterBool("Missing"));
}

TEST_F(ZoneValues, AZoneWithNoValuesAnswersZeroFalseAndZero) {
    // A parent without settings gives the zone an empty set of values.
    Radio orphan;
    const SharedObjectPtr<Zone> zone(new Zone(nullptr, &orphan, KeyRange(48, 60), "NOT-LOADED"));
    EXPECT_EQ(zone->getParameterLong("SampleStart"), 0);
    EXPECT_FALSE(zone->getParameterBool("SampleLoopOn"));
    EXPECT_EQ(zone->getParameterFloat("WaveLevel"), 0.0f);
}

TEST_F(ZoneValues, BoolWriterActsOnlyOnTheCurrentZoneAndTheChangeReachesItsValues) {
    world_.settings->setBool("SampleLoopOn", false, Sender::kEditor);
    const SharedObjectPtr<Zone> loose(new Zone(nullptr, world_.parent.get(), KeyRange(36, 40), "x"));
    const std::string before = loose->getDictionary().toDocumentText();
    loose->setParameterBool("SampleLoopOn", true, Sender::kDocument);
    EXPECT_FALSE(world_.settings->getBool("SampleLoopOn"));
    EXPECT_EQ(loose->getDictionary().toDocumentText(), before); // not even its own values change

    const std::unique_ptr<ZoneManager> manager = world_.makeManager();
    manager->createZone(KeyRange(36, 40), "x");
    const SharedObjectPtr<Zone> current(manager->getCurrentZone());
    current->setParameterBool("SampleLoopOn", true, Sender::kDocument);
    EXPECT_TRUE(world_.settings->getBool("SampleLoopOn"));
    // The parameter's change, handed to the zone as the voice hands it, is stored in its values.
    current->receive(
        ParameterMessage(nullptr, Code::kParameterValue, "SampleLoopOn", 0, 1, 1.0f, Sender::kEditor));
    EXPECT_TRUE(current->getParameterBool("SampleLoopOn"));
}

} // namespace
