// Files dropped on the instrument that it cannot load: each refusal shows exactly one message, and that
// message says why, in the words of the reader the file was meant for. Nothing that is no regular file is
// opened, so no drop waits on a pipe.
#include "engine/zones/Zone.h"
#include "engine/zones/ZoneManager.h"
#include "framework/Dictionary.h"
#include "framework/File.h"
#include "instrument/InstrumentKeys.h"
#include "support/CorvaleTestSupport.h"
#include "support/PipeTestSupport.h"
#include "support/SampleFileBytes.h"
#include "support/TooDeepFolder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace trov::test {
namespace {

class DroppedFileRefusalTest : public ::testing::Test {
protected:
    void SetUp() override { plugin = world.makeCorvale(); }
    void TearDown() override { plugin.reset(); }

    // Drops the file on the instance; the messages it showed meanwhile. The load must not wait on the pipe
    // given, by default the file itself.
    std::vector<std::string> refusalsOf(const std::string& path, bool taken = false,
                                        const std::string& pipe = {}) {
        const std::size_t before = world.responder.questions().size();
        bool loaded = !taken;
        loadWithoutWaitingOn(pipe.empty() ? path : pipe, [&] { loaded = plugin->loadFile(File(path)); });
        EXPECT_EQ(loaded, taken) << path;
        std::vector<std::string> shown;
        const auto questions = world.responder.questions();
        for (std::size_t i = before; i < questions.size(); ++i)
            shown.push_back(questions[i].text);
        return shown;
    }

    // The text of a patch whose one zone plays that sample file.
    std::string patchPlaying(const std::string& sampleFile) {
        const std::string id = world.resources->addSampleFile("", File(sampleFile));
        plugin->getZoneManager(0)->createZone(KeyRange(36, 96), id);
        Dictionary patch;
        plugin->writeProgram(patch);
        return patch.toDocumentText();
    }

    // A new instance on another process's resources, which know no sample yet.
    void startAnotherProcess() {
        plugin.reset();
        world.resources = std::make_unique<Resources>();
        PluginEnvironment::instance().setResources(world.resources.get());
        plugin = world.makeCorvale();
    }

    // The bytes the process has read from files and pipes so far.
    static std::uint64_t bytesRead() {
        std::ifstream io("/proc/self/io");
        std::string name;
        std::uint64_t count = 0;
        while (io >> name >> count && name != "rchar:")
            count = 0;
        return count;
    }

