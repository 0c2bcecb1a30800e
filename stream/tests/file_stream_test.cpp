// File streams of both classes (plain and unbuffered): opening, errors, delete-on-close, sizes;
// temporary file names and the temporary file stream.
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>

#include "stream/no_buffering_file_stream.h"
#include "stream/temp_file.h"
#include "stream/tests/stream_test_util.h"
#include "tests/support/temp_dir.h"

namespace quillset {
namespace {

using testing::FileExists;
using testing::RandomBytes;
using testing::ReadAll;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

struct FileClass {
    const char* name;
    TLargeFileStreamClass make;
};

const FileClass kFileClasses[] = {{"Plain", &TLargeFileStream::New},
                                  {"NoBuffering", &TLargeNoBufferingFileStream_NonOverlaped::New}};

void PrintTo(const FileClass& value, std::ostream* out) {
    *out << value.name;
}

class FileStreamClass : public ::testing::TestWithParam<FileClass> {
protected:
    TempDir dir;
};

INSTANTIATE_TEST_SUITE_P(Classes, FileStreamClass, ::testing::ValuesIn(kFileClasses),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_P(FileStreamClass, ReportsFilesThatCannotBeCreatedOrOpened) {
    const std::string missingFolder = dir.File("missing/out.mpg");
    try {
        GetParam().make(missingFolder, 0, fmCreate);
        ADD_FAILURE() << "created in a missing folder";
    } catch (const EFCreateError& error) {
        EXPECT_EQ(error.Message(), "File " + missingFolder + " can not be created.");
    }
    const std::string missingFile = dir.File("absent.mpg");
    for (const uint16_t mode : {fmOpenRead, fmOpenWrite, uint16_t(fmOpenReadWrite | fmShareDenyWrite)}) {
        try {
            GetParam().make(missingFile, 0, mode);
            ADD_FAILURE() << "opened a missing file, mode " << mode;
        } catch (const EFOpenError& error) {
            EXPECT_EQ(error.Message(), "File " + missingFile + " can not be opened.");
        }
    }
}

TEST_P(FileStreamClass, CreateTruncatesAndRoundTrips) {
    const std::string name = dir.File("out.bin");
    WriteFileBytes(name, std::string(300000, 'x'));
    const std::string data = RandomBytes(200000, 3);
    {
        auto stream = GetParam().make(name, 0, fmCreate);
        EXPECT_EQ(stream->GetSize(), 0);
        stream->WriteBuffer(data.data(), static_cast<int32_t>(data.size()));
        EXPECT_EQ(ReadAll(*stream), data);
    }
    EXPECT_EQ(ReadFileBytes(name), data);
    auto reader = GetParam().make(name, 0, fmOpenRead | fmShareDenyWrite);
    EXPECT_EQ(reader->GetSize(), 200000);
    EXPECT_EQ(ReadAll(*reader), data);
    char byte = 0;
    EXPECT_EQ(reader->Write(&byte, 1), 0) << "a read-only stream wrote";
}

TEST_P(FileStreamClass, WriteOnlyOpenKeepsTheRestOfTheFile) {
    // The unbuffered class reads the partial block before rewriting it.
    const std::string name = dir.File("patch.bin");
    std::string expected = RandomBytes(100000, 4);
    WriteFileBytes(name, expected);
    {
        auto stream = GetParam().make(name, 0, fmOpenWrite | fmShareExclusive);
        stream->SetPosition(70000);
        stream->WriteBuffer("patched", 7);
    }
    expected.replace(70000, 7, "patched");
    EXPECT_EQ(ReadFileBytes(name), expected);
}

TEST_P(FileStreamClass, DeleteOnCloseRemovesTheFile) {
    const std::string name = dir.File("vbr_1.tmp");
    {
        auto stream = CreateTemporaryFileStream(GetParam().make, name);
        stream->WriteBuffer("data", 4);
        EXPECT_TRUE(FileExists(name));
    }
    EXPECT_FALSE(FileExists(name));
}

TEST_P(FileStreamClass, GrowingReservesSpaceAndShrinkingCuts) {
    const std::string name = dir.File("sized.bin");
    auto stream = GetParam().make(name, 0, fmCreate);
    stream->WriteBuffer("0123456789", 10);
    stream->SetSize(8 << 20);
    EXPECT_EQ(stream->GetSize(), 8 << 20);
    struct stat info{};
    ASSERT_EQ(::stat(name.c_str(), &info), 0);
    EXPECT_GE(int64_t{info.st_blocks} * 512, 8 << 20) << "the space was not allocated";
    stream->SetSize(4);
    EXPECT_EQ(stream->GetSize(), 4);
    EXPECT_EQ(ReadAll(*stream), "0123");
    EXPECT_THROW(stream->SetSize(-1), ELargeStreamError);
    EXPECT_EQ(stream->Seek(0, 7), -1) << "an unknown origin must be refused";
}

TEST(FileStreamClassChoice, FollowsTheNoBufferingSwitch) {
    const bool saved = GetUseNoBufferingFileStream();
    SetUseNoBufferingFileStream(true);
    EXPECT_EQ(GetLargeFileStreamClass(), &TLargeNoBufferingFileStream_NonOverlaped::New);
    SetUseNoBufferingFileStream(false);
    EXPECT_EQ(GetLargeFileStreamClass(), &TLargeFileStream::New);
    SetUseNoBufferingFileStream(saved);
}

// Points $TMPDIR at a scratch folder for the test and puts the name counter back afterwards.
class TempNames : public ::testing::Test {
protected:
    void SetUp() override {
        const char* previous = std::getenv("TMPDIR");
        hadTmpDir = previous != nullptr;
        if (hadTmpDir)
            savedTmpDir = previous;
        ::setenv("TMPDIR", systemTemp.Path().c_str(), 1);
        savedCounter = GetTempFileCounter();
        SetTempFileCounter(0);
    }
    void TearDown() override {
        if (hadTmpDir)
            ::setenv("TMPDIR", savedTmpDir.c_str(), 1);
        else
            ::unsetenv("TMPDIR");
        SetTempFileCounter(savedCounter);
    }

    TempDir systemTemp;
    TempDir folder;
    bool hadTmpDir = false;
    std::string savedTmpDir;
    int32_t savedCounter = 0;
};

TEST_F(TempNames, NumbersNamesAndSkipsExistingFiles) {
    EXPECT_EQ(MakeTempFileName(folder.Path(), "vbr", "tmp"), folder.File("vbr_1.tmp"));
    WriteFileBytes(folder.File("vbr_2.tmp"), "taken");
    WriteFileBytes(folder.File("vbr_3.tmp"), "taken");
    EXPECT_EQ(MakeTempFileName(folder.Path() + "/", "vbr", "tmp"), folder.File("vbr_4.tmp"));
    EXPECT_EQ(GetTempFileCounter(), 4);
    EXPECT_EQ(MakeTempFileName(folder.Path(), "mplx", "dat"), folder.File("mplx_5.dat"));
}

TEST_F(TempNames, ANameIsClaimedSoAnotherProcessGetsTheNextOne) {
    const std::string first = MakeTempFileName(folder.Path(), "demo", "y4m");
    EXPECT_TRUE(FileExists(first)) << "the name is taken at once";
    // Another process starts its running number at 0 too.
    SetTempFileCounter(0);
    const std::string second = MakeTempFileName(folder.Path(), "demo", "y4m");
    EXPECT_NE(second, first);
    EXPECT_EQ(second, folder.File("demo_2.y4m"));
}

TEST_F(TempNames, MissingOrEmptyFolderFallsBackToTheSystemFolder) {
    EXPECT_EQ(MakeTempFileName(folder.File("no/such/dir"), "vbr", "tmp"), systemTemp.File("vbr_1.tmp"));
    EXPECT_EQ(MakeTempFileName("", "vbr", "tmp"), systemTemp.File("vbr_2.tmp"));
    // A file is not a folder either.
    WriteFileBytes(folder.File("plain"), "x");
    EXPECT_EQ(MakeTempFileName(folder.File("plain"), "vbr", "tmp"), systemTemp.File("vbr_3.tmp"));
    ::setenv("TMPDIR", folder.File("gone").c_str(), 1);
    EXPECT_EQ(GetSystemTempFolder(), "/tmp/");
}

TEST_F(TempNames, ExhaustedCounterGivesNoName) {
    SetTempFileCounter(-1);
    EXPECT_EQ(MakeTempFileName(folder.Path(), "vbr", "tmp"), "");
    SetTempFileCounter(INT_MAX - 1);
    EXPECT_EQ(MakeTempFileName(folder.Path(), "vbr", "tmp"), folder.File("vbr_2147483647.tmp"));
    EXPECT_EQ(MakeTempFileName(folder.Path(), "vbr", "tmp"), "");
    EXPECT_EQ(MakeTempFileName(folder.Path(), "vbr", "tmp"), "");
}

TEST_F(TempNames, TempFileStreamLivesInTheSystemFolderAndIsRemoved) {
    std::string name;
    {
        TTempFileStream stream;
        name = stream.GetFileName();
        EXPECT_EQ(name, systemTemp.File("tmp_1.tmp"));
        stream.WriteBuffer("abc", 3);
        EXPECT_EQ(ReadFileBytes(name), "abc");
    }
    EXPECT_FALSE(FileExists(name));
}

} // namespace
} // namespace quillset
