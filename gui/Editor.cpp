// The editor base: construction from the editor specification, opening and closing, modules and zones.
#include "gui/Editor.h"

#include "engine/modules/Module.h"
#include "engine/zones/Zone.h"
#include "engine/zones/ZoneManager.h"
#include "framework/Dictionary.h"
#include "framework/Error.h"
#include "framework/File.h"
#include "framework/Folder.h"
#include "framework/Logger.h"
#include "framework/MessageText.h"
#include "framework/Preferences.h"
#include "framework/System.h"
#include "gui/Canvas.h"
#include "gui/GuiEditorServices.h"
#include "gui/HelpLine.h"
#include "gui/InfoLine.h"
#include "gui/SafeDelete.h"
#include "gui/controls/ControlDebugInfo.h"
#include "gui/controls/ControlInfo.h"
#include "gui/controls/ControlManager.h"
#include "gui/controls/ControlValue.h"
#include "instance/Plugin.h"
#include "instance/Preset.h"
#include "instance/Program.h"
#include "plugin/Parameter.h"
#include "plugin/PluginEnvironment.h"
#include "plugin/PluginInfo.h"
#include "plugin/Settings.h"

#include <algorithm>

namespace trov {

namespace {

void silence(Control& control) {
    control.tuneOutOfAll();
    for (Control* child : control.getChildren())
        silence(*child);
}

constexpr const char* kConstructorWhere =
    "trov::Editor::Editor(trov::Plugin*, const trov::Module*, std::unique_ptr<trov::InfoLine>)";

void sortByZOrder(std::vector<Control*>& controls) {
    std::stable_sort(controls.begin(), controls.end(),
                     [](const Control* a, const Control* b) { return a->getZOrder() > b->getZOrder(); });
}

std::string buildSuffix(const PluginInfo& info) {
    switch (info.getBuildType()) {
    case PluginInfo::kBuildDevelopment:
        return " Debug Build";
    case PluginInfo::kBuildAlpha:
        return " Alpha";
    case PluginInfo::kBuildBeta:
        return " Beta";
    case PluginInfo::kBuildRelease:
        return "  by " + info.getMakerName();
    default:
        return std::string();
    }
}

} // namespace

Editor::Editor(Plugin* plugin, const Module* module, std::unique_ptr<InfoLine> infoLine)
    : DragDropTarget(module), plugin_(plugin),
      infoLine_(infoLine != nullptr ? std::move(infoLine) : std::make_unique<ControlInfo>(this, Rect())),
      userInterfaceThread_(std::this_thread::get_id()) {
    installGuiEditorServices();
    // Room for the rectangles of a busy tick, so that queuing one rarely allocates.
    dirtyRects_.reserve(64);
    const Preferences* user = getUserPreferences();
    bool noEditor = false;
    if (user != nullptr && user->getBool("NoEditor", noEditor) && noEditor)
        return;
    if (user != nullptr)
        user->getBool("ShowCPUMeters", showCpuMeters_);
    try {
        loadSpecification();
    } catch (...) {
        deleteControls();
        throw;
    }
    mayListen_ = true;
    logLine(2, "editor constructed");
}

void Editor::startListening() {
    if (!mayListen_ || listening_)
        return;
    listening_ = true;
    tuneInTo(plugin_);
    tuneIn("CurrentModule");
    tuneInToParameters();
}

void Editor::loadSpecification() {
    std::string install;
    std::string controls;
    if (const Preferences* machine = getMachinePreferences()) {
        machine->getString("InstallPath", install);
        machine->getString("ControlsXmlFile", controls);
    }
    const File file = Folder(install) + File(controls);
    logLine(2, "loading editor specification from %s", file.getPath().c_str());
    PluginInfo* info = getPluginInfo();
    ControlManager* made = info != nullptr ? info->createControlManager(this) : nullptr;
    // A product without a factory of its own builds the library's controls.
    controlManager_.reset(made != nullptr ? made : new ControlManager(this));
    midiMapper_ = std::make_unique<ControlMidiMapper>(getOwner());
    Dictionary document;
    std::string problem;
    if (document.load(file, &problem)) {
        buildControls(document, nullptr, 0, Point());
        return;
    }
    unreadSpecification_ = "its editor specification " + file.getPath() + " did not load" +
                           (problem.empty() ? std::string() : " (" + problem + ")");
    logErrorLine(3, ErrorImportFailed(kConstructorWhere, file));
    showErrorMessage(errorTextLoadingControls);
}

void Editor::tuneInToParameters() {
    logLine(2, "tuning in to control parameters");
    if (plugin_ == nullptr)
        return;
    for (int m = 0; m < plugin_->getModuleCount(); ++m) {
        const Module* module = plugin_->getModule(m);
        const Settings* settings = module != nullptr ? module->getSettings() : nullptr;
        for (int i = 0; settings != nullptr && i < settings->getParameterCount(); ++i)
            if (Parameter* parameter = settings->getParameterAt(i);
                parameter != nullptr && (parameter->getScope() == Parameter::kScopeZone ||
                                         parameter->getScope() == Parameter::kScopeModule))
                tuneInTo(parameter);
    }
}

void Editor::buildControls(const Dictionary& spec, Control* parent, int instance, const Point& offset) {
    ++buildDepth_;
    try {
        const int count = spec.getArraySize("controls");
        for (int i = 0; i < count; ++i) {
            const Dictionary::View item = spec.getArrayItem("controls", i);
            if (!item)
                continue;
            if (--buildBudget_ < 0)
                throw GeneralError("trov::Editor::buildControls", "editor specification too large");
            const int instances = item->integerValue("instances");
            if (instances > 1) {
                if (instances > kMaxInstances)
                    logLine(3, "repeat group of %d instances refused", instances);
                const Point step(std::clamp(item->integerValue("xoffset"), -4096, 4096),
                                 std::clamp(item->integerValue("yoffset"), -4096, 4096));
                for (int k = 0; k < std::min(instances, kMaxInstances); ++k)
                    buildControls(*item, parent, k, step);
                continue;
            }
            std::unique_ptr<Control> made(controlManager_->createFromDictionary(*item));
            if (made == nullptr)
                continue;
            Control* control = made.get();
            if (parent != nullptr)
                parent->addChild(made.release());
            control->fromDictionary(*item);
            if (instance > 0) {
                control->setParameterInstance(instance);
                control->moveBy(offset * static_cast<float>(instance));
            }
            takeSpecialId(control);
            std::int32_t controller = 0;
            if (item->getLong("midi", &controller))
                if (auto* value = dynamic_cast<ControlValue*>(control)) {
                    midiMapper_->assign(controller, value);
                    float initial = 0.0f;
                    if (item->getFloat("defval", &initial))
                        value->setValue(initial);
                }
            // A child belongs to its parent already; a root belongs to the editor from here.
            addControl(parent != nullptr ? control : made.release());
            buildControls(*item, control, 0, Point());
            control->sortChildren();
        }
    } catch (const Error& error) {
        --buildDepth_;
        logErrorLine(3, error);
        throw;
    } catch (...) {
        --buildDepth_;
        throw;
    }
    // Sorted once, when the outermost call ends: every level sorting the whole list would cost as much as
    // the list is long for each group copy.
    if (--buildDepth_ == 0)
        sortByZOrder(controls_);
}

void Editor::takeSpecialId(Control* control) {
    const std::string& id = control->getId();
    if (id == "special::background") {
        background_ = control;
        frame_ = control;
        // The debug panel wraps the first background that is a root of the specification.
        if (showCpuMeters_ && debugInfo_ == nullptr && control->getParent() == nullptr) {
            logLine(0, "adding debug controls...");
            debugInfo_ = new ControlDebugInfo(this, control);
            frame_ = debugInfo_;
            logLine(0, "attaching performance meters...");
            if (plugin_ != nullptr) {
                plugin_->addCpuMeter(0, debugInfo_->getMeter(ControlDebugInfo::kEngine));
                plugin_->addCpuMeter(1, debugInfo_->getMeter(ControlDebugInfo::kMidi));
            }
        } else if (debugInfo_ != nullptr) {
            frame_ = debugInfo_;
        }
        setBounds(frame_->getRect());
        logLine(2, "plugin size is %dx%d", getSize().getWidth(), getSize().getHeight());
        control->setZOrder(kBackgroundZOrder);
    } else if (id == "special::help") {
        help_ = dynamic_cast<HelpLine*>(control);
        control->setZOrder(kHelpZOrder);
    } else if (id == "special::textdisplay") {
        if (infoLine_ != nullptr)
            infoLine_->setDisplay(control);
        postProductText();
    }
}

void Editor::postProductText() {
    const PluginInfo* info = getPluginInfo();
    if (infoLine_ == nullptr || info == nullptr)
        return;
    infoLine_->post(this, info->getName() + " " + info->getVersionString() + buildSuffix(*info), 0);
}

Editor::~Editor() {
    close();
    if (infoLine_ != nullptr) {
        infoLine_->setDisplay(nullptr);
        infoLine_->stopTimers();
    }
    tuneOutOf(plugin_);
    tuneOut("CurrentModule");
    if (debugInfo_ != nullptr && plugin_ != nullptr) {
        plugin_->removeCpuMeter(0);
        plugin_->removeCpuMeter(1);
    }
    // Every help line, not only the special one: the controls file may place others.
    for (Control* control : controls_)
        if (auto* help = dynamic_cast<HelpLine*>(control))
            help->disarm();
    controlManager_.reset();
    midiMapper_.reset();
    deleteControls();
}

// Every root of the list goes with the editor: the frame with its tree, and any control a specification
// placed outside it (which is never painted or hit).
void Editor::deleteControls() {
    std::vector<Control*> roots;
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it)
        if ((*it)->getParent() == nullptr && *it != frame_)
            roots.push_back(*it);
    // Parameters and timers reach controls from other threads: every control of every tree stops listening
    // before any is destroyed, so none is called while its derived parts are already gone.
    for (Control* root : roots)
        silence(*root);
    if (frame_ != nullptr)
        silence(*frame_);
    controls_.clear();
    hover_ = pressed_ = focused_ = focusRequest_ = nullptr;
    help_ = nullptr;
    delete frame_;
    frame_ = background_ = nullptr;
    debugInfo_ = nullptr;
    for (Control* root : roots) {
        logLine(1, "deleting control 0x%lx (%s) outside the background",
                reinterpret_cast<unsigned long>(root), root->getId().c_str());
        delete root;
    }
}

