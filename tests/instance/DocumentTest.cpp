#include "support/InstanceTestSupport.h"

#include "engine/notes/Tuning.h"
#include "engine/samples/SampleBuffer.h"
#include "engine/zones/Zone.h"
#include "framework/Dictionary.h"
#include "framework/File.h"
#include "framework/Folder.h"
#include "plugin/Parameter.h"
#include "support/DocumentFolderTestSupport.h"
#include "support/LogCapture.h"
#include "support/SampleFileBytes.h"
#include "support/SampleTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

using namespace trov;
using namespace trov::test;
using platform::BoxAnswer;

namespace {

class DocumentTest : public testing::Test {
protected:
    ZoneManager* zones(Plugin& plugin, int preset, int module) {
        return plugin.getPreset(preset)->getProgram(module)->getZoneManager();
    }
    // A bank worth saving: named presets, zones in preset 3, stored module values, plug-in values, tunings.
    void fill(Plugin& plugin) {
        for (int i = 0; i < 16; ++i)
            plugin.getPreset(i)->setName("bank " + std::to_string(i));
        zones(plugin, 3, 1)->createZone(KeyRange(40, 50), "S-ONE");
        zones(plugin, 3, 1)->createZone(KeyRange(51, 60), "S-TWO");
        Settings* upper = plugin.getModule(0)->getSettings();
        upper->setFloat("Cutoff", 5.0f, Sender::kEditor);
        plugin.getPreset(3)->getProgram(0)->init();
        upper->setFloat("Cutoff", 0.0f, Sender::kEditor);
        upper->setFloat("Volume", 0.25f, Sender::kEditor);
        upper->setFloat("Secret", 0.875f, Sender::kEditor);
        upper->setFloat("Hidden", 0.75f, Sender::kEditor);
        Tuning stretched;
        stretched.setEqualTemperament();
        stretched.setDescription("Stretched");
        plugin.addTuning(stretched);
    }
    // Gives a sample item data that declares frames its few values do not hold, which does not decode.
    static void declareFrames(const Dictionary::View& item, int frames) {
        item->setInteger("samples", frames);
        const std::vector<std::uint8_t> zeros(4 * 4, 0);
        item->setData("sampledata", zeros.data(), zeros.size());
    }
    // A new plug-in's bank with one more sample item that declares frames its few values do not hold: the
    // budgets count what an item declares before anything is decoded.
    Dictionary bankDeclaring(const char* id, int frames) {
        Dictionary bank;
        world.makePlugin()->writeState(bank, false);
        const Dictionary::View item =
            bank.getDictionary("resources")->getArray("samples")->addDictionary("sample");
        item->setString("id", id);
        declareFrames(item, frames);
        return bank;
    }
    // A bank, with its audio, whose one zone plays one sample; its id in *id.
    std::string bankWithSample(std::string* id) {
        auto source = world.makePlugin();
        *id = world.resources->addSample("", makeSample(makeRamp(500)).get(), "");
        zones(*source, 0, 0)->createZone(KeyRange(36, 96), *id);
        return write(*source, true);
    }
    // A new plug-in's bank with a sample item naming the file (none when the file is empty) and, in its
    // first program, a zone over that id for each processing given (Sample::kNormalized, ... bits).
    Dictionary bankProcessing(const char* id, const std::string& file,
                              const std::vector<std::uint32_t>& kinds) {
        Dictionary bank;
        world.makePlugin()->writeState(bank, false);
        if (!file.empty()) {
            const Dictionary::View item =
                bank.getDictionary("resources")->getArray("samples")->addDictionary("sample");
            item->setString("id", id);
            item->setFileName("filename", file);
        }
        const Dictionary::View zonesOf =
            bank.getArrayItem("programs", 0)->getArrayItem("modules", 0)->getArray("zones");
        int low = 0;
        for (const std::uint32_t kind : kinds) {
            std::string values;
            for (const auto& [bit, name] : {std::pair{Sample::kNormalized, "SampleNormalize"},
                                            {Sample::kReversed, "SampleReverse"},
                                            {Sample::kInverted, "SampleInvertPhase"}})
                values += "<" + std::string(name) + (kind & bit ? " value=\"true\"/>" : " value=\"false\"/>");
            const Dictionary zone("<dict><zone><id value=\"" + std::string(id) + "\"/><min value=\"" +
                                  std::to_string(low) + "\"/><max value=\"" + std::to_string(low + 5) +
                                  "\"/><parameters>" + values + "</parameters></zone></dict>");
            zonesOf->appendChild(*zone.getFirstChild("zone"));
            low += 6;
        }
        return bank;
    }
    // A mono 8-bit WAV file of that many frames of silence whose data takes no room on the disk; its path.
    std::string writeLongWav(const std::string& name, std::uint32_t frames) {
        std::string path = world.files / name;
        std::ofstream(path, std::ios::binary)
            << "RIFF" << littleEndianFields({{36 + frames, 4}}) << "WAVEfmt "
            << littleEndianFields({{16, 4}, {1, 2}, {1, 2}, {44100, 4}, {44100, 4}, {1, 2}, {8, 2}}) << "data"
            << littleEndianFields({{frames, 4}});
        std::filesystem::resize_file(path, 44 + std::uintmax_t{frames});
        return path;
    }
    std::string copiesRefusal(std::uint64_t values, const std::string& held = std::string()) const {
        return "These settings hold " + std::to_string(values) +
               " values of sample data in the copies their zones normalize, reverse or invert" + held +
               " and cannot be loaded: the copies of a bank or patch hold at most 33554432 values, one for "
               "each sample and processing.";
    }
    std::string write(Plugin& plugin, bool withData = false) {
        Dictionary document;
        plugin.writeState(document, withData);
        return document.toDocumentText();
    }
    // A WAV file of the given length below the test folder; its path.
    std::string writeWav(const std::string& name, int frames) {
        return writeRampWav(world.files / name, frames);
    }
    // New, empty shared resources, as in a new process.
    void freshResources() {
        world.resources = std::make_unique<Resources>();
        PluginEnvironment::instance().setResources(world.resources.get());
    }

