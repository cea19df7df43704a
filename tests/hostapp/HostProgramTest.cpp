#include "HostProgramFixture.h"
#include "hostapp/WavWriter.h"
#include "platform/RegistryNode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <regex>
#include <sndfile.h>
#include <tuple>

namespace corvale::hostapp {
namespace {

using test::MidiFileBuilder;
using test::TrackBytes;

TEST_F(HostProgram, RefusesBadOptionsMidiFilesAndModulesWithOneLineAndAFailingStatus) {
    const std::string good = file("good.mid", oneNoteFile());
    const std::string out = scratch_ + "/out.wav";
    expectOneLineError(run({"render", "--rate", "44k", modulePath(), good, out}), 2, "--rate: '44k'");
    expectOneLineError(run({"render", modulePath(), good}), 2, "render needs MODULE INPUT.mid OUTPUT.wav");
    expectOneLineError(run({"mix"}), 2, "unknown command 'mix'");

    const std::string format2 =
        file("format2.mid", MidiFileBuilder().header(2, 1, 96).track(TrackBytes().end()).bytes());
    expectOneLineError(run({"render", modulePath(), format2, out}), 1, format2 + ": byte 8: format 2");
    const std::string cut =
        file("cut.mid", MidiFileBuilder().header(0, 1, 96).track(TrackBytes().event(0, {0x90, 60})).bytes());
    expectOneLineError(run({"render", modulePath(), cut, out}), 1, "track 0, byte 22: truncated event");
    expectOneLineError(run({"render", modulePath(), scratch_ + "/missing.mid", out}), 1,
                       "cannot open the file");

    expectOneLineError(run({"render", scratch_ + "/missing.so", good, out}), 1,
                       "cannot load module " + scratch_ + "/missing.so: ");
    expectOneLineError(run({"render", CORVALE_NOT_A_MODULE, good, out}), 1, "NewPlugIn");
    expectOneLineError(run({"check", "--seed=x", modulePath()}), 2, "--seed: 'x'");
    EXPECT_FALSE(std::filesystem::exists(out)) << "no output is left by a failed render";
}

TEST_F(HostProgram, ChecksTheModuleHeadlessAndAllChecksPass) {
    if (!moduleBuilt())
        GTEST_SKIP() << "the test module is not built";
    layOutInstallation();
    const test::ChildResult result = run({"check", modulePath()});
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_TRUE(std::regex_search(result.out, std::regex("\n[0-9]+ passed, 0 failed\n$"))) << result.out;
    EXPECT_EQ(result.out.find("FAIL"), std::string::npos) << result.out;
}

// The first frame of the WAV file where either channel is above the noise floor, or -1.
std::int64_t firstSoundingFrame(const std::string& path, std::int32_t& rate) {
    SF_INFO info = {};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr)
        return -2;
    rate = info.samplerate;
    std::vector<float> frames(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, frames.data(), info.frames);
    sf_close(file);
    for (std::size_t i = 0; i < frames.size(); ++i)
        if (std::fabs(frames[i]) > 1e-4f)
            return static_cast<std::int64_t>(i) / info.channels;
    return -1;
}

TEST_F(HostProgram, ChecksAModuleNamedRelativelyThroughItsReloadAfterALoadMovesTheCurrentFolder) {
    if (!moduleBuilt())
        GTEST_SKIP() << "the test module is not built";
    layOutInstallation();
    const std::string document = stateDocument();
    ASSERT_FALSE(document.empty());
    // The instance makes the dropped document's folder the current one.
    std::filesystem::create_directories(scratch_ + "/banks/deeper");
    const std::string state = file("banks/deeper/state.xml", test::Bytes(document.begin(), document.end()));
    // The program runs in this process's current folder.
    const std::string relative =
        std::filesystem::relative(modulePath(), std::filesystem::current_path()).string();
    ASSERT_NE(relative.front(), '/') << relative;
    const test::ChildResult result = run({"check", "--load", state, relative});
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("ok   a reload starts fresh and plays"), std::string::npos) << result.out;
}

