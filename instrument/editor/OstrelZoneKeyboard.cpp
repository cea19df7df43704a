// The zone keyboard's geometry, stations and gestures: zones made, selected, moved and resized on the keys,
// files dropped on bands, the context menu and notes that select zones.
#include "instrument/editor/OstrelZoneKeyboard.h"

#include "engine/modules/Engine.h"
#include "engine/modules/Module.h"
#include "engine/notes/Note.h"
#include "engine/samples/Sample.h"
#include "engine/zones/Resources.h"
#include "engine/zones/Zone.h"
#include "engine/zones/ZoneManager.h"
#include "framework/Dictionary.h"
#include "framework/File.h"
#include "framework/System.h"
#include "gui/Bitmap.h"
#include "gui/Editor.h"
#include "gui/PopupMenu.h"
#include "gui/controls/ControlKeyboard.h"
#include "gui/controls/MidiNames.h"
#include "instrument/editor/EditorKeys.h"
#include "plugin/Parameter.h"
#include "plugin/Settings.h"

#include <algorithm>

namespace trov {

namespace {

constexpr const char* kWatched[] = {keys::kCurrentModule, keys::kCurrentSample, keys::kCurrentZone,
                                    keys::kSampleUnload};
constexpr const char* kWatchedOnLayout[] = {keys::kOscMixMode, keys::kSampleSliced, keys::kWaveRootNote};
constexpr float kDragSpeed = 0.01f;
constexpr std::int32_t kDropKinds = 4;
// Cursor shapes.
constexpr int kMoveBoth = 1;
constexpr int kMoveLow = 4;
constexpr int kMoveHigh = 5;
constexpr int kArrow = 8;

// A key number, or none.
bool isKey(int key) {
    return key != ControlKeyboard::kNoKey;
}

std::int32_t longOf(const Message& message) {
    return static_cast<std::int32_t>(static_cast<std::intptr_t>(message.extra));
}

} // namespace

OstrelZoneKeyboard::OstrelZoneKeyboard(Editor* editor, const Rect& bounds) : ControlValue(editor, bounds) {
    setDragSpeed(kDragSpeed);
    setFlags(kEditable | kAcceptsDrops);
    setDropKinds(kDropKinds);
    for (const char* name : kWatched)
        listenTo(name);
}

OstrelZoneKeyboard::~OstrelZoneKeyboard() {
    if (copied_ != nullptr)
        copied_->release();
    if (keyboard_ != nullptr)
        keyboard_->tuneOut(keys::kCurrentZone);
    tuneOutOfStations();
    giveBack(marker_);
}

// ---- stations

void OstrelZoneKeyboard::tuneOutOfStations() {
    for (Radio** station : {&engine_, &zones_})
        if (*station != nullptr) {
            tuneOutOf(*station);
            *station = nullptr;
        }
    if (Resources* resources = getResources())
        tuneOutOf(resources);
    if (Editor* editor = getOwnerEditor())
        tuneOutOf(editor);
}

// The stations of the module shown: a module switch leaves the old module's engine and zone manager.
void OstrelZoneKeyboard::retune() {
    tuneOutOfStations();
    const Module* module = getOwner();
    engine_ = module != nullptr ? module->getEngine() : nullptr;
    zones_ = getZoneManager();
    for (Radio* station :
         {engine_, static_cast<Radio*>(getResources()), zones_, static_cast<Radio*>(getOwnerEditor())})
        if (station != nullptr)
            tuneInTo(station);
}

void OstrelZoneKeyboard::layout() {
    for (const char* name : kWatchedOnLayout)
        listenTo(name);
    retune();
    if (keyboard_ == nullptr)
        for (Control* child : getChildren())
            if (auto* keyboard = dynamic_cast<ControlKeyboard*>(child)) {
                keyboard_ = keyboard;
                keyboard_->tuneIn(keys::kCurrentZone);
                keyboard_->setFlags(kAcceptsDrops);
                // Every press over the keys is the zone keyboard's.
                keyboard_->setFlags(kIgnoresPointer);
                break;
            }
    laidOut_ = true;
}

void OstrelZoneKeyboard::setOwner(const Module* module) {
    ControlValue::setOwner(module);
    if (laidOut_)
        retune();
}

bool OstrelZoneKeyboard::fromDictionary(const Dictionary& spec) {
    const bool read = ControlValue::fromDictionary(spec);
    if (readBitmap(spec, "marker", marker_) && marker_ != nullptr && marker_->getFrameCount() > 0)
        bandUnit_ = 2 * marker_->getBounds().getHeight() / marker_->getFrameCount();
    std::string text;
    for (auto [key, colour] :
         {std::pair{"colorZoneOn", &colorZoneOn_}, std::pair{"colorZoneOff", &colorZoneOff_}})
        if (spec.getString(key, &text)) {
            Color parsed = *colour;
            if (parsed.parse(text))
                *colour = parsed;
        }
    return read;
}

// ---- geometry

KeyRange OstrelZoneKeyboard::getZoneKeyRange(int index) const {
    const ZoneManager* zones = getZoneManager();
    return zones != nullptr ? zones->getZoneKeyRange(index) : KeyRange();
}

KeyRange OstrelZoneKeyboard::getBandRange(int index) const {
    if (!isPairMode())
        return getZoneKeyRange(index);
    const KeyRange first = getZoneKeyRange(index & ~1);
    const KeyRange second = getZoneKeyRange(index | 1);
    return second.high != 0 ? KeyRange(first.low, second.high) : first;
}

int OstrelZoneKeyboard::keyAt(const Point& p) const {
    return keyboard_ != nullptr ? keyboard_->getKeyAt(p) : ControlKeyboard::kNoKey;
}

int OstrelZoneKeyboard::zoneForKey(int key) const {
    const ZoneManager* zones = getZoneManager();
    return zones != nullptr && isKey(key) ? zones->findZoneForKey(key) : kNoZone;
}

// A zone outside the keyboard's keys has no band: one above them would otherwise span the whole keyboard.
Rect OstrelZoneKeyboard::zoneRectangle(int index, const KeyRange& range) const {
    if (keyboard_ == nullptr)
        return Rect();
    const int lowest = keyboard_->getLowKey();
    const int highest = keyboard_->getHighKey();
    if (range.isEmpty() || range.high < lowest || range.low > highest)
        return Rect();
    const int low = std::max<int>(range.low, lowest);
    const int high = std::min<int>(range.high, highest);
    const int left = ControlKeyboard::isBlackKey(low) || low == lowest
                         ? keyboard_->getKeyRect(low).left
                         : keyboard_->getKeyRect(low - 1).right + 1;
    const int right = ControlKeyboard::isBlackKey(high) || high == highest
                          ? keyboard_->getKeyRect(high).right
                          : keyboard_->getKeyRect(high + 1).left;
    const int top = isPairMode() ? ((index & 1) == 0 ? bandUnit_ / 2 : 0) : bandUnit_ / 4;
    return Rect(Point(left, top), Point(right, top + bandUnit_ / 2));
}

Rect OstrelZoneKeyboard::getZoneRect(int index) const {
    return zoneRectangle(index, getBandRange(index));
}

Rect OstrelZoneKeyboard::getSliceRect(int index) const {
    KeyRange range = getBandRange(index);
    if (const ZoneManager* zones = getZoneManager())
        if (const SharedObjectPtr<Zone> zone(zones->getZone(index));
            zone && zone->getParameterBool(keys::kSampleSliced))
            range.high =
                static_cast<std::int16_t>(std::min(range.low + zone->getSliceCount() - 1, int{range.high}));
    return zoneRectangle(index, range);
}

int OstrelZoneKeyboard::zoneAtPoint(const Point& p) const {
    const int key = keyAt(p);
    if (!isPairMode())
        return zoneForKey(key);
    const ZoneManager* zones = getZoneManager();
    const int count = zones != nullptr ? zones->getZoneCount() : 0;
    if (!isKey(key))
        return kNoZone;
    for (int i = 0; i < count; i += 2) {
        if (i + 1 >= count)
            return getZoneKeyRange(i).contains(static_cast<std::int16_t>(key)) ? i : kNoZone;
        if (getZoneKeyRange(i).low <= key && key <= getZoneKeyRange(i + 1).high)
            return p.y < bandUnit_ / 2 ? i + 1 : i;
    }
    return kNoZone;
}

int OstrelZoneKeyboard::dragModeAt(int x, const Rect& band) const {
    if (x < band.left + edgeWidth_ && x < band.right - edgeWidth_)
        return kDragLow;
    if (x > band.right - edgeWidth_ && x > band.left + edgeWidth_)
        return kDragHigh;
    return kDragWhole;
}

std::string OstrelZoneKeyboard::sampleFileName(const Zone& zone) const {
    const Resources* resources = getResources();
    return resources != nullptr ? resources->getSampleFile(zone.getSampleName()).getName() : std::string();
}

Rect OstrelZoneKeyboard::getActiveRect(const Point& p) {
    const Point origin = getAbsoluteRect().getTopLeft();
    const ZoneManager* zones = getZoneManager();
    const int count = zones != nullptr ? zones->getZoneCount() : 0;
    for (int i = 0; i < count; ++i)
        if (const Rect band = getZoneRect(i); !band.isEmpty() && band.contains(p - origin))
            return band + origin;
    return keyboard_ != nullptr ? keyboard_->getActiveRect(p) : Rect();
}

// ---- selection and redraws

void OstrelZoneKeyboard::updateKeyboardSelection() {
    if (keyboard_ == nullptr)
        return;
    const ZoneManager* zones = getZoneManager();
    if (zones == nullptr || zones->getZoneCount() == 0) {
        keyboard_->setSelectColor(colorZoneOff_);
        keyboard_->setSelectedRange(KeyRange(0, -1));
        return;
    }
    const int current = zones->getCurrentZoneIndex();
    const SharedObjectPtr<Zone> zone(zones->getZone(current));
    keyboard_->setSelectColor(colorZoneOn_);
    keyboard_->setSelectedRange(zone && !sampleFileName(*zone).empty() ? getBandRange(current)
                                                                       : KeyRange(0, -1));
}

// Off the user-interface thread only the redraw is recorded; the keyboard's selection waits for the tick.
void OstrelZoneKeyboard::setNeedsRedraw(bool on) {
    ControlValue::setNeedsRedraw(on);
    if (keyboard_ == nullptr)
        return;
    if (!onUserInterfaceThread()) {
        if (on) {
            pendingSelection_.store(true, std::memory_order_release);
            deferControlWork();
        }
        return;
    }
    if (on)
        updateKeyboardSelection();
    keyboard_->setNeedsRedraw(on);
}

void OstrelZoneKeyboard::applyDeferredControlWork() {
    if (pendingLayout_.exchange(false, std::memory_order_acq_rel))
        layout();
    if (const int key = pendingAutoSelect_.exchange(kNoZone, std::memory_order_acq_rel); isKey(key)) {
        const Settings* settings = getSettings();
        if (settings != nullptr && settings->getBool(keys::kZoneAutoSelect))
            if (const int zone = zoneForKey(key); zone >= 0)
                selectZone(zone);
    }
    if (pendingSelection_.exchange(false, std::memory_order_acq_rel))
        setNeedsRedraw(true);
}

void OstrelZoneKeyboard::selectZone(int index) {
    if (ZoneManager* zones = getZoneManager())
        zones->selectZone(index);
    setNeedsRedraw(true);
}

// ---- messages

bool OstrelZoneKeyboard::receive(const Message& message) {
    switch (message.kind) {
    case kKindWindow:
        if (const auto* window = dynamic_cast<const WindowMessage*>(&message))
            return receiveWindow(*window);
        break;
    case kKindResource:
        if (const auto* added = dynamic_cast<const ResourceMessage*>(&message);
            added != nullptr && added->code == Code::kResourceAdded) {
            const Resources* resources = getResources();
            const Sample* sample = resources != nullptr ? resources->findSample(added->name) : nullptr;
            rootNote_.store(sample != nullptr ? sample->getRootNote() : 0, std::memory_order_relaxed);
            setNeedsRedraw(true);
        }
        break;
    case kKindParameter:
        if (const auto* change = dynamic_cast<const ParameterMessage*>(&message);
            change != nullptr && change->code == Code::kParameterValue && receiveParameter(*change))
            return true;
        break;
    case kKindMidi:
        if (message.code == Code::kNoteOn)
            noteOn(message);
        break;
    case kKindControl:
        if (message.code == Code::kRightClick)
            if (const auto* command = dynamic_cast<const ControlMessage*>(&message))
                return menuCommand(*command);
        break;
    default:
        break;
    }
    return ControlValue::receive(message);
}

bool OstrelZoneKeyboard::receiveParameter(const ParameterMessage& message) {
    const std::string_view name = message.name;
    if (name == keys::kCurrentModule) {
        if (onUserInterfaceThread()) {
            layout();
        } else {
            pendingLayout_.store(true, std::memory_order_release);
            deferControlWork();
        }
    } else if (name == keys::kOscMixMode) {
        pairMode_.store((message.extra & 0xFF) != 0, std::memory_order_relaxed);
    } else if (name == keys::kWaveRootNote) {
        rootNote_.store(longOf(message), std::memory_order_relaxed);
    } else if (name == keys::kSampleUnload) {
        if (message.extra == 0)
            return false;
    } else if (name != keys::kCurrentSample && name != keys::kCurrentZone && name != keys::kSampleSliced) {
        return false;
    }
    setNeedsRedraw(true);
    return true;
}

// The engine's note, on the thread that plays it: the zone is looked up and selected at the next tick.
void OstrelZoneKeyboard::noteOn(const Message& message) {
    const Note* note = wordToPointer<const Note>(message.extra);
    if (note == nullptr)
        return;
    pendingAutoSelect_.store(note->getKey(), std::memory_order_release);
    deferControlWork();
}

bool OstrelZoneKeyboard::receiveWindow(const WindowMessage& message) {
    switch (message.code) {
    case 3000:
        return press(message);
    case 3002:
    case 3006:
        if (keyboard_ == nullptr)
            break;
        setPointerCursor(message);
        return true;
    case 3009:
        if (keyboard_ == nullptr || dragZone_ < 0)
            break;
        return dragStep(message);
    case 3013:
        return false;
    case 3018:
    case 3019:
    case 3020:
        if (keyboard_ != nullptr && keyboard_->receive(message))
            return true;
        break;
    case 3021:
    case 3022:
        if (drop(message))
            return true;
        break;
    default:
        break;
    }
    return ControlValue::receive(message);
}

bool OstrelZoneKeyboard::press(const WindowMessage& message) {
    dragZone_ = kNoZone;
    ZoneManager* zones = getZoneManager();
    if (keyboard_ == nullptr || zones == nullptr)
        return ControlValue::receive(message);
    const int key = keyAt(message.where);
    const int zone = zoneAtPoint(message.where);
    if (zone >= 0) {
        dragRect_ = getZoneRect(zone);
        dragMode_ = dragModeAt(message.where.x, dragRect_);
        dragZone_ = zone;
        if (isPairMode() && dragMode_ == kDragLow)
            dragZone_ = zone & ~1;
        else if (isPairMode() && dragMode_ == kDragHigh)
            dragZone_ = zone | 1;
        zones->selectZone(zone);
        setNeedsRedraw(true);
        return true;
    }
    if (!isKey(key))
        return ControlValue::receive(message);
    dragMode_ = kDragWhole;
    const auto k = static_cast<std::int16_t>(key);
    dragZone_ = zones->createZone(KeyRange(k, k), Resources::createId());
    dragRect_ = getZoneRect(dragZone_);
    setNeedsRedraw(true);
    return true;
}

void OstrelZoneKeyboard::setPointerCursor(const WindowMessage& message) {
    const int zone = zoneForKey(keyAt(message.where));
    if (zone < 0) {
        setCursor(kArrow);
        return;
    }
    switch (dragModeAt(message.where.x, getZoneRect(zone))) {
    case kDragLow:
        setCursor(kMoveLow);
        break;
    case kDragHigh:
        setCursor(kMoveHigh);
        break;
    default:
        setCursor(kMoveBoth);
        break;
    }
}

// The pointer's movement moves the dragged band and widens it by the downward movement on either side;
// the zone's keys follow the band's corners but stop next to any other zone.
bool OstrelZoneKeyboard::dragStep(const WindowMessage& message) {
    ZoneManager* zones = getZoneManager();
    const auto* movement = wordToPointer<const Point>(message.extra);
    // A zone removed meanwhile is not dragged at either edge.
    if (zones == nullptr || movement == nullptr || dragZone_ >= zones->getZoneCount())
        return true;
    dragRect_.offset(movement->x, 0);
    dragRect_.outset(movement->y, 0);
    const int count = zones->getZoneCount();
    KeyRange range = zones->getZoneKeyRange(dragZone_);
    const KeyRange before = range;
    if ((dragMode_ & kDragLow) != 0) {
        int k = keyAt(dragRect_.getTopLeft());
        if (isKey(k)) {
            for (int j = 0; j < count; ++j)
                if (const KeyRange other = zones->getZoneKeyRange(j);
                    j != dragZone_ && other.overlaps(KeyRange(static_cast<std::int16_t>(k), range.high)))
                    k = other.high + 1;
            if (k != range.low && k <= range.high) {
                range.low = static_cast<std::int16_t>(k);
                zones->setZoneKeyRange(dragZone_, range);
                setNeedsRedraw(true);
            }
        }
    }
    if ((dragMode_ & kDragHigh) != 0) {
        int k = keyAt(Point(dragRect_.right, dragRect_.top));
        if (isKey(k)) {
            for (int j = 0; j < count; ++j)
                if (const KeyRange other = zones->getZoneKeyRange(j);
                    j != dragZone_ && other.overlaps(KeyRange(range.low, static_cast<std::int16_t>(k))))
                    k = other.low - 1;
            if (k >= range.low && k != range.high) {
                range.high = static_cast<std::int16_t>(k);
                zones->setZoneKeyRange(dragZone_, range);
                setNeedsRedraw(true);
            }
        }
    }
    // Published again, so that whoever shows the zone's values sees its new keys.
    if (range != before)
        if (const SharedObjectPtr<Zone> zone(zones->getZone(dragZone_)); zone)
            zones->zoneChanged(zone.get());
    return true;
}

// Only the x position counts: a file dropped anywhere above or below a band lands on its zone.
bool OstrelZoneKeyboard::drop(const WindowMessage& message) {
    ZoneManager* zones = getZoneManager();
    const int count = zones != nullptr ? zones->getZoneCount() : 0;
    for (int i = 0; i < count; ++i) {
        const Rect band = getZoneRect(i);
        if (band.isEmpty() || message.where.x < band.left || message.where.x > band.right)
            continue;
        const SharedObjectPtr<Zone> zone(zones->getZone(i));
        if (zone && zone->receive(message)) {
            zones->selectZone(i);
            setNeedsRedraw(true);
        }
        return true;
    }
    return false;
}

// ---- context menu

void OstrelZoneKeyboard::showContextMenu(PopupMenu& menu, const Point& where) {
    const int zone = zoneForKey(keyAt(where));
    const auto owner = pointerToWord(this);
    const std::int32_t disabled = PopupMenuItem::kDisabled | PopupMenuItem::kGreyed;
    menu.addItem(PopupMenuItem(owner, kCopyZone, "Copy zone", zone < 0 ? disabled : 0));
    menu.addItem(
        PopupMenuItem(owner, kPasteZone, "Paste zone", zone >= 0 || copied_ == nullptr ? disabled : 0));
    menu.addItem(PopupMenuItem(owner, kDeleteZone, "Delete zone", zone < 0 ? disabled : 0));
    menu.addSeparator();
    ControlValue::showContextMenu(menu, where);
}

bool OstrelZoneKeyboard::menuCommand(const ControlMessage& message) {
    ZoneManager* zones = getZoneManager();
    if (zones == nullptr)
        return true;
    const int key = keyAt(message.where);
    const int zone = zoneForKey(key);
    switch (static_cast<std::int32_t>(message.extra)) {
    case kCopyZone:
        if (zone >= 0) {
            if (copied_ != nullptr)
                copied_->release();
            copied_ = zones->getZone(zone);
        }
        break;
    case kPasteZone:
        // One copy pastes once, as a one-key zone on a free key, of the copied zone's own kind.
        if (zone < 0 && isKey(key) && copied_ != nullptr) {
            const auto k = static_cast<std::int16_t>(key);
            Zone* pasted = zones->createZoneObject(zones, KeyRange(k, k), std::string());
            *pasted = *copied_;
            pasted->setKeyRange(KeyRange(k, k));
            zones->addZone(pasted);
            pasted->release();
            copied_->release();
            copied_ = nullptr;
        }
        break;
    case kDeleteZone:
        if (zone >= 0) {
            zones->removeZone(zone);
            setNeedsRedraw(true);
            if (keyboard_ != nullptr) {
                const int current = zones->getCurrentZoneIndex();
                keyboard_->setSelectedRange(current >= 0 ? zones->getZoneKeyRange(current) : KeyRange(0, -1));
            }
        }
        break;
    default:
        return ControlValue::receive(message);
    }
    return true;
}

// ---- text

std::string OstrelZoneKeyboard::getValueText() {
    const SharedObjectPtr<Zone> zone(getCurrentZone());
    const KeyRange range = zone ? zone->getKeyRange() : KeyRange();
    if (range.low >= range.high)
        return std::string();
    return std::to_string(range.low) + "-" + std::to_string(range.high) + " (" + getNoteName(range.low) +
           "-" + getNoteName(range.high) + ") " + sampleFileName(*zone);
}

} // namespace trov