// ---- controls

void Editor::addControl(Control* control) {
    if (control != nullptr)
        controls_.push_back(control);
}

void Editor::removeControl(Control* control) {
    std::erase(controls_, control);
    for (Control** held : {&hover_, &pressed_, &focused_, &focusRequest_})
        if (*held == control)
            *held = nullptr;
    if (auto* value = dynamic_cast<ControlValue*>(control); value != nullptr && midiMapper_ != nullptr)
        if (const int controller = midiMapper_->getController(value); controller != -1)
            midiMapper_->assign(controller, nullptr);
}

bool Editor::ownsControl(const void* control) const {
    if (control == nullptr)
        return false;
    const auto within = [control](const Control* root, const auto& self) -> bool {
        if (root == control)
            return true;
        for (const Control* child : root->getChildren())
            if (self(child, self))
                return true;
        return false;
    };
    for (const Control* c : controls_)
        if (c->getParent() == nullptr && within(c, within))
            return true;
    return false;
}

Control* Editor::findControl(const std::string& id, int index) {
    for (Control* control : controls_)
        if (control->getId() == id && index-- == 0)
            return control;
    return nullptr;
}

// The list runs from back to front, so the front-most control is searched first.
Control* Editor::getControlAt(const Point& p) {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it)
        if ((*it)->isVisible() && (*it)->hitTest(p - (*it)->getAbsoluteRect().getTopLeft()))
            return *it;
    return nullptr;
}

