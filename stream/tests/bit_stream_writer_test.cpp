#include "stream/bit_stream_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "stream/exceptions.h"
#include "stream/tests/bit_stream_test_streams.h"

namespace quillset {
namespace {

using testing::RecordingWriteStream;
using Bytes = std::vector<uint8_t>;

struct PutCase {
    const char* Name;
    std::vector<std::pair<uint32_t, int32_t>> Fields; // (value, width)
    Bytes Expected;                                   // after Flush
};

class BitWriterPutTest : public ::testing::TestWithParam<PutCase> {};

TEST_P(BitWriterPutTest, FlushWritesTheFieldsMostSignificantBitFirst) {
    const PutCase& c = GetParam();
    RecordingWriteStream stream;
    TLargeBitStreamWriter writer(&stream);
    int64_t bits = 0;
    for (const auto& [value, width] : c.Fields) {
        writer.PutBits(value, width);
        bits += width;
    }
    EXPECT_EQ(writer.GetBitPosition(), bits);
    writer.Flush();
    EXPECT_EQ(stream.Bytes, c.Expected);
    EXPECT_EQ(writer.GetBitPosition(), (bits + 7) / 8 * 8);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BitWriterPutTest,
    ::testing::Values(
        // Three bits and Flush: one byte, the bits followed by five zero bits.
        PutCase{"ThreeBits", {{0b101, 3}}, {0xA0}},
        PutCase{"Nothing", {}, {}},
        PutCase{"ZeroWidthWritesNothing", {{0xFFFFFFFF, 0}, {1, 1}, {0xFFFFFFFF, 0}}, {0x80}},
        // Only the low bits of the value count.
        PutCase{"HighValueBitsIgnored", {{0xFFFFFFF5, 4}, {0x12345670, 4}}, {0x50}},
        PutCase{"WholeWord", {{0x12345678, 32}}, {0x12, 0x34, 0x56, 0x78}},
        PutCase{"WordAfterOneBit", {{1, 1}, {0xFFFFFFFF, 32}}, {0xFF, 0xFF, 0xFF, 0xFF, 0x80}},
        PutCase{"FieldsCrossingTheWord",
                {{0x7F, 7}, {0x0, 25}, {0xABC, 12}, {0x1, 20}},
                {0xFE, 0x00, 0x00, 0x00, 0xAB, 0xC0, 0x00, 0x01}},
        PutCase{"StartCode", {{0x000001B3, 32}, {720, 12}, {480, 12}}, {0x00, 0x00, 0x01, 0xB3, 0x2D, 0x01, 0xE0}},
        PutCase{"WordThenWord", {{0xCAFEBABE, 32}, {0xDEADBEEF, 32}},
                {0xCA, 0xFE, 0xBA, 0xBE, 0xDE, 0xAD, 0xBE, 0xEF}}),
    [](const ::testing::TestParamInfo<PutCase>& param) { return std::string(param.param.Name); });

TEST(BitWriterTest, FlushWordsLeavesAtMostSevenBitsPending) {
    RecordingWriteStream stream;
    TLargeBitStreamWriter writer(&stream);
    writer.PutBits(0x1FFFFF, 21); // 2 whole bytes and 5 bits
    writer.FlushWords();
    EXPECT_EQ(stream.Bytes, (Bytes{0xFF, 0xFF}));
    EXPECT_EQ(writer.GetBitPosition(), 21);

    // The pending bits continue where they were.
    writer.PutBits(0b011, 3);
    writer.PutBits(0x12345678, 32);
    writer.Flush();
    EXPECT_EQ(stream.Bytes, (Bytes{0xFF, 0xFF, 0xFB, 0x12, 0x34, 0x56, 0x78}));
    EXPECT_EQ(writer.GetBitPosition(), 56);

    // Nothing pending: neither call writes anything more.
    writer.FlushWords();
    writer.Flush();
    EXPECT_EQ(stream.Bytes.size(), 7u);
}

TEST(BitWriterTest, WritesAFullBufferWithoutWaitingForFlush) {
    RecordingWriteStream stream;
    TLargeBitStreamWriter writer(&stream);
    const int32_t words = TLargeBitStreamWriter::kBufferWords;
    for (int32_t i = 0; i < words - 1; ++i)
        writer.PutBits(static_cast<uint32_t>(i), 32);
    writer.PutBits(0x7FFFFFFF, 31);
    EXPECT_TRUE(stream.Bytes.empty()) << "one bit short of a full buffer stays buffered";

    writer.PutBits(1, 1);
    ASSERT_EQ(stream.Bytes.size(), static_cast<size_t>(words) * 4);
    EXPECT_EQ(stream.WriteCalls, 1);
    EXPECT_EQ(stream.Bytes[4 * 1 + 3], 1);
    EXPECT_EQ(stream.Bytes[4 * 0x1234 + 2], 0x12);
    EXPECT_EQ(stream.Bytes[4 * 0x1234 + 3], 0x34);
    EXPECT_EQ(stream.Bytes[4 * (words - 1)], 0xFF);

    // The next bits start a new buffer.
    writer.PutBits(0xA5, 8);
    writer.Flush();
    EXPECT_EQ(stream.Bytes.size(), static_cast<size_t>(words) * 4 + 1);
    EXPECT_EQ(stream.Bytes.back(), 0xA5);
    EXPECT_EQ(writer.GetBitPosition(), int64_t{words} * 32 + 8);
}

TEST(BitWriterTest, FieldThatFillsTheBufferKeepsItsRestForTheNextOne) {
    RecordingWriteStream stream;
    TLargeBitStreamWriter writer(&stream);
    const int32_t words = TLargeBitStreamWriter::kBufferWords;
    writer.PutBits(0, 20);
    for (int32_t i = 0; i < words - 1; ++i)
        writer.PutBits(0, 32);
    writer.PutBits(0xABCDEF, 24); // 12 bits end the buffer, 12 bits begin the next
    EXPECT_EQ(stream.Bytes.size(), static_cast<size_t>(words) * 4);
    EXPECT_EQ(stream.Bytes.back(), 0xBC);
    writer.Flush();
    EXPECT_EQ(stream.Bytes.size(), static_cast<size_t>(words) * 4 + 2);
    EXPECT_EQ(stream.Bytes[stream.Bytes.size() - 2], 0xDE);
    EXPECT_EQ(stream.Bytes.back(), 0xF0);
}

TEST(BitWriterTest, ZeroBitsBytesAndAlignment) {
    RecordingWriteStream stream;
    TLargeBitStreamWriter writer(&stream);
    writer.PutBits(1, 1);
    writer.PutZeroBits(70); // two runs of 32 and a rest of 6
    EXPECT_EQ(writer.GetBitPosition(), 71);
    writer.PutBits(1, 1);
    EXPECT_EQ(writer.GetBitPosition(), 72);
    writer.ByteAlign(); // already aligned
    EXPECT_EQ(writer.GetBitPosition(), 72);
    const uint8_t data[] = {0x12, 0xFE, 0x00};
    writer.PutBits(0b1, 1);
    writer.PutBytes(data, 3);
    writer.ByteAlign();
    EXPECT_EQ(writer.GetBitPosition(), 72 + 32);
    writer.PutZeroBits(0);
    writer.PutZeroBits(-5);
    writer.Flush();
    EXPECT_EQ(stream.Bytes, (Bytes{0x80, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x89, 0x7F, 0x00, 0x00}));
}

TEST(BitWriterTest, FoldingKeepsThePosition) {
    TLargeNullBitStreamWriter writer;
    writer.PutBits(0, 13);
    writer.FoldBitCount();
    EXPECT_EQ(writer.GetBitCount(), 0);
    EXPECT_EQ(writer.GetBitPosition(), 13);
    writer.PutBits(0, 7);
    EXPECT_EQ(writer.GetBitCount(), 7);
    EXPECT_EQ(writer.GetBitPosition(), 20);
}

TEST(BitWriterTest, PositionStaysExactBeyondTwoToTheThirtyOneBitsWithoutFolding) {
    TLargeNullBitStreamWriter writer;
    const int64_t total = (int64_t{1} << 31) + 64;
    writer.PutZeroBits(total);
    EXPECT_EQ(writer.GetBitPosition(), total);
}

TEST(BitWriterTest, NullWriterCountsFromTheSetPositionAndKeepsNoStream) {
    TLargeNullBitStreamWriter writer;
    EXPECT_EQ(writer.GetStream(), nullptr);
    writer.SetBitPosition(1000);
    writer.PutBits(0xDEADBEEF, 32);
    EXPECT_EQ(writer.GetBitPosition(), 1032);

    // More than a buffer of words, with flushes in between: everything is counted, nothing kept.
    for (int32_t i = 0; i < 3 * TLargeBitStreamWriter::kBufferWords; ++i)
        writer.PutBits(static_cast<uint32_t>(i), (i % 32) + 1);
    writer.Flush();
    int64_t expected = 1032;
    for (int32_t i = 0; i < 3 * TLargeBitStreamWriter::kBufferWords; ++i)
        expected += (i % 32) + 1;
    expected = (expected + 7) / 8 * 8;
    EXPECT_EQ(writer.GetBitPosition(), expected);

    writer.SetBitPosition(5);
    EXPECT_EQ(writer.GetBitCount(), 0);
    writer.PutBits(1, 3);
    EXPECT_EQ(writer.GetBitPosition(), 8);
}

TEST(BitWriterTest, ShortWriteRaisesWriteError) {
    RecordingWriteStream stream(/*limit=*/2);
    TLargeBitStreamWriter writer(&stream);
    writer.PutBits(0xABCDEF, 24);
    EXPECT_THROW(writer.Flush(), EWriteError);

    RecordingWriteStream full(/*limit=*/100);
    TLargeBitStreamWriter bulk(&full);
    EXPECT_THROW(
        {
            for (int32_t i = 0; i < TLargeBitStreamWriter::kBufferWords; ++i)
                bulk.PutBits(0, 32);
        },
        EWriteError);
}

} // namespace
} // namespace quillset
