#include "engine/RexLibrary.h"

#include "engine/RexTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace trov;

namespace {

class RexLibrary : public test::RexFixture {};

TEST_F(RexLibrary, LoadsFromTheInstallFolderAndForwardsEveryCall) {
    installLibrary();
    ASSERT_EQ(loadRexLibrary(), kRexOk);
    EXPECT_TRUE(isRexLibraryLoaded());

    const std::vector<char> bytes = rexstub::encode(threeSlices());
    REXInfo info{};
    ASSERT_EQ(REXGetInfoFromBuffer(static_cast<std::int32_t>(bytes.size()), bytes.data(), sizeof info, &info), kRexOk);
    EXPECT_EQ(info.sliceCount, 3);
    EXPECT_EQ(info.ppqLength, 4 * 15360);

    REXHandle handle = nullptr;
    ASSERT_EQ(REXCreate(&handle, bytes.data(), static_cast<std::int32_t>(bytes.size()), nullptr, nullptr), kRexOk);
    EXPECT_EQ(REXSetOutputSampleRate(handle, 8000), kRexInvalidSampleRate);
    EXPECT_EQ(REXStartPreview(handle), kRexOk);
    EXPECT_EQ(REXSetPreviewTempo(handle, 10000), kRexInvalidTempo);
    EXPECT_EQ(REXStopPreview(handle), kRexOk);
    EXPECT_EQ(REXStopPreview(handle), kRexNotBeingPreviewed);
    REXDelete(&handle);
    EXPECT_EQ(handle, nullptr);
}

TEST_F(RexLibrary, WithoutTheLibraryEveryCallAnswersNotLoaded) {
    EXPECT_EQ(loadRexLibrary(), kRexLibraryNotFound);
    EXPECT_FALSE(isRexLibraryLoaded());
    REXHandle handle = nullptr;
    EXPECT_EQ(REXCreate(&handle, "x", 1, nullptr, nullptr), kRexLibraryNotLoaded);
    REXInfo info{};
    EXPECT_EQ(REXGetInfo(handle, sizeof info, &info), kRexLibraryNotLoaded);
    EXPECT_EQ(REXRenderSlice(handle, 0, 0, nullptr), kRexLibraryNotLoaded);
    REXDelete(&handle);

    machine_->clear();
    EXPECT_EQ(loadRexLibrary(), kRexLibraryNotFound);
    setProcessPreferences(nullptr, nullptr);
    EXPECT_EQ(loadRexLibrary(), kRexLibraryNotFound);
}

TEST_F(RexLibrary, AcceptsVersionOnePointOnePointOneAndLater) {
    struct Case {
        const char* version;
        std::int32_t expected;
    };
    for (const Case& c : {Case{"1.1.1", kRexOk}, Case{"1.2.0", kRexOk}, Case{"1.1.5.9", kRexOk},
                          Case{"1.1.0", kRexLibraryTooOld}, Case{"1.0.999", kRexLibraryTooOld},
                          Case{"0.9.9", kRexLibraryTooOld}, Case{"", kRexLibraryTooOld},
                          Case{"2.0.0", kRexLibraryTooNew}}) {
        std::filesystem::remove_all(install_);
        std::filesystem::create_directories(install_);
        installLibrary("REX Shared Library.so", c.version);
        EXPECT_EQ(loadRexLibrary(), c.expected) << "version '" << c.version << "'";
        EXPECT_EQ(isRexLibraryLoaded(), c.expected == kRexOk) << c.version;
        while (isRexLibraryLoaded())
            unloadRexLibrary();
    }
}

TEST_F(RexLibrary, TheFirstNameThatLoadsIsTheOneChecked) {
    installLibrary("REX Shared Library Debug.so", "2.0.0");
    installLibrary("REX Shared Library.so", "1.1.1");
    EXPECT_EQ(loadRexLibrary(), kRexLibraryTooNew);

    std::filesystem::remove(std::filesystem::path(install_) / "REX Shared Library Debug.so");
    installLibrary("REX Shared Library Beta.so", "1.5.0");
    EXPECT_EQ(loadRexLibrary(), kRexOk);
}

TEST_F(RexLibrary, ABrokenIncompleteOrUnopenableLibraryIsReportedCorrupt) {
    folder_.write("install/REX Shared Library.so", "not a shared object");
    EXPECT_EQ(loadRexLibrary(), kRexLibraryCorrupt);
    std::filesystem::remove(std::filesystem::path(install_) / "REX Shared Library.so");
    installLibrary("REX Shared Library.so", "1.1.1", TROV_REXSTUB_PARTIAL);
    EXPECT_EQ(loadRexLibrary(), kRexLibraryCorrupt);
    EXPECT_FALSE(isRexLibraryLoaded());
    REXHandle handle = nullptr;
    EXPECT_EQ(REXCreate(&handle, "x", 1, nullptr, nullptr), kRexLibraryNotLoaded);

    std::filesystem::remove_all(install_);
    std::filesystem::create_directories(install_);
    installLibrary();
    ::setenv("TROV_REXSTUB_OPEN_FAILS", "1", 1);
    const std::int32_t code = loadRexLibrary();
    ::unsetenv("TROV_REXSTUB_OPEN_FAILS");
    EXPECT_EQ(code, kRexLibraryCorrupt);
    EXPECT_FALSE(isRexLibraryLoaded());
    EXPECT_EQ(loadRexLibrary(), kRexOk);
}

TEST_F(RexLibrary, StaysLoadedUntilTheLastUserUnloadsIt) {
    installLibrary();
    ASSERT_EQ(loadRexLibrary(), kRexOk);
    EXPECT_EQ(loadRexLibrary(), kRexLibraryAlreadyLoaded);
    unloadRexLibrary();
    EXPECT_TRUE(isRexLibraryLoaded());
    REXInfo info{};
    EXPECT_EQ(REXGetInfo(nullptr, sizeof info, &info), kRexInvalidHandle);
    unloadRexLibrary();
    EXPECT_FALSE(isRexLibraryLoaded());
    EXPECT_EQ(REXGetInfo(nullptr, sizeof info, &info), kRexLibraryNotLoaded);
    unloadRexLibrary();
    EXPECT_FALSE(isRexLibraryLoaded());
}

TEST(RexErrorText, KnownCodesHaveTheirTextAndSuccessAndUnknownCodesNone) {
    EXPECT_EQ(rexErrorText(kRexOk), "");
    EXPECT_EQ(rexErrorText(4), "");
    EXPECT_EQ(rexErrorText(103), "The REX DLL could not be found. Maybe REX is not installed on this system?");
    EXPECT_EQ(rexErrorText(210), "Invalid tempo. The preview tempo must be in the range 20 BPM - 450 BPM, inclusive.");
    EXPECT_EQ(rexErrorText(666), "Undefined error. If this happens, you've found a bug in the REX DLL.");
}

} // namespace
