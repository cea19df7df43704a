#include "framework/EditorServices.h"

#include <gtest/gtest.h>

using namespace trov;

namespace {
struct LoadedBitmap : NullBitmap {
    bool isLoaded() const override { return true; }
    Rect getBounds() const override { return Rect(0, 0, 8, 4); }
};
struct FakeServices : EditorServicesFactory {
    BitmapInterface* createBitmap(const File&) override { return new LoadedBitmap(); }
    std::unique_ptr<PopupMenuInterface> createPopupMenu(std::uintptr_t) override { return nullptr; }
};
} // namespace

TEST(EditorServices, WithoutAnEditorLibraryBitmapsLoadNothing) {
    BitmapInterface* bitmap = editorServices().createBitmap(File("/skins/knob.png"));
    EXPECT_FALSE(bitmap->isLoaded());
    EXPECT_FALSE(bitmap->getBounds().isNonZero());
    EXPECT_EQ(bitmap->release(), 0); // one reference, released by its owner
    EXPECT_NE(editorServices().createPopupMenu(1), nullptr);
}

TEST(EditorServices, AnInstalledFactoryAnswersUntilRemoved) {
    FakeServices fake;
    setEditorServices(&fake);
    BitmapInterface* bitmap = editorServices().createBitmap(File("/skins/knob.png"));
    EXPECT_TRUE(bitmap->isLoaded());
    EXPECT_EQ(bitmap->getBounds().getWidth(), 8);
    bitmap->release();
    setEditorServices(nullptr);
    BitmapInterface* null = editorServices().createBitmap(File("x.png"));
    EXPECT_FALSE(null->isLoaded());
    null->release();
}
