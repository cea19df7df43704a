#pragma once

namespace trov::platform {

// Keeps process-wide objects of the platform layer (the event loop, the window system, the timer queue,
// the menu, drag and font tables) until every other static object of the program, or of the module that
// holds them, has gone, and then destroys them, the last kept first. The keeper is made before all other
// static objects, so it goes after them: their teardown may still close windows, delete timers and free
// menus, and an unloaded module leaves nothing of these behind.
//
// Any thread; an object is usually kept by the function-local static that makes it.
void keepToTheEnd(void* object, void (*destroy)(void*));

template <class T> T* keepToTheEnd(T* object) {
    keepToTheEnd(object, [](void* kept) { delete static_cast<T*>(kept); });
    return object;
}

} // namespace trov::platform