    InstanceWorld world;
};

TEST_F(DocumentTest, AStateWrittenAndReadRestoresTheBankOnAFreshInstance) {
    auto source = world.makePlugin();
    fill(*source);
    const std::string text = write(*source);
    EXPECT_NE(text.find("Volume"), std::string::npos);
    EXPECT_EQ(text.find("Secret"), std::string::npos); // persistent: kept in the preferences
    EXPECT_EQ(text.find("Hidden"), std::string::npos); // not exported
    EXPECT_EQ(text.find("CurrentProgram"), std::string::npos);

    auto target = world.makePlugin();
    ASSERT_TRUE(target->readState(Dictionary(text)));
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(target->getPreset(i)->getName(), "bank " + std::to_string(i));
        EXPECT_EQ(target->getPreset(i)->getId(), source->getPreset(i)->getId());
    }
    std::set<std::string> ids;
    target->getPreset(3)->getSampleIds(ids);
    EXPECT_EQ(ids, (std::set<std::string>{"S-ONE", "S-TWO"}));
    EXPECT_EQ(zones(*target, 3, 1)->getZoneKeyRange(1).low, 51);
    // Preset 0 is empty, so the first preset with zones is selected, and its values play at once.
    EXPECT_EQ(target->getCurrentPresetIndex(), 3);
    EXPECT_FLOAT_EQ(target->getModule(0)->getSettings()->getFloat("Cutoff"), 5.0f);
    EXPECT_FLOAT_EQ(target->getModule(0)->getSettings()->getFloat("Volume"), 0.25f);
    EXPECT_FLOAT_EQ(target->getModule(0)->getSettings()->getFloat("Hidden"), 0.5f);
    EXPECT_EQ(target->getTuningCount(), 2);
    EXPECT_EQ(target->getCurrentTuningIndex(), 1);
    EXPECT_EQ(target->getTuningName(1), "Stretched");
    EXPECT_EQ(write(*target).substr(text.find("<programs")), text.substr(text.find("<programs")));
}

TEST_F(DocumentTest, TheHeaderNamesCreatorVersionFormatAndAuthor) {
    ::setenv("LOGNAME", "ada", 1);
    auto plugin = world.makePlugin();
    Dictionary document;
    plugin->writeHeader(document);
    std::string creator;
    std::string version;
    document.readInfo(&creator, &version);
    EXPECT_EQ(creator, "Corvale Test");
    EXPECT_EQ(version, "1.2.7");
    EXPECT_EQ(document.stringValue("file-format"), "0.7.0");
    EXPECT_EQ(document.stringValue("author"), "ada");
}

TEST_F(DocumentTest, ADocumentOfAnotherCreatorOrFormatIsRefusedWithNothingChanged) {
    auto source = world.makePlugin();
    fill(*source);
    world.info.name = "Other Product";
    const std::string foreign = write(*source);
    world.info.name = "Corvale Test";
    std::string newer = write(*source);
    newer.replace(newer.find("0.7.0"), 5, "1.0.0");

    auto target = world.makePlugin();
    target->selectPreset(2);
    for (const std::string& text : {foreign, newer}) {
        EXPECT_FALSE(target->readState(Dictionary(text)));
        EXPECT_EQ(target->getPreset(1)->getName(), "init 2");
        EXPECT_EQ(target->getTuningCount(), 1);
        EXPECT_EQ(target->getCurrentPresetIndex(), 2);
        EXPECT_FLOAT_EQ(target->getModule(0)->getSettings()->getFloat("Volume"), 0.5f);
    }
    const auto questions = world.responder.questions();
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(
        questions[0].text.rfind("These settings were created by Other Product and cannot be loaded.", 0), 0u);
    EXPECT_NE(questions[1].text.find("requires 0.7"), std::string::npos);
    EXPECT_EQ(questions[0].box, platform::BoxKind::Error);
}

TEST_F(DocumentTest, ARefusalShowsItsOwnWordsWithoutTheDocumentItQuotes) {
    auto source = world.makePlugin();
    fill(*source);
    const std::string wide(3000, 'W');
    std::string accented;
    for (int i = 0; i < 1000; ++i)
        accented += "\xC3\xA9"; // U+00E9, two bytes
    struct Case {
        std::string creator;
        std::string format;
        std::string shown; // the whole text, or its beginning when it is cut
        bool cut;
    };
    const std::string sentence = "These settings were created by ";
    const Case cases[] = {
        {"Other Product", "0.7.0", sentence + "Other Product and cannot be loaded.", false},
        {wide, "0.7.0", sentence + wide.substr(0, 400 - sentence.size()), true},
        {accented, "0.7.0", sentence + accented.substr(0, 368), true},
        {"Corvale Test", "1.0.0",
         "These settings were created by an older version of Corvale Test and cannot be loaded.\n(Format is "
         "1.0.0, this plugin requires 0.7 or newer.)",
         false}};
    auto target = world.makePlugin();
    for (const Case& c : cases) {
        world.info.name = c.creator;
        std::string text = write(*source);
        world.info.name = "Corvale Test";
        text.replace(text.find("0.7.0"), 5, c.format);
        const std::size_t before = world.responder.questions().size();
        EXPECT_FALSE(target->readState(Dictionary(text)));
        ASSERT_EQ(world.responder.questions().size(), before + 1);
        const std::string shown = world.responder.questions().back().text;
        EXPECT_EQ(shown, c.shown + (c.cut ? "..." : "")) << c.creator.substr(0, 20);
    }
}

