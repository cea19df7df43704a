#include "engine/Analogics.h"

#include "framework/Dictionary.h"
#include "framework/Preferences.h"
#include "support/LogCapture.h"
#include "support/PluginTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace trov;
using namespace trov::test;

namespace {

constexpr const char* kStoreKey = "Analog Components";
// One step of wander moves a value by at most this much.
constexpr float kWanderStep = 1.2e-7f;

std::unique_ptr<Preferences> store() {
    return std::unique_ptr<Preferences>(getUserPreferences()->openChild(kStoreKey));
}

// The stored value of a component, without wander.
float valueOf(Analogics& analogics, const std::string& name) {
    return analogics.getTolerance(name, Analogics::kIdeal);
}

const std::vector<std::string> kNames{"VCF cutoff 1", "VCO 2", "VCA 3"};

} // namespace

TEST(Analogics, ValuesPersistUnderTheUserKeyFromOneObjectToTheNext) {
    const ScopedUserPreferences user;
    std::map<std::string, float> first;
    {
        Analogics analogics(nullptr);
        EXPECT_EQ(analogics.getComponentCount(), 0u);
        analogics.getTolerance(kNames[0], Analogics::kSymmetric);
        analogics.getTolerance(kNames[1], Analogics::kPositive);
        analogics.getTolerance(kNames[2], Analogics::kNegative);
        for (const std::string& name : kNames)
            first[name] = valueOf(analogics, name);
    }
    const std::unique_ptr<Preferences> key = store();
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->getKeys().size(), 3u);
    float stored = 0.0f;
    EXPECT_TRUE(key->getFloat("VCO 2", stored));
    EXPECT_EQ(stored, first["VCO 2"]);

    const LogCapture log(0);
    Analogics again(nullptr);
    EXPECT_EQ(again.getComponentCount(), 3u);
    for (const std::string& name : kNames)
        EXPECT_NEAR(valueOf(again, name), first[name], kWanderStep) << name;
    EXPECT_EQ(log.count("component VCO 2 tolerance "), 1);
    EXPECT_EQ(log.count("inited"), 0);
}

TEST(Analogics, ANewComponentIsDrawnByItsDistributionAndLoggedOnce) {
    const LogCapture log(0);
    Analogics analogics(nullptr); // no per-user preferences: nothing is stored
    const float factor = analogics.getTolerance("VCF 7", Analogics::kSymmetric);
    const float value = valueOf(analogics, "VCF 7");
    EXPECT_GE(value, -1.0f);
    EXPECT_LE(value, 1.0f);
    EXPECT_NEAR(factor, 1.0f + 0.05f * value, 1e-6f);
    analogics.getTolerance("VCF 7", Analogics::kSymmetric);
    EXPECT_EQ(log.count("component VCF 7 tolerance inited to "), 1);

    // A thousand components each: the ranges of the table and the means of r1 r2 (1/4) and 2 r1 r2 - 1.
    struct Case {
        int distribution;
        float low;
        float high;
        double mean;
    };
    for (const Case c :
         {Case{Analogics::kPositive, 0.0f, 1.0f, 0.25}, Case{Analogics::kNegative, -1.0f, 0.0f, -0.25},
          Case{Analogics::kSymmetric, -1.0f, 1.0f, -0.5}, Case{7, -1.0f, 1.0f, -0.5}}) {
        double sum = 0.0;
        int outside = 0;
        for (int i = 0; i < 1000; ++i) {
            const std::string name = "D" + std::to_string(c.distribution) + " " + std::to_string(i);
            analogics.getTolerance(name, c.distribution);
            const float v = valueOf(analogics, name);
            outside += v < c.low - kWanderStep || v > c.high + kWanderStep;
            sum += v;
        }
        EXPECT_EQ(outside, 0) << c.distribution;
        // r1 r2 has a standard deviation of about 0.22: the mean of 1000 lies within 0.03 of 1/4.
        EXPECT_NEAR(sum / 1000.0, c.mean, c.distribution >= Analogics::kSymmetric ? 0.06 : 0.03)
            << c.distribution;
    }

    // The ideal distribution stores 1.0 and never wanders.
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(analogics.getTolerance("Ideal", Analogics::kIdeal), 1.0f);
}

