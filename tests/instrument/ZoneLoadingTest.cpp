// Zones come back from banks, patches and dropped documents as they were saved: every value the document
// holds wins over what its sample would give, the loop plays only when the document says so, and a
// second instance writes the same bytes again.
#include "engine/samples/Sample.h"
#include "engine/zones/ZoneManager.h"
#include "framework/Dictionary.h"
#include "framework/File.h"
#include "framework/Message.h"
#include "instrument/InstrumentKeys.h"
#include "plugin/ParameterValue.h"
#include "support/ProductTestSupport.h"
#include "support/SampleTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <regex>
#include <string>
#include <vector>

namespace trov::test {
namespace {

constexpr int kFrames = 22050; // half a second
constexpr int kBlock = 512;

// The zone values a user set by hand, of each kind, none of them what the sample would give.
struct Stored {
    const char* key;
    enum Kind { Long, Bool, Float } kind;
    double value;
};
const Stored kStored[] = {
    {keys::kWaveRootNote, Stored::Long, 57},          {keys::kSampleDetuneCoarse, Stored::Long, 2},
    {keys::kSampleDetuneFine, Stored::Long, -7},      {keys::kSampleStart, Stored::Long, 120},
    {keys::kSampleEnd, Stored::Long, 3100},           {keys::kWaveOutputVoice, Stored::Long, 3},
    {keys::kSampleLoopOn, Stored::Bool, 0},           {keys::kPreampMicInput, Stored::Bool, 1},
    {keys::kWaveLevel, Stored::Float, 0.37},          {keys::kPreampGain, Stored::Float, 0.61},
    {keys::kPreampFilterCutoff, Stored::Float, 0.42}, {keys::kResampleFreq, Stored::Float, 22050},
    {keys::kWaveCutoff, Stored::Float, 0.13},
};

double readBack(const Zone& zone, const Stored& stored) {
    switch (stored.kind) {
    case Stored::Long:
        return zone.getParameterLong(stored.key);
    case Stored::Bool:
        return zone.getParameterBool(stored.key) ? 1.0 : 0.0;
    default:
        return zone.getParameterFloat(stored.key);
    }
}

// A sine with its loop over the second half and root key 64, as a sample editor might have left it.
std::string loopedWav(FileTestFolder& files) {
    std::vector<float> values(kFrames);
    for (int i = 0; i < kFrames; ++i)
        values[static_cast<std::size_t>(i)] = 0.5f * std::sin(0.0627f * static_cast<float>(i));
    EditableWav wav(values, 16);
    wav.setRootNote(64);
    wav.setLoopPoints({Sample::kLoopOn, kFrames / 2, kFrames - 1});
    File file(files / "looped.wav");
    EXPECT_TRUE(wav.save(file).ok());
    return file.getPath();
}

// A sine at 0.5 over its first half and at 0.1 over its second, root key 64, without a loop of its own.
std::string twoLevelWav(FileTestFolder& files) {
    std::vector<float> values(kFrames);
    for (int i = 0; i < kFrames; ++i)
        values[static_cast<std::size_t>(i)] =
            (i < kFrames / 2 ? 0.5f : 0.1f) * std::sin(0.0627f * static_cast<float>(i));
    EditableWav wav(values, 16);
    wav.setRootNote(64);
    File file(files / "levels.wav");
    EXPECT_TRUE(wav.save(file).ok());
    return file.getPath();
}

std::string textOf(const Dictionary& document) {
    std::string text;
    document.toText(text);
    return text;
}

// Where two document texts part, with a little of each (the whole texts hold audio data).
std::string firstDifference(const std::string& a, const std::string& b) {
    std::size_t at = 0;
    while (at < a.size() && at < b.size() && a[at] == b[at])
        ++at;
    if (at == a.size() && at == b.size())
        return "";
    const std::size_t from = at > 80 ? at - 80 : 0;
    return "at " + std::to_string(at) + ":\n  " + a.substr(from, 160) + "\n  " + b.substr(from, 160);
}

class ZoneLoadingTest : public ::testing::Test {
protected:
    // The current zone of the lower layer plays the looped file, with the stored values set as the
    // editor sets them: the setting takes the value, and its change reaches the zone.
    Zone& storedZone(Corvale& plugin) {
        ZoneManager* zones = plugin.getModule(0)->getZoneManager();
        EXPECT_EQ(zones->importSample(File(loopedWav(world.base.files))), 1);
        Zone& zone = *zones->getZone(0);
        for (const Stored& stored : kStored)
            store(plugin, zone, stored.key, stored.kind, stored.value);
        return zone;
    }
    static void store(Corvale& plugin, Zone& zone, const char* key, Stored::Kind kind, double value) {
        Settings* settings = plugin.getModule(0)->getSettings();
        // The change carries the value in its extra word, as the setting's own message does.
        MessageWord extra = 0;
        if (kind == Stored::Long) {
            settings->setLong(key, static_cast<std::int32_t>(value), Sender::kEditor);
            extra = static_cast<MessageWord>(static_cast<std::int32_t>(value));
        } else if (kind == Stored::Bool) {
            settings->setBool(key, value != 0.0, Sender::kEditor);
            extra = value != 0.0 ? 1 : 0;
        } else {
            settings->setFloat(key, static_cast<float>(value), Sender::kEditor);
            extra = floatToWord(static_cast<float>(value));
        }
        zone.receive(ParameterMessage(nullptr, Code::kParameterValue, key, 0, extra, 0.0f, Sender::kEditor));
    }
    std::unique_ptr<Corvale> makeCorvale() { return world.makeCorvale(kBlock); }
    static Zone* firstZone(Corvale& plugin) {
        Zone* zone = plugin.getModule(0)->getZoneManager()->getZone(0);
        if (zone != nullptr)
            zone->release(); // the instance keeps it
        return zone;
    }
    // A bank of two programs whose lower layers play one sample: the first (current) loops over the
    // sample's loud half, the second over its quiet half. Each zone's values name its loop, as loading
    // writes them.
    std::string sharedSampleBank() {
        std::unique_ptr<Corvale> plugin = makeCorvale();
        const auto loopOver = [&plugin](Zone& zone, std::int32_t start, std::int32_t end) {
            store(*plugin, zone, keys::kSampleLoopOn, Stored::Bool, 1.0);
            store(*plugin, zone, keys::kSampleLoopStart, Stored::Long, start);
            store(*plugin, zone, keys::kSampleLoopEnd, Stored::Long, end);
            zone.activate({Zone::kLoopUntilRelease, start, end});
        };
        ZoneManager* first = plugin->getModule(0)->getZoneManager();
        EXPECT_EQ(first->importSample(File(twoLevelWav(world.base.files))), 1);
        const SharedObjectPtr<Zone> loud(first->getZone(0));
        loopOver(*loud, 2000, 9000);
        plugin->selectPreset(1);
        ZoneManager* second = plugin->getModule(0)->getZoneManager();
        const SharedObjectPtr<Zone> quiet(
            second->getZone(second->createZone(KeyRange(0, 127), loud->getSampleName())));
        loopOver(*quiet, 13000, 20000);
        plugin->selectPreset(0);
        Dictionary bank;
        plugin->writeState(bank, true);
        return textOf(bank);
    }
    // A bank's text as a second instance reading it writes it again; empty when it refuses the text.
    std::string writtenAgain(const std::string& saved) {
        std::unique_ptr<Corvale> second = makeCorvale();
        Dictionary bank;
        if (!bank.parse(saved) || !second->readState(bank))
            return std::string();
        Dictionary again;
        second->writeState(again, true);
        return textOf(again);
    }
    static void expectStored(const Zone& zone, const char* how) {
        for (const Stored& stored : kStored)
            EXPECT_NEAR(readBack(zone, stored), stored.value, 1e-6) << stored.key << " " << how;
    }

