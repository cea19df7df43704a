// The resources' skin bitmaps: loaded on first use from the description's "bitmaps" entries.
#include "engine/zones/Resources.h"
#include "framework/EditorServices.h"
#include "framework/Logger.h"
#include "framework/Preferences.h"

#include <algorithm>
#include <mutex>

namespace trov {

const Folder& Resources::bitmapsFolder() {
    if (!bitmapsFolderKnown_) {
        std::string install;
        std::string images;
        if (const Preferences* machine = getMachinePreferences()) {
            machine->getString("InstallPath", install);
            machine->getString("ImagesDir", images);
        }
        bitmapsFolder_ = Folder(install) + Folder(images);
        bitmapsFolderKnown_ = true;
        logLine(2, "Resources::bitmapsPath = %s", bitmapsFolder_.getPath().c_str());
    }
    return bitmapsFolder_;
}

BitmapInterface* Resources::getBitmap(const std::string& name) {
    if (name.empty())
        return nullptr;
    std::lock_guard guard(bitmapsMutex_);
    if (const auto it = bitmaps_.find(name); it != bitmaps_.end()) {
        it->second->retain();
        return it->second;
    }
    logLine(0, "loading on demand: %s", name.c_str());
    std::optional<Dictionary> entry;
    {
        std::lock_guard descriptionGuard(lock_);
        if (const Dictionary::View bitmaps = description_.getDictionary("bitmaps"))
            if (const Dictionary::View item = bitmaps->getDictionary(name)) {
                entry.emplace();
                entry->copyFrom(*item);
            }
    }
    if (!entry) {
        logLine(1, "  bitmap not found %s", name.c_str());
        return nullptr;
    }
    std::string filename;
    entry->getString("filename", &filename);
    logLine(0, "  filename: %s", filename.c_str());
    float flicker = 0.0f;
    entry->getFloat("flicker", &flicker);
    const File file = bitmapsFolder() + File(filename);
    const auto unloaded = [this, &file, &name]() -> BitmapInterface* {
        logLine(1, "  failed to load bitmap %s", name.c_str());
        if (std::find(unloadedBitmapFiles_.begin(), unloadedBitmapFiles_.end(), file.getPath()) ==
            unloadedBitmapFiles_.end())
            unloadedBitmapFiles_.push_back(file.getPath());
        return nullptr;
    };
    BitmapInterface* bitmap = editorServices().createBitmap(file);
    if (bitmap == nullptr)
        return unloaded();
    bitmap->setFlicker(flicker);

    const Rect bounds = bitmap->getBounds();
    Rect frame = bounds;
    bool horizontal = false;
    entry->getBool("horizontal", &horizontal);
    int frames = 0;
    // Zero or fewer frames mean the whole image.
    if (entry->getInteger("frames", &frames) && frames > 0) {
        if (horizontal)
            frame.setWidth(bounds.getWidth() / frames);
        else
            frame.setHeight(bounds.getHeight() / frames);
    }
    // "crossframes" divides the other side, for sheets with frames both down and across (key shapes by
    // state, icons by kind and state); "frames" and "horizontal" keep their meaning.
    int across = 0;
    if (entry->getInteger("crossframes", &across) && across > 0) {
        if (horizontal)
            frame.setHeight(bounds.getHeight() / across);
        else
            frame.setWidth(bounds.getWidth() / across);
    }
    Rect source(Point(0, 0), Point(bounds.getWidth(), bounds.getHeight()));
    entry->getInteger("left", &source.left);
    entry->getInteger("top", &source.top);
    entry->getInteger("right", &source.right);
    entry->getInteger("bottom", &source.bottom);
    bitmap->setFrameRect(frame);
    bitmap->setSourceRect(source);
    std::string alphabet;
    if (entry->getString("alphabet", &alphabet))
        bitmap->setAlphabet(alphabet);

    if (!bitmap->isLoaded()) {
        bitmap->release();
        return unloaded();
    }
    std::erase(unloadedBitmapFiles_, file.getPath());
    bitmaps_[name] = bitmap; // the cache's reference
    bool useAlpha = false;
    if (entry->getBool("usealpha", &useAlpha))
        bitmap->setUseAlpha(useAlpha);
    float transparency = 1.0f;
    if (entry->getFloat("transparency", &transparency))
        bitmap->setTransparency(transparency);
    bitmap->retain();
    return bitmap;
}

std::vector<std::string> Resources::getUnloadedBitmapFiles() {
    std::lock_guard guard(bitmapsMutex_);
    return unloadedBitmapFiles_;
}

void Resources::releaseBitmap(BitmapInterface* bitmap) {
    if (bitmap == nullptr)
        return;
    std::lock_guard guard(bitmapsMutex_);
    bool cached = false;
    for (const auto& [name, held] : bitmaps_)
        cached = cached || held == bitmap;
    if (!cached) {
        bitmap->release();
        return;
    }
    // The cache's reference keeps the count above zero; when only it is left, the bitmap goes.
    if (bitmap->release() == 1) {
        std::erase_if(bitmaps_, [bitmap](const auto& item) { return item.second == bitmap; });
        bitmap->release();
    }
}

} // namespace trov