TEST_F(DocumentTest, ABankOrPatchPastTheZoneLimitIsRefusedNamingItAndOneAtTheLimitLoads) {
    // Every zone read counts, whichever program and module holds it: the limit's zones over presets 0
    // and 3, then one more in preset 15; the patch is program 0 grown past the limit on its own.
    auto source = world.makePlugin();
    fill(*source);
    Dictionary bank;
    source->writeState(bank, false);
    const Dictionary least(std::string("<dict><zone><id value=\"Z\"/><min value=\"36\"/>"
                                       "<max value=\"96\"/></zone></dict>"));
    const auto addZones = [&](int preset, int module, std::size_t count) {
        const Dictionary::View zones =
            bank.getArrayItem("programs", preset)->getArrayItem("modules", module)->getArray("zones");
        for (std::size_t i = 0; i < count; ++i)
            zones->appendChild(*least.getFirstChild("zone"));
    };
    addZones(0, 0, Plugin::kMaxZones - 2);
    const std::string atLimit = bank.toDocumentText();
    addZones(15, 1, 1);
    const std::string overLimit = bank.toDocumentText();
    addZones(0, 1, 3);
    const Dictionary patch(bank.toDocumentText());

    auto target = world.makePlugin();
    zones(*target, 2, 0)->createZone(KeyRange(36, 96), "S-KEPT");
    target->selectPreset(2);
    EXPECT_FALSE(target->readState(Dictionary(overLimit)));
    EXPECT_FALSE(target->readProgram(patch, 0));
    const auto questions = world.responder.questions();
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(questions[0].text,
              "These settings hold 16385 zones and cannot be loaded: a bank or patch holds at "
              "most 16384 zones.");
    EXPECT_EQ(questions[1].text.rfind("These settings hold 16385 zones", 0), 0u);
    EXPECT_EQ(target->getCurrentPresetIndex(), 2);
    EXPECT_EQ(target->getPreset(2)->getName(), "init 3");
    EXPECT_EQ(zones(*target, 2, 0)->getZoneSampleName(0), "S-KEPT");
    EXPECT_EQ(zones(*target, 0, 0)->getZoneCount(), 0);

    ASSERT_TRUE(target->readState(Dictionary(atLimit)));
    EXPECT_EQ(zones(*target, 0, 0)->getZoneCount() + zones(*target, 3, 1)->getZoneCount(), 16384);
}

TEST_F(DocumentTest, ZonesHoldingMoreValuesThanTheLimitAreRefusedNamingItAndAtTheLimitLoad) {
    // Few zones, but each keeps every entry of its values whatever the names: together one more than the
    // limit allows.
    constexpr int kPerZone = 64;
    std::string values;
    for (int i = 0; i < kPerZone; ++i)
        values += "<Unknown" + std::to_string(i) + " value=\"1\"/>";
    const Dictionary full("<dict><zone><id value=\"Z\"/><min value=\"36\"/><max value=\"96\"/><parameters>" +
                          values + "</parameters></zone></dict>");
    const Dictionary one(
        std::string("<dict><zone><id value=\"Z\"/><min value=\"0\"/><max value=\"1\"/><parameters>"
                    "<More value=\"1\"/></parameters></zone></dict>"));
    auto source = world.makePlugin();
    Dictionary bank;
    source->writeState(bank, false);
    const Dictionary::View zonesOf =
        bank.getArrayItem("programs", 0)->getArrayItem("modules", 0)->getArray("zones");
    for (std::size_t i = 0; i < Plugin::kMaxZoneValues / kPerZone; ++i)
        zonesOf->appendChild(*full.getFirstChild("zone"));
    const std::string atLimit = bank.toDocumentText();
    zonesOf->appendChild(*one.getFirstChild("zone"));

    auto target = world.makePlugin();
    EXPECT_FALSE(target->readState(Dictionary(bank.toDocumentText())));
    ASSERT_EQ(world.responder.questions().size(), 1u);
    EXPECT_EQ(
        world.responder.questions()[0].text,
        "These settings hold 262145 zone values and cannot be loaded: the zones of a bank or patch hold "
        "at most 262144 values.");
    EXPECT_EQ(zones(*target, 0, 0)->getZoneCount(), 0);
    ASSERT_TRUE(target->readState(Dictionary(atLimit)));
    EXPECT_EQ(zones(*target, 0, 0)->getZoneCount(), static_cast<int>(Plugin::kMaxZoneValues / kPerZone));
}

TEST_F(DocumentTest, SampleDataDecodingPastTheBudgetIsRefusedBeforeAnyIsDecodedAndAtTheBudgetLoads) {
    // What every item's data decodes into counts, played or not: its declared frames times channels, or
    // without declared frames what its gzip stream declares. The streams here hold a few values each.
    auto source = world.makePlugin();
    Dictionary bank;
    source->writeState(bank, false);
    const Dictionary::View samples = bank.getDictionary("resources")->getArray("samples");
    const auto addItem = [&](const char* id, int stereoFrames, std::size_t values) {
        Dictionary::View item = samples->addDictionary("sample");
        item->setString("id", id);
        if (stereoFrames > 0) {
            item->setInteger("channels", 2);
            item->setInteger("samples", stereoFrames);
        }
        const std::vector<std::uint8_t> zeros(4 * values, 0);
        item->setData("sampledata", zeros.data(), zeros.size());
        return item;
    };
    addItem("DECLARED", static_cast<int>(Plugin::kMaxSampleDataValues / 2) - 2, 4);
    const Dictionary::View undeclared = addItem("UNDECLARED", 0, 4);
    const std::string atBudget = bank.toDocumentText();
    const std::vector<std::uint8_t> five(20, 0);
    undeclared->setData("sampledata", five.data(), five.size());
    const Dictionary overBudget(bank.toDocumentText());

    auto target = world.makePlugin();
    zones(*target, 2, 0)->createZone(KeyRange(36, 96), "S-KEPT");
    target->selectPreset(2);
    EXPECT_FALSE(target->readState(overBudget));
    EXPECT_FALSE(target->readProgram(overBudget, 0));
    const auto questions = world.responder.questions();
    ASSERT_EQ(questions.size(), 2u);
    for (const auto& question : questions)
        EXPECT_EQ(question.text,
                  "These settings hold 33554433 values of sample data and cannot be loaded: the "
                  "sample data of a bank or patch holds at most 33554432 values.");
    EXPECT_EQ(target->getCurrentPresetIndex(), 2);
    EXPECT_EQ(zones(*target, 2, 0)->getZoneSampleName(0), "S-KEPT");
    EXPECT_TRUE(target->readState(Dictionary(atBudget)));
}

