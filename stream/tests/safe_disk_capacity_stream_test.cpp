// The disk-space reserving stream: a full disk at creation, the real reservation, giving the
// unused reserve back, and sizes.
#include <gtest/gtest.h>

#include <cerrno>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "stream/memory_stream.h"
#include "stream/no_buffering_file_stream.h"
#include "stream/safe_disk_capacity_stream.h"
#include "stream/tests/stream_test_util.h"
#include "tests/support/temp_dir.h"

namespace quillset {
namespace {

using testing::FileExists;
using testing::ReadAll;
using testing::ReadFileBytes;
using testing::TempDir;

struct FileClass {
    const char* name;
    TLargeFileStreamClass make;
};

const FileClass kFileClasses[] = {{"Plain", &TLargeFileStream::New},
                                  {"NoBuffering", &TLargeNoBufferingFileStream_NonOverlaped::New}};

void PrintTo(const FileClass& value, std::ostream* out) {
    *out << value.name;
}

auto ClassName = [](const auto& testInfo) { return std::string(testInfo.param.name); };

class ReservingFile : public ::testing::TestWithParam<FileClass> {
protected:
    TempDir dir;
};

INSTANTIATE_TEST_SUITE_P(Classes, ReservingFile, ::testing::ValuesIn(kFileClasses), ClassName);

TEST_P(ReservingFile, UnusedReserveIsGivenBack) {
    const std::string name = dir.File("out.mpg");
    {
        TLargeSafeDiskCapacitySizeStream stream(GetParam().make(name, 0, fmCreate), int64_t{1} << 30);
        struct stat info{};
        ASSERT_EQ(::stat(name.c_str(), &info), 0);
        EXPECT_EQ(info.st_size, int64_t{1} << 30);
        EXPECT_GE(int64_t{info.st_blocks} * 512, int64_t{1} << 30) << "the reserve is not allocated";
        EXPECT_EQ(stream.GetSize(), 0);
        stream.WriteBuffer("0123456789", 10);
        EXPECT_EQ(stream.GetSize(), 10);
        EXPECT_EQ(ReadAll(stream), "0123456789");
    }
    EXPECT_EQ(ReadFileBytes(name), "0123456789");
}

// A 1 MiB tmpfs mounted for the test (needs root; skipped otherwise).
class FullDisk : public ::testing::TestWithParam<FileClass> {
protected:
    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "mounting a small file system needs root";
        mountPoint = dir.File("small");
        ASSERT_EQ(::mkdir(mountPoint.c_str(), 0755), 0);
        if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=1m") != 0)
            GTEST_SKIP() << "cannot mount a tmpfs here (errno " << errno << ")";
        mounted = true;
    }
    void TearDown() override {
        if (mounted && ::umount(mountPoint.c_str()) != 0)
            ::umount2(mountPoint.c_str(), MNT_DETACH);
    }

    TempDir dir;
    std::string mountPoint;
    bool mounted = false;
};

INSTANTIATE_TEST_SUITE_P(Classes, FullDisk, ::testing::ValuesIn(kFileClasses), ClassName);

TEST_P(FullDisk, ReserveThatDoesNotFitFailsAtCreation) {
    const std::string name = mountPoint + "/out.mpg";
    try {
        TLargeSafeDiskCapacitySizeStream stream(GetParam().make(name, 0, fmCreate), 4 << 20);
        ADD_FAILURE() << "4 MiB reserved on a 1 MiB file system";
    } catch (const EDiskFullError& error) {
        EXPECT_EQ(error.ErrorCode, ENOSPC);
    }
    // What fits is reserved and given back as usual.
    {
        TLargeSafeDiskCapacitySizeStream stream(GetParam().make(name, 0, fmCreate), 256 << 10);
        stream.WriteBuffer("abc", 3);
    }
    EXPECT_EQ(ReadFileBytes(name), "abc");
}

TEST_P(FullDisk, TemporaryTargetVanishesWhenTheReserveFails) {
    const std::string name = mountPoint + "/cache.tmp";
    EXPECT_THROW(TLargeSafeDiskCapacitySizeStream(CreateTemporaryFileStream(GetParam().make, name), 4 << 20),
                 EDiskFullError);
    EXPECT_FALSE(FileExists(name));
}

TEST(SafeDiskCapacitySizeStream, SizesFollowTheWrittenDataNotTheReserve) {
    auto owned = std::make_unique<TLargeMemoryStream>();
    TLargeMemoryStream& target = *owned;
    target.WriteBuffer("old contents", 12);
    TLargeSafeDiskCapacitySizeStream stream(std::move(owned), 100);
    EXPECT_EQ(target.GetSize(), 100);
    EXPECT_EQ(stream.GetSize(), 0);
    char buffer[200];
    EXPECT_EQ(stream.Read(buffer, 10), 0);
    stream.WriteBuffer(std::string(40, 'd').data(), 40);
    EXPECT_EQ(stream.Seek(0, soFromEnd), 40);
    EXPECT_EQ(stream.Seek(10, soFromEnd), 40);

    stream.SetSize(20); // below the reserve: the target keeps it
    EXPECT_EQ(target.GetSize(), 100);
    EXPECT_EQ(stream.GetPosition(), 20);
    stream.SetSize(60);
    EXPECT_EQ(ReadAll(stream), std::string(20, 'd') + std::string(40, '\0'));
    stream.SetSize(150); // beyond the reserve: the target follows
    EXPECT_EQ(target.GetSize(), 150);
    EXPECT_THROW(stream.SetSize(-1), ELargeStreamError);
    EXPECT_EQ(stream.GetSize(), 150);
}

TEST(SafeDiskCapacitySizeStream, DestructionCutsTheTargetToTheData) {
    TempDir dir;
    const std::string name = dir.File("short.mpg");
    {
        TLargeSafeDiskCapacitySizeStream stream(TLargeFileStream::New(name, 0, fmCreate), 1 << 20);
        stream.WriteBuffer("ab", 2);
        stream.SetSize(1); // cut below what was written
    }
    EXPECT_EQ(ReadFileBytes(name), "a");
}

} // namespace
} // namespace quillset