TEST_F(HostProgram, CountsNoCheckOfAModuleThatDoesNotLoadAsPassed) {
    for (const std::string& module : {scratch_ + "/missing.so", std::string(CORVALE_NOT_A_MODULE)}) {
        const test::ChildResult result = run({"check", module});
        EXPECT_EQ(result.status, 1);
        EXPECT_TRUE(std::regex_search(result.out, std::regex("\n0 passed, 1 failed, 10 skipped\n$")))
            << result.out;
        EXPECT_NE(result.out.find("SKIP the 10 other checks: the module did not load\n"), std::string::npos)
            << result.out;
    }
}

// A module that does not start fails its start once and leaves the rest to skip on one line; a file to
// load that cannot be read is the command line's fault, and no check runs.
TEST_F(HostProgram, ACheckSaysOnceThatTheModuleDidNotStartAndTellsABadLoadFromAFailingModule) {
    const test::ChildResult bad = run({"check", "--load", scratch_ + "/missing.kmd", modulePath()});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.out, "no check ran: cannot read " + scratch_ +
                           "/missing.kmd: No such file or directory (given with --load)\n");
    if (!moduleBuilt())
        return;
    // No installation: the module loads but does not start.
    const test::ChildResult result = run({"check", modulePath()});
    EXPECT_EQ(result.status, 1);
    const std::string once = "SKIP the 9 other checks: the module did not start\n";
    EXPECT_NE(result.out.find(once), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find("the module did not start"), result.out.rfind("the module did not start"))
        << result.out;
    EXPECT_TRUE(std::regex_search(result.out, std::regex("\n1 passed, 1 failed, 9 skipped\n$")))
        << result.out;
}

TEST_F(HostProgram, ACheckOfAModuleWhoseInstanceCannotInitialiseSaysItDidNotStartAndPassesNothingItNeeds) {
    if (!moduleBuilt())
        GTEST_SKIP() << "the test module is not built";
    layOutInstallation(true, "missing.xml");
    const test::ChildResult result = run({"check", modulePath()});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(
        result.out.find("FAIL the module loads and starts with its identity: it did not start: an "
                        "instance of type 0 failed to initialise: Corvale Test: Error loading settings"),
        std::string::npos)
        << result.out;
    EXPECT_TRUE(std::regex_search(result.out, std::regex("\n1 passed, 1 failed, 9 skipped\n$")))
        << result.out;
}

TEST_F(HostProgram, StartsNotesAtTheirFramesThroughTheTempoMapForTwoBlockSizesAndTwoRates) {
    if (!moduleBuilt())
        GTEST_SKIP() << "the test module is not built";
    layOutInstallation();
    // 150 beats per minute for a beat, then 100: the note at tick 733 sounds at 0.4 + 253 * 0.6 / 480 s.
    const std::string song =
        file("song.mid", MidiFileBuilder()
                             .header(1, 2, 480)
                             .track(TrackBytes().tempo(0, 400000).tempo(480, 600000).end())
                             .track(TrackBytes().event(733, {0x90, 69, 100}).event(480, {0x80, 69, 0}).end())
                             .bytes());
    const double seconds = 0.4 + 253.0 * 0.6 / 480.0;
    for (const int rate : {44100, 48000})
        for (const int block : {64, 512}) {
            SCOPED_TRACE(std::to_string(rate) + " Hz, blocks of " + std::to_string(block));
            const std::string out =
                scratch_ + "/song-" + std::to_string(rate) + "-" + std::to_string(block) + ".wav";
            const test::ChildResult result =
                run({"render", "--quiet", "--rate", std::to_string(rate), "--block", std::to_string(block),
                     "--tail", "0.1", modulePath(), song, out});
            ASSERT_EQ(result.status, 0) << result.err;
            EXPECT_TRUE(result.out.empty() && result.err.empty()) << "quiet prints nothing";
            std::int32_t fileRate = 0;
            const std::int64_t onset = firstSoundingFrame(out, fileRate);
            const auto expected = static_cast<std::int64_t>(std::llround(seconds * rate));
            EXPECT_EQ(fileRate, rate);
            EXPECT_GE(onset, expected) << "nothing sounds before the note";
            EXPECT_LE(onset, expected + 2) << "the note starts at its own frame, not at a block's start";
        }
}

