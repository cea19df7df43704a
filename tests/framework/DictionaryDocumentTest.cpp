#include "framework/Dictionary.h"
#include "framework/DictionaryXml.h"

#include "support/LogCapture.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace trov {
namespace {

std::string text(const Dictionary& dictionary) {
    std::string out;
    dictionary.toText(out);
    return out;
}

std::string nested(int depth) {
    std::string xml;
    for (int i = 0; i < depth; ++i)
        xml += "<a>";
    for (int i = 0; i < depth; ++i)
        xml += "</a>";
    return xml;
}

std::size_t elementsOf(const TiXmlNode& node) {
    std::size_t count = node.ToElement() != nullptr ? 1 : 0;
    for (const TiXmlNode* child = node.FirstChild(); child != nullptr; child = child->NextSibling())
        count += elementsOf(*child);
    return count;
}

TEST(DictionaryDocument, NewDictionaryPrintsDeclarationAndEmptyDictRoot) {
    Dictionary dictionary;
    EXPECT_EQ(dictionary.toDocumentText(), "<?xml version=\"1.0\" standalone=\"no\" ?>\n<dict />\n");
    EXPECT_EQ(text(dictionary), "<dict />");
}

TEST(DictionaryDocument, WritesEntriesAsElementsNamedAfterTheirKeys) {
    Dictionary dictionary;
    dictionary.writeInfo("TestSampler", "1.2.0");
    dictionary.setString("file-format", "0.7.0");
    dictionary.setFloat("Cutoff", 0.5f);
    Dictionary::View programs = dictionary.addArray("programs");
    Dictionary::View program = programs->addDictionary("program");
    program->setBool("Loop", false, 1);
    program->setInteger("Offset", -3);
    EXPECT_EQ(
        text(dictionary),
        "<dict><info creator=\"TestSampler\" version=\"1.2.0\" /><file-format value=\"0.7.0\" />"
        "<Cutoff index=\"0\" value=\"0.50000000\" /><programs><program><Loop index=\"1\" value=\"false\" />"
        "<Offset index=\"0\" value=\"-3\" /></program></programs></dict>");
    EXPECT_EQ(
        dictionary.toDocumentText(),
        "<?xml version=\"1.0\" standalone=\"no\" ?>\n<dict>\n"
        "    <info creator=\"TestSampler\" version=\"1.2.0\" />\n    <file-format value=\"0.7.0\" />\n"
        "    <Cutoff index=\"0\" value=\"0.50000000\" />\n    <programs>\n        <program>\n"
        "            <Loop index=\"1\" value=\"false\" />\n            <Offset index=\"0\" value=\"-3\" />\n"
        "        </program>\n    </programs>\n</dict>\n");
}

TEST(DictionaryDocument, RefusesKeysThatWouldNotReadBackAsElementNames) {
    Dictionary dictionary;
    EXPECT_FALSE(dictionary.setFloat("two words", 1.0f));
    EXPECT_FALSE(dictionary.setString("", "x"));
    EXPECT_FALSE(dictionary.addDictionary("1st"));
    EXPECT_FALSE(dictionary.setName("a<b"));
    EXPECT_TRUE(dictionary.setInteger("_ok-1.2:x", 1));
    EXPECT_EQ(text(dictionary), "<dict><_ok-1.2:x index=\"0\" value=\"1\" /></dict>");
}

TEST(DictionaryDocument, DetectsTheLayoutFromTheFileFormat) {
    const struct {
        const char* xml;
        bool typed;
    } cases[] = {
        {"<dict><file-format value=\"0.5\" /></dict>", true},
        {"<dict><file-format value=\"0.7.0\" /></dict>", false},
        {"<dict><file-format value=\"1.0\" /></dict>", false},
        {"<dict><file-format value=\"0.6\" /></dict>", false},
        {"<dict><string name=\"x\" value=\"y\" /></dict>", true},
        {"<settings />", false},
    };
    for (const auto& c : cases) {
        Dictionary dictionary{std::string(c.xml)};
        EXPECT_EQ(dictionary.readsTypedLayout(), c.typed) << c.xml;
    }
}

TEST(DictionaryDocument, StandsOnTheDocumentWhenTheRootIsNotDict) {
    Dictionary dictionary{std::string("<?xml version=\"1.0\" ?><settings><a value=\"1\" /></settings>")};
    ASSERT_TRUE(dictionary.isValid());
    EXPECT_EQ(dictionary.getName(), "");
    Dictionary::View settings = dictionary.getElement("settings");
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->integerValue("a"), 1);
}

