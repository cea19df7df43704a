#include "framework/Error.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace trov;

TEST(Error, SuccessAndEmptyCodeAreNotFailures) {
    EXPECT_FALSE(NoError().failed());
    EXPECT_EQ(NoError().getCode(), "EAOK");
    EXPECT_EQ(NoError().getMessage(), "");
    EXPECT_FALSE(Error("here", "plain").failed());
    EXPECT_TRUE(GeneralError("here").failed());
}

// Every kind copied into the plain type keeps its code, its exact message and where it happened.
TEST(Error, EachKindCarriesItsCodeAndExactMessageIntoThePlainType) {
    const struct {
        Error error;
        const char* code;
        const char* message;
    } cases[] = {
        {GeneralError("w", "Broken"), "EGEN", "Broken"},
        {ErrorPrefsKeyNotFound("w", "InstallPath"), "EPKNF", "Preferences key 'InstallPath' not found"},
        {ErrorPrefsKeyNotSaved("w", "A\\B"), "EPNS", "Preferences key 'A\\B' could not be saved"},
        {ErrorNoSuchParameter("w", "Cutoff"), "ENSP", "Parameter Cutoff does not exist"},
        {ErrorNoSuchParameterType("w", "float", "Cutoff"), "ENSPT", "Unknown parameter type float<Cutoff>"},
        {ErrorNoSuchControlType("w", "knob", "Volume"), "ENSCT", "Unknown control type knob<Volume>"},
        {ErrorImportFailed("w"), "EIFL", "Failed to import file"},
        {ErrorExportFailed("w"), "EXFL", "Failed to export file"},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(c.error.failed()) << c.code;
        EXPECT_EQ(c.error.getCode(), c.code);
        EXPECT_EQ(c.error.getMessage(), c.message);
        EXPECT_STREQ(c.error.what(), c.message);
        EXPECT_EQ(c.error.getWhere(), "w");
    }
    Error assigned = NoError();
    assigned = cases[1].error;
    EXPECT_EQ(assigned.getCode(), "EPKNF");
}

TEST(Error, PredicatesTellSuccessAndImportAndExportFailuresApart) {
    const struct {
        Error error;
        bool ok, failed, importFailure, exportFailure;
    } cases[] = {
        {NoError(), true, false, false, false},
        {Error("w", "no code"), false, false, false, false},
        {GeneralError("w"), false, true, false, false},
        {ErrorImportFailed("w"), false, true, true, false},
        {ErrorExportFailed("w"), false, true, false, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(
            std::tuple(c.error.ok(), c.error.failed(), c.error.isImportFailure(), c.error.isExportFailure()),
            std::tuple(c.ok, c.failed, c.importFailure, c.exportFailure))
            << c.error.getCode();
        EXPECT_TRUE(c.error.hasCode(c.error.getCode().c_str()));
    }
    EXPECT_STREQ(kErrorImportFailed, "EIFL");
    EXPECT_TRUE(ErrorPrefsKeyNotSaved("w", "k").hasCode(kErrorPrefsKeyNotSaved));
}

TEST(Error, IsThrownAndCaughtAsAStandardRuntimeError) {
    try {
        throw GeneralError("loader", "bad chunk");
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "bad chunk");
        return;
    }
    FAIL() << "not caught";
}