TEST_F(HostProgram, ARenderThatStartsNoNoteSaysItIsSilentAndStillSucceeds) {
    if (!moduleBuilt())
        GTEST_SKIP() << "the test module is not built";
    layOutInstallation();
    // A note-on of velocity 0 is a note-off, and a note past the end of the render is never played.
    const std::string song = file(
        "quiet.mid",
        MidiFileBuilder()
            .header(0, 1, 96)
            .track(
                TrackBytes().event(0, {0xB0, 7, 100}).event(0, {0x90, 69, 0}).event(96, {0x80, 69, 0}).end())
            .bytes());
    const std::string out = scratch_ + "/quiet.wav";
    const test::ChildResult result = run({"render", "--quiet", "--tail", "0", modulePath(), song, out});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "corvale-host: " + out + " is entirely silent: " + song + " starts no note\n");
    std::int32_t rate = 0;
    EXPECT_EQ(firstSoundingFrame(out, rate), -1);
}

TEST_F(HostProgram, RefusesAModuleThatCannotStartAMissingBankAndAnUnwritableOutput) {
    if (!moduleBuilt())
        GTEST_SKIP() << "the test module is not built";
    const std::string song = file("song.mid", oneNoteFile());
    layOutInstallation(false);
    expectOneLineError(run({"render", modulePath(), song, scratch_ + "/out.wav"}), 1,
                       "module " + modulePath() + " did not start: ");
    layOutInstallation();
    expectOneLineError(
        run({"render", "--load", scratch_ + "/none.kmd", modulePath(), song, scratch_ + "/out.wav"}), 1,
        "cannot read " + scratch_ + "/none.kmd");
    const std::string notABank = file("not-a-bank.xml", {'n', 'o', '\n'});
    expectOneLineError(run({"render", "--load", notABank, modulePath(), song, scratch_ + "/out.wav"}), 1,
                       "cannot load " + notABank + ": the module refused it");
    // The system's reason, as it tells it.
    expectOneLineError(run({"render", modulePath(), song, scratch_ + "/no-folder/out.wav"}), 1,
                       "cannot write " + scratch_ + "/no-folder/out.wav: No such file or directory\n");
}