TEST(DictionaryDocument, FollowsPathsSplitAtSlashesAndBackslashes) {
    Dictionary dictionary{
        std::string("<dict><file-format value=\"0.7\" /><a><b><c><v value=\"7\" /></c></b></a></dict>")};
    Dictionary::View c = dictionary.getDictionary("a/b\\c");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->integerValue("v"), 7);
    Dictionary::View same = dictionary.getDictionary("");
    ASSERT_TRUE(same);
    EXPECT_EQ(*same, dictionary);
    EXPECT_FALSE(dictionary.getDictionary("a/x/c"));

    Dictionary typed{std::string(
        "<dict><dict name=\"a\"><dict name=\"b\"><integer name=\"v\" value=\"9\" /></dict></dict></dict>")};
    Dictionary::View b = typed.getDictionary("a/b");
    ASSERT_TRUE(b);
    EXPECT_EQ(b->integerValue("v"), 9);
}

TEST(DictionaryDocument, ChildViewKeepsTheDocumentAfterItsParentIsGone) {
    Dictionary::View child;
    {
        Dictionary parent{
            std::string("<dict><file-format value=\"0.7\" /><inner><v value=\"5\" /></inner></dict>")};
        child = parent.getDictionary("inner");
        EXPECT_TRUE(parent.isShared());
    }
    ASSERT_TRUE(child);
    EXPECT_EQ(child->integerValue("v"), 5);
    EXPECT_FALSE(child->isShared());
}

TEST(DictionaryDocument, ViewsShareOneDocumentAndReplacingItLeavesTheOtherViewsOnTheOldOne) {
    Dictionary dictionary{
        std::string("<dict><file-format value=\"0.7\" /><inner><v value=\"5\" /></inner></dict>")};
    Dictionary::View inner = dictionary.getDictionary("inner");
    Dictionary copy = dictionary;
    copy.setInteger("w", 3);
    EXPECT_EQ(dictionary.integerValue("w"), 3);

    copy.clear();
    EXPECT_EQ(text(copy), "<dict />");
    EXPECT_FALSE(copy.isShared());
    EXPECT_EQ(dictionary.integerValue("v") + inner->integerValue("v"), -1 + 5);

    ASSERT_TRUE(inner->parse("<dict><file-format value=\"0.7\" /><v value=\"6\" /></dict>"));
    EXPECT_EQ(inner->integerValue("v"), 6);
    EXPECT_EQ(dictionary.getDictionary("inner")->integerValue("v"), 5);

    Dictionary other;
    other.setInteger("z", 1);
    dictionary.copyFrom(other);
    EXPECT_EQ(text(dictionary), "<dict><z index=\"0\" value=\"1\" /></dict>");
    EXPECT_EQ(inner->integerValue("v"), 6);
}

TEST(DictionaryDocument, ViewsDyingOnSeveralThreadsAtOnceFreeTheDocumentOnce) {
    for (int round = 0; round < 200; ++round) {
        auto* root = new Dictionary(std::string("<dict><file-format value=\"0.7\" /><a /><b /><c /></dict>"));
        std::vector<Dictionary::View> views;
        for (const char* key : {"a", "b", "c"})
            views.push_back(root->getElement(key));
        std::atomic<bool> go{false};
        std::vector<std::thread> threads;
        for (auto& view : views)
            threads.emplace_back([&go, v = std::move(view)]() mutable {
                while (!go.load())
                    std::this_thread::yield();
                v.reset();
            });
        threads.emplace_back([&go, root] {
            while (!go.load())
                std::this_thread::yield();
            delete root;
        });
        go = true;
        for (auto& thread : threads)
            thread.join();
    }
}

TEST(DictionaryDocument, CountsTextNodesWhenNoTagIsGiven) {
    Dictionary dictionary{std::string("<dict>text<a /><!-- note --><a /><b /></dict>")};
    EXPECT_EQ(dictionary.count(""), 5);
    EXPECT_EQ(dictionary.count("a"), 2);
    EXPECT_EQ(dictionary.getChild(0, "")->getName(), "");
    EXPECT_TRUE(dictionary.getChild(1, "a"));
    EXPECT_FALSE(dictionary.getChild(2, "a"));
}