TEST_F(DocumentTest,
       ProcessedCopiesPastTheirBudgetAreRefusedBeforeAnyIsDecodedAndOneASampleAndProcessingLoads) {
    // A zone normalizing, reversing or inverting a sample plays a copy of it: one for each sample and
    // processing, however many zones share it. Two kinds of one long sample are one too many.
    Dictionary bank = bankDeclaring("LONG", static_cast<int>(Plugin::kMaxProcessedValues / 2) + 1);
    const Dictionary::View zonesOf =
        bank.getArrayItem("programs", 0)->getArrayItem("modules", 0)->getArray("zones");
    const auto addZone = [&](int low, const char* processing) {
        const Dictionary zone("<dict><zone><id value=\"LONG\"/><min value=\"" + std::to_string(low) +
                              "\"/><max value=\"" + std::to_string(low + 5) + "\"/><parameters><" +
                              processing + " value=\"true\"/></parameters></zone></dict>");
        zonesOf->appendChild(*zone.getFirstChild("zone"));
    };
    for (int low = 36; low < 90; low += 6)
        addZone(low, "SampleInvertPhase");
    const std::string alike = bank.toDocumentText();
    addZone(90, "SampleReverse");

    auto target = world.makePlugin();
    EXPECT_FALSE(target->readState(Dictionary(bank.toDocumentText())));
    ASSERT_EQ(world.responder.questions().size(), 1u);
    EXPECT_EQ(world.responder.questions()[0].text,
              "These settings hold 33554434 values of sample data in the copies their zones normalize, "
              "reverse or invert and cannot be loaded: the copies of a bank or patch hold at most 33554432 "
              "values, one for each sample and processing.");
    EXPECT_EQ(world.resources->findSample("LONG"), nullptr);
    EXPECT_TRUE(target->readState(Dictionary(alike)));
}

TEST_F(DocumentTest, CopiesOfASampleFileCountAsItsHeaderSaysAndPastTheBudgetAreRefusedBeforeItIsDecoded) {
    // A file's frames are told by its header: seven kinds of one long file are one copy too many.
    constexpr std::uint32_t kFrames = Plugin::kMaxProcessedValues / 7 + 1;
    const Dictionary bank = bankProcessing("LONG", writeLongWav("long.wav", kFrames), {1, 2, 3, 4, 5, 6, 7});
    auto target = world.makePlugin();
    EXPECT_FALSE(target->readState(bank));
    EXPECT_FALSE(target->readProgram(bank, 0));
    const auto questions = world.responder.questions();
    ASSERT_EQ(questions.size(), 2u);
    for (const auto& question : questions)
        EXPECT_EQ(question.text, copiesRefusal(7 * std::uint64_t{kFrames}));
    EXPECT_EQ(world.resources->findSample("LONG"), nullptr);
}

TEST_F(DocumentTest, CopiesHeldAlreadyCountWhateverDocumentBroughtTheirSampleAndThoseALoadLetsGoDoNot) {
    constexpr std::uint32_t kFrames = Plugin::kMaxProcessedValues / 2 + 1;
    const Dictionary normalizing =
        bankProcessing("LONG", writeLongWav("long.wav", kFrames), {Sample::kNormalized});
    auto first = world.makePlugin();
    ASSERT_TRUE(first->readState(normalizing));
    // Read again, the bank takes the place of the one whose copy it needs.
    ASSERT_TRUE(first->readState(normalizing));
    // Another instance's bank reversing the same sample, which it does not carry, needs a second copy.
    auto second = world.makePlugin();
    EXPECT_FALSE(second->readState(bankProcessing("LONG", "", {Sample::kReversed})));
    ASSERT_EQ(world.responder.questions().size(), 1u);
    EXPECT_EQ(world.responder.questions()[0].text,
              copiesRefusal(2 * std::uint64_t{kFrames},
                            " (" + std::to_string(kFrames) + " of them in copies already held)"));
}

TEST_F(DocumentTest, ASampleFileCountsAsTheReaderThatTakesItsContentHoldsItWhateverItsName) {
    // A FLAC file named as a loop file is read by the sound-file reader all the same: no loop without the
    // REX reader taking it.
    constexpr std::uint32_t kFrames = Plugin::kMaxProcessedValues / 2 + 1;
    auto target = world.makePlugin();
    for (const char* name : {"long.flac", "long.rex"}) {
        const std::string path = world.files / name;
        ASSERT_TRUE(writeFlacDeclaring(path, kFrames));
        EXPECT_FALSE(
            target->readState(bankProcessing("LONG", path, {Sample::kNormalized, Sample::kReversed})));
        EXPECT_EQ(world.responder.questions().back().text, copiesRefusal(2 * std::uint64_t{kFrames})) << name;
        EXPECT_EQ(world.resources->findSample("LONG"), nullptr) << name;
    }
}

