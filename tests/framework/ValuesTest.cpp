// Small value types: versions, ranges, chunk codes, text utilities.
#include "framework/FourCC.h"
#include "framework/Range.h"
#include "framework/StringUtils.h"
#include "framework/TextParser.h"
#include "framework/Version.h"

#include <gtest/gtest.h>

using namespace trov;

TEST(Version, ParsesDottedTextWithMissingAndOddParts) {
    EXPECT_EQ(Version("0.7.0"), Version(0, 7, 0, 0));
    EXPECT_EQ(Version("1.2b3"), Version(1, 2, 3, 0));
    EXPECT_EQ(Version("2"), Version(2, 0, 0, 0));
    EXPECT_EQ(Version(""), Version(0, 0, 0, 0));
    EXPECT_EQ(Version("1.2.3.4.5"), Version(1, 2, 3, 4));
    EXPECT_EQ(Version("300.1"), Version(44, 1, 0, 0)); // low eight bits
    EXPECT_EQ(Version("99999999999999999999.1").getPart(1), 1);
}

TEST(Version, PrintsAtLeastTwoPartsAndUpToTheLastNonZero) {
    EXPECT_EQ(Version(0, 7, 0, 0).toString(), "0.7");
    EXPECT_EQ(Version(1, 0, 0, 0).toString(), "1.0");
    EXPECT_EQ(Version(1, 2, 3, 0).toString(), "1.2.3");
    EXPECT_EQ(Version(1, 0, 0, 4).toString(), "1.0.0.4");
    EXPECT_EQ(Version(1, 10, 0, 0).toString(), "1.10");
}

TEST(Version, PacksBigEndianForTheHost) {
    EXPECT_EQ(Version("1.2.3.4").toInteger(), 0x01020304u);
}

TEST(Version, ComparesPartByPartNotLexicographically) {
    EXPECT_TRUE(Version("0.6") < Version("0.7.0"));
    EXPECT_FALSE(Version("1.0") < Version("0.9"));
    EXPECT_FALSE(Version("1.0") >= Version("0.9"));
    EXPECT_TRUE(Version("0.7") == Version("0.7.0.0"));
    EXPECT_TRUE(Version("0.7.0").isAtLeast(Version("0.9"), 1));
    EXPECT_FALSE(Version("0.7.0").isAtLeast(Version("1.0"), 1));
    EXPECT_TRUE(Version("0.7") <= Version("0.7"));
    EXPECT_FALSE(Version("0.7") < Version("0.7"));
}

TEST(Range, ContainsItsBoundsOverlapsWhenSharingAValueAndAnEmptyRangeNothing) {
    const KeyRange one(36, 36);
    EXPECT_TRUE(one.contains(36));
    EXPECT_FALSE(one.contains(35) || one.contains(37));
    const KeyRange empty(36, 35);
    EXPECT_FALSE(empty.contains(35) || empty.contains(36));
    EXPECT_FALSE(empty.overlaps(KeyRange(0, 127)) || KeyRange(0, 127).overlaps(empty));
    EXPECT_TRUE(KeyRange(0, 10).overlaps(KeyRange(10, 20)));
    EXPECT_FALSE(KeyRange(0, 9).overlaps(KeyRange(10, 20)));
    EXPECT_TRUE(KeyRange(5, 6).overlaps(KeyRange(0, 127)));
    EXPECT_TRUE(KeyRange(0, 1) != KeyRange(0, 2));
    EXPECT_FALSE(KeyRange(0, 1) != KeyRange(0, 1));
}

TEST(FourCC, KeepsFourBytesAndPadsShortTexts) {
    EXPECT_EQ(FourCC("fmt "), chunk::kFormat);
    EXPECT_NE(FourCC("fmt "), FourCC("fmt"));
    EXPECT_EQ(FourCC("fmt").toString(), std::string("fmt\0", 4));
    EXPECT_EQ(FourCC("datax"), FourCC("data"));
    EXPECT_EQ(FourCC::fromBytes("smpl"), chunk::kSampler);
    EXPECT_EQ(FourCC(""), FourCC());
}