TEST(Analogics, FactorsStayWithinTheToleranceAndAmountZeroGivesExactlyOne) {
    Analogics analogics(nullptr);
    EXPECT_EQ(analogics.getToleranceRange(), 0.05f);
    EXPECT_EQ(analogics.getAmount(), 1.0f);
    float low = 2.0f;
    float high = 0.0f;
    for (int i = 0; i < 2000; ++i) {
        const float f = analogics.getTolerance("C" + std::to_string(i % 200), i % 3);
        low = std::min(low, f);
        high = std::max(high, f);
    }
    EXPECT_GE(low, 0.95f);
    EXPECT_LE(high, 1.05f);
    EXPECT_LT(low, 0.97f);
    EXPECT_GT(high, 1.03f);

    analogics.setAmount(0.0f);
    int notOne = 0;
    for (int i = 0; i < 2000; ++i)
        notOne += analogics.getTolerance("C" + std::to_string(i % 200), i % 3) != 1.0f;
    EXPECT_EQ(notOne, 0);

    // Values, tolerance and amount that are not finite are refused, so amount 0 keeps giving 1.0.
    analogics.setValue("C1", std::numeric_limits<float>::infinity());
    analogics.setValue("C2", std::numeric_limits<float>::quiet_NaN());
    analogics.setTolerance(std::numeric_limits<float>::infinity());
    analogics.setAmount(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(analogics.getTolerance("C1", Analogics::kSymmetric), 1.0f);
    EXPECT_EQ(analogics.getTolerance("C2", Analogics::kSymmetric), 1.0f);

    analogics.setAmount(0.5f);
    analogics.setTolerance(0.1f);
    analogics.setValue("Set", 0.6f);
    EXPECT_NEAR(analogics.getTolerance("Set", Analogics::kSymmetric), 1.0f + 0.5f * 0.1f * 0.6f, 1e-6f);
}

TEST(Analogics, AnalogsRoundTripThroughABankDocumentWithDashesForSpaces) {
    Analogics source(nullptr);
    source.setValue("VCF cutoff 1", 0.125f);
    source.setValue("VCO 2", -0.75f);
    source.setValue("Noise", 0.333333f);
    Dictionary bank;
    bank.setString("file-format", "0.7.0");
    source.write(bank);
    const Dictionary::View analogs = bank.getDictionary("analogs");
    ASSERT_TRUE(analogs);
    float written = 0.0f;
    EXPECT_TRUE(analogs->getFloat("VCF-cutoff-1", &written));
    EXPECT_EQ(written, 0.125f);
    EXPECT_FALSE(analogs->hasKey("VCF cutoff 1"));

    // Through the document's text into another machine's components; one it has not got is skipped, one
    // the document lacks keeps its value.
    Analogics target(nullptr);
    target.setValue("VCF cutoff 1", 0.5f);
    target.setValue("VCO 2", 0.5f);
    target.setValue("Noise", 0.5f);
    target.setValue("Only here", 0.25f);
    target.read(Dictionary(bank.toDocumentText()));
    EXPECT_EQ(valueOf(target, "VCF cutoff 1"), 0.125f);
    EXPECT_EQ(valueOf(target, "VCO 2"), -0.75f);
    EXPECT_NEAR(valueOf(target, "Noise"), 0.333333f, 1e-8f);
    EXPECT_EQ(valueOf(target, "Only here"), 0.25f);
    EXPECT_EQ(target.getComponentCount(), 4u);

    // Writing again replaces the entries rather than adding a second "analogs".
    target.write(bank);
    EXPECT_EQ(bank.count("analogs"), 1);
    EXPECT_TRUE(bank.getDictionary("analogs")->getFloat("Only-here", &written));

    // Older banks keep typed entries.
    target.read(Dictionary(std::string("<?xml version=\"1.0\"?><dict><dict name=\"analogs\">"
                                       "<float name=\"VCO-2\" value=\"0.0625\"/></dict></dict>")));
    EXPECT_EQ(valueOf(target, "VCO 2"), 0.0625f);

    // A document without "analogs" changes nothing.
    target.read(Dictionary());
    EXPECT_EQ(valueOf(target, "VCO 2"), 0.0625f);
}

TEST(Analogics, ADocumentsValuesThatAreNoFiniteNumbersAreRefusedAndOthersKeptInRange) {
    const LogCapture log(0);
    Analogics analogics(nullptr);
    for (const char* name : {"A", "B", "C", "D", "E"})
        analogics.setValue(name, 0.5f);
    analogics.read(Dictionary(std::string("<?xml version=\"1.0\"?><dict><file-format value=\"0.7.0\"/>"
                                          "<analogs><A value=\"nan\"/>"
                                          "<B value=\"1e99\"/><C value=\"-inf\"/><D value=\"7.5\"/>"
                                          "<E value=\"-0.25\"/></analogs></dict>")));
    EXPECT_EQ(valueOf(analogics, "A"), 0.5f);
    EXPECT_EQ(valueOf(analogics, "B"), 0.5f);
    EXPECT_EQ(valueOf(analogics, "C"), 0.5f);
    EXPECT_EQ(valueOf(analogics, "D"), 1.0f);
    EXPECT_EQ(valueOf(analogics, "E"), -0.25f);
    EXPECT_EQ(log.count("the document's value is not a number"), 3);
}

TEST(Analogics, RecalibrationForgetsTheStoredValuesAndDrawsNewOnes) {
    const ScopedUserPreferences user;
    std::map<std::string, float> old;
    {
        Analogics analogics(nullptr);
        for (const std::string& name : kNames)
            analogics.getTolerance(name, Analogics::kSymmetric);
    }
    {
        Analogics analogics(nullptr);
        for (const std::string& name : kNames)
            old[name] = valueOf(analogics, name);
        EXPECT_TRUE(analogics.clearStored());
        EXPECT_EQ(analogics.getComponentCount(), 0u);
        EXPECT_TRUE(store()->getKeys().empty());

        const LogCapture log(0);
        for (const std::string& name : kNames) {
            analogics.getTolerance(name, Analogics::kSymmetric);
            EXPECT_NE(valueOf(analogics, name), old[name]) << name;
        }
        EXPECT_EQ(log.count("inited to"), 3);
        for (const std::string& name : kNames)
            old[name] = valueOf(analogics, name);
    }
    // What is saved at the end are the new values.
    Analogics reloaded(nullptr);
    for (const std::string& name : kNames)
        EXPECT_NEAR(valueOf(reloaded, name), old[name], kWanderStep) << name;

    // Without a per-user key there is nothing to delete, but the components are still forgotten.
    setProcessPreferences(nullptr, nullptr);
    Analogics unstored(nullptr);
    unstored.getTolerance("X", Analogics::kSymmetric);
    EXPECT_FALSE(unstored.clearStored());
    EXPECT_EQ(unstored.getComponentCount(), 0u);
}

TEST(Analogics, QueriesAndBankDocumentsMayRunOnDifferentThreads) {
    Analogics analogics(nullptr);
    std::atomic<bool> done{false};
    std::thread midi([&] {
        for (int i = 0; !done.load() || i < 2000; ++i)
            analogics.getTolerance("V " + std::to_string(i % 64), i % 4);
    });
    for (int i = 0; i < 200; ++i) {
        Dictionary bank;
        analogics.write(bank);
        analogics.read(bank);
        if (i % 50 == 0)
            analogics.clearStored();
    }
    done.store(true);
    midi.join();
    EXPECT_LE(analogics.getComponentCount(), 64u);
}