TEST_F(DocumentTest, AnItemFallingBackToItsFileIsCountedAsWhatItReadsAndPastTheBudgetRefusedLeavingAll) {
    // The item declares one frame, but its data holds more and is not read: the file it names is.
    constexpr std::uint32_t kFrames = Plugin::kMaxProcessedValues / 2 + 1;
    const Dictionary bank =
        bankProcessing("LONG", writeLongWav("long.wav", kFrames), {Sample::kNormalized, Sample::kReversed});
    declareFrames(bank.getDictionary("resources")->getArrayItem("samples", 0), 1);
    auto plugin = world.makePlugin();
    zones(*plugin, 2, 0)->createZone(KeyRange(36, 96), "S-KEPT");
    plugin->selectPreset(2);
    EXPECT_FALSE(plugin->readState(bank));
    EXPECT_FALSE(plugin->readProgram(bank, 0));
    const auto questions = world.responder.questions();
    ASSERT_EQ(questions.size(), 2u);
    for (const auto& question : questions)
        EXPECT_EQ(question.text, copiesRefusal(2 * std::uint64_t{kFrames}));
    EXPECT_EQ(world.resources->findSample("LONG"), nullptr);
    EXPECT_TRUE(Zone::sharedCopies().empty());
    EXPECT_EQ(plugin->getCurrentPresetIndex(), 2);
    EXPECT_EQ(zones(*plugin, 2, 0)->getZoneSampleName(0), "S-KEPT");
}

TEST_F(DocumentTest, ACopyThatDoesNotFitInMemoryRefusesTheLoadAndLeavesTheInstanceAsItWas) {
    const std::string path = writeWav("short.wav", 2000);
    auto plugin = world.makePlugin();
    ASSERT_TRUE(plugin->readState(bankProcessing("SHORT", path, {0})));
    {
        const SampleBuffer::ShortMemory noRoom(2000);
        EXPECT_FALSE(plugin->readState(bankProcessing("SHORT", "", {Sample::kNormalized})));
    }
    ASSERT_EQ(world.responder.questions().size(), 1u);
    EXPECT_EQ(world.responder.questions()[0].text,
              "These settings cannot be loaded: the copy of the sample " + path +
                  " that its zones play normalized, reversed or inverted (2000 values) does not fit in "
                  "memory.");
    const SharedObjectPtr<Zone> zone(zones(*plugin, 0, 0)->getZone(0));
    ASSERT_TRUE(zone);
    EXPECT_FALSE(zone->holdsPrivateCopy());
    EXPECT_EQ(zone->getSample(), world.resources->findSample("SHORT"));
    EXPECT_TRUE(Zone::sharedCopies().empty());
}

TEST_F(DocumentTest, AnEmptyCurrentPresetGivesWayToTheFirstNonEmptyOne) {
    auto source = world.makePlugin();
    zones(*source, 5, 0)->createZone(KeyRange(36, 40), "S-FIVE");
    zones(*source, 9, 0)->createZone(KeyRange(36, 40), "S-NINE");
    auto target = world.makePlugin();
    target->readState(Dictionary(write(*source)));
    EXPECT_EQ(target->getCurrentPresetIndex(), 5);
    EXPECT_EQ(target->selectFirstNonEmptyPreset(), 5);

    // Only empty presets: the current one stays.
    auto empty = world.makePlugin();
    auto another = world.makePlugin();
    another->selectPreset(2);
    another->readState(Dictionary(write(*empty)));
    EXPECT_EQ(another->getCurrentPresetIndex(), 2);
    EXPECT_TRUE(zones(*another, 2, 0)->isActive());
}

TEST_F(DocumentTest, TuningsAreNotDuplicatedAndABadCurrentIndexIsNeverStored) {
    auto source = world.makePlugin();
    Tuning stretched;
    stretched.setEqualTemperament();
    stretched.setDescription("Stretched");
    source->addTuning(stretched);
    Dictionary document;
    source->writeTunings(document);

    auto target = world.makePlugin();
    MessageRecorder recorder;
    target->addListener(&recorder);
    for (int current : {0, 1, 7, -3}) {
        document.getArray("tunings")->setInteger("current", current);
        target->readTunings(document);
        EXPECT_EQ(target->getTuningCount(), 2) << current; // the default's description is not added again
        const int expected = current == 0 ? 0 : 1;         // out of range: the tuning read last
        EXPECT_EQ(target->getCurrentTuningIndex(), expected) << current;
        EXPECT_EQ(target->getCurrentTuningName(), expected == 0 ? "Equal Temperament" : "Stretched");
    }
    EXPECT_EQ(recorder.count(kKindMidi, Code::kProgramChanged), 4);
    target->removeListener(&recorder);

    // A document without tunings keeps only the first.
    target->readTunings(Dictionary(std::string("<?xml version=\"1.0\"?><dict/>")));
    EXPECT_EQ(target->getTuningCount(), 1);
    EXPECT_EQ(target->getCurrentTuningIndex(), 0);
}

TEST_F(DocumentTest, AProgramIsReadByIndexIntoTheCurrentPreset) {
    auto source = world.makePlugin();
    fill(*source);
    const Dictionary document(write(*source));
    auto target = world.makePlugin();
    MessageRecorder recorder;
    target->addListener(&recorder);
    target->readProgram(document, 3);
    EXPECT_EQ(target->getCurrentPresetIndex(), 0);
    EXPECT_EQ(target->getPreset(0)->getName(), "bank 3");
    EXPECT_EQ(target->getZoneManager(1)->getZoneCount(), 2);
    EXPECT_TRUE(target->getZoneManager(1)->isActive());
    EXPECT_FLOAT_EQ(target->getModule(0)->getSettings()->getFloat("Cutoff"), 5.0f);
    EXPECT_EQ(target->getPreset(3)->getName(), "init 4");
    for (int index : {99, -1})
        target->readProgram(document, index);
    EXPECT_EQ(target->getPreset(0)->getName(), "bank 3");
    EXPECT_EQ(recorder.count(kKindPlugin, Plugin::kPresetChanged), 3);
    target->removeListener(&recorder);
}

