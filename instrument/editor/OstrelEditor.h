#pragma once

#include "framework/TextParser.h"
#include "gui/Editor.h"
#include "gui/InfoLine.h"
#include "instrument/InstrumentEditorLink.h"

#include <atomic>
#include <climits>
#include <cstdint>
#include <memory>

namespace trov {

class Corvale;
class ZoneManager;

// The instrument's editor: the editor base with the instrument's additions. It publishes the level of the
// instrument's audio input ("InputLevel", for the input meter) on every tick, keeps the zone selection in
// step with "CurrentZone", keeps the display modes "DisplayBrowser" and "DisplayEditor" exclusive when a
// control switches one on, hands a dropped file to the control under the drop point, and opens or closes
// the page of internal parameters ("ShowInternalPage") when the user types the keyword.
//
// Made by the instrument's editor factory and owned by the host view. Threads: as the editor base; the
// display a control's switch turns off goes off at the next tick, outside that switch's broadcast. The
// audio thread reaches it through `InstrumentEditorLink` while it is open: the input level is one atomic
// store; the instrument forgets it (waiting for a block in flight) before it closes or goes. A "CurrentZone"
// change arriving where the zone list's lock cannot be taken at once (another thread, or a thread that
// holds the lock's waiter inside a broadcast) selects the zone at the next tick.
class OstrelEditor : public Editor, public InstrumentEditorLink {
public:
    static constexpr const char* kKeyword = "kelpo";

    // A key as the host's key record gives it: a code and two flags.
    struct KeyRecord {
        std::int32_t code = 0;
        std::uint8_t first = 0;
        std::uint8_t second = 0;
    };

    OstrelEditor(Plugin* plugin, const Module* module, std::unique_ptr<InfoLine> infoLine = nullptr);
    ~OstrelEditor() override;

    // InstrumentEditorLink (audio thread).
    void setInputLevel(float level) noexcept override { inputLevel_.store(level, std::memory_order_relaxed); }
    const Module* getShownModule() const noexcept override { return shown_.load(std::memory_order_acquire); }
    float getInputLevel() const noexcept { return inputLevel_.load(std::memory_order_relaxed); }

    bool open(platform::WindowHandle parent, const Rect& area) override;
    void close() override;
    void selectModule(int index) override;
    // Publishes the input level (sender 3), applies the zone and display switches left for the tick, then
    // the base's tick.
    void idle() override;
    // The keyword toggles the internal page and is consumed; every other key goes to the control under
    // the pointer.
    bool sendToHover(const std::int32_t key[3]) override;
    // A host key record: straight to the control under the pointer, never to the keyword.
    bool sendKeyRecord(const KeyRecord& record);
    bool receive(const Message& message) override;

private:
    static constexpr int kNoPendingZone = INT_MIN;
    // Which display a control's switch leaves to be switched off at the tick.
    static constexpr int kNoDisplay = 0;
    static constexpr int kEditorDisplay = 1;
    static constexpr int kBrowserDisplay = 2;

    Corvale* instrument() const;
    ZoneManager* shownZoneManager() const;
    void followZone(int index);
    void applyPendingZone();
    void keepDisplaysExclusive(const ParameterMessage& change);
    void applyPendingDisplay();
    bool dropOnHover(const WindowMessage& drop);

    TextParser parser_;
    std::atomic<float> inputLevel_{0.0f};
    std::atomic<const Module*> shown_{nullptr};
    std::atomic<int> pendingZone_{kNoPendingZone};
    std::atomic<int> pendingDisplayOff_{kNoDisplay};
};

} // namespace trov
