#pragma once

// The instrument's editor over the real instrument, headless: the generated data folder as the install,
// the product's descriptor and plug-in class (`Corvale`) with its two layers, engines and voices, the
// instrument's editor library installed, an editor specification and skins written by the test, and the
// editor driven through the in-process window system on the manual clock (`EditorDriving`):
//
//   class Panel : public test::InstrumentEditorHarness {};
//   TEST_F(Panel, ...) {
//       skins.addSkin("led", 10, 10, 0xffff0000);
//       build(test::specification({test::node("Background").id("special::background").at(0, 0, 300, 200)
//                                      .child(test::node("LFOLED").id("led").string("down", "led")...)}));
//       open();
//       play(4); tick(2);
//   }
#include "engine/io/IOPinConfig.h"
#include "gui/Editor.h"
#include "instrument/Corvale.h"
#include "instrument/editor/InstrumentEditor.h"
#include "instrument/engine/OstrelEngine.h"
#include "plugin/PluginInfo.h"
#include "support/EditorDriving.h"
#include "support/EditorSpec.h"
#include "support/ProductTestSupport.h"
#include "support/TestSkins.h"
#include "support/VoiceTestSupport.h"

#include <memory>
#include <string>

namespace trov::test {

class InstrumentEditorHarness : public EditorDriving {
protected:
    static constexpr int kBlockFrames = 256;

    InstrumentEditorHarness() {
        installInstrumentEditor();
        world.machine.setString("ControlsXmlFile", world.files / "controls.xml");
        world.machine.setString("ImagesDir", world.files / "Images");
    }
    ~InstrumentEditorHarness() override {
        close();
        editor.reset();
        product_.reset();
        uninstallInstrumentEditor();
    }

    // Writes the specification and makes a new editor from it for the first layer; the instrument is made
    // with the first editor, after the skins are described to the resources.
    Editor& build(const std::string& controls) {
        close();
        editor.reset();
        world.files.write("controls.xml", controls);
        if (product_ == nullptr) {
            description_.save(File(world.files.write("resources.xml", "")));
            world.resources->load(File(world.files / "resources.xml"));
            product_ = std::make_unique<ProductInstrument>(world, kBlockFrames);
        }
        editor.reset(static_cast<Editor*>(
            getPluginInfo()->createEditor(instrument(), instrument()->getFirstModule())));
        return *editor;
    }

    Corvale* instrument() const { return product_ != nullptr ? product_->plugin.get() : nullptr; }
    OstrelEngine& engine(int module = 0) const { return *InstrumentWorld::engineOf(*instrument(), module); }
    Settings& settings(int module = 0) const { return InstrumentWorld::settingsOf(*instrument(), module); }
    Parameter* parameter(const std::string& name, int module = 0) const {
        return settings(module).getParameter(name);
    }
    template <class T> T* control(const std::string& id, int index = 0) const {
        return dynamic_cast<T*>(editor->findControl(id, index));
    }

    // Note on or off through the instrument's MIDI input, then blocks played as the host plays them.
    void midi(int status, int key, int velocity) {
        InstrumentWorld::midi(*instrument(), status, key, velocity);
    }
    void play(int blocks) {
        std::vector<float> left;
        ProductWorld::play(*instrument(), blocks, kBlockFrames, left);
    }

    InstrumentWorld world{TROV_BUILD_DATA};

private:
    static Dictionary skinDescription() {
        Dictionary description;
        description.setString("file-format", "0.7.0");
        return description;
    }

    // The skins' description, loaded over the install's once the instrument is made: the install's
    // resident samples stay cached (`Resources::load` only adds).
    Dictionary description_ = skinDescription();

protected:
    TestSkins skins{world.files, description_};

private:
    std::unique_ptr<ProductInstrument> product_;
};

} // namespace trov::test