TEST_F(DocumentTest, APatchHoldsTheCurrentProgramAndItsSamplesWithoutAudio) {
    auto plugin = world.makePlugin();
    const std::string id = world.resources->addSampleFile("", File(writeWav("Samples/a.wav", 600)));
    zones(*plugin, 0, 0)->createZone(KeyRange(36, 96), id);
    world.resources->addSampleFile("", File(writeWav("Samples/unused.wav", 300)));
    plugin->getPreset(0)->setName("patch");
    Dictionary patch;
    plugin->writeProgram(patch);
    EXPECT_EQ(patch.getArraySize("programs"), 1);
    EXPECT_EQ(patch.getArrayItem("programs", 0)->stringValue("name"), "patch");
    const Dictionary::View samples = patch.getDictionary("resources/samples");
    ASSERT_TRUE(samples);
    EXPECT_EQ(samples->count("sample"), 1);
    EXPECT_EQ(samples->getChild(0, "sample")->stringValue("id"), id);
    EXPECT_EQ(patch.toDocumentText().find("sampledata"), std::string::npos);

    Dictionary bank;
    plugin->writeState(bank, true);
    EXPECT_NE(bank.toDocumentText().find("sampledata"), std::string::npos);
}

TEST_F(DocumentTest, ABankWithAudioRestoresItsSamplesWhereTheFilesAreGone) {
    auto source = world.makePlugin();
    const std::string path = writeWav("Samples/gone.wav", 500);
    const std::string id = world.resources->addSampleFile("", File(path));
    zones(*source, 0, 0)->createZone(KeyRange(36, 96), id);
    const std::string withAudio = write(*source, true);
    const std::string withoutAudio = write(*source, false);
    source.reset();
    std::filesystem::remove(path);

    freshResources();
    auto target = world.makePlugin();
    target->readState(Dictionary(withoutAudio));
    EXPECT_EQ(world.resources->findSample(id), nullptr);
    target->readState(Dictionary(withAudio));
    ASSERT_NE(world.resources->findSample(id), nullptr);
    EXPECT_EQ(world.resources->findSample(id)->getInfo().frames, 500);
}

// The gzip stream's text with one character of its CRC changed: the stream then fails its check.
std::string withWrongCrc(std::string text) {
    const std::size_t bytes =
        text.size() / 4 * 3 - static_cast<std::size_t>(std::count(text.begin(), text.end(), '='));
    // The first character whose six bits lie wholly within the CRC, the trailer's first four bytes.
    const std::size_t at = (8 * (bytes - 8) + 5) / 6;
    text[at] = text[at] == 'A' ? 'B' : 'A';
    return text;
}

// A bank whose sample item's audio cannot be read (it declares fewer frames than its data holds, or its
// stream fails its check) loads without it, says which item and why, and a save keeps the item as it came.
TEST_F(DocumentTest, ASampleItemWhoseAudioCannotBeReadIsToldWithTheReasonAndSavedAsItCame) {
    std::string id;
    const std::string bank = bankWithSample(&id);
    const auto damage = [&bank](bool fewerFrames) {
        Dictionary damaged(bank);
        const Dictionary::View item = damaged.getDictionary("resources/samples")->getFirstChild("sample");
        std::string data;
        item->getString("sampledata", &data);
        if (fewerFrames)
            item->setInteger("samples", 400);
        else
            item->setString("sampledata", withWrongCrc(data));
        return damaged;
    };
    const auto itemText = [](const Dictionary& document) {
        std::string text;
        document.getDictionary("resources/samples")->getFirstChild("sample")->toText(text);
        return text;
    };
    for (bool fewerFrames : {true, false}) {
        freshResources();
        auto target = world.makePlugin();
        const Dictionary damaged = damage(fewerFrames);
        ASSERT_TRUE(target->readState(damaged)) << fewerFrames;
        const auto shown = world.responder.questions();
        ASSERT_FALSE(shown.empty()) << fewerFrames;
        EXPECT_EQ(shown.back().text, "The sample " + id + " could not be read: " +
                                         (fewerFrames ? "its data holds more than the 400 frames it declares"
                                                      : "its data fails its gzip stream's check") +
                                         ". Its zones stay silent, and a save keeps its item as it came.");
        // A chunk, which carries no audio otherwise, keeps this item's.
        EXPECT_EQ(itemText(Dictionary(write(*target))), itemText(damaged)) << fewerFrames;
    }
}

TEST_F(DocumentTest, ABankWhoseSampleTextIsNotBase64LeavesStandardOutputAloneAndTheLoadSaysSo) {
    std::string id;
    Dictionary bank(bankWithSample(&id));
    const Dictionary::View item = bank.getDictionary("resources/samples")->getFirstChild("sample");
    std::string data;
    item->getString("sampledata", &data);
    data[data.size() / 2] = '!';
    item->setString("sampledata", data);
    freshResources();
    auto target = world.makePlugin();
    testing::internal::CaptureStdout();
    const bool read = target->readState(bank);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    ASSERT_TRUE(read);
    ASSERT_FALSE(world.responder.questions().empty());
    EXPECT_EQ(
        world.responder.questions().back().text,
        "The sample " + id +
            " could not be read: its data is not Base64. Its zones stay silent, and a save keeps its item "
            "as it came.");
}

TEST_F(DocumentTest, ASampleIsLoadedFromASavedDocumentById) {
    auto source = world.makePlugin();
    const std::string id = world.resources->addSampleFile("", File(writeWav("Samples/b.wav", 300)));
    zones(*source, 0, 0)->createZone(KeyRange(36, 96), id);
    Dictionary bank;
    source->writeState(bank, true);
    const std::string file = world.files / "bank.xml";
    ASSERT_TRUE(bank.save(File(file)));
    source.reset();

    freshResources();
    auto target = world.makePlugin();
    EXPECT_FALSE(target->loadSampleFromFile(File(file), "NO-SUCH-ID"));
    EXPECT_FALSE(target->loadSampleFromFile(File(world.files / "missing.xml"), id));
    EXPECT_EQ(world.resources->findSample(id), nullptr);
    EXPECT_TRUE(target->loadSampleFromFile(File(file), id));
    EXPECT_NE(world.resources->findSample(id), nullptr);
}

