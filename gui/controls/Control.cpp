// The control base: construction, the specification, flags, the tree, geometry and redraw bookkeeping.
#include "gui/controls/Control.h"

#include "engine/modules/Module.h"
#include "engine/zones/Resources.h"
#include "engine/zones/ZoneManager.h"
#include "framework/Dictionary.h"
#include "gui/Bitmap.h"
#include "gui/Editor.h"
#include "gui/SafeDelete.h"
#include "gui/TimerAnimation.h"
#include "gui/controls/ControlScrollbar.h"
#include "plugin/Parameter.h"
#include "plugin/Settings.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <utility>

namespace trov {

namespace {

// Coordinates read from a specification are kept where sums of a few of them cannot overflow.
constexpr std::int32_t kCoordinateLimit = 1 << 20;

std::int32_t coordinate(const Dictionary& spec, const char* key, std::int32_t fallback) {
    int value = fallback;
    spec.getInteger(key, &value);
    return std::clamp(value, -kCoordinateLimit, kCoordinateLimit);
}

} // namespace

Control::Control(Editor* editor, const Rect& bounds)
    : Radio(editor != nullptr ? editor->getOwner() : nullptr), editor_(editor), bounds_(bounds) {}

Control::~Control() {
    tuneOut(showParameterName_);
    for (std::atomic<TimerAnimation*>* slot : {&fadeAnimation_, &hoverAnimation_})
        if (TimerAnimation* animation = slot->load()) {
            tuneOutOf(animation);
            safeDelete(*slot);
        }
    giveBack(backgroundBitmap_);
    giveBack(overlayBitmap_);
    giveBack(alphabetBitmap_);
    tuneOutOfParameter();
    if (!altReverseParameterName_.empty())
        tuneOut(altReverseParameterName_);
    for (const std::string& name : listenTo_)
        tuneOut(name);
    if (parent_ != nullptr)
        parent_->removeChild(this);
    const std::vector<Control*> children = children_;
    for (Control* child : children) {
        removeChild(child);
        child->parent_ = nullptr;
        delete child;
    }
}

EditorInterface* Control::getEditor() const {
    return editor_;
}

bool Control::onUserInterfaceThread() const {
    return editor_ == nullptr || editor_->isUserInterfaceThread();
}

// ---- the specification

Bitmap* Control::takeBitmap(const std::string& name) const {
    Resources* resources = getResources();
    BitmapInterface* found = resources != nullptr ? resources->getBitmap(name) : nullptr;
    auto* bitmap = dynamic_cast<Bitmap*>(found);
    if (found != nullptr && bitmap == nullptr)
        resources->releaseBitmap(found); // not one the canvas can draw
    return bitmap;
}

void Control::giveBack(Bitmap*& bitmap) {
    if (bitmap == nullptr)
        return;
    if (Resources* resources = getResources())
        resources->releaseBitmap(bitmap);
    else
        bitmap->release();
    bitmap = nullptr;
}

bool Control::readBitmap(const Dictionary& spec, const char* key, Bitmap*& bitmap) {
    std::string name;
    if (!spec.getString(key, &name))
        return false;
    giveBack(bitmap);
    bitmap = takeBitmap(name);
    return true;
}

void Control::setBackgroundBitmap(Bitmap* bitmap) {
    if (bitmap == backgroundBitmap_)
        return;
    giveBack(backgroundBitmap_);
    backgroundBitmap_ = bitmap;
}

bool Control::fromDictionary(const Dictionary& spec) {
    const std::int32_t x = coordinate(spec, "x", 0);
    const std::int32_t y = coordinate(spec, "y", 0);
    std::int32_t width = coordinate(spec, "width", 0);
    std::int32_t height = coordinate(spec, "height", 0);
    std::string text;
    if (spec.getString("id", &text))
        setId(text);
    if (spec.getString("label", &text))
        setLabel(text);
    spec.getString("tooltip", &tooltip_);
    if (spec.getString("tooltip", &text, 0, "placement")) {
        if (text == "horizontal")
            tooltipPlacement_ = kPlacementHorizontal;
        else if (text == "vertical")
            tooltipPlacement_ = kPlacementVertical;
        else if (text == "mouse")
            tooltipPlacement_ = kPlacementMouse;
    }
    if (spec.getString("altreverse", &text)) {
        altReverseParameterName_ = text;
        tuneIn(text);
    }
    if (spec.getString("background", &text)) {
        Color color = backgroundColor_;
        if (color.parse(text))
            backgroundColor_ = color;
        else
            setBackgroundBitmap(takeBitmap(text));
    }
    readBitmap(spec, "overlay", overlayBitmap_);
    if (backgroundBitmap_ != nullptr) {
        const Rect image = backgroundBitmap_->getBounds();
        if (width == 0)
            width = std::min(image.getWidth(), kCoordinateLimit);
        if (height == 0)
            height = std::min(image.getHeight(), kCoordinateLimit);
    }
    setBounds(Rect(x, y, width, height));
    if (const Dictionary::View thumbnail = spec.getDictionary("thumbnail")) {
        thumbnailRect_ =
            Rect(coordinate(*thumbnail, "x", x), coordinate(*thumbnail, "y", y),
                 coordinate(*thumbnail, "width", width / 4), coordinate(*thumbnail, "height", height / 4));
        setFlags(kShrunk | kVisible);
    }
    int zOrder = 0;
    if (spec.getInteger("zorder", &zOrder))
        setZOrder(zOrder);
    float transparency = 1.0f;
    if (spec.getFloat("transparency", &transparency))
        setTransparency(transparency);
    bool on = false;
    const auto readSwitches = [&](std::initializer_list<std::pair<const char*, std::uint64_t>> switches) {
        for (const auto& [key, flag] : switches)
            if (spec.getBool(key, &on))
                on ? setFlags(flag) : clearFlags(flag);
    };
    readSwitches({{"autoreset", kAutoReset}});
    if (spec.getBool("visible", &on))
        setVisible(on);
    if (spec.getBool("draggable", &on) && on)
        setFlags(kDraggable);
    readSwitches({{"editable", kEditable}, {"focusable", kFocusable}, {"enabled", kEnabled}});
    if (spec.getBool("noclip", &on) && on)
        clipMode_ = kNoClip;
    readSwitches(
        {{"showvalue", kShowValue}, {"export", kExport}, {"live", kLive}, {"textentry", kTextEntry}});
    readBitmap(spec, "alphabet", alphabetBitmap_);
    readSwitches({{"learn", kLearn}, {"modal", kModal}});
    try {
        const int count = spec.getArraySize("listento");
        for (int i = 0; i < count; ++i)
            if (const Dictionary::View item = spec.getArrayItem("listento", i)) {
                // Listened to from now on: the parameter was bound before the node was read.
                if (const std::string name = item->getAttribute("value");
                    !name.empty() && listenTo_.insert(name).second)
                    tuneIn(name);
            }
    } catch (...) {
        // A malformed list is skipped; the rest of the node is still read.
    }
    if (const Dictionary::View show = spec.findEntry("show")) {
        showValue_ = show->getAttribute("value") == "true" ? 1.0f : 0.0f;
        showParameterName_ = show->getAttribute("parameter");
        tuneIn(showParameterName_);
    }
    return true;
}

bool Control::toDictionary(Dictionary& spec) {
    spec.addDictionary(id_);
    return true;
}

std::string Control::getValueText() {
    Parameter* parameter = getParameter();
    if (testFlags(kShowValue) == 0 || parameter == nullptr || label_.empty())
        return std::string();
    return label_ + " = " + parameter->getText() + " " + parameter->getUnit();
}

// ---- the bound parameter

void Control::tuneOutOfParameter() {
    if (boundParameter_ != nullptr)
        tuneOutOf(boundParameter_);
    boundParameter_ = nullptr;
}

void Control::setParameter(const std::string& name) {
    tuneOutOfParameter();
    parameterName_ = name;
    if (Parameter* parameter = getParameter()) {
        boundParameter_ = parameter;
        tuneInTo(parameter);
    }
    for (const std::string& listened : listenTo_)
        tuneIn(listened);
}

Parameter* Control::getParameter() const {
    Settings* settings = getSettings();
    return settings != nullptr && !parameterName_.empty()
               ? settings->getParameter(parameterName_, parameterInstance_)
               : nullptr;
}

void Control::setParameterInstance(int instance) {
    if (instance == parameterInstance_)
        return;
    parameterInstance_ = instance;
    // A control bound before its instance was known listens to the instance it shows and sets.
    if (boundParameter_ != nullptr) {
        tuneOutOfParameter();
        if (Parameter* parameter = getParameter()) {
            boundParameter_ = parameter;
            tuneInTo(parameter);
        }
    }
}

void Control::setOwner(const Module* module) {
    for (const std::string& name : listenTo_)
        tuneOut(name);
    tuneOut(showParameterName_);
    tuneOutOfParameter();
    Radio::setOwner(module);
    for (Control* child : children_)
        child->setOwner(module);
    setParameter(parameterName_);
    tuneIn(showParameterName_);
    for (const std::string& name : listenTo_)
        tuneIn(name);
}

// ---- flags

void Control::setFlagBits(std::uint64_t mask) {
    flags_.fetch_or(mask, std::memory_order_acq_rel);
}

void Control::clearFlagBits(std::uint64_t mask) {
    flags_.fetch_and(~mask, std::memory_order_acq_rel);
}

bool Control::setFlags(std::uint64_t mask) {
    std::uint64_t old = flags_.load(std::memory_order_acquire);
    do {
        if ((old & mask) != 0)
            return false;
    } while (!flags_.compare_exchange_weak(old, old | mask, std::memory_order_acq_rel));
    if ((mask & kRedrawFlags) != 0)
        requestRedraw(true);
    return true;
}

bool Control::clearFlags(std::uint64_t mask) {
    if (testFlags(mask) == 0)
        return false;
    // Queued first, so that the area is repainted while the control still shows there.
    if ((mask & kRedrawFlags) != 0)
        requestRedraw(true);
    clearFlagBits(mask);
    return true;
}

void Control::setEditable(bool editable) {
    editable ? setFlags(kEditable) : clearFlags(kEditable);
}

void Control::setTooltip(const std::string& text) {
    tooltip_ = text;
    broadcast(ControlMessage(this, text.empty() ? Code::kControlState2 : Code::kControlState1));
}

void Control::setZOrder(int zOrder) {
    zOrder_ = parent_ != nullptr ? std::min(zOrder, parent_->zOrder_ - 1) : zOrder;
}

void Control::setHighlight(const Color& color) {
    highlightColor_ = color;
    setNeedsRedraw(true);
}

void Control::setDropKinds(std::int32_t kinds) {
    dropKinds_ = static_cast<std::uint64_t>(static_cast<std::int64_t>(kinds));
}

void Control::setScrollOffset(const Point& offset) {
    scrollOffset_ = offset;
    requestRedraw(true);
}

Control* Control::getScrollbar(int axis) const {
    return axis == 0 || axis == 1 ? scrollbars_[axis] : nullptr;
}

void Control::addScrollbar(int axis) {
    if ((axis == 0 || axis == 1) && scrollbars_[axis] == nullptr) {
        Rect strip = getLocalRect();
        if (axis == 0) {
            strip.bottom -= 1;
            strip.top = strip.bottom - kScrollbarWidth;
        } else {
            strip.right -= 1;
            strip.left = strip.right - kScrollbarWidth;
        }
        auto* bar = new ControlScrollbar(this, editor_, strip);
        static_cast<Control*>(bar)->clipMode_ = kNoClip;
        scrollbars_[axis] = bar;
        addChild(bar);
    }
    requestRedraw(true);
}

void Control::replaceAnimation(std::atomic<TimerAnimation*>& slot, TimerAnimation* animation) {
    if (TimerAnimation* old = slot.load()) {
        tuneOutOf(old);
        safeDelete(slot);
    }
    slot.store(animation);
    tuneInTo(animation);
}

void Control::setFadeAnimation(TimerAnimation* animation) {
    replaceAnimation(fadeAnimation_, animation);
}

void Control::setHoverAnimation(TimerAnimation* animation) {
    replaceAnimation(hoverAnimation_, animation);
}

// ---- tree

void Control::addChild(Control* child) {
    if (child == nullptr)
        return;
    children_.push_back(child);
    child->setParent(this);
}

void Control::removeChild(Control* child) {
    std::erase(children_, child);
}

void Control::setParent(Control* parent) {
    parent_ = parent;
    if (parent != nullptr && zOrder_ > parent->zOrder_ - 1)
        zOrder_ = parent->zOrder_ - 1;
    invalidateLayout();
}

bool Control::isDescendantOf(const Control* ancestor) const {
    for (const Control* c = this; c != nullptr; c = c->parent_)
        if (c == ancestor)
            return true;
    return false;
}

void Control::sortChildren() {
    std::stable_sort(children_.begin(), children_.end(),
                     [](const Control* a, const Control* b) { return a->zOrder_ > b->zOrder_; });
}

void Control::layout() {
    sortChildren();
    for (Control* child : children_)
        child->layout();
    if (getAbsoluteRect().isEmpty() && !children_.empty()) {
        Rect united;
        for (Control* child : children_)
            united = united.unite(child->getAbsoluteRect());
        setAbsoluteBounds(united);
    }
}

// ---- geometry

Rect Control::getRect() const {
    return hasThumbnail() && testFlags(kShrunk) != 0 ? thumbnailRect_ : bounds_;
}

Rect Control::getAbsoluteRect() {
    if (!absoluteRectStale_)
        return absoluteRect_;
    Rect r = getRect();
    if (parent_ != nullptr) {
        const Rect parent = parent_->getAbsoluteRect();
        r.offset(parent.getTopLeft());
        if (!parent.isEmpty())
            r.constrainTo(parent);
    }
    absoluteRect_ = r;
    absoluteRectStale_ = false;
    return r;
}

Point Control::getOrigin() const {
    Point origin = getRect().getTopLeft();
    for (const Control* c = parent_; c != nullptr; c = c->parent_)
        origin += c->getRect().getTopLeft();
    return origin;
}

void Control::setBounds(const Rect& r) {
    if (editor_ != nullptr && isVisible())
        editor_->addDirtyRect(getAbsoluteRect());
    bounds_ = r;
    invalidateLayout();
    if (isVisible())
        requestRedraw(true);
}

void Control::setAbsoluteBounds(const Rect& r) {
    Rect relative = r;
    if (parent_ != nullptr)
        relative -= parent_->getAbsoluteRect().getTopLeft();
    setBounds(relative);
}

void Control::moveBy(const Point& p) {
    setBounds(bounds_ + p);
}

void Control::setSize(const Rect& r) {
    if (r.getWidth() == getLocalRect().getWidth() && r.getHeight() == getLocalRect().getHeight())
        return;
    Rect current = getRect();
    current.setSizeOf(r);
    setBounds(current);
    if (scrollbars_[0] != nullptr)
        scrollbars_[0]->setContentHeight(r.getWidth());
    if (scrollbars_[1] != nullptr)
        scrollbars_[1]->setContentHeight(r.getHeight());
    requestRedraw(true);
}

void Control::markStale() {
    absoluteRectStale_ = true;
    for (Control* child : children_)
        child->markStale();
}

void Control::invalidateLayout() {
    for (Control* c = parent_; c != nullptr && !c->absoluteRectStale_; c = c->parent_)
        c->absoluteRectStale_ = true;
    markStale();
}

bool Control::isVisible() const {
    for (const Control* c = this; c != nullptr; c = c->parent_)
        if (c->testFlags(kVisible) == 0)
            return false;
    return true;
}

void Control::setVisible(bool visible) {
    if (hasThumbnail()) {
        requestRedraw(true);
        visible ? clearFlagBits(kShrunk) : setFlagBits(kShrunk);
        invalidateLayout();
        requestRedraw(true);
        return;
    }
    if ((testFlags(kVisible) != 0) == visible)
        return;
    if (TimerAnimation* fade = fadeAnimation_.load())
        fade->cancel();
    visible ? setFlags(kVisible) : clearFlags(kVisible);
    requestRedraw(true);
}

bool Control::isTranslucent() const {
    for (const Control* c = this; c != nullptr; c = c->parent_)
        if (c->testFlags(kTranslucent) != 0)
            return true;
    return false;
}

bool Control::isThumbnailCapable() const {
    for (const Control* c = this; c != nullptr; c = c->parent_)
        if (c->hasThumbnail())
            return true;
    return false;
}

bool Control::isShrunk() const {
    for (const Control* c = this; c != nullptr; c = c->parent_)
        if (c->testFlags(kShrunk) != 0)
            return true;
    return false;
}

void Control::setTransparency(float transparency) {
    if (TimerAnimation* fade = fadeAnimation_.load())
        fade->cancel();
    transparency_ = transparency > 1.0f ? 1.0f : (transparency > 0.0f ? transparency : 0.0f);
    transparency_ < 0.99f ? setFlagBits(kTranslucent) : clearFlagBits(kTranslucent);
}

float Control::getTransparency() const {
    return testFlags(kEnabled) != 0 ? transparency_ : kDisabledTransparency;
}

bool Control::hitTest(const Point& p) const {
    return getLocalRect().contains(p);
}

Control* Control::findControlAt(const Point& p) {
    if (!hitTest(p))
        return nullptr;
    const bool reachable =
        testFlags(kVisible) != 0 && testFlags(kEnabled) != 0 && testFlags(kIgnoresPointer) == 0;
    if (reachable) {
        float sx = 1.0f;
        float sy = 1.0f;
        if (isShrunk() && bounds_.getWidth() != 0 && bounds_.getHeight() != 0) {
            sx = static_cast<float>(thumbnailRect_.getWidth()) / static_cast<float>(bounds_.getWidth());
            sy = static_cast<float>(thumbnailRect_.getHeight()) / static_cast<float>(bounds_.getHeight());
        }
        for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
            Point corner = (*it)->getRect().getTopLeft();
            corner.scale(sx, sy);
            if (Control* found = (*it)->findControlAt(p - corner))
                return found;
        }
    }
    const bool takesPointer = testFlags(kDraggable) != 0 || testFlags(kFocusable) != 0;
    return reachable && takesPointer ? this : nullptr;
}