void Editor::setHighlight(Radio* parameter, const Color& color) {
    for (Control* control : controls_)
        if (parameter != nullptr && control->getParameter() == parameter)
            control->setHighlight(color);
}

void Editor::showInfo(const void* sender, const std::string& text, int level) {
    if (infoLine_ != nullptr)
        infoLine_->post(sender, text, level);
}

void Editor::clearInfo(const void* sender) {
    if (infoLine_ != nullptr)
        infoLine_->remove(sender);
}

void Editor::setInfoLine(std::unique_ptr<InfoLine> infoLine) {
    infoLine_ = std::move(infoLine);
}

void Editor::setBounds(const Rect& r) {
    bounds_ = Rect(r.left, r.top, r.getWidth(), r.getHeight());
    titleStrip_ = Rect(r.left, r.top, r.getWidth(), kTitleStripHeight);
}

// ---- the window

bool Editor::open(platform::WindowHandle parent, const Rect& area) {
    close();
    startListening();
    if (!area.isEmpty())
        setBounds(area);
    if (frame_ != nullptr)
        frame_->layout();
    if (infoLine_ != nullptr)
        infoLine_->init();
    auto* canvas = new Canvas(bounds_.getWidth(), bounds_.getHeight());
    auto* window = new Window(parent, bounds_, this);
    canvas->attachWindow(window);
    window_.store(window, std::memory_order_release);
    canvas_.store(canvas, std::memory_order_release);
    logLine(1, "opening editor\n  [0x%lx] Canvas\n  [0x%lx] Window\n  [0x%lx] Parent",
            reinterpret_cast<unsigned long>(canvas), reinterpret_cast<unsigned long>(window),
            static_cast<unsigned long>(parent));
    registerWindow(window);
    // Stations of the plug-in find the editor while it is open.
    PluginEnvironment::instance().setEditor(plugin_, this);
    if (infoLine_ != nullptr)
        infoLine_->resume();
    // A new window is invalid all over: the first tick paints it whole.
    invalidateAll();
    return window->getHandle() != platform::kNoWindow;
}