TEST_F(DocumentTest, ASampleItemPastTheBudgetIsNotLoadedFromASavedDocumentAndTheUserIsToldWhy) {
    // The sample browser loads one item of a bank file: its data is held to a document's budget too.
    const Dictionary bank = bankDeclaring("HUGE", static_cast<int>(Plugin::kMaxSampleDataValues) + 1);
    const std::string file = world.files / "huge.kmd";
    ASSERT_TRUE(bank.save(File(file)));

    auto target = world.makePlugin();
    EXPECT_FALSE(target->loadSampleFromFile(File(file), "HUGE"));
    EXPECT_EQ(world.resources->findSample("HUGE"), nullptr);
    ASSERT_EQ(world.responder.questions().size(), 1u);
    EXPECT_EQ(world.responder.questions()[0].text,
              "These settings hold 33554433 values of sample data and cannot be loaded: the sample data of a "
              "bank or patch holds at most 33554432 values.");
}

TEST_F(DocumentTest, ImportingAFileReadsTheBankAndTheSamplesBesideItWithoutMovingTheCurrentFolder) {
    const CurrentFolderKeeper keeper;
    // The bank names its sample relative to its own folder; the current folder has a file of that name too.
    const std::string beside = writeWav("banks/samples/tone.wav", 700);
    writeWav("elsewhere/samples/tone.wav", 300);
    auto source = world.makePlugin();
    fill(*source);
    const std::string id = world.resources->addSampleFile("", File(beside));
    zones(*source, 0, 0)->createZone(KeyRange(36, 96), id);
    const std::string file =
        world.files.write("banks/import.xml", withRelativePath(write(*source), beside, "samples/tone.wav"));
    world.files.write("banks/broken.xml", "<dict><unclosed");
    source.reset();
    freshResources();

    std::filesystem::current_path(world.files / "elsewhere");
    auto target = world.makePlugin();
    EXPECT_FALSE(target->importFile(File(world.files / "banks/none.xml")));
    EXPECT_FALSE(target->importFile(File(world.files / "banks/broken.xml")));
    EXPECT_EQ(target->getPreset(1)->getName(), "init 2");
    EXPECT_TRUE(target->importFile(File(file)));
    EXPECT_EQ(target->getPreset(1)->getName(), "bank 1");
    EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::current_path(), world.files / "elsewhere"));
    const Sample* sample = world.resources->findSample(id);
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(sample->getInfo().frames, 700);
}

TEST_F(DocumentTest, BrokenOrForeignParameterItemsCostOnlyThemselves) {
    auto plugin = world.makePlugin();
    const std::string text =
        "<?xml version=\"1.0\"?><dict><info creator=\"Corvale Test\" version=\"1.2.7\"/>"
        "<file-format value=\"0.7.0\"/><parameters>"
        "<Volume value=\"0.125\" scope=\"nonsense\"/><Cutoff value=\"3\"/>"
        "<Hidden value=\"0.25\"/><Nothing value=\"1\"/><Volume index=\"-4\" value=\"0.3\"/>"
        "</parameters></dict>";
    EXPECT_TRUE(plugin->readState(Dictionary(text)));
    const Settings* settings = plugin->getModule(0)->getSettings();
    EXPECT_FLOAT_EQ(settings->getFloat("Volume"), 0.5f);
    EXPECT_FLOAT_EQ(settings->getFloat("Cutoff"), 0.0f);
    EXPECT_FLOAT_EQ(settings->getFloat("Hidden"), 0.5f);
    // Presets missing from the document get fresh, empty programs.
    EXPECT_TRUE(plugin->getPreset(0)->isEmpty());
    EXPECT_EQ(plugin->getPreset(15)->getProgramCount(), 2);
}

TEST_F(DocumentTest, AfterReadingTheEditorKeepsItsModuleAndIsRedrawn) {
    auto source = world.makePlugin();
    fill(*source);
    auto target = world.makePlugin();
    FakeEditor editor;
    editor.edited = target->getModule(1);
    world.host.setEditor(&editor);
    MessageRecorder recorder;
    target->addListener(&recorder);
    EXPECT_TRUE(target->readState(Dictionary(write(*source))));
    ASSERT_FALSE(editor.shown.empty());
    EXPECT_EQ(editor.shown.back(), 1);
    EXPECT_GE(editor.redraws, 1);
    EXPECT_EQ(recorder.count(kKindPlugin, Plugin::kPresetChanged), 1);
    target->removeListener(&recorder);
    world.host.setEditor(nullptr);
}

// Banks whose 30 sample files are all gone, read in turn: the resources keep the items of the samples the
// programs of some instance name (a bank's first), not of every bank read, and each load logs a bounded
// number of lines about them.
TEST_F(DocumentTest, BanksOfMissingSamplesReadInTurnKeepOnlyTheItemsProgramsNameAndLogBoundedly) {
    const LogCapture log(3);
    const auto bank = [this](int n) {
        auto source = world.makePlugin();
        const std::string prefix = "B" + std::to_string(n) + "-";
        zones(*source, 0, 0)->createZone(KeyRange(36, 96), prefix + "0");
        Dictionary document(write(*source));
        const Dictionary::View samples = document.getDictionary("resources/samples");
        for (int i = 0; i < 30; ++i) {
            const Dictionary::View item = samples->addDictionary("sample");
            item->setString("id", prefix + std::to_string(i));
            item->setString("filename", "/nowhere/" + prefix + std::to_string(i) + ".wav");
        }
        return document;
    };
    auto other = world.makePlugin();
    ASSERT_TRUE(other->readState(bank(0)));
    auto plugin = world.makePlugin();
    for (int n = 1; n <= 3; ++n) {
        ASSERT_TRUE(plugin->readState(bank(n)));
        EXPECT_EQ(world.resources->countKeptItems(), 2u) << n;
        EXPECT_NE(write(*plugin).find("/nowhere/B" + std::to_string(n) + "-0.wav"), std::string::npos);
    }
    EXPECT_NE(write(*other).find("/nowhere/B0-0.wav"), std::string::npos);
    other.reset();
    EXPECT_EQ(world.resources->countKeptItems(), 1u);
    EXPECT_EQ(log.count("10 more samples of the document not found"), 4);
    EXPECT_EQ(log.count(".wav) not found, skipped"), 4 * 20);
    EXPECT_EQ(log.count("Unable to locate"), 0);
}

