#include "engine/Analogics.h"
#include "framework/Dictionary.h"
#include "framework/File.h"
#include "instrument/InstrumentKeys.h"
#include "support/CorvaleTestSupport.h"
#include "support/DocumentFolderTestSupport.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

namespace trov::test {
namespace {

using namespace std::string_literals;

class CorvaleDocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        plugin = world.makeCorvale();
        settings = plugin->getModule(0)->getSettings();
    }
    void TearDown() override { plugin.reset(); }

    // The current patch as the instrument writes it, with its format and creator replaced when asked.
    std::string patchFile(const std::string& name, const std::string& format,
                          const std::string& creator = "") {
        Dictionary document;
        plugin->writeProgram(document);
        if (!format.empty())
            document.setString("file-format", format);
        std::string text;
        document.toText(text);
        // Without a format at all: the entry's element goes, whichever layout wrote it.
        if (format.empty())
            text = std::regex_replace(text, std::regex("<[^<>]*file-format[^<>]*/>"), "");
        if (!creator.empty())
            text = std::regex_replace(text, std::regex("creator=\"[^\"]*\""), "creator=\"" + creator + "\"");
        return world.files.write(name, text);
    }
    // The user chooses path and the dialog's entry in the save or load dialog that command opens.
    void chooseInDialog(const char* command, const std::string& path, int entry) {
        platform::FileDialogAnswer answer;
        answer.accepted = true;
        answer.path = path;
        answer.filterIndex = entry;
        world.responder.queueFile(answer);
        settings->setBool(command, true, Sender::kEditor);
    }
    // The current state as a bank file with the value of the first element opened by `element` replaced.
    std::string bankWith(const std::string& name, const std::string& element, const std::string& value) {
        Dictionary bank;
        plugin->writeState(bank, false);
        std::string text;
        bank.toText(text);
        std::smatch found;
        if (!std::regex_search(text, found, std::regex("(<" + element + " [^>]*value=\")[^\"]*\""))) {
            ADD_FAILURE() << element << " not in " << text;
            return std::string();
        }
        return world.files.write(name,
                                 found.prefix().str() + found[1].str() + value + "\"" + found.suffix().str());
    }
    void setEnvelope(float attack, float velocity) {
        settings->setNormalizedValue(keys::kVCAAttack, attack, Sender::kSettings);
        settings->setFloat(keys::kVelocityVCAAttack, velocity, Sender::kSettings);
    }

    CorvaleWorld world;
    std::unique_ptr<Corvale> plugin;
    Settings* settings = nullptr;
};

TEST_F(CorvaleDocumentTest, PatchesOlderThanFormat07MoveTheVelocityShareOfEachEnvelopeStage) {
    struct Case {
        const char* format;
        bool converted;
    };
    for (const Case& c : {Case{"0.6", true}, Case{"", true}, Case{"0.7.0", false}}) {
        setEnvelope(0.5f, 0.1f);
        Dictionary document;
        if (*c.format != '\0')
            document.setString("file-format", c.format);
        plugin->convertOldFormat(document);
        EXPECT_NEAR(settings->getNormalizedValue(keys::kVCAAttack), c.converted ? 0.4f : 0.5f, 1e-6f)
            << c.format;
        EXPECT_NEAR(settings->getFloat(keys::kVelocityVCAAttack), c.converted ? 0.2f : 0.1f, 1e-6f)
            << c.format;
    }
    EXPECT_TRUE(world.responder.questions().empty());
}

TEST_F(CorvaleDocumentTest, APatchOfAnotherProductIsRefusedAndChangesNothing) {
    setEnvelope(0.3f, 0.0f);
    const std::string path = patchFile("foreign.kpr", "0.6", "Other Sampler");
    setEnvelope(0.8f, 0.1f);
    EXPECT_FALSE(plugin->loadFile(File(path)));
    EXPECT_NEAR(settings->getNormalizedValue(keys::kVCAAttack), 0.8f, 1e-6f);
    EXPECT_NEAR(settings->getFloat(keys::kVelocityVCAAttack), 0.1f, 1e-6f);
    ASSERT_EQ(world.responder.questions().size(), 1u);
    EXPECT_NE(world.responder.questions()[0].text.find("Other Sampler"), std::string::npos);
}

TEST_F(CorvaleDocumentTest, BanksCarryTheAnalogModelAndComeBackThroughADrop) {
    plugin->getComponentTolerance("VCF Cutoff", 1, 2);
    Dictionary bank;
    plugin->writeState(bank, true);
    ASSERT_TRUE(bank.getArray("programs"));
    EXPECT_GE(bank.getArray("programs")->count("program"), 2);
    std::string text;
    bank.toText(text);
    EXPECT_NE(text.find("analogs"), std::string::npos);
    const std::string path = world.files / "bank.kmd";
    ASSERT_TRUE(bank.save(File(path)));
    EXPECT_TRUE(plugin->acceptsFile(File(path)));
    EXPECT_TRUE(plugin->loadFile(File(path)));
    EXPECT_TRUE(world.responder.questions().empty());
}

