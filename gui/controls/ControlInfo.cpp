#include "gui/controls/ControlInfo.h"

#include "framework/Timer.h"
#include "gui/Editor.h"
#include "gui/controls/ControlText.h"
#include "plugin/Parameter.h"

#include <algorithm>

namespace trov {

ControlInfo::ControlInfo(Editor* editor, const Rect& bounds) : Control(editor, bounds) {
    clearFlags(kEditable);
}

ControlInfo::~ControlInfo() {
    display_.store(nullptr, std::memory_order_release);
    if (watchedParameter_ != nullptr)
        tuneOutOf(watchedParameter_);
    for (std::unique_ptr<Timer>* timer : {&rotationTimer_, &restoreTimer_})
        if (*timer != nullptr) {
            (*timer)->stop(true);
            tuneOutOf(timer->get());
            timer->reset();
        }
}

void ControlInfo::init() {
    if (rotationTimer_ != nullptr)
        return;
    rotationTimer_ = std::make_unique<Timer>(
        getOwner(), TimerMessage(this, Code::kTimerTick, kRotationTimerId, 0), kRotationMs, false, false);
    restoreTimer_ = std::make_unique<Timer>(
        getOwner(), TimerMessage(this, Code::kTimerTick, kRestoreTimerId, 0), kRestoreMs, true, false);
    tuneInTo(rotationTimer_.get());
    tuneInTo(restoreTimer_.get());
}

void ControlInfo::stopTimers() {
    for (Timer* timer : {rotationTimer_.get(), restoreTimer_.get()})
        if (timer != nullptr)
            timer->stop(false);
}

void ControlInfo::resume() {
    bool any = false;
    {
        std::lock_guard guard(lock_);
        any = !levels_.empty();
    }
    if (any && rotationTimer_ != nullptr)
        rotationTimer_->restart();
}

void ControlInfo::setDisplay(Control* display) {
    display_.store(dynamic_cast<ControlText*>(display), std::memory_order_release);
    if (display == nullptr)
        stopTimers();
}

void ControlInfo::eraseSender(const void* sender) {
    for (auto it = levels_.begin(); it != levels_.end();) {
        it->second.remove_if([sender](const Entry& e) { return e.first == sender; });
        it = it->second.empty() ? levels_.erase(it) : std::next(it);
    }
}

void ControlInfo::post(const void* sender, const std::string& text, int level) {
    {
        std::lock_guard guard(lock_);
        eraseSender(sender);
        levels_[std::clamp(level, 0, kLevels - 1)].emplace_back(sender, text);
    }
    show();
}

void ControlInfo::remove(const void* sender) {
    {
        std::lock_guard guard(lock_);
        eraseSender(sender);
    }
    show();
}

std::list<std::string> ControlInfo::textsAt(int level) const {
    std::list<std::string> texts;
    std::lock_guard guard(lock_);
    if (const auto it = levels_.find(level); it != levels_.end())
        for (const Entry& e : it->second)
            texts.push_back(e.second);
    return texts;
}

void ControlInfo::show() {
    ControlText* display = getDisplay();
    if (display == nullptr)
        return;
    std::string text;
    {
        std::lock_guard guard(lock_);
        if (levels_.empty())
            return;
        text = levels_.rbegin()->second.back().second;
    }
    display->setText(text);
}

void ControlInfo::rotate() {
    {
        std::lock_guard guard(lock_);
        if (levels_.empty() || levels_.rbegin()->first != 0)
            return;
        std::list<Entry>& texts = levels_.begin()->second;
        if (texts.size() > 1)
            texts.splice(texts.end(), texts, texts.begin());
    }
    show();
}

void ControlInfo::watch(Control* control) {
    unwatch();
    Parameter* parameter = control != nullptr ? control->getParameter() : nullptr;
    if (parameter == nullptr)
        return;
    watched_.store(control, std::memory_order_release);
    watchedParameter_ = parameter;
    tuneInTo(parameter); // answers at once with its value: the description shows
}

void ControlInfo::unwatch() {
    watched_.store(nullptr, std::memory_order_release);
    if (watchedParameter_ != nullptr)
        tuneOutOf(watchedParameter_);
    watchedParameter_ = nullptr;
    if (restoreTimer_ != nullptr)
        restoreTimer_->restart();
}

void ControlInfo::describeWatched() {
    Control* watched = getWatched();
    ControlText* display = getDisplay();
    if (watched == nullptr || display == nullptr)
        return;
    if (const std::string description = watched->getValueText(); !description.empty())
        display->setText(description);
}

void ControlInfo::applyDeferredControlWork() {
    if (describe_.exchange(false, std::memory_order_acq_rel))
        describeWatched();
}

bool ControlInfo::receive(const Message& message) {
    if (message.kind == kKindTimer && message.code == Code::kTimerTick) {
        const auto* tick = dynamic_cast<const TimerMessage*>(&message);
        if (tick != nullptr && tick->timerId == kRotationTimerId) {
            if (getWatched() == nullptr && (restoreTimer_ == nullptr || !restoreTimer_->isRunning())) {
                rotate();
                if (Editor* editor = getOwnerEditor())
                    editor->receive(SystemMessage(this, Code::kEditorNotice, 0));
            }
            return true;
        }
        if (tick != nullptr && tick->timerId == kRestoreTimerId) {
            show();
            return true;
        }
    }
    if (message.kind == kKindParameter && message.code == Code::kParameterValue) {
        // Any thread: the watched control's description is made on the user-interface thread.
        if (getWatched() != nullptr) {
            if (onUserInterfaceThread()) {
                describeWatched();
            } else {
                describe_.store(true, std::memory_order_release);
                deferControlWork();
            }
        }
        return true;
    }
    return Control::receive(message);
}

} // namespace trov
