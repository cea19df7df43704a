#pragma once

// The editor's headless test harness. A fixture with a plug-in of two modules built from a tiny settings
// text, an editor specification and generated skins in a temporary install folder, and the editor open in
// the in-process window system with its 50 ms window timer on the manual clock:
//
//   class Knobs : public test::EditorHarness {};
//   TEST_F(Knobs, ...) {
//       addSkin("dial", 40, 20, 0xff2060a0);
//       build(test::specification({test::node("Panel").id("special::background").at(0, 0, 200, 100)
//                                      .child(test::node("Slider").id("s").parameter("Level").at(10, 10, 20,
//                                      60))}));
//       open();
//       drag(20, 60, 20, 40); tick();
//       EXPECT_EQ(parameter("Level")->getNormalized(), ...);
//   }
//
// Input goes through the window system's input driver in the editor's client coordinates; `tick` advances
// the clock by window-timer periods (the editor paints then); `snapshot` is what the screen would show.
// The product's factory knows the test controls ("Panel", "Slider") beside the library's.
#include "engine/io/HostInterface.h"
#include "framework/Dictionary.h"
#include "framework/File.h"
#include "framework/WindowTimer.h"
#include "gui/Editor.h"
#include "gui/InfoLine.h"
#include "platform/draw/ImageFiles.h"
#include "platform/draw/Snapshot.h"
#include "support/EditorSpec.h"
#include "support/InstanceTestSupport.h"
#include "support/TestControls.h"
#include "support/WindowTestSupport.h"

#include <algorithm>
#include <cstdlib>
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
        return new Editor(plugin, module, std::make_unique<RecordingInfoLine>());
    }
    ControlManager* createControlManager(EditorInterface* editor) override {
        return new TestControls(dynamic_cast<Editor*>(editor));
    }
};

// The harness's plug-in specification, every parameter automatable unless said: "CurrentModule" (plug-in,
// integer 0..1), "Volume" (plug-in, float); per module "Level" (float 0..1), "Cutoff" (float -12..12),
// "Steps" (integer 0..3), "Mode" (bool), "Drive" (float, not automatable), "Gain" in three instances
// (float) and "Detune" (zone, float).
inline std::string editorSettings() {
    const std::string& a = kAutomatable;
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
           "</section>" + specItem("Detune", "float", "zone", a) + "</array></dict>";
}

class EditorHarness : public WindowSystemTest {
protected:
    static constexpr unsigned kTickMs = 50;

    explicit EditorHarness(const std::string& settings = editorSettings()) : world_(settings) {
        setPluginInfo(&info);
        info.init();
        world_.machine.setString("ControlsXmlFile", "controls.xml");
        world_.machine.setString("ImagesDir", "Images");
        skins_.setString("file-format", "0.7.0");
        skins_.addDictionary("bitmaps");
    }
    ~EditorHarness() override {
        close();
        editor.reset();
        plugin.reset();
        setPluginInfo(nullptr);
    }

