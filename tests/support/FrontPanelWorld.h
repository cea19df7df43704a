#pragma once

// The instrument's front panel as it is installed: the real instrument (`Corvale`, its two layers, engines
// and voices) over the generated data folder, whose registry values name the editor specification
// (data/controls.xml) and the skins drawn from it, and the instrument's editor library installed. The
// random generator the displays' flicker draws from is seeded, so the same steps paint the same pixels.
// No GoogleTest: tests and benchmarks share it. The instrument must go before the world; editors made
// here before the instrument.
#include "framework/Random.h"
#include "gui/Editor.h"
#include "instrument/editor/InstrumentEditor.h"
#include "plugin/PluginInfo.h"
#include "support/ProductTestSupport.h"

#include <memory>
#include <string>
#include <vector>

namespace trov::test {

class FrontPanelWorld {
public:
    static constexpr int kBlockFrames = 256;

    FrontPanelWorld() {
        installInstrumentEditor();
        seedMersenneTwister(1);
        product = std::make_unique<ProductInstrument>(world, kBlockFrames);
    }
    ~FrontPanelWorld() {
        product.reset();
        uninstallInstrumentEditor();
    }
    FrontPanelWorld(const FrontPanelWorld&) = delete;
    FrontPanelWorld& operator=(const FrontPanelWorld&) = delete;

    Corvale& instrument() const { return *product->plugin; }

    // The editor the host gets for the first layer, built from the installed specification, or from the
    // specification file given (throws what the editor's construction throws).
    std::unique_ptr<Editor> makeEditor(const std::string& controlsFile = "controls.xml") {
        world.machine.setString("ControlsXmlFile", controlsFile);
        return std::unique_ptr<Editor>(static_cast<Editor*>(
            getPluginInfo()->createEditor(&instrument(), instrument().getFirstModule())));
    }

    // Blocks of the instrument's render, as the host plays them.
    void play(int blocks) const {
        std::vector<float> left;
        ProductWorld::play(instrument(), blocks, kBlockFrames, left);
    }
    // A note on or off through the instrument's MIDI input.
    void midi(int status, int key, int velocity) const {
        InstrumentWorld::midi(instrument(), status, key, velocity);
    }

    InstrumentWorld world{TROV_BUILD_DATA};
    std::unique_ptr<ProductInstrument> product;
};

} // namespace trov::test
