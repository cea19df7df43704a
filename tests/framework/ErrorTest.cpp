#include "framework/Error.h"

#include <gtest/gtest.h>

using namespace trov;

TEST(Error, SuccessAndEmptyCodeAreNotFailures) {
    EXPECT_FALSE(NoError().failed());
    EXPECT_EQ(NoError().getCode(), "EAOK");
    EXPECT_EQ(NoError().getMessage(), "");
    EXPECT_EQ(NoError().getWhere(), "");
    EXPECT_FALSE(Error("here", "plain").failed());
    EXPECT_TRUE(GeneralError("here").failed());
    EXPECT_EQ(GeneralError("here").getCode(), "EGEN");
}

TEST(Error, MessagesAreBuiltExactlyFromTheirArguments) {
    EXPECT_EQ(GeneralError("w", "Broken").getMessage(), "Broken");
    EXPECT_EQ(ErrorPrefsKeyNotFound("w", "InstallPath").getMessage(), "Preferences key 'InstallPath' not found");
    EXPECT_EQ(ErrorPrefsKeyNotSaved("w", "A\\B").getMessage(), "Preferences key 'A\\B' could not be saved");
    EXPECT_EQ(ErrorNoSuchParameter("w", "Cutoff").getMessage(), "Parameter Cutoff does not exist");
    EXPECT_EQ(ErrorNoSuchParameterType("w", "float", "Cutoff").getMessage(), "Unknown parameter type float<Cutoff>");
    EXPECT_EQ(ErrorNoSuchControlType("w", "knob", "Volume").getMessage(), "Unknown control type knob<Volume>");
    EXPECT_EQ(ErrorImportFailed("w").getMessage(), "Failed to import file");
    EXPECT_EQ(ErrorExportFailed("w").getMessage(), "Failed to export file");
}

TEST(Error, EachKindCarriesItsCode) {
    EXPECT_EQ(ErrorPrefsKeyNotFound("w", "k").getCode(), "EPKNF");
    EXPECT_EQ(ErrorPrefsKeyNotSaved("w", "k").getCode(), "EPNS");
    EXPECT_EQ(ErrorNoSuchParameter("w", "n").getCode(), "ENSP");
    EXPECT_EQ(ErrorNoSuchParameterType("w", "t", "n").getCode(), "ENSPT");
    EXPECT_EQ(ErrorNoSuchControlType("w", "t", "n").getCode(), "ENSCT");
    EXPECT_EQ(ErrorImportFailed("w").getCode(), "EIFL");
    EXPECT_EQ(ErrorExportFailed("w").getCode(), "EXFL");
}

TEST(Error, CopiedIntoThePlainTypeKeepsCodeAndTexts) {
    Error copy = ErrorPrefsKeyNotFound("Preferences::get", "LogLevel");
    EXPECT_TRUE(copy.failed());
    EXPECT_EQ(copy.getCode(), "EPKNF");
    EXPECT_EQ(copy.getWhere(), "Preferences::get");
    EXPECT_STREQ(copy.what(), "Preferences key 'LogLevel' not found");
    Error assigned = NoError();
    assigned = copy;
    EXPECT_EQ(assigned.getCode(), "EPKNF");
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
