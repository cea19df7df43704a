#include "instrument/editor/OstrelBackground.h"

#include "engine/io/HostInterface.h"
#include "gui/PopupMenu.h"
#include "instrument/Corvale.h"
#include "instrument/InstrumentKeys.h"
#include "plugin/ParameterValue.h"
#include "plugin/Settings.h"

#include <string>

namespace trov {

namespace {

constexpr int kStereo = 2;
constexpr const char* kIdle = " (idle)";

} // namespace

OstrelBackground::OstrelBackground(Editor* editor) : ControlBitmap(editor, nullptr, Rect()) {
    setFlags(kAcceptsDrops);
    setDropKinds(kDropKinds);
}

OstrelBackground::~OstrelBackground() = default;

Corvale* OstrelBackground::instrument() const {
    return dynamic_cast<Corvale*>(getPlugin());
}

ParameterValue<long>* OstrelBackground::linkChannel() const {
    const Settings* settings = getSettings();
    return settings != nullptr
               ? dynamic_cast<ParameterValue<long>*>(settings->getParameter(keys::kTapwireChannel))
               : nullptr;
}

void OstrelBackground::showContextMenu(PopupMenu& menu, const Point& where) {
    const auto owner = pointerToWord(this);
    const auto item = [owner](std::int32_t entry, const std::string& text, std::int32_t flags) {
        return PopupMenuItem(owner, kMenuFirstOwnItem + entry, text, flags);
    };
    const auto ticked = [](bool on) { return on ? PopupMenuItem::kChecked : 0; };
    const Corvale* plugin = instrument();
    const std::int32_t source = plugin != nullptr ? plugin->getRecordSource() : Corvale::kRecordHostInput;
    if (PopupMenu* sources = menu.addSubmenu(item(kRecordSourceMenu, "Record Source", 0))) {
        sources->addItem(item(kHostInput, "Host stereo in", ticked(source == Corvale::kRecordHostInput)));
        HostInterface* host = plugin != nullptr ? plugin->getHost() : nullptr;
        const int outputs = host != nullptr ? host->getIOBridge().getOutputChannelCount() : kStereo;
        if (outputs == kStereo) {
            sources->addItem(
                item(kStereoOutput, "Corvale stereo out", ticked(source == Corvale::kRecordStereoOutput)));
        } else {
            sources->addSeparator();
            for (int k = 1; k <= outputs && kFirstOutput + k - 1 <= kLastOutput; ++k)
                sources->addItem(
                    item(kFirstOutput + k - 1, "Corvale out #" + std::to_string(k), ticked(source == k + 1)));
        }
        sources->addSeparator();
        const ParameterValue<long>* channelParameter = linkChannel();
        const long channel = channelParameter != nullptr ? channelParameter->getValue() : -1;
        links_ = listLinkSlots();
        if (links_.empty()) {
            sources->addItem(item(kFirstLink, "(No Tapwire detected)", PopupMenuItem::kDisabled));
        } else {
            for (std::size_t i = 0; i < links_.size(); ++i) {
                const LinkSlot& link = links_[i];
                const bool chosen = link.slot == channel;
                const std::int32_t flags =
                    chosen ? PopupMenuItem::kChecked : (link.taken ? PopupMenuItem::kDisabled : 0);
                sources->addItem(item(kFirstLink + static_cast<std::int32_t>(i),
                                      link.recent ? link.name : link.name + kIdle, flags));
            }
            if (channel >= 0) {
                sources->addSeparator();
                sources->addItem(item(kDisconnect, "Disconnect", 0));
            }
        }
    }
    ControlBitmap::showContextMenu(menu, where);
}

bool OstrelBackground::receive(const Message& message) {
    if (message.kind == kKindControl && message.code == Code::kRightClick)
        choose(static_cast<std::int32_t>(message.extra) - kMenuFirstOwnItem);
    return ControlBitmap::receive(message);
}

// The slot of a link entry is the one listed when the menu opened; an entry past that list, or a link
// entry without the channel parameter, changes nothing.
void OstrelBackground::choose(std::int32_t entry) {
    Corvale* plugin = instrument();
    if (plugin == nullptr || entry <= kRecordSourceMenu)
        return;
    if (entry == kHostInput) {
        plugin->setRecordSource(Corvale::kRecordHostInput);
    } else if (entry == kStereoOutput) {
        plugin->setRecordSource(Corvale::kRecordStereoOutput);
    } else if (entry <= kLastOutput) {
        plugin->setRecordSource(entry - 1);
    } else if (ParameterValue<long>* channel = linkChannel()) {
        if (entry == kDisconnect) {
            channel->setValue(-1, Sender::kEditor);
        } else if (const auto index = static_cast<std::size_t>(entry - kFirstLink); index < links_.size()) {
            plugin->setRecordSource(Corvale::kRecordLink);
            channel->setValue(links_[index].slot, Sender::kEditor);
        }
    }
}

} // namespace trov
