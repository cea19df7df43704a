// Enumeration buttons and popup menus: stepping, the press restored by leaving, the owner-drawn menu with
// its live selection, drawing by entry, refusing parameters of another kind, enumerations without entries.
#include "gui/controls/ControlEnumButton.h"
#include "gui/controls/ControlEnumPopupMenu.h"
#include "gui/controls/ControlValueButton.h"
#include "platform/MenuSession.h"
#include "plugin/ParameterEnum.h"

#include "support/EditorHarness.h"
#include "support/LogCapture.h"
#include "support/PixelCheck.h"

#include <gtest/gtest.h>

#include <memory>

using namespace trov;
using test::node;
using test::specification;

namespace {

constexpr std::uint32_t kRed = 0xffff0000, kGreen = 0xff00ff00, kBlue = 0xff0000ff;
// Ticks between two clicks at one place that are not a double click.
constexpr int kApart = 11;

class EnumControls : public test::EditorHarness {
protected:
    // A grey background holding the node at (10, 10), 40 x 20.
    void buildWith(test::ControlNode control) {
        buildAndOpen(node("Panel")
                         .string("background", "#404040")
                         .at(0, 0, 200, 100)
                         .child(control.id("c").at(10, 10, 40, 20)));
    }
    ParameterEnum<long>& shape() { return *dynamic_cast<ParameterEnum<long>*>(parameter("Shape")); }
    Dictionary item(const test::ControlNode& n) const {
        Dictionary document(specification({n}));
        return Dictionary(*document.getArrayItem("controls", 0));
    }
    std::unique_ptr<Control> make(const test::ControlNode& n) const {
        return std::unique_ptr<Control>(editor->getControlManager()->createFromDictionary(item(n)));
    }
};

// The control base's own handling of an enumeration, which no derived control keeps.
class PlainEnum : public ControlEnum<long> {
public:
    using ControlEnum<long>::ControlEnum;
    void paint(Canvas&, const Rect&) override {}
};

} // namespace

TEST_F(EnumControls, AClickStepsToTheNextEntryAndFromTheLastBackToTheFirst) {
    buildWith(node("Button").parameter("Shape"));
    for (const auto& [from, to] : {std::pair{0u, 1u}, std::pair{1u, 2u}, std::pair{2u, 0u}}) {
        shape().select(from, Sender::kHost);
        tick(kApart);
        click(20, 20);
        EXPECT_EQ(shape().getSelected(), to) << "from " << from;
    }
}

TEST_F(EnumControls, LeavingWhilePressedRestoresThePressEntryAndComingBackStepsOnceMore) {
    buildWith(node("Button").parameter("Shape"));
    move(20, 20);
    press(20, 20);
    move(100, 60);
    release(100, 60);
    EXPECT_EQ(shape().getSelected(), 0u);

    tick(kApart);
    move(20, 20);
    press(20, 20);
    move(100, 60);
    move(20, 20);
    release(20, 20);
    EXPECT_EQ(shape().getSelected(), 1u);
}

TEST_F(EnumControls, AButtonWithoutHandleShowsOrangeBehindItsLabelWhileTheValueIsAboveOneHalf) {
    buildWith(node("Button").parameter("Source"));
    auto* source = dynamic_cast<ParameterEnum<std::string>*>(parameter("Source"));
    source->select(1, Sender::kHost); // normalised 1.0
    tick();
    EXPECT_TRUE(test::pixelIs(*snapshot(), 45, 25, test::rgb(colorOrange)));
    source->select(0, Sender::kHost); // 0.0
    tick();
    EXPECT_TRUE(test::pixelIs(*snapshot(), 45, 25, {0x40, 0x40, 0x40}));
}