// A saved document is indented: text among the entries would take that indentation in when read again
// and grow with every save. Text that is an entry's whole content keeps its white space.
TEST(DictionaryDocument, TextAmongEntriesIsSavedTheSameEveryTime) {
    Dictionary first{std::string("<dict><file-format value=\"0.7.0\" /><a value=\"1\" />\n  stray &#x0A;text "
                                 "\t<b value=\"2\" />tail<c> kept "
                                 "</c></dict>")};
    ASSERT_TRUE(first.isValid());
    EXPECT_EQ(first.count(""), 6);
    const std::string once = first.toDocumentText();
    std::string saved = once;
    for (int round = 0; round < 3; ++round) {
        Dictionary read;
        ASSERT_TRUE(read.parse(saved));
        EXPECT_EQ(read.count(""), 6);
        EXPECT_EQ(read.getChild(2, "")->getName(), "") << "the text is still there";
        std::string kept;
        EXPECT_TRUE(read.getString("c", &kept));
        EXPECT_EQ(kept, " kept ");
        saved = read.toDocumentText();
        EXPECT_EQ(saved, once) << "round " << round;
    }
    EXPECT_NE(once.find("stray &#x0A;text"), std::string::npos) << once;
}

// The parser takes declarations anywhere and with any values, but writes their values back as they stand:
// one inside an element is dropped (the text around it becomes one), and a document's declaration keeps
// only the values it can write back, so that such a document too is saved the same every time.
TEST(DictionaryDocument, StrayDeclarationsAreSavedTheSameEveryTime) {
    Dictionary first{
        std::string("<?xml version='1\"0' encoding=\"UTF-8\" ?><dict><file-format value=\"0.7.0\" "
                    "/>x<?xml version=\"&quot;&amp;\"?>y<a value=\"1\" /></dict>")};
    ASSERT_TRUE(first.isValid());
    EXPECT_EQ(first.count(""), 3);
    std::string value;
    EXPECT_TRUE(first.getString("a", &value));
    const std::string once = first.toDocumentText();
    EXPECT_EQ(once.find("version"), std::string::npos) << once;
    EXPECT_NE(once.find("xy"), std::string::npos) << once;
    std::string saved = once;
    for (int round = 0; round < 3; ++round) {
        Dictionary read;
        ASSERT_TRUE(read.parse(saved));
        saved = read.toDocumentText();
        EXPECT_EQ(saved, once) << "round " << round;
    }
}

TEST(DictionaryDocument, KnowsWhetherAViewStandsOnAnElement) {
    // A nameless typed entry is an element; text, comments, character data and processing instructions
    // are not, whatever their text looks like.
    Dictionary dictionary{std::string("<dict>text<string value=\"a\" /><!-- note --><![CDATA[<b/>]]>"
                                      "<?pi x?><!DOCTYPE d><c /></dict>")};
    std::vector<bool> elements;
    for (int i = 0; i < dictionary.count(""); ++i)
        elements.push_back(dictionary.getChild(i, "")->hasElement());
    EXPECT_EQ(elements, (std::vector<bool>{false, true, false, false, false, false, true}));
    EXPECT_TRUE(dictionary.hasElement());
}

TEST(DictionaryDocument, ComparesChildCountAndCompactText) {
    Dictionary a{std::string("<dict><x value=\"1\" /></dict>")};
    Dictionary b{std::string("<dict>\n  <x value=\"1\" />\n</dict>")};
    Dictionary c{std::string("<dict><x value=\"2\" /></dict>")};
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a == c);
    EXPECT_FALSE(Dictionary() == a);
}

