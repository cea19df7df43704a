// fuzz-links: trov_instrument_editor trov_instrument
// The instrument's editor built from arbitrary text as its editor specification, over the real instrument
// and the installed skins, as a damaged or hand-edited front panel reaches it; then opened, painted, given
// a few gestures, a right click and a drop, and closed. The installed front panel is a seed. A
// specification may be refused (an error) or give no editor; nothing may crash or leak.
#include "framework/Error.h"
#include "gui/Editor.h"
#include "support/EditorGestures.h"
#include "support/FrontPanelWorld.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Made once: the registry stores over the data folder, the instrument and its editor library.
    static trov::test::FrontPanelWorld panel;
    const std::string spec =
        panel.world.files.write("fuzzed.xml", std::string(reinterpret_cast<const char*>(data), size));
    std::unique_ptr<trov::Editor> editor;
    try {
        editor = panel.makeEditor(spec);
    } catch (const trov::Error&) {
        return 0; // refused: an unknown type, or too many controls
    }
    if (editor == nullptr)
        return 0; // nothing to show: no background, or a broken file
    editor->open(trov::platform::kNoWindow, trov::Rect(0, 0, 200, 150));
    editor->idle();
    trov::test::routeGestures(*editor);
    editor->invalidateAll();
    editor->idle();
    editor->close();
    return 0;
}