void Editor::close() {
    if (PluginEnvironment& environment = PluginEnvironment::instance();
        environment.getEditor(plugin_) == this)
        environment.setEditor(plugin_, nullptr);
    if (infoLine_ != nullptr)
        infoLine_->stopTimers();
    safeDelete(canvas_);
    if (Window* window = getEditorWindow()) {
        window->setTarget(nullptr);
        revokeWindow(window);
        safeDelete(window_);
    }
    hover_ = pressed_ = nullptr;
    buttonDown_ = 0;
    std::lock_guard guard(dirtyMutex_);
    dirtyRects_.clear();
    dirtyCount_.store(0, std::memory_order_release);
}

bool Editor::hasKeyboardFocus() const {
    const Window* window = getEditorWindow();
    if (window == nullptr)
        return false;
    return active_ || window->hasFocus();
}

void Editor::enableWindow(bool enabled) {
    if (Window* window = getEditorWindow())
        window->enable(enabled);
}

// ---- modules and zones

Program* Editor::programOf(int moduleIndex) const {
    const Preset* preset = plugin_ != nullptr ? plugin_->getCurrentPreset() : nullptr;
    return preset != nullptr ? preset->getProgram(moduleIndex) : nullptr;
}

void Editor::selectModule(int index) {
    Module* module = plugin_ != nullptr ? plugin_->getModule(index) : nullptr;
    // An index no module has changes nothing: the editor keeps showing the module it shows.
    if (module == nullptr)
        return;
    const Module* shown = getOwner();
    if (Program* old = shown != nullptr ? shown->getProgram() : nullptr)
        old->deactivate();
    if (Program* program = module->getProgram()) {
        if (frame_ != nullptr)
            frame_->setOwner(module);
        currentModule_ = index;
        program->activate();
        if (const ZoneManager* zones = program->getZoneManager())
            selectZone(zones->getCurrentZoneIndex());
    }
    Radio::setOwner(module);
}

void Editor::selectZone(int index) {
    const Program* program = programOf(currentModule_);
    if (ZoneManager* zones = program != nullptr ? program->getZoneManager() : nullptr)
        zones->selectZone(index);
}

void Editor::refresh() {
    selectModule(currentModule_);
    const Program* program = programOf(currentModule_);
    const ZoneManager* zones = program != nullptr ? program->getZoneManager() : nullptr;
    if (Zone* zone = zones != nullptr ? zones->getCurrentZone() : nullptr) {
        zone->updateParameters();
        zone->release();
    }
}

void Editor::showModule(int index) {
    selectModule(index);
    refresh();
}

} // namespace trov
