// The cached random-access stream and the sequential 64 KiB filter stream, watched through a
// recording source.
#include <gtest/gtest.h>

#include "stream/cache_filter_stream.h"
#include "stream/cache_random_access_stream.h"
#include "stream/memory_stream.h"
#include "stream/range_stream.h"
#include "stream/tests/stream_test_util.h"

namespace quillset {
namespace {

using testing::RandomBytes;
using testing::ReadAll;
using testing::RecordingStream;

std::string Contents(TLargeMemoryStream& memory) {
    return std::string(reinterpret_cast<const char*>(memory.GetMemory()), static_cast<size_t>(memory.GetSize()));
}

TEST(CacheRandomAccessStream, WritesBlocksBackFrontToBack) {
    TLargeMemoryStream memory;
    memory.SetSize(8 * 64);
    RecordingStream source(memory);
    {
        auto cache = TLargeCacheRandomAccessStream::Create(source, 64);
        // From the top down: no miss finds a dirty block below it, so nothing is written yet.
        for (const int block : {3, 2, 1, 0}) {
            cache->SetPosition(block * 64 + 5);
            cache->WriteBuffer("x", 1);
        }
        EXPECT_TRUE(source.Positions('W').empty()) << "written before a block had to go";
        cache->SetPosition(6 * 64);
        char byte = 0;
        cache->ReadBuffer(&byte, 1); // the miss writes the four dirty blocks out first
        EXPECT_EQ(source.Positions('W'), (std::vector<int64_t>{0, 64, 128, 192}));
    }
    for (const int block : {0, 1, 2, 3})
        EXPECT_EQ(memory.GetMemory()[block * 64 + 5], 'x');
}

TEST(CacheRandomAccessStream, HitsDoNotTouchTheSourceAndDestructionWritesBack) {
    TLargeMemoryStream memory;
    RecordingStream source(memory);
    const std::string data = RandomBytes(1000, 11);
    {
        auto cache = TLargeCacheRandomAccessStream::Create(source, 256);
        cache->WriteBuffer(data.data(), 1000); // four blocks; each new one writes those below out
        EXPECT_EQ(source.Positions('W'), (std::vector<int64_t>{0, 256, 512}));
        source.Calls.clear();
        EXPECT_EQ(ReadAll(*cache), data);
        cache->SetPosition(300);
        cache->WriteBuffer("hit", 3);
        EXPECT_TRUE(source.Calls.empty());
        EXPECT_EQ(cache->GetSize(), 1000);
    }
    EXPECT_EQ(source.Positions('W'), (std::vector<int64_t>{256, 768}));
    EXPECT_EQ(Contents(memory), data.substr(0, 300) + "hit" + data.substr(303));
}

TEST(CacheRandomAccessStream, ReadOnlyCacheRefusesWrites) {
    TLargeMemoryStream memory;
    const std::string data = RandomBytes(5000, 12);
    memory.WriteBuffer(data.data(), 5000);
    auto cache = TLargeCacheRandomAccessStream::CreateReadOnly(memory, 512);
    EXPECT_EQ(cache->Write("abc", 3), 0);
    EXPECT_EQ(ReadAll(*cache), data);
    cache->Seek(-100, soFromEnd);
    char tail[200];
    EXPECT_EQ(cache->Read(tail, 200), 100);
}

TEST(CacheRandomAccessStream, ShortSourceRaisesAndCachesNothingWrong) {
    // The window claims 1000 bytes but its source has only 600.
    TLargeMemoryStream memory;
    const std::string data = RandomBytes(600, 13);
    memory.WriteBuffer(data.data(), 600);
    TLargeRangeStream window(memory, 0, 1000);
    auto cache = TLargeCacheRandomAccessStream::Create(window, 512);
    char buffer[1000];
    cache->SetPosition(0);
    EXPECT_EQ(cache->Read(buffer, 512), 512);
    EXPECT_THROW(cache->Read(buffer, 488), EReadError);
    // The failed block was not kept: trying again fails the same way instead of giving zeros.
    cache->SetPosition(512);
    EXPECT_THROW(cache->Read(buffer, 10), EReadError);
}

TEST(CacheRandomAccessStream, SetSizeKeepsTheCacheCoherent) {
    TLargeMemoryStream memory;
    const std::string data = RandomBytes(300, 14);
    auto cache = TLargeCacheRandomAccessStream::Create(memory, 128);
    cache->WriteBuffer(data.data(), 300);
    cache->SetSize(150);
    EXPECT_EQ(memory.GetSize(), 150);
    EXPECT_EQ(cache->GetPosition(), 150);
    char buffer[300];
    cache->SetPosition(0);
    EXPECT_EQ(cache->Read(buffer, 300), 150);
    cache->SetSize(290);
    EXPECT_EQ(ReadAll(*cache), data.substr(0, 150) + std::string(140, '\0'));
}

TEST(CasheFilterStream, SeekInsideTheWindowLeavesTheSourceAlone) {
    TLargeMemoryStream memory;
    const std::string data = RandomBytes(200000, 15);
    memory.WriteBuffer(data.data(), 200000);
    RecordingStream source(memory);
    TLargeCasheFilterStream filter(source);
    char buffer[100];
    filter.ReadBuffer(buffer, 100);
    EXPECT_EQ(source.Count('R'), 1u);
    source.Calls.clear();

    filter.SetPosition(60000);
    filter.WriteBuffer("patch", 5);
    filter.SetPosition(10);
    filter.ReadBuffer(buffer, 10);
    EXPECT_EQ(filter.GetPosition(), 20);
    EXPECT_TRUE(source.Calls.empty()) << "the source was touched inside the window";

    filter.SetPosition(150000); // outside: the pending patch goes first
    ASSERT_FALSE(source.Calls.empty());
    EXPECT_EQ(source.Calls[0].Kind, 'S');
    EXPECT_EQ(source.Calls[0].Position, 0);
    EXPECT_EQ(source.Calls[1].Kind, 'W');
    EXPECT_EQ(source.Calls[1].Count, 65536);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(memory.GetMemory()) + 60000, 5), "patch");
}

