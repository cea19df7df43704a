#pragma once

// The instrument's own editor under test: the whole product (its descriptor, plug-in class, zone managers
// and engines, `ProductWorld`) over an installation that is the generated data folder plus an editor
// specification and skins the test writes, with the instrument's editor library installed, so that the
// descriptor makes the instrument's editor and its control factory. Driven like the library's harness
// (`EditorDriver`):
//
//   class ZoneKeys : public test::InstrumentEditorHarness {};
//   TEST_F(ZoneKeys, ...) {
//       addFrames("marker", 16, 8, {...});
//       build(test::specification({test::node("Panel").id("special::background").at(0, 0, 400, 100)
//                                      .child(test::node("ZoneKeyboard").id("zk")...)}));
//       open();
//       click(30, 60); tick();
//       EXPECT_EQ(zones()->getZoneCount(), 1);
//   }
//
// The library's own type names ("Panel" is not one of them: use "Container") and the instrument's are
// known; every "parameter" must name one of the instrument's.
#include "engine/zones/Resources.h"
#include "engine/zones/ZoneManager.h"
#include "framework/Dictionary.h"
#include "framework/File.h"
#include "instrument/editor/InstrumentEditor.h"
#include "instrument/editor/OstrelEditor.h"
#include "support/EditorDriver.h"
#include "support/EditorSpec.h"
#include "support/ProductTestSupport.h"
#include "support/SkinSet.h"

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace trov::test {

class InstrumentEditorHarness : public EditorDriver {
protected:
    InstrumentEditorHarness() : install_(world.base.files / "install"), skins_(install_ + "/Images") {
        // The data folder's files, but the resource description, which gains the skins, and the editor's
        // specification and skins, which the test writes (never through a link into the data folder).
        std::filesystem::create_directories(install_);
        for (const auto& entry : std::filesystem::directory_iterator(world.base.data()))
            if (const auto name = entry.path().filename();
                name != "resources.xml" && name != "controls.xml" && name != "images")
                std::filesystem::create_symlink(entry.path(),
                                                install_ + "/" + entry.path().filename().string());
        world.base.machine.setString("InstallPath", install_);
        world.base.machine.setString("ControlsXmlFile", "controls.xml");
        world.base.machine.setString("ImagesDir", "Images");
        installInstrumentEditor();
    }
    ~InstrumentEditorHarness() override {
        close();
        editor.reset();
        plugin.reset();
        uninstallInstrumentEditor();
    }

    // Skins (`SkinSet`), added before the first `build`.
    void addSkin(const std::string& name, int width, int height, std::uint32_t argb, int frames = 1,
                 const std::string& alphabet = "") {
        skins_.addSkin(name, width, height, argb, frames, alphabet);
    }
    void addFrames(const std::string& name, int frameWidth, int frameHeight,
                   const std::vector<std::uint32_t>& colours, bool sideBySide = false) {
        skins_.addFrames(name, frameWidth, frameHeight, colours, sideBySide);
    }
    void addSkinImage(const std::string& name, const platform::draw::Surface& image, int frames = 1,
                      bool horizontal = false) {
        skins_.addSkinImage(name, image, frames, horizontal);
    }

    // Writes the specification and makes the instrument's editor of the first layer through the product's
    // descriptor; the instrument and the resources' skins are made on first use.
    OstrelEditor& build(const std::string& controls) {
        close();
        editor.reset();
        std::ofstream(install_ + "/controls.xml") << controls;
        if (plugin == nullptr) {
            // The skins join the instrument's own description, in its layout: ahead of the installed skins
            // in its "bitmaps", so that a test's skin of an installed name is the one found.
            std::string description = test::readFile(world.base.data() + "/resources.xml");
            const std::string opening = "<dict name=\"bitmaps\">";
            const std::string bitmaps = skins_.typedBitmaps();
            if (const std::size_t at = description.find(opening); at != std::string::npos)
                description.insert(at + opening.size(),
                                   bitmaps.substr(opening.size(), bitmaps.size() - opening.size() - 7));
            else
                description.insert(description.rfind("</dict>"), bitmaps);
            std::ofstream(install_ + "/resources.xml") << description;
            world.base.resources->load(File(install_ + "/resources.xml"));
            plugin = world.makeCorvale();
        }
        editor.reset(
            dynamic_cast<OstrelEditor*>(world.product.createEditor(plugin.get(), plugin->getModule(0))));
        world.base.host.setEditor(editor.get());
        return *editor;
    }
    // An editor of a background alone.
    OstrelEditor& buildEmpty() {
        return build(specification({node("Container").id("special::background").at(0, 0, 100, 50)}));
    }
    // Builds an editor whose background is the node, opens it and paints it once.
    OstrelEditor& buildAndOpen(ControlNode background) {
        buildAndOpenEditor(std::move(background));
        return *editor;
    }

    // The layer's parameter (the first layer unless said).
    Parameter* parameter(const std::string& name, int instance = 0, int module = 0) const {
        const Module* m = plugin->getModule(module);
        return m != nullptr ? m->getSettings()->getParameter(name, instance) : nullptr;
    }
    template <class T> T* control(const std::string& id, int index = 0) const {
        return dynamic_cast<T*>(editor->findControl(id, index));
    }
    ZoneManager* zones(int module = 0) const { return plugin->getZoneManager(module); }
    // A zone of the layer over the keys playing a sample cached under the name (`InstrumentWorld::add`).
    int addZone(int low, int high, const std::string& sample, int module = 0) {
        return InstrumentWorld::addZone(*plugin, module, low, high, sample);
    }
    OstrelEngine& engine(int module = 0) const { return *InstrumentWorld::engineOf(*plugin, module); }
    Settings& settings(int module = 0) const { return InstrumentWorld::settingsOf(*plugin, module); }
    // A MIDI event through the instrument's input, and blocks played as the host plays them.
    void midi(int status, int key, int velocity) { InstrumentWorld::midi(*plugin, status, key, velocity); }
    void play(int blocks, std::int32_t blockFrames = 256) {
        std::vector<float> left;
        ProductWorld::play(*plugin, blocks, blockFrames, left);
    }
    const std::string& installFolder() const { return install_; }
    platform::ScriptedResponder& responder() { return world.base.responder; }

    ProductWorld world;
    std::unique_ptr<Corvale> plugin;
    std::unique_ptr<OstrelEditor> editor;

    Editor* drivenEditor() const override { return editor.get(); }
    void buildFromSpecification(const std::string& controls) override { build(controls); }
    void forgetEditor() override { world.base.host.setEditor(nullptr); }

private:
    std::string install_;
    SkinSet skins_;
};

} // namespace trov::test
