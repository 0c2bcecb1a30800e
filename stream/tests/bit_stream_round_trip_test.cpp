// Random fields written with the writer come back unchanged through the reader and the
// rewriter, across several buffer fills of both.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "stream/bit_stream_reader.h"
#include "stream/bit_stream_writer.h"
#include "stream/byte_buffer_bit_rewriter.h"
#include "stream/memory_stream.h"
#include "stream/tests/bit_stream_test_streams.h"

namespace quillset {
namespace {

struct Field {
    uint32_t Value; // as given to PutBits, high bits included
    int32_t Width;  // 0 .. 32; -1 marks a ByteAlign
};

std::vector<Field> RandomFields(uint32_t seed, size_t count) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int32_t> width(0, 32);
    std::vector<Field> fields;
    fields.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        if (random() % 97 == 0)
            fields.push_back({0, -1});
        else
            fields.push_back({static_cast<uint32_t>(random()), width(random)});
    }
    return fields;
}

uint32_t Low(uint32_t value, int32_t width) {
    return width == 32 ? value : value & ((1u << width) - 1);
}

class BitStreamRoundTripTest : public ::testing::TestWithParam<uint32_t> {};

TEST_P(BitStreamRoundTripTest, WriterOutputReadsBackWithReaderAndRewriter) {
    const uint32_t seed = GetParam();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    // About 16 bits a field on average: some 200 KB, six fills of the reader.
    const std::vector<Field> fields = RandomFields(seed, 100000);

    TLargeMemoryStream stream;
    TLargeBitStreamWriter writer(&stream);
    TLargeNullBitStreamWriter counter;
    for (const Field& f : fields) {
        if (f.Width < 0) {
            writer.ByteAlign();
            counter.ByteAlign();
        } else {
            writer.PutBits(f.Value, f.Width);
            counter.PutBits(f.Value, f.Width);
        }
    }
    const int64_t bits = writer.GetBitPosition();
    EXPECT_EQ(counter.GetBitPosition(), bits);
    writer.Flush();
    ASSERT_EQ(stream.GetSize(), (bits + 7) / 8);
    ASSERT_GT(stream.GetSize(), 5 * TLargeBitStreamReader::kBufferWords * 4);

    // The reader, once over the memory stream and once over a stream handing out odd pieces.
    const uint8_t* data = stream.GetMemory();
    std::vector<uint8_t> bytes(data, data + stream.GetSize());
    testing::PieceReadStream pieces(bytes, 5003);
    stream.SetPosition(0);
    TLargeBitStreamReader direct(&stream);
    TLargeBitStreamReader pieced(&pieces);
    for (TLargeBitStreamReader* reader : {&direct, &pieced}) {
        for (size_t i = 0; i < fields.size(); ++i) {
            const Field& f = fields[i];
            if (f.Width < 0) {
                reader->ByteAlign();
                continue;
            }
            ASSERT_EQ(reader->GetBits(f.Width), Low(f.Value, f.Width)) << "field " << i;
        }
        EXPECT_EQ(reader->GetBitsRead(), bits);
    }

    TByteBufferBitRewriter rewriter(bytes.data(), false);
    for (size_t i = 0; i < fields.size(); ++i) {
        const Field& f = fields[i];
        if (f.Width < 0) {
            rewriter.ByteAlign();
            continue;
        }
        ASSERT_EQ(rewriter.GetBits(f.Width), Low(f.Value, f.Width)) << "field " << i;
    }
    EXPECT_EQ(rewriter.GetByteCount(), stream.GetSize());

    // Rewriting every field in place with its complement, then reading it back.
    TByteBufferBitRewriter patcher(bytes.data(), false);
    for (const Field& f : fields) {
        if (f.Width < 0)
            patcher.ByteAlign();
        else
            patcher.PutBits(~f.Value, f.Width);
    }
    TByteBufferBitRewriter check(bytes.data(), false);
    for (size_t i = 0; i < fields.size(); ++i) {
        const Field& f = fields[i];
        if (f.Width < 0) {
            check.ByteAlign();
            continue;
        }
        ASSERT_EQ(check.GetBits(f.Width), Low(~f.Value, f.Width)) << "field " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, BitStreamRoundTripTest, ::testing::Values(1u, 20240611u, 0xC0FFEEu));

} // namespace
} // namespace quillset