TEST(CasheFilterStream, AskingForThePositionWritesNothing) {
    TLargeMemoryStream memory;
    RecordingStream source(memory);
    TLargeCasheFilterStream filter(source);
    for (int i = 0; i < 100; ++i) {
        filter.WriteBuffer("progress", 8);
        int64_t position = 0;
        int64_t size = 0;
        filter.GetPositionAndSize(position, size);
        EXPECT_EQ(position, 8 * (i + 1));
        EXPECT_EQ(size, position);
    }
    EXPECT_EQ(source.Count('W'), 0u);
}

TEST(CasheFilterStream, PatchesAppendsAndReadsSequentially) {
    TLargeMemoryStream memory;
    std::string model = RandomBytes(150000, 16);
    memory.WriteBuffer(model.data(), static_cast<int32_t>(model.size()));
    {
        TLargeCasheFilterStream filter(memory);
        // Read through, patching a few bytes at each 1000-byte record start.
        char record[1000];
        for (int64_t at = 0; at < 150000; at += 1000) {
            filter.ReadBuffer(record, 4);
            filter.Seek(-4, soFromCurrent);
            filter.WriteBuffer("MUX!", 4);
            model.replace(static_cast<size_t>(at), 4, "MUX!");
            filter.ReadBuffer(record, 996);
        }
        EXPECT_EQ(filter.Read(record, 1), 0);
        const std::string more = RandomBytes(100000, 17);
        filter.WriteBuffer(more.data(), static_cast<int32_t>(more.size()));
        model += more;
        EXPECT_EQ(filter.GetSize(), 250000);
        EXPECT_EQ(ReadAll(filter), model);
    }
    EXPECT_EQ(Contents(memory), model);
}

TEST(CasheFilterStream, WritePastTheReadDataOfTheLastWindowKeepsEveryByte) {
    TLargeMemoryStream memory;
    std::string model = RandomBytes(1000, 18);
    memory.WriteBuffer(model.data(), 1000);
    {
        TLargeCasheFilterStream filter(memory);
        char buffer[900];
        filter.ReadBuffer(buffer, 900);
        const std::string tail = RandomBytes(500, 19);
        EXPECT_EQ(filter.Write(tail.data(), 500), 500);
        model = model.substr(0, 900) + tail;
        EXPECT_EQ(filter.GetSize(), 1400);
    }
    EXPECT_EQ(Contents(memory), model);
}

TEST(CasheFilterStream, AppendedBytesCountAfterASeekBackIntoTheWindow) {
    TLargeMemoryStream memory;
    memory.WriteBuffer(std::string(100, 'a').data(), 100);
    TLargeCasheFilterStream filter(memory);
    filter.Seek(0, soFromEnd);
    filter.WriteBuffer(std::string(50, 'b').data(), 50);
    filter.SetPosition(120); // inside the appended window: appending ends here
    filter.WriteBuffer("c", 1);
    filter.SetPosition(0); // outside: written back
    EXPECT_EQ(filter.GetSize(), 150);
    EXPECT_EQ(filter.Seek(0, soFromEnd), 150);
    EXPECT_EQ(ReadAll(filter), std::string(100, 'a') + std::string(20, 'b') + "c" + std::string(29, 'b'));
}

} // namespace
} // namespace quillset
