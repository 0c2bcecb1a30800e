// Views onto part of another stream: the range stream and the CD-XA user-data stream.
#include <gtest/gtest.h>

#include "stream/cdxa_stream.h"
#include "stream/memory_stream.h"
#include "stream/range_stream.h"
#include "stream/tests/stream_test_util.h"

namespace quillset {
namespace {

using testing::RandomBytes;
using testing::ReadAll;

TEST(RangeStream, TransfersStayInsideTheWindow) {
    TLargeMemoryStream memory;
    const std::string data = RandomBytes(1000, 20);
    memory.WriteBuffer(data.data(), 1000);
    TLargeRangeStream range(memory, 100, 300);
    EXPECT_EQ(range.GetSize(), 300);
    EXPECT_EQ(ReadAll(range), data.substr(100, 300));

    EXPECT_EQ(range.Seek(-10, soFromEnd), 290);
    EXPECT_EQ(range.Write(std::string(50, 'w').data(), 50), 10);
    EXPECT_EQ(range.GetPosition(), 300);
    EXPECT_EQ(range.Write("x", 1), 0);
    char byte = 0;
    EXPECT_EQ(range.Read(&byte, 1), 0);
    EXPECT_EQ(range.Seek(500, soFromBeginning), 300);
    EXPECT_EQ(range.Seek(-1, soFromBeginning), 0);
    EXPECT_EQ(memory.GetSize(), 1000);
    const std::string after = ReadAll(memory);
    EXPECT_EQ(after.substr(390, 10), std::string(10, 'w'));
    EXPECT_EQ(after.substr(400), data.substr(400));
}

TEST(RangeStream, WindowPastTheSourceEndReadsNothingElse) {
    TLargeMemoryStream memory;
    memory.WriteBuffer(std::string(100, 's').data(), 100);
    TLargeRangeStream beyond(memory, 500, 50); // the memory stream clamps the seek to 100
    char buffer[50];
    EXPECT_EQ(beyond.Read(buffer, 50), 0);
    EXPECT_EQ(beyond.Write(buffer, 50), 0);
    EXPECT_EQ(memory.GetSize(), 100);
}

std::string RawSectors(int sectors, int extra, uint32_t seed) {
    return RandomBytes(static_cast<size_t>(sectors) * 2352 + static_cast<size_t>(extra), seed);
}

TEST(CDXAExtractDataStream, YieldsTheUserDataOfWholeSectors) {
    TLargeMemoryStream memory;
    const std::string raw = RawSectors(3, 100, 21);
    memory.WriteBuffer(raw.data(), static_cast<int32_t>(raw.size()));
    TLargeCDXAExtractDataStream data(memory);
    EXPECT_EQ(data.GetSize(), 6972);
    std::string expected;
    for (int sector = 0; sector < 3; ++sector)
        expected += raw.substr(static_cast<size_t>(sector) * 2352 + 24, 2324);
    EXPECT_EQ(ReadAll(data), expected);

    data.SetPosition(2324);
    char byte = 0;
    data.ReadBuffer(&byte, 1);
    EXPECT_EQ(byte, raw[2352 + 24]);

    data.SetPosition(2320); // across a sector boundary
    char across[10];
    data.ReadBuffer(across, 10);
    EXPECT_EQ(std::string(across, 10), raw.substr(24 + 2320, 4) + raw.substr(2352 + 24, 6));
    EXPECT_EQ(data.Seek(10, soFromEnd), 6972);
    EXPECT_EQ(data.Read(across, 10), 0);
    EXPECT_EQ(data.Write(across, 10), 0);
}

TEST(CDXAExtractDataStream, SourceShorterThanASectorIsEmpty) {
    TLargeMemoryStream memory;
    memory.WriteBuffer(std::string(2351, 'r').data(), 2351);
    TLargeCDXAExtractDataStream data(memory);
    EXPECT_EQ(data.GetSize(), 0);
    char byte = 0;
    EXPECT_EQ(data.Read(&byte, 1), 0);
}

} // namespace
} // namespace quillset