Rect Control::getActiveRect(const Point& p) {
    if (isVisible())
        for (auto it = children_.rbegin(); it != children_.rend(); ++it)
            if ((*it)->testFlags(kEditable) != 0) {
                const Rect r = (*it)->getActiveRect(p);
                if (r.isNonZero() && r.contains(p))
                    return r;
            }
    Rect r = getAbsoluteRect();
    if (scrollbars_[0] != nullptr)
        r.bottom = scrollbars_[0]->getAbsoluteRect().top - 1;
    if (scrollbars_[1] != nullptr)
        r.right = scrollbars_[1]->getAbsoluteRect().left - 1;
    if (testFlags(kEditable) != 0 && testFlags(kFocusable) != 0 && r.contains(p))
        return r;
    return Rect();
}

// ---- redraws

void Control::setNeedsRedraw(bool on) {
    if ((testFlags(kNeedsRedraw) != 0) == on)
        return;
    requestRedraw(on);
}

void Control::defer(std::uint32_t work) {
    if ((work & kDeferredShow) != 0)
        deferred_.fetch_and(~kDeferredHide, std::memory_order_acq_rel);
    if ((work & kDeferredHide) != 0)
        deferred_.fetch_and(~kDeferredShow, std::memory_order_acq_rel);
    deferred_.fetch_or(work, std::memory_order_acq_rel);
    editor_->noteDeferredWork();
}