    ProductWorld world;
};

TEST_F(ZoneLoadingTest, EveryValueOfAZoneReadsWhatTheBankOrPatchStored) {
    struct Way {
        const char* name;
        std::function<void(Corvale&, Dictionary&)> write;
        std::function<bool(Corvale&, const Dictionary&)> read;
    };
    const Way ways[] = {
        {"bank", [](Corvale& p, Dictionary& d) { p.writeState(d, true); },
         [](Corvale& p, const Dictionary& d) { return p.readState(d); }},
        {"patch", [](Corvale& p, Dictionary& d) { p.writeProgram(d); },
         [](Corvale& p, const Dictionary& d) { return p.readState(d); }},
    };
    for (const Way& way : ways) {
        std::string saved;
        {
            std::unique_ptr<Corvale> first = makeCorvale();
            Zone& zone = storedZone(*first);
            expectStored(zone, "as set");
            zone.release();
            Dictionary document;
            way.write(*first, document);
            saved = textOf(document);
        }
        // A second instance: its sample comes from the document or the resources' cache, never with the
        // values the file would give.
        std::unique_ptr<Corvale> second = makeCorvale();
        Dictionary document;
        ASSERT_TRUE(document.parse(saved)) << way.name;
        ASSERT_TRUE(way.read(*second, document)) << way.name;
        const Zone* zone = firstZone(*second);
        ASSERT_NE(zone, nullptr) << way.name;
        ASSERT_NE(zone->getSample(), nullptr) << way.name;
        expectStored(*zone, way.name);
        // The sample keeps its own root: the zone's root key moves the pitch, not the sample.
        EXPECT_EQ(zone->getSample()->getRootNote(), 64) << way.name;
        Dictionary again;
        way.write(*second, again);
        EXPECT_EQ(firstDifference(textOf(again), saved), "") << way.name;
    }
}

TEST_F(ZoneLoadingTest, ABankSavedWithItsLoopOffPlaysWithoutItAndOneSavedWithItOnLoops) {
    for (const bool on : {false, true}) {
        std::string saved;
        {
            std::unique_ptr<Corvale> first = makeCorvale();
            ZoneManager* zones = first->getModule(0)->getZoneManager();
            ASSERT_EQ(zones->importSample(File(loopedWav(world.base.files))), 1);
            const SharedObjectPtr<Zone> zone(zones->getZone(0));
            store(*first, *zone, keys::kSampleLoopOn, Stored::Bool, on ? 1.0 : 0.0);
            Dictionary bank;
            first->writeState(bank, true);
            saved = textOf(bank);
        }
        std::unique_ptr<Corvale> second = makeCorvale();
        Dictionary bank;
        ASSERT_TRUE(bank.parse(saved));
        ASSERT_TRUE(second->readState(bank));
        const Zone* zone = firstZone(*second);
        ASSERT_NE(zone, nullptr);
        EXPECT_EQ(zone->getParameterBool(keys::kSampleLoopOn), on);
        // A held note: without the loop the half-second sample has ended after 0.6 s; with it, it goes on.
        InstrumentWorld::midi(*second, 0x90, 64, 100);
        std::vector<float> left;
        ProductWorld::play(*second, 90, kBlock, left);
        float late = 0.0f;
        for (std::size_t i = 70 * kBlock; i < left.size(); ++i)
            late = std::max(late, std::fabs(left[i]));
        if (on)
            EXPECT_GT(late, 0.05f);
        else
            EXPECT_LT(late, 0.001f);
    }
}

TEST_F(ZoneLoadingTest, ABankWhoseProgramsLoopOneSampleDifferentlyIsWrittenAgainByteForByte) {
    const std::string saved = sharedSampleBank();
    EXPECT_EQ(firstDifference(writtenAgain(saved), saved), "");
}

TEST_F(ZoneLoadingTest, AfterAProgramChangeEachProgramLoopsTheSampleTheyShareAsItsOwnZoneSays) {
    std::unique_ptr<Corvale> plugin = makeCorvale();
    Dictionary bank;
    ASSERT_TRUE(bank.parse(sharedSampleBank()));
    ASSERT_TRUE(plugin->readState(bank));
    // A held note past the half-second sample's end sounds its program's loop: the loud half at 0.5 or
    // the quiet half at 0.1.
    const auto late = [&plugin](int preset) {
        plugin->selectPreset(preset);
        InstrumentWorld::midi(*plugin, 0x90, 64, 100);
        std::vector<float> left;
        ProductWorld::play(*plugin, 90, kBlock, left);
        InstrumentWorld::midi(*plugin, 0x80, 64, 0);
        ProductWorld::play(*plugin, 400, kBlock, left);
        float peak = 0.0f;
        for (std::size_t i = 70 * kBlock; i < 90 * kBlock; ++i)
            peak = std::max(peak, std::fabs(left[i]));
        return peak;
    };
    // Without a loop it would be silent by then, as a bank saved with its loop off is.
    EXPECT_GT(late(0), 0.3f);
    const float quiet = late(1);
    EXPECT_GT(quiet, 0.05f);
    EXPECT_LT(quiet, 0.2f);
    EXPECT_GT(late(0), 0.3f);
}

TEST_F(ZoneLoadingTest, AZoneMadeFromADroppedFileComesBackWithEveryValue) {
    std::string saved;
    {
        std::unique_ptr<Corvale> first = makeCorvale();
        ASSERT_TRUE(first->loadFile(File(loopedWav(world.base.files))));
        Zone* zone = firstZone(*first);
        ASSERT_NE(zone, nullptr);
        // Filled from the file: its root, its loop.
        EXPECT_EQ(zone->getParameterLong(keys::kWaveRootNote), 64);
        EXPECT_TRUE(zone->getParameterBool(keys::kSampleLoopOn));
        Dictionary bank;
        first->writeState(bank, true);
        saved = textOf(bank);
    }
    EXPECT_EQ(firstDifference(writtenAgain(saved), saved), "");
}

TEST_F(ZoneLoadingTest, ValuesAZoneDocumentLeavesOutComeFromItsSample) {
    std::unique_ptr<Corvale> plugin = makeCorvale();
    Zone& made = storedZone(*plugin);
    const std::string id = made.getSampleName();
    made.release();
    // A document holding only the key range, the sample and values of its own.
    ZoneManager* zones = plugin->getModule(0)->getZoneManager();
    const int index = zones->createZone(KeyRange(0, 0), "");
    SharedObjectPtr<Zone> zone(zones->getZone(index));
    ASSERT_TRUE(zone);
    zone->fromDictionary(zoneItem(rangeText(40, 80, id) + "<parameters><WaveLevel value=\"0.5\"/><Comment "
                                                          "value=\"kept as written\"/></parameters>"));
    EXPECT_FLOAT_EQ(zone->getParameterFloat(keys::kWaveLevel), 0.5f);
    EXPECT_EQ(zone->getParameterLong(keys::kWaveRootNote), 64);
    EXPECT_EQ(zone->getParameterLong(keys::kSampleStart), 0);
    EXPECT_EQ(zone->getParameterLong(keys::kSampleEnd), kFrames - 1);
    // A value of a kind no parameter has travels on as text.
    Dictionary written;
    zone->toDictionary(written);
    std::string comment;
    ASSERT_TRUE(written.getDictionary("parameters")->getString("Comment", &comment));
    EXPECT_EQ(comment, "kept as written");
}

TEST_F(ZoneLoadingTest, ValuesOutsideTheirParametersRangesAreHeldWithinThemAndTheNotePlays) {
    std::string saved;
    {
        std::unique_ptr<Corvale> first = makeCorvale();
        storedZone(*first).release();
        Dictionary bank;
        first->writeState(bank, true);
        saved = textOf(bank);
    }
    // A bank edited by hand (or by an attacker).
    for (const auto& [key, value] :
         {std::pair{"SampleDetuneCoarse", "2147483647"}, std::pair{"WaveRootNote", "-5"},
          std::pair{"WaveLevel", "1e30"}, std::pair{"ResampleFreq", "nan"},
          std::pair{"SampleDetuneFine", "-99999"}})
        saved =
            std::regex_replace(saved, std::regex(std::string("<") + key + " index=\"0\" value=\"[^\"]*\""),
                               std::string("<") + key + " index=\"0\" value=\"" + value + "\"");
    std::unique_ptr<Corvale> plugin = makeCorvale();
    Dictionary bank;
    ASSERT_TRUE(bank.parse(saved));
    ASSERT_TRUE(plugin->readState(bank));
    const Zone* zone = firstZone(*plugin);
    ASSERT_NE(zone, nullptr);
    Settings* settings = plugin->getModule(0)->getSettings();
    const auto whole = [settings](const char* name) {
        return dynamic_cast<const ParameterValue<long>*>(settings->getParameter(name));
    };
    const auto real = [settings](const char* name) {
        return dynamic_cast<const ParameterValue<float>*>(settings->getParameter(name));
    };
    EXPECT_EQ(zone->getParameterLong(keys::kSampleDetuneCoarse), whole(keys::kSampleDetuneCoarse)->getMax());
    EXPECT_EQ(zone->getParameterLong(keys::kSampleDetuneFine), whole(keys::kSampleDetuneFine)->getMin());
    EXPECT_EQ(zone->getParameterLong(keys::kWaveRootNote), whole(keys::kWaveRootNote)->getMin());
    EXPECT_FLOAT_EQ(zone->getParameterFloat(keys::kWaveLevel), real(keys::kWaveLevel)->getMax());
    EXPECT_FLOAT_EQ(zone->getParameterFloat(keys::kResampleFreq), real(keys::kResampleFreq)->getDefault());
    // The note transposes as far as the range allows, without overflowing anything on the way.
    InstrumentWorld::midi(*plugin, 0x90, 60, 100);
    std::vector<float> left;
    ProductWorld::play(*plugin, 4, kBlock, left);
    for (const float value : left)
        ASSERT_TRUE(std::isfinite(value));
}

} // namespace
} // namespace trov::test
