#include "framework/Dictionary.h"

#include "support/ScopedProduct.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <limits>
#include <locale>
#include <optional>
#include <string>

namespace trov {
namespace {

template <class T> using Getter = bool (Dictionary::*)(const std::string&, T*, int, const std::string&) const;

// What a getter reads, or nothing when it reports nothing found.
template <class T>
std::optional<T> read(const Dictionary& d, Getter<T> get, const std::string& key, int index = 0) {
    T value{};
    if (!(d.*get)(key, &value, index, "value"))
        return std::nullopt;
    return value;
}

std::string text(const Dictionary& dictionary) {
    std::string out;
    dictionary.toText(out);
    return out;
}

TEST(DictionaryValues, StoresNumbersInTheirFixedFormats) {
    Dictionary d;
    d.setFloat("f", 0.5f);
    d.setBool("b", false);
    d.setInteger("i", -3);
    d.setIndex("x", 12);
    d.setDouble("d", 0.1);
    d.setFloat("big", FLT_MAX);
    EXPECT_EQ(d.findEntry("f")->getAttribute("value"), "0.50000000");
    EXPECT_EQ(d.findEntry("b")->getAttribute("value"), "false");
    EXPECT_EQ(d.findEntry("i")->getAttribute("value"), "-3");
    EXPECT_EQ(d.findEntry("x")->getAttribute("value"), "12");
    EXPECT_EQ(d.findEntry("d")->getAttribute("value"), "0.1");
    // The largest float is written in full, never cut off by a small buffer.
    EXPECT_EQ(d.findEntry("big")->getAttribute("value"), "340282346638528859811704183484516925440.00000000");
    EXPECT_EQ(read(d, &Dictionary::getFloat, "big"), FLT_MAX);
}

TEST(DictionaryValues, EveryTypedValueRoundTripsThroughAWrittenDocument) {
    Dictionary d;
    d.writeInfo("TestSampler", "1.2.0");
    d.setString("file-format", "0.7.0");
    d.setBool("On", true);
    d.setInteger("Count", std::numeric_limits<std::int32_t>::min());
    d.setIndex("Slot", 7);
    d.setFloat("Gain", 0.123456789f);
    d.setDouble("Rate", 44100.0 / 3.0);
    d.setString("Label", "line one\nline <two> & \"three\"");
    const std::vector<std::uint8_t> bytes = {0, 1, 2, 250, 255};
    d.setData("Blob", bytes.data(), bytes.size());

    Dictionary back;
    ASSERT_TRUE(back.parse(d.toDocumentText()));
    EXPECT_FALSE(back.readsTypedLayout());
    EXPECT_EQ(read(back, &Dictionary::getBool, "On"), true);
    EXPECT_EQ(read(back, &Dictionary::getLong, "Count"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(read(back, &Dictionary::getIndex, "Slot"), 7);
    EXPECT_NEAR(read(back, &Dictionary::getFloat, "Gain").value_or(0), 0.123456789f, 1e-8f);
    EXPECT_NEAR(read(back, &Dictionary::getDouble, "Rate").value_or(0), 44100.0 / 3.0, 1e-11);
    EXPECT_EQ(read(back, &Dictionary::getString, "Label"), "line one\nline <two> & \"three\"");
    std::vector<std::uint8_t> blob;
    ASSERT_TRUE(back.getData("Blob", &blob));
    EXPECT_EQ(blob, bytes);
    EXPECT_TRUE(back == d);
}

TEST(DictionaryValues, ReadsEveryTypeFromTheTypedLayout) {
    const Dictionary d{std::string("<dict>"
                                   "<bool name=\"On\" value=\"true\" />"
                                   "<integer name=\"Count\" value=\"-12\" display=\"minus twelve\" />"
                                   "<index name=\"Slot\" value=\"3\" />"
                                   "<float name=\"Gain\" value=\"0.25\" display=\"quarter\" />"
                                   "<string name=\"Label\" value=\"two\\\\nlines\" />"
                                   "<integer name=\"Count\" value=\"44\" />"
                                   "<float name=\"Count\" value=\"1.5\" />"
                                   "<Tagged value=\"17\" />"
                                   "</dict>")};
    ASSERT_TRUE(d.readsTypedLayout());
    EXPECT_EQ(read(d, &Dictionary::getBool, "On"), true);
    EXPECT_EQ(read(d, &Dictionary::getLong, "Count"), -12);
    EXPECT_EQ(read(d, &Dictionary::getIndex, "Slot"), 3);
    EXPECT_EQ(read(d, &Dictionary::getFloat, "Gain"), 0.25f);
    EXPECT_EQ(read(d, &Dictionary::getDouble, "Gain"), 0.25);
    EXPECT_EQ(read(d, &Dictionary::getString, "Label"), "two\nlines");
    EXPECT_EQ(read(d, &Dictionary::getIntegerText, "Count"), "-12");
    // The index counts entries of the type and name, not entries of other types.
    EXPECT_EQ(read(d, &Dictionary::getLong, "Count", 1), 44);
    EXPECT_EQ(read(d, &Dictionary::getLong, "Count", 2), std::nullopt);
    // A value under another type's tag is absent for this type.
    EXPECT_EQ(read(d, &Dictionary::getBool, "Gain"), std::nullopt);
    EXPECT_EQ(read(d, &Dictionary::getLong, "Tagged"), std::nullopt);
    EXPECT_EQ(read(d, &Dictionary::getIntegerByTag, "Tagged"), 17);

    std::string display;
    int shown = 0;
    EXPECT_TRUE(d.getIntegerDisplay("Count", &shown, &display));
    EXPECT_EQ(display, "minus twelve");
    float quarter = 0;
    EXPECT_TRUE(d.getFloatDisplay("Gain", &quarter, &display));
    EXPECT_EQ(display, "quarter");
    std::string label;
    EXPECT_TRUE(d.getStringDisplay("Label", &label, &display));
    EXPECT_EQ(display, "quarter") << "an entry without a display leaves it";
}

TEST(DictionaryValues, GettersLeaveTheResultAloneWhenNothingIsFound) {
    const Dictionary d;
    bool on = true;
    std::int32_t count = 9;
    float gain = 2.0f;
    std::string label = "kept";
    std::vector<std::uint8_t> data{1};
    EXPECT_FALSE(d.getBool("x", &on) || d.getLong("x", &count) || d.getFloat("x", &gain) ||
                 d.getString("x", &label) || d.getData("x", &data));
    EXPECT_TRUE(on);
    EXPECT_EQ(count, 9);
    EXPECT_EQ(gain, 2.0f);
    EXPECT_EQ(label, "kept");
    EXPECT_EQ(data.size(), 1u);
    EXPECT_EQ(d.integerValue("x"), -1);
    EXPECT_FALSE(d.boolValue("x"));
    EXPECT_EQ(d.stringValue("x"), "");
}

TEST(DictionaryValues, ConvertsTextsAsTheStoredFormatsDefine) {
    Dictionary d{std::string("<dict><file-format value=\"0.7\" />"
                             "<b1 value=\"TRUE\" /><b2 value=\"1\" /><b3 value=\"true\" />"
                             "<i1 value=\"  42abc\" /><i2 value=\"abc\" /><i3 value=\"99999999999\" />"
                             "<i4 value=\"-99999999999\" /><f1 value=\" 2.5e1x\" /><f2 value=\"x\" />"
                             "<s1 value=\"a\\\\nb\" /><s2 value=\"a\\nb\" /></dict>")};
    EXPECT_FALSE(d.boolValue("b1"));
    EXPECT_FALSE(d.boolValue("b2"));
    EXPECT_TRUE(d.boolValue("b3"));
    EXPECT_EQ(d.integerValue("i1"), 42);
    EXPECT_EQ(d.integerValue("i2"), 0);
    EXPECT_EQ(d.integerValue("i3"), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(d.integerValue("i4"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(read(d, &Dictionary::getFloat, "f1"), 25.0f);
    EXPECT_EQ(read(d, &Dictionary::getFloat, "f2"), 0.0f);
    EXPECT_EQ(d.stringValue("s1"), "a\nb");
    EXPECT_EQ(d.stringValue("s2"), "a\\nb");
}

TEST(DictionaryValues, FindsAnAttributeOfTheDictionaryBeforeAnyEntryAndTextWithoutValue) {
    Dictionary d{std::string("<dict Gain=\"3\"><file-format value=\"0.7\" /><Gain value=\"4\" />"
                             "<Text>from text</Text><s>  two  spaces\n </s></dict>")};
    EXPECT_EQ(d.integerValue("Gain"), 3);
    EXPECT_EQ(d.stringValue("Text"), "from text");
    EXPECT_EQ(d.stringValue("s"), "  two  spaces\n ") << "white space inside texts is kept";
    int value = 0;
    EXPECT_TRUE(d.getInteger("Gain", &value, 0, "missing"));
    EXPECT_EQ(value, 3);
}

TEST(DictionaryValues, ReplacesOrAppendsEntries) {
    Dictionary d;
    d.setInteger("v", 1);
    d.setInteger("v", 2, 1, false);
    EXPECT_EQ(read(d, &Dictionary::getInteger, "v", 1), 2);
    EXPECT_EQ(d.integerValue("v"), 1);
    d.setInteger("v", 5, 1);
    EXPECT_EQ(text(d), "<dict><v index=\"0\" value=\"1\" /><v index=\"1\" value=\"5\" /></dict>");

    d.setString("s", "first");
    d.setString("s", "second", 3, false);
    d.setString("s", "changed", 1);
    EXPECT_EQ(d.count("s"), 2);
    EXPECT_EQ(read(d, &Dictionary::getString, "s", 1), "second");
    EXPECT_EQ(d.stringValue("s"), "changed");
}

TEST(DictionaryValues, StreamValuesAreWrittenInTheLayoutTheViewReads) {
    Dictionary typed{std::string("<dict><bool name=\"Mute\" value=\"0\" /></dict>")};
    ASSERT_TRUE(typed.setValue<bool>("Mute", true));
    ASSERT_TRUE(typed.setValue<std::int32_t>("Steps", 12));
    ASSERT_TRUE(typed.setValue<float>("Level", 0.75f));
    EXPECT_EQ(text(typed),
              "<dict><bool name=\"Mute\" value=\"1\" /><integer name=\"Steps\" index=\"0\" value=\"12\" />"
              "<float name=\"Level\" index=\"0\" value=\"0.75\" /></dict>");
    EXPECT_TRUE(Dictionary::getEntryValue<bool>(typed, "Mute"));
    EXPECT_EQ(Dictionary::getEntryValue<std::int32_t>(typed, "Steps"), 12);
    EXPECT_EQ(Dictionary::getEntryValue<float>(typed, "Level"), 0.75f);
    EXPECT_EQ(Dictionary::getEntryValue<float>(typed, "Missing"), 0.0f);

    Dictionary named;
    named.setValue<bool>("Mute", false);
    EXPECT_EQ(text(named), "<dict><Mute index=\"0\" value=\"0\" /></dict>");
    EXPECT_STREQ(Dictionary::typeName<double>(), "float");
}

TEST(DictionaryValues, NumbersIgnoreTheProcessLocale) {
    const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8"};
    const char* found = nullptr;
    for (const char* name : names)
        if (std::setlocale(LC_ALL, name) != nullptr) {
            found = name;
            break;
        }
    if (found == nullptr)
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    std::locale::global(std::locale(found));
    Dictionary d{std::string("<dict><file-format value=\"0.7\" /><g value=\"0.25\" /></dict>")};
    d.setFloat("f", 0.5f);
    d.setDouble("d", 1.5);
    d.setValue<float>("s", 2.5f);
    const std::optional<float> g = read(d, &Dictionary::getFloat, "g");
    const float streamed = Dictionary::getEntryValue<float>(d, "g");
    const std::string written = text(d);
    std::setlocale(LC_ALL, "C");
    std::locale::global(std::locale::classic());
    EXPECT_EQ(g, 0.25f);
    EXPECT_EQ(streamed, 0.25f);
    EXPECT_NE(written.find("value=\"0.50000000\""), std::string::npos) << written;
    EXPECT_NE(written.find("value=\"1.5\""), std::string::npos) << written;
    EXPECT_NE(written.find("value=\"2.5\""), std::string::npos) << written;
}

TEST(DictionaryValues, WritesAndReadsTheCreatorRecord) {
    Dictionary d;
    EXPECT_TRUE(d.writeInfo("TestSampler", "1.2.0"));
    std::string creator = "none";
    std::string version = "none";
    d.readInfo(&creator, &version);
    EXPECT_EQ(creator + " " + version, "TestSampler 1.2.0");
    Dictionary().readInfo(&creator, &version);
    EXPECT_EQ(creator, "TestSampler") << "nothing to read leaves the texts";
}

TEST(DictionaryCompatibility, RefusesDocumentsOfUnknownOrOtherCreatorsAndNewerMajorFormats) {
    test::ScopedProduct product;
    const std::pair<const char*, std::string> cases[] = {
        {"<dict><file-format value=\"0.7.0\" /></dict>",
         "These settings were created by an unknown plugin and cannot be loaded.\n\n"
         "<dict><file-format value=\"0.7.0\" /></dict>"},
        {"<dict><info creator=\"Other\" version=\"2.0\" /></dict>",
         "These settings were created by Other and cannot be loaded.\n\n"
         "<dict><info creator=\"Other\" version=\"2.0\" /></dict>"},
        {"<dict><info creator=\"Sampler\" version=\"9.0\" /><file-format value=\"1.0\" /></dict>",
         "These settings were created by an older version of Sampler and cannot be loaded.\n"
         "(Format is 1.0, this plugin requires 0.7 or newer.)"},
    };
    for (const auto& [xml, refusal] : cases) {
        Dictionary d{std::string(xml)};
        std::string message;
        EXPECT_FALSE(d.checkCompatibility(message)) << xml;
        EXPECT_EQ(message, refusal);
    }
}

TEST(DictionaryCompatibility, AcceptsThisProductsFormatsAndLeavesTheMessage) {
    test::ScopedProduct product;
    for (const char* xml :
         {"<dict><info creator=\"Sampler\" version=\"1.2.0\" /><file-format value=\"0.7.0\" /></dict>",
          "<dict><info creator=\"Sampler\" version=\"1.0\" /></dict>",
          "<dict><info creator=\"Sampler\" version=\"1.0\" /><string name=\"file-format\" value=\"0.5\" "
          "/></dict>"}) {
        Dictionary d{std::string(xml)};
        std::string message = "untouched";
        EXPECT_TRUE(d.checkCompatibility(message)) << xml;
        EXPECT_EQ(message, "untouched");
    }
}

} // namespace
} // namespace trov
