// MIDI input: notes to the engines, controllers through the mapper to parameters, the editor and engines.
#include "engine/modules/Engine.h"
#include "engine/modules/Module.h"
#include "engine/notes/Note.h"
#include "framework/EditorServices.h"
#include "instance/Plugin.h"
#include "plugin/MidiMapper.h"
#include "plugin/Parameter.h"
#include "plugin/ParameterScheduler.h"
#include "plugin/ParameterValue.h"
#include "plugin/Settings.h"

namespace trov {

namespace {

constexpr float kControllerScale = 1.0f / 127.0f;
constexpr float kPitchBendScale = 1.0f / 16384.0f;

// The position of a controller value in a parameter whose range spans zero, for the controller's range
// mode (0 positive half, 2 negative half, otherwise the whole range).
float spanPosition(float value, double min, double max, int range, bool inverted) {
    const double v = value;
    const double span = max - min;
    switch (range) {
    case 0:
        return static_cast<float>(inverted ? 1.0 - v * max / span : (v * max - min) / span);
    case 2:
        return static_cast<float>(inverted ? -v * min / span : (v * min - min) / span);
    default:
        return inverted ? 1.0f - value : value;
    }
}

// The parameter's range as doubles, for the kinds a controller may scale; false for other kinds.
bool rangeOf(const Parameter& parameter, double& min, double& max) {
    if (const auto* real = dynamic_cast<const ParameterValue<float>*>(&parameter)) {
        min = real->getMin();
        max = real->getMax();
        return true;
    }
    if (const auto* integer = dynamic_cast<const ParameterValue<long>*>(&parameter)) {
        min = static_cast<double>(integer->getMin());
        max = static_cast<double>(integer->getMax());
        return true;
    }
    return false;
}

} // namespace

void Plugin::midiEvent(const MidiEvent* event) noexcept {
    if (event == nullptr)
        return;
    const int type = event->status & 0xF0;
    const int data1 = event->data1 & 0x7F;
    const int data2 = event->data2 & 0x7F;
    switch (type) {
    case 0x80:
    case 0x90: {
        Note note;
        const int noteType = data2 == 0 ? 0x80 : type;
        note.setMidiEvent(noteType, event->status & 0x0F, data1, data2, event->word, event->offset,
                          static_cast<std::uint32_t>(event->extra));
        const MidiMessage message(this, noteType == 0x90 ? Code::kNoteOn : Code::kNoteOff, &note);
        receive(message);
        break;
    }
    case 0xB0:
        applyController(data1, static_cast<float>(data2) * kControllerScale, event->offset);
        break;
    case 0xD0:
        applyController(kChannelPressure, static_cast<float>(data1) * kControllerScale, event->offset);
        break;
    case 0xE0:
        applyController(kPitchBend, static_cast<float>((data2 << 7) | data1) * kPitchBendScale,
                        event->offset);
        break;
    default: // polyphonic pressure, program change, system messages
        break;
    }
}

void Plugin::handNoteToEngines(const Message& message) {
    const Note* note = wordToPointer<const Note>(message.extra);
    if (note == nullptr)
        return;
    EngineEvent event;
    event.kind = EngineEvent::kNote;
    event.note =
        EngineEvent::NoteFields{note->getType(),   note->getChannel(), note->getKey(),  note->getVelocity(),
                                note->getDetune(), note->getOffset(),  note->getExtra()};
    if (events_.push(event))
        return;
    // Full: a note-on is dropped, a note-off kept by its key, to be applied after the queue.
    if (note->getType() == Note::kNoteOn) {
        droppedNotes_.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    const unsigned at = (static_cast<unsigned>(note->getChannel()) & 15u) * 128u +
                        (static_cast<unsigned>(note->getKey()) & 127u);
    pendingReleases_[at].fetch_add(1, std::memory_order_relaxed);
    releasesPending_.store(true, std::memory_order_release);
}

void Plugin::dispatchNote(const EngineEvent::NoteFields& fields) noexcept {
    const ModuleList* list = modules();
    if (list == nullptr)
        return;
    const int status = fields.type == Note::kNoteOn ? 0x90 : fields.type == Note::kNoteOff ? 0x80 : 0;
    for (Module* module : *list)
        if (Engine* engine = module->getEngine()) {
            Note own(module);
            own.setMidiEvent(status, fields.channel, fields.key, fields.velocity, fields.detune,
                             fields.offset, fields.extra);
            engine->handleEvent(own);
        }
}

bool Plugin::postEvent(const EngineEvent& event) noexcept {
    return events_.push(event);
}

void Plugin::applyEvents() noexcept {
    ReaderEpochs::Read read(readers_);
    EngineEvent event;
    // Bounded: senders keep pushing while the block drains, and a drain until empty could last forever.
    bool drained = false;
    for (std::size_t left = kEventCapacity; left > 0; --left) {
        if (!events_.pop(event)) {
            drained = true;
            break;
        }
        if (event.kind == EngineEvent::kNote)
            dispatchNote(event.note);
        else if (event.engine != nullptr)
            event.engine->applyEvent(event);
    }
    // A kept note-off follows every event the queue held when it was kept: while some are left, the
    // note-on it ends may be among them.
    if (!drained)
        drained = events_.empty();
    if (!drained || !releasesPending_.exchange(false, std::memory_order_acquire))
        return;
    for (std::size_t at = 0; at < pendingReleases_.size(); ++at)
        for (std::uint16_t n = pendingReleases_[at].exchange(0, std::memory_order_relaxed); n > 0; --n)
            dispatchNote(EngineEvent::NoteFields{Note::kNoteOff, static_cast<std::int32_t>(at / 128),
                                                 static_cast<std::int32_t>(at % 128), 0, 0, 0, 0});
}

void Plugin::applyController(int controller, float value, int offset) noexcept {
    Parameter* target = midiMapper_ != nullptr ? midiMapper_->getTarget(controller) : nullptr;
    const ModuleList* list = modules();
    if (target != nullptr) {
        const bool inverted = midiMapper_->getInvert(controller) == 1;
        double min = 0.0;
        double max = 0.0;
        if (rangeOf(*target, min, max) && min < 0.0 && 0.0 < max)
            value = spanPosition(value, min, max, midiMapper_->getRange(controller), inverted);
        else if (inverted)
            value = 1.0f - value;
        if (list != nullptr) {
            const std::string_view name = target->getNameView();
            const int instance = target->getInstance();
            for (Module* module : *list) {
                Settings* settings = module->getSettings();
                if (settings == nullptr)
                    continue;
                {
                    std::lock_guard guard(scheduleMutex_);
                    settings->getScheduler().schedule(name, offset, value);
                }
                if (Parameter* parameter = settings->getParameter(name, instance))
                    parameter->setNormalized(value, Sender::kMidi);
            }
        }
    }
    const ControllerEvent event{controller, value, offset};
    const MidiMessage message(this, Code::kController, &event);
    if (midiMapper_ != nullptr)
        midiMapper_->receive(message);
    if (EditorInterface* editor = getEditor())
        editor->receiveMessage(message);
    if (controller == kModulationWheel && list != nullptr)
        for (Module* module : *list)
            if (Engine* engine = module->getEngine())
                engine->setModulation(value);
}

} // namespace trov
