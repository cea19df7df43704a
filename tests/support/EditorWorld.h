#pragma once

// The editor's test product, without GoogleTest (the fuzz target uses it too): an instance that records
// dropped files, plain editors with a recording info line, the test controls' factory, and a small
// plug-in specification of two modules. `EditorHarness` puts them to work in a test fixture.
#include "framework/Dictionary.h"
#include "framework/File.h"
#include "gui/Editor.h"
#include "gui/InfoLine.h"
#include "platform/draw/ImageFiles.h"
#include "platform/draw/Surface.h"
#include "support/InstanceTestSupport.h"
#include "support/SkinSet.h"
#include "support/TestControls.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace trov::test {

// An info line that keeps each sender's latest text; posts and removals may come from any thread.
class RecordingInfoLine : public InfoLine {
public:
    void init() override { ++inits; }
    void resume() override { ++resumes; }
    void stopTimers() override { ++stops; }
    void setDisplay(Control* control) override { display = control; }
    void post(const void* sender, const std::string& text, int /*level*/) override {
        std::lock_guard guard(mutex_);
        texts_[sender] = text;
    }
    void remove(const void* sender) override {
        std::lock_guard guard(mutex_);
        texts_.erase(sender);
    }
    void watch(Control* control) override { watched = control; }
    void unwatch() override { watched = nullptr; }
    // Empty when the sender shows none.
    std::string textOf(const void* sender) const {
        std::lock_guard guard(mutex_);
        const auto it = texts_.find(sender);
        return it != texts_.end() ? it->second : std::string();
    }

    int inits = 0, resumes = 0, stops = 0;
    Control* display = nullptr;
    Control* watched = nullptr;

private:
    mutable std::mutex mutex_;
    std::map<const void*, std::string> texts_;
};

// An instance that records the files dropped on it and takes them only when told.
class DropRecordingPlugin : public Plugin {
public:
    using Plugin::Plugin;
    bool acceptsFile(const File&) const override { return takesFiles; }
    bool loadFile(const File& file) override {
        loaded.push_back(file.getPath());
        return takesFiles;
    }

    bool takesFiles = false;
    std::vector<std::string> loaded;
};

// The harness's product: recording instances, plain editors and the test controls' factory.
class EditorTestPluginInfo : public InstanceTestPluginInfo {
public:
    Plugin* createPlugin(HostInterface* host, int tag) override { return new DropRecordingPlugin(host, tag); }
    EditorInterface* createEditor(Plugin* plugin, const Module* module) override {
        auto* editor = new Editor(plugin, module, std::make_unique<RecordingInfoLine>());
        editor->startListening();
        return editor;
    }
    ControlManager* createControlManager(EditorInterface* editor) override {
        return new TestControls(dynamic_cast<Editor*>(editor));
    }
};

// An enumeration parameter's specification item: entries of (value, display text).
inline std::string enumItem(const std::string& id, const std::string& type,
                            const std::vector<std::pair<std::string, std::string>>& entries,
                            const std::string& more = std::string()) {
    std::string values = "<array name=\"values\">";
    for (const auto& [value, display] : entries)
        values += "<key value=\"" + value + "\" display=\"" + display + "\"/>";
    return "<dict name=\"" + id +
           "\"><string name=\"class\" value=\"ParameterEnum\"/><string name=\"type\" value=\"" + type +
           "\"/><string name=\"scope\" value=\"module\"/>" + kAutomatable + more + values + "</array></dict>";
}

// The parameters the controls of the engine's material read: a zone's points and view in frames and its
// switches (zone scope), the root note a keyboard sets and the browser's contrast (module scope).
inline std::string materialSettings() {
    const std::string frames =
        "<integer name=\"minval\" value=\"0\"/><integer name=\"maxval\" value=\"100000000\"/>";
    std::string items;
    for (const char* name : {"SampleStart", "SampleEnd", "SampleDisplayStart", "SampleDisplayEnd"})
        items += specItem(name, "integer", "zone", frames);
    for (const char* name :
         {"SampleLoopOn", "SampleLoopLengthFixed", "SampleZeroSnap", "SampleSliced", "SampleUnload"})
        items += specItem(name, "bool", "zone");
    return items +
           specItem("WaveRootNote", "integer", "module",
                    "<integer name=\"minval\" value=\"0\"/><integer name=\"maxval\" value=\"127\"/>") +
           specItem("LCDContrast", "float", "module");
}

