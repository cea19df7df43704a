// A small panel of the controls that show the engine's material (keyboard, sample editor, spectrum, EQ
// section with a curve, file browser) as a whole, in the pixel font: checked at places computed from the
// controls' looks and against its reference picture.
#include "engine/zones/Resources.h"
#include "engine/zones/Zone.h"
#include "engine/zones/ZoneManager.h"
#include "gui/controls/ControlEQCurve.h"
#include "gui/controls/ControlFFT.h"
#include "gui/controls/ControlFileBrowser.h"
#include "gui/controls/ControlKeyboard.h"
#include "gui/controls/ControlSampleEditor.h"
#include "plugin/PluginInfo.h"

#include "support/EditorHarness.h"
#include "support/KnownBand.h"
#include "support/PixelCheck.h"
#include "support/SampleTestSupport.h"
#include "support/SnapshotCompare.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

using namespace trov;
using test::node;
using test::rgb;
using test::specification;

namespace {

class MaterialPanel : public test::EditorHarness {};

} // namespace

TEST_F(MaterialPanel, ASmallPanelOfKeysWaveformSpectrumEqualiserAndBrowserLooksAsBefore) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(world().files.path()) / "library";
    fs::create_directories(folder / "Banks");
    std::ofstream(folder / "take.wav") << "x";
    build(specification({}));
    getPluginInfo()->copyFont(0, Font("04b03", 8.0f, 0, 1, Font::kNoSmoothing | Font::kAlignLeft, 10.0f));
    buildAndOpen(
        node("Panel")
            .at(0, 0, 200, 124)
            .string("background", "#000000")
            .child(node("Keyboard").id("keys").at(4, 4, 96, 30).integer("lokey", 48).integer("hikey", 61))
            .child(node("SampleEditor").id("wave").at(104, 4, 92, 40))
            .child(node("FFT").id("fft").at(4, 40, 96, 39))
            .child(node("EQSection")
                       .id("eq")
                       .at(104, 48, 92, 31)
                       .child(node("EQCurve").id("curve").at(0, 0, 92, 31)))
            .child(node("FileBrowser").id("browser").at(4, 84, 192, 36)));

    // The zone plays 2000 frames of 0.5, all between its start and end.
    std::vector<float> half(2000, 0.5f);
    SharedObjectPtr<Sample> sample = test::makeSample(half);
    ZoneManager* zones = plugin->getModule(0)->getZoneManager();
    zones->createZone(KeyRange(36, 96), world().resources->addSample("", sample.get(), "/samples/half.wav"));
    SharedObjectPtr<Zone> zone(zones->getCurrentZone());
    zone->setParameterLong("SampleEnd", 1999, Sender::kEditor);
    zone->setParameterLong("SampleDisplayEnd", 1999, Sender::kEditor);
    control<ControlSampleEditor>("wave")->loadZoneView();
    // Every bin a magnitude of 8: log2(8 / sqrt 2) = 2.5 octaves, shown on a scale of 1 / 3.
    std::vector<float> bins(128, 8.0f / std::sqrt(2.0f));
    control<ControlFFT>("fft")->setInput(bins.data(), bins.size());
    control<ControlFFT>("fft")->receive(SystemMessage(nullptr, Code::kWorkerData, 0));
    test::KnownBand band;
    band.setType(0);
    band.setFrequency(1000.0f);
    band.factor = [](int i) { return i < 46 ? 1.0f : 2.0f; };
    control<ControlEQCurve>("curve")->setBand(&band);
    auto* browser = control<ControlFileBrowser>("browser");
    std::unique_ptr<FileBrowserNode> root = browser->createNode();
    root->setFolder(Folder(folder.string()));
    browser->addRoot(std::move(root), ControlFileBrowser::kTagOpen);
    tick(8); // the browser's opening runs to its end
    // Opaque: the contrast's flicker is random.
    browser->setTransparency(1.0f);
    editor->invalidateAll();
    tick();

    const auto shown = snapshot();
    const Rect c = control<ControlKeyboard>("keys")->getKeyRect(48);
    const Rect cSharp = control<ControlKeyboard>("keys")->getKeyRect(49);
    test::expectNear(rgb(shown->pixel(4 + c.left + 2, 4 + c.bottom - 4)), test::kWhite, "a white key");
    test::expectNear(rgb(shown->pixel(4 + cSharp.left + 3, 4 + cSharp.top + 5)), test::kBlack, "a black key");
    // Height 40, middle row 20: 0.5 reaches from row 10 to the middle on every second column.
    test::expectNear(rgb(shown->pixel(104 + 2, 4 + 15)), test::kWhite, "the waveform");
    test::expectNear(rgb(shown->pixel(104 + 3, 4 + 15)), test::kBlack, "between two drawn columns");
    // Height 39, middle row 19: 2.5 of 3 octaves reach nearest((1 - 2.5 / 3) x 19) = 3, half opaque.
    const int red = static_cast<int>(ControlFFT::kOpacity * 255.0f);
    test::expectNear(rgb(shown->pixel(4 + 50, 40 + 10)), {red, 0, 0}, "the spectrum's column");
    test::expectNear(rgb(shown->pixel(4 + 50, 40 + 2)), test::kBlack, "above the spectrum's column");
    test::expectMatchesReference("material-panel", *shown);
}
