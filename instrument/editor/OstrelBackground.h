#pragma once

#include "gui/controls/ControlBitmap.h"
#include "instrument/link/LinkSlots.h"

#include <cstdint>
#include <vector>

namespace trov {

class Corvale;
template <class T> class ParameterValue;

// The instrument's front panel ("Background"): the bitmap control that carries the panel's skin and
// holds every other control, takes dragged files anywhere on the panel, and offers in its context menu the
// source the instrument records from: the host's stereo input, its own stereo output or one of its output
// channels, or a sender on a Tapwire link slot (the slots with a sender at the moment the menu opens).
//
// Owned by the editor (its frame's child). User-interface thread: the menu is built and answered there;
// the link slots are a snapshot read without a lock from blocks other processes write.
class OstrelBackground : public ControlBitmap {
public:
    // The context menu's entries, numbered from `kMenuFirstOwnItem`: the submenu, the host input, the
    // stereo output (or output k at kFirstOutput + k - 1), "Disconnect", and link entry i at kFirstLink + i.
    static constexpr std::int32_t kRecordSourceMenu = 0;
    static constexpr std::int32_t kHostInput = 1;
    static constexpr std::int32_t kStereoOutput = 2;
    static constexpr std::int32_t kFirstOutput = 3;
    static constexpr std::int32_t kLastOutput = 10;
    static constexpr std::int32_t kDisconnect = 11;
    static constexpr std::int32_t kFirstLink = 12;
    // What data dropped on the panel it takes.
    static constexpr std::int32_t kDropKinds = 5;

    explicit OstrelBackground(Editor* editor);
    ~OstrelBackground() override;

    // The "Record Source" submenu, then the control's own items.
    void showContextMenu(PopupMenu& menu, const Point& where) override;
    // A chosen entry of the submenu sets the record source or the link slot; every message then goes to
    // the bitmap control.
    bool receive(const Message& message) override;

    // The slots listed when the menu last opened.
    const std::vector<LinkSlot>& getLinks() const { return links_; }

private:
    Corvale* instrument() const;
    ParameterValue<long>* linkChannel() const;
    void choose(std::int32_t entry);

    std::vector<LinkSlot> links_;
};

} // namespace trov