    CorvaleWorld world;
    std::unique_ptr<Corvale> plugin;
};

TEST_F(DroppedFileRefusalTest, EachRefusedFileShowsOneMessageNamingItsReason) {
    FileTestFolder& files = world.files;
    const std::vector<std::int16_t> values = rampValues(100);
    // A bank as the instrument writes it, cut off halfway.
    Dictionary bank;
    plugin->writeState(bank, false);
    const std::string bankText = bank.toDocumentText();
    std::string utf16 = "\xFF\xFE";
    for (const char c : bankText)
        utf16 += std::string{c, '\0'};
    std::string deep = "<?xml version=\"1.0\"?>";
    for (int i = 0; i < 300; ++i)
        deep += "<dict>";
    ASSERT_TRUE(makePipe(files / "pipe.kmd"));
    ASSERT_TRUE(makePipe(files / "pipe.wav"));

    struct Case {
        std::string path;
        std::string reason; // what the message says after the file's path
        std::string also = {};
    };
    const std::string wav = monoWav16(values);
    const Case cases[] = {
        {files.write("cut.wav", wav.substr(0, 30)), " could not be loaded: it has no complete format chunk."},
        {files.write("headless.wav", wav.substr(0, 36)), " could not be loaded: it has no data chunk."},
        {files.write("bad.aif", aiffForm(iffChunk("COMM", "xx") + iffChunk("SSND", std::string(8, '\0')))),
         " could not be loaded: libsndfile says: "},
        {files.write("bad.au",
                     ".snd" + bigEndianFields({{24, 4}, {8, 4}, {99, 4}, {44100, 4}, {1, 4}}) + "abcdefgh"),
         " could not be loaded: libsndfile says: "},
        {files.write("bad.wv", "wvpk" + std::string(60, '\x5A')), " could not be loaded: WavPack says: "},
        {files.write("loop.rx2", "CAT " + std::string(60, '\x01')),
         " could not be loaded: loop files need the REX shared library, which is not installed."},
        {files.write("huge.wav", wav.substr(0, 40) + littleEndianFields({{0x40000000, 4}}) + "abcd"),
         ": The sample file is too large to be loaded: its data chunk declares 536870912 frames"},
        {files.write("broken.scl", "! broken.scl\nBroken\n3\n3/2\n"),
         " could not be loaded: it ends after 1 of the 3 notes it announces."},
        {files.write("cut.kmd", bankText.substr(0, bankText.size() / 2)),
         " could not be loaded: malformed XML: "},
        {files.write("wide.kmd", utf16),
         " could not be loaded: document is UTF-16 text; only UTF-8 and 8-bit text is read."},
        {files.write("nul.kpr", bankText.substr(0, 60) + std::string(1, '\0') + bankText.substr(60)),
         " could not be loaded: malformed XML: ",
         " (the text ends for the parser at the NUL byte at offset 60)."},
        {files.write("deep.kmd", deep), " could not be loaded: document is nested too deeply."},
        {files / "pipe.kmd", " is not a regular file (a folder, a pipe or a device) and was not read."},
        {files / "pipe.wav", " is not a regular file (a folder, a pipe or a device) and was not read."},
        {files / "missing.kpr", " does not exist."},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> shown = refusalsOf(c.path);
        ASSERT_EQ(shown.size(), 1u) << c.path;
        EXPECT_NE(shown[0].find(c.path + c.reason), std::string::npos) << shown[0];
        EXPECT_NE(shown[0].find(c.also), std::string::npos) << shown[0];
    }
    EXPECT_EQ(plugin->getTuningCount(), 1);
}

// A file meant for no reader names what the instrument takes, not the document parser's complaint, and an
// empty bank, patch or tuning says it is empty.
TEST_F(DroppedFileRefusalTest, AFileOfNoKindItTakesNamesTheKindsAndAnEmptyOneSaysSo) {
    FileTestFolder& files = world.files;
    const std::string kinds =
        " is not a bank (.kmd), patch (.kpr), Scala tuning (.scl) or sample file (WAV, AIFF, AU, FLAC, Ogg "
        "Vorbis, WavPack).";
    const std::string empty = " could not be loaded: it is empty.";
    const std::pair<std::string, std::string> cases[] = {
        {files.write("song.mid", std::string("MThd\0\0\0\x06\0\0\0\x01\0\x60", 14)), "The file %" + kinds},
        {files.write("cover.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)), "The file %" + kinds},
        {files.write("notes.txt", "hello\n"), "The file %" + kinds},
        {files.write("noise.bin", std::string("\x13\xF0\0\xA7<dict>\x01", 11)), "The file %" + kinds},
        {files.write("empty.kmd", ""), "The file %" + empty},
        {files.write("empty.kpr", ""), "The file %" + empty},
        {files.write("empty.scl", ""), "The tuning file %" + empty},
    };
    for (const auto& [path, message] : cases) {
        const std::vector<std::string> shown = refusalsOf(path);
        ASSERT_EQ(shown.size(), 1u) << path;
        std::string expected = message;
        expected.replace(expected.find('%'), 1, path);
        EXPECT_EQ(shown[0], expected);
    }
}

// A file a sample reader takes by its content is refused in that reader's words: a FLAC file declaring more
// frames than a sample holds is no "bank, patch, tuning or sample file".
TEST_F(DroppedFileRefusalTest, AFlacFileLongerThanASampleIsRefusedWithTheSoundFileReadersReason) {
    const std::string path = world.files / "long.flac";
    ASSERT_TRUE(writeFlacDeclaring(path, 540000000));
    EXPECT_EQ(refusalsOf(path),
              std::vector<std::string>{path + ": The sample file is too large to be loaded: it "
                                              "declares 540000000 frames."});
}

// What a bank costs is bounded before it is read: a file larger than any bank is refused by its size, no
// reader but the sample readers' look at its head reading it, and a document holding more besides its
// sample data than the budget is refused naming it.
TEST_F(DroppedFileRefusalTest, ABankPastItsSizeOrTextBudgetIsRefusedNamingItAndOneAtTheBudgetLoads) {
    // Sparse: no byte of it is written.
    const std::string huge = world.files.write("huge.kmd", "");
    std::filesystem::resize_file(huge, Plugin::kMaxDocumentBytes + 1);
    const std::uint64_t read = bytesRead();
    ASSERT_GT(read, 0u) << "/proc/self/io counts no read";
    EXPECT_EQ(refusalsOf(huge),
              std::vector<std::string>{"These settings hold 268435457 bytes of text and cannot be "
                                       "loaded: a bank or patch holds at most 268435456 bytes."});
    // The sample readers look at its head only.
    EXPECT_LT(bytesRead() - read, std::uint64_t{16} << 20);

    Dictionary bank;
    plugin->writeState(bank, false);
    // An entry nobody reads counts too: its name, "value" and its text.
    const std::string filler(Plugin::kMaxDocumentText - bank.textSize() - 11, 'f');
    bank.setString("Filler", filler);
    EXPECT_TRUE(plugin->readState(bank));
    bank.setString("Filler", filler + "f");
    EXPECT_FALSE(plugin->readState(bank));
    EXPECT_EQ(
        world.responder.questions().back().text,
        "These settings hold 67108865 bytes of names and values besides their sample data and cannot be "
        "loaded: a bank or patch holds at most 67108864 besides its sample data.");
}

// A patch naming a pipe as its sample loads without it, and says why the sample was left out.
TEST_F(DroppedFileRefusalTest, APatchNamingAPipeAsItsSampleLoadsWithoutIt) {
    const std::string sampleFile = world.files.write("tone.wav", monoWav16(rampValues(2000)));
    std::string text = patchPlaying(sampleFile);
    const std::string pipe = world.files / "pipe.wav";
    ASSERT_TRUE(makePipe(pipe));
    for (std::size_t at = text.find(sampleFile); at != std::string::npos; at = text.find(sampleFile, at))
        text.replace(at, sampleFile.size(), pipe);
    const std::string patchFile = world.files.write("piped.kpr", text);

    startAnotherProcess();
    const std::vector<std::string> shown = refusalsOf(patchFile, true, pipe);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "The sample file " + pipe +
                            " is not a regular file (a folder, a pipe or a device) and was not read.");
    const SharedObjectPtr<Zone> zone(plugin->getZoneManager(0)->getZone(0));
    ASSERT_TRUE(zone);
    EXPECT_EQ(zone->getSample(), nullptr);
}

// A patch dropped with the editor closed, whose sample file is gone, loads without it and says so: nobody
// was there to be asked for the file.
TEST_F(DroppedFileRefusalTest, APatchWhoseSampleIsGoneDroppedWithTheEditorClosedSaysSoOnce) {
    const std::string sampleFile = world.files.write("gone.wav", monoWav16(rampValues(2000)));
    const std::string patchFile = world.files.write("gone.kpr", patchPlaying(sampleFile));
    ASSERT_TRUE(std::filesystem::remove(sampleFile));

    startAnotherProcess();
    ASSERT_EQ(plugin->getEditor(), nullptr);
    const std::vector<std::string> shown = refusalsOf(patchFile, true);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "The sample file " + sampleFile +
                            " could not be found: its zones stay silent, and a save still names it.");
}

// A file in a folder too deep to be named from the root, dropped by a relative path (recorded so, it would
// be found by no other process) or by the path from the root, is refused with the reason.
TEST_F(DroppedFileRefusalTest, AFileInAFolderTooDeepToNameFromTheRootIsRefusedWithTheReason) {
    const TooDeepFolder deep(world.files.path(), "s.wav", monoWav16(rampValues(2000)));
    ASSERT_TRUE(deep.made());
    for (const std::string& path : {std::string("s.wav"), deep.path()}) {
        const std::vector<std::string> shown = refusalsOf(path);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0],
                  "The file could not be loaded: its path from the root is longer than the 4,096 bytes a "
                  "path may hold, so a saved project could not open it again: " +
                      path);
    }
}