// A dropped file is tried as a sample file and as a tuning before it is read as a document: the log tells
// of the reader whose load failed, not of each one tried on the way.
TEST_F(CorvaleDocumentTest, ADroppedBankLogsNoFailureOfTheReadersTriedBeforeIt) {
    Dictionary bank;
    plugin->writeState(bank, true);
    const std::string path = world.files / "bank.kmd";
    ASSERT_TRUE(bank.save(File(path)));
    const LogCapture log;
    EXPECT_TRUE(plugin->loadFile(File(path)));
    EXPECT_EQ(log.count("unsupported or damaged sample file"), 0) << log.text();
    EXPECT_EQ(log.count("is not a valid scale"), 0) << log.text();
    EXPECT_FALSE(plugin->loadFile(File(world.files.write("broken.scl", "! broken.scl\nBroken\n3\n3/2\n"))));
    EXPECT_EQ(log.count("broken.scl is not a valid scale"), 1) << log.text();
}

TEST_F(CorvaleDocumentTest, ABankValueThatIsNoNumberIsRefusedAndTheValueItHadKept) {
    settings->setFloat(keys::kMasterVolume, 0.6f, Sender::kSettings);
    const std::string path = bankWith("loud.kmd", keys::kMasterVolume, "loud");
    settings->setFloat(keys::kMasterVolume, 0.4f, Sender::kSettings);
    EXPECT_TRUE(plugin->loadFile(File(path)));
    EXPECT_FLOAT_EQ(settings->getFloat(keys::kMasterVolume), 0.4f) << "read as 0, it silences everything";
}

TEST_F(CorvaleDocumentTest, ABankValueThatIsNotWhollyAFiniteNumberIsRefusedAndTheValueItHadKept) {
    const std::string choice = std::string(keys::kOutputConfiguration) + "><value";
    for (const auto& [element, text] : {std::pair<std::string, const char*>{keys::kMasterVolume, "5abc"},
                                        {keys::kMasterVolume, "inf"},
                                        {keys::kMasterVolume, "1e400"},
                                        {keys::kMasterVolume, "-inf"},
                                        {keys::kMasterVolume, "1e39"}, // beyond a float
                                        {keys::kMasterVolume, "0x10"}, // hexadecimal: 16, full volume
                                        {keys::kPitchBendRange, "7abc"},
                                        {choice, "2abc"}}) {
        settings->setFloat(keys::kMasterVolume, 0.4f, Sender::kSettings);
        settings->setLong(keys::kPitchBendRange, 9, Sender::kSettings);
        settings->setLong(keys::kOutputConfiguration, 1, Sender::kSettings);
        EXPECT_TRUE(plugin->loadFile(File(bankWith(std::string(text) + ".kmd", element, text)))) << text;
        EXPECT_FLOAT_EQ(settings->getFloat(keys::kMasterVolume), 0.4f) << text;
        EXPECT_EQ(settings->getLong(keys::kPitchBendRange), 9) << text;
        EXPECT_EQ(settings->getLong(keys::kOutputConfiguration), 1) << text;
    }
    // Blanks around a number still read.
    EXPECT_TRUE(plugin->loadFile(File(bankWith("blanks.kmd", keys::kMasterVolume, "  0.25 "))));
    EXPECT_FLOAT_EQ(settings->getFloat(keys::kMasterVolume), 0.25f);
}

TEST_F(CorvaleDocumentTest, ABankWhoseValuesWereRefusedSaysHowManyAndNamesTheFirstWithTheirText) {
    const std::size_t asked = world.responder.questions().size();
    EXPECT_TRUE(plugin->loadFile(File(bankWith("comma.kmd", keys::kMasterVolume, "0,3"))));
    ASSERT_EQ(world.responder.questions().size(), asked + 1);
    const std::string said = world.responder.questions().back().text;
    EXPECT_NE(said.find("1 value "), std::string::npos) << said;
    EXPECT_NE(said.find(std::string(keys::kMasterVolume) + " \"0,3\""), std::string::npos) << said;
}