TEST(StringUtils, ReplaceAllIsLeftToRightAndDoesNotRescan) {
    EXPECT_EQ(replaceAll("xaxa", "a", "bb"), "xbbxbb");
    EXPECT_EQ(replaceAll("xaxa", "a", "b"), "xbxb");
    EXPECT_EQ(replaceAll("xaxa", "a", "ab"), "xabxab");
    EXPECT_EQ(replaceAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(replaceAll("abc", "", "x"), "abc");
}

TEST(StringUtils, HexToIntegerReadsLeadingDigits) {
    EXPECT_EQ(hexToInteger("ff"), 255);
    EXPECT_EQ(hexToInteger("FF"), 255);
    EXPECT_EQ(hexToInteger("1g2"), 1);
    EXPECT_EQ(hexToInteger(""), 0);
    EXPECT_EQ(hexToInteger("#ff"), 0);
    EXPECT_EQ(hexToInteger("ffffffff"), -1);
}

TEST(StringUtils, AReasonEndsASentenceWithOneMark) {
    EXPECT_EQ(asSentence("it does not exist"), "it does not exist.");
    EXPECT_EQ(asSentence("it ends early."), "it ends early.");
    EXPECT_EQ(asSentence("what?"), "what?");
    EXPECT_EQ(asSentence("no!"), "no!");
    EXPECT_EQ(asSentence(""), ".");
}

TEST(StringUtils, UnescapesStoredNewlines) {
    EXPECT_EQ(unescapeNewlines("a\\\\nb\\\\n"), "a\nb\n");
    EXPECT_EQ(unescapeNewlines("a\\nb"), "a\\nb");
}

TEST(StringUtils, TranslatesInPassesAndFiltersBySet) {
    EXPECT_EQ(translateCharacters("abcab", "ab", "x"), "xxcxx");
    EXPECT_EQ(translateCharacters("ab", "ab", "bc"), "cc"); // the second pass sees the first one's output
    EXPECT_EQ(toUpperCase("Cutoff 1"), "CUTOFF 1");
    EXPECT_EQ(toLowerCase("Cutoff 1"), "cutoff 1");
    EXPECT_EQ(filterCharacters("My Patch. (v2)!", kFilterAlphanumeric), "MyPatchv2");
    EXPECT_EQ(filterCharacters("My Patch. (v2)!#", kFilterName), "My Patch. (v2)!");
    EXPECT_EQ(filterCharacters("a b?c=d&e#", kFilterUrl), "ab?c=d&e");
}

TEST(TextParser, ReportsAKeywordCompletedByAnOverlappingMatch) {
    TextParser parser;
    parser.addKeyword("abc");
    EXPECT_EQ(parser.feed('a'), "");
    EXPECT_EQ(parser.feed('a'), "");
    EXPECT_EQ(parser.feed('b'), "");
    EXPECT_EQ(parser.feed('c'), "abc");
    EXPECT_EQ(parser.feed('c'), "");
}

TEST(TextParser, FollowsSeveralKeywordsAndReportsOnePerCall) {
    TextParser none;
    EXPECT_EQ(none.feed('a'), "") << "without keywords nothing is reported";
    TextParser parser;
    parser.addKeyword("xy");
    parser.addKeyword("yz");
    EXPECT_EQ(parser.feed('x'), "");
    EXPECT_EQ(parser.feed('y'), "xy");
    EXPECT_EQ(parser.feed('z'), "yz");

    TextParser both;
    both.addKeyword("ab");
    both.addKeyword("cb");
    both.feed('a');
    both.feed('c'); // breaks "ab" but starts "cb"
    EXPECT_EQ(both.feed('b'), "cb");

    TextParser same;
    same.addKeyword("ab");
    same.addKeyword("b");
    same.addKeyword("xab");
    same.feed('x');
    same.feed('a');
    EXPECT_EQ(same.feed('b'), "ab");
    EXPECT_EQ(same.feed('q'), "b");
    EXPECT_EQ(same.feed('q'), "xab");
    EXPECT_EQ(same.feed('q'), "");
}