// Dropped by a relative path from a working folder that was removed, a file has nothing to be named from:
// the refusal says so, not that its path is too long.
TEST_F(DroppedFileRefusalTest, AFileDroppedFromAWorkingFolderThatIsGoneIsRefusedSayingSo) {
    const int back = ::open(".", O_RDONLY | O_DIRECTORY);
    const std::string gone = world.files / "gone";
    ASSERT_EQ(::mkdir(gone.c_str(), 0700), 0);
    ASSERT_EQ(::chdir(gone.c_str()), 0);
    ASSERT_EQ(::rmdir(gone.c_str()), 0);
    const std::vector<std::string> shown = refusalsOf("s.wav");
    EXPECT_EQ(::fchdir(back), 0);
    ::close(back);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0],
              "The file could not be loaded: the working folder it is named from no longer exists: s.wav");
}

// The load dialog's bank and patch entries and the browser's programs say why a document did not load.
TEST_F(DroppedFileRefusalTest, DocumentsChosenInTheDialogOrTheBrowserSayWhyTheyDidNotLoad) {
    const std::string cut =
        world.files.write("cut.kmd", "<?xml version=\"1.0\"?>\n<dict><programs><program>");
    const std::pair<int, std::string> entries[] = {
        {0, "Failed to import settings from " + cut + ": malformed XML: "},
        {1, "The file " + cut + " could not be loaded: malformed XML: "}};
    for (const auto& [entry, message] : entries) {
        // The dialog, then the one refusal.
        ASSERT_EQ(world.chooseInLoadDialog(*plugin->getModule(0)->getSettings(), cut, entry), 2u) << entry;
        const auto questions = world.responder.questions();
        EXPECT_EQ(questions.back().text.find(message), 0u) << questions.back().text;
    }
    const std::size_t before = world.responder.questions().size();
    EXPECT_FALSE(plugin->readProgramFile(File(cut), 0));
    ASSERT_EQ(world.responder.questions().size(), before + 1);
    EXPECT_EQ(world.responder.questions().back().text.find("The file " + cut +
                                                           " could not be loaded: malformed XML: "),
              0u);
}

} // namespace
} // namespace trov::test