TEST_F(CorvaleDocumentTest, ABankWithMoreSampleDataThanABankMayLoadIsNotSaved) {
    // An 8-bit mono WAV file one frame past the budget, its frames left to the file system as zeros.
    const std::uint32_t frames = static_cast<std::uint32_t>(Plugin::kMaxSampleDataValues) + 1;
    std::string header =
        "RIFF....WAVEfmt \x10\0\0\0\x01\0\x01\0\x44\xac\0\0\x44\xac\0\0\x01\0\x08\0data...."s;
    const auto put = [&header](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            header[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
    };
    put(4, 36 + frames);
    put(40, frames);
    const std::string wav = world.files.write("long.wav", header);
    std::filesystem::resize_file(wav, header.size() + frames);
    plugin->getZoneManager(0)->createZone(KeyRange(36, 96), world.resources->addSampleFile("", File(wav)));
    chooseInDialog(keys::kSave, world.files / "long.kmd", 0);
    EXPECT_FALSE(File(world.files / "long.kmd").exists());
    ASSERT_FALSE(world.responder.questions().empty());
    EXPECT_NE(world.responder.questions().back().text.find(std::to_string(frames) + " values of sample data"),
              std::string::npos)
        << world.responder.questions().back().text;
}

TEST_F(CorvaleDocumentTest, AFileThatIsNoSampleTuningOrDocumentLoadsNothing) {
    EXPECT_FALSE(plugin->loadFile(File(world.files.write("noise.kpr", "not a document at all"))));
    EXPECT_FALSE(plugin->loadFile(File(world.files.write("empty.kmd", "<?xml version=\"1.0\"?><dict/>"))));
    EXPECT_FALSE(plugin->loadFile(File(world.files / "missing.kmd")));
}

TEST_F(CorvaleDocumentTest, AScalaFileBecomesTheCurrentTuning) {
    const std::string path = world.files.write("fifths.scl", "! fifths.scl\nFifths\n 2\n!\n 701.955\n 2/1\n");
    EXPECT_TRUE(plugin->loadFile(File(path)));
    EXPECT_EQ(plugin->getTuningCount(), 2);
    EXPECT_EQ(plugin->getCurrentTuningName(), "Fifths");
}

TEST_F(CorvaleDocumentTest, CalibrationEntriesOfBothDialogsReadAndWriteNothing) {
    world.host.setEditor(nullptr);
    chooseInDialog(keys::kSave, world.files / "setup.kch", 2);
    chooseInDialog(keys::kLoad, world.files / "setup.kch", 2);
    const auto questions = world.responder.questions();
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(questions[0].file.initialPath.find("default") != std::string::npos, true);
    EXPECT_FALSE(File(world.files / "setup.kch").exists());
    EXPECT_FALSE(settings->getBool(keys::kSave));
    EXPECT_FALSE(settings->getBool(keys::kLoad));
}

TEST_F(CorvaleDocumentTest, BanksAndPatchesTakeTheSamplesBesideThemAndLeaveTheCurrentFolder) {
    const CurrentFolderKeeper keeper;
    // The documents name their sample relative to their own folder; the current folder has a file of
    // that name too.
    const std::string beside = writeRampWav(world.files / "documents/samples/tone.wav", 700);
    writeRampWav(world.files / "elsewhere/samples/tone.wav", 300);
    const std::string id = world.resources->addSampleFile("", File(beside));
    plugin->getZoneManager(0)->createZone(KeyRange(36, 96), id);
    Dictionary bank;
    plugin->writeState(bank, false);
    Dictionary patch;
    plugin->writeProgram(patch);
    const std::string bankFile = world.files.write(
        "documents/set.kmd", withRelativePath(bank.toDocumentText(), beside, "samples/tone.wav"));
    const std::string patchFile = world.files.write(
        "documents/one.kpr", withRelativePath(patch.toDocumentText(), beside, "samples/tone.wav"));
    plugin.reset();
    const std::string elsewhere = world.files / "elsewhere";
    std::filesystem::current_path(elsewhere);

    struct Way {
        const char* name;
        std::string file;
        int dialogEntry; // -1: dropped
    };
    for (const Way& way : {Way{"dropped bank", bankFile, -1}, Way{"bank from the dialog", bankFile, 0},
                           Way{"dropped patch", patchFile, -1}, Way{"patch from the dialog", patchFile, 1}}) {
        // A new process's resources, which know no sample yet.
        world.resources = std::make_unique<Resources>();
        PluginEnvironment::instance().setResources(world.resources.get());
        plugin = world.makeCorvale();
        if (way.dialogEntry < 0) {
            EXPECT_TRUE(plugin->loadFile(File(way.file))) << way.name;
        } else {
            platform::FileDialogAnswer answer;
            answer.accepted = true;
            answer.path = way.file;
            answer.filterIndex = way.dialogEntry;
            world.responder.queueFile(answer);
            plugin->getModule(0)->getSettings()->setBool(keys::kLoad, true, Sender::kEditor);
        }
        EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::current_path(), elsewhere)) << way.name;
        const Sample* sample = world.resources->findSample(id);
        ASSERT_NE(sample, nullptr) << way.name;
        EXPECT_EQ(sample->getInfo().frames, 700) << way.name;
        plugin.reset();
    }
}

} // namespace
} // namespace trov::test
