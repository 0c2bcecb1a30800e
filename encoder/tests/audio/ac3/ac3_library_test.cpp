// The binding of the AC-3 library: one encoder at a time, loading and freeing by use count,
// the search for the library, and the start-up probe. These tests load the AC3SUBE.so built next
// to the test program.
#include "encoder/audio/ac3/ac3_library.h"

#include <gtest/gtest.h>

#include <memory>

#include "encoder/audio/ac3/dolby_ac3_encoder.h"
#include "encoder/framework/mpeg_errors.h"
#include "encoder/tests/audio/ac3/ac3_test_util.h"
#include "tests/support/temp_dir.h"

namespace quillset {
namespace {

using namespace quillset::testing;

const char* const kInUse =
    "Dolby Digital (AC-3) encoder is already in use.\r\rOnly single Dolby Digital (AC-3) can be used at a time.";
const char* const kCannotInitialize = "Could not initialize Dolby Digital (AC-3) encoder.";

class AC3LibraryTest : public ::testing::Test {
protected:
    AC3BindingSettingsGuard Guard;
    TLargeMemoryStream Out;
    const TMPEGAudioEncoder_EncodeConfig Config = AC3Config(48000, 0, 448000);

    std::string CreationError(const std::string& fileName) {
        try {
            TDolbyAC3AudioEncoder encoder(Out, fileName, Config);
        } catch (const EDolbyAC3AudioEncoderError& e) {
            return e.what();
        }
        return "";
    }
};

TEST_F(AC3LibraryTest, OneEncoderAtATime) {
    auto first = std::make_unique<TDolbyAC3AudioEncoder>(Out, "", Config);
    EXPECT_TRUE(IsAC3EncoderInUse());
    EXPECT_EQ(AC3LibraryLoadCount(), 1);
    EXPECT_EQ(CreationError(""), kInUse);
    EXPECT_EQ(AC3LibraryLoadCount(), 1); // the refused one took nothing
    first.reset();
    EXPECT_FALSE(IsAC3EncoderInUse());
    EXPECT_EQ(AC3LibraryLoadCount(), 0);
    EXPECT_FALSE(IsAC3LibraryLoaded()); // released at the last user
    TDolbyAC3AudioEncoder second(Out, "", Config);
    EXPECT_TRUE(IsAC3LibraryLoaded()); // loaded once more
    second.EndEncode();
    EXPECT_GT(Out.GetSize(), 0);
}

// The configuration is checked before the one-encoder rule.
TEST_F(AC3LibraryTest, ConfigurationErrorsComeFirst) {
    TDolbyAC3AudioEncoder first(Out, "", Config);
    try {
        TDolbyAC3AudioEncoder second(Out, "", AC3Config(44100, 0, 448000));
        FAIL() << "accepted";
    } catch (const EDolbyAC3AudioEncoderError& e) {
        EXPECT_EQ(e.ErrorCode, MPEGError_IllegalSampleFormat);
    }
}

TEST_F(AC3LibraryTest, MissingLibraryOrEntry) {
    TempDir empty;
    SetAC3LibraryFolder(empty.Path());
    struct Case {
        const char* name;
        std::string fileName;
    } cases[] = {{"no such file", "AC3SUBE_missing.so"},
                 {"no dolby_sub entry", "libm.so.6"}, // found by bare name, but not the AC-3 library
                 {"no such path", empty.File("AC3SUBE.so")}};
    for (const Case& c : cases) {
        EXPECT_EQ(CreationError(c.fileName), kCannotInitialize) << c.name;
        EXPECT_FALSE(IsAC3LibraryLoaded()) << c.name;
        EXPECT_FALSE(IsAC3EncoderInUse()) << c.name;
        EXPECT_EQ(AC3LibraryLoadCount(), 0) << c.name;
    }
    // An empty name means the process-wide one, here not found in the folder nor by bare name.
    EXPECT_EQ(CreationError(""), kCannotInitialize);
    SetAC3LibraryFolder("");
    TDolbyAC3AudioEncoder encoder(Out, "", Config); // found next to the program again
    EXPECT_EQ(encoder.GetLibraryFileName(), AC3DefaultLibraryFileName);
}

TEST_F(AC3LibraryTest, PathsAndTheProcessWideName) {
    const std::string path = AC3LibraryFolder() + "/" + AC3DefaultLibraryFileName;
    {
        TDolbyAC3AudioEncoder encoder(Out, path, Config);
        EXPECT_EQ(encoder.GetLibraryFileName(), path);
    }
    SetAC3LibraryFileName("AC3SUBE_missing.so");
    EXPECT_EQ(CreationError(""), kCannotInitialize);
    TDolbyAC3AudioEncoder encoder(Out, AC3DefaultLibraryFileName, Config); // a given name wins
    EXPECT_TRUE(IsAC3LibraryLoaded());
}

TEST_F(AC3LibraryTest, AcquireAndReleaseCountUses) {
    ASSERT_TRUE(AcquireAC3Library(AC3DefaultLibraryFileName));
    ASSERT_TRUE(AcquireAC3Library("AC3SUBE_missing.so")); // already loaded: only counted
    EXPECT_EQ(AC3LibraryLoadCount(), 2);
    EXPECT_NE(AC3LibraryEntry(), nullptr);
    ReleaseAC3Library();
    EXPECT_TRUE(IsAC3LibraryLoaded());
    ReleaseAC3Library();
    EXPECT_FALSE(IsAC3LibraryLoaded());
    EXPECT_EQ(AC3LibraryEntry(), nullptr);
    ReleaseAC3Library(); // one release too many changes nothing
    EXPECT_EQ(AC3LibraryLoadCount(), 0);
}

// At start-up the program probes the library: when it loads, AC-3 stays available and nothing
// stays loaded; when it does not, the name is cleared and the AC-3 encoder is no longer offered.
TEST_F(AC3LibraryTest, ProbeDecidesWhetherAC3IsOffered) {
    EXPECT_TRUE(ProbeAC3Library());
    EXPECT_TRUE(IsAC3EncoderAvailable());
    EXPECT_EQ(GetAC3LibraryFileName(), AC3DefaultLibraryFileName);
    EXPECT_FALSE(IsAC3LibraryLoaded());

    SetAC3LibraryFileName("AC3SUBE_missing.so");
    EXPECT_FALSE(ProbeAC3Library());
    EXPECT_FALSE(IsAC3EncoderAvailable());
    EXPECT_EQ(GetAC3LibraryFileName(), "");
    EXPECT_FALSE(ProbeAC3Library()); // an empty name never loads
}

} // namespace
} // namespace quillset
