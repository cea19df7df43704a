#pragma once

// A few of everything a user does to an open editor, sent straight to its receive: pointer moves, presses
// and drags with releases and the wheel at several places, a right click and a double click (their menu
// and text entry end at once: nothing answers them headless), a file dropped and the pointer leaving. The
// specification fuzz targets route them through every editor they build.
#include "framework/Message.h"
#include "framework/Point.h"
#include "gui/Editor.h"

#include <cstdint>
#include <string>

namespace trov::test {

inline void routeGestures(Editor& editor) {
    for (const Point p : {Point(5, 5), Point(40, 30), Point(100, 80), Point(150, 110)}) {
        editor.receive(WindowMessage(nullptr, 3006, 0, p, 0));
        editor.receive(WindowMessage(nullptr, 3000, 0, p, 0));
        editor.receive(WindowMessage(nullptr, 3006, 0, p + Point(3, -7), 0));
        editor.receive(WindowMessage(nullptr, 3002, 0, p + Point(3, -7), 0));
        editor.receive(WindowMessage(nullptr, 3011, 0, p, 120));
    }
    editor.receive(WindowMessage(nullptr, 3003, 0, Point(40, 30), 0));
    editor.receive(WindowMessage(nullptr, 3001, 0, Point(40, 30), 0));
    const std::string path = "/nowhere/take.wav";
    editor.receive(
        WindowMessage(&editor, 3021, 0, Point(40, 30), reinterpret_cast<std::uintptr_t>(path.c_str())));
    editor.receive(WindowMessage(nullptr, 3008, 0, Point(), 0));
}

} // namespace trov::test
