// fuzz-links: trov_gui
// The skin bitmap loader (PNG first, then BMP): any file is refused with ErrorImportFailed or loads into a
// whole image of its bounds, with premultiplied pixels and frames that stay inside it.
#include "FuzzSupport.h"

#include "gui/Bitmap.h"
#include "platform/draw/Surface.h"

using trov::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = trov::fuzz::writeScratchFile("skin", data, size);
    trov::Bitmap bitmap(nullptr, trov::Rect());
    const trov::Error error = bitmap.loadFile(trov::File(path));
    if (!bitmap.isLoaded()) {
        check(error.getCode() == trov::kErrorImportFailed);
        check(bitmap.getFrameCount() == 0);
        return 0;
    }
    check(!error.failed());
    const trov::platform::draw::Surface& image = *bitmap.getHandle();
    check(bitmap.getBounds() == trov::Rect(0, 0, image.width(), image.height()));
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const trov::platform::draw::Pixel p = image.pixel(x, y);
            const std::uint32_t a = trov::platform::draw::alphaOf(p);
            check(trov::platform::draw::redOf(p) <= a && trov::platform::draw::greenOf(p) <= a &&
                  trov::platform::draw::blueOf(p) <= a);
        }
    }
    // Frames of an odd size still lie inside the image.
    bitmap.setFrameRect(trov::Rect(0, 0, image.width() / 3 + 1, image.height() / 2 + 1));
    for (int i = 0; i < bitmap.getFrameCount(); ++i)
        check(bitmap.getBounds().contains(bitmap.getFrame(i)));
    check(bitmap.getFrame(bitmap.getFrameCount()) == trov::Rect());
    return 0;
}
