#pragma once

#include "tools/make-skins/Paint.h"
#include "tools/make-skins/PanelSpec.h"

#include <functional>
#include <memory>
#include <string>

namespace trov::skins {

// The id of the container the generator draws as the display window (the LCD).
inline constexpr char kDisplayId[] = "display";

// True for a node whose skin is a page drawn from the specification: the background, or a container whose
// "background" names a skin of its own.
using IsPage = std::function<bool(const PanelNode&)>;

// The art of a page at its node's size: the panel (or a page's plate), then, for every control on it and
// not on a page of its own, what the panel shows around it: section frames with their titles, the display
// window, lamp sockets and the legends ("label") under the controls, in the built-in pixel font.
std::shared_ptr<Surface> drawPage(const PanelNode& page, const IsPage& isPage);

} // namespace trov::skins
