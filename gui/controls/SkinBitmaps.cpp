#include "gui/controls/SkinBitmaps.h"

#include "engine/zones/Resources.h"
#include "gui/Bitmap.h"

namespace trov {

Bitmap* takeSkinBitmap(Resources* resources, const std::string& name) {
    BitmapInterface* found = resources != nullptr && !name.empty() ? resources->getBitmap(name) : nullptr;
    auto* bitmap = dynamic_cast<Bitmap*>(found);
    if (found != nullptr && bitmap == nullptr)
        resources->releaseBitmap(found);
    return bitmap;
}

void giveBackSkinBitmap(Resources* resources, Bitmap*& bitmap) {
    if (bitmap == nullptr)
        return;
    if (resources != nullptr)
        resources->releaseBitmap(bitmap);
    else
        bitmap->release();
    bitmap = nullptr;
}

} // namespace trov