// Two instances whose banks name one sample id by different files: each saves what its own bank named,
// whether the other's file is missing or found.
TEST_F(DocumentTest, WhatAnInstanceSavesOfAMissingSampleIsWhatItsOwnBankNamed) {
    const auto bankNaming = [this](const std::string& filename) {
        auto source = world.makePlugin();
        zones(*source, 0, 0)->createZone(KeyRange(36, 96), "SHARED");
        Dictionary document(write(*source));
        const Dictionary::View item = document.getDictionary("resources/samples")->addDictionary("sample");
        item->setString("id", "SHARED");
        item->setString("filename", filename);
        return document;
    };
    auto first = world.makePlugin();
    ASSERT_TRUE(first->readState(bankNaming(world.files / "gone/x.wav")));
    auto second = world.makePlugin();
    for (bool found : {false, true}) {
        if (found)
            writeWav("gone2/other.wav", 300);
        ASSERT_TRUE(second->readState(bankNaming(world.files / "gone2/other.wav")));
        EXPECT_EQ(world.resources->findSample("SHARED") != nullptr, found);
        const std::string chunk = write(*first);
        EXPECT_NE(chunk.find("gone/x.wav"), std::string::npos) << found;
        EXPECT_EQ(chunk.find("other.wav"), std::string::npos) << found;
    }
}

class MissingSampleTest : public DocumentTest {
protected:
    MissingSampleTest() { world.host.setEditor(&editor); }
    ~MissingSampleTest() override { world.host.setEditor(nullptr); }

    // Whether the resources' search finds a moved file named like one in "Found".
    bool searchFindsMovedFile() {
        File moved("/nowhere/at/all/found.wav");
        return world.resources->locateSampleFile(moved);
    }

    FakeEditor editor;
    std::unique_ptr<Plugin> plugin = world.makePlugin();
};

TEST_F(MissingSampleTest, WithoutAnEditorNobodyIsAsked) {
    world.host.setEditor(nullptr);
    File file("/lost/a.wav");
    EXPECT_FALSE(plugin->askForSample(file));
    EXPECT_TRUE(world.responder.questions().empty());
}

TEST_F(MissingSampleTest, NoOrCancelSkipsTheSampleAndLeavesTheFile) {
    for (BoxAnswer answer : {BoxAnswer::No, BoxAnswer::Cancel, BoxAnswer::Closed}) {
        world.responder.queueBox(answer);
        File file("/lost/a.wav");
        EXPECT_FALSE(plugin->askForSample(file));
        EXPECT_EQ(file.getPath(), "/lost/a.wav");
    }
    const auto questions = world.responder.questions();
    ASSERT_EQ(questions.size(), 3u);
    EXPECT_EQ(questions[0].text,
              "The sample 'a.wav' could not be found!\r\nDo you want to locate it yourself?\r\n"
              "Choose Cancel to skip the sample.");
    EXPECT_EQ(questions[0].box, platform::BoxKind::YesNoCancel);
    EXPECT_EQ(questions[0].owner, FakeEditor::kWindow);
}

TEST_F(MissingSampleTest, ACancelledOpenDialogSkipsTheSampleWithoutTheFolderQuestion) {
    world.responder.queueBox(BoxAnswer::Yes);
    world.responder.queueFile(platform::FileDialogAnswer{false, "", 0});
    File file("/lost/a.wav");
    EXPECT_FALSE(plugin->askForSample(file));
    EXPECT_EQ(file.getPath(), "/lost/a.wav");
    const auto questions = world.responder.questions();
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(questions[1].kind, "file");
    EXPECT_EQ(questions[1].file.title, "Missing sample");
    ASSERT_EQ(questions[1].file.filters.size(), 1u);
    EXPECT_EQ(questions[1].file.filters[0].first, "Locate sample 'a.wav'. (*.wav)");
    EXPECT_EQ(questions[1].file.initialPath, "/lost/a.wav");
    EXPECT_EQ(questions[1].file.owner, FakeEditor::kWindow);
}

TEST_F(MissingSampleTest, ALocatedFileIsTakenAndItsFolderSearchedWhenTheUserAgrees) {
    const std::string found = writeWav("Found/found.wav", 100);
    for (BoxAnswer folderAnswer : {BoxAnswer::Cancel, BoxAnswer::Ok}) {
        world.responder.queueBox(BoxAnswer::Yes);
        world.responder.queueFile(platform::FileDialogAnswer{true, found, 0});
        world.responder.queueBox(folderAnswer);
        File file("/lost/found.wav");
        EXPECT_TRUE(plugin->askForSample(file));
        EXPECT_EQ(file.getPath(), found);
        EXPECT_EQ(searchFindsMovedFile(), folderAnswer == BoxAnswer::Ok);
    }
    const auto questions = world.responder.questions();
    ASSERT_EQ(questions.size(), 6u);
    EXPECT_EQ(questions[2].text, "Include this folder in future searches?");
    EXPECT_EQ(questions[2].box, platform::BoxKind::OkCancel);
}

TEST_F(MissingSampleTest, TheActiveInstanceAnswersTheResourcesQuestion) {
    plugin->activate();
    world.responder.queueBox(BoxAnswer::No);
    File moved("/nowhere/else.wav");
    EXPECT_FALSE(world.resources->locateSampleFile(moved));
    EXPECT_EQ(world.responder.questions().size(), 1u);
    plugin->deactivate();
    EXPECT_FALSE(world.resources->locateSampleFile(moved));
    EXPECT_EQ(world.responder.questions().size(), 1u);
}

} // namespace
