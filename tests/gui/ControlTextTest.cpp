// The text-showing controls: the value text (prefix, parameter text, postfix; typed values), the value
// display (zero-padded digits, dashes for zero, its default width) and the text control with its marquee,
// also while texts are set from another thread.
#include "gui/controls/ControlText.h"
#include "gui/controls/ControlValueDisplay.h"
#include "gui/controls/ControlValueText.h"
#include "plugin/Parameter.h"

#include "support/EditorHarness.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using namespace trov;
using test::node;
using test::specification;

namespace {

constexpr std::uint32_t kGlyphColour = 0xff0000ff;
constexpr int kGlyphWidth = 4;
const std::string kGlyphs = "0123456789-<>";

// Each control 60 x 8 on its own row, drawn in a bitmap font whose glyphs are blue blocks 4 pixels wide,
// so that the number of characters drawn shows as the number of blue pixels in a row over 4.
class TextControls : public test::EditorHarness {
protected:
    TextControls() {
        addSkin("glyphs", kGlyphWidth * static_cast<int>(kGlyphs.size()), 8, kGlyphColour,
                static_cast<int>(kGlyphs.size()), kGlyphs);
        test::ControlNode root =
            node("Panel").id("special::background").at(0, 0, 200, 200).string("background", "#FFFFFF");
        const test::ControlNode rows[] = {
            node("TextValue")
                .id("value")
                .parameter("Steps")
                .string("prefix", "<")
                .string("postfix", ">>")
                .string("alphabet", "glyphs"),
            node("TextValue").id("unbound").string("prefix", "<<<").string("alphabet", "glyphs"),
            node("Display").id("two").parameter("Steps").integer("digits", 2).string("alphabet", "glyphs"),
            node("Display").id("count").parameter("Count"),
            node("Display").id("fine").parameter("Fine"),
            node("Display").id("pattern").parameter("Pattern"),
            node("Text").id("plain").string("text", "123").string("alphabet", "glyphs"),
            node("Text").id("bound").parameter("Steps").string("alphabet", "glyphs"),
            node("Text").id("marquee").flag("autoscroll", true).integer("maxlength", 10),
        };
        for (int i = 0; i < static_cast<int>(std::size(rows)); ++i)
            root.child(test::ControlNode(rows[i]).at(10, 10 + 20 * i, 60, 8));
        build(specification({root}));
        open();
        tick();
    }
    // The blue pixels of the row of the control of that id, from its left.
    std::vector<int> glyphColumns(const std::string& id) {
        tick();
        const auto shown = snapshot();
        const Rect r = editor->findControl(id, 0)->getAbsoluteRect();
        std::vector<int> columns;
        for (int x = r.left; x < r.right; ++x)
            if (shown->pixel(x, r.top + 2) == platform::draw::makePixel(255, 0, 0, 255))
                columns.push_back(x - r.left);
        return columns;
    }
    // Characters drawn in the row of the control of that id.
    int glyphsIn(const std::string& id) { return static_cast<int>(glyphColumns(id).size()) / kGlyphWidth; }
    ControlText* text(const std::string& id) const { return control<ControlText>(id); }
    ControlValueDisplay* display(const std::string& id) const { return control<ControlValueDisplay>(id); }
    void steps(long v) { parameter("Steps")->setNormalized(static_cast<float>(v) / 3.0f, Sender::kSettings); }
};

} // namespace

TEST_F(TextControls, AValueTextShowsPrefixParameterTextAndPostfixWithNothingBetweenAndNothingUnbound) {
    steps(2);
    EXPECT_EQ(parameter("Steps")->getText(), "2");
    EXPECT_EQ(glyphsIn("value"), 4); // "<2>>"
    EXPECT_EQ(glyphsIn("unbound"), 0);
    const std::string& characters = control<ControlValueText>("unbound")->getCharacters();
    EXPECT_EQ(characters.size(), 65u); // 0x20 to 0x60, the letters in lower case
    EXPECT_EQ(characters.front(), ' ');
    EXPECT_EQ(characters.back(), '`');
    EXPECT_EQ(characters.substr(0x41 - 0x20, 26), "abcdefghijklmnopqrstuvwxyz");
}

