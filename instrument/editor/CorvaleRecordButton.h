#pragma once

#include "gui/controls/ControlValueButton.h"

#include <atomic>

namespace trov {

// The record button ("CorvaleRecordButton"): a value button that arms recording. It blinks while
// "RecordModeEnabled" is on; a double click lets the user type the mask that names recorded files
// ("SampleRecordMask") and leaves the record state as it was before the double click; its context menu
// chooses the folder recordings are written to (the per-user preference "RecordedSamplesPath").
//
// Owned by its parent. Threads: as the value button; "RecordModeEnabled" may change on any thread (the
// engine ends a take on the audio thread): there the button only records whether to blink, which the
// editor's next tick applies. The dialogs run on the user-interface thread.
class CorvaleRecordButton : public ControlValueButton<bool> {
public:
    // Context-menu entry, numbered from `kMenuFirstOwnItem`.
    static constexpr std::int32_t kRecordFolder = 0;
    // The file-mask entry box, centred on the button.
    static constexpr int kMaskWidth = 160;
    static constexpr int kMaskHeight = 20;

    explicit CorvaleRecordButton(Editor* editor);

    void showContextMenu(PopupMenu& menu, const Point& where) override;
    bool receive(const Message& message) override;

protected:
    void applyDeferredControlWork() override;

private:
    void chooseRecordFolder();
    void editFileMask();

    static constexpr int kNoBlinkChange = -1;
    std::atomic<int> pendingBlink_{kNoBlinkChange};
};

} // namespace trov