TEST(DictionaryDocument, CopiesDeeplyAndKeepsTheLayout) {
    Dictionary typed{std::string("<dict><dict name=\"a\"><integer name=\"v\" value=\"4\" /></dict></dict>")};
    Dictionary copy;
    copy.copyFrom(*typed.getDictionary("a"));
    EXPECT_TRUE(copy.readsTypedLayout());
    EXPECT_EQ(copy.integerValue("v"), 4);
    EXPECT_EQ(copy.toDocumentText(), "<?xml version=\"1.0\" standalone=\"no\" ?>\n<dict name=\"a\">\n"
                                     "    <integer name=\"v\" value=\"4\" />\n</dict>\n");
    copy.setAttribute("integer", "value", "8");
    EXPECT_EQ(typed.getDictionary("a")->integerValue("v"), 4);

    copy.copyFrom(copy);
    EXPECT_EQ(copy.integerValue("v"), 8);
}

TEST(DictionaryDocument, AppendsDeepCopiesOfOtherViews) {
    Dictionary target;
    Dictionary source;
    source.addDictionary("part")->setInteger("v", 1);
    Dictionary::View part = source.getElement("part");
    EXPECT_TRUE(target.appendChild(*part));
    EXPECT_TRUE(part->appendTo(target));
    part->setInteger("v", 2);
    EXPECT_EQ(
        text(target),
        "<dict><part><v index=\"0\" value=\"1\" /></part><part><v index=\"0\" value=\"1\" /></part></dict>");
}

TEST(DictionaryDocument, ReadsArraysInBothLayouts) {
    Dictionary named{std::string("<dict><file-format value=\"0.7\" /><zones><zone><id value=\"a\" /></zone>"
                                 "<zone><id value=\"b\" /></zone></zones></dict>")};
    EXPECT_EQ(named.getArraySize("zones"), 2);
    EXPECT_EQ(named.getArrayItem("zones", 1)->stringValue("id"), "b");
    EXPECT_FALSE(named.getArrayItem("zones", 2));
    EXPECT_EQ(named.getArrayDictionary("zones", "zone")->stringValue("id"), "a");
    EXPECT_EQ(named.getArraySize("missing"), 0);

    Dictionary typed{std::string(
        "<dict><array name=\"zones\"><dict name=\"first\"><string name=\"id\" value=\"a\" /></dict>"
        "<dict name=\"second\"><string name=\"id\" value=\"b\" /></dict></array></dict>")};
    EXPECT_EQ(typed.getArraySize("zones"), 2);
    EXPECT_EQ(typed.getArrayDictionary("zones", "second")->stringValue("id"), "b");
    EXPECT_EQ(typed.getArrayItem("zones", 0)->getName(), "first");
}

TEST(DictionaryDocument, FindsEntriesAndKeysByLayout) {
    Dictionary named{std::string(
        "<dict gain=\"2\"><file-format value=\"0.7\" /><a value=\"1\" /><b>text</b><c /></dict>")};
    EXPECT_EQ(named.findEntry("a")->getAttribute("value"), "1");
    EXPECT_TRUE(named.hasKey("gain"));
    EXPECT_TRUE(named.hasKey("a"));
    EXPECT_TRUE(named.hasKey("b"));
    EXPECT_FALSE(named.hasKey("c"));

    Dictionary typed{std::string("<dict><float name=\"a\" value=\"1\" /></dict>")};
    EXPECT_EQ(typed.findEntry("a")->getAttribute("value"), "1");
    EXPECT_FALSE(typed.hasKey("a"));
}

TEST(DictionaryDocument, MalformedTextLeavesAnEmptyDocumentAndIsLogged) {
    test::LogCapture log(3);
    const char* broken[] = {
        "",
        "   ",
        "<dict><a value=\"1\" />",             // truncated
        "<dict><a value=\"1\"></b></dict>",    // mismatched end tag
        "<dict a=\"1\" a=\"2\"><b /></dict>",  // duplicate attribute on the root
        "<?xml version=\"1.0",                 // cut-off declaration
        "<dict><a value=\"&#xZZ;\" /></dict>", // broken character reference
    };
    for (const char* xml : broken) {
        Dictionary dictionary;
        dictionary.setInteger("kept", 1);
        EXPECT_FALSE(dictionary.parse(xml)) << xml;
        EXPECT_EQ(text(dictionary), "<dict />") << xml;
        EXPECT_TRUE(dictionary.isValid());
    }
    EXPECT_EQ(log.count("bool trov::Dictionary::parse(const std::string&): "), 7);
}