TEST_F(TextControls, ADoubleClickOnAValueTextTypesTheValueAndIsTakenOnlyWithAParameter) {
    steps(0);
    // The entry's loop takes the keys queued before the double click reaches the control.
    driver.type("3\r");
    EXPECT_TRUE(control<ControlValueText>("value")->receive(WindowMessage(nullptr, 3001, 0, Point(5, 5), 0)));
    flush();
    EXPECT_FLOAT_EQ(parameter("Steps")->getNormalized(), 1.0f);
    EXPECT_FALSE(
        control<ControlValueText>("unbound")->receive(WindowMessage(nullptr, 3001, 0, Point(5, 5), 0)));
}

TEST_F(TextControls, AValueDisplayPadsWithZerosShowsZeroAsDashesAndNeverCutsDigits) {
    const std::pair<long, std::string> twoDigits[] = {{7, "07"}, {0, "--"}, {123, "123"}, {-5, "-5"}};
    for (const auto& [v, shown] : twoDigits)
        EXPECT_EQ(display("two")->format(v), shown) << v;
    // Three characters: the zero goes in front of the minus sign too.
    EXPECT_EQ(display("count")->format(-5), "0-5");
    EXPECT_EQ(display("count")->format(0), "---");
    steps(2);
    EXPECT_EQ(glyphsIn("two"), 2); // "02"
    steps(0);
    EXPECT_EQ(glyphsIn("two"), 2); // "--"
}

TEST_F(TextControls, AValueDisplayWithoutDigitsIsAsWideAsTheWidestBoundOfItsIntegerParameter) {
    EXPECT_EQ(display("count")->getDigits(), 3);   // -99..99
    EXPECT_EQ(display("fine")->getDigits(), 4);    // 0..1000: the zero leaves it to 1000
    EXPECT_EQ(display("two")->getDigits(), 2);     // said
    EXPECT_EQ(display("pattern")->getDigits(), 0); // an enumeration has no bounds
    EXPECT_EQ(display("count")->getMinValue(), INT32_MIN);
}

TEST_F(TextControls, ATextControlShowsItsTextOrItsParametersTextInsideItsMargins) {
    EXPECT_EQ(text("plain")->getText(), "123");
    EXPECT_EQ(glyphsIn("plain"), 3);
    steps(1);
    EXPECT_EQ(glyphsIn("bound"), 1);
    EXPECT_EQ(glyphColumns("plain").front(), 0);
    text("plain")->setMargins(6, 0);
    text("plain")->setNeedsRedraw(true);
    EXPECT_EQ(glyphColumns("plain").front(), 6);
}

TEST_F(TextControls, ALongTextRunsAsAMarqueeWithFiveBlanksAndAShortOneStopsIt) {
    ControlText* marquee = text("marquee");
    marquee->setText("ABCDEFGHIJKL");
    EXPECT_EQ(marquee->getText(), "ABCDEFGHIJKL     ");
    tick(4); // 200 ms
    EXPECT_EQ(marquee->getText(), "BCDEFGHIJKL     A");
    tick(8);
    EXPECT_EQ(marquee->getText(), "DEFGHIJKL     ABC");
    marquee->setText("short");
    EXPECT_FALSE(marquee->isScrolling());
    tick(8);
    EXPECT_EQ(marquee->getText(), "short");
    // A tick that still arrives rotates nothing; nor does one on an empty text.
    const TimerMessage late(nullptr, Code::kTimerTick, ControlText::kScrollTimerId, 0);
    EXPECT_TRUE(marquee->receive(late));
    EXPECT_EQ(marquee->getText(), "short");
    marquee->setText("");
    EXPECT_TRUE(marquee->receive(late));
    EXPECT_EQ(marquee->getText(), "");
}

TEST_F(TextControls, AMarqueeTickNeverBringsBackATextReplacedMeanwhile) {
    ControlText* marquee = text("marquee");
    std::atomic<bool> done{false};
    int mixed = 0;
    std::thread feeder([&] {
        for (int i = 0; i < 2000; ++i) {
            const char letter = i % 2 == 0 ? 'a' : 'b';
            marquee->setText(std::string(12, letter));
            if (marquee->getText().find(letter == 'a' ? 'b' : 'a') != std::string::npos)
                ++mixed;
        }
        done = true;
    });
    const TimerMessage tick(nullptr, Code::kTimerTick, ControlText::kScrollTimerId, 0);
    while (!done)
        marquee->receive(tick);
    feeder.join();
    EXPECT_EQ(mixed, 0);
}