TEST_F(EnumControls, AButtonWithAHandleShowsTheFrameOfTheSelectedEntry) {
    addFrames("steps", 40, 20, {kRed, kGreen, kBlue});
    buildWith(node("Button").parameter("Shape").string("handle", "steps"));
    const test::Rgb colours[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    for (std::uint32_t entry = 0; entry < 3; ++entry) {
        shape().select(entry, Sender::kHost);
        tick();
        EXPECT_TRUE(test::pixelIs(*snapshot(), 30, 20, colours[entry])) << "entry " << entry;
    }
}

TEST_F(EnumControls, ThePopupListsEveryEntryWithItsUnitAndSelectsTheChoice) {
    buildWith(node("PopupMenu").parameter("Speed"));
    std::vector<std::string> listed;
    responder().queueMenu([&](platform::MenuSession& menu) {
        for (const auto& entry : menu.entries())
            listed.push_back(entry.text + (entry.ownerDrawn ? "" : " (not owner-drawn)"));
        menu.chooseText({"Fast x"});
    });
    click(20, 20);
    EXPECT_EQ(listed, (std::vector<std::string>{"Slow x", "Mid x", "Fast x"}));
    EXPECT_EQ(dynamic_cast<ParameterEnum<float>*>(parameter("Speed"))->getSelected(), 2u);

    // Without a unit an entry ends with one blank.
    buildWith(node("PopupMenu").parameter("Shape"));
    responder().queueMenuChoice({"Saw "});
    click(20, 20);
    EXPECT_EQ(shape().getSelected(), 2u);
}

TEST_F(EnumControls, APopupClosedWithoutAChoiceKeepsTheEntryAndTheEditorStillHearsTheButtonGoUp) {
    buildWith(node("PopupMenu").parameter("Shape"));
    shape().select(1, Sender::kHost);
    responder().queueMenu([](platform::MenuSession& menu) { menu.dismiss(); });
    click(20, 20);
    EXPECT_EQ(shape().getSelected(), 1u);
    EXPECT_FALSE(editor->isButtonDown());
    EXPECT_EQ(editor->getPressed(), nullptr);
}

TEST_F(EnumControls, ALivePopupFollowsTheHighlightWhileOpenAndOneThatIsNotOnlyTheChoice) {
    for (const bool live : {true, false}) {
        buildWith(node("PopupMenu").parameter("Shape").flag("live", live));
        shape().select(0, Sender::kHost);
        std::uint32_t whileOpen = 99;
        responder().queueMenu([&](platform::MenuSession& menu) {
            menu.hover(2);
            whileOpen = shape().getSelected();
            menu.dismiss();
        });
        click(20, 20);
        EXPECT_EQ(whileOpen, live ? 2u : 0u) << (live ? "live" : "not live");
    }
}

TEST_F(EnumControls, APopupShowsFrameOneOfItsBackgroundForAnyEntryButTheFirst) {
    addFrames("menuback", 40, 20, {kRed, kGreen});
    buildWith(node("PopupMenu").parameter("Shape").string("background", "menuback"));
    for (const auto& [entry, colour] :
         {std::pair{0u, test::Rgb{255, 0, 0}}, std::pair{2u, test::Rgb{0, 255, 0}}}) {
        shape().select(entry, Sender::kHost);
        tick();
        EXPECT_TRUE(test::pixelIs(*snapshot(), 11, 11, colour)) << "entry " << entry;
    }
}

TEST_F(EnumControls, AParameterOfAnotherKindIsRefusedAsAnErrorWithTheTyingText) {
    build(specification({}));
    test::LogCapture log(0);
    const auto tying = [&](const std::string& name, const std::string& type) {
        return "tying parameter " + parameter(name)->getLabel() + "<" + type + "> to incompatible control";
    };
    const std::pair<test::ControlNode, std::string> cases[] = {
        {node("PopupMenu").parameter("Level"), tying("Level", "float")},
        {node("PopupMenu").parameter("Mode"), tying("Mode", "bool")},
        {node("Button").parameter("Name"), tying("Name", "string")},
        {node("PopupMenu").parameter("Name"), tying("Name", "string")},
        {node("Button"), "Unknown control type Button<>"},
        {node("PopupMenu"), "Unknown control type PopupMenu<>"},
    };
    for (const auto& entry : cases) {
        const test::ControlNode& n = entry.first;
        const std::string& message = entry.second;
        const Error error = test::errorThrownBy([&] { make(n); });
        EXPECT_TRUE(error.hasCode(kErrorNoSuchControlType)) << message;
        EXPECT_EQ(error.getMessage(), message);
    }
    EXPECT_EQ(log.count(tying("Level", "float")), 1);
}

TEST_F(EnumControls, ButtonsAndPopupsAreMadeForTheParametersKind) {
    build(specification({}));
    EXPECT_NE(dynamic_cast<ControlEnumButton<long>*>(make(node("Button").parameter("Shape")).get()), nullptr);
    EXPECT_NE(dynamic_cast<ControlValueButton<long>*>(make(node("Button").parameter("Steps")).get()),
              nullptr);
    EXPECT_NE(dynamic_cast<ControlEnumButton<float>*>(make(node("Button").parameter("Speed")).get()),
              nullptr);
    EXPECT_NE(dynamic_cast<ControlEnumButton<std::string>*>(make(node("Button").parameter("Source")).get()),
              nullptr);
    EXPECT_NE(
        dynamic_cast<ControlEnumPopupMenu<std::string>*>(make(node("PopupMenu").parameter("Source")).get()),
        nullptr);
    const std::unique_ptr<Control> popup = make(node("PopupMenu").parameter("Shape"));
    EXPECT_EQ(popup->getParameter(), parameter("Shape"));
    EXPECT_TRUE(parameter("Shape")->hasListener(popup.get()));
}

TEST_F(EnumControls, AnEnumerationWithoutEntriesNeitherStepsNorFailsToDraw) {
    buildWith(node("Button").parameter("Nothing"));
    click(20, 20);
    tick();
    auto* nothing = dynamic_cast<ParameterEnum<long>*>(parameter("Nothing"));
    EXPECT_EQ(nothing->getSelected(), 0u);
    buildWith(node("PopupMenu").parameter("Nothing"));
    responder().queueMenu([](platform::MenuSession& menu) {
        EXPECT_TRUE(menu.entries().empty());
        menu.dismiss();
    });
    click(20, 20);
    tick();
    EXPECT_EQ(nothing->getSelected(), 0u);
}

TEST_F(EnumControls, APressOnAnUnboundPopupOnlyRedrawsIt) {
    buildWith(node("Panel"));
    ControlEnumPopupMenu<long> popup(editor.get(), Rect(0, 0, 40, 20));
    const std::size_t asked = responder().questions().size();
    EXPECT_TRUE(popup.receive(WindowMessage(editor.get(), 3000, 0, Point(5, 5), 0)));
    EXPECT_EQ(responder().questions().size(), asked);
}

TEST_F(EnumControls, ThePlainEnumerationSetsTheNormalisedValueFromThePointersHeight) {
    buildWith(node("Panel"));
    PlainEnum plain(editor.get(), Rect(0, 0, 40, 100));
    plain.setParameter("Shape");
    for (const auto& [y, entry] : {std::pair{50, 1u}, std::pair{100, 2u}, std::pair{-20, 0u}}) {
        EXPECT_TRUE(plain.receive(WindowMessage(editor.get(), 3000, 0, Point(5, y), 0)));
        EXPECT_EQ(shape().getSelected(), entry) << "y " << y;
    }
}
