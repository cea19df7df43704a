#pragma once

#include <string>

namespace trov {

class Bitmap;
class Resources;

// Skin bitmaps a control takes from the process-wide resources for itself, beside the ones the control
// base keeps: one reference per take, given back when the control is done with it. User-interface thread.

// The bitmap of that name with one reference for the caller; null when the resources have none, or one
// the canvas cannot draw (given back at once).
Bitmap* takeSkinBitmap(Resources* resources, const std::string& name);
// Gives the reference back (to the resources, or to the bitmap itself without them) and clears the
// pointer; nothing for null.
void giveBackSkinBitmap(Resources* resources, Bitmap*& bitmap);

} // namespace trov
