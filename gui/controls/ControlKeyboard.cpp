#include "gui/controls/ControlKeyboard.h"

#include "engine/modules/Engine.h"
#include "engine/modules/Module.h"
#include "engine/notes/Note.h"
#include "framework/Dictionary.h"
#include "framework/System.h"
#include "gui/Bitmap.h"
#include "gui/Canvas.h"
#include "gui/Editor.h"
#include "gui/PopupMenu.h"
#include "gui/controls/SkinBitmaps.h"
#include "instance/Plugin.h"
#include "plugin/Parameter.h"
#include "plugin/Settings.h"

#include <algorithm>
#include <cmath>

namespace trov {

namespace {

constexpr int kNoteOnStatus = 0x90;
constexpr int kNoteOffStatus = 0x80;
constexpr int kHighestVelocity = 127;
// Where a key's bitmap rows lie: sounding one row down, selected two more.
constexpr int kSoundingRow = 1;
constexpr int kSelectedRows = 2;
// The bitmap column of a C that ends the keyboard.
constexpr int kClosingCColumn = 7;

// Each white key's place among the octave's seven, by pitch class; -1 for the black keys.
constexpr int kWhiteIndex[12] = {0, -1, 1, -1, 2, 3, -1, 4, -1, 5, -1, 6};

int pitchClass(int key) {
    return key % 12;
}

// The key's left edge within its octave, as a share of the octave's width.
float octavePosition(int pitch) {
    const int white = kWhiteIndex[pitch];
    return white >= 0 ? static_cast<float>(white) * 0.14285715f : static_cast<float>(pitch) * 0.083333336f;
}

std::int32_t nearest(float v) {
    return static_cast<std::int32_t>(std::nearbyint(v));
}

std::int16_t clampKey(int key) {
    return static_cast<std::int16_t>(std::clamp(key, 0, ControlKeyboard::kKeyCount - 1));
}

} // namespace

ControlKeyboard::ControlKeyboard(Editor* editor, const Rect& bounds) : Control(editor, bounds) {}

// Out of the engine first: its lock waits for a note being shown, so none reaches a keyboard coming apart.
ControlKeyboard::~ControlKeyboard() {
    if (Engine* engine = engineOf(getOwner()))
        tuneOutOf(engine);
    releaseBitmaps();
}

void ControlKeyboard::releaseBitmaps() {
    for (Bitmap*& bitmap : bitmaps_)
        giveBackSkinBitmap(getResources(), bitmap);
    bitmaps_.clear();
}

bool ControlKeyboard::isBlackKey(int key) {
    return key >= 0 && kWhiteIndex[pitchClass(key)] < 0;
}

Engine* ControlKeyboard::engineOf(const Module* module) const {
    return module != nullptr ? module->getEngine() : nullptr;
}

void ControlKeyboard::setOwner(const Module* module) {
    if (Engine* old = engineOf(getOwner()))
        tuneOutOf(old);
    Control::setOwner(module);
    if (Engine* engine = engineOf(getOwner()))
        tuneInTo(engine);
}

bool ControlKeyboard::fromDictionary(const Dictionary& spec) {
    Control::fromDictionary(spec);
    int low = 0;
    int high = 0;
    if (spec.getInteger("lokey", &low) && spec.getInteger("hikey", &high))
        range_ = KeyRange(clampKey(low), clampKey(high));
    const int count = spec.getArraySize("bitmaps");
    if (count > 0)
        releaseBitmaps();
    for (int i = 0; i < count; ++i)
        if (const Dictionary::View item = spec.getArrayItem("bitmaps", i))
            bitmaps_.push_back(takeSkinBitmap(getResources(), item->getAttribute("value")));
    std::string text;
    if (spec.getString("colorSelect", &text)) {
        Color color = selectColor_;
        if (color.parse(text))
            selectColor_ = color;
    }
    layout();
    return true;
}

// A range without white keys has no octave width to lay out by: it gets no keys at all.
void ControlKeyboard::layout() {
    Control::layout();
    const int low = range_.low;
    const int high = range_.high;
    keyRects_.assign(static_cast<std::size_t>(high) + 1, Rect());
    int whites = 0;
    for (int k = low; k <= high; ++k) {
        sounding_[static_cast<std::size_t>(k)].store(false, std::memory_order_relaxed);
        whites += isBlackKey(k) ? 0 : 1;
    }
    mouseKey_ = kNoKey;
    if (whites > 0) {
        const Rect local = getLocalRect();
        const float octave = static_cast<float>(local.getWidth()) * 7.0f / static_cast<float>(whites);
        const auto height = static_cast<float>(local.getHeight());
        const float start = octavePosition(pitchClass(low));
        int octaves = 0;
        for (int k = low; k <= high; ++k) {
            const int pitch = pitchClass(k);
            const std::int32_t left =
                nearest((static_cast<float>(octaves) + octavePosition(pitch) - start) * octave);
            keyRects_[static_cast<std::size_t>(k)] =
                isBlackKey(k)
                    ? Rect(left, 0, nearest(octave * 0.09090909f + 0.5f), nearest(height * kBlackKeyHeight))
                    : Rect(left, 0, nearest(octave * 0.14285715f + 0.5f), nearest(height));
            if (pitch == 11)
                ++octaves;
        }
    }
    if (Engine* engine = engineOf(getOwner()))
        tuneInTo(engine);
}

Rect ControlKeyboard::getKeyRect(int key) const {
    return inRange(key) && static_cast<std::size_t>(key) < keyRects_.size()
               ? keyRects_[static_cast<std::size_t>(key)]
               : Rect();
}

int ControlKeyboard::getKeyAt(const Point& p) const {
    for (const bool black : {true, false})
        for (int k = range_.low; k <= range_.high; ++k)
            if (isBlackKey(k) == black) {
                const Rect r = getKeyRect(k);
                if (!r.isEmpty() && r.contains(p))
                    return k;
            }
    return kNoKey;
}

Rect ControlKeyboard::getKeysBounds() const {
    return getKeyRect(range_.low).unite(getKeyRect(range_.high));
}

void ControlKeyboard::setSelectedRange(const KeyRange& range) {
    if (range == selected_)
        return;
    selected_ = range;
    setNeedsRedraw(true);
}

bool ControlKeyboard::isSounding(int key) const {
    return key >= 0 && key < kKeyCount &&
           sounding_[static_cast<std::size_t>(key)].load(std::memory_order_relaxed);
}

void ControlKeyboard::setKeyState(int key, bool sounding) {
    if (key < 0 || key >= kKeyCount)
        return;
    sounding_[static_cast<std::size_t>(key)].store(sounding, std::memory_order_relaxed);
    if (onUserInterfaceThread())
        redrawKey(key);
    else
        requestRedraw(true);
}

Bitmap* ControlKeyboard::bitmapOf(int key) const {
    return bitmaps_.empty() ? nullptr : bitmaps_[static_cast<std::size_t>(key) % bitmaps_.size()];
}

void ControlKeyboard::redrawKey(int key) {
    Editor* editor = getOwnerEditor();
    if (!inRange(key) || editor == nullptr || !isVisible())
        return;
    Rect r = getKeyRect(key);
    if (const Bitmap* bitmap = bitmapOf(key))
        r.setSizeOf(bitmap->getFrameRect());
    editor->addDirtyRect(r + getAbsoluteRect().getTopLeft());
}

// ---- painting

void ControlKeyboard::paintKey(Canvas& canvas, int key) const {
    const Rect r = getKeyRect(key);
    const bool black = isBlackKey(key);
    const bool sounding = isSounding(key);
    const bool selected = selected_.contains(static_cast<std::int16_t>(key));
    if (Bitmap* bitmap = bitmapOf(key)) {
        const Rect frame = bitmap->getFrameRect();
        Rect source = frame;
        source.offset(0,
                      frame.getHeight() * ((sounding ? kSoundingRow : 0) + (selected ? kSelectedRows : 0)));
        if (!black) {
            const int column =
                pitchClass(key) == 0 && key == range_.high ? kClosingCColumn : kWhiteIndex[pitchClass(key)];
            source.offset(frame.getWidth() * column, 0);
        }
        canvas.drawBitmap(bitmap, source, Rect(r.left, r.top, frame.getWidth(), frame.getHeight()));
        return;
    }
    Color fill = black ? colorBlack : colorWhite;
    if (sounding) {
        fill = colorRed;
    } else if (selected) {
        fill.blend(selectColor_, 0.5f);
    }
    canvas.setBrushColor(fill);
    canvas.fillRect(r);
    canvas.setPenColor(colorBlack);
    canvas.frameRect(r);
}

void ControlKeyboard::paint(Canvas& canvas, const Rect& area) {
    applyRootNote(pendingRootKey_.exchange(kNoKey, std::memory_order_acq_rel));
    for (const bool black : {false, true})
        for (int k = range_.low; k <= range_.high; ++k)
            if (isBlackKey(k) == black) {
                const Rect r = getKeyRect(k);
                if (!r.isEmpty() && r.intersects(area))
                    paintKey(canvas, k);
            }
}

// ---- events

bool ControlKeyboard::receive(const Message& message) {
    if (message.kind == kKindControl && message.code == Code::kRightClick) {
        if (const auto item = static_cast<std::int32_t>(message.extra); item >= kFirstTuningItem)
            if (Plugin* plugin = getPlugin())
                plugin->selectTuning(item - kFirstTuningItem);
        return true;
    }
    if (message.kind == kKindMidi)
        engineNote(message);
    if (message.kind == kKindWindow)
        if (const auto* window = dynamic_cast<const WindowMessage*>(&message)) {
            switch (window->code) {
            case 3000:
            case 3001:
            case 3003:
            case 3004:
                if (press(*window))
                    return true;
                break;
            case 3002:
            case 3005:
                return release(*window);
            case 3009:
                return slide(*window);
            default:
                break;
            }
        }
    return Control::receive(message);
}

// The engine's broadcast, on the thread that plays the note.
bool ControlKeyboard::engineNote(const Message& message) {
    const Note* note = wordToPointer<const Note>(message.extra);
    if ((message.code != Code::kNoteOn && message.code != Code::kNoteOff) || note == nullptr ||
        !inRange(note->getKey()))
        return false;
    const int key = note->getKey();
    if (message.code == Code::kNoteOn) {
        if (isKeyDown(kKeyAlt)) {
            if (onUserInterfaceThread())
                applyRootNote(key);
            else
                pendingRootKey_.store(key, std::memory_order_release);
        }
        setKeyState(key, true);
    } else {
        setKeyState(key, false);
    }
    return true;
}

// User-interface thread: a note played with Alt held while the editor has the keyboard focus tunes the
// root note.
void ControlKeyboard::applyRootNote(int key) {
    const Editor* editor = getOwnerEditor();
    if (key == kNoKey || editor == nullptr || !editor->isOpen() || !editor->hasKeyboardFocus())
        return;
    if (Settings* settings = getSettings())
        settings->setLong("WaveRootNote", key, Sender::kEditor);
}

int ControlKeyboard::velocityAt(const Point& p, int key) const {
    const int height = std::max(getKeyRect(key).getHeight(), 1);
    const double velocity = std::nearbyint(static_cast<double>(p.y) * kHighestVelocity / height);
    return static_cast<int>(std::clamp(velocity, 0.0, static_cast<double>(kHighestVelocity)));
}

void ControlKeyboard::sendNote(int status, int key, int velocity) {
    Plugin* plugin = getPlugin();
    if (plugin == nullptr || key < 0 || key >= kKeyCount)
        return;
    Note note(getOwner());
    note.setMidiEvent(status, 0, key, velocity, 0, 0, 0);
    plugin->receive(MidiMessage(this, status == kNoteOnStatus ? Code::kNoteOn : Code::kNoteOff, &note));
}

bool ControlKeyboard::press(const WindowMessage& message) {
    if (testFlags(kEditable) == 0)
        return false;
    const int key = getKeyAt(message.where);
    if (key == kNoKey || isSounding(key))
        return false;
    sendNote(kNoteOnStatus, key, velocityAt(message.where, key));
    redrawKey(key);
    sounding_[static_cast<std::size_t>(key)].store(true, std::memory_order_relaxed);
    mouseKey_ = key;
    return true;
}

bool ControlKeyboard::release(const WindowMessage& message) {
    if (mouseKey_ == kNoKey)
        return true;
    const int key = mouseKey_;
    sendNote(kNoteOffStatus, key, velocityAt(message.where, key));
    redrawKey(key);
    sounding_[static_cast<std::size_t>(key)].store(false, std::memory_order_relaxed);
    mouseKey_ = kNoKey;
    return true;
}

bool ControlKeyboard::slide(const WindowMessage& message) {
    const int key = getKeyAt(message.where);
    if (key == kNoKey || key == mouseKey_)
        return true;
    const int velocity = velocityAt(message.where, key);
    const int old = mouseKey_;
    if (old != kNoKey) {
        sendNote(kNoteOffStatus, old, velocity);
        redrawKey(old);
        sounding_[static_cast<std::size_t>(old)].store(false, std::memory_order_relaxed);
    }
    sendNote(kNoteOnStatus, key, velocity);
    redrawKey(key);
    sounding_[static_cast<std::size_t>(key)].store(true, std::memory_order_relaxed);
    mouseKey_ = key;
    return true;
}

// ---- text and menu

std::string ControlKeyboard::getValueText() {
    const Plugin* plugin = getPlugin();
    return "Keyboard Tuning: " + (plugin != nullptr ? plugin->getCurrentTuningName() : std::string());
}

void ControlKeyboard::showContextMenu(PopupMenu& menu, const Point& where) {
    const auto owner = pointerToWord(this);
    if (PopupMenu* tunings = menu.addSubmenu(PopupMenuItem(owner, kTuningMenu, "Keyboard Tuning", 0)))
        if (const Plugin* plugin = getPlugin()) {
            const int current = plugin->getCurrentTuningIndex();
            for (int i = 0;; ++i) {
                const std::string name = plugin->getTuningName(i);
                if (name.empty())
                    break;
                tunings->addItem(PopupMenuItem(owner, kFirstTuningItem + i, name,
                                               i == current ? PopupMenuItem::kChecked : 0));
            }
        }
    menu.addSeparator();
    Control::showContextMenu(menu, where);
}

} // namespace trov
