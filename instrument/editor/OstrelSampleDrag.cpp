#include "instrument/editor/OstrelSampleDrag.h"

#include "engine/samples/SampleWav.h"
#include "engine/zones/Zone.h"
#include "framework/File.h"
#include "framework/Logger.h"
#include "instrument/InstrumentKeys.h"
#include "instrument/editor/SampleDragFiles.h"

namespace trov {

OstrelSampleDrag::OstrelSampleDrag(Editor* editor) : CorvaleButtonSampleEnabled(editor) {
    listenTo(keys::kCurrentZone);
}

bool OstrelSampleDrag::receive(const Message& message) {
    if (message.kind == kKindWindow && message.code == Code::kLeftDown)
        if (const auto* press = dynamic_cast<const WindowMessage*>(&message))
            return this->press(*press);
    if (message.kind == kKindParameter && message.code == Code::kParameterValue)
        if (const auto* change = dynamic_cast<const ParameterMessage*>(&message);
            change != nullptr && change->name == keys::kCurrentZone)
            return true;
    return CorvaleButtonSampleEnabled::receive(message);
}

bool OstrelSampleDrag::press(const WindowMessage& message) {
    const SharedObjectPtr<Zone> zone(getCurrentZone());
    const Sample* sample = zone ? zone->getSample() : nullptr;
    if (sample == nullptr)
        return false;
    CorvaleButtonSampleEnabled::receive(message);
    const File file = makeTemporaryFile("wav");
    bool written = false;
    if (!file.getPath().empty()) {
        SampleDragFiles::instance().add(file.getPath());
        File target = file;
        const Error saved = SampleWav(*sample).save(target);
        written = !saved.failed();
        if (!written)
            logErrorLine(3, saved);
    }
    // Nothing is offered that a drop target could not read: an empty or half-written file would be taken
    // for a sample.
    if (written)
        source_.dragFile(file);
    else
        logLine(3, "the sample was not dragged: no temporary WAV file could be written");
    // The modal drag loop consumed the real release.
    if (Radio* editor = dynamic_cast<Radio*>(getEditor()))
        editor->receive(WindowMessage(this, Code::kLeftUp, 0));
    return true;
}

} // namespace trov
