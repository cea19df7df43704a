#include "framework/Color.h"
#include "framework/Font.h"
#include "framework/NoteNames.h"
#include "framework/Point.h"
#include "framework/Rect.h"

#include <gtest/gtest.h>

using namespace trov;

TEST(Rect, SizeConstructorNormalisesWhileTheTwoPointConstructorKeepsTheCorners) {
    EXPECT_EQ(Rect(10, 10, -4, 6), Rect(Point(6, 10), Point(10, 16)));
    EXPECT_EQ(Rect(5, 5, 3, -2), Rect(Point(5, 3), Point(8, 5)));
    const Rect raw(Point(10, 10), Point(6, 16));
    EXPECT_EQ(raw.left, 10);
    EXPECT_EQ(raw.right, 6);
    EXPECT_TRUE(raw.isEmpty());
}

TEST(Rect, EdgesCountAsInsideAndTouchingRectanglesIntersectInAnEmptyOne) {
    const Rect r(0, 0, 10, 10);
    EXPECT_TRUE(r.contains(Point(10, 10)));
    EXPECT_TRUE(r.contains(Point(0, 10)));
    EXPECT_FALSE(r.contains(Point(11, 5)));
    EXPECT_TRUE(r.contains(Rect(2, 2, 8, 8)));
    EXPECT_FALSE(r.contains(Rect(2, 2, 9, 8)));
    const Rect touching(10, 0, 10, 10);
    EXPECT_TRUE(r.intersects(touching));
    EXPECT_EQ(r.intersection(touching), Rect(Point(10, 0), Point(10, 10)));
    EXPECT_FALSE(r.intersects(Rect(11, 0, 5, 5)));
}

TEST(Rect, UniteTreatsOnlyTheAllZeroRectangleAsNone) {
    const Rect r(Point(5, 5), Point(8, 8));
    EXPECT_EQ(Rect().unite(r), r);
    EXPECT_EQ(r.unite(Rect()), r);
    EXPECT_EQ(Rect(Point(0, 0), Point(4, 4)).unite(r), Rect(Point(0, 0), Point(8, 8)));
}

TEST(Rect, ConstrainsCentresMovesInsetsAndScales) {
    Rect wide(-20, 10, 300, 50);
    wide.constrainTo(Rect(Point(0, 0), Point(200, 100))); // cut, then moved inside
    EXPECT_EQ(wide, Rect(Point(0, 10), Point(200, 60)));
    Rect low(10, 90, 20, 20);
    low.constrainTo(Rect(0, 0, 100, 100));
    EXPECT_EQ(low, Rect(10, 80, 20, 20));

    EXPECT_EQ(Rect(Point(-3, -3), Point(0, 0)).getCenter(), Point(-1, -1)) << "truncated toward zero";
    Rect r(0, 0, 4, 4);
    r.centerIn(Rect(0, 0, 11, 11));
    EXPECT_EQ(r.getTopLeft(), Point(3, 3));
    Rect m(0, 0, 4, 6);
    m.moveCenterTo(Point(10, 10));
    EXPECT_EQ(m, Rect(8, 7, 4, 6));

    Rect s(1, 2, 10, 20);
    EXPECT_EQ(s - Point(1, 2), s.atOrigin());
    EXPECT_EQ(s + Point(1, 1), Rect(2, 3, 10, 20));
    s.inset(2);
    EXPECT_EQ(s, Rect(3, 4, 6, 16));
    s.outset(2, 2);
    s.scaleSize(0.55f, 0.5f);
    s.moveBottomRightTo(Point(0, 0));
    EXPECT_EQ(s, Rect(-5, -10, 5, 10));
    EXPECT_TRUE(s.isNonZero());
    EXPECT_FALSE(Rect().isNonZero());
}

TEST(Point, PlainScalingTruncatesWhileAssigningFormsRoundToEven) {
    EXPECT_EQ(Point(3, 5) * 0.5f, Point(1, 2));
    EXPECT_EQ(Point(-3, 5) / 2.0f, Point(-1, 2));
    Point p(3, 5);
    p *= 0.5f;
    EXPECT_EQ(p, Point(2, 2));
    Point q(7, 9);
    q /= 2.0f;
    EXPECT_EQ(q, Point(4, 4));
    Point s(5, 3);
    s.scale(0.5f, 1.5f);
    EXPECT_EQ(s, Point(2, 4));
    EXPECT_DOUBLE_EQ(Point(0, 0).distanceTo(Point(3, 4)), 5.0);
    EXPECT_EQ(-Point(1, -2), Point(-1, 2));
}

TEST(Color, ConstructionClampsExceptTheNoColourValueAndAlphaTakesNoPartInEquality) {
    const Color c(300, -5, 128, 255);
    EXPECT_EQ(c.red, 255);
    EXPECT_EQ(c.green, 0);
    EXPECT_EQ(c.blue, 128);
    EXPECT_EQ(Color(-1, -1, -1, 0).red, -1);
    EXPECT_EQ(Color(-1, -1, -1, 0), colorNone);
    EXPECT_EQ(Color(-1, -1, 0, 255).red, 0);
    EXPECT_EQ(Color(1, 2, 3, 4), Color(1, 2, 3, 200));
}

TEST(Color, ArithmeticClampsAfterEachOperation) {
    Color c(200, 10, 0, 255);
    c.brighten(100);
    EXPECT_EQ(c, Color(255, 110, 100));
    c.darken(105);
    EXPECT_EQ(c, Color(150, 5, 0));
    c.subtractFrom(100, 100, 100);
    EXPECT_EQ(c, Color(0, 95, 100));
    Color b(0, 0, 0, 255);
    b.blend(colorWhite, 0.5f);
    EXPECT_EQ(b, Color(127, 127, 127));
    EXPECT_EQ(Color(0x12, 0x34, 0x56).toCOLORREF(), 0x00563412u);
}

TEST(Color, ParsesOnlyANumberSignAndSixDigits) {
    Color c(1, 2, 3, 77);
    EXPECT_TRUE(c.parse("#FF8000"));
    EXPECT_EQ(c, Color(255, 128, 0));
    EXPECT_EQ(c.alpha, 77);
    for (const char* bad : {"FF8000", "#FF800", "#FF80000"})
        EXPECT_FALSE(c.parse(bad)) << bad;
    EXPECT_EQ(c, Color(255, 128, 0));
}

TEST(Font, ZeroLineHeightMeansSizePlusTwo) {
    EXPECT_EQ(Font("Verdana", 12.0f, 0, 1, 9, 0.0f).getLineHeight(), 14.0f);
    EXPECT_EQ(Font("uni 05_53", 11.0f, 0, 1, 65536, 9.0f).getLineHeight(), 9.0f);
    EXPECT_EQ(Font().getLineHeight(), 14.0f);
}

TEST(NoteNames, BlackKeysArePitchClassesOneThreeSixEightTen) {
    int black = 0;
    for (int key = 0; key < 128; ++key) {
        EXPECT_NE(isBlackKey(key), isWhiteKey(key));
        black += isBlackKey(key) ? 1 : 0;
    }
    EXPECT_EQ(black, 53);
    EXPECT_TRUE(isBlackKey(61) && isBlackKey(70));
    EXPECT_FALSE(isBlackKey(59) || isBlackKey(60));
}