    // A skin bitmap of one colour (0xAARRGGBB, straight alpha) in the images folder and the resources'
    // description: `frames` frames stacked, or side by side as the glyphs of an alphabet when one is given.
    // Skins are added before the first `build`.
    void addSkin(const std::string& name, int width, int height, std::uint32_t argb, int frames = 1,
                 const std::string& alphabet = "") {
        const auto surface = platform::draw::Surface::create(width, height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                surface->setPixel(x, y,
                                  platform::draw::premultiply(argb & 0xFF, (argb >> 8) & 0xFF,
                                                              (argb >> 16) & 0xFF, argb >> 24));
        platform::draw::writePng(*surface, world_.files.write("Images/" + name + ".png", ""));
        const Dictionary::View entry = skins_.getDictionary("bitmaps")->addDictionary(name);
        entry->setString("filename", name + ".png");
        entry->setInteger("frames", frames);
        entry->setBool("usealpha", true);
        if (!alphabet.empty()) {
            entry->setBool("horizontal", true);
            entry->setString("alphabet", alphabet);
        }
    }

    // Writes the specification, makes the plug-in on first use and a new editor from the specification
    // (throws what its construction throws).
    Editor& build(const std::string& controls) {
        close();
        editor.reset();
        world_.files.write("controls.xml", controls);
        if (plugin == nullptr) {
            skins_.save(File(world_.files.write("resources.xml", "")));
            world_.resources->load(File(world_.files / "resources.xml"));
            plugin.reset(static_cast<DropRecordingPlugin*>(info.createPlugin(&world_.host, 5)));
            plugin->init();
        }
        editor.reset(static_cast<Editor*>(info.createEditor(plugin.get(), plugin->getFirstModule())));
        infoLine = static_cast<RecordingInfoLine*>(editor->getInfoLine());
        world_.host.setEditor(editor.get());
        return *editor;
    }

    // Opens the editor at the top-left of a host frame placed away from the screen's corner, over its own
    // size (or the given area), with the host view's window timer.
    void open(const Rect& area = Rect()) {
        frame_ = make("host frame", 0, {100, 50, 1100, 850});
        editor->open(frame_, area.isEmpty() ? editor->getSize() : area);
        timer_ = std::make_unique<WindowTimer>(editor->getWindow(), kTickMs);
        flush();
    }
    void close() {
        timer_.reset();
        if (editor != nullptr)
            editor->close();
        world_.host.setEditor(nullptr);
    }

    platform::NativePoint at(int x, int y) const {
        return driver.clientPoint(editor->getEditorWindow()->getHandle(), x, y);
    }
    void move(int x, int y) {
        send([&] { driver.move(at(x, y)); });
    }
    void press(int x, int y) {
        send([&] { driver.press(at(x, y)); });
    }
    void release(int x, int y) {
        send([&] { driver.release(at(x, y)); });
    }
    void click(int x, int y) {
        send([&] { driver.click(at(x, y)); });
    }
    void rightClick(int x, int y) {
        send([&] { driver.click(at(x, y), platform::kRightButton); });
    }
    // Press at the start, move in steps of at most 5 pixels, release at the end.
    void drag(int x0, int y0, int x1, int y1) {
        move(x0, y0);
        press(x0, y0);
        const int steps = std::max({1, std::abs(x1 - x0) / 5, std::abs(y1 - y0) / 5});
        for (int i = 1; i <= steps; ++i)
            move(x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps);
        release(x1, y1);
    }
    // The window timer's ticks: each applies deferred notifications and paints what is dirty.
    void tick(int periods = 1) { clock_.advance(kTickMs * static_cast<unsigned>(periods)); }
    // What the screen shows of the editor's window.
    std::shared_ptr<platform::draw::Surface> snapshot() const {
        return platform::draw::snapshotWindow(editor->getEditorWindow()->getHandle());
    }

    // The module's parameter (the first module unless said).
    Parameter* parameter(const std::string& name, int instance = 0, int module = 0) const {
        const Module* m = plugin->getModule(module);
        return m != nullptr ? m->getSettings()->getParameter(name, instance) : nullptr;
    }
    // The editor's control of that id as the test class it is.
    template <class T = TestPanel> T* control(const std::string& id, int index = 0) const {
        return dynamic_cast<T*>(editor->findControl(id, index));
    }

    InstanceWorld& world() { return world_; }
    platform::ScriptedResponder& responder() { return world_.responder; }

    EditorTestPluginInfo info;
    std::unique_ptr<DropRecordingPlugin> plugin;
    std::unique_ptr<Editor> editor;
    RecordingInfoLine* infoLine = nullptr; // the editor's

private:
    template <class Input> void send(Input input) {
        input();
        flush();
    }

    InstanceWorld world_;
    Dictionary skins_;
    platform::WindowHandle frame_ = platform::kNoWindow;
    std::unique_ptr<WindowTimer> timer_;
};

} // namespace trov::test
