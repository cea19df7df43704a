#pragma once

#include "gui/DragDrop.h"
#include "instrument/editor/CorvaleButtonSampleEnabled.h"

namespace trov {

// The sample drag button ("SampleDrag"): pressed, it writes the current zone's sample to a temporary WAV
// file and drags that file out of the editor, for the host or the desktop to take. Enabled only while the
// current zone has a sample (as its base); with none a press does nothing. A file that cannot be written
// is logged and not dragged. The files stay until the module unloads (`SampleDragFiles`), since a drop
// target may read a dropped file after the drag.
//
// Owned by its parent. The press and the modal drag run on the user-interface thread; the drag returns
// when it ends, and the editor is then told of the button's release, which the drag loop consumed.
class OstrelSampleDrag : public CorvaleButtonSampleEnabled {
public:
    explicit OstrelSampleDrag(Editor* editor);

    bool receive(const Message& message) override;
    // The outcome of the last drag (for tests).
    const DragDropSource& getDragSource() const { return source_; }

private:
    bool press(const WindowMessage& message);

    DragDropSource source_;
};

} // namespace trov
