// fuzz-links: trov_gui
// Builds an editor from arbitrary text as its editor specification, the way a damaged or hand-edited
// controls file reaches a product, then opens it, paints it, routes a few gestures, a right click and a
// drop through it, and closes it. A specification may be refused (an error); nothing may crash or leak.
#include "framework/Error.h"
#include "framework/File.h"
#include "gui/Editor.h"
#include "support/EditorWorld.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace {

void routeGestures(trov::Editor& editor) {
    using trov::Point;
    using trov::WindowMessage;
    for (const Point p : {Point(5, 5), Point(40, 30), Point(100, 80), Point(150, 110)}) {
        editor.receive(WindowMessage(nullptr, 3006, 0, p, 0));
        editor.receive(WindowMessage(nullptr, 3000, 0, p, 0));
        editor.receive(WindowMessage(nullptr, 3006, 0, p + Point(3, -7), 0));
        editor.receive(WindowMessage(nullptr, 3002, 0, p + Point(3, -7), 0));
        editor.receive(WindowMessage(nullptr, 3011, 0, p, 120));
    }
    // The menu and the text entry end at once: nothing answers them.
    editor.receive(WindowMessage(nullptr, 3003, 0, Point(40, 30), 0));
    editor.receive(WindowMessage(nullptr, 3001, 0, Point(40, 30), 0));
    const std::string path = "/nowhere/take.wav";
    editor.receive(
        WindowMessage(&editor, 3021, 0, Point(40, 30), reinterpret_cast<std::uintptr_t>(path.c_str())));
    editor.receive(WindowMessage(nullptr, 3008, 0, Point(), 0));
}

} // namespace

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
    routeGestures(*editor);
    editor->invalidateAll();
    editor->idle();
    editor->close();
    world.instances.host.setEditor(nullptr);
    return 0;
}