// The harness's plug-in specification, every parameter automatable unless said: "CurrentModule" (plug-in,
// integer 0..1), "Volume" (plug-in, float); per module "Level" (float 0..1), "Cutoff" (float -12..12),
// "Steps" (integer 0..3), "Mode" (bool), "Drive" (float, not automatable), "Gain" in three instances
// (float) and "Detune" (zone, float); for the value controls "Coarse" (integer 0..4, default 2), "Choice"
// (integer 0..2), "Fine" (integer 0..1000), "Count" (integer -99..99), "Amount" (float -1..1), "Hold"
// (bool) and "Pattern" (an integer enumeration of 4 and 7); for the buttons, menus and meters the
// enumerations "Shape" (integer: 0 Sine, 1 Square, 2 Saw), "Speed" (float: 0 Slow, 1 Mid, 2 Fast, unit "x"),
// "Source" (string: in Input, out Output) and "Nothing" (integer, no entries), "Name" (text), the bools
// "ChoiceA", "ChoiceB", "ChoiceC" and "ShowPanel", "Meter" (float 0..2) and "TooltipDelay" (integer
// 0..5000 ms, default 1500); then `materialSettings`.
inline std::string editorSettings() {
    const std::string& a = kAutomatable;
    const auto integer = [](const std::string& name, int min, int max, const std::string& more = "") {
        return specItem(name, "integer", "module",
                        kAutomatable + "<integer name=\"minval\" value=\"" + std::to_string(min) +
                            "\"/><integer name=\"maxval\" value=\"" + std::to_string(max) + "\"/>" + more);
    };
    const std::string valueControls =
        integer("Coarse", 0, 4, "<integer name=\"defval\" value=\"2\"/>") + integer("Choice", 0, 2) +
        integer("Fine", 0, 1000) + integer("Count", -99, 99) +
        specItem("Amount", "float", "module",
                 a + "<float name=\"minval\" value=\"-1\"/><float name=\"maxval\" value=\"1\"/>") +
        specItem("Hold", "bool", "module", a) +
        "<dict name=\"Pattern\"><string name=\"class\" value=\"ParameterEnum\"/><string name=\"type\" "
        "value=\"integer\"/><string name=\"scope\" value=\"module\"/>" +
        a + "<array name=\"values\"><integer value=\"4\"/><integer value=\"7\"/></array></dict>";
    return "<?xml version=\"1.0\"?><dict><array name=\"parameters\">" +
           specItem("CurrentModule", "integer", "plugin",
                    a + "<integer name=\"minval\" value=\"0\"/><integer name=\"maxval\" value=\"1\"/>") +
           specItem("Volume", "float", "plugin", a) + specItem("Level", "float", "module", a) +
           specItem("Cutoff", "float", "module",
                    a + "<float name=\"minval\" value=\"-12\"/><float name=\"maxval\" value=\"12\"/>") +
           specItem("Steps", "integer", "module",
                    a + "<integer name=\"minval\" value=\"0\"/><integer name=\"maxval\" value=\"3\"/>") +
           specItem("Mode", "bool", "module", a) + specItem("Drive", "float", "module") +
           "<section name=\"Bands\" instances=\"3\">" + specItem("Gain", "float", "module", a) +
           "</section>" + specItem("Detune", "float", "zone", a) +
           enumItem("Shape", "integer", {{"0", "Sine"}, {"1", "Square"}, {"2", "Saw"}}) +
           enumItem("Speed", "float", {{"0", "Slow"}, {"1", "Mid"}, {"2", "Fast"}},
                    "<string name=\"unit\" value=\"x\"/>") +
           enumItem("Source", "string", {{"in", "Input"}, {"out", "Output"}}) +
           enumItem("Nothing", "integer", {}) +
           "<dict name=\"Name\"><string name=\"class\" value=\"ParameterText\"/><string name=\"scope\" "
           "value=\"module\"/></dict>" +
           specItem("ChoiceA", "bool", "module", a) + specItem("ChoiceB", "bool", "module", a) +
           specItem("ChoiceC", "bool", "module", a) + specItem("ShowPanel", "bool", "module", a) +
           specItem("Meter", "float", "module", a + "<float name=\"maxval\" value=\"2\"/>") +
           specItem("TooltipDelay", "integer", "module",
                    a + "<integer name=\"minval\" value=\"0\"/><integer name=\"defval\" value=\"1500\"/>"
                        "<integer name=\"maxval\" value=\"5000\"/>") +
           valueControls + materialSettings() + "</array></dict>";
}

