#include "stream/bit_stream_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "stream/memory_stream.h"
#include "stream/tests/bit_stream_test_streams.h"

namespace quillset {
namespace {

using testing::PieceReadStream;

constexpr int32_t kWords = TLargeBitStreamReader::kBufferWords;

// Byte i of the pattern stream: distinct within any 256 bytes, and not a multiple of the
// buffer, so a misplaced word shows.
uint8_t PatternByte(int64_t i) { return static_cast<uint8_t>((i * 7 + (i >> 8)) & 0xFF); }

std::vector<uint8_t> PatternBytes(int64_t count) {
    std::vector<uint8_t> bytes(static_cast<size_t>(count));
    for (int64_t i = 0; i < count; ++i)
        bytes[static_cast<size_t>(i)] = PatternByte(i);
    return bytes;
}

// The 32 bits of the pattern starting at bit position `bit`; bits after the end read as 0.
uint32_t PatternBits(const std::vector<uint8_t>& bytes, int64_t bit, int32_t count) {
    uint64_t value = 0;
    for (int32_t k = 0; k < count; ++k) {
        const int64_t b = bit + k;
        const auto byte = static_cast<size_t>(b / 8);
        const int bitValue = byte < bytes.size() ? (bytes[byte] >> (7 - b % 8)) & 1 : 0;
        value = (value << 1) | static_cast<uint64_t>(bitValue);
    }
    return static_cast<uint32_t>(value);
}

TEST(BitReaderTest, FiveByteStreamEndsWithZeroBitsAndThenAtEnd) {
    PieceReadStream stream({0x12, 0x34, 0x56, 0x78, 0x9A}, 1 << 20);
    TLargeBitStreamReader reader(&stream);
    EXPECT_FALSE(reader.IsAtEnd());
    EXPECT_EQ(reader.PeekBits(32), 0x12345678u);
    EXPECT_EQ(reader.GetBits(4), 0x1u);
    // A peek that crosses into the second word.
    EXPECT_EQ(reader.PeekBits(32), 0x23456789u);
    reader.SkipBits(28);
    // The 8 bits that are left, then zero bits to the end of the second word; a peek across the
    // end of the data sees zero bits too.
    EXPECT_EQ(reader.PeekBits(32), 0x9A000000u);
    EXPECT_EQ(reader.GetBits(8), 0x9Au);
    EXPECT_EQ(reader.GetBits(24), 0u);
    EXPECT_TRUE(reader.IsAtEnd());
    EXPECT_EQ(reader.GetBitsRead(), 64);
    for (int32_t n : {1, 8, 31, 32}) {
        EXPECT_EQ(reader.PeekBits(n), 0u);
        EXPECT_EQ(reader.GetBits(n), 0u);
    }
    EXPECT_TRUE(reader.IsAtEnd());
}

TEST(BitReaderTest, EmptyAndMissingStreamsAreAtEndAtOnce) {
    TLargeMemoryStream empty;
    TLargeBitStreamReader reader(&empty);
    EXPECT_TRUE(reader.IsAtEnd());
    EXPECT_EQ(reader.GetBits(32), 0u);

    TLargeBitStreamReader none(nullptr);
    EXPECT_TRUE(none.IsAtEnd());
    EXPECT_EQ(none.PeekBits(7), 0u);
}

TEST(BitReaderTest, StartsAtTheStreamPosition) {
    TLargeMemoryStream stream;
    const uint8_t bytes[] = {0xAA, 0xBB, 0xCC, 0xDD, 0xEE};
    stream.WriteBuffer(bytes, 5);
    stream.SetPosition(3);
    TLargeBitStreamReader reader(&stream);
    EXPECT_EQ(reader.GetBits(16), 0xDDEEu);
}

TEST(BitReaderTest, ZeroBitsAndByteAlign) {
    PieceReadStream stream({0xF0, 0x0F, 0xC3}, 64);
    TLargeBitStreamReader reader(&stream);
    EXPECT_EQ(reader.PeekBits(0), 0u);
    EXPECT_EQ(reader.GetBits(0), 0u);
    reader.ByteAlign(); // on a boundary: no move
    EXPECT_EQ(reader.GetBitsRead(), 0);
    EXPECT_EQ(reader.GetBits(3), 0b111u);
    reader.ByteAlign();
    EXPECT_EQ(reader.GetBitsRead(), 8);
    EXPECT_EQ(reader.GetBits(8), 0x0Fu);
    reader.SkipBits(1);
    reader.ByteAlign();
    EXPECT_EQ(reader.GetBitsRead(), 24);
}

// Reads that cross the end of a batch find their continuation in the kept-back word, whatever
// size of pieces the stream hands out.
class BitReaderCarryTest : public ::testing::TestWithParam<int32_t> {};

TEST_P(BitReaderCarryTest, ReadsAcrossBatchesMatchTheBytes) {
    const int64_t size = 3 * int64_t{kWords} * 4 + 13;
    const std::vector<uint8_t> bytes = PatternBytes(size);
    PieceReadStream stream(bytes, GetParam());
    TLargeBitStreamReader reader(&stream);

    // Walk in steps of 29 bits (never aligned to words), peeking 32 bits at each stop.
    int64_t bit = 0;
    while (bit + 29 <= size * 8) {
        ASSERT_EQ(reader.PeekBits(32), PatternBits(bytes, bit, 32)) << "at bit " << bit;
        ASSERT_EQ(reader.GetBits(29), PatternBits(bytes, bit, 29)) << "at bit " << bit;
        bit += 29;
    }
    EXPECT_EQ(reader.GetBitsRead(), bit);
    // The rest of the data, then zero bits to the end of the last word, then the end.
    const auto rest = static_cast<int32_t>(size * 8 - bit);
    EXPECT_EQ(reader.GetBits(rest), PatternBits(bytes, bit, rest));
    EXPECT_FALSE(reader.IsAtEnd());
    reader.SkipBits(static_cast<int32_t>((4 - size % 4) * 8));
    EXPECT_TRUE(reader.IsAtEnd());
    EXPECT_EQ(reader.PeekBits(32), 0u);
}

INSTANTIATE_TEST_SUITE_P(Pieces, BitReaderCarryTest, ::testing::Values(1 << 20, 4096, 1001, 3));

TEST(BitReaderTest, StreamOfExactlyOneBatchEndsAfterTheKeptBackWord) {
    const std::vector<uint8_t> bytes = PatternBytes(int64_t{kWords} * 4);
    PieceReadStream stream(bytes, 1 << 20);
    TLargeBitStreamReader reader(&stream);
    reader.SkipBits(32 * (kWords - 1) - 8);
    EXPECT_EQ(reader.PeekBits(32), PatternBits(bytes, 32 * int64_t{kWords - 1} - 8, 32));
    reader.SkipBits(8);
    EXPECT_FALSE(reader.IsAtEnd());
    EXPECT_EQ(reader.GetBits(32), PatternBits(bytes, 32 * int64_t{kWords - 1}, 32));
    EXPECT_TRUE(reader.IsAtEnd());
}

TEST(BitReaderTest, PeekAcrossTheEndAfterAShortBatchSeesZeroBitsNotOldData) {
    // The second batch holds the kept-back word and one new word; the buffer behind them still
    // holds words of the first batch.
    std::vector<uint8_t> bytes(static_cast<size_t>(kWords + 1) * 4, 0xFF);
    PieceReadStream stream(bytes, 1 << 20);
    TLargeBitStreamReader reader(&stream);
    reader.SkipBits(32 * kWords + 16);
    EXPECT_FALSE(reader.IsAtEnd());
    EXPECT_EQ(reader.PeekBits(32), 0xFFFF0000u);
    EXPECT_EQ(reader.GetBits(16), 0xFFFFu);
    EXPECT_TRUE(reader.IsAtEnd());
}

TEST(BitReaderTest, LongSkipsMoveWordByWord) {
    const std::vector<uint8_t> bytes = PatternBytes(20000);
    PieceReadStream stream(bytes, 1 << 20);
    TLargeBitStreamReader reader(&stream);
    reader.SkipBits(1000);
    EXPECT_EQ(reader.GetBits(24), PatternBits(bytes, 1000, 24));
    reader.SkipBits(64 + 5);
    EXPECT_EQ(reader.GetBits(32), PatternBits(bytes, 1093, 32));
    EXPECT_EQ(reader.GetBitsRead(), 1125);
}

} // namespace
} // namespace quillset
