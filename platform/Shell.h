#pragma once

#include <functional>

namespace trov::platform {

// In-process stand-ins for the desktop shell's state: the keyboard's key states, the mouse cursor shape and
// the request to quit the host's message loop. The host stand-in (or a test) feeds key states and installs
// the quit handler. Any thread.

void setKeyState(int virtualKey, bool down);
bool getKeyState(int virtualKey);
void clearKeyStates();

enum class CursorShape { Arrow, SizeAll, SizeWestEast, SizeNorthSouth, Hand, Wait };
void setCursorShape(CursorShape shape);
CursorShape getCursorShape();

// Asks the host's message loop to quit: calls the installed handler; without one the request is only
// remembered. Never ends the process itself.
void requestQuit(int code);
bool isQuitRequested();
void resetQuitRequest();
void setQuitHandler(std::function<void(int code)> handler);

} // namespace trov::platform