TEST_F(HostProgram, NamesAMissingMachineStoreWithItsVariableAndToolAndMakesNoStoreThere) {
    if (!moduleBuilt())
        GTEST_SKIP() << "the test module is not built";
    const std::string song = file("song.mid", oneNoteFile());
    const std::string wrong = scratch_ + "/typo/machine.reg";
    expectOneLineError(
        run({"render", modulePath(), song, scratch_ + "/out.wav"}, {{"TROV_MACHINE_REGISTRY", wrong}}), 1,
        "did not start: Corvale Test: Registry key missing, unable to continue. Please reinstall "
        "Corvale Test. Corvale Test will exit. (TROV_MACHINE_REGISTRY names " +
            wrong + ", which does not exist; corvale-install-keys writes it)");
    EXPECT_FALSE(std::filesystem::exists(scratch_ + "/typo")) << "no store is made at a wrong path";

    // Unset, the default store in the configuration folder is the one missing.
    const std::string fallback = scratch_ + "/config/trov-registry/machine.reg";
    const test::ChildResult result =
        run({"check", modulePath()}, {{"XDG_CONFIG_HOME", scratch_ + "/config"}}, {"TROV_MACHINE_REGISTRY"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find("TROV_MACHINE_REGISTRY is not set and the default store " + fallback +
                              " does not exist; corvale-install-keys writes a store to name in it"),
              std::string::npos)
        << result.out;
    EXPECT_FALSE(std::filesystem::exists(fallback));
}

TEST_F(HostProgram, AFileOrFolderNamedAsAStoreKeepsItsNameAndBytesAndTheStartSaysWhyItCannotUseIt) {
    if (!moduleBuilt())
        GTEST_SKIP() << "the test module is not built";
    layOutInstallation();
    const std::string song = file("song.mid", oneNoteFile());
    const std::string wav = file("mykick.wav", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'});
    const std::string folder = scratch_ + "/myproject";
    const std::string data = scratch_ + "/share/corvale";
    std::filesystem::create_directories(data);
    std::filesystem::create_directories(folder);
    const std::pair<const char*, std::string> named[] = {
        {"TROV_USER_REGISTRY", wav}, {"TROV_USER_REGISTRY", folder}, {"TROV_MACHINE_REGISTRY", data}};
    for (const auto& [variable, path] : named)
        for (const bool seed : {false, true}) {
            SCOPED_TRACE(path + (seed ? " with --seed" : ""));
            std::vector<std::string> arguments = {"render", modulePath(), song, scratch_ + "/out.wav"};
            if (seed)
                arguments.insert(arguments.begin() + 1, {"--seed", "7"});
            expectOneLineError(run(arguments, {{variable, path}}), 1,
                               std::string(variable) + " names " + path +
                                   ", which is not a registry store (");
            EXPECT_FALSE(std::filesystem::exists(path + ".unreadable"));
        }
    EXPECT_EQ(test::readWhole(wav), std::string("RIFF\4\0\0\0WAVE", 12));
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    EXPECT_TRUE(std::filesystem::is_empty(data));
    EXPECT_FALSE(std::filesystem::exists(scratch_ + "/user.reg")) << "a start that fails writes no store";
}

TEST_F(HostProgram, SaysWhereTheModuleSetADamagedUserStoreAside) {
    if (!moduleBuilt())
        GTEST_SKIP() << "the test module is not built";
    layOutInstallation();
    const std::string song = file("song.mid", oneNoteFile());
    const std::string store = file("user.reg", {'T', 'R', 'R', 'G', 9});
    const test::ChildResult result = run({"render", "--quiet", modulePath(), song, scratch_ + "/out.wav"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "corvale-host: TROV_USER_REGISTRY names " + store +
                              ", which could not be read as a store: the module kept it as " + store +
                              ".unreadable and began a new one\n");
    EXPECT_EQ(test::readWhole(store + ".unreadable"), std::string("TRRG\x09", 5));

    // Damaged again, it is kept under the next free name, and the first one stays.
    file("user.reg", {'T', 'R', 'R', 'G', 8});
    const test::ChildResult again = run({"render", "--quiet", modulePath(), song, scratch_ + "/out.wav"});
    EXPECT_EQ(again.err, "corvale-host: TROV_USER_REGISTRY names " + store +
                             ", which could not be read as a store: the module kept it as " + store +
                             ".unreadable.1 and began a new one\n");
    EXPECT_EQ(test::readWhole(store + ".unreadable"), std::string("TRRG\x09", 5));
    EXPECT_EQ(test::readWhole(store + ".unreadable.1"), std::string("TRRG\x08", 5));
}

TEST_F(HostProgram, TheStoreWritersUsageNamesTheKeyAndTheValuesAnInstallationNeedsAsRunShWritesThem) {
    const test::ChildResult result = test::runChild({CORVALE_INSTALL_KEYS}, {}, scratch_);
    EXPECT_EQ(result.status, 2);
    EXPECT_TRUE(result.out.empty()) << result.out;
    const std::string script = test::readWhole(CORVALE_RUN_SCRIPT);
    for (const char* needed :
         {"Software/Vennikt/Corvale", "InstallPath=", "ResourcesXmlFile=resources.xml",
          "SettingsXmlFile=settings.xml", "ControlsXmlFile=controls.xml", "ImagesDir=images"}) {
        EXPECT_NE(result.err.find(needed), std::string::npos) << needed << " in\n" << result.err;
        EXPECT_NE(script.find(needed), std::string::npos)
            << needed << " is no longer what tools/run.sh writes";
    }
}

TEST_F(HostProgram, TheStoreWriterRefusesAValueTheModuleDoesNotReadAndARelativeDataFolder) {
    const std::string store = scratch_ + "/machine.reg";
    const auto write = [&](const std::string& value) {
        return test::runChild({CORVALE_INSTALL_KEYS, store, "Software/Vennikt/Corvale", value,
                               "ResourcesXmlFile=resources.xml", "SettingsXmlFile=settings.xml",
                               "ControlsXmlFile=controls.xml", "ImagesDir=images"},
                              {}, scratch_);
    };
    const std::pair<const char*, std::string> refused[] = {
        {"InstalPath=/opt/corvale", "the module reads no value 'InstalPath': it reads InstallPath, "
                                    "ResourcesXmlFile, SettingsXmlFile, ControlsXmlFile and ImagesDir\n"},
        {"InstallPath=share/corvale", "InstallPath 'share/corvale' is not an absolute path"}};
    for (const auto& [value, reason] : refused) {
        const test::ChildResult result = write(value);
        EXPECT_EQ(result.status, 2) << value;
        EXPECT_NE(result.err.find(reason), std::string::npos) << result.err;
        EXPECT_FALSE(std::filesystem::exists(store)) << value;
    }
    const test::ChildResult written = write("InstallPath=/opt/corvale");
    EXPECT_EQ(written.status, 0) << written.err;
    EXPECT_TRUE(std::filesystem::exists(store));
}

TEST_F(HostProgram, TheStoreWriterRefusesTheProductsKeyWithoutAllFiveValuesAndAnyKeyWithoutValues) {
    const std::string store = scratch_ + "/machine.reg";
    std::string error;
    ASSERT_TRUE(writeRegistryStore(store, "Software/Other", {{"Kept", "yes"}}, error)) << error;
    const std::string before = test::readWhole(store);
    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{"Software/Other"}, "no values given for Software/Other"},
        {{"Software\\vennikt\\CORVALE", "InstallPath=/opt/corvale"},
         "ResourcesXmlFile, SettingsXmlFile, ControlsXmlFile and ImagesDir are missing"},
        {{"Software/Vennikt/Corvale", "ImagesDir=images"},
         "InstallPath, ResourcesXmlFile, SettingsXmlFile and ControlsXmlFile are missing"}};
    for (const auto& [arguments, reason] : refused) {
        std::vector<std::string> command = {CORVALE_INSTALL_KEYS, store};
        command.insert(command.end(), arguments.begin(), arguments.end());
        const test::ChildResult result = test::runChild(command, {}, scratch_);
        EXPECT_EQ(result.status, 2);
        EXPECT_NE(result.err.find(reason), std::string::npos) << result.err;
        EXPECT_EQ(test::readWhole(store), before) << "the store is left as it was";
    }
}

TEST_F(HostProgram, TheStoreWriterRefusesAFileThatIsNoStoreAndKeepsAStoresOtherKeys) {
    const auto write = [&](const std::string& store, const std::string& value) {
        return test::runChild({CORVALE_INSTALL_KEYS, store, "Software/Vennikt/Corvale Test", value}, {},
                              scratch_);
    };
    const test::Bytes riff = {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'};
    const std::string wav = file("kick.wav", riff);
    const test::ChildResult refused = write(wav, "InstallPath=/opt/corvale");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find(wav + " is not a registry store (it does not begin as a store does)"),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(test::readWhole(wav), std::string(riff.begin(), riff.end()));

    const std::string store = scratch_ + "/machine.reg";
    std::string error;
    ASSERT_TRUE(writeRegistryStore(store, "Software/Other", {{"Kept", "yes"}}, error)) << error;
    ASSERT_EQ(write(store, "ImagesDir=images").status, 0);
    ASSERT_EQ(write(store, "InstallPath=/opt/corvale").status, 0);
    const std::string bytes = test::readWhole(store);
    trov::platform::RegistryNode root;
    ASSERT_TRUE(trov::platform::RegistryNode::parse(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                                    bytes.size(), root, error))
        << error;
    const auto key = [&root](const char* name) {
        const trov::platform::RegistryNode* software = root.findChild("Software");
        return software != nullptr ? software->findChild(name) : nullptr;
    };
    ASSERT_TRUE(key("Other") != nullptr && key("Vennikt") != nullptr &&
                key("Vennikt")->findChild("Corvale Test"));
    EXPECT_NE(key("Other")->findValue("Kept"), nullptr);
    const auto& values = key("Vennikt")->findChild("Corvale Test")->values;
    ASSERT_EQ(values.size(), 1u) << "the key's values are those given last";
    EXPECT_EQ(values[0].name, "InstallPath");
    EXPECT_NE(test::runChild({CORVALE_INSTALL_KEYS}, {}, scratch_).err.find("keeps its other keys"),
              std::string::npos);
}

TEST_F(HostProgram, TheRunsCheckPassesOnlyARenderThatSoundsAndEndsInSilence) {
    // Stereo at 48 kHz: a 440 Hz tone of the given amplitude for 0.5 s, then silence for the given time.
    const auto render = [this](const std::string& name, float amplitude, double silence) {
        const std::string path = scratch_ + "/" + name + ".wav";
        std::vector<float> frames(static_cast<std::size_t>((0.5 + silence) * 48000));
        for (std::size_t i = 0; i < 24000; ++i)
            frames[i] =
                amplitude *
                static_cast<float>(std::sin(2.0 * std::numbers::pi * 440.0 * static_cast<double>(i) / 48000));
        const float* channels[2] = {frames.data(), frames.data()};
        WavWriter writer;
        std::string error;
        EXPECT_TRUE(writer.open(path, 2, 48000, static_cast<std::int64_t>(frames.size()), error) &&
                    writer.write(channels, static_cast<std::int32_t>(frames.size()), error) &&
                    writer.close(error))
            << error;
        return test::runChild({CORVALE_CHECK_RENDER, path}, {}, scratch_);
    };
    EXPECT_EQ(render("sounds", 0.5f, 0.2).status, 0);
    // -26 dBFS, nothing, and a tone cut off while it sounds.
    for (const auto& [name, amplitude, silence] :
         {std::tuple("quiet", 0.05f, 0.2), std::tuple("silent", 0.0f, 0.2), std::tuple("cut", 0.5f, 0.05)}) {
        const test::ChildResult result = render(name, amplitude, silence);
        EXPECT_EQ(result.status, 1) << name;
        EXPECT_NE(result.err.find(name + std::string(".wav does not ")), std::string::npos) << result.err;
    }
}

TEST_F(HostProgram, WhatTheModuleSaysOfALoadedFileIsOneShortLineAndARefusalWithoutReasonNamesItsLog) {
    if (!moduleBuilt())
        GTEST_SKIP() << "the test module is not built";
    layOutInstallation();
    std::string document = stateDocument();
    const std::size_t creator = document.find("creator=\"Corvale Test\"");
    ASSERT_NE(creator, std::string::npos);
    document.replace(creator, 22, "creator=\"Other Product\"");
    document.insert(document.rfind("</dict>"), "<padding value=\"" + std::string(100000, 'p') + "\" />");
    // The test product takes any document it can parse (its import counts the parse) and shows the refusal.
    const std::string foreign = file("foreign.xml", test::Bytes(document.begin(), document.end()));
    const std::string song = file("song.mid", oneNoteFile());
    const test::ChildResult taken =
        run({"render", "--quiet", "--load", foreign, modulePath(), song, scratch_ + "/out.wav"});
    EXPECT_EQ(taken.status, 0) << taken.err;
    EXPECT_EQ(taken.err,
              "corvale-host: " + foreign +
                  ": the module said: Corvale Test: These settings were created by Other Product and "
                  "cannot be loaded.\n");

    const std::string text = file("not-a-bank.xml", {'n', 'o', '\n'});
    const std::string takes = "; it takes a bank or patch document, a Scala tuning (.scl) or a sample file "
                              "(WAV, AIFF, AU, WavPack, ...): see its log " +
                              scratch_ + "/state/Trovato/Corvale Test.log\n";
    expectOneLineError(run({"render", "--load", text, modulePath(), song, scratch_ + "/out.wav"}), 1,
                       "cannot load " + text + ": the module refused it without saying why" + takes);
    // An empty file is named as one.
    const std::string empty = file("empty.xml", {});
    expectOneLineError(run({"render", "--load", empty, modulePath(), song, scratch_ + "/out.wav"}), 1,
                       "cannot load " + empty +
                           ": the module refused it without saying why (the file is empty)" + takes);
    EXPECT_TRUE(std::filesystem::exists(scratch_ + "/state/Trovato/Corvale Test.log"));
}

TEST_F(HostProgram, LoadsAStateDocumentDroppedOnTheInstanceBeforePlaying) {
    if (!moduleBuilt())
        GTEST_SKIP() << "the test module is not built";
    layOutInstallation();
    const std::string document = stateDocument();
    ASSERT_FALSE(document.empty());
    const std::string state = file("state.xml", test::Bytes(document.begin(), document.end()));
    const std::string song = file("song.mid", oneNoteFile());
    const test::ChildResult result =
        run({"render", "--load", state, modulePath(), song, scratch_ + "/out.wav"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out.rfind("wrote " + scratch_ + "/out.wav: ", 0), 0u) << result.out;
}

} // namespace
} // namespace corvale::hostapp
