#include "platform/Library.h"

#include <gtest/gtest.h>

#include <utility>

using trov::platform::Library;

namespace {

TEST(Library, LoadsFindsSymbolsAndUnloadsOnRequestOrWhenMovedOver) {
    Library library;
    EXPECT_EQ(library.findSymbol("cos"), nullptr);
    ASSERT_TRUE(library.load("libm.so.6")) << library.getLoadError();
    EXPECT_TRUE(library.getLoadError().empty());
    auto* cosine = reinterpret_cast<double (*)(double)>(library.findSymbol("cos"));
    ASSERT_NE(cosine, nullptr);
    EXPECT_EQ(cosine(0.0), 1.0);
    EXPECT_EQ(library.findSymbol("no_such_symbol_anywhere"), nullptr);

    Library moved(std::move(library));
    EXPECT_FALSE(library.isLoaded()); // NOLINT(bugprone-use-after-move): moved-from state is specified
    EXPECT_TRUE(moved.isLoaded());
    moved.unload();
    EXPECT_FALSE(moved.isLoaded());
    EXPECT_EQ(moved.findSymbol("cos"), nullptr);
    moved.unload();
}

TEST(Library, AFileThatDoesNotLoadGivesTheLoadersReason) {
    Library library;
    EXPECT_FALSE(library.load("/no/such/folder/libnothing.so"));
    EXPECT_FALSE(library.isLoaded());
    EXPECT_NE(library.getLoadError().find("libnothing.so"), std::string::npos) << library.getLoadError();
}

} // namespace
