// The unbuffered file stream: its block size, true file lengths, files beyond 4 GiB, and the
// coherence of its block cache with the file when the size changes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "stream/no_buffering_file_stream.h"
#include "stream/tests/stream_test_util.h"
#include "tests/support/temp_dir.h"

namespace quillset {
namespace {

using testing::RandomBytes;
using testing::ReadAll;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

using Stream = TLargeNoBufferingFileStream_NonOverlaped;

int64_t FileLength(const std::string& name) {
    struct stat info{};
    return ::stat(name.c_str(), &info) == 0 ? info.st_size : -1;
}

TEST(NoBufferingFileStream, BlockSizeIsAboutSixtyFourKiBOfWholeSectors) {
    TempDir dir;
    const std::string name = dir.File("out.mpg");
    Stream stream(name, 0, fmCreate);
    struct stat info{};
    ASSERT_EQ(::fstat(stream.GetHandle(), &info), 0);
    const int64_t sector = std::max<int64_t>(512, info.st_blksize);
    EXPECT_EQ(stream.GetBlockSize(), std::max<int64_t>(1, 65536 / sector) * sector);
    EXPECT_EQ(stream.GetBlockSize() % 512, 0);
    const int flags = ::fcntl(stream.GetHandle(), F_GETFL);
    // Where the file system takes O_DIRECT the descriptor must really bypass the cache.
    const int probe = ::open(name.c_str(), O_RDONLY | O_DIRECT);
    if (probe >= 0) {
        ::close(probe);
        EXPECT_NE(flags & O_DIRECT, 0);
    }
}

TEST(NoBufferingFileStream, FileKeepsItsTrueLengthAfterWholeBlockWrites) {
    TempDir dir;
    for (const int32_t length : {100, 65536, 65537, 300000}) {
        const std::string name = dir.File("out_" + std::to_string(length));
        const std::string data = RandomBytes(static_cast<size_t>(length), static_cast<uint32_t>(length));
        {
            Stream stream(name, 0, fmCreate);
            stream.WriteBuffer(data.data(), length);
            EXPECT_EQ(stream.GetSize(), length);
        }
        EXPECT_EQ(FileLength(name), length);
        EXPECT_EQ(ReadFileBytes(name), data) << "length " << length;
    }
}

TEST(NoBufferingFileStream, ReadsFilesOfAnyLength) {
    TempDir dir;
    const std::string name = dir.File("in.bin");
    const std::string data = RandomBytes(200001, 5);
    WriteFileBytes(name, data);
    Stream stream(name, 0, fmOpenRead | fmShareDenyWrite);
    EXPECT_EQ(stream.GetSize(), 200001);
    EXPECT_EQ(ReadAll(stream), data);
    stream.Seek(-10, soFromEnd);
    char tail[32];
    EXPECT_EQ(stream.Read(tail, 32), 10);
    EXPECT_EQ(std::string(tail, 10), data.substr(200001 - 10));
    EXPECT_EQ(stream.Read(tail, 32), 0);
}

TEST(NoBufferingFileStream, DataBeyondFourGiBReadsBackAndTheFileStaysSparse) {
    TempDir dir;
    const std::string name = dir.File("big.mpg");
    constexpr int64_t kFourGiB = int64_t{4} << 30;
    constexpr int64_t kFiveGiB = int64_t{5} << 30;
    {
        const int handle = ::open(name.c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(handle, 0);
        ASSERT_EQ(::ftruncate(handle, kFiveGiB), 0);
        ::close(handle);
    }
    const std::string across = "across-the-4GiB-line";
    const std::string tail = RandomBytes(70000, 6); // ends inside the second block past 5 GiB
    {
        Stream stream(name, 0, fmOpenReadWrite);
        ASSERT_EQ(stream.GetSize(), kFiveGiB);
        stream.SetPosition(kFourGiB - 7);
        stream.WriteBuffer(across.data(), static_cast<int32_t>(across.size()));
        EXPECT_EQ(stream.Seek(0, soFromEnd), kFiveGiB);
        stream.WriteBuffer(tail.data(), static_cast<int32_t>(tail.size()));
        EXPECT_EQ(stream.GetSize(), kFiveGiB + 70000);

        std::string back(across.size(), '\0');
        stream.SetPosition(kFourGiB - 7);
        stream.ReadBuffer(back.data(), static_cast<int32_t>(back.size()));
        EXPECT_EQ(back, across);
    }
    EXPECT_EQ(FileLength(name), kFiveGiB + 70000);
    struct stat info{};
    ASSERT_EQ(::stat(name.c_str(), &info), 0);
    EXPECT_LT(int64_t{info.st_blocks} * 512, 16 << 20) << "the gap was allocated";

    Stream reader(name, 0, fmOpenRead);
    ASSERT_EQ(reader.GetSize(), kFiveGiB + 70000);
    std::string back(across.size(), '\0');
    reader.SetPosition(kFourGiB - 7);
    reader.ReadBuffer(back.data(), static_cast<int32_t>(back.size()));
    EXPECT_EQ(back, across);
    std::string tailBack(tail.size(), '\0');
    reader.SetPosition(kFiveGiB);
    reader.ReadBuffer(tailBack.data(), static_cast<int32_t>(tailBack.size()));
    EXPECT_EQ(tailBack, tail);
    char zeros[16] = {1};
    reader.SetPosition(kFourGiB + 100);
    reader.ReadBuffer(zeros, 16);
    EXPECT_EQ(std::string(zeros, 16), std::string(16, '\0'));
}

// Size changes with the affected blocks still in the cache, or written out and evicted first.
class NoBufferingResize : public ::testing::TestWithParam<bool> {
protected:
    // Reads one byte of four other blocks, so that the blocks of the start are written out and
    // leave the cache; the size stays as it was.
    static void Evict(Stream& stream) {
        const int64_t size = stream.GetSize();
        const int32_t block = stream.GetBlockSize();
        stream.SetSize(5 * int64_t{block});
        char byte = 0;
        for (int i = 1; i <= 4; ++i) {
            stream.SetPosition(int64_t{i} * block);
            ASSERT_EQ(stream.Read(&byte, 1), 1);
        }
        stream.SetSize(size);
    }
};

INSTANTIATE_TEST_SUITE_P(Cached, NoBufferingResize, ::testing::Bool(),
                         [](const auto& testInfo) { return testInfo.param ? "Evicted" : "StillCached"; });

TEST_P(NoBufferingResize, ShrinkThenGrowShowsZerosNotOldBytes) {
    TempDir dir;
    const std::string name = dir.File("resize.bin");
    const std::string data = RandomBytes(1000, 7);
    {
        Stream stream(name, 0, fmCreate);
        stream.WriteBuffer(data.data(), 1000);
        if (GetParam())
            Evict(stream);
        stream.SetSize(300);
        char buffer[1000];
        stream.SetPosition(0);
        EXPECT_EQ(stream.Read(buffer, 1000), 300) << "read past the end after shrinking";
        stream.SetSize(800);
        stream.SetPosition(0);
        ASSERT_EQ(stream.Read(buffer, 1000), 800);
        EXPECT_EQ(std::string(buffer, 300), data.substr(0, 300));
        EXPECT_EQ(std::string(buffer + 300, 500), std::string(500, '\0'));
        // A write past a gap left by the growth must not fill the gap with old bytes either.
        stream.SetSize(200);
        stream.SetSize(900);
        stream.SetPosition(850);
        stream.WriteBuffer("end", 3);
    }
    std::string expected = data.substr(0, 200) + std::string(700, '\0');
    expected.replace(850, 3, "end");
    EXPECT_EQ(ReadFileBytes(name), expected);
}

TEST(NoBufferingFileStream, GrowingReservesTheSpaceForReal) {
    TempDir dir;
    const std::string name = dir.File("reserve.bin");
    Stream stream(name, 0, fmCreate);
    stream.SetSize(32 << 20);
    struct stat info{};
    ASSERT_EQ(::stat(name.c_str(), &info), 0);
    EXPECT_GE(int64_t{info.st_blocks} * 512, 32 << 20);
    EXPECT_EQ(stream.GetSize(), 32 << 20);
    EXPECT_THROW(stream.SetSize(-1), ELargeStreamError);
}

TEST(NoBufferingFileStream, DeleteOnCloseFileIsNotRecreated) {
    TempDir dir;
    const std::string name = dir.File("gone.tmp");
    {
        auto stream = Stream::New(name, FILE_FLAG_DELETE_ON_CLOSE, fmCreate);
        stream->WriteBuffer("abc", 3);
    }
    EXPECT_EQ(FileLength(name), -1);
}

} // namespace
} // namespace quillset