// The world an editor is made in: registry stores and the install folder (`InstanceWorld`) with the
// plug-in specification, skins in an images folder described to the resources, the editor test product
// and one plug-in instance, made with the first editor.
class EditorWorld {
public:
    explicit EditorWorld(const std::string& settings = editorSettings()) : instances(settings) {
        setPluginInfo(&info);
        info.init();
        instances.machine.setString("ControlsXmlFile", "controls.xml");
        instances.machine.setString("ImagesDir", "Images");
    }
    ~EditorWorld() {
        plugin.reset();
        setPluginInfo(nullptr);
    }
    EditorWorld(const EditorWorld&) = delete;
    EditorWorld& operator=(const EditorWorld&) = delete;

    // Skins in the images folder and the resources' description (`SkinSet`), added before the first
    // editor is made.
    void addSkin(const std::string& name, int width, int height, std::uint32_t argb, int frames = 1,
                 const std::string& alphabet = "") {
        skins_.addSkin(name, width, height, argb, frames, alphabet);
    }
    void addFrames(const std::string& name, int frameWidth, int frameHeight,
                   const std::vector<std::uint32_t>& colours, bool sideBySide = false,
                   const Rect& part = Rect()) {
        skins_.addFrames(name, frameWidth, frameHeight, colours, sideBySide, part);
    }
    void addSkinImage(const std::string& name, const platform::draw::Surface& image, int frames = 1,
                      bool horizontal = false) {
        skins_.addSkinImage(name, image, frames, horizontal);
    }

    // Writes the specification and makes an editor from it (throwing what its construction throws); the
    // plug-in and the resources' description are made on first use.
    std::unique_ptr<Editor> makeEditor(const std::string& controls) {
        instances.files.write("controls.xml", controls);
        if (plugin == nullptr) {
            skins_.description().save(File(instances.files.write("resources.xml", "")));
            instances.resources->load(File(instances.files / "resources.xml"));
            plugin.reset(static_cast<DropRecordingPlugin*>(info.createPlugin(&instances.host, 5)));
            plugin->init();
        }
        return std::unique_ptr<Editor>(
            static_cast<Editor*>(info.createEditor(plugin.get(), plugin->getFirstModule())));
    }

    InstanceWorld instances;
    EditorTestPluginInfo info;
    std::unique_ptr<DropRecordingPlugin> plugin;

private:
    SkinSet skins_{instances.files / "Images"};
};

// An editor made in a world of its own from a specification, opened without a window and painted once,
// for benchmarks; prepare (when given) adds skins before the editor is made.
struct OpenedEditor {
    explicit OpenedEditor(const std::string& spec, const std::function<void(EditorWorld&)>& prepare = {}) {
        if (prepare)
            prepare(world);
        editor = world.makeEditor(spec);
        editor->open(platform::kNoWindow, editor->getSize());
        editor->idle();
    }
    ~OpenedEditor() { editor->close(); }
    OpenedEditor(const OpenedEditor&) = delete;
    OpenedEditor& operator=(const OpenedEditor&) = delete;

    EditorWorld world;
    std::unique_ptr<Editor> editor;
};

} // namespace trov::test