void Control::requestRedraw(bool on) {
    if (editor_ == nullptr)
        return;
    if (!on) {
        clearFlagBits(kNeedsRedraw);
        return;
    }
    if (!editor_->isUserInterfaceThread()) {
        defer(kDeferredRedraw);
        return;
    }
    if (!editor_->isOpen() || !isVisible())
        return;
    editor_->addDirtyRect(getAbsoluteRect());
    setFlagBits(kNeedsRedraw);
}

void Control::deferControlWork() {
    if (editor_ == nullptr) {
        applyDeferredControlWork();
        return;
    }
    defer(kDeferredOwn);
}

void Control::applyDeferredWork() {
    const std::uint32_t work = deferred_.exchange(0, std::memory_order_acq_rel);
    if ((work & (kDeferredShow | kDeferredHide)) != 0)
        setVisible((work & kDeferredShow) != 0);
    if ((work & kDeferredOwn) != 0)
        applyDeferredControlWork();
    if (work != 0)
        requestRedraw(true);
    for (Control* child : children_)
        child->applyDeferredWork();
}

// ---- zones

ZoneManager* Control::getZoneManager() const {
    const Module* owner = getOwner();
    return owner != nullptr ? owner->getZoneManager() : nullptr;
}

Zone* Control::getCurrentZone() const {
    ZoneManager* zones = getZoneManager();
    return zones != nullptr ? zones->getCurrentZone() : nullptr;
}

} // namespace trov
