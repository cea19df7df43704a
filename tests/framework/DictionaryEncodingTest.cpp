// Documents are held as UTF-8: 8-bit text (no declaration, or one naming another encoding) is converted
// when read, and so are the stray bytes of text read as UTF-8 that is no valid UTF-8, so that what is
// written from it reads again; UTF-8 and plain ASCII documents are untouched.
#include "framework/Dictionary.h"

#include <gtest/gtest.h>

#include <string>

namespace trov {
namespace {

std::string authorOf(const std::string& text) {
    Dictionary document;
    EXPECT_TRUE(document.parse(text)) << text;
    std::string author;
    document.getString("author", &author);
    return author;
}

TEST(DictionaryEncoding, EightBitTextIsReadAsUTF8AndWhatIsWrittenFromItReadsAgain) {
    struct Case {
        const char* name;
        std::string text;
        std::string author;
    };
    const Case cases[] = {
        {"no declaration", "<dict><file-format value=\"0.7.0\" /><author value=\"Caf\xE9\" /></dict>",
         "Caf\xC3\xA9"},
        {"Latin-1 declared",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?><dict><file-format value=\"0.7.0\" /><author "
         "value=\"Caf\xE9\" /></dict>",
         "Caf\xC3\xA9"},
        {"Windows code page byte", "<dict><file-format value=\"0.7.0\" /><author value=\"\x80 5\" /></dict>",
         "\xE2\x82\xAC 5"},
        {"character reference", "<dict><file-format value=\"0.7.0\" /><author value=\"Caf&#233;\" /></dict>",
         "Caf\xC3\xA9"},
        {"UTF-8 declared",
         "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><dict><file-format value=\"0.7.0\" /><author "
         "value=\"Caf\xC3\xA9\" /></dict>",
         "Caf\xC3\xA9"},
        // A lead byte that no continuation follows took the closing quote into its character.
        {"UTF-8 by default, an 8-bit byte before a quote",
         "<?xml version=\"1.0\" ?><dict><file-format value=\"0.7.0\" /><author value=\"Caf\xE9\" /></dict>",
         "Caf\xC3\xA9"},
        // ... or the "&" of a reference, which was then kept as text and written as "&amp;".
        {"UTF-8 declared, an 8-bit byte before a reference, a UTF-8 character after it",
         "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><dict><file-format value=\"0.7.0\" /><author "
         "value=\"\xD1&apos;s \xC3\xA9\" /></dict>",
         "\xC3\x91's \xC3\xA9"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(authorOf(c.text), c.author) << c.name;
        // Into a new document, which declares itself, and back.
        Dictionary written;
        written.setString("file-format", "0.7.0");
        written.setString("author", authorOf(c.text));
        EXPECT_EQ(authorOf(written.toDocumentText()), c.author) << c.name;
        // The document read, saved as it stands, and read again.
        Dictionary read;
        ASSERT_TRUE(read.parse(c.text)) << c.name;
        EXPECT_EQ(authorOf(read.toDocumentText()), c.author) << c.name << ":\n" << read.toDocumentText();
    }
}

TEST(DictionaryEncoding, UTF8AndASCIIDocumentsAreWrittenBackByteForByte) {
    for (const std::string& text :
         {std::string("<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\n<dict>\n    <a value=\"plain\" "
                      "/>\n</dict>\n"),
          std::string("<?xml version=\"1.0\" ?>\n<dict>\n    <a value=\"Caf\xC3\xA9\" />\n</dict>\n"),
          std::string("<dict>\n    <a value=\"1\" />\n</dict>\n")}) {
        Dictionary document;
        ASSERT_TRUE(document.parse(text));
        EXPECT_EQ(document.toDocumentText(), text);
    }
}

// A node's text (a state chunk) has no declaration and is UTF-8: read back, it is the same text, however
// often it goes round. Undeclared text that is no UTF-8 is still taken as 8-bit.
TEST(DictionaryEncoding, ANodesTextReadsBackUnchangedRoundAfterRound) {
    const std::string author = "Caf\xC3\xA9 \xE2\x82\xAC \xC3\x83\xC2\xA9";
    Dictionary document;
    document.setString("file-format", "0.7.0");
    document.setString("author", author);
    std::string text;
    document.toText(text);
    ASSERT_EQ(text.find("<?xml"), std::string::npos) << text;
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(authorOf(text), author) << "round " << round;
        Dictionary read;
        ASSERT_TRUE(read.parse(text));
        std::string again;
        read.toText(again);
        EXPECT_EQ(again, text) << "round " << round;
        text = again;
    }
    EXPECT_EQ(authorOf("<dict><file-format value=\"0.7.0\" /><author value=\"\xC3\xA9 &#233;\" /></dict>"),
              "\xC3\xA9 \xC3\xA9");
    EXPECT_EQ(authorOf("<dict><file-format value=\"0.7.0\" /><author value=\"\xC3\xA9\xE9\" /></dict>"),
              "\xC3\x83\xC2\xA9\xC3\xA9");
}

TEST(DictionaryEncoding, AConvertedDocumentDeclaresUTF8) {
    Dictionary document;
    ASSERT_TRUE(document.parse("<?xml version=\"1.0\" encoding=\"windows-1252\" standalone=\"no\" ?><dict><a "
                               "value=\"\xE9\" /></dict>"));
    const std::string saved = document.toDocumentText();
    EXPECT_NE(saved.find("encoding=\"UTF-8\""), std::string::npos) << saved;
    EXPECT_NE(saved.find("standalone=\"no\""), std::string::npos) << saved;
    EXPECT_EQ(saved.find("windows-1252"), std::string::npos) << saved;
}

} // namespace
} // namespace trov
