#include "stream/byte_buffer_bit_rewriter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace quillset {
namespace {

using Bytes = std::vector<uint8_t>;

// The fields of the patch pattern, as (value, width).
const std::vector<std::pair<uint32_t, int32_t>> kPatchFields = {
    {1, 1}, {0, 1}, {0, 1}, {0, 1}, {0, 1}, {0, 1}, {0, 1}, {0, 1},
    {0, 1}, {1, 1}, {0, 1}, {0, 1}, {0, 1}, {0, 1}, {0, 1}, {0, 1},
    {192, 8}, {13, 4}, {3, 4}, {0xFFFFFFFF, 13}, {0x80808080, 19},
};

TEST(BitRewriterTest, PatchPatternOverwritesOnlyItsBitsAndReadsBack) {
    Bytes buffer(101, 0xFF);
    TByteBufferBitRewriter writer(buffer.data(), /*clearAhead=*/false);
    for (const auto& [value, width] : kPatchFields)
        writer.PutBits(value, width);
    EXPECT_EQ(writer.GetByteCount(), 8);

    Bytes expected(101, 0xFF);
    const uint8_t head[] = {0x80, 0x40, 0xC0, 0xD3, 0xFF, 0xF8, 0x80, 0x80};
    std::copy(std::begin(head), std::end(head), expected.begin());
    EXPECT_EQ(buffer, expected);

    const uint32_t readBack[] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 192, 13, 3, 8191, 32896};
    TByteBufferBitRewriter reader(buffer.data(), false);
    for (size_t i = 0; i < kPatchFields.size(); ++i)
        EXPECT_EQ(reader.GetBits(kPatchFields[i].second), readBack[i]) << "field " << i;

    TByteBufferBitRewriter whole(buffer.data(), false);
    EXPECT_EQ(whole.GetBits(32), 0x8040C0D3u);

    TByteBufferBitRewriter skipped(buffer.data(), false);
    skipped.SkipBits(2);
    EXPECT_EQ(skipped.GetBits(30), 4243667u);
    EXPECT_EQ(buffer, expected) << "reading changes nothing";
}

TEST(BitRewriterTest, PatchInTheMiddleOfAByteKeepsItsNeighbours) {
    struct Case {
        int32_t Skip;
        uint32_t Value;
        int32_t Width;
        Bytes Expected;
    };
    const Case cases[] = {
        {2, 0, 3, {0xC7, 0xFF, 0xFF}},
        {6, 0, 4, {0xFC, 0x3F, 0xFF}},
        {0, 0x5A, 8, {0x5A, 0xFF, 0xFF}},
        {3, 0, 14, {0xE0, 0x00, 0x7F}},
        // MPEG-2 display size: 14 bits at an odd place.
        {1, 720, 14, {0x85, 0xA1, 0xFF}},
        {4, 0, 0, {0xFF, 0xFF, 0xFF}},
    };
    for (const Case& c : cases) {
        Bytes buffer(3, 0xFF);
        TByteBufferBitRewriter rewriter(buffer.data(), false);
        rewriter.SkipBits(c.Skip);
        rewriter.PutBits(c.Value, c.Width);
        EXPECT_EQ(buffer, c.Expected) << "skip " << c.Skip << " width " << c.Width;
        EXPECT_EQ(rewriter.GetByteIndex() * 8 + (7 - rewriter.GetBitIndex()), c.Skip + c.Width);
    }
}

TEST(BitRewriterTest, ByteCountAndAlignment) {
    Bytes buffer(8, 0);
    TByteBufferBitRewriter rewriter(buffer.data(), false);
    EXPECT_EQ(rewriter.GetByteCount(), 0);
    rewriter.ByteAlign();
    EXPECT_EQ(rewriter.GetByteCount(), 0);
    rewriter.SkipBits(1);
    EXPECT_EQ(rewriter.GetByteCount(), 1);
    rewriter.SkipBits(7);
    EXPECT_EQ(rewriter.GetByteCount(), 1);
    rewriter.SkipBits(3);
    rewriter.ByteAlign();
    EXPECT_EQ(rewriter.GetByteIndex(), 2);
    EXPECT_EQ(rewriter.GetBitIndex(), 7);
    EXPECT_EQ(rewriter.GetByteCount(), 2);
    rewriter.SkipBits(40); // longer than one read
    EXPECT_EQ(rewriter.GetByteCount(), 7);
}

TEST(BitRewriterTest, ClearAheadZeroesEveryByteThePositionEnters) {
    Bytes buffer(6, 0xFF);
    TByteBufferBitRewriter rewriter(buffer.data(), /*clearAhead=*/true);
    rewriter.PutBits(0b101, 3);
    EXPECT_EQ(buffer[0], 0xA0);
    rewriter.SkipBits(13); // passes the rest of byte 0 and all of byte 1
    EXPECT_EQ(buffer, (Bytes{0xA0, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(rewriter.GetByteCount(), 2);
    // Reading a byte the position enters sees it cleared.
    EXPECT_EQ(rewriter.GetBits(4), 0u);
    EXPECT_EQ(buffer[2], 0x00);
    rewriter.ByteAlign();
    EXPECT_EQ(rewriter.GetByteCount(), 3);
    rewriter.PutBits(0x1, 1);
    EXPECT_EQ(buffer, (Bytes{0xA0, 0x00, 0x00, 0x80, 0xFF, 0xFF}));
}

TEST(BitRewriterTest, ClearAheadNeverTouchesTheByteAfterTheLastField) {
    // A 2-byte header followed by bytes that belong to someone else.
    Bytes buffer = {0xFF, 0xFF, 0xEE, 0xEE};
    TByteBufferBitRewriter rewriter(buffer.data(), true);
    rewriter.PutBits(0x1234, 16);
    EXPECT_EQ(rewriter.GetByteCount(), 2);
    EXPECT_EQ(buffer, (Bytes{0x12, 0x34, 0xEE, 0xEE}));

    Bytes skipped = {0xFF, 0xEE};
    TByteBufferBitRewriter skipper(skipped.data(), true);
    skipper.SkipBits(8);
    EXPECT_EQ(skipped, (Bytes{0x00, 0xEE}));

    Bytes untouched = {0xEE};
    TByteBufferBitRewriter idle(untouched.data(), true);
    EXPECT_EQ(idle.GetByteCount(), 0);
    EXPECT_EQ(untouched, (Bytes{0xEE}));
}

TEST(BitRewriterTest, PeekDoesNotMove) {
    Bytes buffer = {0xAB, 0xCD, 0xEF, 0x01, 0x23};
    TByteBufferBitRewriter rewriter(buffer.data(), false);
    rewriter.SkipBits(4);
    EXPECT_EQ(rewriter.PeekBits(32), 0xBCDEF012u);
    EXPECT_EQ(rewriter.PeekBits(0), 0u);
    EXPECT_EQ(rewriter.GetBits(12), 0xBCDu);
    EXPECT_EQ(rewriter.GetBits(16), 0xEF01u);
}

} // namespace
} // namespace quillset
