#include "framework/Dictionary.h"
#include "framework/File.h"

#include "support/FileTestFolder.h"
#include "support/LogCapture.h"
#include "support/PipeTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace trov {
namespace {

TEST(DictionaryFile, SavedDocumentLoadsBackEqual) {
    test::FileTestFolder folder;
    Dictionary bank;
    bank.writeInfo("Sampler", "1.0");
    bank.setString("file-format", "0.7.0");
    Dictionary::View program = bank.addArray("programs")->addDictionary("program");
    program->setFloat("Cutoff", 0.25f);
    program->setString("name", "multi\nline & <marked>");
    const std::uint8_t data[] = {1, 2, 3, 4, 5, 6, 7};
    program->setData("sampledata", data, sizeof data);

    const File file(folder / "bank.kmd");
    ASSERT_TRUE(bank.save(file));
    EXPECT_EQ(test::readFile(file.getPath()).rfind("<?xml version=\"1.0\" standalone=\"no\" ?>\n<dict>\n", 0),
              0u);

    const Dictionary loaded(file);
    EXPECT_FALSE(loaded.readsTypedLayout());
    EXPECT_TRUE(loaded == bank);
    std::vector<std::uint8_t> back;
    ASSERT_TRUE(loaded.getDictionary("programs/program")->getData("sampledata", &back));
    EXPECT_EQ(back, std::vector<std::uint8_t>(data, data + sizeof data));
}

TEST(DictionaryFile, AMissingFileLeavesTheDictionaryAsItWasAndABrokenOneAnEmptyDocument) {
    test::FileTestFolder folder;
    test::LogCapture log(3);
    Dictionary dictionary;
    dictionary.setInteger("kept", 1);
    EXPECT_FALSE(dictionary.load(File(folder / "absent.kmd")));
    EXPECT_EQ(dictionary.integerValue("kept"), 1);
    EXPECT_FALSE(dictionary.load(File(folder.write("broken.kmd", "<dict><a value=\"1\" />"))));
    std::string text;
    dictionary.toText(text);
    EXPECT_EQ(text, "<dict />");
    EXPECT_EQ(log.count("bool trov::Dictionary::load(const trov::File&): "), 1);
}

// A refused document says why, for whoever tells the user.
TEST(DictionaryFile, ARefusedDocumentSaysWhy) {
    test::FileTestFolder folder;
    std::string deep = "<?xml version=\"1.0\"?>";
    for (int i = 0; i < 300; ++i)
        deep += "<a>";
    std::string utf16 = "\xFF\xFE";
    std::string utf16BigEndian;
    for (const char c : std::string("<?xml version=\"1.0\"?><dict/>")) {
        utf16 += std::string{c, '\0'};
        utf16BigEndian += std::string{'\0', c};
    }
    const std::pair<std::string, std::string> cases[] = {
        {"<?xml version=\"1.0\"?>\n<dict><programs><program><id value=\"x\"/>", "malformed XML: "},
        {deep, "document is nested too deeply"},
        {utf16, "document is UTF-16 text; only UTF-8 and 8-bit text is read"},
        {utf16.substr(2), "document is UTF-16 text; only UTF-8 and 8-bit text is read"},
        {utf16BigEndian, "document is UTF-16 text; only UTF-8 and 8-bit text is read"},
        {std::string("<dict><a value=\"1\"/>\0<b/></dict>", 31),
         " (the text ends for the parser at the NUL byte at offset 20)"},
    };
    for (const auto& [text, reason] : cases) {
        Dictionary document;
        std::string problem;
        EXPECT_FALSE(document.load(File(folder.write("refused.kmd", text)), &problem));
        EXPECT_NE(problem.find(reason), std::string::npos) << problem;
    }
    // A NUL after a whole document still ends it.
    Dictionary trailing;
    EXPECT_TRUE(trailing.load(
        File(folder.write("trailing.kmd", std::string("<dict><a value=\"1\"/></dict>\0", 28)))));

    std::string problem;
    Dictionary document;
    EXPECT_FALSE(document.load(File(folder / "missing.kmd"), &problem));
    EXPECT_EQ(problem, "it does not exist");
    const std::string pipe = folder / "pipe.kmd";
    ASSERT_TRUE(test::makePipe(pipe));
    test::loadWithoutWaitingOn(pipe, [&] { EXPECT_FALSE(document.load(File(pipe), &problem)); });
    EXPECT_EQ(problem, "it is not a regular file (a folder, a pipe or a device)");
}

TEST(DictionaryFile, LoadingReadsLineEndsAsLineFeeds) {
    test::FileTestFolder folder;
    const File file(folder.write("controls.xml", "<dict>\r\n<s>one\r\ntwo\rthree</s>\r\n</dict>\r\n"));
    const Dictionary controls(file);
    EXPECT_TRUE(controls.readsTypedLayout());
    std::string s;
    ASSERT_TRUE(controls.getStringByTag("s", &s));
    EXPECT_EQ(s, "one\ntwo\nthree");
}

TEST(DictionaryFile, SavingReplacesTheWholeFileAndLeavesNothingElse) {
    test::FileTestFolder folder;
    const File file(folder.write("patch.kpr", std::string(100000, 'x')));
    Dictionary patch;
    patch.setInteger("v", 3);
    ASSERT_TRUE(patch.save(file));
    EXPECT_EQ(test::readFile(file.getPath()), patch.toDocumentText());
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        entries += entry.path().filename() == "patch.kpr" ? 0 : 1;
    EXPECT_EQ(entries, 0);

    EXPECT_FALSE(patch.save(File(folder / "no/such/folder/patch.kpr")));
    EXPECT_FALSE(std::filesystem::exists(folder / "no"));
}

} // namespace
} // namespace trov
