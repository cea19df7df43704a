// The front panel's "Record Source" menu over the real instrument: the output entries by the host's
// output layout, the Tapwire link slots that have a sender (made with the instrument's writer end), and
// what choosing an entry sets.
#include "engine/io/IOConfig.h"
#include "instrument/editor/OstrelBackground.h"
#include "instrument/link/IOBridge.h"
#include "platform/MenuSession.h"
#include "plugin/ParameterValue.h"
#include "support/InstrumentEditorHarness.h"
#include "support/TapwireWriter.h"

#include <gtest/gtest.h>

#include <optional>

using namespace trov;
using test::node;
using test::TapwireWriter;

namespace {

// A sender on a slot: the companion's block with its name, marked live by the instrument's writer end,
// which stamps it with each write.
class LinkSender {
public:
    LinkSender(int slot, const std::string& name) : block_(slot) {
        block_.setName(name);
        writer_.open(slot);
        const float silence[4] = {};
        writer_.write(silence, 4);
    }
    TapwireWriter& block() { return block_; }

private:
    TapwireWriter block_;
    IOBridge<float> writer_{true};
};

class RecordSource : public test::InstrumentEditorHarness {
protected:
    RecordSource() {
        test::isolateTapwireSlots();
        addSkin("special::background", 300, 200, 0xff303030);
        build(test::specification({node("Background").id("special::background")}));
        open();
        tick();
    }

    OstrelBackground* panel() const { return control<OstrelBackground>("special::background"); }
    void setOutputs(int pins, int width) {
        world.base.host.setIOConfig(IOConfig(IOPinConfig(1, 1), IOPinConfig(width, pins)));
    }
    ParameterValue<long>& channel() const {
        return *dynamic_cast<ParameterValue<long>*>(parameter("TapwireChannel"));
    }

    // The submenu's entries as "text", with " [x]" when ticked and " [-]" when disabled; "---" for a
    // separator.
    std::vector<std::string> recordSourceEntries() {
        std::vector<std::string> seen;
        responder().queueMenu([&](platform::MenuSession& menu) {
            const auto top = menu.entries();
            for (int i = 0; i < static_cast<int>(top.size()); ++i)
                if (top[static_cast<std::size_t>(i)].text == "Record Source") {
                    menu.hover(i);
                    menu.openSubmenu();
                }
            for (const platform::MenuSession::Entry& entry : menu.entries())
                seen.push_back(entry.separator ? "---"
                                               : entry.text + (entry.checked ? " [x]" : "") +
                                                     (entry.enabled ? "" : " [-]"));
            menu.dismiss();
        });
        rightClick(150, 100);
        return seen;
    }
    void choose(const std::string& entry) {
        responder().queueMenuChoice({"Record Source", entry});
        rightClick(150, 100);
    }
    // The command the editor hands the panel for a chosen entry.
    void chooseEntry(std::int32_t entry) {
        panel()->receive(ControlMessage(editor.get(), Code::kRightClick, Point(150, 100),
                                        static_cast<MessageWord>(Control::kMenuFirstOwnItem + entry)));
    }
};

using Entries = std::vector<std::string>;

} // namespace

TEST_F(RecordSource, StereoOutputsOfferTheStereoOutWithoutASeparatorAndNoSenderIsSaidSo) {
    setOutputs(1, 2);
    plugin->setRecordSource(Corvale::kRecordStereoOutput);
    channel().setValue(5, Sender::kSettings);
    // No "Disconnect" without a sender, even with a channel set.
    EXPECT_EQ(recordSourceEntries(),
              (Entries{"Host stereo in", "Corvale stereo out [x]", "---", "(No Tapwire detected) [-]"}));
}

TEST_F(RecordSource, EightMonoOutputsAreListedOneByOneAfterASeparator) {
    setOutputs(8, 1);
    plugin->setRecordSource(4);
    Entries expected{"Host stereo in", "---"};
    for (int k = 1; k <= 8; ++k)
        expected.push_back("Corvale out #" + std::to_string(k) + (k == 3 ? " [x]" : ""));
    expected.insert(expected.end(), {"---", "(No Tapwire detected) [-]"});
    EXPECT_EQ(recordSourceEntries(), expected);

    choose("Corvale out #8");
    EXPECT_EQ(plugin->getRecordSource(), 9);
    choose("Host stereo in");
    EXPECT_EQ(plugin->getRecordSource(), Corvale::kRecordHostInput);
}

TEST_F(RecordSource, SendersAreListedBySlotTheChosenTickedAnIdleOneNamedSoAndOneReadElsewhereDisabled) {
    setOutputs(1, 2);
    LinkSender drums(3, "Drums");
    LinkSender bass(7, "Bass");
    bass.block().setStamp(TapwireWriter::now() - 11);
    bass.block().setReceiverAttached(true);
    channel().setValue(3, Sender::kSettings);
    EXPECT_EQ(recordSourceEntries(), (Entries{"Host stereo in [x]", "Corvale stereo out", "---", "Drums [x]",
                                              "Bass (idle) [-]", "---", "Disconnect"}));

    // The second link entry, as the menu listed it.
    chooseEntry(OstrelBackground::kFirstLink + 1);
    EXPECT_EQ(plugin->getRecordSource(), Corvale::kRecordLink);
    EXPECT_EQ(channel().getValue(), 7);

    plugin->setRecordSource(Corvale::kRecordStereoOutput);
    choose("Disconnect");
    EXPECT_EQ(channel().getValue(), -1);
    EXPECT_EQ(plugin->getRecordSource(), Corvale::kRecordStereoOutput) << "disconnecting keeps the source";

    // Without a channel no sender is ticked and nothing disconnects; a slot still read is not offered.
    const std::string drumsTaken = drums.block().receiverAttached() ? " [-]" : "";
    const std::string bassTaken = bass.block().receiverAttached() ? " [-]" : "";
    EXPECT_EQ(recordSourceEntries(), (Entries{"Host stereo in", "Corvale stereo out [x]", "---",
                                              "Drums" + drumsTaken, "Bass (idle)" + bassTaken}));
}

TEST_F(RecordSource, AnEntryPastTheListedSendersChangesNothing) {
    LinkSender drums(3, "Drums");
    recordSourceEntries();
    ASSERT_EQ(panel()->getLinks().size(), 1u);
    plugin->setRecordSource(Corvale::kRecordStereoOutput);
    channel().setValue(-1, Sender::kSettings);
    chooseEntry(OstrelBackground::kFirstLink + 1);
    EXPECT_EQ(plugin->getRecordSource(), Corvale::kRecordStereoOutput);
    EXPECT_EQ(channel().getValue(), -1);
}

TEST_F(RecordSource, ASenderNameFillingItsFieldIsReadWithinItsThirtyTwoBytes) {
    setOutputs(1, 2);
    LinkSender full(0, std::string(40, 'x'));
    const Entries entries = recordSourceEntries();
    ASSERT_EQ(entries.size(), 4u) << entries.back();
    EXPECT_EQ(entries[3], std::string(32, 'x'));
}

TEST_F(RecordSource, ASenderGoneBeforeTheMenuOpensIsNotListed) {
    setOutputs(1, 2);
    { LinkSender gone(2, "Gone"); }
    LinkSender stays(9, "Stays");
    EXPECT_EQ(recordSourceEntries(), (Entries{"Host stereo in [x]", "Corvale stereo out", "---", "Stays"}));
}
