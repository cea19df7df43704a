// fuzz-links: trov_gui
// Builds an editor from arbitrary text as its editor specification, the way a damaged or hand-edited
// controls file reaches a product, then opens it, paints it, routes a few gestures, a right click and a
// drop through it, and closes it. A specification may be refused (an error); nothing may crash or leak.
#include "framework/Error.h"
#include "framework/File.h"
#include "gui/Editor.h"
#include "support/EditorGestures.h"
#include "support/EditorWorld.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Made once: the registry stores, the plug-in specification and the instance.
    static trov::test::EditorWorld world;
    std::unique_ptr<trov::Editor> editor;
    try {
        editor = world.makeEditor(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const trov::Error&) {
        return 0; // refused: an unknown type, or too many controls
    }
    world.instances.host.setEditor(editor.get());
    editor->open(trov::platform::kNoWindow, trov::Rect(0, 0, 160, 120));
    editor->idle();
    trov::test::routeGestures(*editor);
    editor->invalidateAll();
    editor->idle();
    editor->close();
    world.instances.host.setEditor(nullptr);
    return 0;
}
