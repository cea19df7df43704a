#include "host/RTASEditor.h"

#include "engine/io/HostInterface.h"
#include "framework/EditorServices.h"
#include "framework/Rect.h"
#include "framework/WindowTimer.h"
#include "instance/Plugin.h"
#include "plugin/Parameter.h"
#include "plugin/PluginInfo.h"

#include <stdexcept>

namespace trov {

std::int32_t controlNumberOf(const Plugin& plugin, Radio* control) {
    if (control == nullptr)
        return 0;
    const int count = plugin.getAutomatableCount();
    for (int i = 0; i < count; ++i)
        if (Parameter* parameter = plugin.getAutomatableParameter(i);
            parameter != nullptr && parameter->hasListener(control))
            return i + 1;
    return 0;
}

namespace {

EditorInterface* makeEditor(HostInterface& host) {
    PluginInfo* info = getPluginInfo();
    Plugin* plugin = host.getPlugin();
    EditorInterface* editor =
        info != nullptr && plugin != nullptr ? info->createEditor(plugin, plugin->getFirstModule()) : nullptr;
    if (editor == nullptr)
        throw std::runtime_error("no editor");
    return editor;
}

} // namespace

RTASEditor::RTASEditor(HostInterface& host, hostsdk::CEffectProcess& process)
    : editor_(makeEditor(host)), host_(host), process_(process) {}

RTASEditor::~RTASEditor() {
    timer_.reset();
    if (IsAttached())
        editor_->close();
}

void RTASEditor::SetViewPort(const hostsdk::ViewPort* port) {
    if (port != nullptr) {
        origin_ = Point{port->originX, port->originY};
        CCustomView::SetViewPort(port);
        Rect bounds = editor_->getSize();
        bounds.left -= origin_.x;
        bounds.right -= origin_.x;
        bounds.top -= origin_.y;
        bounds.bottom -= origin_.y;
        editor_->open(static_cast<platform::WindowHandle>(port->nativeWindow), bounds);
        timer_ = std::make_unique<WindowTimer>(editor_->getWindow(), kTimerPeriodMs);
    } else {
        timer_.reset();
        if (IsAttached())
            editor_->close();
        CCustomView::SetViewPort(nullptr);
    }
}

void RTASEditor::Draw() {
    editor_->draw(nullptr);
}

void RTASEditor::Idle() {
    CCustomView::Idle();
    editor_->idle();
}

std::int32_t RTASEditor::getControlNumber(Radio* control) const {
    const Plugin* plugin = host_.getPlugin();
    return plugin != nullptr ? controlNumberOf(*plugin, control) : 0;
}

std::int32_t RTASEditor::getControlNumberAt(const Point& point) const {
    return getControlNumber(editor_->getControlAt(point));
}

void RTASEditor::touch(Radio* control) {
    if (const std::int32_t number = getControlNumber(control); number > 0)
        process_.TouchControl(number);
}

void RTASEditor::release(Radio* control) {
    if (const std::int32_t number = getControlNumber(control); number > 0)
        process_.ReleaseControl(number);
}

} // namespace trov