TEST(DictionaryDocument, RefusesDocumentsNestedTooDeeplyForTheParser) {
    Dictionary deep;
    EXPECT_FALSE(deep.parse(nested(200000)));
    EXPECT_EQ(text(deep), "<dict />");
    // Quoting, comments and character data cannot hide levels from the guard.
    std::string sneaky = "<dict x='</a></a>'><!-- </a> --><![CDATA[</a>]]>" + nested(100000) + "</dict>";
    EXPECT_FALSE(deep.parse(sneaky));
    EXPECT_TRUE(deep.parse("<dict>" + nested(200) + "</dict>"));
    EXPECT_EQ(deep.count("a"), 1);
}

TEST(DictionaryDocument, AnEncodingThatReadsAsEmptyCannotHideNestingBehindAByteOrderMark) {
    // A character reference to NUL ends the declared encoding's name: the parser reads it as empty, which
    // means UTF-8, and so skips the byte-order mark after the declaration as white space.
    for (const char* encoding : {"&#;", "&#0;", "&#x0;", "&#0;latin1"}) {
        const std::string head =
            std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?>\xEF\xBB\xBF";
        Dictionary deep;
        EXPECT_FALSE(deep.parse(head + "<dict>" + nested(100000) + "</dict>")) << encoding;
        EXPECT_TRUE(deep.parse(head + "<dict>" + nested(3) + "</dict>")) << encoding;
        EXPECT_EQ(deep.count("a"), 1) << encoding;
    }
}

TEST(DictionaryDocument, GuardCountsTheElementsTheParserBuildsWhateverTheDeclaredEncoding) {
    const char* declarations[] = {"",
                                  "<?xml version=\"1.0\"?>",
                                  "<?xml encoding=\"UTF-8\"?>",
                                  "<?xml encoding='utf8'?>",
                                  "<?xml encoding=\"latin1\"?>",
                                  "<?xml encoding=\"&#;\"?>",
                                  "<?xml encoding=\"&#0;x\"?>",
                                  "<?xml encoding=\"latin1\" encoding\"?>",
                                  "<?xml encoding=\"latin1\" encoding=\"\"?>",
                                  "<?xml encoding=\"\" encoding=\"latin1\"?>"};
    // A byte-order mark is white space in UTF-8 only, and there a lead byte takes the bytes after it
    // whatever they are, a closing quote or "<" included; entities may reach past a quote.
    const char* bodies[] = {"\xEF\xBB\xBF<a><b/><c/></a>",
                            "<a>\xEF\xBB\xBF<b/></a>",
                            "<a>\xC3<b/>x</a>",
                            "<a x=\"ab\xC3\"><b/></a>",
                            "<a x=\"\xE0\xA0\"y\"><b/></a>",
                            "<a x='\xF0\x61\x62'c'><b/></a>",
                            "<a x=\"\xF0\x61\x62\x63\"><b/></a>",
                            "<a x=\"\xC3\xA9\"><b/></a>",
                            "<a x=\"&amp;&#65;\"><b/></a>",
                            "<a x=\"&#1\" y=\"2;\"><b/></a>",
                            "<a x=\"&#x\"><b/></a>",
                            "<a x=\"plain\" y='also plain'><b/><c z=\"\"/></a>",
                            "<a x=\"unterminated"};
    dictionary_xml::prepareXml();
    for (const char* declaration : declarations)
        for (const char* body : bodies) {
            const std::string xml = std::string(declaration) + body;
            std::string padded = xml + std::string(dictionary_xml::kPadding, '\0');
            const dictionary_xml::XmlShape shape = dictionary_xml::measureXml(padded.c_str());
            TiXmlDocument document;
            document.Parse(padded.c_str());
            EXPECT_EQ(shape.elements, elementsOf(document)) << xml;
        }
}

TEST(DictionaryDocument, RefusesElementsWithTooManyAttributes) {
    std::string xml = "<dict";
    for (int i = 0; i < 50000; ++i)
        xml += " a" + std::to_string(i) + "='1'";
    xml += " />";
    Dictionary dictionary;
    EXPECT_FALSE(dictionary.parse(xml));
    EXPECT_TRUE(dictionary.parse("<dict a='1' b='2' />"));
    EXPECT_EQ(dictionary.integerValue("b"), 2);
}

} // namespace
} // namespace trov
