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
#include "gui/Editor.h"
#include "gui/InfoLine.h"
#include "instance/Program.h"
#include "platform/draw/ImageFiles.h"
#include "platform/draw/Snapshot.h"
#include "support/EditorDriver.h"
#include "support/EditorSpec.h"
#include "support/EditorWorld.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace trov::test {

class EditorHarness : public EditorDriver {
protected:
    explicit EditorHarness(const std::string& settings = editorSettings())
        : world_(settings), plugin(world_.plugin) {}
    ~EditorHarness() override {
        close();
        editor.reset();
    }

    // A skin made before the first `build` (`EditorWorld::addSkin`).
    void addSkin(const std::string& name, int width, int height, std::uint32_t argb, int frames = 1,
                 const std::string& alphabet = "") {
        world_.addSkin(name, width, height, argb, frames, alphabet);
    }

    // A skin of frames of one colour each (`EditorWorld::addFrames`), made before the first `build`.
    void addFrames(const std::string& name, int frameWidth, int frameHeight,
                   const std::vector<std::uint32_t>& colours, bool sideBySide = false,
                   const Rect& part = Rect()) {
        world_.addFrames(name, frameWidth, frameHeight, colours, sideBySide, part);
    }
    // A skin of the given image (`EditorWorld::addSkinImage`).
    void addSkinImage(const std::string& name, const platform::draw::Surface& image, int frames = 1,
                      bool horizontal = false) {
        world_.addSkinImage(name, image, frames, horizontal);
    }

    // Writes the specification, makes the plug-in on first use and a new editor from the specification
    // (throws what its construction throws).
    Editor& build(const std::string& controls) {
        close();
        editor.reset();
        editor = world_.makeEditor(controls);
        infoLine = static_cast<RecordingInfoLine*>(editor->getInfoLine());
        world().host.setEditor(editor.get());
        return *editor;
    }

    // Builds an editor whose background ("special::background") is the node, opens it and paints it once.
    Editor& buildAndOpen(ControlNode background) {
        buildAndOpenEditor(std::move(background));
        return *editor;
    }

    // The module's parameter (the first module unless said).
    Parameter* parameter(const std::string& name, int instance = 0, int module = 0) const {
        const Module* m = plugin->getModule(module);
        return m != nullptr ? m->getSettings()->getParameter(name, instance) : nullptr;
    }
    // The value of the first module's float parameter as the current preset's program stores it; -1 (and a
    // failure) when it stores none.
    float storedInProgram(const char* name) const {
        float value = -1.0f;
        const Dictionary::View kept = plugin->getProgram(0)->getValues().getDictionary("parameters");
        EXPECT_TRUE(kept != nullptr && kept->getFloat(name, &value)) << name;
        return value;
    }
    // The editor's control of that id as the test class it is.
    template <class T = TestPanel> T* control(const std::string& id, int index = 0) const {
        return dynamic_cast<T*>(editor->findControl(id, index));
    }

    InstanceWorld& world() { return world_.instances; }
    platform::ScriptedResponder& responder() { return world().responder; }

private:
    EditorWorld world_;

protected:
    // The plug-in, made at the first build.
    std::unique_ptr<DropRecordingPlugin>& plugin;
    std::unique_ptr<Editor> editor;
    RecordingInfoLine* infoLine = nullptr; // the editor's

    Editor* drivenEditor() const override { return editor.get(); }
    void buildFromSpecification(const std::string& controls) override { build(controls); }
    void forgetEditor() override { world().host.setEditor(nullptr); }
};

} // namespace trov::test
